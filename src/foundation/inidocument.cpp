#include "foundation/inidocument.h"

#include "foundation/inifileexception.h"
#include "foundation/unicode.h"

#include <cerrno>
#include <vector>

namespace bryndle {

namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";

std::string_view trim(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return Unicode::compareIgnoringCase(a, b) == 0;
}

// One line of the text: [begin, contentEnd) without its line end, [begin, end) with it.
struct Line {
    size_t begin;
    size_t contentEnd;
    size_t end;
};

enum class Kind { Section, Key, Other };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;
    std::string_view value;
};

std::vector<Line> splitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t begin = text.starts_with(Bom) ? Bom.size() : 0;
    while (begin < text.size()) {
        size_t newline = text.find('\n', begin);
        const size_t end = newline == std::string::npos ? text.size() : newline + 1;
        size_t contentEnd = newline == std::string::npos ? text.size() : newline;
        if (contentEnd > begin && text[contentEnd - 1] == '\r')
            --contentEnd;
        lines.push_back({begin, contentEnd, end});
        begin = end;
    }
    return lines;
}

Parsed parse(const std::string& text, const Line& line) {
    const std::string_view content =
        trim(std::string_view(text).substr(line.begin, line.contentEnd - line.begin));
    if (content.starts_with('[')) {
        const size_t close = content.find(']');
        return {Kind::Section,
                trim(content.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                       : close - 1)),
                {}};
    }
    if (content.starts_with(';'))
        return {};
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return {};
    return {Kind::Key, trim(content.substr(0, equals)), trim(content.substr(equals + 1))};
}

// Where a key sits: the line index of its section header and of the key itself (or npos).
struct Location {
    size_t section = std::string::npos;
    size_t key = std::string::npos;
    size_t lastKey = std::string::npos;
};

Location locate(const std::string& text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
    Location at;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Parsed line = parse(text, lines[i]);
        if (line.kind == Kind::Section) {
            if (inSection)
                break;
            inSection = sameName(line.name, section);
            if (inSection)
                at.section = i;
        } else if (inSection && line.kind == Kind::Key) {
            at.lastKey = i;
            if (sameName(line.name, key)) {
                at.key = i;
                break;
            }
        }
    }
    return at;
}

bool hasBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    const std::vector<Line> lines = splitLines(text_);
    const Location at = locate(text_, lines, section, key);
    if (at.key == std::string::npos)
        return std::nullopt;
    return std::string(parse(text_, lines[at.key]).value);
}

std::string IniDocument::refusal(std::string_view section, std::string_view key,
                                 std::string_view value) {
    if (hasBreakOrNul(section) || section.find(']') != std::string_view::npos ||
        trim(section) != section)
        return "section name cannot be written";
    if (key.empty() || hasBreakOrNul(key) || key.find('=') != std::string_view::npos ||
        key.starts_with('[') || key.starts_with(';') || trim(key) != key)
        return "key name cannot be written";
    if (hasBreakOrNul(value))
        return "value cannot be written";
    return {};
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    if (const std::string why = refusal(section, key, value); !why.empty())
        throw IniFileException(EINVAL, why);
    const std::vector<Line> lines = splitLines(text_);
    const Location at = locate(text_, lines, section, key);
    // New lines end as the file's first line does.
    const bool crlf = !lines.empty() && lines[0].end - lines[0].contentEnd == 2;
    const std::string eol = crlf ? "\r\n" : "\n";
    // What ends a last line that has no line end: a lone carriage return only needs its "\n",
    // or it would become part of the line's value.
    const std::string closing = text_.ends_with('\r') ? "\n" : eol;
    if (at.key != std::string::npos) {
        const Line& line = lines[at.key];
        const std::string keyText(parse(text_, line).name);
        text_.replace(line.begin, line.contentEnd - line.begin, keyText + "=" + std::string(value));
        return;
    }
    const std::string entry = std::string(key) + "=" + std::string(value);
    if (at.section == std::string::npos) {
        if (!text_.empty() && !text_.ends_with('\n'))
            text_ += closing;
        text_ += "[" + std::string(section) + "]" + eol + entry + eol;
        return;
    }
    const Line& after = lines[at.lastKey != std::string::npos ? at.lastKey : at.section];
    if (after.end == 0 || text_[after.end - 1] != '\n') // the last line, without a line end
        text_.insert(after.end, closing + entry);
    else
        text_.insert(after.end, entry + eol);
}

} // namespace bryndle
