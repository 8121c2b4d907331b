#include "toolkit/keyfilter.h"

#include "toolkit/eventloop.h"

#include <QKeyEvent>

namespace bryndle {

KeyFilter::KeyFilter(QObject* target, std::function<bool(QKeyEvent*)> handler)
    : QObject(target), handler_(std::move(handler)) {
    target->installEventFilter(this);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    bool accepted = true;
    if (!EventLoop::protect([&] { accepted = handler_(static_cast<QKeyEvent*>(event)); }))
        accepted = false;
    return !accepted;
}

} // namespace bryndle
