#include "foundation/decimal.h"

#include "foundation/conv.h"

#include <algorithm>
#include <charconv>
#include <system_error>

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

std::string formatFixed(double value, int fractionDigits) {
    const int digits = std::clamp(fractionDigits, 0, MaxFractionDigits);
    // Room for a sign, the 309 integer digits of the largest double, a point and the fraction.
    std::string text(312 + static_cast<size_t>(digits), '\0');
    auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, digits);
    if (error != std::errc())
        throw ConvError("formatting a number");
    text.resize(static_cast<size_t>(end - text.data()));
    return text;
}

} // namespace bryndle
