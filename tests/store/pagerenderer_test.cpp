#include "config/configuration.h"
#include "foundation/digest.h"
#include "store/pagerenderer.h"
#include "store/schema.h"
#include "store/threadmessage.h"
#include "support/tempdir.h"
#include "xmlquery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

using namespace bryndle;
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

// Sets the local time zone for the scope.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

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
    EXPECT_EQ(html.all("//div[@class='line']"),
              (std::vector<std::string>{"<script>alert(1)</script>", "\u2665 a & b",
                                        "<b>not bold</b>", "<img src=x onerror=alert(2)>"}));
}

TEST_F(PageRendererTest, EveryRecordHasAnAnchorNamedByItsShortId) {
    XmlQuery html(render({record(1, "one"), record(2, "two")}), XmlQuery::Kind::Html);
    EXPECT_EQ(html.all("//a[@name = @id]/@name"),
              (std::vector<std::string>{"0a0b0c01", "0a0b0c02"}));
    EXPECT_EQ(html.value("string(//title)"), "abc");
    EXPECT_EQ(html.count("//div[@class='record']"), 2u);
    // The record's number, its name (or the anonymous name) and its id link.
    EXPECT_EQ(html.all("//span[@class='no']"), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(html.value("string(//span[@class='name'])"), "名無しさん");
    EXPECT_EQ(html.all("//a[@class='id']/@href"),
              (std::vector<std::string>{"#0a0b0c01", "#0a0b0c02"}));
}

TEST_F(PageRendererTest, ShortIdReferencesInBodiesLinkToTheirAnchors) {
    ThreadMessage m = record(3, "see &gt;&gt;0A0B0C01 and >>0a0b0c02.<br>>>nothexid >>0123 >>>");
    XmlQuery html(render({m}), XmlQuery::Kind::Html);
    EXPECT_EQ(html.all("//a[@class='ref']/@href"),
              (std::vector<std::string>{"#0a0b0c01", "#0a0b0c02"}));
    EXPECT_EQ(html.all("//a[@class='ref']"),
              (std::vector<std::string>{">>0A0B0C01", ">>0a0b0c02"}));
    EXPECT_EQ(
        html.all("//div[@class='line']"),
        (std::vector<std::string>{"see >>0A0B0C01 and >>0a0b0c02.", ">>nothexid >>0123 >>>"}));
}

TEST_F(PageRendererTest, ALineFullOfReferencesStillRenders) {
    std::string body;
    for (int i = 0; i < 20000; ++i)
        body += ">>0a0b0c01 x";
    XmlQuery html(render({record(1, body)}), XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok());
    EXPECT_EQ(html.count("//a[@class='ref']"), 20000u);
    EXPECT_EQ(html.value("string-length(//div[@class='line'])"), std::to_string(body.size()));
}

TEST_F(PageRendererTest, TimesAreLocalDatesAndTimes) {
    std::vector<ThreadMessage> records{record(0, "a"), record(0, "b"), record(0, "c"),
                                       record(0, "d")};
    records[0].mtime = 0;
    records[1].mtime = 1700000000;
    records[2].mtime = 951782400; // a leap day
    records[3].mtime = -1;
    {
        ScopedTimeZone utc("UTC");
        XmlQuery html(render(records), XmlQuery::Kind::Html);
        EXPECT_EQ(html.all("//span[@class='date']"),
                  (std::vector<std::string>{"1970/01/01(木) 00:00:00", "2023/11/14(火) 22:13:20",
                                            "2000/02/29(火) 00:00:00", "1969/12/31(水) 23:59:59"}));
    }
    {
        ScopedTimeZone tokyo("Asia/Tokyo");
        XmlQuery html(render(records), XmlQuery::Kind::Html);
        EXPECT_EQ(html.all("//span[@class='date']"),
                  (std::vector<std::string>{"1970/01/01(木) 09:00:00", "2023/11/15(水) 07:13:20",
                                            "2000/02/29(火) 09:00:00", "1970/01/01(木) 08:59:59"}));
    }
    {
        ScopedTimeZone west("America/Caracas"); // UTC-4 all year round
        XmlQuery html(render({records[0]}), XmlQuery::Kind::Html);
        EXPECT_EQ(html.value("string(//span[@class='date'])"), "1969/12/31(水) 20:00:00");
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
    EXPECT_EQ(html.all("//div[@class='line']"), (std::vector<std::string>{"the record"}));
}

TEST_F(PageRendererTest, StylesheetPathsMayHoldAnyCharacter) {
    // A theme folder whose name needs escaping in the document and in a URL.
    const std::filesystem::path theme = dir.path() / "my & \"odd\" #theme ?>";
    std::filesystem::create_directories(theme);
    for (const char* name : {"get.xsl", "cache.xsl", "post.xsl"})
        std::filesystem::copy_file(themeDir() + "/" + name, theme / name);
    XmlQuery html(render({record(1, "works")}, "cache", "", theme.string()), XmlQuery::Kind::Html);
    EXPECT_EQ(html.all("//div[@class='line']"), (std::vector<std::string>{"works"}));
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
