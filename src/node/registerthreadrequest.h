#pragma once

#include "http/singlegetrequest.h"
#include "node/encodetitle.h"

#include <string>

namespace bryndle {

// Asks the node to take up a thread under a title.
class RegisterThreadRequest : public SingleGetRequest {
public:
    explicit RegisterThreadRequest(const std::string& title)
        : SingleGetRequest("/thread.cgi/" + encodeTitle(title)) {}
};

} // namespace bryndle
