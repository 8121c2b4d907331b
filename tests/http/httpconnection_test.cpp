#include "foundation/conv.h"
#include "http/httpconnection.h"
#include "http/singlegetrequest.h"
#include "support/scriptedserver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <functional>

namespace bryndle {
namespace {

using test::ScriptedConnection;
using test::ScriptedServer;
using Lines = std::vector<std::string>;

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Records every call; hooks may set stopped or throw.
struct RecordingListener : HTTPResponseListener {
    int headers = 0;
    int finishes = 0;
    std::shared_ptr<const HTTPHeader> header;
    Lines chunks;
    Lines lines;
    std::function<void(HTTPResponseEvent&)> headerHook, dataHook, lineHook;

    void onHeader(HTTPResponseEvent& event) override {
        ++headers;
        header = event.header();
        EXPECT_EQ(event.data(), "");
        if (headerHook)
            headerHook(event);
    }
    void onData(HTTPResponseEvent& event) override {
        EXPECT_EQ(finishes, 0);
        EXPECT_EQ(event.header(), header);
        chunks.push_back(event.dataCopy());
        if (dataHook)
            dataHook(event);
    }
    void onLine(HTTPResponseEvent& event) override {
        EXPECT_EQ(event.header(), header);
        lines.push_back(event.textCopy());
        if (lineHook)
            lineHook(event);
    }
    void onFinish() override { ++finishes; }
};

// connect, request, always close; as the node I/O does it.
void exchange(uint16_t port, HTTPResponseListener* listener, int32_t timeout = 10,
              std::function<void(HTTPConnection&)> configure = {}) {
    HTTPConnection connection;
    if (configure)
        configure(connection);
    connection.setListener(listener);
    SingleGetRequest request("/x");
    try {
        connection.connect(loopback(port), timeout);
        connection.request(request);
    } catch (...) {
        connection.close();
        throw;
    }
    connection.close();
    EXPECT_FALSE(connection.isOpen());
}

// The text of the protocol error that the exchange ends with ("(no error)" when it succeeds).
std::string protocolError(uint16_t port, HTTPResponseListener* listener) {
    try {
        exchange(port, listener);
    } catch (const HTTPProtocolException& e) {
        return e.what();
    }
    return "(no error)";
}

Lines linesOf(const std::string& response, int32_t bufferSize = 8192, Lines* chunks = nullptr) {
    ScriptedServer server(ScriptedServer::answer(response));
    RecordingListener listener;
    listener.setLineMode(true);
    listener.setBufferSize(bufferSize);
    exchange(server.port(), &listener);
    EXPECT_EQ(listener.finishes, 1);
    if (chunks)
        *chunks = listener.chunks;
    return listener.lines;
}

const std::string OK = "HTTP/1.0 200 OK\r\n\r\n";

TEST(HTTPConnection, SendsRequestLineAndEmptyLineOnly) {
    ScriptedServer server(ScriptedServer::answer(OK));
    RecordingListener listener;
    exchange(server.port(), &listener);
    EXPECT_EQ(server.lastRequest(), "GET /x HTTP/1.0\r\n\r\n");
}

TEST(HTTPConnection, ReadsStatusHeaderAndBody) {
    ScriptedServer server(
        ScriptedServer::answer("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nX-A:b:c\r\n"
                               "  Spaced  :  value  \r\n\r\nbody"));
    RecordingListener listener;
    exchange(server.port(), &listener);
    ASSERT_NE(listener.header, nullptr);
    EXPECT_EQ(listener.header->status(), 404);
    EXPECT_FLOAT_EQ(listener.header->version(), 1.1f);
    EXPECT_EQ(listener.header->fieldValue("content-type"), "text/plain");
    ASSERT_NE(listener.header->field("x-a"), nullptr);
    EXPECT_EQ(listener.header->field("x-a")->name(), "X-A");
    EXPECT_EQ(listener.header->fieldValue("X-A"), "b:c");
    EXPECT_EQ(listener.header->field("SPACED")->name(), "Spaced");
    EXPECT_EQ(listener.header->fieldValue("Spaced"), "value");
    EXPECT_EQ(listener.headers, 1);
    EXPECT_EQ(listener.chunks, Lines{"body"});
    EXPECT_TRUE(listener.lines.empty()); // line mode is off
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, NodeThatClosesWithoutAnsweringIsProtocolError1) {
    ScriptedServer server([](ScriptedConnection& c) { c.readRequest(); });
    RecordingListener listener;
    EXPECT_EQ(protocolError(server.port(), &listener), "http protocol error1");
    EXPECT_EQ(listener.headers, 0);
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, StatusLineWithoutReasonPhraseIsProtocolError1) {
    ScriptedServer server(ScriptedServer::answer("HTTP/1.0 200\r\n\r\nYES\n"));
    RecordingListener listener;
    EXPECT_EQ(protocolError(server.port(), &listener), "http protocol error1");
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, HeaderLineWithoutColonIsProtocolError2) {
    ScriptedServer server(ScriptedServer::answer("HTTP/1.0 200 OK\r\nbroken\r\n\r\n"));
    RecordingListener listener;
    EXPECT_EQ(protocolError(server.port(), &listener), "http protocol error 2");
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, StatusCodeThatIsNotANumberIsAConversionError) {
    ScriptedServer server(ScriptedServer::answer("HTTP/1.0 2OO OK\r\n\r\n"));
    RecordingListener listener;
    EXPECT_THROW(exchange(server.port(), &listener), ConvError);
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, Status299BecomesZeroAndTheBodyIsStillDelivered) {
    ScriptedServer server(ScriptedServer::answer("HTTP/1.0 299 Odd\r\n\r\nline\n"));
    RecordingListener listener;
    listener.setLineMode(true);
    exchange(server.port(), &listener);
    ASSERT_NE(listener.header, nullptr);
    EXPECT_EQ(listener.header->status(), 0);
    EXPECT_EQ(listener.lines, Lines{"line"});
}

TEST(HTTPConnection, ErrorStatusBodyGoesToTheListenerToo) {
    EXPECT_EQ(linesOf("HTTP/1.0 500 Internal Server Error\r\n\r\noops\n"), Lines{"oops"});
}

TEST(HTTPConnection, RequiringOkRefusesEveryOtherStatusBeforeItsBody) {
    auto refused = [](const std::string& response, HTTPResponseListener* listener) {
        ScriptedServer server(ScriptedServer::answer(response));
        try {
            exchange(server.port(), listener, 10,
                     [](HTTPConnection& connection) { connection.setRequireOk(true); });
        } catch (const HTTPStatusException& e) {
            return std::to_string(e.status()) + " " + e.what();
        }
        return std::string("(no error)");
    };
    RecordingListener listener;
    listener.setLineMode(true);
    EXPECT_EQ(refused("HTTP/1.0 503 Service Unavailable\r\n\r\n", &listener),
              "503 HTTP status 503 Service Unavailable");
    EXPECT_EQ(refused("HTTP/1.1 500 Whatever\r\nA: b\r\n\r\nrecord\n", &listener),
              "500 HTTP status 500 Internal Server Error");
    EXPECT_EQ(refused("HTTP/1.0 299 Odd\r\n\r\nline\n", &listener), "299 HTTP status 299");
    EXPECT_EQ(listener.headers, 0);
    EXPECT_TRUE(listener.chunks.empty());
    EXPECT_EQ(listener.finishes, 3);
    // Without a listener the answer is judged by its status too.
    EXPECT_EQ(refused("HTTP/1.0 404 Not Found\r\n\r\n", nullptr), "404 HTTP status 404 Not Found");
    RecordingListener ok;
    ok.setLineMode(true);
    EXPECT_EQ(refused(OK + "body\n", &ok), "(no error)");
    EXPECT_EQ(ok.lines, Lines{"body"});
}

TEST(HTTPConnection, HeaderFollowedByTheEndGivesHeaderAndFinishOnly) {
    ScriptedServer server(ScriptedServer::answer("HTTP/1.0 200 OK\r\nA: 1\r\n\r\n"));
    RecordingListener listener;
    listener.setLineMode(true);
    exchange(server.port(), &listener);
    EXPECT_EQ(listener.headers, 1);
    EXPECT_TRUE(listener.chunks.empty());
    EXPECT_TRUE(listener.lines.empty());
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, ConnectionEndingInsideTheHeaderEndsTheHeader) {
    ScriptedServer server(ScriptedServer::answer("HTTP/1.0 200 OK\r\nA: 1"));
    RecordingListener listener;
    exchange(server.port(), &listener);
    EXPECT_EQ(listener.header->fieldValue("a"), "1");
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, LinesOfABodyInOneChunk) {
    EXPECT_EQ(linesOf(OK + "a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(linesOf(OK + "a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(linesOf(OK + "a\n\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(linesOf(OK + "a\r\rb\n"), (Lines{"a", "", "b"}));
}

TEST(HTTPConnection, ChunkBoundaryInsideCRLFEndsOneLine) {
    Lines chunks;
    // A two-byte buffer cuts the body into "a\r", "\nb", "\r\n".
    EXPECT_EQ(linesOf(OK + "a\r\nb\r\n", 2, &chunks), (Lines{"a", "b"}));
    EXPECT_EQ(chunks, (Lines{"a\r", "\nb", "\r\n"}));
    EXPECT_EQ(linesOf(OK + "YES\r\n", 4, &chunks), (Lines{"YES"}));
    EXPECT_EQ(chunks, (Lines{"YES\r", "\n"}));
}

TEST(HTTPConnection, ChunkBoundaryAfterALoneCR) {
    Lines chunks;
    EXPECT_EQ(linesOf(OK + "a\rb\n", 2, &chunks), (Lines{"a", "b"}));
    EXPECT_EQ(chunks, (Lines{"a\r", "b\n"}));
    EXPECT_EQ(linesOf(OK + "a\r\rb", 2, &chunks), (Lines{"a", "", "b"}));
    EXPECT_EQ(chunks, (Lines{"a\r", "\rb"}));
}

TEST(HTTPConnection, ChunkThatFillsTheBufferAndEndsWithALineEnd) {
    Lines chunks;
    EXPECT_EQ(linesOf(OK + "ab\ncd\r", 3, &chunks), (Lines{"ab", "cd"}));
    EXPECT_EQ(chunks, (Lines{"ab\n", "cd\r"}));
}

TEST(HTTPConnection, BufferSizeZeroCountsAsOne) {
    Lines chunks;
    EXPECT_EQ(linesOf(OK + "ab\r\n", 0, &chunks), (Lines{"ab"}));
    EXPECT_EQ(chunks, (Lines{"a", "b", "\r", "\n"}));
}

TEST(HTTPConnection, LinesSentWithPausesArriveWhole) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.send(OK + "12<>ab");
        c.pause(30);
        c.send("cd\r");
        c.pause(30);
        c.send("\n34<>ef\r\n");
    });
    RecordingListener listener;
    listener.setLineMode(true);
    exchange(server.port(), &listener);
    EXPECT_EQ(listener.lines, (Lines{"12<>abcd", "34<>ef"}));
}

TEST(HTTPConnection, NodeThatStopsSendingTimesOut) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.send(OK + "partial");
        c.holdUntilClientCloses();
    });
    RecordingListener listener;
    listener.setLineMode(true);
    try {
        exchange(server.port(), &listener, 1);
        ADD_FAILURE() << "no error";
    } catch (const HTTPConnectionTimeoutException& e) {
        EXPECT_STREQ(e.what(), "connection timeout");
        EXPECT_EQ(e.errorCode(), 0);
    }
    EXPECT_EQ(listener.chunks, Lines{"partial"});
    EXPECT_TRUE(listener.lines.empty()); // the partial line is not delivered
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, TheDeadlineEndsAnExchangeWhoseEveryWaitIsShort) {
    // A byte every 300 ms: no single wait reaches the 5 s time-out.
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        const std::string answer = OK + std::string(20, 'a') + "\n";
        for (char byte : answer) {
            if (::send(c.fd(), &byte, 1, MSG_NOSIGNAL) != 1)
                return;
            c.pause(300);
        }
    });
    RecordingListener listener;
    listener.setLineMode(true);
    try {
        exchange(server.port(), &listener, 5,
                 [](HTTPConnection& connection) { connection.setDeadline(1); });
        ADD_FAILURE() << "no error";
    } catch (const HTTPConnectionTimeoutException& e) {
        EXPECT_STREQ(e.what(), "request timeout (1 s)");
    }
    EXPECT_TRUE(listener.lines.empty());
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, NodeThatNeverAnswersTimesOut) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.holdUntilClientCloses();
    });
    RecordingListener listener;
    EXPECT_THROW(exchange(server.port(), &listener, 1), HTTPConnectionTimeoutException);
    EXPECT_EQ(listener.headers, 0);
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, RefusedConnectionCannotConnect) {
    test::ClosedPort closed;
    RecordingListener listener;
    try {
        exchange(closed.port(), &listener);
        ADD_FAILURE() << "no error";
    } catch (const HTTPConnectionTimeoutException&) {
        ADD_FAILURE() << "timeout instead of refusal";
    } catch (const HTTPConnectionException& e) {
        EXPECT_STREQ(e.what(), "Unable to connect socket");
        EXPECT_EQ(e.errorCode(), ECONNREFUSED);
    }
    EXPECT_EQ(listener.finishes, 0);
}

TEST(HTTPConnection, ConnectionAttemptThatIsNotAnsweredTimesOut) {
    // A listening socket whose accept queue is full drops further connection attempts.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::vector<std::unique_ptr<HTTPConnection>> fillers;
    bool timedOut = false;
    for (int i = 0; i < 4 && !timedOut; ++i) {
        auto connection = std::make_unique<HTTPConnection>();
        try {
            connection->connect(address, 1);
            fillers.push_back(std::move(connection));
        } catch (const HTTPConnectionTimeoutException& e) {
            EXPECT_STREQ(e.what(), "connection timeout");
            timedOut = true;
        }
    }
    ::close(fd);
    EXPECT_TRUE(timedOut);
}

TEST(HTTPConnection, ResetInsideTheBodyIsAReceiveError) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.send(OK + "a\nb");
        c.pause(100);
        c.reset();
    });
    RecordingListener listener;
    listener.setLineMode(true);
    try {
        exchange(server.port(), &listener);
        ADD_FAILURE() << "no error";
    } catch (const HTTPConnectionTimeoutException&) {
        ADD_FAILURE() << "timeout instead of receive error";
    } catch (const HTTPConnectionException& e) {
        EXPECT_STREQ(e.what(), "receive error");
        EXPECT_EQ(e.errorCode(), ECONNRESET);
    }
    EXPECT_EQ(listener.lines, Lines{"a"}); // the cut line "b" is not delivered
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, OverLongHeaderLineFails) {
    const std::string exact(HTTPConnection::DefaultMaxHeaderLineLength - 3, 'v');
    ScriptedServer fits(ScriptedServer::answer("HTTP/1.0 200 OK\r\nX: " + exact + "\r\n\r\n"));
    RecordingListener listener;
    exchange(fits.port(), &listener);
    EXPECT_EQ(listener.header->fieldValue("x"), exact);

    ScriptedServer tooLong(ScriptedServer::answer("HTTP/1.0 200 OK\r\nX: " + exact + "v\r\n\r\n"));
    RecordingListener second;
    EXPECT_NE(protocolError(tooLong.port(), &second).find("header line too long"),
              std::string::npos);
    EXPECT_EQ(second.finishes, 1);
}

TEST(HTTPConnection, EndlessHeaderFails) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.send("HTTP/1.0 200 OK\r\n");
        for (int i = 0; i < 20000; ++i)
            c.send("X-" + std::to_string(i) + ": 1\r\n");
    });
    RecordingListener listener;
    EXPECT_NE(protocolError(server.port(), &listener).find("header too long"), std::string::npos);
}

TEST(HTTPConnection, OverLongBodyLineFails) {
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequest();
        c.send(OK + "short\r\n");
        std::string block(1 << 20, 'x');
        for (int i = 0; i < 17; ++i)
            c.send(block);
        c.send("\r\n");
    });
    RecordingListener listener;
    listener.setLineMode(true);
    listener.dataHook = [&](HTTPResponseEvent&) { listener.chunks.clear(); };
    EXPECT_NE(protocolError(server.port(), &listener).find("body line too long"),
              std::string::npos);
    EXPECT_EQ(listener.lines, Lines{"short"});
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, BodyLineBoundIsSettable) {
    ScriptedServer server(ScriptedServer::answer(OK + "1234\n12345\n"));
    RecordingListener listener;
    listener.setLineMode(true);
    EXPECT_THROW(exchange(server.port(), &listener, 10,
                          [](HTTPConnection& c) { c.setMaxBodyLineLength(4); }),
                 HTTPProtocolException);
    EXPECT_EQ(listener.lines, Lines{"1234"});
}

TEST(HTTPConnection, WithoutListenerAnyAnswerIsReadAndDropped) {
    std::string answer = "not http at all\n" + std::string(300000, 'z');
    ScriptedServer server(ScriptedServer::answer(answer));
    EXPECT_NO_THROW(exchange(server.port(), nullptr));
    EXPECT_EQ(server.lastRequest(), "GET /x HTTP/1.0\r\n\r\n");
    ScriptedServer silent([](ScriptedConnection& c) { c.readRequest(); });
    EXPECT_NO_THROW(exchange(silent.port(), nullptr));
}

TEST(HTTPConnection, StopAfterHeaderSkipsTheBody) {
    ScriptedServer server(ScriptedServer::answer(OK + "a\nb\n"));
    RecordingListener listener;
    listener.setLineMode(true);
    listener.headerHook = [](HTTPResponseEvent& e) { e.setStopped(true); };
    exchange(server.port(), &listener);
    EXPECT_TRUE(listener.chunks.empty());
    EXPECT_TRUE(listener.lines.empty());
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, StopAfterDataDeliversOnlyThePendingLine) {
    ScriptedServer server(ScriptedServer::answer(OK + "ab\ncd"));
    RecordingListener listener;
    listener.setLineMode(true);
    listener.setBufferSize(4);
    // Chunks "ab\nc" then "d": stop at the second; "c" is pending, "d" is not split.
    listener.dataHook = [&](HTTPResponseEvent& e) { e.setStopped(listener.chunks.size() == 2); };
    exchange(server.port(), &listener);
    EXPECT_EQ(listener.chunks, (Lines{"ab\nc", "d"}));
    EXPECT_EQ(listener.lines, (Lines{"ab", "c"}));
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, StopInALineEndsTheResponseAtOnce) {
    ScriptedServer server(ScriptedServer::answer(OK + "a\nb\nc\nd"));
    RecordingListener listener;
    listener.setLineMode(true);
    listener.lineHook = [](HTTPResponseEvent& e) { e.setStopped(e.data() == "b"); };
    exchange(server.port(), &listener);
    EXPECT_EQ(listener.lines, (Lines{"a", "b"}));
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, ListenerExceptionReachesTheCallerAfterFinish) {
    ScriptedServer server(ScriptedServer::answer(OK + "a\nbad\nc\n"));
    RecordingListener listener;
    listener.setLineMode(true);
    listener.lineHook = [](HTTPResponseEvent& e) {
        if (e.data() == "bad")
            throw std::runtime_error("listener failed");
    };
    EXPECT_THROW(exchange(server.port(), &listener), std::runtime_error);
    EXPECT_EQ(listener.lines, (Lines{"a", "bad"}));
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, CanBeUsedAgainAfterClose) {
    ScriptedServer server(ScriptedServer::answer(OK + "again\n"));
    HTTPConnection connection;
    for (int i = 0; i < 2; ++i) {
        RecordingListener listener;
        listener.setLineMode(true);
        connection.setListener(&listener);
        connection.connect(loopback(server.port()), 10);
        connection.request(SingleGetRequest("/x"));
        connection.close();
        connection.close();
        connection.removeListener();
        EXPECT_EQ(listener.lines, Lines{"again"});
    }
    EXPECT_EQ(server.connections(), 2);
}

TEST(HTTPConnection, ARequestThatCannotBeSentStillFinishesTheListener) {
    // A listening socket that never accepts: the kernel takes the connection and a little data,
    // then the send waits for room that never comes.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    int small = 4096;
    ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);

    RecordingListener listener;
    HTTPConnection connection;
    connection.setListener(&listener);
    SingleGetRequest request("/x");
    request.setBody(std::string(32 * 1024 * 1024, 'x'));
    connection.connect(address, 1);
    EXPECT_THROW(connection.request(request), HTTPConnectionTimeoutException);
    connection.close();
    ::close(fd);
    EXPECT_EQ(listener.headers, 0);
    EXPECT_EQ(listener.finishes, 1);
}

TEST(HTTPConnection, RequestWithoutConnectionFails) {
    HTTPConnection connection;
    EXPECT_THROW(connection.request(SingleGetRequest("/x")), HTTPConnectionException);
}

} // namespace
} // namespace bryndle
