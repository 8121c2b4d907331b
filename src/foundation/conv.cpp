#include "foundation/conv.h"

#include <cstdint>
#include <limits>
#include <random>

namespace bryndle {

namespace {
// Built by appending: GCC 12 warns falsely (-Wrestrict at -O3) about "literal" + std::string.
std::string joined(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (auto part : parts)
        out.append(part);
    return out;
}
} // namespace

NotImplemented::NotImplemented(std::string_view className, std::string_view operation)
    : Exception(joined({"`", className, "' does not implement a Function `", operation, "'"})) {}

ConvError::ConvError(std::string_view detail) : Exception(joined({"Error: conversion ", detail})) {}

ConvOverflowError::ConvOverflowError(std::string_view text)
    : Exception(joined({"Error: overflow ", text})) {}

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int digitValue(char c, int radix) {
    int d = hexDigit(c);
    return d >= 0 && d < radix ? d : -1;
}

struct ParseFailure {};
struct ParseOverflow {};

int64_t parseDigits(std::string_view digits, int radix) {
    const int64_t max = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (char c : digits) {
        int d = digitValue(c, radix);
        if (d < 0)
            throw ParseFailure{};
        if (value > (max - d) / radix)
            throw ParseOverflow{};
        value = value * radix + d;
    }
    return value;
}

int64_t parseLongUnchecked(std::string_view text) {
    if (text.empty())
        return 0;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text == "0")
        return 0;
    int64_t value;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (text.size() == 2)
            throw ParseFailure{};
        value = parseDigits(text.substr(2), 16);
    } else if (text[0] == '0') {
        value = parseDigits(text.substr(1), 8);
    } else {
        value = parseDigits(text, 10);
    }
    return negative ? -value : value;
}

} // namespace

std::string toHex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

std::string randomHex(size_t bytes) {
    std::random_device random;
    std::string raw;
    raw.reserve(bytes + sizeof(std::uint32_t));
    while (raw.size() < bytes) {
        const auto word = static_cast<std::uint32_t>(random());
        raw.append(reinterpret_cast<const char*>(&word), sizeof word);
    }
    raw.resize(bytes);
    return toHex(raw);
}

std::string fromHex(std::string_view text) {
    if (text.size() % 2 != 0)
        throw ConvError(std::string(text) + " (odd number of hexadecimal digits)");
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = hexDigit(text[i]);
        if (hi < 0)
            throw ConvError(std::string(1, text[i]));
        int lo = hexDigit(text[i + 1]);
        if (lo < 0)
            throw ConvError(std::string(1, text[i + 1]));
        out.push_back(static_cast<char>(hi << 4 | lo));
    }
    return out;
}

int64_t parseLong(std::string_view text) {
    try {
        return parseLongUnchecked(text);
    } catch (const ParseFailure&) {
        throw ConvError(text);
    } catch (const ParseOverflow&) {
        throw ConvOverflowError(text);
    } catch (const std::exception& e) {
        throw Exception(e.what());
    }
}

std::tm localTime(int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm fields{};
    if (!localtime_r(&t, &fields))
        fields = std::tm{};
    return fields;
}

} // namespace bryndle
