#pragma once

// Helpers for the interface tests: a message box and a file dialog that answer for the user,
// a way to act on a modal window once it is open, and a test main on our own display class.

#include "toolkit/application.h"
#include "toolkit/filedialog.h"
#include "toolkit/messagebox.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QtTest>

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

// Runs the action on the next modal window that opens (checked every few milliseconds; the
// count only keeps a test from hanging if none ever opens).
inline void whenModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, notThis, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((modal && modal != notThis && modal->isVisible()) || ++*tries > 2000) {
            timer->stop();
            timer->deleteLater();
            if (modal && modal != notThis)
                action(modal);
        }
    });
    timer->start();
}

// Finds a named child or fails the test.
template <class T> T* child(QWidget* parent, const char* name) {
    T* widget = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!widget)
        qWarning("no child %s", name);
    return widget;
}

} // namespace bryndle::test

#define BRYNDLE_QTEST_MAIN(TestClass)                                                              \
    int main(int argc, char** argv) {                                                              \
        bryndle::Application application(argc, argv);                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
