// The local node under idle and slow clients: how long a probe waits for its answer while
// 256 connections send one byte a second and 256 more send nothing.
//   bryndle-bench-node [--probes N] [--node PROGRAM]
// PROGRAM defaults to the node built beside this benchmark (another build may be compared).

#include "localnode/nodeprocess.h"
#include "support/tempdir.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace bryndle;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int SlowConnections = 256;
constexpr int IdleConnections = 256;
// A probe that waits longer than this counts as unanswered.
constexpr int ProbeGuardSeconds = 120;

int connectTo(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error(std::string("connect: ") + std::strerror(errno));
    }
    return fd;
}

// Milliseconds from connecting to the end of the answer, or none without a whole answer.
std::optional<double> probe(int port) {
    static const std::string request = "GET /server.cgi/have/thread_41 HTTP/1.0\r\n\r\n";
    Clock::time_point start = Clock::now();
    int fd = connectTo(port);
    timeval guard{ProbeGuardSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[1024];
    ssize_t n = 0;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
        answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    // The node has no thread "A": its whole answer ends with "NO".
    if (n < 0 || answer.find("\r\n\r\nNO\n") == std::string::npos) {
        return std::nullopt;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    int answered = 0;
    int probes = 0;
    double median = 0;
    double max = 0;
};

Figures probeSeries(int port, int probes) {
    std::vector<double> times;
    for (int i = 0; i < probes; ++i) {
        if (auto time = probe(port)) {
            times.push_back(*time);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Figures figures;
    figures.probes = probes;
    figures.answered = static_cast<int>(times.size());
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        figures.median = times[times.size() / 2];
        figures.max = times.back();
    }
    return figures;
}

void print(const char* what, const Figures& figures) {
    std::printf("%-34s %d of %d answered", what, figures.answered, figures.probes);
    if (figures.answered > 0) {
        std::printf(", median %.2f ms, max %.2f ms", figures.median, figures.max);
    }
    std::printf("\n");
}

// Connections the node has not closed.
int stillOpen(const std::vector<int>& fds) {
    int open = 0;
    for (int fd : fds) {
        char byte = 0;
        ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        open += n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return open;
}

} // namespace

int main(int argc, char** argv) {
    int probes = 20;
    std::string program = BRYNDLE_NODE_PROGRAM;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--probes") {
            probes = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--node") {
            program = argv[i + 1];
        }
    }
    test::TempDir dir;
    test::NodeProcess node(dir.path(), false, 0, program);
    node.start();
    int port = node.port();
    std::printf("%s on port %d\n", program.c_str(), port);
    print("probes, no other connection:", probeSeries(port, probes));

    std::vector<int> slow;
    std::vector<int> idle;
    for (int i = 0; i < SlowConnections; ++i) {
        slow.push_back(connectTo(port));
    }
    for (int i = 0; i < IdleConnections; ++i) {
        idle.push_back(connectTo(port));
    }
    std::atomic<bool> done = false;
    std::thread trickle([&] {
        const std::string head = "GET /server.cgi/have/thread_41 HTTP/1.0\r\nX-Slow: ";
        for (size_t i = 0; !done; ++i) {
            char c = i < head.size() ? head[i] : 'a';
            for (int fd : slow) {
                ::send(fd, &c, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            }
            for (int wait = 0; wait < 20 && !done; ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    });
    // The slow clients have sent a few bytes before the probes start.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::printf("%d slow (1 byte/s) + %d idle connections open\n", stillOpen(slow),
                stillOpen(idle));
    print("probes while they are open:", probeSeries(port, probes));
    std::printf("after the probes still open: %d slow, %d idle\n", stillOpen(slow),
                stillOpen(idle));
    done = true;
    trickle.join();
    for (int fd : slow) {
        ::close(fd);
    }
    for (int fd : idle) {
        ::close(fd);
    }
    node.stop();
    return 0;
}
