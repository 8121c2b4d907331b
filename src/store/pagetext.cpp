#include "store/pagetext.h"

#include <libxml/HTMLparser.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace bryndle {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";
constexpr size_t MaxEntityName = 32;
constexpr size_t MaxNumericDigits = 8;

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The character of the reference starting at text[0] == '&', and its length; 0 when it is not
// a reference this page understands.
char32_t decodeReference(std::string_view text, size_t* length) {
    *length = 0;
    if (text.size() < 3)
        return 0;
    if (text[1] == '#') {
        size_t i = 2;
        int radix = 10;
        if (text[i] == 'x' || text[i] == 'X') {
            radix = 16;
            ++i;
        }
        const size_t digitsStart = i;
        uint32_t value = 0;
        while (i < text.size() && i - digitsStart < MaxNumericDigits) {
            int d = hexValue(text[i]);
            if (d < 0 || d >= radix)
                break;
            value = value * static_cast<uint32_t>(radix) + static_cast<uint32_t>(d);
            ++i;
        }
        if (i == digitsStart || i >= text.size() || text[i] != ';')
            return 0;
        if (!PageText::isXmlChar(value))
            return 0;
        *length = i + 1;
        return value;
    }
    size_t i = 1;
    while (i < text.size() && i - 1 < MaxEntityName && isAsciiAlnum(text[i]))
        ++i;
    if (i == 1 || i >= text.size() || text[i] != ';')
        return 0;
    std::string name(text.substr(1, i - 1));
    const htmlEntityDesc* entity = htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.c_str()));
    if (!entity || !PageText::isXmlChar(entity->value))
        return 0;
    *length = i + 1;
    return entity->value;
}

void appendNodeLine(std::string& out, std::string_view line) {
    std::string decoded = PageText::decodeEntities(line);
    std::string expanded;
    expanded.reserve(decoded.size());
    for (char c : decoded) {
        if (c == '\t')
            expanded += "    ";
        else
            expanded += c;
    }
    out += PageText::escape(expanded);
}

} // namespace

bool PageText::isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void PageText::appendUtf8(std::string& out, char32_t c) {
    uint8_t buffer[U8_MAX_LENGTH];
    int32_t n = 0;
    U8_APPEND_UNSAFE(buffer, n, static_cast<UChar32>(c));
    out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
}

std::string PageText::escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        const uint8_t b = s[i];
        if (b < 0x80) {
            ++i;
            switch (b) {
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
            case '\r':
                out += "&#13;";
                break;
            default:
                if (isXmlChar(b))
                    out += static_cast<char>(b);
                else
                    out += Replacement;
            }
            continue;
        }
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0 || !isXmlChar(static_cast<char32_t>(c)))
            out += Replacement;
        else
            out.append(text.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
    }
    return out;
}

std::string PageText::decodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, amp - i));
        size_t length = 0;
        char32_t c = decodeReference(text.substr(amp), &length);
        if (length == 0) {
            out += '&';
            i = amp + 1;
        } else {
            appendUtf8(out, c);
            i = amp + length;
        }
    }
    return out;
}

std::string PageText::nodeText(std::string_view text) {
    return escape(decodeEntities(text));
}

std::string PageText::messageLines(std::string_view body) {
    constexpr std::string_view Break = "<br>";
    std::string out;
    out.reserve(body.size() + 16);
    out += "<LINE>";
    size_t start = 0;
    for (;;) {
        size_t at = body.find(Break, start);
        if (at == std::string_view::npos) {
            appendNodeLine(out, body.substr(start));
            break;
        }
        appendNodeLine(out, body.substr(start, at - start));
        out += "</LINE><LINE>";
        start = at + Break.size();
    }
    out += "</LINE>";
    return out;
}

} // namespace bryndle
