#include "foundation/conv.h"
#include "foundation/decimal.h"
#include "support/commalocale.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

using namespace bryndle;

TEST(Decimal, ParsesDigitsUpToTheLimit) {
    EXPECT_EQ(parseDecimal("0", 9), 0u);
    EXPECT_EQ(parseDecimal("00065535", 65535), 65535u);
    EXPECT_EQ(parseDecimalUInt32("4294967295"), 4294967295u);
    EXPECT_EQ(parseDecimal("18446744073709551615", UINT64_MAX), UINT64_MAX);
    EXPECT_THROW(parseDecimal("65536", 65535), ConvOverflowError);
    EXPECT_THROW(parseDecimalUInt32("4294967296"), ConvOverflowError);
    EXPECT_THROW(parseDecimal("18446744073709551616", UINT64_MAX), ConvOverflowError);
    for (const char* bad : {"", "+1", "-1", " 1", "1 ", "0x1", "1.0", "1e3", "٣"})
        EXPECT_THROW(parseDecimal(bad, UINT64_MAX), ConvError) << bad;
    try {
        parseDecimal("12a", 100);
        FAIL();
    } catch (const ConvError& e) {
        EXPECT_STREQ(e.what(), "Error: conversion 12a");
    }
}

TEST(Decimal, FormatsFixedPointWithAPointInEveryLocale) {
    test::TempDir dir;
    for (bool comma : {false, true}) {
        std::optional<test::CommaLocale> locale;
        if (comma) {
            locale.emplace(dir);
            if (!locale->active())
                GTEST_SKIP() << "the de_DE.UTF-8 locale is not available here";
        }
        EXPECT_EQ(formatFixed(0.14, 2), "0.14") << comma;
        EXPECT_EQ(formatFixed(0.1, 2), "0.10");
        EXPECT_EQ(formatFixed(-2.5, 0), "-2"); // ties to even, as printf
        EXPECT_EQ(formatFixed(1234567.125, 3), "1234567.125");
        EXPECT_EQ(formatFixed(1e300, 1).size(), 303u);
        EXPECT_EQ(formatFixed(std::numeric_limits<double>::infinity(), 2), "inf");
    }
}
