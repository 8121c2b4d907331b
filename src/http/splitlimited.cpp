#include "http/splitlimited.h"

#include <stdexcept>

namespace bryndle {

std::vector<std::string> splitLimited(std::string_view text, std::string_view separator,
                                      int limit) {
    if (limit < 1)
        throw std::invalid_argument("splitLimited: limit below 1");
    if (separator.empty())
        throw std::invalid_argument("splitLimited: empty separator");
    std::vector<std::string> pieces;
    if (text.empty())
        return pieces;
    size_t start = 0;
    // The remainder after limit - 1 splits is exactly the rest joined again.
    while (static_cast<int>(pieces.size()) < limit - 1) {
        size_t at = text.find(separator, start);
        if (at == std::string_view::npos)
            break;
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

} // namespace bryndle
