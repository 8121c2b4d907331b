#include "shell/mainform.h"

#include "config/configuration.h"
#include "shell/aboutdialog.h"
#include "shell/daemonmanager.h"
#include "shell/icon.h"
#include "shell/maincomposite.h"
#include "shell/optiondialog.h"
#include "shell/saveconfiguration.h"
#include "shell/wrapperobject.h"
#include "toolkit/eventloop.h"
#include "toolkit/messagebox.h"
#include "toolkit/screenplacement.h"
#include "toolkit/shell.h"
#include "toolkit/terminationsignals.h"
#include "toolkit/trayitem.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QVBoxLayout>

#include <utility>

namespace bryndle {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

MainForm::MainForm() : ControlBase("MainForm") {}

MainForm::~MainForm() {
    dispose();
}

QString MainForm::programTitle() {
    return qs(Configuration::programTitle());
}

void MainForm::saveState() {
    const bool maximized = shell_->isMaximized();
    // The normal placement, also while maximized; the position is the frame's, as move() takes it.
    const QRect normal = maximized ? shell_->normalGeometry() : shell_->geometry();
    const QPoint frameOffset = shell_->geometry().topLeft() - shell_->frameGeometry().topLeft();
    const QPoint position = normal.topLeft() - frameOffset;
    save(*makeArray(int64_t{maximized ? 1 : 0}, int64_t{normal.width()}, int64_t{normal.height()},
                    int64_t{position.x()}, int64_t{position.y()}));
}

void MainForm::loadState() {
    try {
        const VArrayPtr record = load();
        if (record->size() != 5)
            return;
        const auto values = record->values();
        const bool maximized = values[0]->toBool();
        const int width = static_cast<int>(values[1]->toLong());
        const int height = static_cast<int>(values[2]->toLong());
        const int x = static_cast<int>(values[3]->toLong());
        const int y = static_cast<int>(values[4]->toLong());
        // A placement from another screen set-up could leave the window out of reach.
        const auto placed = placeOnScreen(QRect(x, y, width, height));
        if (!placed)
            return;
        shell_->resize(placed->size());
        shell_->move(placed->topLeft());
        if (maximized)
            shell_->setWindowState(shell_->windowState() | Qt::WindowMaximized);
    } catch (const Exception&) {
        // Nothing stored yet, or a record that does not read as numbers: keep the defaults.
    }
}

void MainForm::onExit() {
    if (composite_)
        composite_->onExit();
    if (tray_)
        tray_->dispose();
}

bool MainForm::onClose() {
    const QString title = programTitle();
    if (!MessageBox::askYesNo(shell_.get(), title, QStringLiteral("%1終了しますか?").arg(title)))
        return false;
    saveState();
    onExit();
    return true;
}

void MainForm::onExitMenu() {
    shell_->close();
}

void MainForm::onTkSakuMenu(bool checked) {
    if (daemon_) {
        daemon_->showWindow(checked);
        return;
    }
    if (!checked)
        return;
    MessageBox::warning(QStringLiteral("朔の制御が無効です"));
    tkSaku_->setChecked(false);
}

void MainForm::onAboutMenu() {
    AboutDialog dialog;
    dialog.open();
}

void MainForm::onInternetOptionsMenu() {
    const auto program = findSettingsProgram(settingsPrograms_);
    if (!program) {
        MessageBox::warning(QStringLiteral("ネットワーク設定のプログラムが見つかりません"),
                            shell_.get());
        return;
    }
    QProcess process;
    process.setProgram(program->program);
    process.setArguments(program->arguments);
    shell_->setEnabled(false);
    struct Reenable {
        Shell* shell;
        ~Reenable() {
            shell->setEnabled(true);
            shell->activateWindow();
        }
    } reenable{shell_.get()};
    EventLoop loop;
    QObject::connect(&process, &QProcess::finished, [&loop] { loop.quit(); });
    QObject::connect(&process, &QProcess::errorOccurred, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    process.start();
    loop.exec();
    if (process.error() == QProcess::FailedToStart) {
        MessageBox::warning(process.errorString(), shell_.get());
        return;
    }
    // Still running: the client is ending, and the settings program goes with it.
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(2000)) {
            process.kill();
            process.waitForFinished();
        }
    }
}

void MainForm::startNodeControl() {
    auto& config = Configuration::instance();
    try {
        auto manager = std::make_unique<DaemonManager>(config.nodeProgramPath());
        manager->setPause(&EventLoop::dispatchFor);
        manager->start();
        daemon_ = std::move(manager);
    } catch (const std::exception& e) {
        MessageBox::warning(qs(e.what()) +
                            QStringLiteral(" \n\n朔の実行中にエラーが発生したため朔の制御"
                                           "オプションをOFFにします\nオプションを再設定"
                                           "してください"));
        daemon_.reset();
        config.setControlNodeProgram(false);
        saveConfiguration();
    }
}

void MainForm::stopNodeControl() {
    if (!daemon_)
        return;
    // The wait for the program dispatches events: the window takes no input meanwhile.
    struct Reenable {
        Shell* shell;
        bool enabled;
        ~Reenable() {
            if (shell)
                shell->setEnabled(enabled);
        }
    } reenable{shell_.get(), shell_ && shell_->isEnabled()};
    if (shell_)
        shell_->setEnabled(false);
    daemon_->stop();
    daemon_.reset();
}

void MainForm::onOptionsMenu() {
    auto& config = Configuration::instance();
    const std::string before = config.nodeProgramPath();
    OptionDialog dialog;
    dialog.open();
    // Ending: the clean-up stops the program; nothing new is started.
    if (EventLoop::isTerminating())
        return;
    const bool on = config.controlNodeProgram();
    if (daemon_ && !on) {
        stopNodeControl();
    } else if (!daemon_ && on) {
        startNodeControl();
    } else if (daemon_ && on && config.nodeProgramPath() != before) {
        // File names differ by letter case here: a change of case is another program.
        stopNodeControl();
        if (!EventLoop::isTerminating())
            startNodeControl();
    }
}

void MainForm::showWindow(bool visible) {
    if (!visible) {
        shell_->hide();
        return;
    }
    shell_->setWindowState(shell_->windowState() & ~Qt::WindowMinimized);
    shell_->show();
    shell_->raise();
    shell_->activateWindow();
}

void MainForm::onIconify() {
    // Without a tray host nothing could bring a hidden window back: it stays minimised.
    if (!TrayItem::isAvailable())
        return;
    showWindow(false);
}

void MainForm::onTrayClick() {
    showWindow(true);
}

void MainForm::openLocation(const QString& location) {
    if (closed_)
        return;
    if (!built_) {
        waiting_.append(location);
        return;
    }
    showWindow(true);
    if (!location.isEmpty() && composite_)
        composite_->openLocation(location);
}

void MainForm::onTerminate() {
    if (closed_ || !shell_)
        return;
    // Whatever dialog or nested loop is open ends first, so that the main loop can return.
    EventLoop::terminateAll();
    shell_->setCloseHandler([this] {
        saveState();
        onExit();
        return true;
    });
    shell_->close();
}

void MainForm::run() {
    open();
    eventLoop();
    cleanUp();
}

void MainForm::open() {
    closed_ = false;
    QApplication::setQuitOnLastWindowClosed(false);
    shell_ = std::make_unique<Shell>();
    shell_->setObjectName(QStringLiteral("MainForm"));
    shell_->setIconifyHandler([this] { onIconify(); });
    auto* content = new QWidget(shell_.get());
    shell_->setCentralWidget(content);
    if (layoutFactory_)
        composite_ = layoutFactory_(content);
    loadIcons();
    if (Configuration::instance().controlNodeProgram())
        startNodeControl();
    try {
        shell_->setWindowTitle(programTitle());
        shell_->resize(700, 500);
        auto* fill = new QVBoxLayout(content);
        fill->setContentsMargins(0, 0, 0, 0);
        fill->setSpacing(0);
        shell_->setWindowIcon(QIcon(getIcon("bryndle")));
        shell_->setCloseHandler([this] { return onClose(); });
        shell_->setClosedHandler([this] {
            closed_ = true;
            if (loop_)
                loop_->quit();
        });
        createMenus();
        createTrayItem();
        if (composite_)
            composite_->createControls();
        loadState();
        signals_ = std::make_unique<TerminationSignals>([this](int) { onTerminate(); });
        shell_->show();
        shell_->raise();
        shell_->activateWindow();
        built_ = true;
        for (const QString& location : std::exchange(waiting_, {}))
            openLocation(location);
    } catch (...) {
        cleanUp();
        throw;
    }
}

void MainForm::eventLoop() {
    if (closed_ || !shell_)
        return;
    EventLoop loop;
    loop_ = &loop;
    try {
        loop.exec();
    } catch (const std::exception& e) {
        loop_ = nullptr;
        MessageBox::instance().open(nullptr, programTitle(), qs(e.what()),
                                    MessageBox::Icon::Warning, MessageBox::OK);
    } catch (...) {
        loop_ = nullptr;
        MessageBox::instance().open(nullptr, programTitle(), QStringLiteral("unknown error"),
                                    MessageBox::Icon::Warning, MessageBox::OK);
    }
    loop_ = nullptr;
}

void MainForm::cleanUp() {
    // Stopped before anything else goes; the manager stays if that fails.
    stopNodeControl();
    dispose();
}

void MainForm::dispose() {
    built_ = false;
    signals_.reset();
    if (tray_)
        tray_->dispose();
    tray_.reset();
    shell_.reset();
    composite_.reset();
}

void MainForm::createMenus() {
    QMenuBar* bar = shell_->menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    QAction* exit = file->addAction(QStringLiteral("終了(&X)"));
    QObject::connect(exit, &QAction::triggered, EventLoop::guard([this] { onExitMenu(); }));

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    tkSaku_ = view->addAction(QStringLiteral("TkSaku"));
    tkSaku_->setCheckable(true);
    tkSaku_->setChecked(true);
    QObject::connect(tkSaku_, &QAction::triggered, [this](bool checked) {
        EventLoop::protect([this, checked] { onTkSakuMenu(checked); });
    });

    QMenu* tools = bar->addMenu(QStringLiteral("ツール(&T)"));
    QAction* options = tools->addAction(QStringLiteral("オプション(&O)"));
    QObject::connect(options, &QAction::triggered, EventLoop::guard([this] { onOptionsMenu(); }));
    tools->addSeparator();
    QAction* internet = tools->addAction(QStringLiteral("インターネットオプション(&I)"));
    QObject::connect(internet, &QAction::triggered,
                     EventLoop::guard([this] { onInternetOptionsMenu(); }));

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    QAction* about = help->addAction(programTitle() + QStringLiteral(" について(&A)"));
    QObject::connect(about, &QAction::triggered, EventLoop::guard([this] { onAboutMenu(); }));
}

void MainForm::createTrayItem() {
    tray_ = std::make_unique<TrayItem>();
    tray_->setImage(getIcon("bryndle"));
    tray_->setToolTip(programTitle() + QStringLiteral("\n動作中"));
    tray_->setSelectionHandler([this] { onTrayClick(); });
    tray_->setMenuDetectHandler([this] { onTrayMenuDetect(); });
    createTrayMenu();
    tray_->show();
}

void MainForm::createTrayMenu() {
    trayMenu_ = new QMenu(shell_.get());
    trayMenu_->setObjectName(QStringLiteral("trayMenu"));
    QAction* show = trayMenu_->addAction(QStringLiteral("表示"));
    show->setData(QVariant::fromValue(WrapperObject(0)));
    trayMenu_->setDefaultAction(show);
    trayMenu_->addSeparator();
    QAction* exit = trayMenu_->addAction(QStringLiteral("終了"));
    exit->setData(QVariant::fromValue(WrapperObject(1)));
    for (QAction* entry : {show, exit})
        QObject::connect(entry, &QAction::triggered,
                         EventLoop::guard([this, entry] { onTrayMenuSelection(entry); }));
}

void MainForm::onTrayMenuDetect() {
    if (trayMenu_)
        trayMenu_->popup(QCursor::pos());
}

void MainForm::onTrayMenuSelection(QAction* entry) {
    switch (entry->data().value<WrapperObject>().value()) {
    case 0:
        showWindow(true);
        break;
    case 1:
        shell_->close();
        break;
    default:
        break;
    }
}

} // namespace bryndle
