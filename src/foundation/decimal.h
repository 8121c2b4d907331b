#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bryndle {

// Decimal numbers as texts for files, record names and peers: the same in every locale (the
// interface's toolkit switches the process to the user's, whose decimal point may be a comma).

// A non-empty text of decimal digits only, at most max. Anything else raises ConvError; a
// value above max raises ConvOverflowError.
uint64_t parseDecimal(std::string_view text, uint64_t max);

inline uint32_t parseDecimalUInt32(std::string_view text) {
    return static_cast<uint32_t>(parseDecimal(text, UINT32_MAX));
}

constexpr int MaxFractionDigits = 64;
// The value with exactly fractionDigits (0 to MaxFractionDigits) digits after a '.', as printf's
// "%.Nf" in the C locale; "inf" and "nan" for those values.
std::string formatFixed(double value, int fractionDigits);

} // namespace bryndle
