#pragma once

#include <cstdint>
#include <string_view>

namespace bryndle {

// A non-empty text of decimal digits only, at most max. Anything else raises ConvError; a
// value above max raises ConvOverflowError.
uint64_t parseDecimal(std::string_view text, uint64_t max);

inline uint32_t parseDecimalUInt32(std::string_view text) {
    return static_cast<uint32_t>(parseDecimal(text, UINT32_MAX));
}

} // namespace bryndle
