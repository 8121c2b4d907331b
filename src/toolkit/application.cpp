#include "toolkit/application.h"

#include "toolkit/eventloop.h"

namespace bryndle {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (!EventLoop::current())
            throw;
        EventLoop::fail(std::current_exception());
        return false;
    }
}

} // namespace bryndle
