#pragma once

// A small node for tests and benchmarks: the server interface (have, head, get) and thread
// registration, on 127.0.0.1 at an ephemeral port, in this process. Every answer has a length
// and closes the connection (the client reads until close). It records what it was asked.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace bryndle::test {

class FakeNode {
public:
    struct Record {
        uint32_t stamp = 0;
        std::string id;
        // key:value fields joined with "<>" (empty for none).
        std::string fields;
        std::string headLine() const { return std::to_string(stamp) + "<>" + id; }
        std::string line() const {
            return fields.empty() ? headLine() : headLine() + "<>" + fields;
        }
    };

    FakeNode() {
        server_.Get(R"(/server\.cgi/have/([^/]+))", [this](const auto& req, auto& res) {
            std::string file = req.matches[1];
            note(req);
            if (failed("have", res))
                return;
            std::lock_guard<std::mutex> guard(mutex_);
            auto it = threads_.find(file);
            answer(res, it != threads_.end() && !it->second.empty() ? "YES\n" : "NO\n");
        });
        server_.Get(R"(/server\.cgi/head/([^/]+)/(\d+)-)", [this](const auto& req, auto& res) {
            note(req);
            if (failed("head", res))
                return;
            answer(res, lines(req.matches[1], std::stoul(req.matches[2]), true));
        });
        server_.Get(R"(/server\.cgi/get/([^/]+)/(\d+)-)", [this](const auto& req, auto& res) {
            note(req);
            if (failed("get", res))
                return;
            waitAtGate();
            answer(res, lines(req.matches[1], std::stoul(req.matches[2]), false) + rangeTail_);
        });
        server_.Get(R"(/server\.cgi/get/([^/]+)/(\d+)/([^/]+))",
                    [this](const auto& req, auto& res) {
                        note(req);
                        if (failed("get", res))
                            return;
                        std::string file = req.matches[1];
                        const uint32_t stamp = static_cast<uint32_t>(std::stoul(req.matches[2]));
                        std::string id = req.matches[3];
                        std::string body;
                        std::lock_guard<std::mutex> guard(mutex_);
                        for (const auto& r : threads_[file]) {
                            if (r.stamp == stamp && r.id == id)
                                body += r.line() + "\n";
                        }
                        answer(res, body);
                    });
        server_.Get(R"(/thread\.cgi/.*)", [this](const auto& req, auto& res) {
            note(req);
            res.set_content("<html><body>registered</body></html>", "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0)
            throw std::runtime_error("fake node: cannot bind");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() only reaches a server that has begun to accept.
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    ~FakeNode() {
        openGate();
        server_.stop();
        if (thread_.joinable())
            thread_.join();
    }

    FakeNode(const FakeNode&) = delete;
    FakeNode& operator=(const FakeNode&) = delete;

    uint16_t port() const { return static_cast<uint16_t>(port_); }

    void add(const std::string& file, Record record) {
        std::lock_guard<std::mutex> guard(mutex_);
        threads_[file].push_back(std::move(record));
    }
    // Text appended to every range answer (to make a node fail half-way).
    void setRangeTail(std::string tail) { rangeTail_ = std::move(tail); }
    // Every request of a kind ("have", "head", "get") answers this status and body.
    void fail(const std::string& kind, int status, std::string body) {
        std::lock_guard<std::mutex> guard(mutex_);
        failures_[kind] = {status, std::move(body)};
    }

    // Range answers wait until the gate opens.
    void closeGate() {
        std::lock_guard<std::mutex> guard(mutex_);
        gateOpen_ = false;
    }
    void openGate() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            gateOpen_ = true;
        }
        gate_.notify_all();
    }
    // Blocks until a range request waits at the closed gate.
    void waitUntilHeldAtGate() {
        std::unique_lock<std::mutex> lock(mutex_);
        held_.wait(lock, [this] { return waiting_ > 0; });
    }

    // The request targets, in order, as the client sent them.
    std::vector<std::string> targets() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return targets_;
    }
    std::vector<std::string> hostFields() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return hosts_;
    }
    void clearTargets() {
        std::lock_guard<std::mutex> guard(mutex_);
        targets_.clear();
        hosts_.clear();
    }

private:
    void note(const httplib::Request& req) {
        std::lock_guard<std::mutex> guard(mutex_);
        targets_.push_back(req.target);
        hosts_.push_back(req.get_header_value("Host"));
    }

    std::string lines(const std::string& file, unsigned long from, bool headOnly) {
        std::lock_guard<std::mutex> guard(mutex_);
        std::string body;
        for (const auto& r : threads_[file]) {
            if (r.stamp >= from)
                body += (headOnly ? r.headLine() : r.line()) + "\n";
        }
        return body;
    }

    void waitAtGate() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++waiting_;
        held_.notify_all();
        gate_.wait(lock, [this] { return gateOpen_; });
        --waiting_;
    }

    bool failed(const std::string& kind, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto it = failures_.find(kind);
        if (it == failures_.end())
            return false;
        res.status = it->second.first;
        answer(res, it->second.second);
        return true;
    }

    static void answer(httplib::Response& res, const std::string& body) {
        res.set_header("Connection", "close");
        res.set_content(body, "text/plain");
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable gate_;
    std::condition_variable held_;
    bool gateOpen_ = true;
    int waiting_ = 0;
    std::map<std::string, std::vector<Record>> threads_;
    std::vector<std::string> targets_;
    std::vector<std::string> hosts_;
    std::string rangeTail_;
    std::map<std::string, std::pair<int, std::string>> failures_;
};

} // namespace bryndle::test
