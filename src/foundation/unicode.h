#pragma once

#include <string>
#include <string_view>

namespace bryndle {

// Unicode helpers over ICU.
struct Unicode {
    static bool isValidUtf8(std::string_view bytes);
    // ASCII a-z to A-Z, other letters by the Unicode simple case mapping; invalid UTF-8
    // bytes are kept as they are.
    static std::string toUpper(std::string_view utf8);
    // Compares ignoring letter case (negative, 0, positive).
    static int compareIgnoringCase(std::string_view a, std::string_view b);
};

} // namespace bryndle
