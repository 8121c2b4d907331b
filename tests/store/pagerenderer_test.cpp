#include "config/configuration.h"
#include "foundation/digest.h"
#include "store/pagerenderer.h"
#include "store/schema.h"
#include "store/threadmessage.h"
#include "support/scopedtimezone.h"
#include "support/tempdir.h"
#include "xmlquery.h"

#include <gtest/gtest.h>
#include <libexslt/exslt.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

using namespace bryndle;
using bryndle::test::ScopedTimeZone;
using bryndle::test::TempDir;
using bryndle::test::XmlQuery;

namespace {

std::string themeDir() {
    return std::string(BRYNDLE_SOURCE_PATH) + "/data/template/theme/terminal";
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class PageRendererTest : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override {
        auto configuration = std::make_unique<Configuration>(dir.file("config.db"));
        configuration->setNodeHost("127.0.0.1");
        configuration->setNodePort(8000);
        configuration->setAttachDir(dir.file("at tach#1"));
        Configuration::setInstance(std::move(configuration));
    }
    void TearDown() override { Configuration::setInstance(nullptr); }

    static ThreadMessage record(int n, const std::string& body) {
        ThreadMessage m;
        m.title = "abc";
        m.mtime = 1700000000 + n;
        char id[40];
        std::snprintf(id, sizeof id, "%08x%024d", 0x0a0b0c00 + n, n);
        m.md5 = id;
        m.message = body;
        return m;
    }
    std::string render(const std::vector<ThreadMessage>& records, const std::string& method = "get",
                       const std::string& target = {}, const std::string& theme = themeDir()) {
        Schema s("abc");
        s.method = method;
        s.target = target;
        return PageRenderer::render(ThreadMessage::toDocument(s, theme, records, 0, ""));
    }
};

// The lines a reader sees in the records' bodies, or in the selected texts (the texts of hover
// boxes): each is one text with line breaks; a break at the very end ends the last line.
std::vector<std::string> lines(const XmlQuery& html, const std::string& texts = {}) {
    return bryndle::test::textLines(texts.empty() ? bryndle::test::recordBodies(html)
                                                  : html.all(texts));
}

// No element can run script: no script element, no on... attribute, no javascript: link.
void expectNoScript(const XmlQuery& html) {
    EXPECT_EQ(html.count("//script"), 0u);
    EXPECT_EQ(html.count("//@*[starts-with(name(), 'on')]"), 0u);
    EXPECT_EQ(html.count("//@href[starts-with(., 'javascript')]"), 0u);
}

} // namespace

TEST_F(PageRendererTest, NodeMarkupIsShownAsTextAndReferencesAsCharacters) {
    const std::string out = render(
        {record(1, "<script>alert(1)</script><br>&hearts; a & b<br>&lt;b&gt;not bold&lt;/b&gt;"
                   "<br><img src=x onerror=alert(2)>")});
    XmlQuery html(out, XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    expectNoScript(html);
    EXPECT_EQ(html.count("//img"), 0u);
    EXPECT_EQ(html.count("//b"), 0u);
    EXPECT_EQ(lines(html),
              (std::vector<std::string>{"<script>alert(1)</script>", "\u2665 a & b",
                                        "<b>not bold</b>", "<img src=x onerror=alert(2)>"}));
}

TEST_F(PageRendererTest, EveryRecordHasAnAnchorNamedByItsShortId) {
    XmlQuery html(render({record(1, "one"), record(2, "two")}), XmlQuery::Kind::Html);
    EXPECT_EQ(html.all("//div[@class='record']/@id"),
              (std::vector<std::string>{"0a0b0c01", "0a0b0c02"}));
    EXPECT_EQ(html.value("string(//title)"), "abc");
    EXPECT_EQ(html.count("//div[@class='record']"), 2u);
    // The record's number, its name (or the anonymous name) and its id, linked to the record.
    EXPECT_EQ(html.all("//div[@class='head']/@data-no"), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(html.value("substring-before(//div[@class='head'], ' ')"), "名無しさん");
    EXPECT_EQ(html.all("//div[@class='head']/a"),
              (std::vector<std::string>{"0a0b0c01", "0a0b0c02"}));
    EXPECT_EQ(html.all("//div[@class='head']/a/@href"),
              (std::vector<std::string>{"#0a0b0c01", "#0a0b0c02"}));
}

TEST_F(PageRendererTest, ShortIdReferencesInBodiesLinkToTheirAnchors) {
    ThreadMessage m = record(3, "see &gt;&gt;0A0B0C01 and >>0a0b0c02.<br>>>nothexid >>0123 >>>");
    XmlQuery html(render({m}), XmlQuery::Kind::Html);
    EXPECT_EQ(html.all("//a[@class='ref']/@href"),
              (std::vector<std::string>{"#0a0b0c01", "#0a0b0c02"}));
    EXPECT_EQ(html.all("//a[@class='ref']"),
              (std::vector<std::string>{">>0A0B0C01", ">>0a0b0c02"}));
    EXPECT_EQ(lines(html), (std::vector<std::string>{"see >>0A0B0C01 and >>0a0b0c02.",
                                                     ">>nothexid >>0123 >>>"}));
}

TEST_F(PageRendererTest, ALineFullOfReferencesStillRenders) {
    std::string body;
    for (int i = 0; i < 20000; ++i)
        body += ">>0a0b0c01 x";
    XmlQuery html(render({record(1, body)}), XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    EXPECT_EQ(html.count("//a[@class='ref']"), 20000u);
    EXPECT_EQ(bryndle::test::recordBodies(html).at(0).size(), body.size());
}

TEST_F(PageRendererTest, TimesAreLocalDatesAndTimes) {
    std::vector<ThreadMessage> records{record(0, "a"), record(0, "b"), record(0, "c"),
                                       record(0, "d")};
    records[0].mtime = 0;
    records[1].mtime = 1700000000;
    records[2].mtime = 951782400; // a leap day
    records[3].mtime = -1;
    // The date stands between the name and the id in the record's head.
    const auto dates = [](const XmlQuery& html) {
        std::vector<std::string> out;
        for (const std::string& head : html.all("//div[@class='head']"))
            out.push_back(head.substr(std::string("名無しさん ").size(),
                                      head.size() - std::string("名無しさん  0a0b0c00").size()));
        return out;
    };
    {
        ScopedTimeZone utc("UTC");
        XmlQuery html(render(records), XmlQuery::Kind::Html);
        EXPECT_EQ(dates(html),
                  (std::vector<std::string>{"1970/01/01(木) 00:00:00", "2023/11/14(火) 22:13:20",
                                            "2000/02/29(火) 00:00:00", "1969/12/31(水) 23:59:59"}));
    }
    {
        ScopedTimeZone tokyo("Asia/Tokyo");
        XmlQuery html(render(records), XmlQuery::Kind::Html);
        EXPECT_EQ(dates(html),
                  (std::vector<std::string>{"1970/01/01(木) 09:00:00", "2023/11/15(水) 07:13:20",
                                            "2000/02/29(火) 09:00:00", "1970/01/01(木) 08:59:59"}));
    }
    {
        ScopedTimeZone west("America/Caracas"); // UTC-4 all year round
        XmlQuery html(render({records[0]}), XmlQuery::Kind::Html);
        EXPECT_EQ(dates(html), (std::vector<std::string>{"1969/12/31(水) 20:00:00"}));
    }
}

TEST_F(PageRendererTest, ImagesAreShownAndOtherAttachmentsLinked) {
    ThreadMessage image = record(1, "image");
    image.ext = "PNG";
    image.setAttach("png bytes");
    ThreadMessage other = record(2, "archive");
    other.ext = "zip";
    other.setAttach("zip bytes");
    ThreadMessage none = record(3, "none");
    XmlQuery html(render({image, other, none}), XmlQuery::Kind::Html);
    const std::string folder = "file://" + dir.path().string() + "/at%20tach%231/";
    EXPECT_EQ(html.all("//img/@src"),
              (std::vector<std::string>{folder + Digest::md5Hex("png bytes") + ".PNG"}));
    EXPECT_EQ(html.all("//div[@class='attach']/a/@href"),
              (std::vector<std::string>{folder + Digest::md5Hex("png bytes") + ".PNG",
                                        folder + Digest::md5Hex("zip bytes") + ".zip"}));
    EXPECT_EQ(html.count("//div[@class='attach']"), 2u);
}

TEST_F(PageRendererTest, TheCachePageLooksLikeTheFetchedOne) {
    XmlQuery get(render({record(1, "x>>0a0b0c01")}), XmlQuery::Kind::Html);
    XmlQuery cache(render({record(1, "x>>0a0b0c01")}, "cache"), XmlQuery::Kind::Html);
    EXPECT_EQ(cache.all("//div[@class='record']"), get.all("//div[@class='record']"));
    EXPECT_EQ(cache.count("//a[@class='ref']"), 1u);
    EXPECT_NE(cache.value("string(//div[@class='info'])").find("キャッシュ"), std::string::npos);
}

TEST_F(PageRendererTest, AnEmptyPageSaysSo) {
    XmlQuery html(render({}), XmlQuery::Kind::Html);
    EXPECT_EQ(html.count("//div[@class='record']"), 0u);
    EXPECT_EQ(html.count("//div[@class='empty']"), 1u);
}

TEST_F(PageRendererTest, ThePostFormPostsToTheNodeAsItsOwnFormDoes) {
    XmlQuery html(render({}, "post"), XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    expectNoScript(html);
    EXPECT_EQ(html.value("string(//form/@action)"), "http://127.0.0.1:8000/thread.cgi");
    EXPECT_EQ(html.value("string(//form/@method)"), "post");
    EXPECT_EQ(html.value("string(//form/@enctype)"), "multipart/form-data");
    EXPECT_EQ(html.value("string(//input[@name='cmd']/@value)"), "post");
    EXPECT_EQ(html.value("string(//input[@name='cmd']/@type)"), "hidden");
    EXPECT_EQ(html.value("string(//input[@name='file']/@value)"), "thread_616263");
    EXPECT_EQ(html.value("string(//input[@name='dopost']/@value)"), "dopost");
    EXPECT_EQ(html.value("string(//input[@name='name']/@type)"), "text");
    EXPECT_EQ(html.value("string(//input[@name='mail']/@type)"), "text");
    EXPECT_EQ(html.value("string(//input[@name='attach']/@type)"), "file");
    EXPECT_EQ(html.count("//textarea[@name='body']"), 1u);
    EXPECT_EQ(html.value("string(//textarea[@name='body'])"), "");
    EXPECT_EQ(html.value("string(//input[@type='submit']/@value)"), "書き込む");
    EXPECT_EQ(html.count("//label"), 4u);
    EXPECT_EQ(html.count("//div[@class='record']"), 0u);
}

TEST_F(PageRendererTest, APostToARecordShowsItAndStartsTheBodyWithAReference) {
    XmlQuery html(render({record(1, "the record")}, "post", "0a0b0c01"), XmlQuery::Kind::Html);
    EXPECT_EQ(html.value("string(//textarea[@name='body'])"), ">>0a0b0c01\n");
    EXPECT_EQ(lines(html), (std::vector<std::string>{"the record"}));
}

TEST_F(PageRendererTest, StylesheetPathsMayHoldAnyCharacter) {
    // A theme folder whose name needs escaping in the document and in a URL.
    const std::filesystem::path theme = dir.path() / "my & \"odd\" #theme ?>";
    std::filesystem::create_directories(theme);
    for (const char* name : {"get.xsl", "cache.xsl", "post.xsl"})
        std::filesystem::copy_file(themeDir() + "/" + name, theme / name);
    XmlQuery html(render({record(1, "works")}, "cache", "", theme.string()), XmlQuery::Kind::Html);
    EXPECT_EQ(lines(html), (std::vector<std::string>{"works"}));
}

TEST_F(PageRendererTest, RendersFilesWithRelativeAndFileUrlStylesheets) {
    writeFile(dir.path() / "plain.xsl",
              "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
              "<xsl:output method='html'/><xsl:template match='/'><p><xsl:value-of "
              "select='/r'/></p></xsl:template></xsl:stylesheet>");
    writeFile(dir.path() / "a.xml",
              "<?xml version='1.0'?><?xml-stylesheet type='text/xsl' href='plain.xsl'?><r>ok</r>");
    EXPECT_NE(PageRenderer::renderFile(dir.file("a.xml")).find("<p>ok</p>"), std::string::npos);
    const std::string url = "file://" + dir.path().string() + "/plain.xsl";
    const std::string doc = "<?xml version='1.0'?><?xml-stylesheet href=\"" + url + "\"?><r>u</r>";
    EXPECT_EQ(PageRenderer::stylesheetPath(doc), dir.file("plain.xsl"));
    EXPECT_EQ(PageRenderer::stylesheetPathOfFile(dir.file("a.xml")), dir.file("plain.xsl"));
    EXPECT_THROW(PageRenderer::stylesheetPathOfFile(dir.file("nosuch.xml")), RenderException);
    EXPECT_NE(PageRenderer::render(doc).find("<p>u</p>"), std::string::npos);
    EXPECT_NE(PageRenderer::transform("<r>t</r>", dir.file("plain.xsl")).find("<p>t</p>"),
              std::string::npos);
}

TEST_F(PageRendererTest, FailuresAreReportedNotCrashed) {
    EXPECT_THROW(PageRenderer::render("<r>no stylesheet</r>"), RenderException);
    EXPECT_THROW(PageRenderer::render("<?xml-stylesheet type='text/css' href='x.css'?><r/>"),
                 RenderException);
    EXPECT_THROW(PageRenderer::render("<r><unclosed></r>"), RenderException);
    EXPECT_THROW(PageRenderer::render("<?xml-stylesheet href='/no/such/file.xsl'?><r/>"),
                 RenderException);
    EXPECT_THROW(PageRenderer::renderFile(dir.file("missing.xml")), RenderException);
    writeFile(dir.path() / "broken.xsl", "<xsl:stylesheet");
    EXPECT_THROW(PageRenderer::transform("<r/>", dir.file("broken.xsl")), RenderException);
    try {
        PageRenderer::render("<r>no stylesheet</r>");
    } catch (const RenderException& e) {
        EXPECT_STREQ(e.what(), "page document names no stylesheet");
    }
}

TEST_F(PageRendererTest, StylesheetsCannotWriteFiles) {
    const std::string target = dir.file("written.txt");
    writeFile(dir.path() / "writer.xsl",
              "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
              "xmlns:exsl='http://exslt.org/common' extension-element-prefixes='exsl'>"
              "<xsl:template match='/'><exsl:document href='" +
                  target + "'>x</exsl:document><p/></xsl:template></xsl:stylesheet>");
    EXPECT_THROW(PageRenderer::transform("<r/>", dir.file("writer.xsl")), RenderException);
    EXPECT_FALSE(std::filesystem::exists(target));
}

namespace {

std::string themeRoot() {
    return std::string(BRYNDLE_SOURCE_PATH) + "/data/template/theme";
}

// Every theme folder of the source tree; the settings menu lists the same folders.
std::vector<std::string> themeNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(themeRoot()))
        if (entry.is_directory())
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

using Texts = std::vector<std::string>;

// The features every theme has, run against each theme folder.
class ThemeTest : public PageRendererTest, public ::testing::WithParamInterface<std::string> {
protected:
    std::string page(const std::vector<ThreadMessage>& records, const std::string& recentId = {},
                     const std::string& method = "get", const std::string& target = {},
                     const std::string& root = themeRoot()) {
        Schema s("abc");
        s.method = method;
        s.target = target;
        return PageRenderer::render(
            ThreadMessage::toDocument(s, root + "/" + GetParam(), records, 0, recentId));
    }
    static Texts recordClasses(const XmlQuery& html) {
        return html.all("//div[@class = 'record' or starts-with(@class, 'record ')]/@class");
    }
};

} // namespace

TEST(ThemeFolderTest, TheDefaultAndThePaperThemeHaveEveryMethod) {
    const Texts names = themeNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "terminal"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "paper"), names.end());
    for (const std::string& name : names)
        for (const char* method : {"get.xsl", "cache.xsl", "post.xsl"})
            EXPECT_TRUE(std::filesystem::exists(themeRoot() + "/" + name + "/" + method))
                << name << "/" << method;
}

TEST_P(ThemeTest, KeepsRecordsAttachmentsAndThePostForm) {
    ScopedTimeZone utc("UTC");
    ThreadMessage first = record(1, "body");
    first.name = "月見";
    first.mail = "sage";
    first.trip = "abcdefghijk";
    first.ext = "png";
    first.setAttach("png bytes");
    XmlQuery html(page({first, record(2, "two")}), XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    EXPECT_EQ(html.all("//div[@class='record']/@id"), (Texts{"0a0b0c01", "0a0b0c02"}));
    // The number the style shows; name, trip, mail, date and id as text to copy.
    EXPECT_EQ(html.all("//div[@class='head']/@data-no"), (Texts{"0", "1"}));
    EXPECT_EQ(html.all("//div[@class='head']"),
              (Texts{"月見 ◆abcdefghijk [sage] 2023/11/14(火) 22:13:21 0a0b0c01",
                     "名無しさん 2023/11/14(火) 22:13:22 0a0b0c02"}));
    EXPECT_NE(html.value("string(//style)").find(".head::before { content: attr(data-no);"),
              std::string::npos);
    EXPECT_EQ(lines(html), (Texts{"body", "two"}));
    EXPECT_EQ(html.count("//div[@class='attach']/a/img[starts-with(@src, 'file://')]"), 1u);

    XmlQuery cache(page({first}, "", "cache"), XmlQuery::Kind::Html);
    EXPECT_EQ(lines(cache), (Texts{"body"}));

    XmlQuery post(page({first}, "", "post", "0a0b0c01"), XmlQuery::Kind::Html);
    EXPECT_EQ(post.value("string(//form/@action)"), "http://127.0.0.1:8000/thread.cgi");
    EXPECT_EQ(post.value("string(//form/@enctype)"), "multipart/form-data");
    EXPECT_EQ(post.all("//form//input[@type='hidden']/@name"), (Texts{"cmd", "file", "dopost"}));
    EXPECT_EQ(post.value("string(//input[@name='file']/@value)"), "thread_616263");
    EXPECT_EQ(post.all("//form//*[@name][not(@type='hidden')]/@name"),
              (Texts{"name", "mail", "body", "attach", "write"}));
    EXPECT_EQ(post.value("string(//textarea[@name='body'])"), ">>0a0b0c01\n");
}

TEST_P(ThemeTest, AReferenceToARecordOnThePageCarriesAHoverBox) {
    ThreadMessage first = record(1, "first line<br>second line");
    first.name = "月見";
    ThreadMessage second = record(2, "see &gt;&gt;0A0B0C01 and >>0a0b0c09 here");
    XmlQuery html(page({first, second}), XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    // The link carries the referred record's number and name, then its lines.
    EXPECT_EQ(html.all("//a[@class='ref'][@data-box]/@href"), (Texts{"#0a0b0c01"}));
    EXPECT_EQ(lines(html, "//a[@class='ref']/@data-box"),
              (Texts{"0 月見", "first line", "second line"}));
    EXPECT_EQ(html.all("//a[@class='ref']"), (Texts{">>0A0B0C01", ">>0a0b0c09"}));
    // A record that is not on the page is only linked.
    EXPECT_EQ(html.all("//a[@class='ref'][not(@data-box)]/@href"), (Texts{"#0a0b0c09"}));
    // The style shows the text only while the pointer is over the link.
    EXPECT_NE(html.value("string(//style)")
                  .find(".ref[data-box]:hover::after {\n  content: "
                        "attr(data-box);"),
              std::string::npos);
}

TEST_P(ThemeTest, HoverBoxesStaySmall) {
    ThreadMessage referred = record(1, "1<br>2<br>3<br>" + std::string(150, 'x') + "<br>5<br>6");
    referred.ext = "png";
    referred.setAttach("png bytes");
    std::string flood;
    for (int i = 0; i < 41; ++i)
        flood += ">>0a0b0c01 ";
    XmlQuery html(page({referred, record(2, ">>0a0b0c01"), record(3, flood)}),
                  XmlQuery::Kind::Html);
    // Four lines at most, each cut at 100 characters, and a note of the attachment.
    EXPECT_EQ(
        lines(html, "//a/@data-box"),
        (Texts{"0 名無しさん", "1", "2", "3", std::string(100, 'x') + "…", "…", "（添付あり）"}));
    // A body of many references gets plain links, so it cannot multiply the page.
    EXPECT_EQ(html.count("//a[@class='ref']"), 42u);
    EXPECT_EQ(html.count("//@data-box"), 1u);
}

TEST_P(ThemeTest, RecordsAfterTheRecentOneAreNewAndTheFirstCanBeJumpedTo) {
    // Page order is stamp order; a record sharing the recent one's stamp is not counted new.
    ThreadMessage sameStamp = record(5, "e");
    sameStamp.mtime = record(2, "").mtime;
    std::vector<ThreadMessage> records{record(1, "a"), record(2, "b"), sameStamp, record(3, "c"),
                                       record(4, "d")};
    for (const char* recent : {"0a0b0c02", "0A0B0C02"}) {
        SCOPED_TRACE(recent);
        XmlQuery html(page(records, recent), XmlQuery::Kind::Html);
        EXPECT_EQ(recordClasses(html),
                  (Texts{"record", "record", "record", "record new", "record new"}));
        EXPECT_EQ(html.all("//*[@id='new']/parent::div/@id"), (Texts{"0a0b0c03"}));
        EXPECT_EQ(html.all("//a[@class='jump-new']/@href"), (Texts{"#new"}));
        EXPECT_EQ(html.value("string(//a[@class='jump-new'])"), "新着へ (2件)");
        EXPECT_EQ(html.count("//span[@class='new-mark']"), 2u);
    }
    // Nothing after the newest record; and nothing to tell without the recent record here.
    for (const char* recent : {"0a0b0c04", "", "0a0b0c09", "0a0b0c0"}) {
        SCOPED_TRACE(recent);
        XmlQuery html(page(records, recent), XmlQuery::Kind::Html);
        EXPECT_EQ(recordClasses(html), Texts(5, "record"));
        EXPECT_EQ(html.count("//*[@id='new'] | //a[@class='jump-new'] | //*[@class='new-mark']"),
                  0u);
    }
}

TEST_P(ThemeTest, ADeletionNoticeReadsAsANotice) {
    ThreadMessage removed = record(1, "removed text");
    ThreadMessage notice = record(2, "");
    notice.name = "管理人";
    notice.remove_id = removed.md5;
    notice.remove_stamp = std::to_string(removed.mtime);
    ThreadMessage elsewhere = record(3, "");
    elsewhere.remove_id = "ffffeeee" + std::string(24, '0');
    elsewhere.remove_stamp = "1700000000";
    ThreadMessage noStamp = record(4, ">>0a0b0c02");
    noStamp.remove_id = removed.md5;
    XmlQuery html(page({removed, notice, elsewhere, noStamp}), XmlQuery::Kind::Html);
    EXPECT_EQ(recordClasses(html), (Texts{"record", "record notice", "record notice", "record"}));
    EXPECT_EQ(html.all("//div[@class='notice-text']"),
              (Texts{"記録 0a0b0c01 は削除されました", "記録 ffffeeee は削除されました"}));
    // The removed record is linked while it is on the page.
    EXPECT_EQ(html.all("//div[@class='notice-text']/a/@href"), (Texts{"#0a0b0c01"}));
    // A notice keeps its number, date and anchor but shows no name and no body.
    EXPECT_EQ(html.all("//div[@class='record notice']/@id"), (Texts{"0a0b0c02", "0a0b0c03"}));
    EXPECT_EQ(html.all("//div[@class='record notice']/div[@class='head']/@data-no"),
              (Texts{"1", "2"}));
    EXPECT_EQ(html.count("//div[@class='record notice']/div[@class='head'][starts-with(., "
                         "'2023/11/14(火) ') or starts-with(., '2023/11/15(水) ')]"),
              2u);
    EXPECT_EQ(bryndle::test::recordBodies(html, "//div[@class='record notice']"), (Texts{"", ""}));
    // A reference to the notice shows the notice in its box.
    EXPECT_EQ(lines(html, "//a/@data-box"), (Texts{"1 管理人", "記録 0a0b0c01 は削除されました"}));
}

TEST_P(ThemeTest, EmptyLinesStayInBodiesAndAreLeftOutOfBoxes) {
    XmlQuery html(page({record(1, "a<br><br>b<br>"), record(2, ""), record(3, ">>0a0b0c01")}),
                  XmlQuery::Kind::Html);
    EXPECT_EQ(bryndle::test::textLines(
                  bryndle::test::recordBodies(html, bryndle::test::RenderedRecords + "[not(a)]")),
              (Texts{"a", "", "b", "", ""}));
    EXPECT_EQ(lines(html, "//a/@data-box"), (Texts{"0 名無しさん", "a", "b"}));
}

TEST_P(ThemeTest, HostileFieldsRunNothingAndLoadNothing) {
    const std::string hostile =
        "<script>alert(1)</script><img src=http://x/a.png><a href=\"javascript:alert(2)\">"
        "javascript:alert(3)</a><link rel=stylesheet href=//x/s.css>"
        "<style>@import url(http://x/i.css)</style>\" onmouseover=\"alert(4)' x='";
    ThreadMessage a = record(1, hostile + "<br>&lt;iframe src=http://x&gt;<br>&gt;&gt;0a0b0c02");
    a.name = hostile;
    a.mail = hostile;
    a.trip = hostile;
    ThreadMessage b = record(2, ">>0a0b0c01 " + hostile);
    b.ext = "png";
    b.setAttach("png");
    ThreadMessage c = record(3, hostile);
    c.remove_id = hostile;
    c.remove_stamp = hostile;
    for (const char* method : {"get", "cache", "post"}) {
        SCOPED_TRACE(method);
        const std::string out = page({a, b, c}, "0a0b0c01", method, "0a0b0c01");
        EXPECT_TRUE(XmlQuery::htmlWithoutErrors(out));
        XmlQuery html(out, XmlQuery::Kind::Html);
        ASSERT_TRUE(html.ok());
        expectNoScript(html);
        EXPECT_EQ(html.count("//iframe | //frame | //object | //embed | //link | //base | "
                             "//meta[@http-equiv != 'Content-Type']"),
                  0u);
        // Only the theme's own style sheets: the post page adds one for small windows.
        EXPECT_EQ(html.count("//style"), std::string_view(method) == "post" ? 2u : 1u);
        for (const std::string& style : html.all("//style")) {
            EXPECT_EQ(style.find("url("), std::string::npos);
            EXPECT_EQ(style.find("@import"), std::string::npos);
        }
        // Links stay on the page, go to local attachment files or (the form) to the node.
        for (const std::string& url : html.all("//@src | //@href | //@action | //@background"))
            EXPECT_TRUE(url.rfind("#", 0) == 0 || url.rfind("file:///", 0) == 0 ||
                        url == "http://127.0.0.1:8000/thread.cgi")
                << url;
        EXPECT_NE(html.value("string(//body)").find("<script>alert(1)</script>"),
                  std::string::npos);
    }
}

TEST_P(ThemeTest, BoxTextsCannotLeaveTheirAttribute) {
    const std::string hostile = "a\"b' c<d>&amp; e') } </style><script>x()</script>";
    ThreadMessage referred = record(1, hostile + "<br>\" onmouseover=\"x()");
    referred.name = "\"><i>名</i>";
    const std::string out = page({referred, record(2, "&gt;&gt;0a0b0c01")});
    EXPECT_TRUE(XmlQuery::htmlWithoutErrors(out));
    XmlQuery html(out, XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    expectNoScript(html);
    EXPECT_EQ(html.count("//i"), 0u);
    // The link keeps its own three attributes, and the box its whole text.
    EXPECT_EQ(html.count("//a[@class='ref']/@*"), 3u);
    EXPECT_EQ(lines(html, "//a[@class='ref']/@data-box"),
              (Texts{"0 \"><i>名</i>", "a\"b' c<d>& e') } </style><script>x()</script>",
                     "\" onmouseover=\"x()"}));
    EXPECT_EQ(html.count("//style"), 1u);
    EXPECT_EQ(html.value("string(//style)").find("x()"), std::string::npos);
}

TEST_P(ThemeTest, WorksFromAThemeFolderWithAnOddName) {
    const std::filesystem::path root = dir.path() / "my & \"odd\" #themes ?>";
    std::filesystem::copy(themeRoot(), root, std::filesystem::copy_options::recursive);
    XmlQuery html(page({record(1, "works")}, "", "cache", "", root.string()), XmlQuery::Kind::Html);
    EXPECT_EQ(lines(html), (Texts{"works"}));
    XmlQuery post(page({}, "", "post", "", root.string()), XmlQuery::Kind::Html);
    EXPECT_EQ(post.count("//form"), 1u);
}

TEST_P(ThemeTest, RecordsStandInBlocksInTheirOrder) {
    std::vector<ThreadMessage> records;
    for (int n = 1; n <= 60; ++n)
        records.push_back(record(n, "line"));
    Schema schema("abc");
    schema.method = "get";
    const std::string document =
        ThreadMessage::toDocument(schema, themeRoot() + "/" + GetParam(), records, 40, "");
    XmlQuery html(PageRenderer::render(document), XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    Texts counts;
    for (int block = 1; block <= 3; ++block)
        counts.push_back(html.value("string(count((//div[@class='block'])[" +
                                    std::to_string(block) + "]/div[@id]))"));
    EXPECT_EQ(counts, (Texts{"25", "25", "10"}));
    EXPECT_EQ(html.count("//div[@class='block']"), 3u);
    const Texts numbers = html.all("//div[@class='block']/div/div[@class='head']/@data-no");
    ASSERT_EQ(numbers.size(), 60u);
    EXPECT_EQ(numbers.front(), "40");
    EXPECT_EQ(numbers.back(), "99");
    // Under the pointer a block gives up its containment, so that a hover box can leave it.
    EXPECT_NE(html.value("string(//style)").find(".block:hover { content-visibility: visible; }"),
              std::string::npos);

    // Numbers that do not run on from the first: every record shown, without blocks.
    std::string renumbered = document;
    renumbered.replace(renumbered.find("<ENDNO>99</ENDNO>"), 17, "<ENDNO>98</ENDNO>");
    XmlQuery plain(PageRenderer::render(renumbered), XmlQuery::Kind::Html);
    EXPECT_EQ(plain.count("//div[@class='block']"), 0u);
    EXPECT_EQ(plain.count("//div[@class='records']/div[@id]"), 60u);
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemeTest, ::testing::ValuesIn(themeNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

namespace {

// The same sheet through plain libxslt, where the renderer's functions are not registered:
// what xsltproc or a browser would show.
std::string pureXsl(const std::string& document) {
    exsltRegisterAll();
    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr,
                                  nullptr, XML_PARSE_NONET);
    xsltStylesheetPtr style = xsltParseStylesheetFile(
        reinterpret_cast<const xmlChar*>(PageRenderer::stylesheetPath(document).c_str()));
    xmlDocPtr result = xsltApplyStylesheet(style, doc, nullptr);
    xmlChar* text = nullptr;
    int length = 0;
    xsltSaveResultToString(&text, &length, result, style);
    std::string html = text ? std::string(reinterpret_cast<char*>(text), length) : "";
    xmlFree(text);
    xmlFreeDoc(result);
    xmlFreeDoc(doc);
    xsltFreeStylesheet(style);
    return html;
}

} // namespace

TEST_P(ThemeTest, TheRenderersFunctionsGiveThePageThePureXslTemplatesGive) {
    ScopedTimeZone utc("UTC");
    std::string many;
    for (int i = 0; i < 12; ++i)
        many += "text >>0a0b0c0" + std::to_string(i % 4 + 1) + (i % 3 ? " " : "");
    std::vector<ThreadMessage> records{
        record(1, ">>0a0b0c02 at the start<br>at the end >>0A0B0C03<br><br>字" +
                      std::string(120, 'x') + "<br>4<br>5"),
        record(2, ">>0a0b0c0 seven, >>0a0b0c019 nine, >>>>0a0b0c01, >>0a0b0c0g, >>ffff0000"),
        record(3, many + "<br>" + std::string(81, '>') + "<br>>>0a0b0c01 plain<br>"),
        record(4, ""),
        record(5, ">>0a0b0c04 >>0a0b0c06 &lt;b&gt;"),
        record(6, "attached \"q\" <b> &amp; ') }<br>x"),
        // Blank lines and fields are text, not indentation.
        record(7, "   <br> <br>\t >>0a0b0c07"),
    };
    records[6].name = " ";
    records[6].mail = "\t";
    records[1].name = "月見";
    records[1].mail = "sage";
    records[1].trip = "trip";
    records[3].remove_id = records[4].md5;
    records[3].remove_stamp = "1700000000";
    records[4].mtime = 7200;
    records[5].ext = "png";
    records[5].setAttach("png bytes");
    for (const char* method : {"get", "cache"}) {
        Schema s("abc");
        s.method = method;
        const std::string document =
            ThreadMessage::toDocument(s, themeRoot() + "/" + GetParam(), records, 10, "0a0b0c02");
        const std::string fast = PageRenderer::render(document);
        EXPECT_EQ(fast, pureXsl(document)) << method;
        XmlQuery html(fast, XmlQuery::Kind::Html);
        EXPECT_EQ(html.count("//a[@class='ref']"), 21u);
        EXPECT_EQ(html.count("//a[@class='ref']/@data-box"), 7u);
    }
}

// Where two pages part, for a readable failure.
std::string firstDifference(const std::string& a, const std::string& b) {
    const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
    const auto from = static_cast<size_t>(std::max<std::ptrdiff_t>(0, at - 80));
    return "sizes " + std::to_string(a.size()) + "/" + std::to_string(b.size()) + ", at " +
           std::to_string(at) + ":\n" + a.substr(from, 160) + "\n" + b.substr(from, 160);
}

// Several hundred records are transformed in parts at once on a machine with more than one
// core; the page must read as the one transform of the plain sheet gives it.
TEST_P(ThemeTest, APageOfManyRecordsReadsAsOneTransformGivesIt) {
    ScopedTimeZone utc("UTC");
    std::vector<ThreadMessage> records;
    char previous[9];
    for (int n = 1; n <= 610; ++n) {
        std::snprintf(previous, sizeof previous, "%08x", 0x0a0b0c00 + n - 1);
        records.push_back(record(n, "line " + std::to_string(n) + " >>" + previous + "<br>2"));
    }
    records[400].remove_id = records[20].md5;
    records[400].remove_stamp = "1700000000";
    // A record may hold what the parts are marked with; the next one's box copies it.
    records[2].message = "&lt;!--bryndle-part--&gt;<br>\"' &lt;!--";
    Schema s("abc");
    s.method = "get";
    // New records from the 201st on, across the parts.
    const std::string document =
        ThreadMessage::toDocument(s, themeRoot() + "/" + GetParam(), records, 0, "0a0b0cc8");
    std::string renumbered = document;
    renumbered.replace(renumbered.find("<ENDNO>609</ENDNO>"), 18, "<ENDNO>608</ENDNO>");
    for (const std::string& page : {document, renumbered}) {
        const std::string parted = PageRenderer::render(page);
        const std::string whole = pureXsl(page);
        EXPECT_TRUE(parted == whole) << firstDifference(parted, whole);
        XmlQuery html(parted, XmlQuery::Kind::Html);
        EXPECT_EQ(html.count("//div[@class='records']//div[@id and contains(@class, 'record')]"),
                  610u);
        EXPECT_EQ(html.all("//*[@id='new']/parent::div/@id"), (Texts{"0a0b0cc9"}));
        EXPECT_EQ(html.value("string(//a[@class='jump-new'])"), "新着へ (410件)");
    }
}

TEST_F(PageRendererTest, ThemesTakingPartsAreJoinedInOrderOrRenderedWhole) {
    // Records in parts as a theme may mark them: the number of each record shown once, in order.
    const auto theme = [&](const std::string& name, const std::string& records) {
        writeFile(dir.path() / name,
                  "<xsl:stylesheet version='1.0' "
                  "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:output method='html'/>"
                  "<xsl:param name='bryndle-part-first' select='0'/>"
                  "<xsl:param name='bryndle-part-last' select='0'/>"
                  "<xsl:param name='bryndle-part-mark'/>"
                  "<xsl:template match='/'><p>head</p>" +
                      records + "<p>foot</p></xsl:template></xsl:stylesheet>");
        return dir.file(name);
    };
    const std::string inRange =
        "<xsl:for-each select='//ITEM[$bryndle-part-first = 0 or (position() &gt;= "
        "$bryndle-part-first and position() &lt;= $bryndle-part-last)]'>"
        "<i><xsl:value-of select='NO'/></i></xsl:for-each>";
    std::string document = "<SHINGETSU><ITEMS>";
    std::string expected = "<p>head</p>";
    for (int n = 1; n <= 1200; ++n) {
        document += "<ITEM><NO>" + std::to_string(n) + "</NO></ITEM>";
        expected += "<i>" + std::to_string(n) + "</i>";
    }
    document += "</ITEMS></SHINGETSU>";
    expected += "<p>foot</p>\n";
    const std::string mark = "<xsl:if test='$bryndle-part-first'><xsl:comment><xsl:value-of "
                             "select='$bryndle-part-mark'/></xsl:comment></xsl:if>";
    const std::string marked = theme("marked.xsl", mark + inRange + mark);
    EXPECT_EQ(PageRenderer::transform(document, marked), expected);
    // Parameters taken but the records not marked: the page of one transform.
    EXPECT_EQ(PageRenderer::transform(document, theme("unmarked.xsl", inRange)), expected);
    // A part that fails fails the page, after every part has ended.
    const std::string failing =
        theme("failing.xsl", "<xsl:if test='$bryndle-part-first &gt; 1'><xsl:message "
                             "terminate='yes'>late part</xsl:message></xsl:if>" +
                                 inRange);
    if (std::thread::hardware_concurrency() > 1) {
        EXPECT_THROW(PageRenderer::transform(document, failing), RenderException);
    }
}

TEST_F(PageRendererTest, ThemesGetTheRenderersFunctions) {
    writeFile(dir.path() / "f.xsl",
              "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
              "xmlns:b='urn:bryndle:theme'><xsl:output method='text'/>"
              "<xsl:template match='/'>"
              "<xsl:value-of select=\"b:local-time(/r/@t)\"/>|"
              "<xsl:for-each select=\"b:refs(/r/l)\">[<xsl:value-of select=\"concat(name(), "
              "':', ., ':', @lower)\"/>]</xsl:for-each>|"
              "<xsl:value-of select=\"b:box-text(/r/m, 1, 2)\"/>|"
              "<xsl:value-of select=\"b:local-time('x')\"/>"
              "</xsl:template></xsl:stylesheet>");
    ScopedTimeZone summer("Europe/Berlin");
    // Two renders: the second from a cached sheet, with fresh function results.
    for (const char* stamp : {"1719792000", "1704067200"}) {
        const std::string doc = std::string("<r t='") + stamp +
                                "'><l>a&gt;&gt;0A0b0c0D b</l>"
                                "<m><LINE>abc</LINE><LINE>d</LINE></m></r>";
        const std::string hour =
            std::string(stamp) == "1719792000" ? "07/01(月) 02" : "01/01(月) 01";
        EXPECT_EQ(PageRenderer::transform(doc, dir.file("f.xsl")),
                  "2024/" + hour + ":00:00|[:a:][ref:0A0b0c0D:0a0b0c0d][: b:]|ab…\n…\n|-");
    }
}

TEST_F(PageRendererTest, EditedStylesheetsArePickedUpAndUnchangedOnesReused) {
    const auto sheet = [](const std::string& text) {
        return "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
               "<xsl:output method='text'/><xsl:template match='/'>" +
               text + "</xsl:template></xsl:stylesheet>";
    };
    writeFile(dir.path() / "main.xsl",
              "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
              "<xsl:import href='base.xsl'/></xsl:stylesheet>");
    writeFile(dir.path() / "base.xsl", sheet("one"));
    EXPECT_EQ(PageRenderer::transform("<r/>", dir.file("main.xsl")), "one");
    // An imported sheet rewritten: picked up at the next page.
    writeFile(dir.path() / "base.xsl", sheet("three"));
    EXPECT_EQ(PageRenderer::transform("<r/>", dir.file("main.xsl")), "three");
    // Rewritten with the same size, file and time: still the compiled sheet.
    const auto time = std::filesystem::last_write_time(dir.path() / "base.xsl");
    writeFile(dir.path() / "base.xsl", sheet("THREE"));
    std::filesystem::last_write_time(dir.path() / "base.xsl", time);
    EXPECT_EQ(PageRenderer::transform("<r/>", dir.file("main.xsl")), "three");
    // A sheet that disappears is not served from memory.
    std::filesystem::remove(dir.path() / "base.xsl");
    EXPECT_THROW(PageRenderer::transform("<r/>", dir.file("main.xsl")), RenderException);
}

TEST_F(PageRendererTest, PagesRenderOnSeveralThreadsAtOnce) {
    std::vector<ThreadMessage> records;
    for (int i = 1; i <= 60; ++i)
        records.push_back(record(i, "line >>0a0b0c0" + std::to_string(i % 9 + 1) + "<br>two"));
    Schema s("abc");
    s.method = "get";
    const std::string document = ThreadMessage::toDocument(s, themeDir(), records, 0, "0a0b0c05");
    const std::string expected = PageRenderer::render(document);
    std::vector<std::string> pages(4);
    std::vector<std::thread> threads;
    for (auto& page : pages)
        threads.emplace_back([&] {
            for (int round = 0; round < 5 && (page.empty() || page == expected); ++round)
                page = PageRenderer::render(document);
        });
    for (auto& thread : threads)
        thread.join();
    for (const auto& page : pages)
        EXPECT_EQ(page, expected);
}
