#include "foundation/digest.h"
#include "foundation/unicode.h"

#include <gtest/gtest.h>

using namespace bryndle;

TEST(Digest, Md5AndBase64KnownValues) {
    EXPECT_EQ(Digest::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Digest::md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Digest::md5("abc").size(), 16u);
    EXPECT_EQ(Digest::base64Encode(""), "");
    EXPECT_EQ(Digest::base64Encode("f"), "Zg==");
    EXPECT_EQ(Digest::base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Digest::base64Decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(Digest::base64Decode("Zm9vYg=="), "foob");
    std::string binary;
    for (int i = 0; i < 1000; ++i)
        binary.push_back(static_cast<char>(i * 7));
    EXPECT_EQ(Digest::base64Decode(Digest::base64Encode(binary)), binary);
}

TEST(Digest, Base64DecodeRefusesGarbage) {
    EXPECT_THROW(Digest::base64Decode("@@@@"), std::exception);
    EXPECT_THROW(Digest::base64Decode("Zm9"), std::exception);
}

TEST(Unicode, Utf8ChecksAndUpperCase) {
    EXPECT_TRUE(Unicode::isValidUtf8("abc\xe3\x81\x82"));
    EXPECT_FALSE(Unicode::isValidUtf8("\xff"));
    EXPECT_FALSE(Unicode::isValidUtf8("\xe3\x81"));
    EXPECT_FALSE(Unicode::isValidUtf8("\xc0\xaf")); // overlong slash
    EXPECT_EQ(Unicode::toUpper("content-type"), "CONTENT-TYPE");
    EXPECT_EQ(Unicode::toUpper("stra\xc3\x9f"
                               "e \xc3\xa9"),
              "STRA\xc3\x9f"
              "E \xc3\x89"); // simple mapping keeps sharp s
    EXPECT_EQ(Unicode::toUpper("a\xffz"), "A\xffZ");
    EXPECT_EQ(Unicode::compareIgnoringCase("abc", "ABD"), -1);
    EXPECT_EQ(Unicode::compareIgnoringCase("ABC", "abc"), 0);
    EXPECT_EQ(Unicode::compareIgnoringCase("ab", "abc"), -1);
}
