#include "node/threadfile.h"

#include "foundation/conv.h"
#include "foundation/unicode.h"

namespace bryndle {

namespace {

constexpr std::string_view FilePrefix = "thread_";

} // namespace

std::string threadFileName(std::string_view title) {
    static const char digits[] = "0123456789ABCDEF";
    std::string name(FilePrefix);
    name.reserve(name.size() + title.size() * 2);
    for (unsigned char b : title) {
        name.push_back(digits[b >> 4]);
        name.push_back(digits[b & 0x0f]);
    }
    return name;
}

std::string fileToTitle(std::string_view file) {
    if (file.size() <= FilePrefix.size() || file.substr(0, FilePrefix.size()) != FilePrefix)
        throw ConvError("thread file name " + std::string(file));
    std::string title = fromHex(file.substr(FilePrefix.size()));
    if (!Unicode::isValidUtf8(title))
        throw ConvError("thread file name is not UTF-8");
    return title;
}

} // namespace bryndle
