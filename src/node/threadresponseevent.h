#pragma once

#include "foundation/exception.h"

#include <any>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bryndle {

// A thread list line that is not eight columns.
class GatewayException : public Exception {
public:
    explicit GatewayException(const std::string& message) : Exception(message) {}
};

// One line of a thread list (file,stamp,path,uri,type,title,records,size), parsed. A listener
// reuses one event for every line and clears it after each callback: a callback copies what
// it keeps, and may set stop to end the listing.
class ThreadResponseEvent {
public:
    static constexpr size_t ColumnCount = 8;

    ThreadResponseEvent() = default;
    virtual ~ThreadResponseEvent() = default;

    // Splits the line as CSV (a quoted title may hold commas and doubled quotes) and fills the
    // event. Raises GatewayException "format error" unless there are eight columns,
    // GatewayException "title is not valid UTF-8", or ConvError / ConvOverflowError for a
    // number column that is not a 32-bit decimal number.
    virtual void parse(std::string_view line, std::any tag);
    virtual void fill(const std::vector<std::string>& columns, std::any tag);
    // Every field back to empty, 0, none and false.
    virtual void clear();

    const std::string& file() const { return file_; }
    uint32_t stamp() const { return stamp_; }
    const std::string& path() const { return path_; }
    const std::string& uri() const { return uri_; }
    const std::string& type() const { return type_; }
    const std::string& title() const { return title_; }
    uint32_t records() const { return records_; }
    uint32_t size() const { return size_; }
    const std::any& tag() const { return tag_; }
    bool stop() const { return stop_; }
    void setStop(bool stop) { stop_ = stop; }

private:
    std::string file_;
    uint32_t stamp_ = 0;
    std::string path_;
    std::string uri_;
    std::string type_;
    std::string title_;
    uint32_t records_ = 0;
    uint32_t size_ = 0;
    std::any tag_;
    bool stop_ = false;
};

} // namespace bryndle
