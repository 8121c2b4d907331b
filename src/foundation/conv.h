#pragma once

#include "foundation/exception.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace bryndle {

// "`VArray' does not implement a Function `toBool'"
class NotImplemented : public Exception {
public:
    NotImplemented(std::string_view className, std::string_view operation);
};

// "Error: conversion " + detail
class ConvError : public Exception {
public:
    explicit ConvError(std::string_view detail);
};

// "Error: overflow " + input text
class ConvOverflowError : public Exception {
public:
    explicit ConvOverflowError(std::string_view text);
};

// Two lower-case hexadecimal digits per byte, high nibble first.
std::string toHex(std::string_view bytes);
// Hexadecimal digits of `bytes` bytes from the system's random source: a token nobody can guess.
std::string randomHex(size_t bytes);
// Inverse of toHex; either case. Odd length or a non-digit raises ConvError.
std::string fromHex(std::string_view text);
// Integer text with C-style prefixes (0x hex, 0 octal), optional sign.
int64_t parseLong(std::string_view text);
// Local calendar fields of a time stamp (all zero when it has none); safe from several
// threads. The zone is read again only after tzset().
std::tm localTime(int64_t seconds);

} // namespace bryndle
