// bryndle-cli fetch, page and render, run as a program in a runtime folder against a node on a
// loopback port.

#include "node/threadfile.h"
#include "store/threadcache.h"
#include "support/tempdir.h"

#include "fakenode.h"
#include "xmlquery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

using namespace bryndle;
using bryndle::test::FakeNode;
using bryndle::test::TempDir;
using bryndle::test::XmlQuery;

namespace {

std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliPagesTest : public ::testing::Test {
protected:
    static constexpr const char* Title = "tags & <things>";

    TempDir runtime;
    FakeNode node;
    std::string file = threadFileName(Title);

    void SetUp() override {
        const std::filesystem::path source = BRYNDLE_SOURCE_PATH;
        std::filesystem::create_directories(runtime.path() / "template");
        std::filesystem::create_directory_symlink(source / "data/template/theme",
                                                  runtime.path() / "template/theme");
        node.add(file,
                 {100, std::string(32, 'a'), "body:<script>alert(1)</script><>name:&hearts;"});
        node.add(file, {200, std::string(31, 'b') + "c", "body:a & b<br>second line<br>&hearts;"});
        node.add(file, {300, "0123abcd" + std::string(24, 'd'), "body:re: &gt;&gt;aaaaaaaa"});
    }

    CliRun cli(const std::vector<std::string>& arguments) {
        std::string command = "cd " + quote(runtime.path().string()) + " && exec " +
                              quote(BRYNDLE_CLI_PATH) +
                              " --node 127.0.0.1:" + std::to_string(node.port()) + " --timeout 20";
        for (const auto& argument : arguments)
            command += " " + quote(argument);
        command += " 2>" + quote(runtime.file("stderr.txt"));
        CliRun run;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return run;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            run.out.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(runtime.file("stderr.txt"));
        run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
        return run;
    }

    std::string location(const std::string& method) {
        return "shingetsu://" + file + "/" + method + "/";
    }
};

} // namespace

TEST_F(CliPagesTest, RenderShowsNodeMarkupAsTextReferencesAsCharactersAndLinesApart) {
    CliRun run = cli({"render", location("get")});
    ASSERT_EQ(run.status, 0) << run.err;
    XmlQuery html(run.out, XmlQuery::Kind::Html);
    ASSERT_TRUE(html.ok()) << run.out;
    EXPECT_EQ(html.count("//script"), 0u);
    EXPECT_EQ(html.count("//@*[starts-with(name(), 'on')]"), 0u);
    EXPECT_EQ(html.value("string(//title)"), Title);
    // The reference to a record on the page carries that record's text for its hover box in
    // an attribute, outside the body's lines.
    EXPECT_EQ(html.count("//div[@class='record']/a[@class='ref']/@data-box"), 1u);
    EXPECT_EQ(bryndle::test::textLines(bryndle::test::recordBodies(html)),
              (std::vector<std::string>{"<script>alert(1)</script>", "a & b", "second line",
                                        "\u2665", "re: >>aaaaaaaa"}));
    EXPECT_EQ(html.count("//div[@class='head'][starts-with(., '\u2665 ')]"), 1u);
    EXPECT_EQ(html.count("//div[@class='head'][starts-with(., '名無しさん ')]"), 2u);
    EXPECT_EQ(html.all("//a[@class='ref']/@href"), (std::vector<std::string>{"#aaaaaaaa"}));
    EXPECT_EQ(html.all("//div[@class='record']/@id"),
              (std::vector<std::string>{"aaaaaaaa", "bbbbbbbb", "0123abcd"}));
    // The raw script never reaches the HTML as markup.
    EXPECT_EQ(run.out.find("<script"), std::string::npos);
}

TEST_F(CliPagesTest, FetchStoresIntoTheRuntimeFoldersCacheAndPageReadsItBack) {
    CliRun fetched = cli({"fetch", Title});
    ASSERT_EQ(fetched.status, 0) << fetched.err;
    EXPECT_EQ(fetched.out, std::string("fetched\t") + Title + "\t3 new\t0 skipped\t3 cached\n");
    // A record line that does not parse is skipped, counted, and the rest is stored.
    node.add(file, {400, std::string(32, 'e'), "body:fourth"});
    node.setRangeTail("500<>short id<>body:x\n");
    EXPECT_EQ(cli({"fetch", Title}).out,
              std::string("fetched\t") + Title + "\t1 new\t1 skipped\t4 cached\n");
    {
        ThreadCache cache(runtime.file("cache.db"));
        EXPECT_EQ(cache.count(Title), 4);
        ASSERT_TRUE(cache.index(Title));
        EXPECT_EQ(cache.index(Title)->ptime, 400);
    }

    node.clearTargets();
    CliRun page = cli({"page", location("cache") + "?mode=1&items=2"});
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_TRUE(node.targets().empty());
    XmlQuery doc(page.out);
    ASSERT_TRUE(doc.ok()) << page.out;
    EXPECT_EQ(doc.value("string(//TITLE)"), Title);
    EXPECT_EQ(doc.all("//ITEM/NO"), (std::vector<std::string>{"2", "3"}));
    EXPECT_NE(
        page.out.find("href=\"" + runtime.path().string() + "/template/theme/terminal/cache.xsl\""),
        std::string::npos);
}

TEST_F(CliPagesTest, FailuresGoToStandardErrorWithAnExitStatus) {
    node.fail("head", 503, "");
    CliRun failed = cli({"render", location("get")});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "bryndle-cli: HTTP status 503 Service Unavailable\n");
    EXPECT_EQ(cli({"fetch", Title}).err, "bryndle-cli: HTTP status 503 Service Unavailable\n");

    CliRun bad = cli({"page", "shingetsu://" + file});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "bryndle-cli: parse error\n");

    std::filesystem::remove(runtime.path() / "template/theme");
    CliRun noTheme = cli({"render", location("cache")});
    EXPECT_EQ(noTheme.status, 1);
    EXPECT_NE(noTheme.err.find("stylesheet not found"), std::string::npos) << noTheme.err;
}
