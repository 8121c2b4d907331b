#include "http/httpheader.h"

#include "foundation/unicode.h"

namespace bryndle {

std::string HTTPHeader::toString() const {
    std::string text;
    text.reserve(length());
    for (const auto& [key, field] : fields_)
        text.append(field.toString()).append("\r\n");
    text.append("\r\n");
    return text;
}

void HTTPHeader::setFields(const std::vector<HTTPHeaderField>& fields) {
    fields_.clear();
    for (const auto& field : fields)
        add(field);
}

void HTTPHeader::add(const HTTPHeaderField& field) {
    fields_.insert_or_assign(Unicode::toUpper(field.name()), field);
}

void HTTPHeader::add(std::string name, std::string value) {
    add(HTTPHeaderField(std::move(name), std::move(value)));
}

const HTTPHeaderField* HTTPHeader::field(std::string_view name) const {
    auto it = fields_.find(Unicode::toUpper(name));
    return it == fields_.end() ? nullptr : &it->second;
}

std::string HTTPHeader::fieldValue(std::string_view name) const {
    const HTTPHeaderField* found = field(name);
    return found ? found->value() : std::string();
}

std::vector<HTTPHeaderField> HTTPHeader::fields() const {
    std::vector<HTTPHeaderField> all;
    all.reserve(fields_.size());
    for (const auto& [key, field] : fields_)
        all.push_back(field);
    return all;
}

HTTPHeader& HTTPHeader::clear() {
    fields_.clear();
    return *this;
}

size_t HTTPHeader::length() const {
    size_t total = 2;
    for (const auto& [key, field] : fields_)
        total += field.length() + 2;
    return total;
}

} // namespace bryndle
