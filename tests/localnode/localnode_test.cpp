// The built bryndle-node program, driven through the client's own node I/O classes and, for its
// web pages and forms, through HTTP as a browser sends it.

#include "localnode/nodeprocess.h"
#include "nodesamples.h"
#include "nodetext.h"

#include "foundation/digest.h"
#include "node/encodetitle.h"
#include "node/gatewayio.h"
#include "node/serverio.h"
#include "node/threadfile.h"
#include "node/threadio.h"
#include "support/tempdir.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bryndle {
namespace {

using test::NodeProcess;
using test::TempDir;

struct Record {
    uint32_t stamp = 0;
    std::string id;
    std::map<std::string, std::string> fields;
};

struct Thread {
    std::string file;
    uint32_t stamp = 0;
    std::string path;
    std::string uri;
    std::string type;
    std::string title;
    uint32_t records = 0;
    uint32_t size = 0;
};

// A connected socket to the node on 127.0.0.1, closed with the object.
class Connection {
public:
    explicit Connection(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("connect");
        }
    }
    ~Connection() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Connection(Connection&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Sends what the node takes; a node that has stopped reading ends the sending quietly.
    void send(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return;
            }
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
    }
    // Up to count bytes, as soon as any have arrived.
    std::string read(size_t count, int guardSeconds = 30) {
        timeval guard{guardSeconds, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
        std::string bytes(count, '\0');
        ssize_t n = ::recv(fd_, bytes.data(), count, 0);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return bytes;
    }
    // Reads until the node closes, after ending the sending side when asked. The guard only
    // keeps a node that never answers from hanging the test.
    std::string answer(int guardSeconds = 30, bool endSending = false) {
        if (endSending) {
            ::shutdown(fd_, SHUT_WR);
        }
        timeval guard{guardSeconds, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
        std::string response;
        char buffer[4096];
        for (;;) {
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n == 0) {
                return response;
            }
            if (n < 0) {
                throw std::runtime_error("the node did not close the connection");
            }
            response.append(buffer, static_cast<size_t>(n));
        }
    }

private:
    int fd_;
};

// One HTTP exchange on a raw socket: sends the bytes and reads until the node closes.
std::string rawExchange(int port, const std::string& request, int guardSeconds = 30,
                        bool endSending = false) {
    Connection connection(port);
    connection.send(request);
    return connection.answer(guardSeconds, endSending);
}

struct RawResponse {
    std::string head;
    std::string body;
};

RawResponse splitResponse(const std::string& response) {
    size_t end = response.find("\r\n\r\n");
    if (end == std::string::npos) {
        return {response, ""};
    }
    return {response.substr(0, end + 2), response.substr(end + 4)};
}

struct FormField {
    std::string name;
    std::string value;
    // A file name makes the field a file upload.
    std::string fileName;
};

struct PostAnswer {
    int status = 0;
    std::string head;
    std::string location;
    std::string contentType;
    std::string body;
};

std::string headerValue(const std::string& head, const std::string& name) {
    std::string key = "\r\n" + name + ": ";
    size_t at = head.find(key);
    if (at == std::string::npos) {
        return {};
    }
    size_t begin = at + key.size();
    return head.substr(begin, head.find("\r\n", begin) - begin);
}

// A multipart/form-data POST to /thread.cgi on a raw socket, so that the answer's Location
// field is seen exactly as sent.
PostAnswer postForm(int port, const std::vector<FormField>& fields,
                    const std::string& path = "/thread.cgi") {
    const std::string boundary = "----BryndleFormBoundary7MA4YWxkTrZu0gW";
    std::string body;
    for (const FormField& field : fields) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + field.name + "\"";
        if (!field.fileName.empty()) {
            body +=
                "; filename=\"" + field.fileName + "\"\r\nContent-Type: application/octet-stream";
        }
        body += "\r\n\r\n" + field.value + "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    std::string request = "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nContent-Type: multipart/form-data; boundary=" + boundary +
                          "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    RawResponse raw = splitResponse(rawExchange(port, request));
    PostAnswer answer;
    if (raw.head.size() > 12) {
        answer.status = std::stoi(raw.head.substr(9, 3));
    }
    answer.head = raw.head;
    answer.location = headerValue(raw.head, "Location");
    answer.contentType = headerValue(raw.head, "Content-Type");
    answer.body = raw.body;
    return answer;
}

class LocalNodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        node_ = std::make_unique<NodeProcess>(dir_.path(), false);
        node_->start();
    }
    void TearDown() override {
        if (node_) {
            EXPECT_EQ(node_->stop(), 0);
        }
    }

    int port() const { return node_->port(); }
    NodeAddress address() const { return NodeAddress("127.0.0.1", static_cast<uint16_t>(port())); }

    void registerThread(const std::string& title) {
        ThreadIO io(address());
        io.registerThread(title);
    }
    bool have(const std::string& title) {
        ServerIO io(address());
        return io.have(title);
    }
    std::vector<Record> getRange(const std::string& title, uint32_t from) {
        ServerIO io(address());
        std::vector<Record> records;
        io.getRange(
            {}, [&](ThreadDataEvent& e) { records.push_back(copy(e)); }, title, from);
        return records;
    }
    std::vector<Record> head(const std::string& title, uint32_t from) {
        ServerIO io(address());
        std::vector<Record> records;
        io.head(
            {}, [&](ThreadDataEvent& e) { records.push_back(copy(e)); }, title, from);
        return records;
    }
    std::vector<Record> getRecord(const std::string& title, uint32_t stamp, const std::string& id) {
        ServerIO io(address());
        std::vector<Record> records;
        io.getRecord(
            {}, [&](ThreadDataEvent& e) { records.push_back(copy(e)); }, title, stamp, id);
        return records;
    }
    std::vector<Thread> list(bool recent) {
        GatewayIO io(address());
        std::vector<Thread> threads;
        auto callback = [&](ThreadResponseEvent& e) {
            threads.push_back({e.file(), e.stamp(), e.path(), e.uri(), e.type(), e.title(),
                               e.records(), e.size()});
        };
        if (recent) {
            io.recent({}, callback);
        } else {
            io.changes({}, callback);
        }
        return threads;
    }
    static std::optional<Thread> find(const std::vector<Thread>& threads,
                                      const std::string& title) {
        for (const Thread& thread : threads) {
            if (thread.title == title) {
                return thread;
            }
        }
        return std::nullopt;
    }

    // Posts through the thread page's form, as a browser sends it (multipart, HTTP/1.1).
    PostAnswer post(const std::string& title, const std::string& body, const std::string& name = "",
                    const std::string& mail = "", const std::string& attach = "",
                    const std::string& attachName = "") {
        return postForm(port(), {{"cmd", "post", ""},
                                 {"file", threadFileName(title), ""},
                                 {"dopost", "dopost", ""},
                                 {"name", name, ""},
                                 {"mail", mail, ""},
                                 {"body", body, ""},
                                 {"attach", attach, attachName}});
    }
    httplib::Result get(const std::string& path) {
        httplib::Client client("127.0.0.1", port());
        return client.Get(path);
    }

    static Record copy(const ThreadDataEvent& event) {
        return {event.stamp(), event.id(), event.attributes()};
    }

    TempDir dir_;
    std::unique_ptr<NodeProcess> node_;
};

TEST_F(LocalNodeTest, RegisterPostHaveHeadAndGet) {
    const std::string title = "テスト スレッド";
    registerThread(title);
    // A thread without records is not "had".
    EXPECT_FALSE(have(title));
    auto threads = list(false);
    auto registered = find(threads, title);
    ASSERT_TRUE(registered);
    EXPECT_EQ(registered->records, 0u);
    EXPECT_EQ(registered->file, threadFileName(title));
    EXPECT_EQ(registered->type, "thread");
    EXPECT_EQ(registered->path, "/thread.cgi/" + encodeTitle(title));

    auto answer = post(title, "こんにちは\r\n<b>太字</b> & &hearts;", "名前", "sage");
    EXPECT_EQ(answer.status, 302);
    std::string location = answer.location;
    std::string prefix = "/thread.cgi/" + encodeTitle(title) + "#r";
    ASSERT_EQ(location.substr(0, prefix.size()), prefix);
    std::string shortId = location.substr(prefix.size());
    EXPECT_EQ(shortId.size(), 8u);

    EXPECT_TRUE(have(title));
    auto heads = head(title, 0);
    ASSERT_EQ(heads.size(), 1u);
    EXPECT_TRUE(heads[0].fields.empty());
    EXPECT_EQ(heads[0].id.substr(0, 8), shortId);

    auto records = getRange(title, 0);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].id, heads[0].id);
    EXPECT_EQ(records[0].stamp, heads[0].stamp);
    EXPECT_EQ(records[0].fields["body"], "こんにちは<br>&lt;b&gt;太字&lt;/b&gt; &amp; &hearts;");
    EXPECT_EQ(records[0].fields["name"], "名前");
    EXPECT_EQ(records[0].fields["mail"], "sage");
    EXPECT_EQ(records[0].fields.count("attach"), 0u);

    auto single = getRecord(title, records[0].stamp, records[0].id);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].fields, records[0].fields);
    EXPECT_TRUE(getRecord(title, records[0].stamp + 1, records[0].id).empty());
    EXPECT_TRUE(getRange(title, records[0].stamp + 1).empty());

    ASSERT_EQ(post(title, "二つ目").status, 302);
    auto both = head(title, 0);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_LE(both[0].stamp, both[1].stamp);
    auto updated = find(list(false), title);
    ASSERT_TRUE(updated);
    EXPECT_EQ(updated->records, 2u);
    EXPECT_EQ(updated->stamp, both[1].stamp);
    EXPECT_GT(updated->size, 0u);
}

TEST_F(LocalNodeTest, RecordIdIsTheMd5OfTheTextAfterTheSecondSeparator) {
    ASSERT_EQ(post("md5", "本文 <>: text").status, 302);
    auto raw = splitResponse(rawExchange(port(), "GET /server.cgi/get/" + threadFileName("md5") +
                                                     "/0- HTTP/1.0\r\n\r\n"));
    ASSERT_EQ(raw.body.back(), '\n');
    std::string line = raw.body.substr(0, raw.body.size() - 1);
    size_t first = line.find("<>");
    size_t second = line.find("<>", first + 2);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(line.substr(first + 2, 32), Digest::md5Hex(line.substr(second + 2)));
    EXPECT_EQ(line.substr(second + 2), "body:本文 &lt;&gt;: text");
}

TEST_F(LocalNodeTest, EmptyOrMalformedPostsAnswerAnErrorPage) {
    registerThread("空");
    auto empty = post("空", " \r\n\t");
    EXPECT_EQ(empty.status, 400);
    EXPECT_EQ(empty.location, "");
    EXPECT_NE(empty.contentType.find("text/html"), std::string::npos);
    EXPECT_NE(empty.body.find("<html"), std::string::npos);

    httplib::Client client("127.0.0.1", port());
    auto noCommand = client.Post(
        "/thread.cgi", httplib::MultipartFormDataItems{{"file", threadFileName("空"), "", ""},
                                                       {"body", "x", "", ""}});
    ASSERT_TRUE(noCommand);
    EXPECT_EQ(noCommand->status, 400);
    auto badFile =
        client.Post("/thread.cgi", httplib::MultipartFormDataItems{{"cmd", "post", "", ""},
                                                                   {"file", "thread_XYZ", "", ""},
                                                                   {"body", "x", "", ""}});
    ASSERT_TRUE(badFile);
    EXPECT_EQ(badFile->status, 400);
    EXPECT_EQ(post("空", std::string("\xff\xfe", 2)).status, 400);
    EXPECT_FALSE(have("空"));
    EXPECT_TRUE(getRange("空", 0).empty());
}

TEST_F(LocalNodeTest, PostWithAnAttachment) {
    std::string png(NodeSamples::png());
    EXPECT_EQ(post("画像", "", "", "", png, "moon.PNG").status, 302);
    auto records = getRange("画像", 0);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields["suffix"], "png");
    EXPECT_EQ(Digest::base64Decode(records[0].fields["attach"]), png);
    EXPECT_EQ(records[0].fields.count("body"), 0u);

    auto page = get("/thread.cgi/" + encodeTitle("画像"));
    ASSERT_TRUE(page);
    std::smatch match;
    std::regex image("<img src=\"(/attach\\.cgi/[^\"]+)\"");
    ASSERT_TRUE(std::regex_search(page->body, match, image));
    auto served = get(match[1].str());
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 200);
    EXPECT_EQ(served->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(served->body, png);
}

TEST_F(LocalNodeTest, ListsQuoteTitlesWithCommasAndQuotes) {
    const std::string comma = "a,b";
    const std::string quote = "say \"hi\", then";
    registerThread(comma);
    registerThread(quote);
    ASSERT_EQ(post(quote, "x").status, 302);

    for (bool recent : {false, true}) {
        auto threads = list(recent);
        auto withComma = find(threads, comma);
        auto withQuote = find(threads, quote);
        ASSERT_TRUE(withComma) << "recent=" << recent;
        ASSERT_TRUE(withQuote) << "recent=" << recent;
        EXPECT_EQ(withComma->file, threadFileName(comma));
        EXPECT_EQ(withComma->records, 0u);
        EXPECT_EQ(withQuote->file, threadFileName(quote));
        EXPECT_EQ(withQuote->records, 1u);
        // The latest update first.
        for (size_t i = 1; i < threads.size(); ++i) {
            EXPECT_GE(threads[i - 1].stamp, threads[i].stamp);
        }
    }

    auto raw = splitResponse(rawExchange(
        port(), "GET /gateway.cgi/csv/changes/file,stamp,path,uri,type,title,records,size "
                "HTTP/1.0\r\n\r\n"));
    EXPECT_NE(raw.body.find(",\"a,b\",0,0\r\n"), std::string::npos) << raw.body;
    EXPECT_NE(raw.body.find(",\"say \"\"hi\"\", then\",1,"), std::string::npos) << raw.body;
    // Every line ends with CR LF.
    size_t lines = 0;
    for (size_t pos = raw.body.find('\n'); pos != std::string::npos;
         pos = raw.body.find('\n', pos + 1)) {
        ++lines;
        EXPECT_EQ(raw.body[pos - 1], '\r');
    }
    EXPECT_EQ(lines, 2u);

    // Columns come in the order asked; unknown ones stay empty.
    auto ordered = splitResponse(rawExchange(
        port(), "GET /gateway.cgi/csv/changes/records,title,nothing,file HTTP/1.0\r\n\r\n"));
    EXPECT_NE(ordered.body.find("0,\"a,b\",," + threadFileName(comma) + "\r\n"), std::string::npos)
        << ordered.body;
}

TEST_F(LocalNodeTest, TitlesWithReservedCharactersInPaths) {
    const std::string title = "a b?c#d/e%f+g";
    registerThread(title);
    auto thread = find(list(false), title);
    ASSERT_TRUE(thread);
    EXPECT_EQ(thread->path, "/thread.cgi/a%20b%3Fc%23d/e%25f+g");
    EXPECT_EQ(thread->uri, "http://127.0.0.1:" + std::to_string(port()) + thread->path);

    auto answer = post(title, "ok");
    EXPECT_EQ(answer.location.substr(0, thread->path.size() + 2), thread->path + "#r");
    auto page = get(thread->path);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<h1>a b?c#d/e%f+g</h1>"), std::string::npos);

    // A question mark left unencoded, as encodeURI leaves it, stays part of the title.
    rawExchange(port(), "GET /thread.cgi/a%20b?c HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(find(list(false), "a b?c"));
    EXPECT_FALSE(find(list(false), "a b"));

    // A title that is not valid UTF-8 is refused, not registered.
    auto invalid = get("/thread.cgi/%FF%FE");
    ASSERT_TRUE(invalid);
    EXPECT_EQ(invalid->status, 400);
    EXPECT_EQ(list(false).size(), 2u);
}

TEST_F(LocalNodeTest, ThreadPageShowsRecordsAndAPostingForm) {
    const std::string title = "【雑談】ページ";
    auto answer = post(title, "<script>alert(1)</script>\nline &hearts;", "<i>name</i>");
    std::string shortId =
        answer.location.substr(("/thread.cgi/" + encodeTitle(title) + "#r").size());

    auto page = get("/thread.cgi/" + encodeTitle(title));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    const std::string& html = page->body;
    EXPECT_NE(html.find("id=\"r" + shortId + "\""), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;<br>line &hearts;"),
              std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<i>"), std::string::npos);
    EXPECT_NE(html.find("action=\"/thread.cgi\""), std::string::npos);
    EXPECT_NE(html.find("enctype=\"multipart/form-data\""), std::string::npos);
    EXPECT_NE(html.find("name=\"cmd\" value=\"post\""), std::string::npos);
    EXPECT_NE(html.find("name=\"file\" value=\"" + threadFileName(title) + "\""),
              std::string::npos);
    for (const char* field : {"name=\"name\"", "name=\"mail\"", "name=\"body\"", "name=\"attach\"",
                              "name=\"dopost\""}) {
        EXPECT_NE(html.find(field), std::string::npos) << field;
    }
    // Opening a page registers its thread.
    auto fresh = get("/thread.cgi/" + encodeTitle("新しいスレ"));
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->status, 200);
    EXPECT_TRUE(find(list(false), "新しいスレ"));

    auto top = get("/");
    ASSERT_TRUE(top);
    EXPECT_EQ(top->status, 200);
    EXPECT_NE(top->body.find(NodeText::escapeHtml(title)), std::string::npos);
}

TEST_F(LocalNodeTest, DeleteThroughTheConfirmationPage) {
    const std::string title = "消すスレ";
    const std::string file = threadFileName(title);
    ASSERT_EQ(post(title, "さようなら").status, 302);

    auto page = get("/admin.cgi?cmd=fdel&file=" + file);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(page->body, match,
                                  std::regex("<form method=\"post\" action=\"/admin\\.cgi\">")));
    ASSERT_TRUE(std::regex_search(page->body, match, std::regex("name=\"cmd\" value=\"xfdel\"")));
    ASSERT_TRUE(
        std::regex_search(page->body, match, std::regex("name=\"file\" value=\"" + file + "\"")));
    ASSERT_TRUE(
        std::regex_search(page->body, match, std::regex("name=\"sid\" value=\"([0-9a-f]+)\"")));
    std::string code = match[1];

    httplib::Client client("127.0.0.1", port());
    auto wrong = client.Post("/admin.cgi",
                             "cmd=xfdel&file=" + file + "&sid=" + (code[0] == '0' ? "1" : "0") +
                                 code.substr(1),
                             "application/x-www-form-urlencoded");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 403);
    EXPECT_TRUE(have(title));

    auto deleted = client.Post("/admin.cgi", "cmd=xfdel&file=" + file + "&sid=" + code,
                               "application/x-www-form-urlencoded");
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->status, 302);
    EXPECT_EQ(deleted->get_header_value("Location"), "/gateway.cgi/changes");
    EXPECT_FALSE(have(title));
    EXPECT_FALSE(find(list(false), title));
    EXPECT_TRUE(getRange(title, 0).empty());

    // The code is good for one deletion only.
    ASSERT_EQ(post(title, "again").status, 302);
    auto reused = client.Post("/admin.cgi", "cmd=xfdel&file=" + file + "&sid=" + code,
                              "application/x-www-form-urlencoded");
    ASSERT_TRUE(reused);
    EXPECT_EQ(reused->status, 403);
    EXPECT_TRUE(have(title));

    auto unknown = get("/admin.cgi?cmd=fdel&file=" + threadFileName("ない"));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    auto changes = get("/gateway.cgi/changes");
    ASSERT_TRUE(changes);
    EXPECT_EQ(changes->status, 200);
}

TEST_F(LocalNodeTest, EveryAnswerClosesItsConnectionWithOrWithoutHost) {
    ASSERT_EQ(post("A", "x").status, 302);
    auto withoutHost =
        splitResponse(rawExchange(port(), "GET /server.cgi/have/thread_41 HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(withoutHost.head.substr(0, 13), "HTTP/1.1 200 ");
    EXPECT_NE(withoutHost.head.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(withoutHost.head.find("Content-Length: 4\r\n"), std::string::npos);
    EXPECT_EQ(withoutHost.head.find("chunked"), std::string::npos);
    EXPECT_EQ(withoutHost.body, "YES\n");

    // HTTP/1.1 would keep the connection open by default; the node closes it anyway.
    std::string host = "Host: 127.0.0.1:" + std::to_string(port()) + "\r\n";
    auto withHost = splitResponse(
        rawExchange(port(), "GET /server.cgi/head/thread_41/0- HTTP/1.1\r\n" + host + "\r\n"));
    EXPECT_NE(withHost.head.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(withHost.head.find("chunked"), std::string::npos);
    EXPECT_EQ(withHost.body.size(), 2 + 10 + 32 + 1u);

    auto page = splitResponse(rawExchange(port(), "GET /thread.cgi/A HTTP/1.1\r\n" + host +
                                                      "Connection: keep-alive\r\n\r\n"));
    EXPECT_NE(page.head.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(page.head.find("Content-Length: " + std::to_string(page.body.size()) + "\r\n"),
              std::string::npos);

    auto missing = splitResponse(rawExchange(port(), "GET /nothing HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(missing.head.substr(0, 13), "HTTP/1.1 404 ");
    EXPECT_NE(missing.head.find("Connection: close\r\n"), std::string::npos);

    auto badRange =
        splitResponse(rawExchange(port(), "GET /server.cgi/get/thread_41/- HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(badRange.head.substr(0, 13), "HTTP/1.1 400 ");
    // An unknown thread has no records and is not had.
    auto unknown =
        splitResponse(rawExchange(port(), "GET /server.cgi/get/thread_42/0- HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(unknown.body, "");
    EXPECT_FALSE(have("B"));
}

TEST_F(LocalNodeTest, AnswersWhileManyConnectionsAreIdleOrSendOneByteASecond) {
    const std::string slowHead = "GET /server.cgi/have/thread_41 HTTP/1.0\r\nX-Slow: ";
    std::vector<Connection> idle;
    std::vector<Connection> slow;
    for (int i = 0; i < 256; ++i) {
        idle.emplace_back(port());
        slow.emplace_back(port());
    }
    std::atomic<bool> probed = false;
    std::thread trickle([&] {
        for (size_t i = 0; !probed; ++i) {
            char c = i < slowHead.size() ? slowHead[i] : 'a';
            for (Connection& connection : slow) {
                connection.send(std::string_view(&c, 1));
            }
            for (int wait = 0; wait < 20 && !probed; ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    });
    // Let a few slow bytes arrive first.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // The bound only turns a node that does not answer into a failure; latency is measured by
    // the benchmark.
    std::string probe;
    EXPECT_NO_THROW(probe =
                        rawExchange(port(), "GET /server.cgi/have/thread_41 HTTP/1.0\r\n\r\n", 5));
    probed = true;
    trickle.join();
    EXPECT_EQ(splitResponse(probe).body, "NO\n");
}

TEST_F(LocalNodeTest, HeadsBeyondTheirBoundsAnswer431) {
    const std::string line = "GET /server.cgi/have/thread_41 HTTP/1.1\r\n";
    std::string many;
    std::string fifty;
    for (int i = 0; i < 200000; ++i) {
        many += "X-Line: " + std::to_string(i) + "\r\n";
        if (i == 49) {
            fifty = many;
        }
    }
    // The node answers at once and drops the rest of what comes.
    EXPECT_EQ(rawExchange(port(), line + many + "\r\n", 30, true).substr(0, 13), "HTTP/1.1 431 ");
    std::string wide;
    for (int i = 0; i < 10; ++i) {
        wide += "X-Wide: " + std::string(7000, 'w') + "\r\n";
    }
    EXPECT_EQ(rawExchange(port(), line + wide + "\r\n").substr(0, 13), "HTTP/1.1 431 ");
    // Within the bounds the same request is answered.
    auto within = splitResponse(rawExchange(port(), line + fifty + "\r\n"));
    EXPECT_EQ(within.head.substr(0, 13), "HTTP/1.1 200 ");
    EXPECT_EQ(within.body, "NO\n");
}

TEST_F(LocalNodeTest, AdminPagesAnswerOnlyRequestsNamingTheNodeItself) {
    const std::string title = "管理";
    const std::string file = threadFileName(title);
    const std::string own = std::to_string(port());
    ASSERT_EQ(post(title, "x").status, 302);
    auto pageFor = [&](const std::string& hostFields) {
        return splitResponse(rawExchange(port(), "GET /admin.cgi?cmd=fdel&file=" + file +
                                                     " HTTP/1.1\r\n" + hostFields + "\r\n"));
    };
    for (const std::string host : {"127.0.0.1:", "localhost:", "LocalHost:", "[::1]:"}) {
        EXPECT_EQ(pageFor("Host: " + host + own + "\r\n").head.substr(9, 3), "200") << host;
    }
    for (const std::string& host :
         std::vector<std::string>{"evil.example:" + own, "127.0.0.1", "localhost:1" + own,
                                  "127.0.0.2:" + own, "localhost.:" + own}) {
        auto refused = pageFor("Host: " + host + "\r\n");
        EXPECT_EQ(refused.head.substr(9, 3), "421") << host;
        EXPECT_EQ(refused.body.find("sid"), std::string::npos) << host;
    }
    EXPECT_EQ(pageFor("").head.substr(9, 3), "421");
    EXPECT_EQ(pageFor("Host: 127.0.0.1:" + own + "\r\nHost: evil.example\r\n").head.substr(9, 3),
              "421");

    // A valid code sent under another name deletes nothing.
    std::smatch match;
    std::string page = pageFor("Host: 127.0.0.1:" + own + "\r\n").body;
    ASSERT_TRUE(std::regex_search(page, match, std::regex("name=\"sid\" value=\"([0-9a-f]+)\"")));
    std::string form = "cmd=xfdel&file=" + file + "&sid=" + match[1].str();
    std::string deletion = "POST /admin.cgi HTTP/1.1\r\nHost: evil.example:" + own +
                           "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                           "Content-Length: " +
                           std::to_string(form.size()) + "\r\n\r\n" + form;
    EXPECT_EQ(rawExchange(port(), deletion).substr(9, 3), "421");
    EXPECT_TRUE(have(title));
    // The node's other pages answer whatever name the request uses.
    auto thread = rawExchange(port(), "GET /thread.cgi/" + encodeTitle(title) +
                                          " HTTP/1.1\r\nHost: evil.example:" + own + "\r\n\r\n");
    EXPECT_EQ(thread.substr(9, 3), "200");
}

TEST_F(LocalNodeTest, EveryAnswerForbidsContentSniffing) {
    const std::string nosniff = "\r\nX-Content-Type-Options: nosniff\r\n";
    auto posted = post("A", "x");
    EXPECT_EQ(posted.status, 302);
    EXPECT_NE(posted.head.find(nosniff), std::string::npos);
    std::string tooMany = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 200; ++i) {
        tooMany += "X: y\r\n";
    }
    for (const std::string& request : std::vector<std::string>{
             "GET /server.cgi/have/thread_41 HTTP/1.0\r\n\r\n",
             "GET /thread.cgi/A HTTP/1.0\r\n\r\n", "GET /nothing HTTP/1.0\r\n\r\n",
             "GET /server.cgi/get/thread_41/- HTTP/1.0\r\n\r\n", "GET / HTTP/9.9\r\n\r\n",
             "BAD\r\n\r\n", "GET /admin.cgi?cmd=fdel HTTP/1.0\r\n\r\n", tooMany + "\r\n"}) {
        auto answer = splitResponse(rawExchange(port(), request));
        EXPECT_NE(answer.head.find(nosniff), std::string::npos) << answer.head;
    }
}

TEST_F(LocalNodeTest, APostThatWaitsForContinueIsTakenUp) {
    std::string form = "cmd=post&file=" + threadFileName("続き") + "&body=x";
    Connection connection(port());
    connection.send("POST /thread.cgi HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                    "Content-Type: application/x-www-form-urlencoded\r\n"
                    "Expect: 100-continue\r\nContent-Length: " +
                    std::to_string(form.size()) + "\r\n\r\n");
    const std::string proceed = "HTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(connection.read(proceed.size()), proceed);
    connection.send(form);
    std::string answer = connection.answer();
    EXPECT_EQ(answer.substr(0, 13), "HTTP/1.1 302 ");
    EXPECT_EQ(answer.find("100 Continue"), std::string::npos);
    EXPECT_EQ(getRange("続き", 0).size(), 1u);
}

TEST(LocalNodeProcessTest, TerminationKeepsEveryPost) {
    TempDir dir;
    std::vector<std::string> ids;
    for (int signal : {SIGTERM, SIGINT}) {
        NodeProcess node(dir.path(), false);
        node.start();
        httplib::Client client("127.0.0.1", node.port());
        for (int i = 0; i < 3; ++i) {
            auto answer = client.Post(
                "/thread.cgi",
                httplib::MultipartFormDataItems{
                    {"cmd", "post", "", ""},
                    {"file", threadFileName("残る"), "", ""},
                    {"body", "post " + std::to_string(signal) + "/" + std::to_string(i), "", ""}});
            ASSERT_TRUE(answer);
            ASSERT_EQ(answer->status, 302);
        }
        EXPECT_EQ(node.stop(signal), 0);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "node.port"));
    }

    NodeProcess node(dir.path(), false);
    node.start();
    ServerIO io(NodeAddress("127.0.0.1", static_cast<uint16_t>(node.port())));
    std::vector<std::string> bodies;
    io.getRange(
        {}, [&](ThreadDataEvent& e) { bodies.push_back(e.attribute("body")); }, "残る", 0);
    EXPECT_EQ(bodies.size(), 6u);
    for (int signal : {SIGTERM, SIGINT}) {
        for (int i = 0; i < 3; ++i) {
            std::string body = "post " + std::to_string(signal) + "/" + std::to_string(i);
            EXPECT_NE(std::find(bodies.begin(), bodies.end(), body), bodies.end()) << body;
        }
    }
    EXPECT_EQ(node.stop(), 0);
}

TEST(LocalNodeProcessTest, APortInUseEndsTheNodeWithAnError) {
    TempDir first;
    TempDir second;
    NodeProcess running(first.path(), false);
    running.start();
    NodeProcess other(second.path(), false, running.port());
    EXPECT_THROW(other.start(), std::runtime_error);
    EXPECT_EQ(other.exitStatus(), 1);
    EXPECT_EQ(running.stop(), 0);
}

TEST(LocalNodeProcessTest, FirstRunHasTheSampleThreads) {
    TempDir dir;
    size_t threadCount = 0;
    for (int run = 0; run < 2; ++run) {
        NodeProcess node(dir.path(), true);
        node.start();
        NodeAddress address("127.0.0.1", static_cast<uint16_t>(node.port()));
        std::vector<std::string> changes;
        std::map<std::string, uint32_t> records;
        GatewayIO(address).changes({}, [&](ThreadResponseEvent& e) {
            changes.push_back(e.title());
            records[e.title()] = e.records();
        });
        std::vector<std::string> recent;
        GatewayIO(address).recent({}, [&](ThreadResponseEvent& e) { recent.push_back(e.title()); });

        EXPECT_GE(changes.size(), 6u);
        EXPECT_GE(records["【雑談】なんでも雑談スレ その1"], 300u);
        // An old thread is listed but not among the recent ones.
        EXPECT_EQ(records.count("過去ログ倉庫"), 1u);
        EXPECT_EQ(std::find(recent.begin(), recent.end(), "過去ログ倉庫"), recent.end());
        EXPECT_LT(recent.size(), changes.size());
        // A second run adds nothing.
        if (run == 0) {
            threadCount = changes.size();
        } else {
            EXPECT_EQ(changes.size(), threadCount);
        }

        ServerIO server(address);
        EXPECT_FALSE(server.have(NodeSamples::emptyThreads().front()));
        EXPECT_TRUE(server.have("【画像】お気に入りの画像を貼るスレ"));
        bool image = false;
        server.getRange(
            {},
            [&](ThreadDataEvent& e) {
                if (!e.attribute("attach").empty()) {
                    image = e.attribute("suffix") == "png" &&
                            Digest::base64Decode(e.attribute("attach")) == NodeSamples::png();
                }
            },
            "【画像】お気に入りの画像を貼るスレ", 0);
        EXPECT_TRUE(image);
        EXPECT_EQ(node.stop(), 0);
    }
}

#ifdef BRYNDLE_CLI_PROGRAM
// What a new user runs to see the node's threads.
TEST(LocalNodeProcessTest, CommandLineToolListsTheSampleThreads) {
    TempDir dir;
    NodeProcess node(dir.path(), true);
    node.start();
    std::string command = std::string(BRYNDLE_CLI_PROGRAM) +
                          " --node 127.0.0.1:" + std::to_string(node.port()) + " list changes";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, n);
    }
    EXPECT_EQ(::pclose(pipe), 0);
    for (const char* title :
         {"【雑談】なんでも雑談スレ その1", "【画像】お気に入りの画像を貼るスレ",
          "新月の使い方 (質問スレ)", "過去ログ倉庫"}) {
        EXPECT_NE(output.find(std::string("\t") + title + "\t"), std::string::npos) << title;
    }
    EXPECT_EQ(node.stop(), 0);
}
#endif

} // namespace
} // namespace bryndle
