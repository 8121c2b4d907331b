#pragma once

#include "nodeactivity.h"
#include "nodestore.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace bryndle {

// The node's HTTP side on 127.0.0.1: the server, gateway, thread and admin requests.
// Every answer closes its connection and carries its length.
class NodeServer {
public:
    using Clock = std::function<int64_t()>;

    // Threads updated within this many seconds are in the "recent" list.
    static constexpr int64_t kRecentSeconds = 7 * 24 * 3600;
    // How long a deletion page's one-time code stays valid.
    static constexpr int64_t kDeleteCodeSeconds = 3600;
    // Bounds on a post: its attachment and its whole record text.
    static constexpr size_t kMaxAttachmentBytes = 8 * 1024 * 1024;
    static constexpr size_t kMaxRecordBytes = 12 * 1024 * 1024;

    NodeServer(NodeStore& store, NodeActivity& activity, Clock clock = nullptr);
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

private:
    void route();
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
    std::unique_ptr<httplib::Server> server_;
    int port_ = -1;
    std::atomic<bool> started_ = false;
    std::atomic<bool> stopRequested_ = false;
    std::atomic<bool> finished_ = false;

    struct DeleteCode {
        std::string file;
        int64_t expires = 0;
    };
    std::mutex codesMutex_;
    std::map<std::string, DeleteCode> codes_;
};

} // namespace bryndle
