#include "toolkit/eventloop.h"

namespace bryndle {

namespace {
thread_local EventLoop* innermost = nullptr;
}

EventLoop::EventLoop() = default;

EventLoop::~EventLoop() {
    if (running_)
        loop_.exit();
}

void EventLoop::exec() {
    outer_ = innermost;
    innermost = this;
    running_ = true;
    error_ = nullptr;
    loop_.exec();
    running_ = false;
    innermost = outer_;
    outer_ = nullptr;
    if (error_) {
        auto error = error_;
        error_ = nullptr;
        std::rethrow_exception(error);
    }
}

void EventLoop::quit() {
    loop_.exit();
}

EventLoop* EventLoop::current() {
    return innermost;
}

void EventLoop::fail(std::exception_ptr error) {
    EventLoop* loop = innermost;
    if (!loop)
        std::rethrow_exception(error);
    // The first error wins; later ones are consequences of it.
    if (!loop->error_)
        loop->error_ = error;
    loop->quit();
}

bool EventLoop::protect(const std::function<void()>& handler) {
    if (!innermost) {
        handler();
        return true;
    }
    try {
        handler();
        return true;
    } catch (...) {
        fail(std::current_exception());
        return false;
    }
}

} // namespace bryndle
