#pragma once

#include "http/httprequestgenerator.h"

#include <string>

namespace bryndle {

// The common base of the node's requests: GET on a path, HTTP/1.0, no fields, empty body.
class SingleGetRequest : public HTTPRequestGenerator {
public:
    explicit SingleGetRequest(std::string path);
};

} // namespace bryndle
