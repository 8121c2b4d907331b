// The node's HTTP side in this process, with a clock the tests set.

#include "nodeserver.h"
#include "nodetext.h"

#include "node/threadfile.h"
#include "support/tempdir.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <regex>
#include <thread>

namespace bryndle {
namespace {

using test::TempDir;

// A readiness wait with a generous limit, not a measurement.
bool waitForTotal(const NodeActivity& activity, uint64_t total) {
    for (int i = 0; i < 3000 && activity.total() < total; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return activity.total() == total;
}

class RunningServer {
public:
    RunningServer(NodeStore& store, NodeActivity& activity, NodeServer::Clock clock,
                  RequestFront::Limits limits = {})
        : server(store, activity, std::move(clock), limits) {
        port = server.bind(0);
        if (port <= 0) {
            throw std::runtime_error("bind");
        }
        thread = std::thread([this] { server.run(); });
    }
    ~RunningServer() {
        server.stop();
        thread.join();
    }

    NodeServer server;
    int port = 0;
    std::thread thread;
};

// Runs the server on a thread, stops it at once and reports whether run returned. The limit
// only turns a lost stop into a failure instead of a hung test.
bool stopEndsRun(NodeServer& server, bool stopFirst) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    if (stopFirst) {
        server.stop();
    }
    std::thread serving([&] {
        server.run();
        done.set_value();
    });
    if (!stopFirst) {
        server.stop();
    }
    bool ended = finished.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!ended) {
        server.stop();
    }
    serving.join();
    return ended;
}

TEST(NodeServerTest, StopBeforeOrRightAfterRunEndsIt) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeActivity activity;
    {
        NodeServer server(store, activity);
        ASSERT_GT(server.bind(0), 0);
        EXPECT_TRUE(stopEndsRun(server, true));
    }
    // A stop that comes while the serving loop is still starting is not lost.
    for (int i = 0; i < 20; ++i) {
        NodeServer server(store, activity);
        ASSERT_GT(server.bind(0), 0);
        EXPECT_TRUE(stopEndsRun(server, false)) << "round " << i;
    }
}

TEST(NodeServerTest, RecentListHoldsTheLastWeekOnly) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeActivity activity;
    std::atomic<int64_t> now = 1'000'000'000;
    store.addRecord("old", NodeStore::makeRecord(now - NodeServer::kRecentSeconds - 1, "body:o"));
    store.addRecord("edge", NodeStore::makeRecord(now - NodeServer::kRecentSeconds, "body:e"));
    store.registerThread("new", now - 10);
    RunningServer running(store, activity, [&] { return now.load(); });
    httplib::Client client("127.0.0.1", running.port);

    auto recent = client.Get("/gateway.cgi/csv/recent/title");
    ASSERT_TRUE(recent);
    EXPECT_EQ(recent->body, "new\r\nedge\r\n");
    auto changes = client.Get("/gateway.cgi/csv/changes/title");
    ASSERT_TRUE(changes);
    EXPECT_EQ(changes->body, "new\r\nedge\r\nold\r\n");

    auto page = client.Get("/gateway.cgi/recent");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find(">edge<"), std::string::npos);
    EXPECT_EQ(page->body.find(">old<"), std::string::npos);

    // Posts take the node's time as their stamp.
    now += 5;
    auto posted = client.Post(
        "/thread.cgi", httplib::MultipartFormDataItems{{"cmd", "post", "", ""},
                                                       {"file", threadFileName("old"), "", ""},
                                                       {"body", "up again", "", ""}});
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 302);
    EXPECT_EQ(store.thread("old")->stamp, now.load());
    auto after = client.Get("/gateway.cgi/csv/recent/title,stamp");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->body.substr(0, 4), "old,");
}

TEST(NodeServerTest, DeletionCodesExpireAndBelongToOneThread) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeActivity activity;
    std::atomic<int64_t> now = 2'000'000'000;
    store.addRecord("a", NodeStore::makeRecord(1, "body:a"));
    store.addRecord("b", NodeStore::makeRecord(1, "body:b"));
    RunningServer running(store, activity, [&] { return now.load(); });
    httplib::Client client("127.0.0.1", running.port);

    auto codeFor = [&](const std::string& title) {
        auto page = client.Get("/admin.cgi?cmd=fdel&file=" + threadFileName(title));
        std::smatch match;
        if (!page || !std::regex_search(page->body, match,
                                        std::regex("name=\"sid\" value=\"([0-9a-f]{32})\""))) {
            return std::string();
        }
        return match[1].str();
    };
    auto remove = [&](const std::string& title, const std::string& code) {
        auto answer =
            client.Post("/admin.cgi", "cmd=xfdel&file=" + threadFileName(title) + "&sid=" + code,
                        "application/x-www-form-urlencoded");
        return answer ? answer->status : 0;
    };

    std::string codeA = codeFor("a");
    ASSERT_FALSE(codeA.empty());
    // A code for one thread does not delete another.
    EXPECT_EQ(remove("b", codeA), 403);
    EXPECT_TRUE(store.thread("b"));

    now += NodeServer::kDeleteCodeSeconds + 1;
    EXPECT_EQ(remove("a", codeA), 403);
    EXPECT_TRUE(store.thread("a"));

    std::string fresh = codeFor("a");
    ASSERT_FALSE(fresh.empty());
    EXPECT_NE(fresh, codeA);
    EXPECT_EQ(remove("a", fresh), 302);
    EXPECT_FALSE(store.thread("a"));
    EXPECT_TRUE(store.thread("b"));

    // A GET cannot delete.
    auto get =
        client.Get("/admin.cgi?cmd=xfdel&file=" + threadFileName("b") + "&sid=" + codeFor("b"));
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 400);
    EXPECT_TRUE(store.thread("b"));
}

TEST(NodeServerTest, DeletionCodesAreBoundedInNumber) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeActivity activity;
    store.addRecord("a", NodeStore::makeRecord(1, "body:a"));
    int64_t now = 3'000'000'000;
    NodeServer server(store, activity, [&] { return now; });
    std::string host = "Host: 127.0.0.1:" + std::to_string(server.bind(0)) + "\r\n";
    const std::string file = threadFileName("a");
    auto newCode = [&] {
        ++now;
        std::string page =
            server.answer("GET /admin.cgi?cmd=fdel&file=" + file + " HTTP/1.1\r\n" + host + "\r\n");
        std::smatch match;
        std::regex_search(page, match, std::regex("name=\"sid\" value=\"([0-9a-f]{32})\""));
        return match[1].str();
    };
    auto remove = [&](const std::string& code) {
        std::string form = "cmd=xfdel&file=" + file + "&sid=" + code;
        return server
            .answer("POST /admin.cgi HTTP/1.1\r\n" + host +
                    "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(form.size()) + "\r\n\r\n" + form)
            .substr(9, 3);
    };
    std::string first = newCode();
    for (size_t i = 1; i < NodeServer::kMaxDeleteCodes; ++i) {
        newCode();
    }
    std::string last = newCode();
    // The code that would expire first made room for the newest.
    EXPECT_EQ(remove(first), "403");
    EXPECT_TRUE(store.thread("a"));
    EXPECT_EQ(remove(last), "302");
    EXPECT_FALSE(store.thread("a"));
}

TEST(NodeServerTest, UrlEncodedFormsAndTheRequestLog) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeActivity activity;
    RunningServer running(store, activity, [] { return int64_t{1234}; });
    httplib::Client client("127.0.0.1", running.port);

    auto posted = client.Post("/thread.cgi",
                              "cmd=post&file=" + threadFileName("u") +
                                  "&name=%E5%90%8D&body=a%2Bb+%26+c%0D%0Ad",
                              "application/x-www-form-urlencoded");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 302);
    auto records = store.records("u", 0, INT64_MAX);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].stamp, 1234);
    EXPECT_EQ(records[0].text, "body:a+b &amp; c<br>d<>name:名");

    // The log entry is written just after the answer has been sent.
    ASSERT_TRUE(waitForTotal(activity, 1));
    auto log = activity.latest();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "POST");
    EXPECT_EQ(log[0].path, "/thread.cgi");
    EXPECT_EQ(log[0].status, 302);
    EXPECT_EQ(log[0].time, 1234);
    client.Get("/");
    ASSERT_TRUE(waitForTotal(activity, 2));
    EXPECT_EQ(activity.latest().front().path, "/");
}

// A connection on the running server's port; what it receives until the server closes it.
std::string sendAndRead(int port, const std::string& bytes) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval guard{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    std::string received;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            received.append(buffer, static_cast<size_t>(n));
        }
        if (n < 0) {
            received = "no close";
        }
    }
    ::close(fd);
    return received;
}

TEST(NodeServerTest, RequestsNotWholeInTimeAreEnded) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeActivity activity;
    RequestFront::Limits limits;
    limits.requestTime = std::chrono::milliseconds(300);
    RunningServer running(store, activity, nullptr, limits);

    // A started head is answered 408; a connection that sent nothing is just closed.
    EXPECT_EQ(sendAndRead(running.port, "GET / HTTP/1.1\r\n").substr(0, 13), "HTTP/1.1 408 ");
    EXPECT_EQ(sendAndRead(running.port, ""), "");
    std::string form = "cmd=post&file=" + threadFileName("t") + "&body=x";
    std::string post = "POST /thread.cgi HTTP/1.0\r\nContent-Type: "
                       "application/x-www-form-urlencoded\r\nContent-Length: " +
                       std::to_string(form.size()) + "\r\n\r\n";
    EXPECT_EQ(sendAndRead(running.port, post + form.substr(1)).substr(0, 13), "HTTP/1.1 408 ");
    EXPECT_FALSE(store.thread("t"));
    EXPECT_EQ(sendAndRead(running.port, post + form).substr(0, 13), "HTTP/1.1 302 ");
    EXPECT_TRUE(store.thread("t"));
}

TEST(NodeServerTest, AnswersARequestGivenAsBytes) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeActivity activity;
    store.addRecord("a", NodeStore::makeRecord(1, "body:a"));
    NodeServer server(store, activity);
    std::string answer =
        server.answer("GET /server.cgi/have/" + threadFileName("a") + " HTTP/1.0\r\n\r\n");
    EXPECT_EQ(answer.substr(0, 13), "HTTP/1.1 200 ");
    EXPECT_NE(answer.find("\r\nX-Content-Type-Options: nosniff\r\n"), std::string::npos);
    EXPECT_EQ(answer.substr(answer.size() - 8), "\r\n\r\nYES\n");
}

TEST(NodeActivityTest, KeepsTheNewestEntriesUpToItsCapacity) {
    NodeActivity activity(3);
    for (int i = 0; i < 5; ++i) {
        // Appended: "literal" + a temporary string draws a false -Wrestrict from GCC 12.
        activity.add({i, "GET", std::string("/").append(std::to_string(i)), 200});
    }
    auto entries = activity.latest();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].path, "/4");
    EXPECT_EQ(entries[2].path, "/2");
    EXPECT_EQ(activity.total(), 5u);
}

} // namespace
} // namespace bryndle
