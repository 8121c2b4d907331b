#include "app/runtimefolder.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

namespace bryndle {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const RuntimeFolder::Layout Layout{"../share/bryndle", "../libexec/bryndle"};

// An installation as cmake --install lays it out, and an environment to look it up in.
class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix = dir.path() / "prefix";
        home = dir.path() / "home";
        fs::create_directories(prefix / "bin");
        fs::create_directories(prefix / "share/bryndle/icons");
        fs::create_directories(prefix / "share/bryndle/template/theme/terminal");
        fs::create_directories(prefix / "libexec/bryndle");
        std::ofstream(prefix / "bin/bryndle") << "";
        std::ofstream(prefix / "libexec/bryndle/bryndle-node") << "";
        environment["HOME"] = home.string();
    }

    RuntimeFolder locate(const fs::path& program) {
        return RuntimeFolder::locate(
            program, Layout,
            [this](const char* name) {
                auto it = environment.find(name);
                return it == environment.end() ? nullptr : it->second.c_str();
            },
            dir.path() / "current");
    }

    TempDir dir;
    fs::path prefix;
    fs::path home;
    std::map<std::string, std::string> environment;
};

TEST_F(RuntimeFolderTest, FromTheBuildFolderTheCurrentDirectoryAndNothingMade) {
    fs::create_directories(dir.path() / "build/src/app");
    const RuntimeFolder folder = locate(dir.path() / "build/src/app/bryndle");
    EXPECT_FALSE(folder.installed());
    EXPECT_EQ(folder.path(), dir.path() / "current");
    folder.prepare();
    folder.exportNodeData();
    EXPECT_FALSE(fs::exists(dir.path() / "current"));
    EXPECT_FALSE(fs::exists(home));
}

TEST_F(RuntimeFolderTest, InstalledInTheUsersDataFolder) {
    const RuntimeFolder folder = locate(prefix / "bin/bryndle");
    EXPECT_TRUE(folder.installed());
    EXPECT_EQ(folder.path(), home / ".local/share/bryndle");
    EXPECT_EQ(folder.dataDir(), prefix / "share/bryndle");
    EXPECT_EQ(folder.nodeProgram(), prefix / "libexec/bryndle/bryndle-node");
    environment["XDG_DATA_HOME"] = (dir.path() / "data").string();
    EXPECT_EQ(locate(prefix / "bin/bryndle").path(), dir.path() / "data/bryndle");
    // A relative value does not count.
    environment["XDG_DATA_HOME"] = "data";
    EXPECT_EQ(locate(prefix / "bin/bryndle").path(), home / ".local/share/bryndle");
}

TEST_F(RuntimeFolderTest, PreparedWithLinksToTheInstalledFilesKeepingTheUsersOwn) {
    const RuntimeFolder folder = locate(prefix / "bin/bryndle");
    const fs::path runtime = folder.path();
    // An earlier installation elsewhere left its links, and the user has a theme folder.
    fs::create_directories(runtime / "node");
    fs::create_symlink(dir.path() / "gone/icons", runtime / "icons");
    fs::create_symlink(dir.path() / "gone/bryndle-node", runtime / "node/bryndle-node");
    fs::create_directories(runtime / "template/theme/mine");

    folder.prepare();
    folder.prepare();
    EXPECT_EQ(fs::read_symlink(runtime / "icons"), prefix / "share/bryndle/icons");
    EXPECT_EQ(fs::read_symlink(runtime / "node/bryndle-node"),
              prefix / "libexec/bryndle/bryndle-node");
    EXPECT_FALSE(fs::is_symlink(runtime / "template/theme"));
    EXPECT_TRUE(fs::is_directory(runtime / "template/theme/mine"));

    fs::remove_all(runtime);
    folder.prepare();
    EXPECT_EQ(fs::read_symlink(runtime / "template/theme"),
              prefix / "share/bryndle/template/theme");
    EXPECT_TRUE(fs::is_directory(runtime / "template/theme/terminal"));
}

} // namespace
} // namespace bryndle
