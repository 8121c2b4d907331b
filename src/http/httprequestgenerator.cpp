#include "http/httprequestgenerator.h"

#include <charconv>
#include <system_error>

namespace bryndle {

std::string HTTPRequestGenerator::toString() const {
    HTTPHeader empty;
    const HTTPHeader& head = header() ? *header() : empty;
    // Not printf: the interface's toolkit sets the user's locale, whose decimal point may be a
    // comma.
    char version[64];
    auto [end, error] =
        std::to_chars(version, version + sizeof version, static_cast<double>(head.version()),
                      std::chars_format::fixed, 1);
    if (error != std::errc())
        end = version;
    std::string text;
    text.append(method_).append(" ").append(path_).append(" HTTP/");
    text.append(version, static_cast<size_t>(end - version));
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
