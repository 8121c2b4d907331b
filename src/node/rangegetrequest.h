#pragma once

#include "http/singlegetrequest.h"
#include "node/threadfile.h"

#include <cstdint>
#include <string>

namespace bryndle {

// All records of a thread from a stamp on (the range is open-ended).
class RangeGetRequest : public SingleGetRequest {
public:
    RangeGetRequest(const std::string& title, uint32_t from)
        : SingleGetRequest("/server.cgi/get/" + threadFileName(title) + "/" + std::to_string(from) +
                           "-") {}
};

} // namespace bryndle
