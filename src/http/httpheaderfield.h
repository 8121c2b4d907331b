#pragma once

#include <cstddef>
#include <string>

namespace bryndle {

// One header field: a name and a value, both byte strings.
class HTTPHeaderField {
public:
    HTTPHeaderField() = default;
    HTTPHeaderField(std::string name, std::string value)
        : name_(std::move(name)), value_(std::move(value)) {}
    virtual ~HTTPHeaderField() = default;

    // "name: value"
    virtual std::string toString() const;
    virtual HTTPHeaderField& setName(std::string name);
    virtual HTTPHeaderField& setValue(std::string value);
    virtual const std::string& name() const { return name_; }
    virtual const std::string& value() const { return value_; }
    // Byte length of toString().
    virtual size_t length() const { return name_.size() + 2 + value_.size(); }
    virtual void clear();

private:
    std::string name_;
    std::string value_;
};

} // namespace bryndle
