#pragma once

#include "foundation/exception.h"

#include <any>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace bryndle {

// A record line that is not "stamp<>id<>key:value<>...".
class ThreadDataException : public Exception {
public:
    explicit ThreadDataException(const std::string& message) : Exception(message) {}
};

// One record line of a node's get or head answer, parsed. A listener reuses one event for
// every line and clears it after each callback: a callback copies what it keeps.
class ThreadDataEvent {
public:
    static constexpr size_t IdLength = 32;

    ThreadDataEvent() = default;
    virtual ~ThreadDataEvent() = default;

    // Fields separated by "<>": the stamp in decimal, the 32-byte id, then key:value fields.
    // Raises ThreadDataException "thread data error 1" (fewer than two fields), "thread data
    // error2" (id not 32 bytes), "thread data error3" (a field without a colon), or ConvError /
    // ConvOverflowError for a stamp that is not a 32-bit decimal number. The tag stays.
    virtual void parse(std::string_view line);
    virtual void reset() { clear(); }
    // Id and attributes emptied, stamp 0; the tag stays.
    virtual void clear();

    uint32_t stamp() const { return stamp_; }
    const std::string& id() const { return id_; }
    const std::map<std::string, std::string>& attributes() const { return attributes_; }
    // The value of a field, or an empty text.
    std::string attribute(const std::string& key) const;
    const std::any& tag() const { return tag_; }
    void setTag(std::any tag) { tag_ = std::move(tag); }

private:
    uint32_t stamp_ = 0;
    std::string id_;
    std::map<std::string, std::string> attributes_;
    std::any tag_;
};

} // namespace bryndle
