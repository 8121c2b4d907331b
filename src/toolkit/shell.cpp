#include "toolkit/shell.h"

#include "toolkit/eventloop.h"

#include <QCloseEvent>
#include <QTimer>

namespace bryndle {

Shell::Shell(QWidget* parent) : QMainWindow(parent) {}

void Shell::closeEvent(QCloseEvent* event) {
    bool accept = true;
    if (closeHandler_ && !EventLoop::protect([&] { accept = closeHandler_(); }))
        accept = false;
    if (!accept) {
        event->ignore();
        return;
    }
    event->accept();
    if (closedHandler_)
        EventLoop::protect(closedHandler_);
}

void Shell::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && iconifyHandler_) {
        // Not from inside the state change itself: the handler may hide the window.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                EventLoop::protect(iconifyHandler_);
        });
    }
}

} // namespace bryndle
