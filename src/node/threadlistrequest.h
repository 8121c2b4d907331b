#pragma once

#include "http/singlegetrequest.h"

#include <string>

namespace bryndle {

// One of the node's thread lists, kind "changes" or "recent", with eight columns.
class ThreadListRequest : public SingleGetRequest {
public:
    explicit ThreadListRequest(const std::string& kind)
        : SingleGetRequest("/gateway.cgi/csv/" + kind +
                           "/file,stamp,path,uri,type,title,records,size") {}
};

} // namespace bryndle
