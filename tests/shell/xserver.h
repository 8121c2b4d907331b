#pragma once

// A private Xvfb server for window tests: a free display number chosen by the server itself,
// no TCP listener, no reset when its last client leaves (a program connecting just then would be
// refused), stopped by its pid.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace bryndle::test {

class XServer {
public:
    static bool installed() { return std::filesystem::exists("/usr/bin/Xvfb"); }

    XServer() {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe failed");
        std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]),
                                         "-nolisten",     "tcp",        "-noreset",
                                         "-screen",       "0",          "800x600x24"};
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (error) {
            close(fds[0]);
            throw std::runtime_error("cannot start Xvfb");
        }
        // The server writes its display number once it accepts connections.
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            throw std::runtime_error("Xvfb did not start");
        display_ = ":" + number;
    }
    ~XServer() { stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts a program with this server as its display; stopped with the server.
    pid_t startClient(const std::string& program) {
        std::vector<std::string> variables;
        for (char** entry = environ; *entry; ++entry) {
            const std::string variable = *entry;
            if (variable.rfind("DISPLAY=", 0) != 0)
                variables.push_back(variable);
        }
        variables.push_back("DISPLAY=" + display_);
        std::vector<char*> envp;
        for (auto& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::string path = program;
        char* argv[] = {path.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
            return 0;
        clients_.push_back(pid);
        return pid;
    }

    void stop() {
        for (pid_t pid : clients_)
            end(pid);
        clients_.clear();
        if (pid_ > 0)
            end(pid_);
        pid_ = 0;
    }

    const std::string& display() const { return display_; }

private:
    static void end(pid_t pid) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }

    pid_t pid_ = 0;
    std::string display_;
    std::vector<pid_t> clients_;
};

} // namespace bryndle::test
