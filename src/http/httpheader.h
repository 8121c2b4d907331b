#pragma once

#include "http/httpheaderfield.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace bryndle {

// A status code, a protocol version and header fields keyed by their upper-cased name, so
// names are case-insensitive and a later field replaces an earlier one of the same name.
class HTTPHeader {
public:
    HTTPHeader() = default;
    virtual ~HTTPHeader() = default;

    // Each field's text and CR LF, in key order, then one more CR LF.
    virtual std::string toString() const;
    virtual void setFields(const std::vector<HTTPHeaderField>& fields);
    virtual void add(const HTTPHeaderField& field);
    virtual void add(std::string name, std::string value);
    // The field stored under the upper-cased name, or nullptr.
    virtual const HTTPHeaderField* field(std::string_view name) const;
    // The value of that field, or an empty text.
    virtual std::string fieldValue(std::string_view name) const;
    virtual std::vector<HTTPHeaderField> fields() const;
    // Drops the fields; status and version stay.
    virtual HTTPHeader& clear();
    // Byte length of toString().
    virtual size_t length() const;
    virtual void setStatus(int32_t status) { status_ = status; }
    virtual int32_t status() const { return status_; }
    virtual void setVersion(float version) { version_ = version; }
    virtual float version() const { return version_; }

    size_t fieldCount() const { return fields_.size(); }

private:
    int32_t status_ = 0;
    float version_ = std::nanf("");
    std::map<std::string, HTTPHeaderField> fields_;
};

} // namespace bryndle
