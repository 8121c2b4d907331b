#include "http/httpheaderfield.h"

namespace bryndle {

std::string HTTPHeaderField::toString() const {
    std::string text;
    text.reserve(length());
    text.append(name_).append(": ").append(value_);
    return text;
}

HTTPHeaderField& HTTPHeaderField::setName(std::string name) {
    name_ = std::move(name);
    return *this;
}

HTTPHeaderField& HTTPHeaderField::setValue(std::string value) {
    value_ = std::move(value);
    return *this;
}

void HTTPHeaderField::clear() {
    name_.clear();
    value_.clear();
}

} // namespace bryndle
