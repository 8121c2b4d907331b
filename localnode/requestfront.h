#pragma once

#include "requesthead.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace bryndle {

// Accepts connections on 127.0.0.1 and reads every request whole (head and body) on one polling
// thread, within bounds and a deadline; only complete requests reach the few worker threads.
// An idle or slow client so costs a socket and a small buffer, never a worker.
class RequestFront {
public:
    struct Limits {
        // A request must have arrived whole this long after its connection was accepted.
        std::chrono::milliseconds requestTime{15000};
        uint64_t maxBodyBytes = 16 * 1024 * 1024;
        // The bytes of all requests read but not yet answered, together.
        size_t maxBufferedBytes = 256 * 1024 * 1024;
        size_t workers = 8;
    };

    // A request read whole: the head (see RequestHead::text) and the body, and the socket to
    // answer on, which the front closes after the handler returns.
    struct Request {
        int socket = -1;
        std::string bytes;
        std::string remoteAddress;
        int remotePort = 0;
    };
    using Handler = std::function<void(Request&)>;
    // Told of each request the front answers itself (method and target may be empty).
    using Refusal =
        std::function<void(int status, std::string_view method, std::string_view target)>;

    RequestFront(Handler handler, Refusal refusal, Limits limits);
    virtual ~RequestFront();
    RequestFront(const RequestFront&) = delete;
    RequestFront& operator=(const RequestFront&) = delete;

    // Binds 127.0.0.1 at the port (0: any free one); the bound port, or -1 on failure.
    virtual int bind(int port);
    // Serves until stop; returns once every request read whole has been answered.
    virtual void run();
    // Ends run; may be called from any thread, also before run.
    virtual void stop();

private:
    using Clock = std::chrono::steady_clock;
    enum class Phase { Head, Body, Draining };
    struct Connection {
        Connection(int socket, Clock::time_point deadline, uint64_t maxBodyBytes)
            : socket(socket), deadline(deadline), head(maxBodyBytes) {}
        int socket = -1;
        Clock::time_point deadline;
        Phase phase = Phase::Head;
        RequestHead head;
        std::string bytes;
        uint64_t bodyLeft = 0;
        std::string remoteAddress;
        int remotePort = 0;
    };
    using Connections = std::list<Connection>;

    void acceptAll(Connections& connections);
    // False when the connection is done with (closed or handed to a worker).
    bool receive(Connection& connection);
    bool take(Connection& connection, std::string_view data);
    void answer(Connection& connection, int status);
    void close(Connection& connection);
    void expire(Connections& connections, Clock::time_point now);
    int pollTimeout(const Connections& connections, Clock::time_point now) const;
    void dispatch(Connection& connection);
    void work();

    Handler handler_;
    Refusal refusal_;
    Limits limits_;
    size_t maxConnections_ = 0;
    int listener_ = -1;
    int wake_ = -1;
    Clock::time_point acceptPausedUntil_;
    std::atomic<bool> stopping_ = false;
    std::atomic<size_t> buffered_ = 0;

    std::mutex queueMutex_;
    std::condition_variable queueReady_;
    std::deque<Request> queue_;
    bool finishing_ = false;
    std::vector<std::thread> workers_;
};

} // namespace bryndle
