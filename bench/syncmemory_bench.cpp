// Peak memory of a large fetch: `bryndle-cli fetch` of a thread of 1,000,000 records (or the
// count given as the first argument) from a loopback node that makes its answers as it sends
// them, run as a child process; its peak resident memory is getrusage's ru_maxrss of the
// child. Beside it the same for `bryndle-cli --help`, the program's own floor. A second
// argument names another bryndle-cli to measure (an older build, for comparison).

#include "node/threadfile.h"
#include "support/tempdir.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace bryndle;

namespace {

constexpr uint32_t FirstStamp = 1600000000;

std::string recordId(long n) {
    char id[40];
    std::snprintf(id, sizeof id, "%08lx%024lx",
                  static_cast<unsigned long>(n) * 2654435761ul % 0xffffffff,
                  static_cast<unsigned long>(n));
    return id;
}

// A node that knows one thread of `records` records and answers have, head, get from 0 and
// registration, closing the connection after each answer.
class StreamingNode {
public:
    StreamingNode(std::string file, long records) : file_(std::move(file)), records_(records) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("node: cannot listen");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~StreamingNode() {
        stopping_ = true;
        thread_.join();
        ::close(listener_);
    }
    uint16_t port() const { return port_; }

private:
    void run() {
        pollfd entry{listener_, POLLIN, 0};
        while (!stopping_) {
            if (::poll(&entry, 1, 50) <= 0)
                continue;
            int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            answer(fd, readTarget(fd));
            ::close(fd);
        }
    }

    static std::string readTarget(int fd) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<size_t>(n));
        }
        size_t start = request.find(' ') + 1;
        return request.substr(start, request.find(' ', start) - start);
    }

    static bool sendAll(int fd, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    void answer(int fd, const std::string& target) {
        const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
        const std::string server = "/server.cgi/";
        if (target.rfind("/thread.cgi/", 0) == 0) {
            sendAll(fd, ok + "registered\n");
        } else if (target == server + "have/" + file_) {
            sendAll(fd, ok + "YES\n");
        } else if (target == server + "head/" + file_ + "/0-" ||
                   target == server + "get/" + file_ + "/0-") {
            const bool head = target.rfind(server + "head/", 0) == 0;
            std::string chunk = ok;
            for (long n = 0; n < records_; ++n) {
                chunk += std::to_string(FirstStamp + n) + "<>" + recordId(n);
                if (!head)
                    chunk += "<>body:大きなスレッドの書き込み " + std::to_string(n) +
                             "<br>二行目 &gt;&gt;" + recordId(n - 1).substr(0, 8) +
                             "<>name:名無し" + std::to_string(n % 17) +
                             (n % 5 == 0 ? "<>mail:sage" : "");
                chunk += "\n";
                if (chunk.size() >= 65536) {
                    if (!sendAll(fd, chunk))
                        return;
                    chunk.clear();
                }
            }
            sendAll(fd, chunk);
        } else {
            sendAll(fd, "HTTP/1.1 404 Not Found\r\n\r\n");
        }
    }

    std::string file_;
    long records_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

struct ChildRun {
    int status = -1;
    double seconds = 0;
    long maxRssKiB = 0;
    std::string out;
};

// Runs bryndle-cli in a folder; its output, exit status, time and peak resident memory.
ChildRun runCli(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& folder) {
    const std::string outFile = folder + "/out.txt";
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0 || !std::freopen(outFile.c_str(), "w", stdout))
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ChildRun run;
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        throw std::runtime_error("cannot run bryndle-cli");
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKiB = usage.ru_maxrss;
    if (FILE* out = std::fopen(outFile.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
            run.out.append(buffer, n);
        std::fclose(out);
    }
    return run;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
        const std::string program = argc > 2 ? argv[2] : BRYNDLE_CLI_PATH;
        const std::string title = "大きなスレッド";
        test::TempDir dir;
        StreamingNode node(threadFileName(title), records);
        const std::string nodeOption = "127.0.0.1:" + std::to_string(node.port());

        const ChildRun floor = runCli(program, {"--help"}, dir.path().string());
        const ChildRun fetch =
            runCli(program, {"--node", nodeOption, "--timeout", "600", "fetch", title},
                   dir.path().string());
        if (fetch.status != 0)
            throw std::runtime_error("bryndle-cli fetch failed: " + fetch.out);
        std::printf("bryndle-cli fetch of a %ld-record thread from a loopback node\n", records);
        std::printf("  %s", fetch.out.c_str());
        std::printf("  time                        %8.1f s\n", fetch.seconds);
        std::printf("  peak resident memory        %8.1f MB\n", fetch.maxRssKiB / 1024.0);
        std::printf("  floor: bryndle-cli --help   %8.1f MB\n", floor.maxRssKiB / 1024.0);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
}
