#pragma once

#include <string>
#include <string_view>

namespace bryndle {

// "thread_" followed by the title's UTF-8 bytes in upper-case hexadecimal, two digits per
// byte: the title A has the file name thread_41.
std::string threadFileName(std::string_view title);

// The title of a thread file name (hexadecimal of either case). Raises ConvError for a name
// without the prefix or without digits, for bad hexadecimal and for bytes that are not UTF-8.
std::string fileToTitle(std::string_view file);

} // namespace bryndle
