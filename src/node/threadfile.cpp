#include "node/threadfile.h"

namespace bryndle {

std::string threadFileName(std::string_view title) {
    static const char digits[] = "0123456789ABCDEF";
    std::string name = "thread_";
    name.reserve(name.size() + title.size() * 2);
    for (unsigned char b : title) {
        name.push_back(digits[b >> 4]);
        name.push_back(digits[b & 0x0f]);
    }
    return name;
}

} // namespace bryndle
