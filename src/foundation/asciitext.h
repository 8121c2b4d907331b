#pragma once

#include <string>
#include <string_view>

namespace bryndle {

// Byte-wise ASCII helpers. Unlike <cctype> they never depend on the process's locale (the
// interface switches to the user's) and leave every byte above 0x7F alone.

constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool isAsciiAlnum(char c) {
    return isAsciiDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The value of a hexadecimal digit of either case, or -1.
constexpr int hexDigitValue(char c) {
    if (isAsciiDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A-Z become a-z; every other byte stays.
inline std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Undoes %XX escapes (either case). A '%' without two hexadecimal digits and '+' stay as they
// are: '+' means a space only in form data, not in a path.
inline std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        bool escape = text[i] == '%' && i + 2 < text.size();
        int high = escape ? hexDigitValue(text[i + 1]) : -1;
        int low = high >= 0 ? hexDigitValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high << 4 | low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace bryndle
