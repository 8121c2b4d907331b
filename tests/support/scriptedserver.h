#pragma once

// A scripted HTTP test server: listens on 127.0.0.1 on an ephemeral port, runs a handler for
// every connection in its own thread (one connection at a time), and records the request bytes
// it received. Handlers send exact byte sequences, pause, hold a connection open or reset it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace bryndle::test {

// One accepted connection, as the handler sees it.
class ScriptedConnection {
public:
    using Recorder = std::function<void(const std::string& request)>;

    ScriptedConnection(int fd, const std::atomic<bool>& stopping, Recorder recorder)
        : fd_(fd), stopping_(stopping), recorder_(std::move(recorder)) {}

    // Reads up to and including the first empty line (or until the peer closes) and records it.
    std::string readRequest() {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < (1u << 20)) {
            if (!waitReadable())
                break;
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<size_t>(n));
        }
        if (recorder_)
            recorder_(request);
        return request;
    }

    void send(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }

    void pause(int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    // Keeps the connection open, sending nothing, until the client closes it or the server
    // stops.
    void holdUntilClientCloses() {
        char buffer[1024];
        while (waitReadable()) {
            if (::recv(fd_, buffer, sizeof buffer, 0) <= 0)
                return;
        }
    }

    // Ends the connection with a reset instead of an orderly close.
    void reset() {
        linger option{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        ::close(fd_);
        fd_ = -1;
    }

    int fd() const { return fd_; }

private:
    // Waits in short steps so that stopping the server ends the wait.
    bool waitReadable() {
        pollfd entry{fd_, POLLIN, 0};
        while (!stopping_) {
            int ready = ::poll(&entry, 1, 50);
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return false;
        }
        return false;
    }

    int fd_;
    const std::atomic<bool>& stopping_;
    Recorder recorder_;
};

// A loopback port on which nothing listens: held bound (not listening) so that no other server
// takes it while a test expects its connection to be refused.
class ClosedPort {
public:
    ClosedPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("test port: bind failed");
        port_ = ntohs(address.sin_port);
    }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    ~ClosedPort() { ::close(fd_); }

    uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

class ScriptedServer {
public:
    using Handler = std::function<void(ScriptedConnection&)>;

    explicit ScriptedServer(Handler handler) : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0)
            throw std::runtime_error("test server: socket failed");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(listener_);
            throw std::runtime_error("test server: bind/listen failed");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }

    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    ~ScriptedServer() { stop(); }

    // A handler that reads the request and answers with fixed bytes, then closes.
    static Handler answer(std::string bytes) {
        return [bytes](ScriptedConnection& connection) {
            connection.readRequest();
            connection.send(bytes);
        };
    }

    uint16_t port() const { return port_; }

    void stop() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
        if (listener_ >= 0) {
            ::close(listener_);
            listener_ = -1;
        }
    }

    // Every request the handlers read, in order.
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }

    std::string lastRequest() const {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_.empty() ? std::string() : requests_.back();
    }

    int connections() const { return connections_; }

private:
    void run() {
        pollfd entry{listener_, POLLIN, 0};
        while (!stopping_) {
            int ready = ::poll(&entry, 1, 50);
            if (ready <= 0)
                continue;
            int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ++connections_;
            ScriptedConnection connection(fd, stopping_, [this](const std::string& request) {
                std::lock_guard<std::mutex> guard(lock_);
                requests_.push_back(request);
            });
            try {
                handler_(connection);
            } catch (...) {
            }
            if (connection.fd() >= 0)
                ::close(connection.fd());
        }
    }

    Handler handler_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex lock_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

} // namespace bryndle::test
