#include "nodetext.h"

#include "foundation/asciitext.h"
#include "foundation/conv.h"
#include "foundation/unicode.h"
#include "node/threadfile.h"

namespace bryndle {

namespace {

constexpr size_t kMaxTitleBytes = 1024;

bool isHexDigit(char c) {
    return hexDigitValue(c) >= 0;
}

} // namespace

std::optional<std::string> NodeText::titleOfFile(std::string_view file) {
    std::string title;
    try {
        title = fileToTitle(file);
    } catch (const ConvError&) {
        return std::nullopt;
    }
    if (!isUsableTitle(title)) {
        return std::nullopt;
    }
    return title;
}

bool NodeText::isUsableTitle(std::string_view title) {
    if (title.empty() || title.size() > kMaxTitleBytes || !Unicode::isValidUtf8(title)) {
        return false;
    }
    for (char c : title) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            return false;
        }
    }
    return true;
}

bool NodeText::startsEntity(std::string_view text, size_t ampersand) {
    size_t i = ampersand + 1;
    size_t begin = i;
    if (i < text.size() && text[i] == '#') {
        ++i;
        bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex) {
            ++i;
        }
        begin = i;
        while (i < text.size() && (hex ? isHexDigit(text[i]) : isAsciiDigit(text[i]))) {
            ++i;
        }
    } else {
        while (i < text.size() && isAsciiAlnum(text[i])) {
            ++i;
        }
    }
    return i > begin && i - begin <= 32 && i < text.size() && text[i] == ';';
}

std::string NodeText::escapePosted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
        case '\r':
            break;
        case '\n':
            out += "<br>";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += startsEntity(text, i) ? "&" : "&amp;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string NodeText::escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string NodeText::storedToHtml(std::string_view text) {
    static constexpr std::string_view br = "<br>";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (text.substr(i, br.size()) == br) {
            out += br;
            i += br.size() - 1;
        } else if (c == '&') {
            out += startsEntity(text, i) ? "&" : "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else {
            out += c;
        }
    }
    return out;
}

std::string NodeText::csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
    return out;
}

std::optional<int64_t> NodeText::parseStamp(std::string_view text) {
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : text) {
        if (!isAsciiDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<StampRange> NodeText::parseRange(std::string_view text) {
    size_t dash = text.find('-');
    StampRange range;
    if (dash == std::string_view::npos) {
        auto stamp = parseStamp(text);
        if (!stamp) {
            return std::nullopt;
        }
        range.from = range.to = *stamp;
        return range;
    }
    std::string_view first = text.substr(0, dash);
    std::string_view last = text.substr(dash + 1);
    if (first.empty() && last.empty()) {
        return std::nullopt;
    }
    if (!first.empty()) {
        auto stamp = parseStamp(first);
        if (!stamp) {
            return std::nullopt;
        }
        range.from = *stamp;
    }
    if (!last.empty()) {
        auto stamp = parseStamp(last);
        if (!stamp) {
            return std::nullopt;
        }
        range.to = *stamp;
    }
    return range;
}

std::map<std::string, std::string> NodeText::recordFields(std::string_view text) {
    std::map<std::string, std::string> fields;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find("<>", pos);
        std::string_view field =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        size_t colon = field.find(':');
        if (colon != std::string_view::npos) {
            fields[std::string(field.substr(0, colon))] = std::string(field.substr(colon + 1));
        }
        if (end == std::string_view::npos) {
            break;
        }
        pos = end + 2;
    }
    return fields;
}

std::string NodeText::attachmentSuffix(std::string_view fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) {
        return {};
    }
    std::string_view suffix = fileName.substr(dot + 1);
    if (suffix.empty() || suffix.size() > 8) {
        return {};
    }
    for (char c : suffix) {
        if (!isAsciiAlnum(c)) {
            return {};
        }
    }
    return lowerAscii(suffix);
}

} // namespace bryndle
