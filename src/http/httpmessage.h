#pragma once

#include "http/httpheader.h"

#include <memory>
#include <string>

namespace bryndle {

// A header (absent until set) and a body of bytes.
class HTTPMessage {
public:
    HTTPMessage() = default;
    virtual ~HTTPMessage() = default;

    virtual std::shared_ptr<HTTPHeader> header() const { return header_; }
    virtual void setHeader(std::shared_ptr<HTTPHeader> header) { header_ = std::move(header); }
    virtual const std::string& body() const { return body_; }
    virtual const std::string& content() const { return body_; }
    virtual const std::string& data() const { return body_; }
    virtual HTTPMessage& setBody(std::string body);

private:
    std::shared_ptr<HTTPHeader> header_;
    std::string body_;
};

} // namespace bryndle
