#include "config/configuration.h"
#include "foundation/digest.h"
#include "store/pagetext.h"
#include "store/schema.h"
#include "store/threadmessage.h"
#include "support/tempdir.h"
#include "xmlquery.h"

#include <gtest/gtest.h>

#include <random>

using namespace bryndle;
using bryndle::test::ScopedCurrentDir;
using bryndle::test::TempDir;
using bryndle::test::XmlQuery;

namespace {

class PageDocumentTest : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override {
        auto configuration = std::make_unique<Configuration>(dir.file("config.db"));
        configuration->setNodeHost("node.example");
        configuration->setNodePort(8000);
        configuration->setAttachDir(dir.file("attach"));
        Configuration::setInstance(std::move(configuration));
    }
    void TearDown() override { Configuration::setInstance(nullptr); }

    static Schema schema(const std::string& title, const std::string& method = "get") {
        Schema s(title);
        s.method = method;
        return s;
    }
    static ThreadMessage record(int n) {
        ThreadMessage m;
        m.title = "abc";
        m.mtime = 1000 + n;
        char id[40];
        std::snprintf(id, sizeof id, "%08x%024d", 0x0a0b0c00 + n, n);
        m.md5 = id;
        m.name = "name" + std::to_string(n);
        m.message = "body " + std::to_string(n);
        return m;
    }
    // The text of the n-th LINE of the only record's MESSAGE.
    static std::vector<std::string> lines(const std::string& body) {
        ThreadMessage m = record(1);
        m.message = body;
        XmlQuery doc(ThreadMessage::toDocument(schema("abc"), "/theme", {m}, 0, ""));
        EXPECT_TRUE(doc.ok());
        return doc.all("//ITEM/MESSAGE/LINE");
    }
};

} // namespace

TEST_F(PageDocumentTest, WritesTheHeaderAndAnEmptyPageByteForByte) {
    Schema s = schema("abc");
    s.target = "";
    const std::string text = ThreadMessage::toDocument(s, "/themes/terminal", {}, 7, "0a0b0c01");
    EXPECT_EQ(text, "<?xml version=\"1.0\"?>\n"
                    "<?xml-stylesheet type=\"text/xsl\" href=\"/themes/terminal/get.xsl\" ?>\n"
                    "<SHINGETSU>\n\t<INFO>\n"
                    "\t\t<TITLE>abc</TITLE>\n"
                    "\t\t<FILE>thread_616263</FILE>\n"
                    "\t\t<TARGET></TARGET>\n"
                    "\t\t<GATEWAY>http://node.example:8000/</GATEWAY>\n"
                    "\t\t<METHOD>get</METHOD>\n"
                    "\t\t<BEGINNO>7</BEGINNO>\n"
                    "\t\t<ENDNO>7</ENDNO>\n"
                    "\t\t<COUNT>0</COUNT>\n"
                    "\t\t<RECENT_ID>0a0b0c01</RECENT_ID>\n"
                    "\t\t<THEME>/themes/terminal</THEME>\n"
                    "\t</INFO>\n\t<ITEMS>\n\t</ITEMS>\n</SHINGETSU>\n");
}

TEST_F(PageDocumentTest, WritesAnItemByteForByte) {
    ThreadMessage m = record(1);
    m.mail = "sage";
    m.trip = "JrAhRvsirwR";
    m.remove_id = "rid";
    m.remove_stamp = "123";
    m.message = "a<br>b\tc";
    m.flags = 4;
    EXPECT_EQ(m.toItem(40), "\t\t<ITEM>\n"
                            "\t\t\t<ID>0a0b0c01</ID>\n"
                            "\t\t\t<NO>40</NO>\n"
                            "\t\t\t<HASH>0a0b0c01000000000000000000000001</HASH>\n"
                            "\t\t\t<TIMESTAMP>1001</TIMESTAMP>\n"
                            "\t\t\t<NAME>name1</NAME>\n"
                            "\t\t\t<MAIL>sage</MAIL>\n"
                            "\t\t\t<TRIP>JrAhRvsirwR</TRIP>\n"
                            "\t\t\t<REMOVE_ID>rid</REMOVE_ID>\n"
                            "\t\t\t<REMOVE_STAMP>123</REMOVE_STAMP>\n"
                            "\t\t\t<MESSAGE><LINE>a</LINE><LINE>b    c</LINE></MESSAGE>\n"
                            "\t\t\t<ATTACH_PATH></ATTACH_PATH>\n"
                            "\t\t\t<ATTACH_HASH></ATTACH_HASH>\n"
                            "\t\t\t<ATTACH_EXT></ATTACH_EXT>\n"
                            "\t\t\t<FLAGS>4</FLAGS>\n"
                            "\t\t</ITEM>\n");
}

TEST_F(PageDocumentTest, NumbersRecordsFromTheFirstNumber) {
    XmlQuery one(ThreadMessage::toDocument(schema("abc"), "/t", {record(1)}, 40, ""));
    ASSERT_TRUE(one.ok());
    EXPECT_EQ(one.value("string(//BEGINNO)"), "40");
    EXPECT_EQ(one.value("string(//ENDNO)"), "40");
    EXPECT_EQ(one.value("string(//COUNT)"), "1");
    EXPECT_EQ(one.value("string(//ITEM/NO)"), "40");

    XmlQuery three(
        ThreadMessage::toDocument(schema("abc"), "/t", {record(1), record(2), record(3)}, 0, ""));
    EXPECT_EQ(three.all("//ITEM/NO"), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(three.value("string(//ENDNO)"), "2");
    EXPECT_EQ(three.all("//ITEM/ID"),
              (std::vector<std::string>{"0a0b0c01", "0a0b0c02", "0a0b0c03"}));
}

TEST_F(PageDocumentTest, NamesTheStylesheetOfTheMethodInTheAbsoluteThemeFolder) {
    TempDir cwd;
    ScopedCurrentDir inside(cwd.path());
    const std::string text =
        ThreadMessage::toDocument(schema("abc", "cache"), "template/theme/terminal", {}, 0, "");
    const std::string expected = "href=\"" + std::filesystem::current_path().string() +
                                 "/template/theme/terminal/cache.xsl\"";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    // THEME keeps the folder as it was given.
    EXPECT_NE(text.find("<THEME>template/theme/terminal</THEME>"), std::string::npos);
    // A method in capitals still names the theme's lower-case file.
    EXPECT_NE(ThreadMessage::toDocument(schema("abc", "GET"), "/t", {}, 0, "").find("/t/get.xsl"),
              std::string::npos);
}

TEST_F(PageDocumentTest, EscapesTitlesAndOtherTextsInsteadOfCopyingThem) {
    Schema s = schema("<b>&amp; \"q\"</b>");
    s.target = "x<y";
    const std::string text = ThreadMessage::toDocument(s, "/a&b \"c\" ?>", {}, 0, "<r>");
    XmlQuery doc(text);
    ASSERT_TRUE(doc.ok()) << text;
    EXPECT_EQ(doc.value("string(//TITLE)"), "<b>&amp; \"q\"</b>");
    EXPECT_EQ(doc.value("string(//TARGET)"), "x<y");
    EXPECT_EQ(doc.value("string(//RECENT_ID)"), "<r>");
    EXPECT_EQ(doc.value("string(//THEME)"), "/a&b \"c\" ?>");
    EXPECT_EQ(doc.count("//SHINGETSU/INFO/TITLE/*"), 0u);
    // The processing instruction is not cut short by the path.
    EXPECT_NE(text.find("href=\"/a&amp;b &quot;c&quot; ?&gt;/get.xsl\" ?>"), std::string::npos);
}

TEST_F(PageDocumentTest, SplitsBodiesIntoLinesOnlyAtLowerCaseBreaks) {
    EXPECT_EQ(lines("a<br>b&c"), (std::vector<std::string>{"a", "b&c"}));
    EXPECT_EQ(lines(""), (std::vector<std::string>{""}));
    EXPECT_EQ(lines("<br>"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(lines("x<BR>y"), (std::vector<std::string>{"x<BR>y"}));
    EXPECT_EQ(lines("\tx"), (std::vector<std::string>{"    x"}));
    // A break the author typed as text stays text.
    EXPECT_EQ(lines("a&lt;br&gt;b"), (std::vector<std::string>{"a<br>b"}));
}

TEST_F(PageDocumentTest, NodeTextsShowTheCharactersTheirReferencesStandFor) {
    EXPECT_EQ(lines("&hearts; &#9829; &#x2665; &#X2665;"),
              (std::vector<std::string>{"\u2665 \u2665 \u2665 \u2665"}));
    EXPECT_EQ(lines("&lt;b&gt;bold&lt;/b&gt; &quot;q&quot; &amp;lt;"),
              (std::vector<std::string>{"<b>bold</b> \"q\" &lt;"}));
    EXPECT_EQ(lines("a & b &; &unknown; &hearts &#; &#xZZ; &#0; &#xD800; &#1114112;"),
              (std::vector<std::string>{"a & b &; &unknown; &hearts &#; &#xZZ; &#0; &#xD800; "
                                        "&#1114112;"}));
    EXPECT_EQ(lines("&Hearts;&eacute;&nbsp;"), (std::vector<std::string>{"&Hearts;\u00e9\u00a0"}));

    ThreadMessage m = record(1);
    m.name = "&lt;i&gt;名無し&#9829;";
    m.mail = "&amp;sage";
    XmlQuery doc(ThreadMessage::toDocument(schema("abc"), "/t", {m}, 0, ""));
    EXPECT_EQ(doc.value("string(//NAME)"), "<i>名無し\u2665");
    EXPECT_EQ(doc.value("string(//MAIL)"), "&sage");
}

TEST_F(PageDocumentTest, RawMarkupFromANodeNeverBecomesMarkup) {
    ThreadMessage m = record(1);
    m.message = "<script>alert(1)</script><br><img src=x onerror=alert(2)>";
    m.name = "<b>n</b>";
    m.mail = "]]><x/>";
    m.remove_id = "<r/>";
    m.remove_stamp = "&bogus;";
    m.trip = "\"'<>";
    m.md5 = "<script>0123456789012345678901</";
    const std::string text = ThreadMessage::toDocument(schema("abc"), "/t", {m}, 0, "");
    XmlQuery doc(text);
    ASSERT_TRUE(doc.ok()) << text;
    EXPECT_EQ(doc.count("//ITEM//*[not(self::LINE) and parent::MESSAGE]"), 0u);
    EXPECT_EQ(doc.count("//ITEM/*/*[not(self::LINE)]"), 0u);
    EXPECT_EQ(doc.all("//LINE"), (std::vector<std::string>{"<script>alert(1)</script>",
                                                           "<img src=x onerror=alert(2)>"}));
    EXPECT_EQ(doc.value("string(//NAME)"), "<b>n</b>");
    EXPECT_EQ(doc.value("string(//MAIL)"), "]]><x/>");
    EXPECT_EQ(doc.value("string(//REMOVE_ID)"), "<r/>");
    EXPECT_EQ(doc.value("string(//REMOVE_STAMP)"), "&bogus;");
    EXPECT_EQ(doc.value("string(//TRIP)"), "\"'<>");
    EXPECT_EQ(doc.value("string(//ID)"), "<script>");
}

TEST_F(PageDocumentTest, BytesThatXmlCannotHoldBecomeReplacementCharacters) {
    ThreadMessage m = record(1);
    m.name = std::string("a\x01"
                         "b\xff"
                         "c\xc3") +
             "\xef\xbf\xbf";
    m.message = std::string("x\0y", 3) + "\x1b[31m";
    XmlQuery doc(ThreadMessage::toDocument(schema("abc"), "/t", {m}, 0, ""));
    ASSERT_TRUE(doc.ok());
    EXPECT_EQ(doc.value("string(//NAME)"), "a\uFFFDb\uFFFDc\uFFFD\uFFFD");
    EXPECT_EQ(doc.value("string(//LINE)"), "x\uFFFDy\uFFFD[31m");
}

TEST_F(PageDocumentTest, StaysWellFormedForAnyNodeInput) {
    std::mt19937 random(20261209);
    const std::string alphabet[] = {"<",
                                    ">",
                                    "&",
                                    ";",
                                    "#",
                                    "x",
                                    "a",
                                    "\"",
                                    "'",
                                    "<br>",
                                    "&amp;",
                                    "&#",
                                    "\xe3\x81\x82",
                                    "\xff",
                                    "\x01",
                                    "]]>",
                                    "<!--",
                                    "?>",
                                    "\t",
                                    "&hearts;",
                                    "9",
                                    "\r",
                                    "\n"};
    auto garbage = [&] {
        std::string text;
        const int n = static_cast<int>(random() % 40);
        for (int i = 0; i < n; ++i)
            text += alphabet[random() % std::size(alphabet)];
        return text;
    };
    for (int round = 0; round < 300; ++round) {
        ThreadMessage m = record(round);
        m.md5 = garbage();
        m.name = garbage();
        m.mail = garbage();
        m.message = garbage();
        m.trip = garbage();
        m.remove_id = garbage();
        m.remove_stamp = garbage();
        m.attach = garbage();
        m.ext = garbage();
        Schema s = schema(garbage(), garbage());
        s.target = garbage();
        const std::string text = ThreadMessage::toDocument(s, "/t", {m, record(1)}, 0, garbage());
        XmlQuery doc(text);
        ASSERT_TRUE(doc.ok()) << text;
        ASSERT_EQ(doc.count("//ITEM"), 2u);
    }
}

TEST_F(PageDocumentTest, AttachmentPathsStayInsideTheAttachmentFolder) {
    const std::string folder = Configuration::instance().attachDir();
    ThreadMessage m = record(1);
    EXPECT_EQ(m.attachPath(), "");

    m.ext = "jpg";
    m.setAttach("image bytes");
    EXPECT_EQ(m.attach, Digest::md5Hex("image bytes"));
    EXPECT_EQ(m.attachPath(), folder + "/" + Digest::md5Hex("image bytes") + ".jpg");
    EXPECT_EQ(m.attachPathFor("other"), folder + "/" + Digest::md5Hex("other") + ".jpg");

    XmlQuery doc(ThreadMessage::toDocument(schema("abc"), "/t", {m}, 0, ""));
    EXPECT_EQ(doc.value("string(//ATTACH_PATH)"), m.attachPath());
    EXPECT_EQ(doc.value("string(//ATTACH_HASH)"), m.attach);
    EXPECT_EQ(doc.value("string(//ATTACH_EXT)"), "jpg");

    for (const std::string ext : {"../../x", "a/b", "tar.gz", "", "toolongext", "p\xc3\xa9"}) {
        m.ext = ext;
        EXPECT_EQ(m.attachPath(), folder + "/" + m.attach) << ext;
    }
    m.ext = "png";
    m.attach = "../../../etc/passwd";
    EXPECT_EQ(m.attachPath(), "");
    m.attach = "0123456789ABCDEF0123456789ABCDEF";
    EXPECT_EQ(m.attachPath(), "");
}

TEST_F(PageDocumentTest, SafeSuffixesAreShortAlphanumericWords) {
    for (const char* ok : {"jpg", "PNG", "7z", "webp", "abcdefgh"})
        EXPECT_TRUE(ThreadMessage::isSafeSuffix(ok)) << ok;
    for (const char* bad : {"", "abcdefghi", "tar.gz", "a b", "..", "x/y", "x\\y", "-x"})
        EXPECT_FALSE(ThreadMessage::isSafeSuffix(bad)) << bad;
}

TEST_F(PageDocumentTest, ClearDropsTheTexts) {
    ThreadMessage m = record(1);
    m.mail = "m";
    m.pubkey = "p";
    m.trip = "t";
    m.sign = "s";
    m.ext = "e";
    m.clear();
    EXPECT_TRUE(m.title.empty() && m.md5.empty() && m.message.empty() && m.name.empty() &&
                m.mail.empty() && m.pubkey.empty() && m.trip.empty() && m.sign.empty() &&
                m.ext.empty());
}

TEST(PageTextTest, EscapesAndDecodes) {
    EXPECT_EQ(PageText::escape("a<b>&\"c\"'\r"), "a&lt;b&gt;&amp;&quot;c&quot;'&#13;");
    EXPECT_EQ(PageText::decodeEntities("&amp;amp;"), "&amp;");
    EXPECT_EQ(PageText::decodeEntities("&apos;&#39;"), "''");
    EXPECT_EQ(PageText::nodeText("&lt;&gt;"), "&lt;&gt;");
    // A reference longer than any name is left alone, not read past.
    const std::string longName = "&" + std::string(100, 'a') + ";";
    EXPECT_EQ(PageText::decodeEntities(longName), longName);
    EXPECT_EQ(PageText::decodeEntities("&#99999999999;"), "&#99999999999;");
    EXPECT_EQ(PageText::decodeEntities("tail&"), "tail&");
    EXPECT_EQ(PageText::decodeEntities("&#x1F600;"), "\U0001F600");
}
