#pragma once

#include "foundation/exception.h"
#include "node/threadfile.h" // fileToTitle, the file part of a location

#include <cstdint>
#include <string>
#include <string_view>

namespace bryndle {

// A location that is not shingetsu://FILE/METHOD/...
class SchemaException : public Exception {
public:
    SchemaException() : Exception("parse error") {}
};

// A parsed shingetsu:// location:
//   shingetsu://FILE/METHOD/TARGET?mode=M&items=N&page=P#FRAGMENT
class Schema {
public:
    static constexpr std::string_view Prefix = "shingetsu://";

    Schema() = default;
    explicit Schema(std::string title) : title(std::move(title)) {}
    virtual ~Schema() = default;

    // Raises SchemaException for a text that is not a location, ConvError for a bad file name and
    // ConvOverflowError for a query number above 32 bits. Other bad query pairs are ignored.
    static Schema parse(std::string_view location);
    // The fragment is not written.
    virtual std::string toLocation() const;

    // Page number (mode 2), counted from 0.
    uint32_t page = 0;
    // Records per page (modes 1 and 2).
    uint32_t items = 0;
    // 0 all records, 1 the latest items records, 2 page number page.
    uint32_t mode = 0;
    std::string title;
    std::string method;
    std::string target;
    std::string fragment;
};

} // namespace bryndle
