#include "http/responseparser.h"

#include "foundation/conv.h"
#include "foundation/decimal.h"
#include "http/httpconnectionexception.h"
#include "http/splitlimited.h"
#include "http/statustext.h"

#include <charconv>

namespace bryndle {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

// Digits with at most one decimal point; no sign, exponent, "inf" or "nan".
float parseVersion(std::string_view text) {
    bool digit = false;
    int points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c == '.')
            ++points;
        else
            throw ConvError(text);
    }
    if (!digit || points > 1)
        throw ConvError(text);
    float value = 0;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size())
        throw ConvError(text);
    return value;
}

} // namespace

int32_t parseStatus(std::string_view text) {
    auto code = static_cast<int32_t>(parseDecimal(text, INT32_MAX));
    return statusText(code).empty() ? 0 : code;
}

void parseStatusLine(std::string_view line, HTTPHeader& header) {
    std::vector<std::string> parts = splitLimited(line, " ", 3);
    if (parts.size() != 3 || parts[0].size() != 8)
        throw HTTPProtocolException("http protocol error1");
    header.setVersion(parseVersion(std::string_view(parts[0]).substr(5)));
    header.setStatus(parseStatus(parts[1]));
}

void parseHeaderLine(std::string_view line, HTTPHeader& header) {
    std::vector<std::string> parts = splitLimited(line, ":", 2);
    if (parts.size() != 2)
        throw HTTPProtocolException("http protocol error 2");
    header.add(trim(parts[0]), trim(parts[1]));
}

} // namespace bryndle
