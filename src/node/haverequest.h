#pragma once

#include "http/singlegetrequest.h"
#include "node/threadfile.h"

#include <cstdint>
#include <string>

namespace bryndle {

// Whether the node holds a thread.
class HaveRequest : public SingleGetRequest {
public:
    explicit HaveRequest(const std::string& title)
        : SingleGetRequest("/server.cgi/have/" + threadFileName(title)) {}
};

} // namespace bryndle
