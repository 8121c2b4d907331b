#include "foundation/inidocument.h"
#include "foundation/inifile.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>

using namespace bryndle;
using bryndle::test::TempDir;
namespace fs = std::filesystem;

namespace {

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const IniFileException& e) {
        return e.code();
    }
    return 0;
}

} // namespace

TEST(IniFileRead, NamesIgnoreCaseValuesAreTrimmedFirstSectionCounts) {
    const IniDocument ini("\xEF\xBB\xBF; comment=x\r\n"
                          "top=before any section\r\n"
                          "[InternetShortcut]\r\n"
                          "  url =  http://example.com/a=b  \r\n"
                          "Empty=\r\n"
                          "[\xC3\x84rger] \n"
                          "K=\xE6\x97\xA5\n"
                          "[internetshortcut]\n"
                          "url=second\n"
                          "other=second section\n");
    EXPECT_EQ(ini.value("INTERNETSHORTCUT", "URL"), "http://example.com/a=b");
    EXPECT_EQ(ini.value("InternetShortcut", "empty"), "");
    // Non-ASCII names compare ignoring case too.
    EXPECT_EQ(ini.value("\xC3\xA4RGER", "k"), "\xE6\x97\xA5");
    // Only the first section of a name is read, as the profile functions do.
    EXPECT_EQ(ini.value("InternetShortcut", "other"), std::nullopt);
    EXPECT_EQ(ini.value("", "top"), std::nullopt);
    EXPECT_EQ(ini.value("InternetShortcut", "; comment"), std::nullopt);
}

TEST(IniFileRead, MissingEntriesAndNumbers) {
    TempDir dir;
    const std::string path = dir.file("a.ini");
    IniFile missing(path);
    EXPECT_EQ(errorOf([&] { missing.getString("s", "k"); }), ENOENT);
    EXPECT_EQ(missing.getInt("s", "k"), -1);
    write(path, "[s]\nn=42\nneg= -7 \npart=12abc\nnone=abc\nbig=99999999999\nsmall=-99999999999\n");
    IniFile ini(path);
    EXPECT_EQ(errorOf([&] { ini.getString("s", "nosuch"); }), ENOENT);
    EXPECT_EQ(errorOf([&] { ini.getString("t", "n"); }), ENOENT);
    EXPECT_EQ(ini.getInt("s", "nosuch"), -1);
    EXPECT_EQ(ini.getInt("s", "N"), 42);
    EXPECT_EQ(ini.getInt("s", "neg"), -7);
    EXPECT_EQ(ini.getInt("s", "part"), 12);
    EXPECT_EQ(ini.getInt("s", "none"), 0);
    EXPECT_EQ(ini.getInt("s", "big"), INT_MAX);
    EXPECT_EQ(ini.getInt("s", "small"), INT_MIN);
    ini.setSection("S");
    EXPECT_EQ(ini.getIntDefault("n"), 42);
    EXPECT_EQ(ini.getStringDefault("part"), "12abc");
}

TEST(IniFileRead, OnlyRegularFiles) {
    TempDir dir;
    fs::create_directory(dir.path() / "folder.url");
    EXPECT_EQ(errorOf([&] { IniFile(dir.file("folder.url")).getString("s", "k"); }), EISDIR);
    // A pipe must not block the reader.
    ASSERT_EQ(::mkfifo(dir.file("pipe.url").c_str(), 0600), 0);
    EXPECT_EQ(errorOf([&] { IniFile(dir.file("pipe.url")).getString("s", "k"); }), EINVAL);
}

TEST(IniFileWrite, KeepsEveryOtherLineByteForByte) {
    TempDir dir;
    const std::string path = dir.file("b.url");
    const std::string before = "; written elsewhere\r\n"
                               "[Other]\r\n"
                               "URL=keep me\r\n"
                               "\r\n"
                               "[InternetShortcut]\r\n"
                               "url = http://old/\r\n"
                               "IconIndex=0\r\n"
                               "junk line without equals\r\n";
    write(path, before);
    IniFile ini(path);
    ini.setString("internetshortcut", "URL", "http://new/");
    std::string expected = before;
    expected.replace(expected.find("url = http://old/"), 17, "url=http://new/");
    EXPECT_EQ(read(path), expected);

    // A new key goes after the section's last key, a new section at the end, in CRLF.
    ini.setInt("InternetShortcut", "HotKey", -3);
    ini.setSection("Added");
    ini.setStringDefault("k", "v");
    expected.insert(expected.find("junk"), "HotKey=-3\r\n");
    expected += "[Added]\r\nk=v\r\n";
    EXPECT_EQ(read(path), expected);
    EXPECT_EQ(ini.getString("other", "url"), "keep me");
    EXPECT_EQ(ini.getIntDefault("K"), 0);
    EXPECT_EQ(ini.getIntDefault("nokey"), -1);
}

TEST(IniFileWrite, NewFileAndFilesWithoutFinalLineEnd) {
    TempDir dir;
    IniFile fresh(dir.file("new.url"));
    fresh.setString("InternetShortcut", "URL", "http://a/");
    EXPECT_EQ(read(dir.file("new.url")), "[InternetShortcut]\nURL=http://a/\n");
    write(dir.file("open.ini"), "[s]\na=1");
    IniFile open(dir.file("open.ini"));
    open.setString("s", "b", "2");
    open.setString("t", "c", "3");
    EXPECT_EQ(read(dir.file("open.ini")), "[s]\na=1\nb=2\n[t]\nc=3\n");
    // A last line ending in a lone carriage return keeps its key apart from the new one.
    IniDocument bare("[s]\r\na=1\r");
    bare.setValue("s", "b", "2");
    EXPECT_EQ(bare.text(), "[s]\r\na=1\r\nb=2");
    EXPECT_EQ(bare.value("s", "a"), "1");
}

TEST(IniFileWrite, RefusesWhatWouldNotReadBackAndLeavesTheFile) {
    TempDir dir;
    const std::string path = dir.file("c.url");
    write(path, "[s]\nk=v\n");
    IniFile ini(path);
    EXPECT_EQ(errorOf([&] { ini.setString("s", "k", "http://a/\r\nx=y"); }), EINVAL);
    EXPECT_EQ(errorOf([&] { ini.setString("s", "a=b", "v"); }), EINVAL);
    EXPECT_EQ(errorOf([&] { ini.setString("s", "[k", "v"); }), EINVAL);
    EXPECT_EQ(errorOf([&] { ini.setString("s", "", "v"); }), EINVAL);
    EXPECT_EQ(errorOf([&] { ini.setString("s]", "k", "v"); }), EINVAL);
    EXPECT_EQ(errorOf([&] { ini.setString("s", "k", std::string("a\0b", 3)); }), EINVAL);
    EXPECT_EQ(read(path), "[s]\nk=v\n");
}

TEST(IniFileWrite, ReplacesTheFileAtomicallyKeepingItsMode) {
    TempDir dir;
    const std::string path = dir.file("d.url");
    write(path, "[s]\nk=v\n");
    ::chmod(path.c_str(), 0640);
    IniFile(path).setString("s", "k", "w");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // A link at the path is replaced, never written through.
    write(dir.file("target"), "[s]\nk=v\n");
    fs::create_symlink(dir.file("target"), dir.file("link.url"));
    IniFile(dir.file("link.url")).setString("s", "k", "changed");
    EXPECT_EQ(read(dir.file("target")), "[s]\nk=v\n");
    EXPECT_FALSE(fs::is_symlink(dir.file("link.url")));
    EXPECT_EQ(IniFile(dir.file("link.url")).getString("s", "k"), "changed");

    // A missing folder: the system's error.
    EXPECT_EQ(errorOf([&] { IniFile(dir.file("nosuch/e.url")).setString("s", "k", "v"); }), ENOENT);
}
