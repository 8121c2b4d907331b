#pragma once

// Helpers for the interface tests: a message box and a file dialog that answer for the user,
// a way to act on a modal window once it is open, look-ups that fail the test instead of
// crashing it, and a test main on our own display class (optionally on a screen of given
// geometry).

#include "toolkit/application.h"
#include "toolkit/filedialog.h"
#include "toolkit/messagebox.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace bryndle::test {

struct ShownMessage {
    QString title;
    QString text;
    MessageBox::Icon icon;
    int buttons;
    bool hadParent;
};

// Records every box and answers from a queue (then with OK, or No when OK is not offered).
class RecordingMessageBox : public MessageBox {
public:
    int open(QWidget* parent, const QString& title, const QString& text, Icon icon,
             int buttons) override {
        shown.push_back({title, text, icon, buttons, parent != nullptr});
        if (onShow)
            onShow();
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return (buttons & OK) ? OK : No;
    }

    // Installs a fresh box as the process-wide one and returns it.
    static RecordingMessageBox* install() {
        auto box = std::make_unique<RecordingMessageBox>();
        auto* raw = box.get();
        MessageBox::setInstance(std::move(box));
        return raw;
    }

    std::vector<ShownMessage> shown;
    std::deque<int> answers;
    std::function<void()> onShow;
};

class RecordingFileDialog : public FileDialog {
public:
    QString openFile(QWidget*, const QString& filter) override {
        filters.push_back(filter);
        return answer;
    }
    QString saveFile(QWidget*, const QString& suggestedPath) override {
        suggestions.push_back(suggestedPath);
        return saveAnswer;
    }
    static RecordingFileDialog* install() {
        auto dialog = std::make_unique<RecordingFileDialog>();
        auto* raw = dialog.get();
        FileDialog::setInstance(std::move(dialog));
        return raw;
    }

    QString answer;
    std::vector<QString> filters;
    QString saveAnswer;
    std::vector<QString> suggestions;
};

// The stand-ins handed out for widgets that were not found; gone before the display.
inline std::vector<std::unique_ptr<QObject>>& standIns() {
    static std::vector<std::unique_ptr<QObject>> objects;
    return objects;
}

// What a look-up found, or, when it found nothing, a fresh stand-in after failing the test with
// the name: the calls that follow go to the stand-in, and the binary goes on to the next test.
template <class T> T* orStandIn(T* found, const QString& what) {
    if (found)
        return found;
    QTest::qFail(qPrintable(QStringLiteral("not found: ") + what), __FILE__, __LINE__);
    auto standIn = std::make_unique<T>();
    T* raw = standIn.get();
    standIns().push_back(std::move(standIn));
    return raw;
}

inline void closeModal(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

// Runs the action on the next modal window that opens (checked every few milliseconds; the
// count only keeps a test from hanging if none ever opens). A window still open after an
// action that failed the test is closed, so that the test ends; so is one left open for ten
// seconds more, which fails the test.
inline void whenModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, notThis, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((modal && modal != notThis && modal->isVisible()) || ++*tries > 2000) {
            timer->stop();
            timer->deleteLater();
            if (!modal || modal == notThis)
                return;
            const QPointer<QWidget> window = modal;
            action(modal);
            if (window && window->isVisible() && QTest::currentTestFailed())
                closeModal(window);
            // Left open by a fault, the window would keep the test waiting for good.
            else if (window && window->isVisible())
                QTimer::singleShot(10000, window, [window] {
                    if (!window->isVisible())
                        return;
                    QTest::qFail("the modal window was left open", __FILE__, __LINE__);
                    closeModal(window);
                });
        }
    });
    timer->start();
}

// Finds a named child, or fails the test and hands out a stand-in.
template <class T> T* child(QWidget* parent, const char* name) {
    T* widget = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    return orStandIn(widget, QString::fromLatin1(name));
}

// The first child of the type, or a stand-in after failing the test.
template <class T> T* anyChild(QWidget* parent) {
    T* widget = parent ? parent->findChild<T*>() : nullptr;
    return orStandIn(widget, QString::fromLatin1(T::staticMetaObject.className()));
}

// Makes the offscreen display show one screen with this geometry (before the display exists).
inline void useOffscreenScreen(const QRect& geometry) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qgetenv("QT_QPA_PLATFORM") != "offscreen")
        return;
    const QString path = QDir::temp().filePath(
        QStringLiteral("bryndle-screen-%1.json").arg(QCoreApplication::applicationPid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral(R"({"screens": [{"name": "test", "x": %1, "y": %2, "width": %3,
                                 "height": %4, "logicalDpi": 96, "logicalBaseDpi": 96,
                                 "dpr": 1}]})")
                   .arg(geometry.x())
                   .arg(geometry.y())
                   .arg(geometry.width())
                   .arg(geometry.height())
                   .toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
    // Read when the display is made; removed when the program ends.
    static const struct Remove {
        std::string path;
        ~Remove() { std::remove(path.c_str()); }
    } remove{path.toStdString()};
}

} // namespace bryndle::test

#define BRYNDLE_QTEST_MAIN_BODY(TestClass)                                                         \
    bryndle::Application application(argc, argv);                                                  \
    int status = 0;                                                                                \
    {                                                                                              \
        TestClass test;                                                                            \
        status = QTest::qExec(&test, argc, argv);                                                  \
    }                                                                                              \
    bryndle::test::standIns().clear();                                                             \
    return status;

#define BRYNDLE_QTEST_MAIN(TestClass)                                                              \
    int main(int argc, char** argv) {                                                              \
        BRYNDLE_QTEST_MAIN_BODY(TestClass)                                                         \
    }

// The same on an offscreen screen of the given geometry.
#define BRYNDLE_QTEST_MAIN_ON_SCREEN(TestClass, x, y, width, height)                               \
    int main(int argc, char** argv) {                                                              \
        bryndle::test::useOffscreenScreen(QRect(x, y, width, height));                             \
        BRYNDLE_QTEST_MAIN_BODY(TestClass)                                                         \
    }
