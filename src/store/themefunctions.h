#pragma once

#include <string>
#include <string_view>
#include <vector>

struct _xsltTransformContext;

namespace bryndle {

// XPath functions that the themes call for the costly per-record pieces, under the namespace
// NamespaceUri. A theme tests function-available() and keeps a pure-XSL fallback with the same
// output, so a plain XSLT processor still renders the page.
//   local-time(seconds)            "YYYY/MM/DD(曜) hh:mm:ss" in the local time zone, or "-"
//   refs(line)                     text nodes and <ref lower="0a0b0c0d">0A0B0C0D</ref> elements
//   box-text(MESSAGE, lines, len)  the start of a body as one text, as a hover box shows it
class ThemeFunctions {
public:
    static constexpr const char* NamespaceUri = "urn:bryndle:theme";

    // Registers the functions on one transform; their results live in its result trees.
    static void registerOn(_xsltTransformContext* context);

    // A stamp as local date and time (localtime_r: the offset of that date, summer time
    // included); "-" for a value that is not a number or lies outside the years 0 to 9999.
    static std::string localTime(double seconds);

    // A body line cut at its references: ">>" and 8 hexadecimal digits (either case), found from
    // the left. Text pieces are never adjacent; together with ">>" and the ids they make the line.
    struct Piece {
        std::string_view text; // the text, or the id as written
        bool reference = false;
    };
    static std::vector<Piece> splitReferences(std::string_view line);

    // The first `count` lines without the empty ones, each cut to `length` characters with "…"
    // and ended by a line break, and a line "…" when more lines follow.
    static std::string boxText(const std::vector<std::string_view>& lines, size_t count,
                               size_t length);
};

} // namespace bryndle
