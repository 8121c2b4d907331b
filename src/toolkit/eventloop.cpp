#include "toolkit/eventloop.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <thread>

namespace bryndle {

namespace {

thread_local EventLoop* innermost = nullptr;
thread_local bool terminating = false;

void closeDialogsAndPopups() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    // A pop-up menu that will not close must not keep this from ending.
    for (int i = 0; i < 64 && QApplication::activePopupWidget(); ++i)
        QApplication::activePopupWidget()->close();
    QList<QPointer<QDialog>> dialogs;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
            dialogs << dialog;
    // Rejected rather than closed: a message box ignores a close without an escape button.
    for (const auto& dialog : dialogs)
        if (dialog && dialog->isVisible())
            dialog->reject();
}

} // namespace

EventLoop::EventLoop() = default;

EventLoop::~EventLoop() {
    if (running_)
        loop_.exit();
}

void EventLoop::exec() {
    if (terminating)
        return;
    outer_ = innermost;
    innermost = this;
    running_ = true;
    error_ = nullptr;
    loop_.exec();
    running_ = false;
    innermost = outer_;
    outer_ = nullptr;
    if (!innermost)
        terminating = false;
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

void EventLoop::terminateAll() {
    // Without a running loop there is nothing to end, and nothing would clear the state.
    if (innermost)
        terminating = true;
    closeDialogsAndPopups();
    for (EventLoop* loop = innermost; loop; loop = loop->outer_)
        loop->quit();
}

bool EventLoop::isTerminating() {
    return terminating;
}

void EventLoop::dispatchFor(int milliseconds) {
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace bryndle
