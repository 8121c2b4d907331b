#include "nodetext.h"

#include "foundation/asciitext.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"

#include <gtest/gtest.h>

namespace bryndle {
namespace {

TEST(NodeTextTest, FileNamesRoundTrip) {
    EXPECT_EQ(threadFileName("A"), "thread_41");
    EXPECT_EQ(threadFileName("雑談"), "thread_E99B91E8AB87");
    EXPECT_EQ(NodeText::titleOfFile("thread_E99B91E8AB87"), "雑談");
    EXPECT_EQ(NodeText::titleOfFile("thread_e99b91e8ab87"), "雑談");
    EXPECT_EQ(NodeText::titleOfFile(threadFileName("a,b \"c\"?#")), "a,b \"c\"?#");
}

TEST(NodeTextTest, FileNamesThatNameNoUsableTitle) {
    EXPECT_FALSE(NodeText::titleOfFile("thread_"));
    EXPECT_FALSE(NodeText::titleOfFile("thread_4"));
    EXPECT_FALSE(NodeText::titleOfFile("thread_4G"));
    EXPECT_FALSE(NodeText::titleOfFile("Thread_41"));
    EXPECT_FALSE(NodeText::titleOfFile("41"));
    // Invalid UTF-8 and control characters.
    EXPECT_FALSE(NodeText::titleOfFile("thread_FF"));
    EXPECT_FALSE(NodeText::titleOfFile("thread_410A42"));
    EXPECT_TRUE(NodeText::isUsableTitle(std::string(1024, 'a')));
    EXPECT_FALSE(NodeText::isUsableTitle(std::string(1025, 'a')));
}

TEST(NodeTextTest, EncodePathKeepsTheUriSetButEncodesQuestionAndNumberSigns) {
    EXPECT_EQ(encodeTitle("a b?c#d"), "a%20b%3Fc%23d");
    EXPECT_EQ(encodeTitle("x/y;z:@&=+$,-_.!~*'()"), "x/y;z:@&=+$,-_.!~*'()");
    EXPECT_EQ(encodeTitle("100%"), "100%25");
    EXPECT_EQ(encodeTitle("雑"), "%E9%9B%91");
    EXPECT_EQ(encodeTitle("\"<>"), "%22%3C%3E");
}

TEST(NodeTextTest, PercentDecoding) {
    EXPECT_EQ(percentDecode("a%20b?c%3f%23+"), "a b?c?#+");
    EXPECT_EQ(percentDecode("%E9%9B%91"), "雑");
    EXPECT_EQ(percentDecode("100%"), "100%");
    EXPECT_EQ(percentDecode("%4"), "%4");
    EXPECT_EQ(percentDecode("%zz%4g"), "%zz%4g");
    EXPECT_EQ(percentDecode(encodeTitle("x y/?#%\"")), "x y/?#%\"");
}

TEST(NodeTextTest, EscapePostedAsNodesStoreIt) {
    EXPECT_EQ(NodeText::escapePosted("a\r\nb\nc\r"), "a<br>b<br>c");
    EXPECT_EQ(NodeText::escapePosted("<script>x</script>"), "&lt;script&gt;x&lt;/script&gt;");
    EXPECT_EQ(NodeText::escapePosted("A & B"), "A &amp; B");
    EXPECT_EQ(NodeText::escapePosted("&hearts; &#9829; &#x2665; &amp;"),
              "&hearts; &#9829; &#x2665; &amp;");
    EXPECT_EQ(NodeText::escapePosted("&; &#; &#x; &abc"), "&amp;; &amp;#; &amp;#x; &amp;abc");
    // The record separator can never survive in a field.
    EXPECT_EQ(NodeText::escapePosted("a<>b"), "a&lt;&gt;b");
    EXPECT_EQ(NodeText::escapePosted("\"quoted\" 'text'"), "\"quoted\" 'text'");
}

TEST(NodeTextTest, EntityRecognition) {
    EXPECT_TRUE(NodeText::startsEntity("&lt;", 0));
    EXPECT_TRUE(NodeText::startsEntity("x&#38;", 1));
    EXPECT_FALSE(NodeText::startsEntity("&lt", 0));
    EXPECT_FALSE(NodeText::startsEntity("& lt;", 0));
    EXPECT_FALSE(NodeText::startsEntity("&#xg;", 0));
    EXPECT_FALSE(NodeText::startsEntity("&" + std::string(40, 'a') + ";", 0));
}

TEST(NodeTextTest, HtmlOfStoredTextKeepsLineBreaksOnly) {
    EXPECT_EQ(NodeText::storedToHtml("a<br>b&hearts;&amp;"), "a<br>b&hearts;&amp;");
    EXPECT_EQ(NodeText::storedToHtml("<script>alert(1)</script>"),
              "&lt;script&gt;alert(1)&lt;/script&gt;");
    EXPECT_EQ(NodeText::storedToHtml("<b>x & y\""), "&lt;b&gt;x &amp; y&quot;");
    EXPECT_EQ(NodeText::escapeHtml("<a href='x'>&amp;\"</a>"),
              "&lt;a href=&#39;x&#39;&gt;&amp;amp;&quot;&lt;/a&gt;");
}

TEST(NodeTextTest, CsvFieldsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(NodeText::csvField("plain title"), "plain title");
    EXPECT_EQ(NodeText::csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(NodeText::csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(NodeText::csvField("\""), "\"\"\"\"");
    EXPECT_EQ(NodeText::csvField(""), "");
}

TEST(NodeTextTest, StampRanges) {
    auto open = NodeText::parseRange("42-");
    ASSERT_TRUE(open);
    EXPECT_EQ(open->from, 42);
    EXPECT_EQ(open->to, INT64_MAX);
    auto closed = NodeText::parseRange("10-20");
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->from, 10);
    EXPECT_EQ(closed->to, 20);
    auto upTo = NodeText::parseRange("-20");
    ASSERT_TRUE(upTo);
    EXPECT_EQ(upTo->from, 0);
    EXPECT_EQ(upTo->to, 20);
    auto single = NodeText::parseRange("7");
    ASSERT_TRUE(single);
    EXPECT_EQ(single->from, 7);
    EXPECT_EQ(single->to, 7);
    EXPECT_FALSE(NodeText::parseRange("-"));
    EXPECT_FALSE(NodeText::parseRange(""));
    EXPECT_FALSE(NodeText::parseRange("1-2-3"));
    EXPECT_FALSE(NodeText::parseRange("x-"));
    EXPECT_FALSE(NodeText::parseRange("1234567890123456789-"));
}

TEST(NodeTextTest, RecordFieldsAndAttachmentSuffixes) {
    auto fields = NodeText::recordFields("body:a:b<>name:x<>broken<>mail:");
    EXPECT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields["body"], "a:b");
    EXPECT_EQ(fields["name"], "x");
    EXPECT_EQ(fields["mail"], "");
    EXPECT_EQ(NodeText::attachmentSuffix("moon.PNG"), "png");
    EXPECT_EQ(NodeText::attachmentSuffix("archive.tar.gz"), "gz");
    EXPECT_EQ(NodeText::attachmentSuffix("noext"), "");
    EXPECT_EQ(NodeText::attachmentSuffix("bad.p/g"), "");
    EXPECT_EQ(NodeText::attachmentSuffix("long.abcdefghi"), "");
}

} // namespace
} // namespace bryndle
