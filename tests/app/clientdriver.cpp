// The client as the program runs it, with one addition for the tests of its end: once the main
// window is up it opens the options (ツール → オプション), and while that window shows it writes
// the file "options-open" in the current folder.
#include "app/client.h"
#include "foundation/variant.h"
#include "toolkit/application.h"

#include <QAction>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace {

QAction* optionsEntry() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<QMainWindow*>(widget);
        if (!window || !window->isVisible())
            continue;
        for (QAction* top : window->menuBar()->actions())
            for (QAction* entry : top->menu() ? top->menu()->actions() : QList<QAction*>())
                if (entry->text() == QStringLiteral("オプション(&O)"))
                    return entry;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    bryndle::sharedNull();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    bryndle::Application application(argc, argv);
    bryndle::Application::setApplicationName(QStringLiteral("bryndle"));
    bool asked = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!asked) {
            if (QAction* entry = optionsEntry()) {
                asked = true;
                // Not from inside this slot: the options run their own loop.
                QTimer::singleShot(0, entry, &QAction::trigger);
            }
            return;
        }
        const QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && modal->objectName() == QStringLiteral("OptionDialog")) {
            QFile(QStringLiteral("options-open")).open(QIODevice::WriteOnly);
            poll.stop();
        }
    });
    poll.start();
    return bryndle::runClient();
}
