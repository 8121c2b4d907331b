// A thread file name into its title, and a title into its file name and back.
#include "foundation/exception.h"
#include "foundation/unicode.h"
#include "node/threadfile.h"
#include "store/schema.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view Prefix = "thread_";
    try {
        const std::string title = bryndle::fileToTitle(text);
        if (!bryndle::Unicode::isValidUtf8(title) || text.substr(0, Prefix.size()) != Prefix ||
            bryndle::threadFileName(title) !=
                std::string(Prefix) + upperAscii(text.substr(Prefix.size())))
            std::abort();
    } catch (const bryndle::Exception&) {
    }
    // Every UTF-8 title has a file name that decodes to it again.
    if (!text.empty() && bryndle::Unicode::isValidUtf8(text) &&
        bryndle::fileToTitle(bryndle::threadFileName(text)) != text)
        std::abort();
    return 0;
}
