#include "foundation/asciitext.h"

#include <gtest/gtest.h>

using namespace bryndle;

TEST(AsciiText, CaseAndDigitsLeaveOtherBytesAlone) {
    EXPECT_EQ(lowerAscii("GET Content-LENGTH 09 az"), "get content-length 09 az");
    // Bytes above 0x7F (here À and the Latin-1 byte for it) stay whatever the locale.
    EXPECT_EQ(lowerAscii("\xC3\x80\xC0Z"), "\xC3\x80\xC0z");
    EXPECT_EQ(hexDigitValue('0'), 0);
    EXPECT_EQ(hexDigitValue('f'), 15);
    EXPECT_EQ(hexDigitValue('F'), 15);
    EXPECT_EQ(hexDigitValue('g'), -1);
    EXPECT_EQ(hexDigitValue('\xB9'), -1);
    EXPECT_TRUE(isAsciiAlnum('z'));
    EXPECT_FALSE(isAsciiAlnum('_'));
    EXPECT_FALSE(isAsciiDigit('\xB2'));
}

TEST(AsciiText, PercentDecodingOfPathsAndFileLocations) {
    EXPECT_EQ(percentDecode("/tmp/a%20b/%E6%96%B0.xsl"), "/tmp/a b/\xE6\x96\xB0.xsl");
    EXPECT_EQ(percentDecode("%41%4a%4A"), "AJJ");
    // Only complete escapes are undone; '+' is no space in a path.
    EXPECT_EQ(percentDecode("a+b%2"), "a+b%2");
    EXPECT_EQ(percentDecode("%%41"), "%A");
    EXPECT_EQ(percentDecode("%00"), std::string(1, '\0'));
}
