#include "toolkit/modalwindow.h"

#include "toolkit/eventloop.h"

#include <QDialog>

namespace bryndle {

void runModal(QDialog& window) {
    // The program is ending: a new window would only flash.
    if (EventLoop::isTerminating())
        return;
    window.setWindowModality(Qt::ApplicationModal);
    EventLoop loop;
    const auto finished = QObject::connect(&window, &QDialog::finished, [&loop] { loop.quit(); });
    const auto destroyed = QObject::connect(&window, &QObject::destroyed, [&loop] { loop.quit(); });
    window.show();
    window.raise();
    window.activateWindow();
    try {
        loop.exec();
    } catch (...) {
        QObject::disconnect(finished);
        QObject::disconnect(destroyed);
        window.hide();
        throw;
    }
    QObject::disconnect(finished);
    QObject::disconnect(destroyed);
}

} // namespace bryndle
