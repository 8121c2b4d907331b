#include "foundation/exception.h"
#include "support/tempdir.h"
#include "toolkit/eventloop.h"
#include "toolkit/keyfilter.h"
#include "toolkit/modalwindow.h"
#include "toolkit/screenplacement.h"
#include "toolkit/settingsprogram.h"
#include "toolkit/shell.h"
#include "toolkit/trayitem.h"
#include "toolkit/uitest.h"

#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
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

    void messageBoxShowsItsTextAsPlainText() {
        MessageBox::setInstance(nullptr);
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        whenModal([&](QWidget* box) {
            auto* label = child<QLabel>(box, "qt_msgbox_label");
            shown = label->text();
            format = label->textFormat();
            box->close();
        });
        MessageBox::warning(QStringLiteral("<b>h</b>"));
        QCOMPARE(shown, QStringLiteral("<b>h</b>"));
        QCOMPARE(format, Qt::PlainText);
    }

    // The end of the program: every dialog and nested loop ends, also a box shown by the
    // toolkit's own loop, and no new one waits for the user until the outermost loop is left.
    void terminationEndsDialogsAndEveryNestedLoop() {
        MessageBox::setInstance(nullptr);
        EventLoop outer;
        QDialog window;
        int boxAnswer = 0;
        bool windowClosed = false, laterWindowReturned = false, outerEnded = false;
        QTimer::singleShot(0, EventLoop::guard([&] {
                               whenModal([&](QWidget* modal) {
                                   // The window, then a box over it.
                                   if (modal != &window)
                                       return;
                                   whenModal([](QWidget*) { EventLoop::terminateAll(); }, &window);
                                   boxAnswer = MessageBox::instance().open(
                                       &window, QStringLiteral("t"), QStringLiteral("?"),
                                       MessageBox::Icon::None, MessageBox::Yes | MessageBox::No);
                               });
                               runModal(window);
                               windowClosed = !window.isVisible();
                               QDialog later;
                               runModal(later);
                               laterWindowReturned = true;
                           }));
        // Only a broken termination leaves the loop running this long.
        QTimer rescue;
        rescue.setSingleShot(true);
        QObject::connect(&rescue, &QTimer::timeout, [&] {
            window.reject();
            outer.quit();
        });
        rescue.start(20000);
        outer.exec();
        outerEnded = rescue.isActive();
        QCOMPARE(boxAnswer, MessageBox::No);
        QVERIFY(windowClosed);
        QVERIFY(laterWindowReturned);
        QVERIFY(outerEnded);
        QVERIFY(!EventLoop::isTerminating());
        // A loop after the termination runs normally.
        int after = 0;
        QTimer::singleShot(0, [&] {
            ++after;
            outer.quit();
        });
        outer.exec();
        QCOMPARE(after, 1);
    }

    void placementIsKeptOnTheScreenItOverlapsMost() {
        const QList<QRect> areas = {QRect(0, 0, 1024, 768), QRect(1024, 0, 800, 600)};
        // Null when the window keeps its defaults.
        const auto placed = [](const QRect& frame, const QList<QRect>& on) {
            return placeOnScreen(frame, on).value_or(QRect());
        };
        // Mostly off the corner: moved back whole, the size kept.
        QCOMPARE(placed(QRect(956, 756, 700, 500), {areas[0]}), QRect(324, 268, 700, 500));
        // Already on a screen: unchanged, also on the second one.
        QCOMPARE(placed(QRect(30, 40, 640, 480), areas), QRect(30, 40, 640, 480));
        QCOMPARE(placed(QRect(1100, 10, 300, 200), areas), QRect(1100, 10, 300, 200));
        // Across both: onto the one it overlaps most.
        QCOMPARE(placed(QRect(900, 100, 400, 300), areas), QRect(1024, 100, 400, 300));
        // Larger than the screen: shrunk to it.
        QCOMPARE(placed(QRect(-50, -50, 2000, 1000), {areas[0]}), QRect(0, 0, 1024, 768));
        // A screen that does not start at 0,0.
        const QRect leftOfIt(-800, -100, 800, 600);
        QCOMPARE(placed(QRect(0, 0, 200, 200), {leftOfIt}), QRect());
        QCOMPARE(placed(QRect(-100, 450, 200, 200), {leftOfIt}), QRect(-200, 300, 200, 200));
        // Off every screen, or without a size: the defaults.
        QCOMPARE(placed(QRect(5000, 5000, 700, 500), areas), QRect());
        QCOMPARE(placed(QRect(10, 10, 0, 500), areas), QRect());
        QCOMPARE(placed(QRect(10, 10, 700, -5), areas), QRect());
        QCOMPARE(placed(QRect(10, 10, 700, 500), {}), QRect());
        // The screens of the display: the offscreen one holds a small window as it is.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect small(screen.topLeft() + QPoint(10, 20), QSize(100, 80));
        QCOMPARE(placeOnScreen(small).value_or(QRect()), small);
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
