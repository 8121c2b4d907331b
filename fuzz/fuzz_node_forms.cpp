// The local node's handling of posted forms (multipart and URL-encoded) and of titles, through
// the node's own request handling without a socket. The first byte picks what the rest is:
//   0 a multipart/form-data body posted to /thread.cgi (boundary "B")
//   1 a URL-encoded body posted to /thread.cgi
//   2 a URL-encoded body posted to /admin.cgi
//   3 a title, asked for as a thread page, a file's records and a deletion page
//   4 a title, through the file name and path encoding rules
// Every answer is a whole HTTP answer, and every record the node stores is a record line the
// client reads.
#include "nodeactivity.h"
#include "nodeserver.h"
#include "nodestore.h"
#include "nodetext.h"

#include "foundation/asciitext.h"
#include "foundation/exception.h"
#include "node/encodetitle.h"
#include "node/threaddataevent.h"
#include "node/threadfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace bryndle;

namespace {

struct Node {
    Node() : store(":memory:"), server(store, activity, [] { return int64_t{1700000000}; }) {
        port = server.bind(0);
    }
    NodeStore store;
    NodeActivity activity;
    NodeServer server;
    int port = 0;
};

Node& node() {
    static Node* instance = new Node;
    return *instance;
}

std::string post(const std::string& path, const std::string& type, std::string_view body) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(node().port) +
           "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + std::string(body);
}

std::string get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(node().port) +
           "\r\n\r\n";
}

void answer(const std::string& request) {
    std::string text = node().server.answer(request);
    if (text.compare(0, 9, "HTTP/1.1 ") != 0 || text.find("\r\n\r\n") == std::string::npos)
        std::abort();
}

// What was stored reads back as record lines; then the store is emptied for the next input.
void checkAndEmptyStore() {
    NodeStore& store = node().store;
    for (const NodeThread& thread : store.threads()) {
        if (!NodeText::isUsableTitle(thread.title))
            std::abort();
        for (const NodeRecord& record : store.records(thread.title, 0, INT64_MAX)) {
            ThreadDataEvent event;
            try {
                event.parse(record.line());
            } catch (const Exception&) {
                std::abort();
            }
            if (record.line().find_first_of("\r\n") != std::string::npos)
                std::abort();
        }
        store.deleteThread(thread.title);
    }
}

void titleRules(std::string_view title) {
    if (NodeText::isUsableTitle(title) &&
        NodeText::titleOfFile(threadFileName(title)) != std::string(title))
        std::abort();
    if (auto decoded = NodeText::titleOfFile(title)) {
        if (lowerAscii(threadFileName(*decoded)) != lowerAscii(title))
            std::abort();
    }
    if (percentDecode(encodeTitle(title)) != title)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 5) {
    case 0:
        answer(post("/thread.cgi", "multipart/form-data; boundary=B", rest));
        break;
    case 1:
        answer(post("/thread.cgi", "application/x-www-form-urlencoded", rest));
        break;
    case 2:
        answer(post("/admin.cgi", "application/x-www-form-urlencoded", rest));
        break;
    case 3:
        answer(get("/thread.cgi/" + encodeTitle(rest)));
        answer(get("/server.cgi/get/" + encodeTitle(rest) + "/0-"));
        answer(get("/admin.cgi?cmd=fdel&file=" + encodeTitle(rest)));
        break;
    default:
        titleRules(rest);
    }
    checkAndEmptyStore();
    return 0;
}
