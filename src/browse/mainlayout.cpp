#include "browse/mainlayout.h"

#include "browse/browserchildwindow.h"
#include "browse/browsertabpage.h"
#include "browse/cbrowser.h"
#include "browse/nodeprobe.h"
#include "browse/sidebar.h"
#include "browse/spareenginepage.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browse/threadtable.h"
#include "config/configuration.h"

#include <QLayout>
#include <QSplitterHandle>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace bryndle {

namespace {

// A flat sash form: thin handles in the colour of a bevel's highlight edge, the nearest the
// palette has to the widget-highlight-shadow colour the layout was drawn with.
class Sash : public QSplitter {
public:
    static constexpr int HandleWidth = 3;

    Sash(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {
        setHandleWidth(HandleWidth);
        setChildrenCollapsible(false);
    }

protected:
    QSplitterHandle* createHandle() override {
        QSplitterHandle* handle = QSplitter::createHandle();
        // Only the handles take the colour: the panes keep the palette they inherit.
        QPalette colours = handle->palette();
        colours.setColor(QPalette::Window, palette().color(QPalette::Light));
        handle->setPalette(colours);
        handle->setAutoFillBackground(true);
        return handle;
    }
};

// A thread location whose opening asks the node for records.
bool fetchesFromNode(const QString& location) {
    return OpenTabs::restoredLocation(location) != location;
}

} // namespace

MainLayout::MainLayout(QWidget* parent) : MainComposite("RevuVuzidiv"), parent_(parent) {}

MainLayout::~MainLayout() {
    stopWaitingForNode();
}

void MainLayout::createControls() {
    outerSash_ = new Sash(Qt::Horizontal, parent_);
    outerSash_->setObjectName(QStringLiteral("outerSash"));
    if (QLayout* layout = parent_->layout())
        layout->addWidget(outerSash_);

    sideBar_ = std::make_unique<SideBar>(outerSash_, 0);

    innerSash_ = new Sash(Qt::Vertical, outerSash_);
    innerSash_->setObjectName(QStringLiteral("innerSash"));
    outerSash_->addWidget(innerSash_);

    threadTable_ = new ThreadTable(innerSash_, 0);
    innerSash_->insertWidget(0, threadTable_->composite());

    // Finds both sashes (its parent and its parent's parent) and gives them their weights.
    tabBrowser_ = new TabBrowser(innerSash_);

    tabBrowser_->addNewThreadsHandler([this] { onNewThreads(); });
    tabBrowser_->addSubscribedThreadsHandler([this] { onSubscribedThreads(); });
    const QPointer<TabBrowser> browser = tabBrowser_;
    threadTable_->setOpenHandler([browser](const QString& location) {
        if (browser)
            browser->openOrActivate(location);
    });
    // The node's deletion page opens in a window of its own, which closes once the node has
    // answered; the table then lists its threads again.
    threadTable_->setDeletePageOpener(&BrowserChildWindow::openDeletePage);
    sideBar_->setOpenHandler([browser](const QString& location) -> BrowserTabPage* {
        return browser ? browser->openOrActivate(location) : nullptr;
    });

    // Every new tab is selected as it opens, and is the tab browser's once the call that opened
    // it has returned: a thread page that has shown a document has changed the cache, and the
    // table's marks follow.
    QObject::connect(tabBrowser_->tabFolder(), &QTabWidget::currentChanged, threadTable_, [this] {
        QTimer::singleShot(0, threadTable_, [this] { watchThreadPages(); });
    });
    // Thread pages open on a page made ahead while the window is idle; it goes with the window.
    new SpareEnginePage(tabBrowser_);
    openTabs_.loadState(*tabBrowser_);
    // The weights went onto sashes without a size; the window shows before the next event, and
    // the panes' shares are set again on the real widths.
    QTimer::singleShot(0, outerSash_, [browser] {
        if (browser)
            browser->loadState();
    });
    listWhenNodeAnswers();
}

void MainLayout::onNewThreads() {
    stopWaitingForNode();
    openWaitingLocations();
    if (threadTable_)
        threadTable_->showNewThreads();
}

void MainLayout::onSubscribedThreads() {
    stopWaitingForNode();
    openWaitingLocations();
    if (threadTable_)
        threadTable_->showSubscribedThreads();
}

void MainLayout::onExit() {
    if (exited_ || !tabBrowser_)
        return;
    exited_ = true;
    stopWaitingForNode();
    openTabs_.saveState(*tabBrowser_);
    tabBrowser_->onExit();
}

void MainLayout::openLocation(const QString& location) {
    if (!tabBrowser_ || location.isEmpty())
        return;
    // Fetched before the node program listens, the thread would show no records.
    if (isWaitingForNode() && fetchesFromNode(location)) {
        waitingLocations_.append(location);
        return;
    }
    tabBrowser_->openOrActivate(location);
}

void MainLayout::openWaitingLocations() {
    for (const QString& location : std::exchange(waitingLocations_, {}))
        openLocation(location);
}

void MainLayout::listWhenNodeAnswers(int seconds) {
    stopWaitingForNode();
    const Configuration& config = Configuration::instance();
    probe_ = new NodeProbe(QString::fromStdString(config.nodeHost()), config.nodePort(), seconds,
                           outerSash_);
    QObject::connect(probe_, &NodeProbe::answered, outerSash_, [this] {
        // The probe goes by itself: the wait is over.
        probe_ = nullptr;
        if (threadTable_)
            threadTable_->showNewThreads();
        openWaitingLocations();
    });
    QObject::connect(probe_, &NodeProbe::gaveUp, outerSash_, [this] {
        probe_ = nullptr;
        openWaitingLocations();
    });
    probe_->start();
}

void MainLayout::watchThreadPages() {
    TabFolder* folder = tabBrowser_ ? tabBrowser_->tabFolder() : nullptr;
    for (int i = 0; folder && threadTable_ && i < folder->count(); ++i) {
        BrowserTabPage* page = folder->pageAt(i);
        CBrowser* browser = page ? page->getBrowser() : nullptr;
        if (browser && page->kind() == QStringLiteral("ShingetsuBrowserPage"))
            QObject::connect(browser, &BrowserControl::completed, threadTable_,
                             &ThreadTable::updateCacheState, Qt::UniqueConnection);
    }
}

bool MainLayout::isWaitingForNode() const {
    return !probe_.isNull();
}

void MainLayout::stopWaitingForNode() {
    if (probe_)
        probe_->cancel();
    probe_ = nullptr;
}

} // namespace bryndle
