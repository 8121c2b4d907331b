#include "foundation/exception.h"
#include "support/tempdir.h"
#include "toolkit/eventloop.h"
#include "toolkit/keyfilter.h"
#include "toolkit/modalwindow.h"
#include "toolkit/settingsprogram.h"
#include "toolkit/shell.h"
#include "toolkit/trayitem.h"
#include "toolkit/uitest.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>

#include <filesystem>
#include <fstream>

using namespace bryndle;
using namespace bryndle::test;

class ToolkitTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MessageBox::setInstance(nullptr); }

    void loopRaisesTheErrorOfAGuardedHandler() {
        EventLoop loop;
        int after = 0;
        QTimer::singleShot(0, EventLoop::guard([] { throw Exception("handler failed"); }));
        // A second error is a consequence of the first and is not the one reported.
        QTimer::singleShot(0, EventLoop::guard([] { throw Exception("second"); }));
        QString message;
        try {
            loop.exec();
        } catch (const Exception& e) {
            message = QString::fromStdString(e.message());
        }
        QCOMPARE(message, QStringLiteral("handler failed"));
        QVERIFY(!loop.isRunning());
        QCOMPARE(EventLoop::current(), nullptr);
        // The loop can run again and then ends normally.
        QTimer::singleShot(0, [&] {
            ++after;
            loop.quit();
        });
        loop.exec();
        QCOMPARE(after, 1);
    }

    void errorEndsOnlyTheInnermostLoop() {
        EventLoop outer;
        QString innerError;
        bool outerContinued = false;
        QTimer::singleShot(0, EventLoop::guard([&] {
                               EventLoop inner;
                               QCOMPARE(EventLoop::current(), &outer);
                               QTimer::singleShot(
                                   0, EventLoop::guard([] { throw Exception("inner"); }));
                               try {
                                   inner.exec();
                               } catch (const Exception& e) {
                                   innerError = QString::fromStdString(e.message());
                               }
                               QCOMPARE(EventLoop::current(), &outer);
                               QTimer::singleShot(0, [&] {
                                   outerContinued = true;
                                   outer.quit();
                               });
                           }));
        outer.exec();
        QCOMPARE(innerError, QStringLiteral("inner"));
        QVERIFY(outerContinued);
    }

    void errorOfAnUnguardedHandlerEndsTheLoopToo() {
        EventLoop loop;
        QObject sender;
        QTimer::singleShot(0, &sender, [] { throw Exception("unguarded"); });
        QString message;
        try {
            loop.exec();
        } catch (const Exception& e) {
            message = QString::fromStdString(e.message());
        }
        QCOMPARE(message, QStringLiteral("unguarded"));
    }

    void protectWithoutALoopLetsTheErrorThrough() {
        bool thrown = false;
        try {
            EventLoop::protect([] { throw Exception("direct"); });
        } catch (const Exception&) {
            thrown = true;
        }
        QVERIFY(thrown);
        QVERIFY(EventLoop::protect([] {}));
    }

    void messageBoxInstanceIsReplaceable() {
        auto* box = RecordingMessageBox::install();
        MessageBox::warning(QStringLiteral("警告文"));
        QCOMPARE(box->shown.size(), size_t{1});
        QCOMPARE(box->shown[0].title, QStringLiteral("bryndle"));
        QCOMPARE(box->shown[0].text, QStringLiteral("警告文"));
        QCOMPARE(box->shown[0].icon, MessageBox::Icon::Warning);
        QCOMPARE(box->shown[0].buttons, MessageBox::OK);
        QVERIFY(!box->shown[0].hadParent);

        box->answers = {MessageBox::Yes, MessageBox::No};
        QVERIFY(MessageBox::askYesNo(nullptr, QStringLiteral("t"), QStringLiteral("q")));
        QVERIFY(!MessageBox::askYesNo(nullptr, QStringLiteral("t"), QStringLiteral("q")));
        QCOMPARE(box->shown[1].buttons, MessageBox::Yes | MessageBox::No);
        QCOMPARE(box->shown[1].icon, MessageBox::Icon::None);

        MessageBox::setInstance(nullptr);
        QVERIFY(dynamic_cast<RecordingMessageBox*>(&MessageBox::instance()) == nullptr);
    }

    void toolkitMessageBoxAnswersWithThePressedButton() {
        MessageBox::setInstance(nullptr);
        QString title;
        QStringList buttons;
        whenModal([&](QWidget* box) {
            title = box->windowTitle();
            for (auto* button : box->findChildren<QPushButton*>())
                buttons << button->text();
            for (auto* button : box->findChildren<QPushButton*>())
                if (button->text() == QStringLiteral("いいえ(&N)"))
                    button->click();
        });
        const int answer =
            MessageBox::instance().open(nullptr, QStringLiteral("質問"), QStringLiteral("?"),
                                        MessageBox::Icon::None, MessageBox::Yes | MessageBox::No);
        QCOMPARE(answer, MessageBox::No);
        QCOMPARE(title, QStringLiteral("質問"));
        buttons.sort();
        QCOMPARE(buttons, QStringList({QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
    }

    void keyFilterRefusesWhatTheHandlerRefuses() {
        QLineEdit edit;
        new KeyFilter(&edit, [](QKeyEvent* event) { return event->text() != QStringLiteral("x"); });
        QTest::keyClicks(&edit, QStringLiteral("axbx-"));
        QCOMPARE(edit.text(), QStringLiteral("ab-"));
        // Editing keys still reach the field.
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QStringLiteral("ab"));
    }

    void shellAsksBeforeClosing() {
        Shell shell;
        bool allow = false;
        int asked = 0, closed = 0;
        shell.setCloseHandler([&] {
            ++asked;
            return allow;
        });
        shell.setClosedHandler([&] { ++closed; });
        shell.show();
        QVERIFY(!shell.close());
        QVERIFY(shell.isVisible());
        QCOMPARE(closed, 0);
        allow = true;
        QVERIFY(shell.close());
        QVERIFY(!shell.isVisible());
        QCOMPARE(asked, 2);
        QCOMPARE(closed, 1);
    }

    void shellReportsMinimising() {
        Shell shell;
        int iconified = 0;
        shell.setIconifyHandler([&] {
            ++iconified;
            shell.hide();
        });
        shell.show();
        QCoreApplication::processEvents();
        QCOMPARE(iconified, 0);
        shell.setWindowState(Qt::WindowMinimized);
        QCoreApplication::processEvents();
        QCOMPARE(iconified, 1);
        QVERIFY(!shell.isVisible());
    }

    void modalWindowRunsUntilClosed() {
        QDialog window;
        auto* button = new QPushButton(QStringLiteral("close"), &window);
        QObject::connect(button, &QPushButton::clicked, [&] { window.close(); });
        bool wasModal = false;
        whenModal([&](QWidget* modal) {
            wasModal = modal == &window;
            button->click();
        });
        runModal(window);
        QVERIFY(wasModal);
        QVERIFY(!window.isVisible());
    }

    void modalWindowRaisesItsHandlersError() {
        QDialog window;
        auto* button = new QPushButton(QStringLiteral("fail"), &window);
        QObject::connect(button, &QPushButton::clicked,
                         EventLoop::guard([] { throw Exception("dialog handler failed"); }));
        whenModal([&](QWidget*) { button->click(); });
        QString message;
        try {
            runModal(window);
        } catch (const Exception& e) {
            message = QString::fromStdString(e.message());
        }
        QCOMPARE(message, QStringLiteral("dialog handler failed"));
        QVERIFY(!window.isVisible());
    }

    void settingsProgramIsTheFirstInstalledCandidate() {
        TempDir dir;
        const std::string script = dir.file("settings");
        const std::string plain = dir.file("plain");
        std::ofstream(script) << "#!/bin/sh\n";
        std::ofstream(plain) << "text\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        const QString scriptPath = QString::fromStdString(script);

        auto found = findSettingsProgram({{QStringLiteral("no-such-settings-program-xyz"), {}},
                                          {QString::fromStdString(plain), {}},
                                          {scriptPath, {QStringLiteral("network")}},
                                          {QStringLiteral("sh"), {}}});
        QVERIFY(found.has_value());
        QCOMPARE(found->program, scriptPath);
        QCOMPARE(found->arguments, QStringList{QStringLiteral("network")});

        found = findSettingsProgram({{QStringLiteral("sh"), {QStringLiteral("-c")}}});
        QVERIFY(found.has_value());
        QVERIFY(found->program.endsWith(QStringLiteral("/sh")));

        QVERIFY(!findSettingsProgram({{QStringLiteral("no-such-settings-program-xyz"), {}}}));
        QVERIFY(!networkSettingsPrograms().empty());
    }

    void trayItemHandsClicksAndMenuRequestsOn() {
        TrayItem tray;
        int selected = 0, menus = 0;
        tray.setSelectionHandler([&] { ++selected; });
        tray.setMenuDetectHandler([&] { ++menus; });
        tray.setToolTip(QStringLiteral("Bryndle\n動作中"));
        QCOMPARE(tray.toolTip(), QStringLiteral("Bryndle\n動作中"));
        tray.show();
        emit tray.icon()->activated(QSystemTrayIcon::Trigger);
        emit tray.icon()->activated(QSystemTrayIcon::Context);
        emit tray.icon()->activated(QSystemTrayIcon::MiddleClick);
        QCOMPARE(selected, 1);
        QCOMPARE(menus, 1);
        tray.dispose();
        QVERIFY(tray.isDisposed());
        QVERIFY(!tray.isVisible());
        tray.setToolTip(QStringLiteral("ignored"));
        tray.dispose();
    }
};

BRYNDLE_QTEST_MAIN(ToolkitTest)
#include "toolkit_test.moc"
