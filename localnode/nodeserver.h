#pragma once

#include "nodeactivity.h"
#include "nodestore.h"
#include "requestfront.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Stream;
struct Request;
struct Response;
} // namespace httplib

namespace bryndle {

// The node's HTTP side on 127.0.0.1: the server, gateway, thread and admin requests.
// Every answer closes its connection and carries its length. Requests are read whole by a
// RequestFront before they are answered.
class NodeServer {
public:
    using Clock = std::function<int64_t()>;

    // Threads updated within this many seconds are in the "recent" list.
    static constexpr int64_t kRecentSeconds = 7 * 24 * 3600;
    // How long a deletion page's one-time code stays valid.
    static constexpr int64_t kDeleteCodeSeconds = 3600;
    // Deletion codes kept at once; a new one beyond them replaces the one that expires first.
    static constexpr size_t kMaxDeleteCodes = 1024;
    // Bounds on a post: its attachment and its whole record text.
    static constexpr size_t kMaxAttachmentBytes = 8 * 1024 * 1024;
    static constexpr size_t kMaxRecordBytes = 12 * 1024 * 1024;

    NodeServer(NodeStore& store, NodeActivity& activity, Clock clock = nullptr,
               RequestFront::Limits limits = {});
    virtual ~NodeServer();
    NodeServer(const NodeServer&) = delete;
    NodeServer& operator=(const NodeServer&) = delete;

    // Binds 127.0.0.1 at the port (0: any free one); the bound port, or -1 on failure.
    virtual int bind(int port);
    // Serves until stop; returns once every request under way has been answered.
    virtual void run();
    // Ends run; may be called from any thread.
    virtual void stop();
    virtual int port() const { return port_; }

    // The answer to one request given whole as its bytes, as if it had come over a connection
    // from 127.0.0.1.
    virtual std::string answer(std::string_view request);

private:
    class Dispatcher;

    void serve(httplib::Stream& stream, const std::string& remoteAddress, int remotePort);
    void route();
    bool isOwnHost(const httplib::Request& request) const;
    void topPage(const httplib::Request& request, httplib::Response& response);
    void listPage(const httplib::Request& request, httplib::Response& response);
    void csvList(const httplib::Request& request, httplib::Response& response);
    void have(const httplib::Request& request, httplib::Response& response);
    void rangeGet(const httplib::Request& request, httplib::Response& response);
    void singleGet(const httplib::Request& request, httplib::Response& response);
    void threadPage(const httplib::Request& request, httplib::Response& response);
    void post(const httplib::Request& request, httplib::Response& response);
    void attachment(const httplib::Request& request, httplib::Response& response);
    void confirmDelete(const httplib::Request& request, httplib::Response& response);
    void deleteThread(const httplib::Request& request, httplib::Response& response);

    std::string newDeleteCode(const std::string& file);
    bool takeDeleteCode(const std::string& code, const std::string& file);
    std::string hostOf(const httplib::Request& request) const;
    int64_t now() const;

    NodeStore& store_;
    NodeActivity& activity_;
    Clock clock_;
    std::unique_ptr<Dispatcher> server_;
    RequestFront front_;
    int port_ = -1;

    struct DeleteCode {
        std::string file;
        int64_t expires = 0;
    };
    std::mutex codesMutex_;
    std::map<std::string, DeleteCode> codes_;
};

} // namespace bryndle
