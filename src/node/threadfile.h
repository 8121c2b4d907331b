#pragma once

#include <string>
#include <string_view>

namespace bryndle {

// "thread_" followed by the title's UTF-8 bytes in upper-case hexadecimal, two digits per
// byte: the title A has the file name thread_41.
std::string threadFileName(std::string_view title);

} // namespace bryndle
