#include "http/httprequestgenerator.h"

#include <cstdio>

namespace bryndle {

std::string HTTPRequestGenerator::toString() const {
    HTTPHeader empty;
    const HTTPHeader& head = header() ? *header() : empty;
    char version[32];
    std::snprintf(version, sizeof version, "%.1f", static_cast<double>(head.version()));
    std::string text;
    text.append(method_).append(" ").append(path_).append(" HTTP/").append(version);
    text.append("\r\n").append(head.toString());
    return text;
}

std::string HTTPRequestGenerator::generate() const {
    return toString() + body();
}

HTTPRequestGenerator& HTTPRequestGenerator::setMethod(std::string method) {
    method_ = std::move(method);
    return *this;
}

HTTPRequestGenerator& HTTPRequestGenerator::setPath(std::string path) {
    path_ = std::move(path);
    return *this;
}

} // namespace bryndle
