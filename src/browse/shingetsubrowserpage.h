#pragma once

#include "browse/browsercontrol.h"
#include "browse/browsertabpage.h"
#include "browse/shingetsubrowser.h"

#include <QPointer>

#include <memory>

class QAction;
class QLabel;
class QToolBar;

namespace bryndle {

class PostFinalizer;

// The tab of a thread: a title bar, the paging tool bar and the thread's browser. Links inside
// a thread open in new tabs; only the browser's own documents, about:blank and anchors within
// them stay in the page. Posting and new windows are announced (postRequested,
// newWindowRequested) for the windows that handle them.
class ShingetsuBrowserPage : public BrowserTabPage {
    Q_OBJECT

public:
    static constexpr const char* StatusSkipped = "%1件の壊れた記録を読み飛ばしました";

    // The location is not loaded here: open() does that.
    ShingetsuBrowserPage(const QString& location, TabFolder* folder, int style);
    ~ShingetsuBrowserPage() override;

    virtual void clearView();
    virtual void showLatest();
    virtual void showAll();
    virtual void showNextPage();
    virtual void showPreviousPage();
    virtual void showFirstPage();
    virtual void showSettingsMenu();
    // Announces a post window on the thread's location (method "post", whole thread, the
    // anchor as target).
    virtual void post();
    // The configured theme becomes the named one; the selected thread page shows it.
    virtual void selectTheme(const QString& name);
    // Asks for the records per page and rebuilds the latest item's tooltip.
    virtual void changeItemsPerPage();
    virtual void setTitleSuffix(const QString& suffix);
    virtual void setTitleLabel(const QString& text);
    virtual void toggleTransmitIcon();

    QString kind() const override { return QStringLiteral("ShingetsuBrowserPage"); }
    void open(const QString& location) override;
    QString getLocation() const override;
    // Opens the current location again (fetching when its method is "get").
    void refresh() override;
    void forward() override;
    void back() override;
    void stop() override {}
    bool isLoading() const override { return false; }
    bool isForwardEnabled() const override;
    bool isBackEnabled() const override;
    // Thread locations compare by their thread title, so a thread's tab is found whatever page
    // it shows.
    int compareLocation(const QString& location) const override;
    CBrowser* getBrowser() const override;
    void dispose() override;
    void setTitle(const QString& text) override;

    ShingetsuBrowser* browser() const { return browser_; }
    // The last 8-character fragment followed in the page.
    QString anchor() const { return anchor_; }
    QString titleText() const { return titleText_; }
    QLabel* titleLabel() const { return titleLabel_; }
    QToolBar* toolBar() const { return toolBar_; }
    QAction* latestItem() const { return latestItem_; }
    QAction* settingsItem() const { return settingsItem_; }
    // Given to the post window, which runs it when it closes.
    std::shared_ptr<PostFinalizer> postFinalizer() const { return postFinalizer_; }
    // The latest item's tooltip for a number of records.
    static QString latestToolTip(int records);

signals:
    // A post window is to be opened on the location; postFinalizer() refreshes this page.
    void postRequested(const QString& location);
    // The page asks for a new window: a handler (connected directly) sets the browser that is
    // to receive it; none leaves the window unopened.
    void newWindowRequested(bryndle::WindowEvent* event);
    // A location the page refused to follow (a local file that is not its own, a script).
    void locationRefused(const QString& location);

protected:
    void createContents(QWidget* contents) override;

private:
    void onLocationChanging(LocationEvent* event);
    void onLocationChanged(const QString& location);
    void onStatusText(const QString& text);
    void onNewWindow(WindowEvent* event);
    // Keeps an 8-character fragment of the location as the anchor.
    void takeAnchor(const QString& location);
    // An attachment file: opened in a new web tab, or offered for saving when the engine would
    // treat it as a document of its own.
    bool openAttachment(const QString& location);
    QAction* addItem(const QString& text, const QString& toolTip, const char* name,
                     void (ShingetsuBrowserPage::*operation)());
    void openSchema(const class Schema& schema);
    // The screen position under a tool item.
    QPoint underItem(QAction* item) const;

    int iconCounter_ = 0;
    QLabel* titleLabel_ = nullptr;
    QString titleText_;
    QPointer<ShingetsuBrowser> browser_;
    QString anchor_;
    std::shared_ptr<PostFinalizer> postFinalizer_;
    QAction* latestItem_ = nullptr;
    QAction* settingsItem_ = nullptr;
    QToolBar* toolBar_ = nullptr;
};

} // namespace bryndle
