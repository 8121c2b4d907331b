#pragma once

#include "http/singlegetrequest.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"

#include <cstdint>
#include <string>

namespace bryndle {

// One record of a thread by stamp and id. The id comes from the node's head answer; it is
// percent-encoded like a title, a no-op for the usual hexadecimal id, so that no byte of it
// can end the request line.
class HashGetRequest : public SingleGetRequest {
public:
    HashGetRequest(const std::string& title, uint32_t stamp, const std::string& id)
        : SingleGetRequest("/server.cgi/get/" + threadFileName(title) + "/" +
                           std::to_string(stamp) + "/" + encodeTitle(id)) {}
};

} // namespace bryndle
