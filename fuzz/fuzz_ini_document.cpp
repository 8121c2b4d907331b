// INI text: reading any text, and writing a value into it. A write that is refused raises and
// changes nothing; an accepted one reads back, leaves every other key's value alone, and keeps
// all lines but at most one (the line written, or a last line given its line end).
#include "foundation/inidocument.h"
#include "foundation/inifile.h"
#include "foundation/unicode.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string_view trim(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    size_t begin = 0;
    for (size_t end; (end = text.find('\n', begin)) != std::string_view::npos; begin = end + 1)
        out.push_back(text.substr(begin, end - begin));
    out.push_back(text.substr(begin));
    return out;
}

// How many lines of `before` are not kept around the one place where `after` differs: the
// lines before it and after it must be the same lines in the same order.
size_t missingLines(std::string_view before, std::string_view after) {
    const std::vector<std::string_view> old = lines(before);
    const std::vector<std::string_view> now = lines(after);
    size_t prefix = 0;
    while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
           old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    return old.size() - prefix - suffix;
}

bool same(std::string_view a, std::string_view b) {
    return bryndle::Unicode::compareIgnoringCase(a, b) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(32);
    const std::string key = input.ConsumeRandomLengthString(32);
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string otherSection = input.ConsumeRandomLengthString(32);
    const std::string otherKey = input.ConsumeRandomLengthString(32);
    const std::string text = input.ConsumeRemainingBytesAsString();

    const bryndle::IniDocument before(text);
    const auto otherBefore = before.value(otherSection, otherKey);
    if (otherBefore)
        (void)bryndle::IniFile::parseInt(*otherBefore);

    bryndle::IniDocument after(text);
    const bool refused = !bryndle::IniDocument::refusal(section, key, value).empty();
    try {
        after.setValue(section, key, value);
        if (refused)
            std::abort();
    } catch (const bryndle::IniFileException&) {
        if (!refused || after.text() != text)
            std::abort();
        return 0;
    }
    const bryndle::IniDocument reread(after.text());
    if (reread.value(section, key) != std::string(trim(value)))
        std::abort();
    if (!(same(section, otherSection) && same(key, otherKey)) &&
        reread.value(otherSection, otherKey) != otherBefore)
        std::abort();
    if (missingLines(text, after.text()) > 1)
        std::abort();
    return 0;
}
