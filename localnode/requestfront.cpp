#include "requestfront.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace bryndle {

namespace {

constexpr size_t kReadChunk = 16 * 1024;
// Per connection and turn, so that one fast sender cannot starve the others.
constexpr size_t kReadPerTurn = 256 * 1024;
// After an answer of its own the front reads and drops what the client still sends for this
// long: closing with unread input would reset the connection and lose the answer.
constexpr auto kDrainTime = std::chrono::seconds(2);
// When no connection can be accepted (no descriptor left), the next try waits this long.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

const char* reason(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Service Unavailable";
    }
}

// Leaves room below the descriptor limit for the store and the answers under way.
size_t connectionLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 4096;
    }
    return limit.rlim_cur > 256 ? static_cast<size_t>(limit.rlim_cur) - 128 : 64;
}

} // namespace

RequestFront::RequestFront(Handler handler, Refusal refusal, Limits limits)
    : handler_(std::move(handler)), refusal_(std::move(refusal)), limits_(limits),
      maxConnections_(connectionLimit()), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

RequestFront::~RequestFront() {
    if (listener_ >= 0) {
        ::close(listener_);
    }
    if (wake_ >= 0) {
        ::close(wake_);
    }
}

int RequestFront::bind(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || port < 0 || port > 65535) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    // Address reuse for a quick restart, but no port sharing: a second node on the same port
    // must fail to start instead of taking half of the connections.
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
    listener_ = fd;
    return ntohs(address.sin_port);
}

void RequestFront::stop() {
    stopping_ = true;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(wake_, &one, sizeof one);
}

void RequestFront::run() {
    if (listener_ < 0 || wake_ < 0) {
        return;
    }
    finishing_ = false;
    for (size_t i = 0; i < limits_.workers; ++i) {
        workers_.emplace_back([this] { work(); });
    }
    Connections connections;
    std::vector<pollfd> polled;
    while (!stopping_) {
        Clock::time_point now = Clock::now();
        expire(connections, now);
        polled.clear();
        polled.push_back({wake_, POLLIN, 0});
        polled.push_back({now < acceptPausedUntil_ ? -1 : listener_, POLLIN, 0});
        for (const Connection& connection : connections) {
            polled.push_back({connection.socket, POLLIN, 0});
        }
        if (::poll(polled.data(), polled.size(), pollTimeout(connections, now)) < 0) {
            continue; // interrupted; the loop checks for a stop again
        }
        if (polled[0].revents != 0) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t got = ::read(wake_, &count, sizeof count);
        }
        size_t index = 2;
        for (auto it = connections.begin(); it != connections.end(); ++index) {
            if (polled[index].revents != 0 && !receive(*it)) {
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
        if (polled[1].revents != 0) {
            acceptAll(connections);
        }
    }
    // Requests not yet read whole are dropped; those read are answered before run returns.
    for (Connection& connection : connections) {
        close(connection);
    }
    {
        std::lock_guard lock(queueMutex_);
        finishing_ = true;
    }
    queueReady_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
    workers_.clear();
}

void RequestFront::acceptAll(Connections& connections) {
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        int fd = ::accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &length,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if ((errno == EMFILE || errno == ENFILE) && !connections.empty()) {
                // The oldest waiting connection makes room for a new one.
                close(connections.front());
                connections.pop_front();
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                acceptPausedUntil_ = Clock::now() + kAcceptPause;
            }
            return;
        }
        if (connections.size() >= maxConnections_) {
            close(connections.front());
            connections.pop_front();
        }
        Connection& connection =
            connections.emplace_back(fd, Clock::now() + limits_.requestTime, limits_.maxBodyBytes);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        connection.remoteAddress = text;
        connection.remotePort = ntohs(peer.sin_port);
    }
}

bool RequestFront::receive(Connection& connection) {
    char buffer[kReadChunk];
    size_t total = 0;
    while (total < kReadPerTurn) {
        ssize_t n = ::recv(connection.socket, buffer, sizeof buffer, 0);
        if (n > 0) {
            total += static_cast<size_t>(n);
            if (!take(connection, std::string_view(buffer, static_cast<size_t>(n)))) {
                return false;
            }
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            // The client ended (or broke) the connection before its request was whole.
            close(connection);
            return false;
        }
    }
    return true;
}

bool RequestFront::take(Connection& connection, std::string_view data) {
    if (connection.phase == Phase::Draining) {
        return true;
    }
    if (connection.phase == Phase::Head) {
        data.remove_prefix(connection.head.feed(data));
        if (connection.head.state() == RequestHead::State::Refused) {
            answer(connection, connection.head.refusal());
            return true;
        }
        if (connection.head.state() == RequestHead::State::Reading) {
            return true;
        }
        connection.phase = Phase::Body;
        connection.bytes = connection.head.text();
        connection.bodyLeft = connection.head.contentLength();
        buffered_ += connection.bytes.size();
        if (connection.head.expectsContinue() && connection.bodyLeft > 0) {
            static constexpr std::string_view proceed = "HTTP/1.1 100 Continue\r\n\r\n";
            ::send(connection.socket, proceed.data(), proceed.size(), MSG_NOSIGNAL);
        }
    }
    size_t part = static_cast<size_t>(std::min<uint64_t>(data.size(), connection.bodyLeft));
    if (buffered_ + part > limits_.maxBufferedBytes) {
        answer(connection, 503);
        return true;
    }
    connection.bytes.append(data.substr(0, part));
    buffered_ += part;
    connection.bodyLeft -= part;
    if (connection.bodyLeft > 0) {
        return true;
    }
    dispatch(connection);
    return false;
}

void RequestFront::answer(Connection& connection, int status) {
    if (refusal_) {
        refusal_(status, connection.head.method(), connection.head.target());
    }
    std::string body = std::to_string(status) + " " + reason(status) + "\n";
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) +
                       "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                       std::to_string(body.size()) +
                       "\r\nConnection: close\r\nX-Content-Type-Options: nosniff\r\n\r\n" + body;
    ::send(connection.socket, text.data(), text.size(), MSG_NOSIGNAL);
    ::shutdown(connection.socket, SHUT_WR);
    buffered_ -= connection.bytes.size();
    connection.bytes = {};
    connection.phase = Phase::Draining;
    connection.deadline = Clock::now() + kDrainTime;
}

void RequestFront::close(Connection& connection) {
    buffered_ -= connection.bytes.size();
    connection.bytes = {};
    ::close(connection.socket);
    connection.socket = -1;
}

void RequestFront::expire(Connections& connections, Clock::time_point now) {
    for (auto it = connections.begin(); it != connections.end();) {
        if (it->deadline > now) {
            ++it;
        } else if (it->phase == Phase::Draining || !it->head.started()) {
            // A connection that never sent anything is closed without an answer.
            close(*it);
            it = connections.erase(it);
        } else {
            answer(*it, 408);
            ++it;
        }
    }
}

int RequestFront::pollTimeout(const Connections& connections, Clock::time_point now) const {
    Clock::time_point next = now + std::chrono::seconds(1);
    if (now < acceptPausedUntil_) {
        next = std::min(next, acceptPausedUntil_);
    }
    for (const Connection& connection : connections) {
        next = std::min(next, connection.deadline);
    }
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::max<int64_t>(wait, 0) + 1);
}

void RequestFront::dispatch(Connection& connection) {
    Request request{connection.socket, std::move(connection.bytes), connection.remoteAddress,
                    connection.remotePort};
    connection.socket = -1;
    connection.bytes = {};
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(request));
    }
    queueReady_.notify_one();
}

void RequestFront::work() {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(queueMutex_);
            queueReady_.wait(lock, [this] { return finishing_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        size_t size = request.bytes.size();
        try {
            handler_(request);
        } catch (...) {
            // The handler answers its own failures; a connection it could not answer closes.
        }
        ::close(request.socket);
        buffered_ -= size;
    }
}

} // namespace bryndle
