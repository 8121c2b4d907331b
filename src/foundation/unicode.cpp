#include "foundation/unicode.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace bryndle {

bool Unicode::isValidUtf8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    const int32_t length = static_cast<int32_t>(bytes.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

std::string Unicode::toUpper(std::string_view utf8) {
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const int32_t length = static_cast<int32_t>(utf8.size());
    std::string out;
    out.reserve(utf8.size());
    int32_t i = 0;
    while (i < length) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            out.append(utf8.substr(start, i - start));
            continue;
        }
        UChar32 upper = u_toupper(c);
        uint8_t buffer[U8_MAX_LENGTH];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buffer, n, upper);
        out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    return out;
}

int Unicode::compareIgnoringCase(std::string_view a, std::string_view b) {
    const auto* s = reinterpret_cast<const uint8_t*>(a.data());
    const auto* t = reinterpret_cast<const uint8_t*>(b.data());
    const int32_t m = static_cast<int32_t>(a.size());
    const int32_t n = static_cast<int32_t>(b.size());
    int32_t i = 0, j = 0;
    while (i < m && j < n) {
        UChar32 c, d;
        U8_NEXT_OR_FFFD(s, i, m, c);
        U8_NEXT_OR_FFFD(t, j, n, d);
        c = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        d = u_foldCase(d, U_FOLD_CASE_DEFAULT);
        if (c != d)
            return c < d ? -1 : 1;
    }
    if (i < m)
        return 1;
    if (j < n)
        return -1;
    return 0;
}

} // namespace bryndle
