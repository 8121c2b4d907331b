#pragma once

#include "http/singlegetrequest.h"
#include "node/threadfile.h"

#include <cstdint>
#include <string>

namespace bryndle {

// The stamps and ids of a thread's records from a stamp on.
class HeadRequest : public SingleGetRequest {
public:
    HeadRequest(const std::string& title, uint32_t from)
        : SingleGetRequest("/server.cgi/head/" + threadFileName(title) + "/" +
                           std::to_string(from) + "-") {}
};

} // namespace bryndle
