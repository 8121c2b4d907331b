#pragma once

#include "foundation/exception.h"

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace bryndle {

// A failure of a process or window call, with the system's text for its error code.
class DaemonManagerException : public Exception {
public:
    using Exception::Exception;
    // The system's text for an errno value.
    static DaemonManagerException fromErrno(int error);
};

// Runs the node program for the user: started in its own folder without arguments, its window
// shown or hidden, ended at the client's end. One manager serves one start.
class DaemonManager {
public:
    using Window = unsigned long;

    explicit DaemonManager(std::string programPath);
    // Ends a program that is still running (a manager dropped without stop()).
    virtual ~DaemonManager();
    DaemonManager(const DaemonManager&) = delete;
    DaemonManager& operator=(const DaemonManager&) = delete;

    virtual void markStarted();
    // Returns with the program running, or raises DaemonManagerException.
    virtual void start();
    // Maps or withdraws the program's window; never raises, does nothing without one.
    virtual void showWindow(bool visible);
    // Waits until the program has made its window: true then, false on time-out.
    virtual bool waitUntilIdle(int milliseconds);
    // Waits for the program to end: true when it has, false on time-out.
    virtual bool waitForExit(int milliseconds);
    // Asks the program to end (SIGTERM), kills it (SIGKILL) if it has not ended after the grace
    // time, and returns once it has ended and been waited for; raises if a step failed.
    virtual void stop();
    virtual void restart();
    virtual bool isStarted() const { return started_; }
    // The kept window, 0 before the first showWindow() that found one.
    virtual Window window() const { return window_; }
    // The first window below the parent whose title is the text, or 0.
    virtual Window findChildByText(Window parent, const std::string& text);
    // Window styles and enabled states have no counterpart for X11 windows: these do nothing.
    virtual void addWindowStyle(long bits);
    virtual void removeWindowStyle(long bits);
    virtual void enableChild(const std::string& text, bool enabled);
    virtual void enableChildrenOfClass(const std::string& className, bool enabled);
    // Maps or withdraws every window below the kept one with that class.
    virtual void showChildrenOfClass(const std::string& className, bool visible);
    virtual void setTextOfChildrenOfClass(const std::string& className, const std::string& text);
    // The program's top-level window, or 0.
    virtual Window findWindow();
    virtual std::vector<Window> childrenOfClass(Window parent, const std::string& className);

    const std::string& programPath() const { return programPath_; }
    pid_t processId() const { return pid_; }
    // Whether the program has ended and been waited for.
    bool hasEnded() const { return ended_; }
    // How long stop() lets the program end by itself.
    void setGraceMilliseconds(int milliseconds) { graceMilliseconds_ = milliseconds; }
    // How stop() spends the time between two looks at the program: the thread sleeps unless an
    // interface passes a wait that keeps its events dispatched.
    using Pause = std::function<void(int milliseconds)>;
    void setPause(Pause pause);

private:
    // Collects the ended program without blocking; true once it has ended.
    bool reap();

    pid_t pid_ = 0;
    bool started_ = false;
    bool ended_ = false;
    std::string programPath_;
    Window window_ = 0;
    int graceMilliseconds_ = 5000;
    Pause pause_;
};

} // namespace bryndle
