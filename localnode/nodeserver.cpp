#include "nodeserver.h"

#include "nodepages.h"
#include "nodetext.h"

#include "foundation/asciitext.h"
#include "foundation/conv.h"
#include "foundation/digest.h"
#include "foundation/unicode.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"

#include <httplib.h>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace bryndle {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kText = "text/plain; charset=utf-8";
// How long an answer may wait for a client that does not read it, per wait.
constexpr int kWriteWaitMilliseconds = 30000;

// One request as the front read it, and its answer: written to the socket, or without one
// kept in a text.
class RequestStream : public httplib::Stream {
public:
    RequestStream(std::string_view request, int socket, std::string* answer)
        : request_(request), socket_(socket), answer_(answer) {}

    bool is_readable() const override { return position_ < request_.size(); }
    bool is_writable() const override { return true; }

    ssize_t read(char* data, size_t size) override {
        size_t count = std::min(size, request_.size() - position_);
        std::memcpy(data, request_.data() + position_, count);
        position_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* data, size_t size) override {
        if (answer_) {
            answer_->append(data, size);
            return static_cast<ssize_t>(size);
        }
        for (;;) {
            ssize_t sent = ::send(socket_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent >= 0) {
                return sent;
            }
            if (errno == EINTR) {
                continue;
            }
            pollfd writable{socket_, POLLOUT, 0};
            if ((errno != EAGAIN && errno != EWOULDBLOCK) ||
                ::poll(&writable, 1, kWriteWaitMilliseconds) <= 0) {
                return -1;
            }
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 0;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 0;
    }
    int socket() const override { return socket_; }

private:
    std::string_view request_;
    size_t position_ = 0;
    int socket_;
    std::string* answer_;
};

// A form field, from a multipart body or from the query or URL-encoded body.
std::string field(const httplib::Request& request, const std::string& name) {
    if (request.has_file(name)) {
        return request.get_file_value(name).content;
    }
    return request.get_param_value(name);
}

void htmlError(httplib::Response& response, int status, std::string_view message) {
    response.status = status;
    response.set_content(NodePages::error(status, message), kHtml);
}

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Control characters other than tab and line feed are dropped before escaping.
std::string withoutControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if ((u >= 0x20 && u != 0x7f) || c == '\t' || c == '\n' || c == '\r') {
            out += c;
        }
    }
    return out;
}

std::string suffixOfType(std::string_view type) {
    if (type == "image/png") {
        return "png";
    }
    if (type == "image/jpeg") {
        return "jpg";
    }
    if (type == "image/gif") {
        return "gif";
    }
    if (type.substr(0, 10) == "text/plain") {
        return "txt";
    }
    return "bin";
}

} // namespace

// The server library's request handling, given the requests that the front has read.
class NodeServer::Dispatcher : public httplib::Server {
public:
    using httplib::Server::process_request;
};

NodeServer::NodeServer(NodeStore& store, NodeActivity& activity, Clock clock,
                       RequestFront::Limits limits)
    : store_(store), activity_(activity), clock_(std::move(clock)),
      server_(std::make_unique<Dispatcher>()),
      front_(
          [this](RequestFront::Request& request) {
              RequestStream stream(request.bytes, request.socket, nullptr);
              serve(stream, request.remoteAddress, request.remotePort);
          },
          [this](int status, std::string_view method, std::string_view target) {
              activity_.add({now(), std::string(method), std::string(target), status});
          },
          limits) {
    server_->set_payload_max_length(kMaxRecordBytes + 4 * 1024 * 1024);
    route();
}

NodeServer::~NodeServer() = default;

int64_t NodeServer::now() const {
    return clock_ ? clock_() : static_cast<int64_t>(std::time(nullptr));
}

int NodeServer::bind(int port) {
    port_ = front_.bind(port);
    return port_;
}

void NodeServer::run() {
    front_.run();
}

void NodeServer::stop() {
    front_.stop();
}

std::string NodeServer::answer(std::string_view request) {
    std::string answer;
    RequestStream stream(request, -1, &answer);
    serve(stream, "127.0.0.1", 0);
    return answer;
}

void NodeServer::serve(httplib::Stream& stream, const std::string& remoteAddress, int remotePort) {
    // One request per connection: the answer ends with the close, as clients read it.
    bool closed = true;
    server_->process_request(stream, true, closed, [&](httplib::Request& request) {
        request.remote_addr = remoteAddress;
        request.remote_port = remotePort;
    });
}

void NodeServer::route() {
    using httplib::Request;
    using httplib::Response;
    auto bound = [this](void (NodeServer::*handler)(const Request&, Response&)) {
        return [this, handler](const Request& request, Response& response) {
            (this->*handler)(request, response);
        };
    };
    httplib::Server& s = *server_;
    s.Get("/", bound(&NodeServer::topPage));
    s.Get("/gateway\\.cgi/?", bound(&NodeServer::topPage));
    s.Get("/gateway\\.cgi/(changes|recent)", bound(&NodeServer::listPage));
    s.Get("/gateway\\.cgi/csv/(changes|recent)/([^/]+)", bound(&NodeServer::csvList));
    s.Get("/server\\.cgi/have/([^/]+)", bound(&NodeServer::have));
    s.Get("/server\\.cgi/(get|head)/([^/]+)/([0-9]*-?[0-9]*)", bound(&NodeServer::rangeGet));
    s.Get("/server\\.cgi/(get|head)/([^/]+)/([0-9]+)/([0-9A-Za-z]+)",
          bound(&NodeServer::singleGet));
    // A title may hold any character, slashes included.
    s.Get("/thread\\.cgi/([\\s\\S]+)", bound(&NodeServer::threadPage));
    s.Post("/thread\\.cgi/?", bound(&NodeServer::post));
    s.Get("/attach\\.cgi/([^/]+)/([0-9]+)/([0-9a-f]{32})\\.([A-Za-z0-9]+)",
          bound(&NodeServer::attachment));
    s.Get("/admin\\.cgi", bound(&NodeServer::confirmDelete));
    s.Post("/admin\\.cgi", bound(&NodeServer::deleteThread));

    // The admin pages hand out deletion codes: a page of another site whose name was made to
    // resolve to 127.0.0.1 must not read them.
    s.set_pre_routing_handler([this](const Request& request, Response& response) {
        if (request.path.rfind("/admin.cgi", 0) != 0 || isOwnHost(request)) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        htmlError(response, 421, "このホスト名では管理ページを開けません");
        return httplib::Server::HandlerResponse::Handled;
    });
    s.set_post_routing_handler([](const Request&, Response& response) {
        response.set_header("X-Content-Type-Options", "nosniff");
    });
    s.set_error_handler([](const Request&, Response& response) {
        if (response.body.empty() && response.status >= 400) {
            std::string message =
                response.status == 404 ? "ページがありません" : "要求を処理できません";
            response.set_content(NodePages::error(response.status, message), kHtml);
        }
    });
    s.set_exception_handler([](const Request&, Response& response, std::exception_ptr error) {
        std::string message = "内部エラー";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            message += std::string(": ") + e.what();
        } catch (...) {
        }
        htmlError(response, 500, message);
    });
    s.set_logger([this](const Request& request, const Response& response) {
        activity_.add({now(), request.method, request.path, response.status});
    });
}

bool NodeServer::isOwnHost(const httplib::Request& request) const {
    if (request.get_header_value_count("Host") != 1) {
        return false;
    }
    std::string host = lowerAscii(request.get_header_value("Host"));
    std::string port = ":" + std::to_string(port_);
    for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) {
        if (host == name + port) {
            return true;
        }
    }
    return false;
}

std::string NodeServer::hostOf(const httplib::Request& request) const {
    std::string host = request.get_header_value("Host");
    bool usable = !host.empty() && host.size() < 256;
    for (char c : host) {
        bool allowed = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       c == '.' || c == ':' || c == '-' || c == '[' || c == ']';
        usable = usable && allowed;
    }
    return usable ? host : "127.0.0.1:" + std::to_string(port_);
}

void NodeServer::topPage(const httplib::Request&, httplib::Response& response) {
    response.set_content(NodePages::top(store_.threads(), port_, activity_.total()), kHtml);
}

void NodeServer::listPage(const httplib::Request& request, httplib::Response& response) {
    std::string kind = request.matches[1];
    std::vector<NodeThread> threads = store_.threads();
    if (kind == "recent") {
        std::erase_if(threads,
                      [&](const NodeThread& t) { return t.stamp < now() - kRecentSeconds; });
    }
    response.set_content(NodePages::list(kind, threads), kHtml);
}

void NodeServer::csvList(const httplib::Request& request, httplib::Response& response) {
    std::string kind = request.matches[1];
    std::string columns = request.matches[2];
    std::vector<std::string> names;
    for (size_t pos = 0;;) {
        size_t comma = columns.find(',', pos);
        names.push_back(columns.substr(pos, comma == std::string::npos ? comma : comma - pos));
        if (comma == std::string::npos) {
            break;
        }
        pos = comma + 1;
    }
    std::string host = hostOf(request);
    int64_t since = kind == "recent" ? now() - kRecentSeconds : INT64_MIN;
    std::string body;
    for (const NodeThread& thread : store_.threads()) {
        if (thread.stamp < since) {
            continue;
        }
        std::string path = "/thread.cgi/" + encodeTitle(thread.title);
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            std::string value;
            if (name == "file") {
                value = threadFileName(thread.title);
            } else if (name == "stamp") {
                value = std::to_string(thread.stamp);
            } else if (name == "date") {
                value = NodePages::formatTime(thread.stamp);
            } else if (name == "path") {
                value = path;
            } else if (name == "uri") {
                value = "http://" + host + path;
            } else if (name == "type") {
                value = "thread";
            } else if (name == "title") {
                value = thread.title;
            } else if (name == "records") {
                value = std::to_string(thread.records);
            } else if (name == "size") {
                value = std::to_string(thread.size);
            }
            // Appended: "literal" + a temporary string draws a false -Wrestrict from GCC 12.
            body.append(i ? "," : "").append(NodeText::csvField(value));
        }
        body += "\r\n";
    }
    response.set_content(body, kText);
}

void NodeServer::have(const httplib::Request& request, httplib::Response& response) {
    auto title = NodeText::titleOfFile(request.matches[1].str());
    bool held = false;
    if (title) {
        auto thread = store_.thread(*title);
        held = thread && thread->records > 0;
    }
    response.set_content(held ? "YES\n" : "NO\n", kText);
}

void NodeServer::rangeGet(const httplib::Request& request, httplib::Response& response) {
    bool head = request.matches[1] == "head";
    auto range = NodeText::parseRange(request.matches[3].str());
    if (!range) {
        htmlError(response, 400, "範囲の指定が正しくありません");
        return;
    }
    std::string body;
    if (auto title = NodeText::titleOfFile(request.matches[2].str())) {
        for (const NodeRecord& record : store_.records(*title, range->from, range->to)) {
            body += (head ? record.headLine() : record.line()) + "\n";
        }
    }
    response.set_content(body, kText);
}

void NodeServer::singleGet(const httplib::Request& request, httplib::Response& response) {
    bool head = request.matches[1] == "head";
    auto stamp = NodeText::parseStamp(request.matches[3].str());
    std::string body;
    auto title = NodeText::titleOfFile(request.matches[2].str());
    if (title && stamp) {
        for (const NodeRecord& record : store_.record(*title, *stamp, request.matches[4].str())) {
            body += (head ? record.headLine() : record.line()) + "\n";
        }
    }
    response.set_content(body, kText);
}

void NodeServer::threadPage(const httplib::Request& request, httplib::Response& response) {
    std::string title = request.matches[1];
    // The page takes no query: a '?' sent unencoded belongs to the title, as encodeURI leaves
    // it in the path.
    static constexpr std::string_view prefix = "/thread.cgi/";
    if (request.target.find('?') != std::string::npos &&
        request.target.compare(0, prefix.size(), prefix) == 0) {
        title = percentDecode(std::string_view(request.target).substr(prefix.size()));
    }
    if (!NodeText::isUsableTitle(title)) {
        htmlError(response, 400, "スレッドのタイトルが正しくありません");
        return;
    }
    store_.registerThread(title, now());
    auto thread = store_.thread(title);
    if (!thread) {
        htmlError(response, 404, "スレッドがありません");
        return;
    }
    response.set_content(NodePages::thread(*thread, store_.records(title, 0, INT64_MAX)), kHtml);
}

void NodeServer::post(const httplib::Request& request, httplib::Response& response) {
    if (field(request, "cmd") != "post") {
        htmlError(response, 400, "不明な要求です");
        return;
    }
    auto title = NodeText::titleOfFile(field(request, "file"));
    if (!title) {
        htmlError(response, 400, "スレッドの指定が正しくありません");
        return;
    }
    std::string body = field(request, "body");
    std::string name = field(request, "name");
    std::string mail = field(request, "mail");
    std::string attach;
    std::string suffix;
    if (request.has_file("attach")) {
        const httplib::MultipartFormData& file = request.get_file_value("attach");
        attach = file.content;
        if (!attach.empty()) {
            suffix = NodeText::attachmentSuffix(file.filename);
            if (suffix.empty()) {
                suffix = suffixOfType(file.content_type);
            }
        }
    }
    if (isBlank(body) && attach.empty()) {
        htmlError(response, 400, "本文がありません");
        return;
    }
    if (!Unicode::isValidUtf8(body) || !Unicode::isValidUtf8(name) || !Unicode::isValidUtf8(mail)) {
        htmlError(response, 400, "文字コードが正しくありません (UTF-8 で送ってください)");
        return;
    }
    if (attach.size() > kMaxAttachmentBytes) {
        htmlError(response, 413, "添付ファイルが大きすぎます");
        return;
    }
    // Fields in key order; empty ones are left out.
    std::vector<std::pair<std::string, std::string>> fields;
    if (!attach.empty()) {
        fields.emplace_back("attach", Digest::base64Encode(attach));
    }
    if (!isBlank(body)) {
        fields.emplace_back("body", NodeText::escapePosted(withoutControls(body)));
    }
    if (!mail.empty()) {
        fields.emplace_back("mail", NodeText::escapePosted(withoutControls(mail)));
    }
    if (!name.empty()) {
        fields.emplace_back("name", NodeText::escapePosted(withoutControls(name)));
    }
    if (!attach.empty()) {
        fields.emplace_back("suffix", suffix);
    }
    std::string text;
    for (const auto& [key, value] : fields) {
        text += (text.empty() ? "" : "<>") + key + ":" + value;
    }
    if (text.size() > kMaxRecordBytes) {
        htmlError(response, 413, "書き込みが大きすぎます");
        return;
    }
    NodeRecord record = NodeStore::makeRecord(now(), std::move(text));
    store_.addRecord(*title, record);
    response.set_redirect("/thread.cgi/" + encodeTitle(*title) + "#r" + record.id.substr(0, 8),
                          302);
}

void NodeServer::attachment(const httplib::Request& request, httplib::Response& response) {
    auto title = NodeText::titleOfFile(request.matches[1].str());
    auto stamp = NodeText::parseStamp(request.matches[2].str());
    if (title && stamp) {
        for (const NodeRecord& record : store_.record(*title, *stamp, request.matches[3].str())) {
            auto fields = NodeText::recordFields(record.text);
            if (fields.count("attach") && fields["suffix"] == request.matches[4].str()) {
                std::string bytes;
                try {
                    bytes = Digest::base64Decode(fields["attach"]);
                } catch (const Exception&) {
                    htmlError(response, 500, "添付ファイルが壊れています");
                    return;
                }
                response.set_content(bytes, NodePages::mimeType(fields["suffix"]));
                return;
            }
        }
    }
    htmlError(response, 404, "添付ファイルがありません");
}

std::string NodeServer::newDeleteCode(const std::string& file) {
    const std::string code = randomHex(16);
    std::lock_guard lock(codesMutex_);
    int64_t current = now();
    std::erase_if(codes_, [&](const auto& entry) { return entry.second.expires < current; });
    // Opening deletion pages over and over must not grow the node without bound.
    if (codes_.size() >= kMaxDeleteCodes) {
        codes_.erase(
            std::min_element(codes_.begin(), codes_.end(), [](const auto& a, const auto& b) {
                return a.second.expires < b.second.expires;
            }));
    }
    codes_[code] = {file, current + kDeleteCodeSeconds};
    return code;
}

bool NodeServer::takeDeleteCode(const std::string& code, const std::string& file) {
    std::lock_guard lock(codesMutex_);
    auto found = codes_.find(code);
    if (found == codes_.end() || found->second.file != file || found->second.expires < now()) {
        return false;
    }
    codes_.erase(found);
    return true;
}

void NodeServer::confirmDelete(const httplib::Request& request, httplib::Response& response) {
    if (request.get_param_value("cmd") != "fdel") {
        htmlError(response, 400, "不明な要求です");
        return;
    }
    std::string file = request.get_param_value("file");
    auto title = NodeText::titleOfFile(file);
    auto thread = title ? store_.thread(*title) : std::nullopt;
    if (!thread) {
        htmlError(response, 404, "スレッドがありません");
        return;
    }
    response.set_content(NodePages::confirmDelete(*thread, newDeleteCode(threadFileName(*title))),
                         kHtml);
}

void NodeServer::deleteThread(const httplib::Request& request, httplib::Response& response) {
    if (field(request, "cmd") != "xfdel") {
        htmlError(response, 400, "不明な要求です");
        return;
    }
    auto title = NodeText::titleOfFile(field(request, "file"));
    if (!title || !takeDeleteCode(field(request, "sid"), threadFileName(*title))) {
        htmlError(response, 403, "確認コードが正しくありません。削除ページを開き直してください");
        return;
    }
    if (!store_.deleteThread(*title)) {
        htmlError(response, 404, "スレッドがありません");
        return;
    }
    response.set_redirect("/gateway.cgi/changes", 302);
}

} // namespace bryndle
