#include "config/configuration.h"
#include "foundation/sqliteserializer.h"
#include "shell/daemonmanager.h"
#include "shell/mainform.h"
#include "shell/wrapperobject.h"
#include "support/recordingcomposite.h"
#include "support/tempdir.h"
#include "toolkit/shell.h"
#include "toolkit/trayitem.h"
#include "toolkit/uitest.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QSystemTrayIcon>

#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using namespace bryndle;
using namespace bryndle::test;
namespace fs = std::filesystem;

namespace {

std::vector<int64_t> storedPlacement() {
    const VArrayPtr record = SQLiteSerializer("environ.db", "MainForm").load();
    std::vector<int64_t> values;
    for (const auto& value : record->values())
        values.push_back(value->toLong());
    return values;
}

bool placementStored() {
    try {
        SQLiteSerializer("environ.db", "MainForm").load();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

QMenu* menuNamed(Shell* shell, const QString& title) {
    QMenu* found = nullptr;
    for (QAction* entry : shell ? shell->menuBar()->actions() : QList<QAction*>())
        if (entry->text() == title)
            found = entry->menu();
    return orStandIn(found, QStringLiteral("menu ") + title);
}

QStringList entryTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* entry : menu->actions())
        texts << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
    return texts;
}

QAction* entryNamed(QMenu* menu, const QString& text) {
    QAction* found = nullptr;
    for (QAction* entry : menu->actions())
        if (entry->text() == text)
            found = entry;
    return orStandIn(found, QStringLiteral("entry ") + text);
}

QAction* entryAt(QMenu* menu, int index) {
    return orStandIn(menu->actions().value(index), QStringLiteral("entry %1").arg(index));
}

// The system's text for an error number, in the user's language.
QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

std::string writeScript(const fs::path& path, const std::string& body) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
}

bool processExists(pid_t pid) {
    return pid > 0 && kill(pid, 0) == 0;
}

const QString title = QStringLiteral("Bryndle a 0.14");
const QString startErrorTail = QStringLiteral(" \n\n朔の実行中にエラーが発生したため朔の制御オプシ"
                                              "ョンをOFFにします\nオプションを再設定してください");

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScopedCurrentDir> cwd_;
    RecordingMessageBox* box_ = nullptr;
    RecordingFileDialog* files_ = nullptr;

    Configuration& config() { return Configuration::instance(); }

    void copyIcons(const std::vector<std::string>& except = {}) {
        const fs::path source =
            fs::path(qgetenv("BRYNDLE_SOURCE_DIR").toStdString()) / "data" / "icons";
        fs::create_directories("icons");
        for (const auto& entry : fs::directory_iterator(source)) {
            if (entry.path().extension() != ".png")
                continue;
            if (std::find(except.begin(), except.end(), entry.path().stem().string()) !=
                except.end())
                continue;
            fs::copy_file(entry.path(), fs::path("icons") / entry.path().filename());
        }
    }

    // Only a fault keeps a run going this long: then the flag is set, the extra step runs and
    // the open dialogs are rejected, so that the run returns and the test fails instead of
    // hanging.
    std::unique_ptr<QTimer> rescueAfter(bool* rescued, std::function<void()> extra = {}) {
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        QObject::connect(timer.get(), &QTimer::timeout, [rescued, extra] {
            *rescued = true;
            if (extra)
                extra();
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QDialog*>(window))
                    dialog->reject();
        });
        timer->start(20000);
        return timer;
    }

    // Messages shown so far, by their text.
    QStringList texts() const {
        QStringList list;
        for (const auto& shown : box_->shown)
            list << shown.text;
        return list;
    }

private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        cwd_ = std::make_unique<ScopedCurrentDir>(dir_->path());
        auto configuration = std::make_unique<Configuration>();
        configuration->setControlNodeProgram(false);
        Configuration::setInstance(std::move(configuration));
        box_ = RecordingMessageBox::install();
        files_ = RecordingFileDialog::install();
        copyIcons();
    }
    void cleanup() {
        TrayItem::setAvailable(std::nullopt);
        MessageBox::setInstance(nullptr);
        FileDialog::setInstance(nullptr);
        cwd_.reset();
        dir_.reset();
    }

    void firstRunOpensAt700x500AndStoresThePlacementAfterYes() {
        MainForm form;
        form.open();
        Shell* shell = form.shell();
        QVERIFY(shell->isVisible());
        QCOMPARE(shell->size(), QSize(700, 500));
        QVERIFY(!shell->isMaximized());
        QVERIFY(!placementStored());

        box_->answers = {MessageBox::Yes};
        QVERIFY(shell->close());
        QCOMPARE(box_->shown.size(), size_t{1});
        QCOMPARE(box_->shown[0].title, title);
        QCOMPARE(box_->shown[0].text, title + QStringLiteral("終了しますか?"));
        QCOMPARE(box_->shown[0].buttons, MessageBox::Yes | MessageBox::No);
        QCOMPARE(box_->shown[0].icon, MessageBox::Icon::None);
        QVERIFY(box_->shown[0].hadParent);
        const auto stored = storedPlacement();
        QCOMPARE(stored.size(), size_t{5});
        QCOMPARE(stored[0], int64_t{0});
        QCOMPARE(stored[1], int64_t{700});
        QCOMPARE(stored[2], int64_t{500});
        QCOMPARE(stored[3], int64_t{shell->pos().x()});
        QCOMPARE(stored[4], int64_t{shell->pos().y()});
        // The tray icon went with the close.
        QVERIFY(form.trayItem()->isDisposed());
        form.cleanUp();
        QCOMPARE(form.shell(), nullptr);
    }

    void answeringNoKeepsTheWindowAndStoresNothing() {
        MainForm form;
        form.open();
        box_->answers = {MessageBox::No};
        QVERIFY(!form.shell()->close());
        QVERIFY(form.shell()->isVisible());
        QVERIFY(!placementStored());
        QVERIFY(!form.trayItem()->isDisposed());
        // The file menu's exit asks the same question.
        box_->answers = {MessageBox::No};
        entryNamed(menuNamed(form.shell(), QStringLiteral("ファイル(&F)")),
                   QStringLiteral("終了(&X)"))
            ->trigger();
        QCOMPARE(box_->shown.size(), size_t{2});
        QVERIFY(form.shell()->isVisible());
        QVERIFY(!placementStored());
        form.cleanUp();
    }

    void terminatingSignalClosesWithoutAskingAndStoresThePlacement() {
        struct sigaction before = {};
        sigaction(SIGTERM, nullptr, &before);
        MainForm form;
        form.open();
        QVERIFY(form.shell()->isVisible());
        ::raise(SIGTERM);
        QTRY_VERIFY(form.shell()->isHidden());
        QVERIFY(box_->shown.empty());
        QCOMPARE(storedPlacement().size(), size_t{5});
        QVERIFY(form.trayItem()->isDisposed());
        form.eventLoop(); // ends at once: the window is closed
        form.cleanUp();
        // The previous action is back once the window is gone.
        struct sigaction after = {};
        sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
    }

    void storedPlacementIsRestoredAndAMaximizedWindowReopensMaximized() {
        SQLiteSerializer("environ.db", "MainForm")
            .save(*makeArray(int64_t{0}, int64_t{640}, int64_t{480}, int64_t{30}, int64_t{40}));
        {
            MainForm form;
            form.open();
            QCOMPARE(form.shell()->size(), QSize(640, 480));
            QCOMPARE(form.shell()->pos(), QPoint(30, 40));
            QVERIFY(!form.shell()->isMaximized());
            // Maximized, then closed: the normal placement is what is stored.
            form.shell()->showMaximized();
            QVERIFY(form.shell()->isMaximized());
            box_->answers = {MessageBox::Yes};
            QVERIFY(form.shell()->close());
            form.cleanUp();
        }
        QCOMPARE(storedPlacement(), (std::vector<int64_t>{1, 640, 480, 30, 40}));

        MainForm form;
        form.open();
        QVERIFY(form.shell()->isMaximized());
        QCOMPARE(form.shell()->normalGeometry().size(), QSize(640, 480));
        form.shell()->showNormal();
        QVERIFY(!form.shell()->isMaximized());
        QCOMPARE(form.shell()->size(), QSize(640, 480));
        form.cleanUp();
    }

    void placementRecordOfAnotherLengthIsIgnored() {
        SQLiteSerializer("environ.db", "MainForm")
            .save(*makeArray(int64_t{1}, int64_t{300}, int64_t{200}, int64_t{5}));
        MainForm form;
        form.open();
        QCOMPARE(form.shell()->size(), QSize(700, 500));
        QVERIFY(!form.shell()->isMaximized());
        form.cleanUp();
    }

    void placementThatDoesNotReadAsNumbersIsIgnored() {
        SQLiteSerializer("environ.db", "MainForm")
            .save(*makeArray("x", "wide", "tall", int64_t{1}, int64_t{2}));
        MainForm form;
        form.open();
        QCOMPARE(form.shell()->size(), QSize(700, 500));
        form.cleanUp();
    }

    void menusTrayAndTitle() {
        MainForm form;
        form.open();
        Shell* shell = form.shell();
        QCOMPARE(shell->windowTitle(), title);
        QVERIFY(!shell->windowIcon().isNull());
        QStringList tops;
        for (QAction* entry : shell->menuBar()->actions())
            tops << entry->text();
        QCOMPARE(tops, QStringList({QStringLiteral("ファイル(&F)"), QStringLiteral("表示(&V)"),
                                    QStringLiteral("ツール(&T)"), QStringLiteral("ヘルプ(&H)")}));
        QCOMPARE(entryTexts(menuNamed(shell, QStringLiteral("ファイル(&F)"))),
                 QStringList{QStringLiteral("終了(&X)")});
        QCOMPARE(entryTexts(menuNamed(shell, QStringLiteral("表示(&V)"))),
                 QStringList{QStringLiteral("TkSaku")});
        QCOMPARE(entryTexts(menuNamed(shell, QStringLiteral("ツール(&T)"))),
                 QStringList({QStringLiteral("オプション(&O)"), QStringLiteral("-"),
                              QStringLiteral("インターネットオプション(&I)")}));
        QCOMPARE(entryTexts(menuNamed(shell, QStringLiteral("ヘルプ(&H)"))),
                 QStringList{title + QStringLiteral(" について(&A)")});
        // Every top menu can be reached from the keyboard: no two share an accelerator.
        QSet<int> keys;
        for (QAction* entry : shell->menuBar()->actions())
            keys.insert(QKeySequence::mnemonic(entry->text())[0].toCombined());
        QCOMPARE(keys.size(), tops.size());
        QVERIFY(form.tkSakuEntry()->isCheckable());
        QVERIFY(form.tkSakuEntry()->isChecked());

        QCOMPARE(form.trayItem()->toolTip(), title + QStringLiteral("\n動作中"));
        QVERIFY(!form.trayItem()->icon()->icon().isNull());
        QMenu* tray = form.trayMenu();
        QCOMPARE(entryTexts(tray), QStringList({QStringLiteral("表示"), QStringLiteral("-"),
                                                QStringLiteral("終了")}));
        QVERIFY(tray->defaultAction() != nullptr);
        QCOMPARE(tray->defaultAction()->text(), QStringLiteral("表示"));
        QCOMPARE(entryAt(tray, 0)->data().value<WrapperObject>().value(), 0);
        QCOMPARE(entryAt(tray, 2)->data().value<WrapperObject>().value(), 1);

        form.cleanUp();
    }

    // The content comes from the factory: built once, on the window's central area, before the
    // window shows; its onExit runs once when the window closes after Yes.
    void theFactorysContentFillsTheWindowAndHearsTheExit() {
        MainForm form;
        form.setLayoutFactory(test::RecordingComposite::factory());
        form.open();
        auto* content = test::RecordingComposite::of(form);
        QVERIFY(content != nullptr);
        QCOMPARE(content->calls, QStringList{QStringLiteral("createControls")});
        QVERIFY(content->area != nullptr);
        QCOMPARE(content->area->window(), form.shell());
        QVERIFY(content->area->isVisible());
        box_->answers = {MessageBox::Yes};
        form.shell()->close();
        QCOMPARE(content->calls,
                 (QStringList{QStringLiteral("createControls"), QStringLiteral("onExit")}));
        form.cleanUp();
    }

    // Without a factory the window has no content: handed locations change nothing.
    void aWindowWithoutContentDropsHandedLocations() {
        MainForm form;
        form.openLocation(QStringLiteral("shingetsu://thread_616263/get/"));
        form.open();
        QCOMPARE(form.mainComposite(), nullptr);
        form.openLocation(QStringLiteral("https://example.org/"));
        QVERIFY(form.shell()->isVisible());
        form.cleanUp();
    }

    void minimisingHidesAndTheTrayBringsTheWindowBack() {
        TrayItem::setAvailable(true);
        MainForm form;
        form.open();
        Shell* shell = form.shell();
        shell->setWindowState(Qt::WindowMinimized);
        QCoreApplication::processEvents();
        QVERIFY(!shell->isVisible());
        emit form.trayItem()->icon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(shell->isVisible());
        QVERIFY(!shell->isMinimized());

        form.onIconify();
        QVERIFY(!shell->isVisible());
        entryAt(form.trayMenu(), 0)->trigger();
        QVERIFY(shell->isVisible());

        // The tray menu's exit asks before closing, also while the window is hidden.
        form.onIconify();
        box_->answers = {MessageBox::Yes};
        entryAt(form.trayMenu(), 2)->trigger();
        QCOMPARE(box_->shown.size(), size_t{1});
        QCOMPARE(box_->shown[0].text, title + QStringLiteral("終了しますか?"));
        QVERIFY(placementStored());
        form.cleanUp();
    }

    // Locations handed to the client reach the content in order, waiting for it when they come
    // before the window is up; each brings a hidden window back to the front.
    void handedLocationsReachTheContentAndBringTheWindowForward() {
        TrayItem::setAvailable(true);
        const QString thread = QStringLiteral("shingetsu://thread_616263/get/");
        const QString web = QStringLiteral("https://example.org/");
        MainForm form;
        form.setLayoutFactory(test::RecordingComposite::factory());
        form.openLocation(thread);
        form.open();
        const auto* content = test::RecordingComposite::of(form);
        QCOMPARE(content->unopenedLocations, QStringList{thread});

        form.onIconify();
        QVERIFY(!form.shell()->isVisible());
        form.openLocation(QString());
        QVERIFY(form.shell()->isVisible());
        QCOMPARE(content->unopenedLocations, QStringList{thread});

        form.onIconify();
        form.openLocation(web);
        QVERIFY(form.shell()->isVisible());
        QCOMPARE(content->unopenedLocations, (QStringList{thread, web}));
        form.cleanUp();
    }

    // Hidden without a tray host, the window could not be brought back.
    void minimisingWithoutATrayKeepsTheWindowMinimised() {
        TrayItem::setAvailable(false);
        MainForm form;
        form.open();
        Shell* shell = form.shell();
        shell->setWindowState(Qt::WindowMinimized);
        QCoreApplication::processEvents();
        QVERIFY(shell->isVisible());
        QVERIFY(shell->isMinimized());
        form.onIconify();
        QVERIFY(shell->isVisible());
        form.cleanUp();
    }

    // A termination while a dialog is open ends the dialog and the run as a confirmed exit
    // does, without a question: the node program is stopped and the placement stored.
    void terminationWithTheOptionsOpenEndsTheRunAndTheNodeProgram() {
        const std::string program =
            writeScript(dir_->path() / "nodeA" / "program", "exec sleep 600\n");
        config().setControlNodeProgram(true);
        config().setNodeProgramPath(program);
        MainForm form;
        pid_t pid = 0;
        QString dialog;
        QTimer::singleShot(0, [&] {
            pid = form.daemonManager() ? form.daemonManager()->processId() : 0;
            form.onOptionsMenu();
        });
        whenModal([&](QWidget* window) {
            dialog = window->objectName();
            ::raise(SIGTERM);
        });
        bool rescued = false;
        const auto rescue = rescueAfter(&rescued);
        form.run();
        QVERIFY2(!rescued, "the termination left the dialog open");
        QCOMPARE(dialog, QStringLiteral("OptionDialog"));
        QCOMPARE(form.shell(), nullptr);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(pid > 0);
        QVERIFY(!processExists(pid));
        QVERIFY(box_->shown.empty());
        QCOMPARE(storedPlacement().size(), size_t{5});
    }

    void terminationWhileTheSettingsProgramRunsEndsIt() {
        const std::string program =
            writeScript(dir_->path() / "settings", "echo $$ > started.tmp\n"
                                                   "mv started.tmp started\nexec sleep 600\n");
        MainForm form;
        form.setSettingsPrograms({{QString::fromStdString(program), {}}});
        QTimer::singleShot(0, [&] { form.onInternetOptionsMenu(); });
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!fs::exists("started"))
                return;
            poll.stop();
            ::raise(SIGTERM);
        });
        poll.start();
        const auto settingsPid = [] {
            pid_t pid = 0;
            std::ifstream("started") >> pid;
            return pid;
        };
        bool rescued = false;
        const auto rescue = rescueAfter(&rescued, [&] {
            if (settingsPid() > 0)
                kill(settingsPid(), SIGKILL);
        });
        form.run();
        QVERIFY2(!rescued, "the termination waited for the settings program");
        QCOMPARE(form.shell(), nullptr);
        const pid_t pid = settingsPid();
        QVERIFY(pid > 0);
        QVERIFY(!processExists(pid));
        QVERIFY(box_->shown.empty());
    }

    // Stopping a node program that ignores the request to end takes the grace time: meanwhile
    // the interface's events are dispatched (the window stays disabled), from the options and
    // at the end of the client.
    void stoppingTheNodeProgramKeepsDispatchingEvents() {
        const fs::path folder = dir_->path() / "nodeA";
        const std::string program =
            writeScript(folder / "program", "trap '' TERM\necho > ready\nexec sleep 600\n");
        config().setControlNodeProgram(true);
        config().setNodeProgramPath(program);
        MainForm form;
        form.open();
        int ticksWhileStopping = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (form.shell() && !form.shell()->isEnabled())
                ++ticksWhileStopping;
        });
        ticker.start();
        // Started, and ignoring SIGTERM by now.
        const auto started = [&] {
            if (!form.daemonManager() ||
                !QTest::qWaitFor([&] { return fs::exists(folder / "ready"); }))
                return false;
            fs::remove(folder / "ready");
            form.daemonManager()->setGraceMilliseconds(300);
            return true;
        };

        QVERIFY(started());
        pid_t pid = form.daemonManager()->processId();
        whenModal([](QWidget* dialog) {
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        form.onOptionsMenu();
        QCOMPARE(form.daemonManager(), nullptr);
        QVERIFY(!processExists(pid));
        QVERIFY(ticksWhileStopping >= 2);
        QVERIFY(form.shell()->isEnabled());

        whenModal([](QWidget* dialog) {
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        form.onOptionsMenu();
        QVERIFY(started());
        pid = form.daemonManager()->processId();
        ticksWhileStopping = 0;
        form.cleanUp();
        QVERIFY(!processExists(pid));
        QVERIFY(ticksWhileStopping >= 2);
    }

    void tkSakuWithoutNodeControlSaysSoAndUnchecks() {
        MainForm form;
        form.open();
        QAction* tkSaku = form.tkSakuEntry();
        QCOMPARE(form.daemonManager(), nullptr);
        // Unchecking without control does nothing.
        tkSaku->trigger();
        QVERIFY(!tkSaku->isChecked());
        QVERIFY(box_->shown.empty());
        tkSaku->trigger();
        QVERIFY(!tkSaku->isChecked());
        QCOMPARE(box_->shown.size(), size_t{1});
        QCOMPARE(box_->shown[0].text, QStringLiteral("朔の制御が無効です"));
        QCOMPARE(box_->shown[0].title, QStringLiteral("bryndle"));
        QCOMPARE(box_->shown[0].icon, MessageBox::Icon::Warning);
        QVERIFY(!box_->shown[0].hadParent);
        form.cleanUp();
    }

    // The whole run, as the program entry does it.
    void missingNodeProgramIsReportedOnceAndControlIsSavedOff() {
        config().setControlNodeProgram(true);
        QVERIFY(!fs::exists("node/bryndle-node"));
        MainForm form;
        box_->answers = {MessageBox::OK, MessageBox::Yes};
        QTimer::singleShot(0, [&] { form.shell()->close(); });
        bool rescued = false;
        const auto rescue = rescueAfter(&rescued, [&] { form.onTerminate(); });
        form.run();
        QVERIFY(!rescued);
        QCOMPARE(texts(), QStringList({systemText(ENOENT) + startErrorTail,
                                       title + QStringLiteral("終了しますか?")}));
        QCOMPARE(box_->shown[0].title, QStringLiteral("bryndle"));
        QCOMPARE(box_->shown[0].icon, MessageBox::Icon::Warning);
        QCOMPARE(form.daemonManager(), nullptr);
        QCOMPARE(form.shell(), nullptr);
        config().save();

        Configuration reread;
        reread.load();
        QVERIFY(!reread.controlNodeProgram());
        QCOMPARE(storedPlacement().size(), size_t{5});
    }

    void nodeProgramIsStartedRestartedAndStoppedByTheOptions() {
        const std::string first =
            writeScript(dir_->path() / "nodeA" / "program", "exec sleep 600\n");
        const std::string second =
            writeScript(dir_->path() / "nodeB" / "program", "exec sleep 600\n");
        config().setControlNodeProgram(true);
        config().setNodeProgramPath(first);
        MainForm form;
        form.open();
        QVERIFY(box_->shown.empty());
        QVERIFY(form.daemonManager() != nullptr);
        const pid_t firstPid = form.daemonManager()->processId();
        QVERIFY(processExists(firstPid));
        // Without a display the window calls do nothing, and the entry stays as the user set it.
        form.tkSakuEntry()->trigger();
        form.tkSakuEntry()->trigger();
        QVERIFY(form.tkSakuEntry()->isChecked());
        QVERIFY(box_->shown.empty());

        // A new path while control is on: the program is restarted from there.
        files_->answer = QString::fromStdString(second);
        whenModal([](QWidget* dialog) {
            child<QPushButton>(dialog, "browse")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        form.onOptionsMenu();
        QVERIFY(form.daemonManager() != nullptr);
        QCOMPARE(form.daemonManager()->programPath(), second);
        const pid_t secondPid = form.daemonManager()->processId();
        QVERIFY(!processExists(firstPid));
        QVERIFY(processExists(secondPid));

        // Unchanged options leave it running.
        whenModal([](QWidget* dialog) { child<QPushButton>(dialog, "apply")->click(); });
        form.onOptionsMenu();
        QCOMPARE(form.daemonManager()->processId(), secondPid);

        // Control off: stopped and dropped.
        whenModal([](QWidget* dialog) {
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        form.onOptionsMenu();
        QCOMPARE(form.daemonManager(), nullptr);
        QVERIFY(!processExists(secondPid));

        // A new path while control is off starts nothing.
        files_->answer = QString::fromStdString(first);
        whenModal([](QWidget* dialog) {
            QVERIFY(!child<QPushButton>(dialog, "browse")->isEnabled());
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "browse")->click();
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        form.onOptionsMenu();
        QCOMPARE(config().nodeProgramPathSetting(), first);
        QCOMPARE(form.daemonManager(), nullptr);

        // Control on again: started.
        whenModal([](QWidget* dialog) {
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        form.onOptionsMenu();
        QVERIFY(form.daemonManager() != nullptr);
        const pid_t thirdPid = form.daemonManager()->processId();
        QVERIFY(processExists(thirdPid));

        // The end of the client ends the program.
        box_->answers = {MessageBox::Yes};
        QVERIFY(form.shell()->close());
        form.cleanUp();
        QVERIFY(!processExists(thirdPid));
        QVERIFY(box_->shown.size() == 1);
    }

    void optionsThatFailToStartTurnControlOff() {
        MainForm form;
        form.open();
        files_->answer = QString::fromStdString((dir_->path() / "nowhere" / "program").string());
        whenModal([](QWidget* dialog) {
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "browse")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        form.onOptionsMenu();
        QCOMPARE(form.daemonManager(), nullptr);
        QVERIFY(!config().controlNodeProgram());
        QCOMPARE(texts(), QStringList{systemText(ENOENT) + startErrorTail});
        // Written at once: a crash now would not start the program again.
        Configuration stored;
        stored.load();
        QVERIFY(!stored.controlNodeProgram());
        form.cleanUp();
    }

    void errorInAHandlerEndsTheLoopWithOneMessage() {
        fs::remove("icons/bryndle_banner.png");
        MainForm form;
        box_->answers = {MessageBox::OK};
        QTimer::singleShot(0, [&] {
            entryNamed(menuNamed(form.shell(), QStringLiteral("ヘルプ(&H)")),
                       title + QStringLiteral(" について(&A)"))
                ->trigger();
        });
        bool rescued = false;
        const auto rescue = rescueAfter(&rescued, [&] { form.onTerminate(); });
        form.run();
        QVERIFY(!rescued);
        QCOMPARE(texts(), QStringList{QStringLiteral("bryndle_banner : not found")});
        QCOMPARE(box_->shown[0].title, title);
        QCOMPARE(box_->shown[0].icon, MessageBox::Icon::Warning);
        QCOMPARE(form.shell(), nullptr);
        // The loop ended without the exit question: nothing was stored.
        QVERIFY(!placementStored());
    }

    void errorWhileBuildingTheWindowStillStopsTheNodeProgram() {
        fs::remove("icons/bryndle.png");
        const std::string program =
            writeScript(dir_->path() / "nodeA" / "program", "exec sleep 600\n");
        config().setControlNodeProgram(true);
        config().setNodeProgramPath(program);
        MainForm form;
        QString error;
        try {
            form.open();
        } catch (const Exception& e) {
            error = QString::fromStdString(e.message());
        }
        QCOMPARE(error, QStringLiteral("bryndle : not found"));
        QCOMPARE(form.daemonManager(), nullptr);
        QCOMPARE(form.shell(), nullptr);
        // The node program had been started (no start error), and has ended and been waited
        // for: this process has no child left.
        QVERIFY(box_->shown.empty());
        int status = 0;
        QCOMPARE(waitpid(-1, &status, WNOHANG), pid_t{-1});
        QCOMPARE(errno, ECHILD);
    }

    void internetOptionsRunTheSettingsProgramWithTheWindowDisabled() {
        MainForm form;
        form.open();
        form.setSettingsPrograms({{QStringLiteral("no-such-settings-program-xyz"), {}}});
        form.onInternetOptionsMenu();
        QCOMPARE(texts(),
                 QStringList{QStringLiteral("ネットワーク設定のプログラムが見つかりません")});

        // The program runs until a file appears; meanwhile the window takes no input.
        const std::string program =
            writeScript(dir_->path() / "settings",
                        "echo \"$@\" > started\nwhile [ ! -e done ]; do sleep 0.02; done\n");
        form.setSettingsPrograms({{QString::fromStdString(program), {QStringLiteral("network")}}});
        bool disabledWhileRunning = false;
        auto* poll = new QTimer;
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (!fs::exists("started"))
                return;
            poll->stop();
            poll->deleteLater();
            disabledWhileRunning = !form.shell()->isEnabled();
            std::ofstream("done") << "\n";
        });
        poll->start();
        form.onInternetOptionsMenu();
        QVERIFY(disabledWhileRunning);
        QVERIFY(form.shell()->isEnabled());
        std::ifstream started("started");
        std::string arguments;
        std::getline(started, arguments);
        QCOMPARE(arguments, std::string("network"));
        QCOMPARE(box_->shown.size(), size_t{1});
        form.cleanUp();
    }
};

BRYNDLE_QTEST_MAIN(MainFormTest)
#include "mainform_test.moc"
