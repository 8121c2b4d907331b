#pragma once

// Runs the built bryndle-node program on a free 127.0.0.1 port with its data in a given
// folder, without a display, and stops it by its pid.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace bryndle::test {

class NodeProcess {
public:
    // port 0: any free port. The program is the built node unless another is named.
    NodeProcess(std::filesystem::path dataFolder, bool samples, int port = 0,
                std::string program = BRYNDLE_NODE_PROGRAM)
        : dataFolder_(std::move(dataFolder)), samples_(samples), requestedPort_(port),
          program_(std::move(program)) {}
    ~NodeProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    NodeProcess(const NodeProcess&) = delete;
    NodeProcess& operator=(const NodeProcess&) = delete;

    // Starts the node and waits until it has written its port file.
    void start() {
        std::filesystem::path portFile = dataFolder_ / "node.port";
        std::filesystem::remove(portFile);
        std::vector<std::string> variables;
        for (char** entry = environ; *entry; ++entry) {
            std::string variable = *entry;
            if (variable.rfind("DISPLAY=", 0) == 0 || variable.rfind("BRYNDLE_NODE_", 0) == 0) {
                continue;
            }
            variables.push_back(variable);
        }
        variables.push_back("BRYNDLE_NODE_PORT=" + std::to_string(requestedPort_));
        variables.push_back("BRYNDLE_NODE_DATA=" + dataFolder_.string());
        variables.push_back(std::string("BRYNDLE_NODE_SAMPLES=") + (samples_ ? "1" : "0"));
        std::vector<char*> envp;
        for (std::string& variable : variables) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        std::string program = program_;
        char* argv[] = {program.data(), nullptr};
        if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + program);
        }
        // A readiness wait, not a measurement: the limit only keeps a broken node from
        // hanging the test run.
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < limit) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                throw std::runtime_error("bryndle-node ended at start");
            }
            std::ifstream in(portFile);
            if (in >> port_ && port_ > 0) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        throw std::runtime_error("bryndle-node did not start listening");
    }

    // Sends the signal and waits for the end; the exit status (or -1 when killed by a signal).
    int stop(int signal = SIGTERM) {
        if (pid_ <= 0) {
            return -1;
        }
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int port() const { return port_; }
    // The exit status of a node that ended at start.
    int exitStatus() const { return exitStatus_; }
    pid_t pid() const { return pid_; }

private:
    std::filesystem::path dataFolder_;
    bool samples_;
    int requestedPort_;
    std::string program_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
    int port_ = 0;
};

} // namespace bryndle::test
