#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bryndle {

// Splits text at every separator, keeping empty pieces; when there are more pieces than
// limit, the last piece keeps the rest of the text. An empty text gives no pieces.
// A limit below 1 or an empty separator raises std::invalid_argument.
std::vector<std::string> splitLimited(std::string_view text, std::string_view separator, int limit);

} // namespace bryndle
