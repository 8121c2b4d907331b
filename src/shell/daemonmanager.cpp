#include "shell/daemonmanager.h"

#include "shell/x11windows.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace bryndle {

namespace {

constexpr auto pollInterval = std::chrono::milliseconds(10);

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Polls until the condition holds or the time is up; a negative time waits for good.
template <class F> bool pollFor(int milliseconds, F condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (condition())
            return true;
        if (milliseconds >= 0 && std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(pollInterval);
    }
}

} // namespace

DaemonManagerException DaemonManagerException::fromErrno(int error) {
    return DaemonManagerException(std::strerror(error));
}

DaemonManager::DaemonManager(std::string programPath) : programPath_(std::move(programPath)) {
    setPause(nullptr);
}

void DaemonManager::setPause(Pause pause) {
    if (pause)
        pause_ = std::move(pause);
    else
        pause_ = [](int milliseconds) {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        };
}

DaemonManager::~DaemonManager() {
    if (started_ && !ended_) {
        try {
            // No events dispatched from inside a destructor.
            setPause(nullptr);
            stop();
        } catch (...) {
        }
    }
}

void DaemonManager::markStarted() {
    started_ = true;
}

void DaemonManager::start() {
    // An ignored SIGCHLD, inherited from whoever started the client, would let the system reap
    // the program as soon as it ends; its pid could then be reused before stop() signals it.
    struct sigaction chld {};
    if (sigaction(SIGCHLD, nullptr, &chld) == 0 && chld.sa_handler == SIG_IGN)
        std::signal(SIGCHLD, SIG_DFL);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    int error = posix_spawn_file_actions_init(&actions);
    if (error)
        throw DaemonManagerException::fromErrno(error);
    error = posix_spawnattr_init(&attributes);
    if (error) {
        posix_spawn_file_actions_destroy(&actions);
        throw DaemonManagerException::fromErrno(error);
    }
    const std::string folder = folderOf(programPath_);
    error = posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // The program starts with default signal handling and nothing blocked, whatever the client
    // has set up for itself.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    if (!error)
        error = posix_spawnattr_setsigdefault(&attributes, &all);
    if (!error)
        error = posix_spawnattr_setsigmask(&attributes, &none);
    if (!error)
        error =
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    if (!error) {
        char* argv[] = {const_cast<char*>(programPath_.c_str()), nullptr};
        // glibc reports a failed chdir or exec of the child here, not as a child that exits.
        error = posix_spawn(&pid, programPath_.c_str(), &actions, &attributes, argv, environ);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error)
        throw DaemonManagerException::fromErrno(error);
    pid_ = pid;
    markStarted();
}

void DaemonManager::showWindow(bool visible) {
    try {
        if (!window_)
            window_ = findWindow();
        if (!window_)
            return;
        X11Windows windows;
        windows.setVisible(window_, visible);
    } catch (...) {
        // Showing is a convenience: it never disturbs the caller.
    }
}

bool DaemonManager::waitUntilIdle(int milliseconds) {
    if (!started_)
        throw DaemonManagerException::fromErrno(ESRCH);
    return pollFor(milliseconds, [this] {
        if (reap())
            throw DaemonManagerException::fromErrno(ESRCH);
        return findWindow() != 0;
    });
}

bool DaemonManager::waitForExit(int milliseconds) {
    if (!started_)
        throw DaemonManagerException::fromErrno(ECHILD);
    return pollFor(milliseconds, [this] { return reap(); });
}

bool DaemonManager::reap() {
    if (ended_)
        return true;
    for (;;) {
        int status = 0;
        const pid_t result = waitpid(pid_, &status, WNOHANG);
        if (result == pid_) {
            ended_ = true;
            return true;
        }
        if (result == 0)
            return false;
        if (errno == EINTR)
            continue;
        throw DaemonManagerException::fromErrno(errno);
    }
}

void DaemonManager::stop() {
    if (!isStarted() || ended_)
        return;
    int firstError = 0;
    const auto note = [&firstError](int error) {
        if (!firstError)
            firstError = error;
    };
    // Until it has been waited for, the pid stays ours (a zombie keeps it), so neither signal
    // can reach another process.
    if (kill(pid_, SIGTERM) != 0)
        note(errno);
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMilliseconds_);
    bool killed = false;
    while (!ended_) {
        int status = 0;
        const pid_t result = waitpid(pid_, &status, WNOHANG);
        if (result == pid_) {
            ended_ = true;
        } else if (result < 0) {
            if (errno == EINTR)
                continue;
            // Not our child any more: somebody else has waited for it.
            note(errno);
            ended_ = true;
        } else if (!killed && std::chrono::steady_clock::now() >= end) {
            if (kill(pid_, SIGKILL) != 0)
                note(errno);
            killed = true;
        } else {
            pause_(int(pollInterval.count()));
        }
    }
    if (firstError)
        throw DaemonManagerException::fromErrno(firstError);
}

void DaemonManager::restart() {
    stop();
    started_ = false;
    ended_ = false;
    pid_ = 0;
    window_ = 0;
    start();
}

DaemonManager::Window DaemonManager::findChildByText(Window parent, const std::string& text) {
    X11Windows windows;
    for (Window w : windows.descendants(parent))
        if (windows.text(w) == text)
            return w;
    return 0;
}

void DaemonManager::addWindowStyle(long) {}

void DaemonManager::removeWindowStyle(long) {}

void DaemonManager::enableChild(const std::string&, bool) {}

void DaemonManager::enableChildrenOfClass(const std::string&, bool) {}

void DaemonManager::showChildrenOfClass(const std::string& className, bool visible) {
    if (!window_)
        return;
    X11Windows windows;
    for (Window w : childrenOfClass(window_, className))
        windows.setVisible(w, visible);
}

void DaemonManager::setTextOfChildrenOfClass(const std::string& className,
                                             const std::string& text) {
    if (!window_)
        return;
    X11Windows windows;
    for (Window w : childrenOfClass(window_, className))
        windows.setText(w, text);
}

DaemonManager::Window DaemonManager::findWindow() {
    if (!started_ || ended_)
        return 0;
    X11Windows windows;
    return windows.findByProcess(pid_);
}

std::vector<DaemonManager::Window> DaemonManager::childrenOfClass(Window parent,
                                                                  const std::string& className) {
    X11Windows windows;
    std::vector<Window> result;
    for (Window w : windows.descendants(parent))
        if (windows.className(w) == className)
            result.push_back(w);
    return result;
}

} // namespace bryndle
