#pragma once

#include "browse/opentabs.h"
#include "browse/tabbrowser.h"
#include "browse/threadtable.h"
#include "shell/maincomposite.h"

#include <QPointer>
#include <QSplitter>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

namespace bryndle {

class NodeProbe;
class SideBar;

// The main window's content: the side bar on the left; on the right the thread table above the
// tab browser. It joins them: the tab browser's "新着" and "一覧" fill the table, and the table
// and the side bar open their locations through the tab browser. Its record in "environ.db" is
// named RevuVuzidiv and is never read or written; the sash weights belong to the tab browser,
// the tabs open at exit to a record of their own (OpenTabs).
class MainLayout : public MainComposite {
public:
    // How long the first listing waits for the node program to answer after the start.
    static constexpr int NodeWaitSeconds = 60;

    // Nothing is built yet: createControls does that.
    explicit MainLayout(QWidget* parent);
    ~MainLayout() override;

    void onNewThreads() override;
    void onSubscribedThreads() override;
    // Stores the tab browser's record (sash weights, address history) and the open tabs; once.
    void onExit() override;
    // Outer sash, side bar, inner sash, thread table, tab browser, in this order; then the
    // wiring, the tabs of the last run, and the first listing once the node answers.
    void createControls() override;
    // Selects and refreshes the tab that shows the location, or opens one. A thread to be
    // fetched waits while the first listing waits for the node.
    void openLocation(const QString& location) override;

    // Lists the node's new threads as soon as it accepts a connection, trying quietly for up to
    // `seconds` (the node program may still be starting); gives up without a word.
    void listWhenNodeAnswers(int seconds = NodeWaitSeconds);
    // Whether the first listing still waits for the node.
    bool isWaitingForNode() const;

    TabBrowser* tabBrowser() const { return tabBrowser_; }
    SideBar* sideBar() const { return sideBar_.get(); }
    QWidget* parent() const { return parent_; }
    ThreadTable* threadTable() const { return threadTable_; }
    QSplitter* outerSash() const { return outerSash_; }
    QSplitter* innerSash() const { return innerSash_; }

private:
    void stopWaitingForNode();
    void openWaitingLocations();
    // The table marks its rows again whenever a thread page has shown a document.
    void watchThreadPages();

    QPointer<TabBrowser> tabBrowser_;
    std::unique_ptr<SideBar> sideBar_;
    QPointer<QWidget> parent_;
    QPointer<ThreadTable> threadTable_;
    QPointer<QSplitter> outerSash_;
    QPointer<QSplitter> innerSash_;
    QPointer<NodeProbe> probe_;
    OpenTabs openTabs_;
    QStringList waitingLocations_;
    bool exited_ = false;
};

} // namespace bryndle
