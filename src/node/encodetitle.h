#pragma once

#include <string>
#include <string_view>

namespace bryndle {

// A UTF-8 title for a node path or URL: letters, digits and ;/:@&=+$,-_.!~*'() stay as they
// are; every other byte, '?' and '#' included, becomes '%' and two upper-case hexadecimal
// digits. (Left unencoded, '?' and '#' would end the path at the node.)
std::string encodeTitle(std::string_view title);

} // namespace bryndle
