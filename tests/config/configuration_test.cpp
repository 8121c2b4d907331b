#include "config/configuration.h"
#include "foundation/sqlite.h"
#include "foundation/sqliteserializer.h"
#include "support/commalocale.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace bryndle;
using bryndle::test::ScopedCurrentDir;
using bryndle::test::TempDir;

namespace {

class ConfigurationTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedCurrentDir cwd{dir.path()};
    std::string cwdText = std::filesystem::current_path().string();

    void store(VArrayPtr record) { SQLiteSerializer("config.db", "Bryndle_a_0_10").save(*record); }
};

} // namespace

TEST_F(ConfigurationTest, NamesAndDefaults) {
    EXPECT_EQ(Configuration::programTitle(), "Bryndle a 0.14");
    EXPECT_EQ(Configuration::recordName(), "Bryndle_a_0_10");
    Configuration c;
    c.load();
    EXPECT_EQ(c.nodeHost(), "localhost");
    EXPECT_EQ(c.nodePort(), 8000);
    EXPECT_EQ(c.recordsPerPage(), 30);
    EXPECT_TRUE(c.controlNodeProgram());
    EXPECT_EQ(c.themeName(), "terminal");
    EXPECT_EQ(c.nodeURL(), "http://localhost:8000/");
    EXPECT_EQ(c.nodeProgramPath(), cwdText + "/node/bryndle-node");
    EXPECT_EQ(c.themeDir(), cwdText + "/template/theme/terminal");
    EXPECT_EQ(c.stylesheetPath(), cwdText + "/template/theme/terminal/style.xsl");
    EXPECT_EQ(c.temporaryDir(), cwdText + "/temporary");
    EXPECT_EQ(c.bookmarkDir(), cwdText + "/Bookmark");
    EXPECT_EQ(c.attachDir(), cwdText + "/attach");
    EXPECT_EQ(c.threadCacheFile(), "cache.db");
}

TEST_F(ConfigurationTest, AbsolutePathsStayAsTheyAre) {
    Configuration c;
    c.setNodeProgramPath("/opt/saku/node");
    EXPECT_EQ(c.nodeProgramPath(), "/opt/saku/node");
    c.setThemeRoot("/usr/share/themes/");
    EXPECT_EQ(c.themeDir(), "/usr/share/themes/terminal");
    c.setTemporaryDir("/tmp/x");
    EXPECT_EQ(c.temporaryDir(), "/tmp/x");
}

TEST_F(ConfigurationTest, FirstSaveWritesTheSevenValues) {
    Configuration c;
    c.load();
    c.setNodeHost("node.example");
    c.setNodePort(8080);
    c.setControlNodeProgram(false);
    c.setRecordsPerPage(50);
    c.setHomePage("http://home.example/");
    c.save();
    auto stored = SQLiteSerializer("config.db", "Bryndle_a_0_10").load()->values();
    ASSERT_EQ(stored.size(), 7u);
    EXPECT_EQ(stored[0]->toString(), "node.example");
    EXPECT_EQ(stored[1]->toLong(), 8080);
    EXPECT_EQ(stored[2]->toLong(), 0);
    EXPECT_EQ(stored[3]->toString(), "terminal");
    EXPECT_EQ(stored[4]->toLong(), 50);
    EXPECT_EQ(stored[5]->toString(), "http://home.example/");
    EXPECT_EQ(stored[6]->toString(), "node/bryndle-node");

    Configuration again;
    again.load();
    EXPECT_EQ(again.nodeHost(), "node.example");
    EXPECT_EQ(again.nodePort(), 8080);
    EXPECT_FALSE(again.controlNodeProgram());
    EXPECT_EQ(again.recordsPerPage(), 50);
    EXPECT_EQ(again.homePage(), "http://home.example/");
}

TEST_F(ConfigurationTest, StoredValuesAreReadByTheirRules) {
    store(makeArray(std::string("h"), int64_t{70000}, int64_t{2}, std::string("dark"), int64_t{10},
                    std::string("x"), std::string("p")));
    Configuration c;
    c.load();
    EXPECT_EQ(c.nodePort(), 4464);
    EXPECT_FALSE(c.controlNodeProgram()); // only exactly 1 is on
    EXPECT_EQ(c.themeName(), "dark");
    EXPECT_EQ(c.nodeProgramPathSetting(), "p");
}

TEST_F(ConfigurationTest, RecordsOfAnotherLengthOrKindAreIgnoredWhole) {
    store(makeArray(std::string("h"), int64_t{1}, int64_t{1}, std::string("t"), int64_t{10},
                    std::string("x")));
    Configuration six;
    six.load();
    EXPECT_EQ(six.nodeHost(), "localhost");

    std::filesystem::remove("config.db");
    store(makeArray(std::string("h"), std::string("notaport"), int64_t{1}, std::string("t"),
                    int64_t{10}, std::string("x"), std::string("p")));
    Configuration wrongKind;
    EXPECT_NO_THROW(wrongKind.load());
    EXPECT_EQ(wrongKind.nodeHost(), "localhost");
    EXPECT_EQ(wrongKind.nodePort(), 8000);
}

TEST_F(ConfigurationTest, RecordsPerPageOutsideOneToAThousandKeepsTheDefault) {
    const std::pair<int64_t, int32_t> storedAndTaken[] = {{0, 30},          {-5, 30}, {1001, 30},
                                                          {4294967297, 30}, {1, 1},   {1000, 1000}};
    for (auto [stored, taken] : storedAndTaken) {
        std::filesystem::remove("config.db");
        store(makeArray(std::string("h"), int64_t{8001}, int64_t{1}, std::string("t"), stored,
                        std::string("x"), std::string("p")));
        Configuration c;
        c.load();
        EXPECT_EQ(c.recordsPerPage(), taken) << stored;
        EXPECT_EQ(c.nodePort(), 8001) << "the other settings are still taken";
    }
}

TEST_F(ConfigurationTest, TextsThatLookLikeNumbersComeBackAsTexts) {
    Configuration c;
    c.setThemeName("2ch");
    c.setNodeHost("0x7f000001");
    c.setHomePage("010");
    c.save();
    Configuration again;
    again.load();
    EXPECT_EQ(again.themeName(), "2ch");
    EXPECT_EQ(again.nodeHost(), "0x7f000001");
    EXPECT_EQ(again.homePage(), "010");
}

// The interface's toolkit switches the process to the user's locale before the configuration
// is saved; a decimal comma must reach neither the title nor the record name.
TEST_F(ConfigurationTest, RoundTripUnderALocaleWithADecimalComma) {
    test::CommaLocale comma(dir);
    if (!comma.active())
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not available here";
    EXPECT_EQ(Configuration::programTitle(), "Bryndle a 0.14");
    EXPECT_EQ(Configuration::recordName(), "Bryndle_a_0_10");
    Configuration c;
    c.load();
    c.setNodePort(8123);
    c.setThemeName("2ch");
    c.setRecordsPerPage(75);
    c.setControlNodeProgram(false);
    ASSERT_NO_THROW(c.save());
    Configuration again;
    again.load();
    EXPECT_EQ(again.nodePort(), 8123);
    EXPECT_EQ(again.themeName(), "2ch");
    EXPECT_EQ(again.recordsPerPage(), 75);
    EXPECT_FALSE(again.controlNodeProgram());
    EXPECT_EQ(SQLiteSerializer("config.db", "Bryndle_a_0_10").load()->size(), 7u);
}

TEST(TagItems, OrderingAndCounting) {
    Configuration c;
    for (const char* t : {"", "abc", "ABD", "five", "three"})
        c.addTag(t);
    for (int i = 0; i < 5; ++i)
        c.countTag("five");
    for (int i = 0; i < 3; ++i)
        c.countTag("three");
    c.countTag("unregistered");
    auto sorted = c.sortTags({"three", "ABD", "five", "abc", ""});
    EXPECT_EQ(sorted, (std::vector<std::string>{"", "five", "three", "abc", "ABD"}));
    EXPECT_THROW(c.sortTags({"never"}), std::invalid_argument);
    c.addTag("five"); // registering again keeps the count
    EXPECT_EQ(c.sortTags({"three", "five"}).front(), "five");
    EXPECT_EQ(c.tagItems().size(), 5u);

    TagItem top("x", 2147483647);
    top.countUp();
    EXPECT_EQ(top.count(), 2147483647);
    TagItem t("y", 5);
    t.countDown();
    EXPECT_EQ(t.count(), 0);
    t.countDown();
    EXPECT_EQ(t.count(), -1);
}
