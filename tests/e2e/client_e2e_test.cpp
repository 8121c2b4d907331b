// The whole client against the local node: each test prepares a runtime folder as the build
// assembles it, starts the client program headless with a scenario inside it (e2edriver), and
// checks that the scenario passed and the client ended as after a confirmed exit.
#include "config/configuration.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace bryndle {
namespace {

namespace fs = std::filesystem;

// A port nothing listens on at the moment, for the node the client starts.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A runtime folder of its own: the assembled icons and themes, the local node as the node
// program on a free port with the sample threads, and a configuration naming that port.
class ClientFolder {
public:
    ClientFolder() : port_(freePort()) {
        const fs::path runtime = BRYNDLE_RUNTIME_DIR;
        fs::create_directory_symlink(runtime / "icons", path() / "icons");
        fs::create_directories(path() / "template");
        fs::create_directory_symlink(runtime / "template" / "theme", path() / "template" / "theme");
        fs::create_directories(path() / "node");
        fs::create_symlink(BRYNDLE_NODE_PROGRAM, path() / "node" / "bryndle-node");
        Configuration config((path() / "config.db").string());
        config.setNodeHost("127.0.0.1");
        config.setNodePort(static_cast<uint16_t>(port_));
        config.save();
    }

    const fs::path& path() const { return dir_.path(); }

    // Runs the client with the scenario to its end; its exit status (-1 when it had to be
    // killed). The limit only keeps a hanging client from stopping the whole run.
    int run(const std::string& scenario) {
        const fs::path log = path() / (scenario + ".log");
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Its own group, so that a node left behind by a crash goes with it.
            ::setpgid(0, 0);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || ::chdir(path().c_str()) != 0)
                ::_exit(127);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::setenv("BRYNDLE_E2E_SCENARIO", scenario.c_str(), 1);
            ::setenv("BRYNDLE_NODE_PORT", std::to_string(port_).c_str(), 1);
            ::setenv("BRYNDLE_NODE_DATA", (path() / "node-data").c_str(), 1);
            ::setenv("BRYNDLE_NODE_SAMPLES", "1", 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
            ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 1);
            ::unsetenv("DISPLAY");
            char* argv[] = {const_cast<char*>(BRYNDLE_E2E_DRIVER), nullptr};
            ::execv(argv[0], argv);
            ::_exit(127);
        }
        int status = -1;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > limit) {
                ::kill(-pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                status = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(-pid, SIGKILL);
        const int result = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (result != 0)
            std::cerr << "---- " << scenario << " ----\n" << readFile(log);
        return result;
    }

private:
    test::TempDir dir_;
    int port_;
};

TEST(ClientE2ETest, ListsOpensPagesAndMarksAThread) {
    ClientFolder folder;
    EXPECT_EQ(folder.run("readAThread"), 0);
}

TEST(ClientE2ETest, APostThroughThePostWindowShowsInTheThread) {
    ClientFolder folder;
    EXPECT_EQ(folder.run("postThroughThePostWindow"), 0);
}

TEST(ClientE2ETest, AThreadDeletedFromTheTableLeavesTheSubscribedList) {
    ClientFolder folder;
    EXPECT_EQ(folder.run("deleteFromTheTable"), 0);
}

TEST(ClientE2ETest, ABookmarkFromTheTabMenuReopensTheThreadFromTheSideBar) {
    ClientFolder folder;
    EXPECT_EQ(folder.run("bookmarkFromTheTab"), 0);
}

TEST(ClientE2ETest, TheNextStartRestoresSideBarHistoryAndTabs) {
    ClientFolder folder;
    ASSERT_EQ(folder.run("hideTheSideBarAndEnd"), 0);
    EXPECT_EQ(folder.run("theNextStartRestoresTheWindow"), 0);
}

TEST(ClientE2ETest, ANodeThatDiesWhileAThreadLoadsIsStartedAgainByTheOptions) {
    ClientFolder folder;
    EXPECT_EQ(folder.run("theNodeDiesWhileAThreadLoads"), 0);
}

} // namespace
} // namespace bryndle
