#include "http/decimal.h"

#include "foundation/conv.h"

namespace bryndle {

uint64_t parseDecimal(std::string_view text, uint64_t max) {
    if (text.empty())
        throw ConvError(text);
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            throw ConvError(text);
        unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (max - digit) / 10)
            throw ConvOverflowError(text);
        value = value * 10 + digit;
    }
    return value;
}

} // namespace bryndle
