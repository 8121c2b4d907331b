#pragma once

#include "foundation/controlbase.h"
#include "toolkit/settingsprogram.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace bryndle {

class DaemonManager;
class EventLoop;
class MainComposite;
class Shell;
class TerminationSignals;
class TrayItem;

// The program's main window: menus, tray icon, the main content, the node program it runs for
// the user, and its placement kept in "environ.db" (maximized, width, height, x, y).
class MainForm : public ControlBase {
public:
    // Makes the window's content on the given parent (construction only).
    using LayoutFactory = std::function<std::unique_ptr<MainComposite>(QWidget* parent)>;

    MainForm();
    ~MainForm() override;

    virtual void saveState();
    virtual void loadState();
    virtual void onExit();
    // The exit question; false keeps the window open.
    virtual bool onClose();
    virtual void onExitMenu();
    virtual void onTkSakuMenu(bool checked);
    virtual void onAboutMenu();
    virtual void onInternetOptionsMenu();
    virtual void startNodeControl();
    // Ends the node program and drops its manager; the window's events keep being dispatched
    // while the program takes its time, but it takes no input.
    void stopNodeControl();
    virtual void onOptionsMenu();
    virtual void showWindow(bool visible);
    virtual void onIconify();
    virtual void onTrayClick();
    // Builds the window, runs the event loop until the window is closed, then cleans up.
    virtual void run();
    virtual void createTrayMenu();
    virtual void createTrayItem();
    virtual void onTrayMenuDetect();
    virtual void onTrayMenuSelection(QAction* entry);

    // A location handed to the client: the window comes to the front and its content opens the
    // location (an empty one only brings the window forward). Before the content is built, the
    // locations wait for it; a window without content drops them.
    void openLocation(const QString& location);

    // The content the window is filled with; without a factory the window stays empty.
    void setLayoutFactory(LayoutFactory factory) { layoutFactory_ = std::move(factory); }

    // A terminating signal (end of the session, Ctrl+C): closes the open dialogs, ends the
    // nested loops, and closes as after "Yes" to the question.
    void onTerminate();

    // The three stages of run(). open() cleans up itself when building the window fails.
    void open();
    void eventLoop();
    void cleanUp();

    Shell* shell() const { return shell_.get(); }
    TrayItem* trayItem() const { return tray_.get(); }
    QMenu* trayMenu() const { return trayMenu_; }
    MainComposite* mainComposite() const { return composite_.get(); }
    DaemonManager* daemonManager() const { return daemon_.get(); }
    QAction* tkSakuEntry() const { return tkSaku_; }
    // The programs tried for the Internet options entry.
    void setSettingsPrograms(std::vector<SettingsProgram> programs) {
        settingsPrograms_ = std::move(programs);
    }

    static QString programTitle();

private:
    void createMenus();
    void dispose();

    std::unique_ptr<Shell> shell_;
    std::unique_ptr<TrayItem> tray_;
    QPointer<QMenu> trayMenu_;
    LayoutFactory layoutFactory_;
    std::unique_ptr<MainComposite> composite_;
    std::unique_ptr<DaemonManager> daemon_;
    QPointer<QAction> tkSaku_;
    std::unique_ptr<TerminationSignals> signals_;
    EventLoop* loop_ = nullptr;
    bool closed_ = false;
    // Whether the window and its content are up; locations received before wait.
    bool built_ = false;
    QStringList waiting_;
    std::vector<SettingsProgram> settingsPrograms_ = networkSettingsPrograms();
};

} // namespace bryndle
