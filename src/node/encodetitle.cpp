#include "node/encodetitle.h"

#include <cstring>

namespace bryndle {

namespace {

bool keptAsIs(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return c != 0 && std::strchr(";/:@&=+$,-_.!~*'()", c) != nullptr;
}

} // namespace

std::string encodeTitle(std::string_view title) {
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(title.size());
    for (unsigned char c : title) {
        if (keptAsIs(c)) {
            encoded.push_back(static_cast<char>(c));
        } else {
            encoded.push_back('%');
            encoded.push_back(digits[c >> 4]);
            encoded.push_back(digits[c & 0x0f]);
        }
    }
    return encoded;
}

} // namespace bryndle
