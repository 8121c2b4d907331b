#include "store/themefunctions.h"
#include "support/scopedtimezone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

using namespace bryndle;
using bryndle::test::ScopedTimeZone;

namespace {

using Pieces = std::vector<std::pair<std::string, bool>>;

Pieces split(std::string_view line) {
    Pieces pieces;
    for (const auto& piece : ThemeFunctions::splitReferences(line))
        pieces.emplace_back(std::string(piece.text), piece.reference);
    return pieces;
}

} // namespace

TEST(ThemeFunctionsTest, ReferencesAreFoundFromTheLeft) {
    EXPECT_EQ(split(">>0a0b0c0D"), (Pieces{{"0a0b0c0D", true}}));
    EXPECT_EQ(split("a >>0A0B0C01>>0a0b0c02 b"),
              (Pieces{{"a ", false}, {"0A0B0C01", true}, {"0a0b0c02", true}, {" b", false}}));
    // Seven digits are none; of nine, the first eight are the reference.
    EXPECT_EQ(split(">>0a0b0c0 x"), (Pieces{{">>0a0b0c0 x", false}}));
    EXPECT_EQ(split(">>0a0b0c019"), (Pieces{{"0a0b0c01", true}, {"9", false}}));
    // ">>>>id" links the id, ">>>id" does not; non-hexadecimal and multibyte text stays text.
    EXPECT_EQ(split(">>>>0a0b0c01"), (Pieces{{">>", false}, {"0a0b0c01", true}}));
    EXPECT_EQ(split(">>>0a0b0c01"), (Pieces{{">>>0a0b0c01", false}}));
    EXPECT_EQ(split(">>0a0b0c0g >>０a0b0c01 >>"), (Pieces{{">>0a0b0c0g >>０a0b0c01 >>", false}}));
    EXPECT_TRUE(split("").empty());
}

TEST(ThemeFunctionsTest, HostileLinesSplitWhole) {
    // Thousands of ">>", a long line of references, binary bytes: every byte accounted for.
    std::string marks(200000, '>');
    std::string refs;
    for (int i = 0; i < 50000; ++i)
        refs += ">>deadBEEF";
    std::string binary;
    for (int i = 0; i < 100000; ++i)
        binary += static_cast<char>(i * 37 % 256);
    for (const std::string& line : {marks, refs, binary + refs + marks}) {
        std::string joined;
        size_t references = 0;
        bool lastWasText = false;
        for (const auto& piece : ThemeFunctions::splitReferences(line)) {
            EXPECT_FALSE(lastWasText && !piece.reference);
            lastWasText = !piece.reference;
            joined += piece.reference ? ">>" : "";
            joined += piece.text;
            references += piece.reference;
        }
        EXPECT_EQ(joined, line);
        EXPECT_EQ(references, line == marks ? 0u : 50000u);
    }
}

TEST(ThemeFunctionsTest, BoxTextsKeepTheStartOfABody) {
    const std::string wide = std::string(99, 'x') + "字字"; // 101 characters
    EXPECT_EQ(ThemeFunctions::boxText({"a", "", wide, "b"}, 4, 100),
              "a\n" + std::string(99, 'x') + "字…\nb\n");
    EXPECT_EQ(ThemeFunctions::boxText({"1", "2", "3", "4", ""}, 4, 100), "1\n2\n3\n4\n…\n");
    EXPECT_EQ(ThemeFunctions::boxText({"", "", ""}, 4, 100), "");
    EXPECT_EQ(ThemeFunctions::boxText({"字字字"}, 4, 3), "字字字\n");
    EXPECT_EQ(ThemeFunctions::boxText({"abc"}, 0, 100), "…\n");
}

TEST(ThemeFunctionsTest, StampsAreLocalTimesOfTheirOwnDate) {
    {
        ScopedTimeZone utc("UTC");
        EXPECT_EQ(ThemeFunctions::localTime(0), "1970/01/01(木) 00:00:00");
        EXPECT_EQ(ThemeFunctions::localTime(951782400), "2000/02/29(火) 00:00:00");
        EXPECT_EQ(ThemeFunctions::localTime(-1), "1969/12/31(水) 23:59:59");
        EXPECT_EQ(ThemeFunctions::localTime(1700000000.9), "2023/11/14(火) 22:13:20");
        EXPECT_EQ(ThemeFunctions::localTime(253402300799), "9999/12/31(金) 23:59:59");
        EXPECT_EQ(ThemeFunctions::localTime(-62167219200), "0000/01/01(土) 00:00:00");
    }
    {
        // Winter and summer in one zone: each date with its own offset.
        ScopedTimeZone berlin("Europe/Berlin");
        EXPECT_EQ(ThemeFunctions::localTime(1704067200), "2024/01/01(月) 01:00:00");
        EXPECT_EQ(ThemeFunctions::localTime(1719792000), "2024/07/01(月) 02:00:00");
    }
    ScopedTimeZone utc("UTC");
    for (double odd : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300, 1e15,
                       253402300800.0, -62167219201.0})
        EXPECT_EQ(ThemeFunctions::localTime(odd), "-") << odd;
}
