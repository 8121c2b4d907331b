#include "app/cli.h"
#include "config/configuration.h"
#include "support/fakenode.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace bryndle {
namespace {

namespace fs = std::filesystem;
using test::fakeNode;
using test::ScriptedConnection;
using test::ScriptedServer;
using test::TempDir;

const std::string Columns = "/file,stamp,path,uri,type,title,records,size";
const std::string Id1 = "0123456789abcdef0123456789abcdef";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the built tool in a folder and collects its output and exit status.
Result runTool(const std::vector<std::string>& arguments, const fs::path& folder) {
    fs::path outFile = folder / "stdout.txt";
    fs::path errFile = folder / "stderr.txt";
    std::vector<std::string> all = {BRYNDLE_CLI_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::chdir(folder.c_str()) != 0)
            ::_exit(127);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Result result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

Result runInProcess(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    Result result;
    result.status = runCli(arguments, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::string nodeOption(const ScriptedServer& server) {
    return "127.0.0.1:" + std::to_string(server.port());
}

// A node that requires the Host field and quotes titles with commas and quotes.
std::map<std::string, std::string> quotingNode() {
    return {{"/gateway.cgi/csv/changes" + Columns,
             "thread_41,1700000000,/thread.cgi/A,http://node/thread.cgi/A,thread,A,3,1024\r\n"
             "thread_636F,1700000100,/thread.cgi/c,http://node/thread.cgi/c,thread,"
             "\"comma, in title\",10,2048\r\n"
             "thread_71,1700000200,/thread.cgi/q,http://node/thread.cgi/q,thread,"
             "\"quote \"\"in\"\" title\",1,100\r\n"}};
}

TEST(BryndleCli, ListChangesShowsTheRealTitles) {
    ScriptedServer server(fakeNode(quotingNode()));
    TempDir dir;
    Result result = runTool({"--node", nodeOption(server), "list", "changes"}, dir.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "thread_41\t1700000000\t/thread.cgi/A\thttp://node/thread.cgi/A\tthread\tA\t3\t1024\n"
              "thread_636F\t1700000100\t/thread.cgi/c\thttp://node/thread.cgi/c\tthread\t"
              "comma, in title\t10\t2048\n"
              "thread_71\t1700000200\t/thread.cgi/q\thttp://node/thread.cgi/q\tthread\t"
              "quote \"in\" title\t1\t100\n");
    EXPECT_EQ(server.lastRequest(), "GET /gateway.cgi/csv/changes" + Columns +
                                        " HTTP/1.0\r\nHost: " + nodeOption(server) + "\r\n\r\n");
}

TEST(BryndleCli, DefaultNodeComesFromTheConfiguration) {
    ScriptedServer server(fakeNode(quotingNode()));
    TempDir dir;
    Configuration configuration((dir.path() / "config.db").string());
    configuration.setNodeHost("127.0.0.1");
    configuration.setNodePort(server.port());
    configuration.save();
    Result result = runTool({"list", "changes"}, dir.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\tcomma, in title\t"), std::string::npos);
}

TEST(BryndleCli, NoConfigurationFileIsCreated) {
    TempDir dir;
    test::ClosedPort closed;
    uint16_t port = closed.port();
    Result result =
        runTool({"--node", "127.0.0.1:" + std::to_string(port), "have", "A"}, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(dir.path() / "config.db"));
}

TEST(BryndleCli, HaveHeadGetRecordAndRegister) {
    ScriptedServer server(fakeNode({
        {"/server.cgi/have/thread_41", "YES\r\n"},
        {"/server.cgi/have/thread_42", "NO\r\n"},
        {"/server.cgi/head/thread_41/0-", "100<>" + Id1 + "\r\n"},
        {"/server.cgi/get/thread_41/100-", "100<>" + Id1 + "<>name:n<>body:b:c\r\n"},
        {"/server.cgi/get/thread_41/100/" + Id1, "100<>" + Id1 + "<>body:one\r\n"},
        {"/thread.cgi/a%20b%3Fc", "ok"},
    }));
    std::string node = nodeOption(server);
    Result have = runInProcess({"--node", node, "have", "A"});
    EXPECT_EQ(have.status, 0);
    EXPECT_EQ(have.out, "YES\n");
    EXPECT_EQ(runInProcess({"--node", node, "have", "B"}).out, "NO\n");
    EXPECT_EQ(runInProcess({"--node", node, "head", "A"}).out, "100\t" + Id1 + "\n");
    EXPECT_EQ(runInProcess({"--node", node, "get", "A", "100"}).out,
              "100\t" + Id1 + "\tbody:b:c\tname:n\n");
    EXPECT_EQ(runInProcess({"--node", node, "record", "A", "100", Id1}).out,
              "100\t" + Id1 + "\tbody:one\n");
    Result registered = runInProcess({"--node", node, "register", "a b?c"});
    EXPECT_EQ(registered.status, 0);
    EXPECT_EQ(test::requestPath(server.lastRequest()), "/thread.cgi/a%20b%3Fc");
}

TEST(BryndleCli, ControlCharactersFromTheNodeDoNotReachTheTerminal) {
    ScriptedServer server(fakeNode({
        {"/server.cgi/get/thread_41/0-", "1<>" + Id1 + "<>body:\x1b]0;owned\x07red\tx\r\n"},
        {"/gateway.cgi/csv/changes" + Columns, "thread_41,1,p,u,thread,\"\x1b[2Jt\",1,2\r\n"},
    }));
    std::string node = nodeOption(server);
    EXPECT_EQ(runInProcess({"--node", node, "get", "A"}).out,
              "1\t" + Id1 + "\tbody:\\x1b]0;owned\\x07red\\x09x\n");
    EXPECT_EQ(runInProcess({"--node", node, "list", "changes"}).out,
              "thread_41\t1\tp\tu\tthread\t\\x1b[2Jt\t1\t2\n");
}

TEST(BryndleCli, FailuresGoToStandardErrorWithTheSystemText) {
    test::ClosedPort closed;
    uint16_t port = closed.port();
    Result refused =
        runInProcess({"--node", "127.0.0.1:" + std::to_string(port), "list", "recent"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "bryndle-cli: Unable to connect socket: Connection refused\n");

    Result unresolved = runInProcess({"--node", "no such host:8000", "have", "A"});
    EXPECT_EQ(unresolved.status, 1);
    EXPECT_EQ(unresolved.err.rfind("bryndle-cli: Unable to resolve host no such host: ", 0), 0u)
        << unresolved.err;

    ScriptedServer unclear(fakeNode({{"/server.cgi/have/thread_41", "maybe\n"}}));
    Result bad = runInProcess({"--node", nodeOption(unclear), "have", "A"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "bryndle-cli: have response error\n");
}

TEST(BryndleCli, StalledNodeTimesOutWithTheGivenTime) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.holdUntilClientCloses();
    });
    Result result = runInProcess({"--node", nodeOption(server), "--timeout", "1", "have", "A"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "bryndle-cli: connection timeout\n");
}

TEST(BryndleCli, TheTimeoutBoundsEachWholeRequest) {
    // One byte a second, for longer than any test should take: every single wait is short.
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        const std::string answer =
            "HTTP/1.1 200 OK\r\n\r\n1<>" + Id1 + "<>body:" + std::string(100, 'x') + "\n";
        for (char byte : answer) {
            if (::send(c.fd(), &byte, 1, MSG_NOSIGNAL) != 1)
                return;
            c.pause(1000);
        }
    });
    Result result = runInProcess({"--node", nodeOption(server), "--timeout", "2", "get", "A"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "bryndle-cli: request timeout (2 s)\n");
}

TEST(BryndleCli, BadCommandLinesAreUsageErrors) {
    for (std::vector<std::string> arguments : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"list"},
             {"list", "all"},
             {"have"},
             {"have", "A", "B"},
             {"head", "A", "yesterday"},
             {"get", "A", "-1"},
             {"record", "A", "1"},
             {"--node", "nohostport", "have", "A"},
             {"--node", "host:0", "have", "A"},
             {"--node", "host:65536", "have", "A"},
             {"--node"},
             {"--timeout", "soon", "have", "A"},
             {"--verbose", "have", "A"},
         }) {
        Result result = runInProcess(arguments);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(arguments);
        EXPECT_NE(result.err.find("usage: bryndle-cli"), std::string::npos);
        EXPECT_EQ(result.out, "");
    }
}

// Every command has one line in the help and an entry in the manual page.
TEST(BryndleCli, HelpAndManualPageListEveryCommand) {
    Result result = runInProcess({"--help"});
    EXPECT_EQ(result.status, 0);
    const std::string manual =
        readFile(fs::path(std::getenv("BRYNDLE_SOURCE_DIR")) / "data/man/bryndle-cli.1");
    const auto commands = cliCommands().commands();
    EXPECT_GE(commands.size(), size_t{9});
    for (const CliCommand& command : commands) {
        const std::string line = "\n  " + command.name + " ";
        const size_t at = result.out.find(line);
        EXPECT_NE(at, std::string::npos) << command.name;
        EXPECT_EQ(result.out.find(line, at + 1), std::string::npos) << command.name;
        const std::string entry = "\n.TP\n.B";
        EXPECT_TRUE(manual.find(entry + "R " + command.name + " ") != std::string::npos ||
                    manual.find(entry + "I " + command.name + " ") != std::string::npos)
            << command.name;
    }
}

} // namespace
} // namespace bryndle
