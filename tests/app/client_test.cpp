#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace bryndle {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Waits until the condition holds; the limit only keeps a broken program from hanging the run.
bool eventually(const std::function<bool()>& condition, int seconds = 60) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < limit) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts the client in the folder, headless, its output into client.log there.
pid_t startClient(const fs::path& folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int log = ::open((folder / "client.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log < 0 || ::chdir(folder.c_str()) != 0)
            ::_exit(127);
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The window's web engine refuses to run as root with its sandbox.
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
        char* argv[] = {const_cast<char*>(BRYNDLE_CLIENT_DRIVER), nullptr};
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    return pid;
}

// The exit status once the process has ended, or -1 if it has not after the limit (it is then
// killed).
int exitStatus(pid_t pid) {
    int status = 0;
    if (!eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// SIGTERM while the options are open: the client closes the dialog, stops the node program,
// saves its state and settings, and exits with 0, as after a confirmed exit.
TEST(ClientTest, TerminationWithTheOptionsOpenEndsTheClientAndTheNodeProgram) {
    TempDir dir;
    fs::copy(BRYNDLE_RUNTIME_ICONS, dir.path() / "icons");
    const fs::path node = dir.path() / "node" / "bryndle-node";
    fs::create_directories(node.parent_path());
    std::ofstream(node) << "#!/bin/sh\necho $$ > pid.tmp\nmv pid.tmp pid\nexec sleep 600\n";
    fs::permissions(node, fs::perms::owner_all);

    const pid_t client = startClient(dir.path());
    ASSERT_GT(client, 0);
    const bool open = eventually([&] {
        return fs::exists(dir.path() / "options-open") && fs::exists(node.parent_path() / "pid");
    });
    if (!open)
        ::kill(client, SIGKILL);
    ASSERT_TRUE(open) << readFile(dir.path() / "client.log");
    const pid_t nodePid = std::stoi(readFile(node.parent_path() / "pid"));
    ASSERT_GT(nodePid, 0);

    ::kill(client, SIGTERM);
    EXPECT_EQ(exitStatus(client), 0) << readFile(dir.path() / "client.log");
    EXPECT_NE(::kill(nodePid, 0), 0) << "the node program still runs";
    if (::kill(nodePid, 0) == 0)
        ::kill(nodePid, SIGKILL);
    EXPECT_TRUE(fs::exists(dir.path() / "config.db"));
    EXPECT_TRUE(fs::exists(dir.path() / "environ.db"));
}

} // namespace
} // namespace bryndle
