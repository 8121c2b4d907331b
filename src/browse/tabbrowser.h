#pragma once

#include "foundation/controlbase.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSplitter>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class QWidget;

namespace bryndle {

class BrowserTabPage;
class CommandListener;
class TabFolder;

// The browsing pane: two tool bars and the address field, the tab folder with its pages, and a
// status line. Its parent is the inner sash (thread table above it), whose parent is the outer
// sash (side bar beside it). It keeps the sash weights and the address history in "environ.db":
// top weight, side weight, history joined with "\n". The tab browser is a child of its widgets
// and goes with them.
class TabBrowser : public QObject, public ControlBase {
    Q_OBJECT

public:
    static constexpr int MaxHistory = 100;

    explicit TabBrowser(QWidget* parent);
    ~TabBrowser() override;

    virtual void addHistory(const QString& text);
    virtual void updateToolBar();
    virtual void toggleSideWindow();
    virtual void toggleTopWindow();
    virtual void loadState();
    virtual void saveState();
    // A mouse button released on the tab folder: the right one opens the tab's menu.
    virtual void onTabMouseUp(Qt::MouseButton button, const QPoint& globalPosition);
    virtual void closeSelectedTab();
    virtual void closeAllTabs();
    virtual void openThreadGateway();
    virtual void copyTitle();
    virtual void copyWikiLink();
    virtual void copyLocation();
    virtual void copyGatewayUrl();
    virtual void copyTitleAndGatewayUrl();
    virtual void copyTitleAndUrl();
    virtual void copyUrl();
    virtual void onExit();
    virtual void createControls();
    // A new, selected tab for the location.
    virtual BrowserTabPage* open(const QString& location);
    virtual void attachPage(BrowserTabPage* page);
    // Selects and refreshes the first tab that shows the location, or opens one.
    virtual BrowserTabPage* openOrActivate(const QString& location);
    virtual BrowserTabPage* currentPage() const;
    virtual void onAddressFocusOut();
    virtual void onAddressMouseDown();
    virtual void onTabSelected();
    virtual void openGateway();
    virtual void forward();
    virtual void back();
    // Asks for a name and registers the thread with the node in the background; the thread opens
    // in a tab when the node has taken it, a failure shows the node's error.
    virtual void createThread();
    virtual void closeCurrentTab();
    virtual void refresh();
    virtual void stop();
    virtual void changeHomePage();
    virtual void addToSystemFavorites();
    virtual void addBookmark();
    virtual void organizeBookmarks();
    virtual void organizeSystemFavorites();
    // A click on the favourites item (its arrow shows the organise menu).
    virtual void onFavoritesItem();
    // A click on the home item (its arrow shows the home menu).
    virtual void onHomeItem();
    void addNewThreadsHandler(std::function<void()> handler);
    void addSubscribedThreadsHandler(std::function<void()> handler);

    // Registers the name in the background (see createThread).
    void registerThread(const QString& name);
    // The outcome of a registration: an empty error means the node has taken the thread.
    void onThreadRegistered(const QString& name, const QString& error);
    bool isRegistering() const { return registering_ > 0; }
    // Runs an action of a menu, a tool bar or a key: an error shows a warning box.
    void runAction(const std::function<void()>& action);

    QStringList history() const { return history_; }
    QWidget* topComposite() const { return top_; }
    TabFolder* tabFolder() const { return folder_; }
    QComboBox* addressField() const { return address_; }
    QLabel* statusLabel() const { return statusLabel_; }
    QSplitter* innerSash() const { return innerSash_; }
    QSplitter* outerSash() const { return outerSash_; }
    QMenu* threadTabMenu() const { return threadTabMenu_; }
    QMenu* webTabMenu() const { return webTabMenu_; }
    QMenu* addFavoritesMenu() const { return addFavoritesMenu_; }
    QMenu* organizeMenu() const { return organizeMenu_; }
    QMenu* homeMenu() const { return homeMenu_; }

    // The node's thread page of a title, port always written.
    static QString gatewayUrl(const QString& title);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addAction(QToolBar* bar, const QString& text, const QString& toolTip, const char* icon,
                       void (TabBrowser::*operation)());
    QAction* menuAction(const QString& text, const char* icon, void (TabBrowser::*operation)());
    void createToolBars(QWidget* top);
    void createMenus();
    void createKeys();
    void toggle(QSplitter* sash, QAction* toggle, int* weight, const QString& hideText,
                const QString& showText);
    // The location of a tool item's bottom-left corner on the screen.
    QPoint underItem(QAction* item) const;
    void setAddressItems(const QStringList& items);
    void selectTab(int step);

    QPointer<QSplitter> innerSash_;
    QPointer<QSplitter> outerSash_;
    TabFolder* folder_ = nullptr;
    QWidget* top_;
    QComboBox* address_ = nullptr;
    QAction* forwardItem_ = nullptr;
    QAction* backItem_ = nullptr;
    QAction* stopItem_ = nullptr;
    QAction* refreshItem_ = nullptr;
    QAction* newThreadsItem_ = nullptr;
    QAction* subscribedThreadsItem_ = nullptr;
    QAction* createThreadItem_ = nullptr;
    QAction* topToggle_ = nullptr;
    QAction* sideToggle_ = nullptr;
    QAction* closeItem_ = nullptr;
    QAction* favoritesItem_ = nullptr;
    QAction* homeItem_ = nullptr;
    QToolBar* firstBar_ = nullptr;
    QToolBar* secondBar_ = nullptr;
    QMenu* threadTabMenu_ = nullptr;
    QMenu* webTabMenu_ = nullptr;
    QMenu* addFavoritesMenu_ = nullptr;
    QMenu* organizeMenu_ = nullptr;
    QMenu* homeMenu_ = nullptr;
    bool addressFocus_ = false;
    QStringList history_;
    QLabel* statusLabel_ = nullptr;
    int sideWeight_ = 20;
    int topWeight_ = 25;
    CommandListener* commandListener_ = nullptr;
    int registering_ = 0;
};

} // namespace bryndle
