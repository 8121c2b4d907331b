#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace bryndle {

// A stamp range of a server request: "from-to", "from-", "-to" or a single "stamp".
struct StampRange {
    int64_t from = 0;
    int64_t to = INT64_MAX;
};

// Text rules of the local node: titles, escaping, CSV. File names and path encoding are the
// client's own (node/threadfile.h, node/encodetitle.h).
struct NodeText {
    // The title of a thread file name (either case of hexadecimal), if it names a usable title.
    static std::optional<std::string> titleOfFile(std::string_view file);
    // A title the node accepts: valid UTF-8, not empty, no control characters, bounded length.
    static bool isUsableTitle(std::string_view title);

    // Posted text as the node stores it: CR dropped, LF as <br>, < and > escaped, & escaped
    // unless it begins an entity reference.
    static std::string escapePosted(std::string_view text);
    // Full escaping for text put into HTML (& < > " ').
    static std::string escapeHtml(std::string_view text);
    // A stored (node-escaped) text for an HTML page: <br> kept, every other markup escaped,
    // entity references kept.
    static std::string storedToHtml(std::string_view text);
    // Whether text at the position of an '&' is an entity reference (&name; &#123; &#x1F;).
    static bool startsEntity(std::string_view text, size_t ampersand);

    // One CSV field: quoted when it holds a comma, a quote, CR or LF; quotes doubled.
    static std::string csvField(std::string_view text);

    // The stamp range of a server request, or none when malformed.
    static std::optional<StampRange> parseRange(std::string_view text);
    // A decimal stamp (digits only, at most 18 of them).
    static std::optional<int64_t> parseStamp(std::string_view text);

    // The fields of a record text "key:value<>key:value..."; fields without a colon are
    // skipped.
    static std::map<std::string, std::string> recordFields(std::string_view text);
    // The suffix of an attachment's file name when it is a short alphanumeric word, lower-cased.
    static std::string attachmentSuffix(std::string_view fileName);
};

} // namespace bryndle
