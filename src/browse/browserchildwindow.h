#pragma once

#include "foundation/controlbase.h"

#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <functional>
#include <optional>

class QHBoxLayout;
class QPushButton;
class QWebEngineLoadingInfo;

namespace bryndle {

class BrowserTabPage;
class ShingetsuBrowser;
struct LocationEvent;
struct WindowEvent;

// A browser window of its own that stays above the others: the pop-up that a thread page (or
// another pop-up) opens when its document asks for a new window, and the window on the node's
// deletion page. Thread links load in the window itself; other links open in new tabs of the
// owner page's tab browser, or in the window when it has no owner page.
//
// A window owns itself: closing it runs its finalizer and deletes it. The size and position of
// the last window of a class to close are kept in "environ.db" as [width, height, x, y], and
// windows opened while others are open are shifted down and right from them.
class BrowserChildWindow : public QWidget, public ControlBase {
    Q_OBJECT

public:
    static constexpr int DefaultWidth = 400;
    static constexpr int DefaultHeight = 300;
    static constexpr int CascadeStep = 20;
    static constexpr int CascadeRound = 10;
    static constexpr int CascadeLength = 5;

    BrowserChildWindow();
    ~BrowserChildWindow() override;

    // Closes the window as its close box would (finalizer included).
    virtual void closeWindow();
    // Keeps the window's size and position for the record.
    virtual void rememberGeometry();
    // The window goes: its finalizer runs, its browser is dropped and it is no longer counted.
    virtual void onDisposed();
    virtual void releaseWindow();
    virtual void saveGeometry();
    // The stored size and position, shifted for the windows already open; the default size at a
    // position the window manager chooses without a usable record.
    virtual void restoreGeometry(int openWindows);
    virtual void open();
    virtual void setFinalizer(std::function<void()> finalizer);
    virtual void setOwnerPage(BrowserTabPage* page);
    virtual void setSize(const QSize& size);
    virtual void setLocation(const QPoint& location);
    virtual void navigate(const QString& location);
    virtual QString getLocation() const;
    virtual ShingetsuBrowser* getBrowser() const;
    // The window shows one page and its form: the answer to that form's submission closes it.
    virtual void setCloseOnNavigate(bool close);
    virtual bool closeOnNavigate() const;

    // The owner page while it is open.
    BrowserTabPage* ownerPage() const;
    QPushButton* closeButton() const { return closeButton_; }

    // A pop-up for the owner page (none: links load in the pop-up) receives the new window.
    static BrowserChildWindow* openNewWindow(BrowserTabPage* owner, WindowEvent* event);
    // The node's deletion page in a window that closes once the node has answered its form; the
    // finalizer runs when the window goes.
    static void openDeletePage(const QString& url, std::function<void()> finalizer);
    // Pop-up and post windows open now.
    static int openCount();
    // Closes every open window without running its finalizer: the layout they would act on is
    // going.
    static void closeAll();

protected:
    // The record of a derived class is kept under its own name.
    explicit BrowserChildWindow(const std::string& recordName);
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The row of buttons under the browser.
    QHBoxLayout* buttonRow() const { return buttons_; }
    // Closed once the engine's call that asked for it has returned.
    void closeSoon();

private:
    void onLocationChanging(LocationEvent* event);
    void onNewWindow(WindowEvent* event);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);

    std::optional<QPoint> location_;
    std::optional<QSize> size_;
    QPointer<ShingetsuBrowser> browser_;
    QPointer<BrowserTabPage> owner_;
    bool hadOwner_ = false;
    std::function<void()> finalizer_;
    bool closeOnNavigate_ = false;
    int navigations_ = 0;
    // The form of a close-on-navigation window has been sent; its answer closes the window.
    bool awaitingAnswer_ = false;
    bool closing_ = false;
    bool disposed_ = false;
    bool counted_ = false;
    QHBoxLayout* buttons_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

} // namespace bryndle
