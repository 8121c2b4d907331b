#pragma once

#include <QEventLoop>

#include <exception>
#include <functional>

namespace bryndle {

// A nested event loop for the main window and the modal dialogs. A handler that raises while
// a loop runs ends the innermost loop, and exec() raises the error again to its caller, so an
// error travels out of a dialog to the window that opened it, as if the loop were a call.
class EventLoop {
public:
    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Dispatches events until quit(); raises the error of a handler that failed meanwhile.
    void exec();
    void quit();
    bool isRunning() const { return running_; }

    // The innermost running loop, or null.
    static EventLoop* current();
    // Ends the innermost loop with the error; without a running loop the error is raised here.
    static void fail(std::exception_ptr error);
    // Runs a handler; its error goes to the innermost loop. False when it raised.
    static bool protect(const std::function<void()>& handler);
    // A handler for Qt signals that runs through protect().
    template <class F> static auto guard(F handler) {
        return [handler = std::move(handler)]() { protect(handler); };
    }

    // The program is ending: closes the open dialogs and pop-up menus and ends every running
    // loop. Until the outermost loop has returned, exec() returns at once, so that no handler
    // below can wait on a new dialog.
    static void terminateAll();
    static bool isTerminating();
    // Dispatches events for the time given instead of blocking the thread (outside any loop's
    // bookkeeping, so that a termination does not cut it short).
    static void dispatchFor(int milliseconds);

private:
    QEventLoop loop_;
    EventLoop* outer_ = nullptr;
    bool running_ = false;
    std::exception_ptr error_;
};

} // namespace bryndle
