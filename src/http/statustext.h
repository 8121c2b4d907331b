#pragma once

#include <cstdint>
#include <string_view>

namespace bryndle {

// The reason phrase of a status code, or an empty text for a code not in the table.
std::string_view statusText(int32_t code);

} // namespace bryndle
