#pragma once

#include "http/httpmessage.h"

#include <string>

namespace bryndle {

// A request message that writes itself as the bytes sent on the wire.
class HTTPRequestGenerator : public HTTPMessage {
public:
    HTTPRequestGenerator() = default;

    // Request line ("METHOD PATH HTTP/1.0" and CR LF) followed by the header block. A request
    // without a header is written with an empty one.
    virtual std::string toString() const;
    // toString() followed by the body: exactly what the connection sends.
    virtual std::string generate() const;
    virtual HTTPRequestGenerator& setMethod(std::string method);
    virtual HTTPRequestGenerator& setPath(std::string path);
    virtual const std::string& method() const { return method_; }
    virtual const std::string& path() const { return path_; }

private:
    std::string method_;
    std::string path_;
};

} // namespace bryndle
