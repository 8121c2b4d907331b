#include "foundation/conv.h"
#include "http/httpconnectionexception.h"
#include "node/gatewayio.h"
#include "node/serverio.h"
#include "node/threaddataresponselistener.h"
#include "node/threadio.h"
#include "support/fakenode.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <functional>

namespace bryndle {
namespace {

using test::fakeNode;
using test::ScriptedConnection;
using test::ScriptedServer;

const std::string Id1 = "0123456789abcdef0123456789abcdef";
const std::string Id2 = "fedcba9876543210fedcba9876543210";
const std::string OK = "HTTP/1.1 200 OK\r\n\r\n";

NodeAddress local(uint16_t port) {
    return NodeAddress("127.0.0.1", port);
}

std::string hostLine(uint16_t port) {
    return "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
}

struct Record {
    uint32_t stamp;
    std::string id;
    std::map<std::string, std::string> attributes;
    std::string tag;
    bool operator==(const Record&) const = default;
};

// A callback that copies what it keeps.
RecordCallback collectInto(std::vector<Record>& records) {
    return [&records](ThreadDataEvent& event) {
        std::string tag = event.tag().has_value() ? std::any_cast<std::string>(event.tag()) : "";
        records.push_back({event.stamp(), event.id(), event.attributes(), tag});
    };
}

bool haveAnswer(const std::string& response) {
    ScriptedServer server(ScriptedServer::answer(response));
    ServerIO io(local(server.port()));
    return io.have("A");
}

void expectHaveError(const std::string& response) {
    try {
        haveAnswer(response);
        ADD_FAILURE() << "no error for " << response;
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "have response error");
    }
}

TEST(NodeAddress, ResolvesHostNamesToIPv4) {
    NodeAddress address("localhost", 8000);
    EXPECT_EQ(address.host(), "localhost");
    EXPECT_EQ(address.port(), 8000);
    EXPECT_EQ(address.hostField(), "localhost:8000");
    EXPECT_EQ(address.address().sin_family, AF_INET);
    EXPECT_EQ(ntohl(address.address().sin_addr.s_addr) >> 24, 127u);
    EXPECT_EQ(ntohs(address.address().sin_port), 8000);
    NodeAddress numeric("127.0.0.1", 1);
    EXPECT_EQ(ntohl(numeric.address().sin_addr.s_addr), INADDR_LOOPBACK);
}

TEST(NodeAddress, NameThatDoesNotResolveIsAClearError) {
    try {
        NodeAddress("no such host", 8000);
        ADD_FAILURE() << "no error";
    } catch (const HostResolutionException& e) {
        std::string text = e.what();
        EXPECT_NE(text.find("Unable to resolve host no such host: "), std::string::npos) << text;
        EXPECT_GT(text.size(), std::string("Unable to resolve host no such host: ").size());
    }
}

TEST(ServerIO, HaveSendsTheFileNameAndTheHostField) {
    ScriptedServer server(fakeNode({{"/server.cgi/have/thread_41", "YES\r\n"}}));
    ServerIO io(local(server.port()));
    EXPECT_TRUE(io.have("A"));
    EXPECT_EQ(server.lastRequest(),
              "GET /server.cgi/have/thread_41 HTTP/1.0\r\n" + hostLine(server.port()) + "\r\n");
}

TEST(ServerIO, HaveAnswers) {
    EXPECT_TRUE(haveAnswer(OK + "YES\n"));
    EXPECT_TRUE(haveAnswer(OK + "yes"));
    EXPECT_TRUE(haveAnswer(OK + "Yes\r\n"));
    EXPECT_FALSE(haveAnswer(OK + "NO\r\n"));
    EXPECT_FALSE(haveAnswer(OK + "no"));
    EXPECT_FALSE(haveAnswer(OK + "YES\nNO\n")); // the last line decides
    EXPECT_TRUE(haveAnswer(OK + "x\nYES\n"));
}

TEST(ServerIO, UnclearHaveAnswersAreErrors) {
    expectHaveError(OK + "YES\nx\n");
    expectHaveError(OK);
    expectHaveError(OK + "YESS\n");
    expectHaveError(OK + " YES\n");
}

TEST(ServerIO, HaveAnswerSplitInsideItsLineEnd) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.send(OK + "YES\r");
        c.pause(50);
        c.send("\n");
    });
    ServerIO io(local(server.port()));
    EXPECT_TRUE(io.have("A"));
}

TEST(ServerIO, GetRangeDeliversEveryRecordWithTheTag) {
    ScriptedServer server(
        fakeNode({{"/server.cgi/get/thread_41/0-", "100<>" + Id1 + "<>body:first<>name:a:b\r\n" +
                                                       "100<>" + Id2 + "<>body:same stamp\r\n" +
                                                       "90<>" + Id1 + "<>body:older, later\r\n"}}));
    ServerIO io(local(server.port()));
    std::vector<Record> records;
    io.getRange(std::string("schema"), collectInto(records), "A", 0);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], (Record{100, Id1, {{"body", "first"}, {"name", "a:b"}}, "schema"}));
    EXPECT_EQ(records[1], (Record{100, Id2, {{"body", "same stamp"}}, "schema"}));
    EXPECT_EQ(records[2], (Record{90, Id1, {{"body", "older, later"}}, "schema"}));
    EXPECT_EQ(server.lastRequest(),
              "GET /server.cgi/get/thread_41/0- HTTP/1.0\r\n" + hostLine(server.port()) + "\r\n");
}

TEST(ServerIO, GetRecordAsksForStampAndId) {
    std::string path = "/server.cgi/get/thread_616263/100/" + Id1;
    ScriptedServer server(fakeNode({{path, "100<>" + Id1 + "<>body:x\n"}}));
    ServerIO io(local(server.port()));
    std::vector<Record> records;
    io.getRecord({}, collectInto(records), "abc", 100, Id1);
    EXPECT_EQ(records, (std::vector<Record>{{100, Id1, {{"body", "x"}}, ""}}));
    EXPECT_EQ(test::requestPath(server.lastRequest()), path);
}

TEST(ServerIO, HeadGivesStampsAndIdsOnly) {
    ScriptedServer server(
        fakeNode({{"/server.cgi/head/thread_41/1200-", "1300<>" + Id1 + "\n1200<>" + Id2 + "\n"}}));
    ServerIO io(local(server.port()));
    std::vector<Record> records;
    io.head({}, collectInto(records), "A", 1200);
    EXPECT_EQ(records, (std::vector<Record>{{1300, Id1, {}, ""}, {1200, Id2, {}, ""}}));
}

TEST(ServerIO, EventIsReusedSoACallbackMustCopy) {
    ScriptedServer server(
        fakeNode({{"/server.cgi/head/thread_41/0-", "1<>" + Id1 + "\n2<>" + Id2 + "\n"}}));
    ServerIO io(local(server.port()));
    const ThreadDataEvent* kept = nullptr;
    std::vector<std::string> seenThroughKept;
    io.head(
        {},
        [&](ThreadDataEvent& event) {
            if (!kept)
                kept = &event;
            seenThroughKept.push_back(kept->id());
        },
        "A", 0);
    // What a kept reference shows is whatever the last line put there, not the first record.
    EXPECT_EQ(seenThroughKept, (std::vector<std::string>{Id1, Id2}));
}

TEST(ThreadDataResponseListener, ClearsTheEventAfterEveryCallback) {
    const ThreadDataEvent* kept = nullptr;
    ThreadDataResponseListener listener(std::string("tag"),
                                        [&](ThreadDataEvent& event) { kept = &event; });
    EXPECT_TRUE(listener.lineMode());
    EXPECT_EQ(listener.bufferSize(), 8192);
    HTTPResponseEvent line;
    line.setData("5<>" + Id1 + "<>body:x");
    listener.onLine(line);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->stamp(), 0u);
    EXPECT_EQ(kept->id(), "");
    EXPECT_TRUE(kept->attributes().empty());
}

TEST(ServerIO, MalformedLineEndsTheOperationAfterTheEarlierRecords) {
    ScriptedServer server(
        fakeNode({{"/server.cgi/get/thread_41/0-", "1<>" + Id1 + "\n2<>short\n3<>" + Id2 + "\n"}}));
    ServerIO io(local(server.port()));
    std::vector<Record> records;
    try {
        io.getRange({}, collectInto(records), "A", 0);
        ADD_FAILURE() << "no error";
    } catch (const ThreadDataException& e) {
        EXPECT_STREQ(e.what(), "thread data error2");
    }
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].stamp, 1u);
}

TEST(ServerIO, MalformedLinesCanBeSkippedAndTheAnswerGoesOn) {
    ScriptedServer server(fakeNode(
        {{"/server.cgi/get/thread_41/0-", "1<>" + Id1 + "\n2<>short\n\r\nx<>" + Id2 + "\n3<>" +
                                              Id2 + "<>nocolon\n4<>" + Id2 + "\n"}}));
    ServerIO io(local(server.port()));
    std::vector<std::string> skipped;
    io.setMalformedLineCallback([&](std::string_view line, const std::exception& error) {
        skipped.push_back(std::string(line) + " / " + error.what());
    });
    std::vector<Record> records;
    io.getRange({}, collectInto(records), "A", 0);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].stamp, 1u);
    EXPECT_EQ(records[1].stamp, 4u);
    // The empty line is no record and no fault.
    ASSERT_EQ(skipped.size(), 3u);
    EXPECT_EQ(skipped[0], "2<>short / thread data error2");
    EXPECT_EQ(skipped[2], "3<>" + Id2 + "<>nocolon / thread data error3");
}

// Whatever the body, an answer other than 200 fails every kind of request and gives nothing.
TEST(ServerIO, AnyStatusOtherThan200IsAFailureWithItsCodeAndText) {
    const std::string line = "1<>" + Id1 + "<>body:from an error page\r\n";
    auto expectStatus = [](const std::function<void()>& operation, int32_t status,
                           const std::string& message) {
        try {
            operation();
            ADD_FAILURE() << "no error for " << message;
        } catch (const HTTPStatusException& e) {
            EXPECT_EQ(e.status(), status);
            EXPECT_EQ(e.what(), message);
        }
    };
    std::vector<Record> records;
    ScriptedServer unavailable(ScriptedServer::answer("HTTP/1.1 503 Service Unavailable\r\n\r\n"));
    ServerIO a(local(unavailable.port()));
    expectStatus([&] { a.head({}, collectInto(records), "A", 0); }, 503,
                 "HTTP status 503 Service Unavailable");
    expectStatus([&] { a.have("A"); }, 503, "HTTP status 503 Service Unavailable");
    expectStatus([&] { GatewayIO(local(unavailable.port())).changes({}, [](auto&) {}); }, 503,
                 "HTTP status 503 Service Unavailable");

    ScriptedServer failing(ScriptedServer::answer("HTTP/1.1 500 Oops\r\n\r\n" + line));
    ServerIO b(local(failing.port()));
    expectStatus([&] { b.getRange({}, collectInto(records), "A", 0); }, 500,
                 "HTTP status 500 Internal Server Error");
    expectStatus([&] { b.getRecord({}, collectInto(records), "A", 1, Id1); }, 500,
                 "HTTP status 500 Internal Server Error");
    expectStatus([&] { ThreadIO(local(failing.port())).registerThread("A"); }, 500,
                 "HTTP status 500 Internal Server Error");

    // A code without a status text is no 200 either; the message keeps the code as sent.
    ScriptedServer odd(ScriptedServer::answer("HTTP/1.1 299 Fine\r\n\r\n" + line));
    ServerIO c(local(odd.port()));
    expectStatus([&] { c.getRange({}, collectInto(records), "A", 0); }, 299, "HTTP status 299");
    EXPECT_TRUE(records.empty());
}

TEST(ServerIO, CallbackExceptionEndsTheOperation) {
    ScriptedServer server(
        fakeNode({{"/server.cgi/get/thread_41/0-", "1<>" + Id1 + "\n2<>" + Id2 + "\n"}}));
    ServerIO io(local(server.port()));
    int calls = 0;
    EXPECT_THROW(io.getRange(
                     {},
                     [&](ThreadDataEvent&) {
                         ++calls;
                         throw std::runtime_error("cannot store");
                     },
                     "A", 0),
                 std::runtime_error);
    EXPECT_EQ(calls, 1);
    // The I/O object can serve the next operation: it reaches the node, which knows no such
    // path.
    try {
        io.have("A");
        ADD_FAILURE() << "expected the node's 404";
    } catch (const HTTPStatusException& e) {
        EXPECT_EQ(e.status(), 404);
    }
}

TEST(ServerIO, NodeThatStopsSendingTimesOut) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.send(OK + "1<>" + Id1 + "\n2<>");
        c.holdUntilClientCloses();
    });
    ServerIO io(local(server.port()), 1);
    EXPECT_EQ(io.timeout(), 1);
    std::vector<Record> records;
    EXPECT_THROW(io.getRange({}, collectInto(records), "A", 0), HTTPConnectionTimeoutException);
    EXPECT_EQ(records.size(), 1u);
}

TEST(ServerIO, DefaultTimeoutIsTenMinutes) {
    ServerIO io(local(1));
    EXPECT_EQ(io.timeout(), 600);
    // A whole request too, while a thread list gets two minutes.
    EXPECT_EQ(io.deadline(), 600);
    EXPECT_EQ(GatewayIO(local(1)).deadline(), 120);
}

TEST(ServerIO, NodeThatIsNotThereCannotBeReached) {
    test::ClosedPort closed;
    ServerIO io(local(closed.port()));
    try {
        io.have("A");
        ADD_FAILURE() << "no error";
    } catch (const HTTPConnectionException& e) {
        EXPECT_STREQ(e.what(), "Unable to connect socket");
    }
}

TEST(ThreadIO, RegisterSendsTheEncodedTitleAndDropsTheAnswer) {
    ScriptedServer server(
        ScriptedServer::answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                               "<html>not parsed</html>"));
    ThreadIO io(local(server.port()));
    io.registerThread("a b?c");
    EXPECT_EQ(server.lastRequest(),
              "GET /thread.cgi/a%20b%3Fc HTTP/1.0\r\n" + hostLine(server.port()) + "\r\n");
}

TEST(ThreadIO, RegisterReportsTransportErrors) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.holdUntilClientCloses();
    });
    ThreadIO io(local(server.port()), 1);
    EXPECT_THROW(io.registerThread("A"), HTTPConnectionTimeoutException);
}

} // namespace
} // namespace bryndle
