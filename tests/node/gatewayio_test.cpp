#include "foundation/conv.h"
#include "http/httpconnectionexception.h"
#include "node/gatewayio.h"
#include "support/fakenode.h"

#include <gtest/gtest.h>

namespace bryndle {
namespace {

using test::fakeNode;
using test::ScriptedServer;

const std::string Columns = "/file,stamp,path,uri,type,title,records,size";

struct Thread {
    std::string file;
    uint32_t stamp;
    std::string path, uri, type, title;
    uint32_t records, size;
    bool operator==(const Thread&) const = default;
};

ThreadCallback collectInto(std::vector<Thread>& threads) {
    return [&threads](ThreadResponseEvent& e) {
        threads.push_back(
            {e.file(), e.stamp(), e.path(), e.uri(), e.type(), e.title(), e.records(), e.size()});
    };
}

TEST(GatewayIO, ChangesRequestsTheListAndParsesEveryLine) {
    ScriptedServer server(
        fakeNode({{"/gateway.cgi/csv/changes" + Columns,
                   "thread_41,42,p,u,thread,A,3,1024\r\n"
                   "thread_6162,1700000000,/thread.cgi/ab,http://h/thread.cgi/ab,thread,"
                   "\"comma, in title\",10,2048\r\n"
                   "thread_71,5,p,u,thread,\"quote \"\"in\"\" title\",1,1\r\n"}}));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    std::vector<Thread> threads;
    io.changes({}, collectInto(threads));
    ASSERT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads[0], (Thread{"thread_41", 42, "p", "u", "thread", "A", 3, 1024}));
    EXPECT_EQ(threads[1].title, "comma, in title");
    EXPECT_EQ(threads[1].uri, "http://h/thread.cgi/ab");
    EXPECT_EQ(threads[1].size, 2048u);
    EXPECT_EQ(threads[2].title, "quote \"in\" title");
    EXPECT_EQ(server.lastRequest(),
              "GET /gateway.cgi/csv/changes" + Columns +
                  " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n\r\n");
}

TEST(GatewayIO, RecentAsksForTheRecentList) {
    ScriptedServer server(
        fakeNode({{"/gateway.cgi/csv/recent" + Columns, "thread_41,42,p,u,thread,A,3,1024\n"}}));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    std::vector<Thread> threads;
    io.recent({}, collectInto(threads));
    EXPECT_EQ(threads.size(), 1u);
}

TEST(GatewayIO, MalformedLinesAreSkipped) {
    ScriptedServer server(
        fakeNode({{"/gateway.cgi/csv/changes" + Columns, "thread_41,42,p,u,thread,a,b,3,1024\n"
                                                         "\n"
                                                         "f,1,p,u,t,A,,3\n"
                                                         "f,1,p,u,t,\xff,1,3\n"
                                                         "f,1,p,u,t,\"open,1,3\n"
                                                         "thread_42,7,p,u,thread,B,1,2\n"}}));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    std::vector<Thread> threads;
    io.changes({}, collectInto(threads));
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads[0].title, "B");
}

TEST(GatewayIO, ListOfOnlyBadLinesGivesNothingAndNoError) {
    ScriptedServer server(fakeNode({{"/gateway.cgi/csv/changes" + Columns,
                                     "<html>\r\n<body>not a list</body>\r\n</html>\r\n"}}));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    std::vector<Thread> threads;
    EXPECT_NO_THROW(io.changes({}, collectInto(threads)));
    EXPECT_TRUE(threads.empty());
}

TEST(GatewayIO, CallbackCanStopTheListing) {
    ScriptedServer server(fakeNode({{"/gateway.cgi/csv/recent" + Columns,
                                     "f,1,p,u,t,A,1,1\nf,2,p,u,t,B,1,1\nf,3,p,u,t,C,1,1\n"}}));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    std::vector<std::string> titles;
    io.recent({}, [&](ThreadResponseEvent& e) {
        titles.push_back(e.title());
        e.setStop(e.title() == "B");
    });
    EXPECT_EQ(titles, (std::vector<std::string>{"A", "B"}));
}

TEST(GatewayIO, EventCarriesTheTagAndIsClearedAfterTheCallback) {
    ScriptedServer server(
        fakeNode({{"/gateway.cgi/csv/changes" + Columns, "f,1,p,u,t,A,1,1\nf,2,p,u,t,B,1,1\n"}}));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    const ThreadResponseEvent* kept = nullptr;
    std::vector<std::string> seen;
    io.changes(42, [&](ThreadResponseEvent& e) {
        EXPECT_EQ(std::any_cast<int>(e.tag()), 42);
        if (kept)
            seen.push_back(kept->title());
        kept = &e;
    });
    // The event kept from the first call shows the second line's title: it is reused.
    EXPECT_EQ(seen, std::vector<std::string>{"B"});
}

TEST(GatewayIO, CallbackExceptionEndsTheListing) {
    ScriptedServer server(
        fakeNode({{"/gateway.cgi/csv/changes" + Columns, "f,1,p,u,t,A,1,1\nf,2,p,u,t,B,1,1\n"}}));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    int calls = 0;
    EXPECT_THROW(io.changes({},
                            [&](ThreadResponseEvent&) {
                                ++calls;
                                throw std::runtime_error("full");
                            }),
                 std::runtime_error);
    EXPECT_EQ(calls, 1);
}

TEST(GatewayIO, ProtocolErrorsReachTheCaller) {
    ScriptedServer server(ScriptedServer::answer("garbage\r\n\r\n"));
    GatewayIO io(NodeAddress("127.0.0.1", server.port()));
    EXPECT_THROW(io.changes({}, [](ThreadResponseEvent&) {}), HTTPProtocolException);
}

} // namespace
} // namespace bryndle
