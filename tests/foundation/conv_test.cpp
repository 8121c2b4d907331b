#include "foundation/conv.h"

#include <gtest/gtest.h>

using namespace bryndle;

namespace {
template <class F> std::string errorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}
} // namespace

TEST(ParseLong, PrefixesAndSigns) {
    EXPECT_EQ(parseLong(""), 0);
    EXPECT_EQ(parseLong("-"), 0);
    EXPECT_EQ(parseLong("0"), 0);
    EXPECT_EQ(parseLong("-0"), 0);
    EXPECT_EQ(parseLong("010"), 8);
    EXPECT_EQ(parseLong("00"), 0);
    EXPECT_EQ(parseLong("0x1F"), 31);
    EXPECT_EQ(parseLong("0XfF"), 255);
    EXPECT_EQ(parseLong("-0x10"), -16);
    EXPECT_EQ(parseLong("+42"), 42);
}

TEST(ParseLong, RejectsWhatIsNotADigitOfTheRadix) {
    EXPECT_EQ(errorOf([] { parseLong("08"); }), "Error: conversion 08");
    EXPECT_EQ(errorOf([] { parseLong("0x"); }), "Error: conversion 0x");
    EXPECT_EQ(errorOf([] { parseLong(" 1"); }), "Error: conversion  1");
    EXPECT_EQ(errorOf([] { parseLong("1 "); }), "Error: conversion 1 ");
    EXPECT_EQ(errorOf([] { parseLong("0x1G"); }), "Error: conversion 0x1G");
    EXPECT_EQ(errorOf([] { parseLong("--1"); }), "Error: conversion --1");
    EXPECT_THROW(parseLong("1.5"), ConvError);
}

TEST(ParseLong, OverflowIsReportedAboutTheWholeInput) {
    EXPECT_EQ(parseLong("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parseLong("-9223372036854775807"), -INT64_MAX);
    EXPECT_EQ(parseLong("0x7fffffffffffffff"), INT64_MAX);
    EXPECT_EQ(errorOf([] { parseLong("9223372036854775808"); }),
              "Error: overflow 9223372036854775808");
    EXPECT_THROW(parseLong("0x8000000000000000"), ConvOverflowError);
    EXPECT_THROW(parseLong("01000000000000000000000"), ConvOverflowError);
    EXPECT_THROW(parseLong("99999999999999999999999999"), ConvOverflowError);
}

TEST(Hex, RoundTripsAndReportsBadInput) {
    EXPECT_EQ(toHex(std::string("\x00\xab", 2)), "00ab");
    EXPECT_EQ(toHex(""), "");
    EXPECT_EQ(fromHex("00AB"), std::string("\x00\xab", 2));
    EXPECT_EQ(fromHex("00ab"), std::string("\x00\xab", 2));
    EXPECT_EQ(errorOf([] { fromHex("0g"); }), "Error: conversion g");
    EXPECT_EQ(errorOf([] { fromHex("abc"); }),
              "Error: conversion abc (odd number of hexadecimal digits)");
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    EXPECT_EQ(fromHex(toHex(all)), all);
    // Random tokens: the asked number of bytes, and never the same twice.
    const std::string token = randomHex(16);
    EXPECT_EQ(fromHex(token).size(), 16u);
    EXPECT_NE(token, randomHex(16));
    EXPECT_EQ(randomHex(3).size(), 6u);
}

TEST(LocalTime, GivesTheLocalCalendarFields) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    std::tm t = localTime(0);
    EXPECT_EQ(t.tm_year, 70);
    EXPECT_EQ(t.tm_hour, 9);
    t = localTime(1700000000); // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(t.tm_mday, 15);
    EXPECT_EQ(t.tm_hour, 7);
    EXPECT_EQ(t.tm_min, 13);
}
