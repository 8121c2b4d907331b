#include "browse/browsertabpage.h"
#include "browse/mainlayout.h"
#include "browse/sidebar.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browse/threadtable.h"
#include "browsetest.h"
#include "foundation/sqliteserializer.h"
#include "foundation/variant.h"
#include "localnode/nodeprocess.h"

#include <QAction>
#include <QSignalSpy>
#include <QSplitter>
#include <QTcpServer>
#include <QVBoxLayout>

using namespace bryndle;
using namespace bryndle::test;

namespace {

const QString Thread = QStringLiteral("shingetsu://thread_E99B91E8AB87/get/l10");

// The main window's central area with the layout built into it.
struct Window {
    std::unique_ptr<QWidget> shell = std::make_unique<QWidget>();
    std::unique_ptr<MainLayout> layout;

    Window() {
        new QVBoxLayout(shell.get());
        layout = std::make_unique<MainLayout>(shell.get());
        layout->createControls();
        shell->resize(1000, 700);
        shell->show();
        if (!QTest::qWaitForWindowExposed(shell.get()))
            qWarning("window not exposed");
    }
    ~Window() {
        // The panes go with the widgets; the layout's side bar first, as in the main window.
        layout.reset();
        shell.reset();
    }
    TabBrowser* browser() const { return layout->tabBrowser(); }
    TabFolder* folder() const { return browser()->tabFolder(); }
    QAction* item(const char* name) const {
        return orStandIn(browser()->topComposite()->findChild<QAction*>(QLatin1String(name)),
                         QLatin1String(name));
    }
};

int weight(const QSplitter* sash) {
    const QList<int> sizes = sash->sizes();
    return qRound(100.0 * sizes[0] / (sizes[0] + sizes[1]));
}

VArrayPtr stored(const char* record) {
    return SQLiteSerializer("environ.db", record).load();
}

uint16_t unusedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

class MainLayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BrowseFixture> fixture_;

    void useNode(uint16_t port) { Configuration::instance().setNodePort(port); }

private slots:
    void init() {
        fixture_ = std::make_unique<BrowseFixture>();
        // Nothing answers here unless a test starts a node.
        useNode(unusedPort());
    }
    void cleanup() { fixture_.reset(); }

    // Side bar | (thread table / tab browser), the tab browser on both sashes at 20 and 25
    // percent on a first start.
    void thePanesStandInOrderWithTheFirstStartsWeights() {
        Window window;
        MainLayout& layout = *window.layout;
        QSplitter* outer = layout.outerSash();
        QSplitter* inner = layout.innerSash();
        QVERIFY(outer && inner);
        QCOMPARE(outer->orientation(), Qt::Horizontal);
        QCOMPARE(inner->orientation(), Qt::Vertical);
        QCOMPARE(outer->widget(0), layout.sideBar()->rootComposite());
        QCOMPARE(outer->widget(1), inner);
        QCOMPARE(inner->widget(0), layout.threadTable()->composite());
        QCOMPARE(inner->widget(1), window.browser()->topComposite());
        QCOMPARE(window.browser()->outerSash(), outer);
        QCOMPARE(window.browser()->innerSash(), inner);
        QVERIFY(qAbs(weight(outer) - 20) <= 1);
        QVERIFY(qAbs(weight(inner) - 25) <= 1);
    }

    // "新着" and "一覧" list into the table; the table, the side bar and a handed-over location
    // all open through the tab browser, which reuses a tab that shows the location.
    void listingAndOpeningGoThroughTheTabBrowser() {
        NodeProcess node(fixture_->dir().path(), true);
        node.start();
        useNode(static_cast<uint16_t>(node.port()));
        Window window;
        ThreadTable* table = window.layout->threadTable();
        QTRY_VERIFY_WITH_TIMEOUT(!table->items().empty() && !table->isListing(), 20000);
        QVERIFY(!window.layout->isWaitingForNode());

        QSignalSpy listed(table, &ThreadTable::listingFinished);
        window.item("subscribedThreadsItem")->trigger();
        QVERIFY(listed.wait(20000));
        QVERIFY(table->isShowingSubscribed());
        window.item("newThreadsItem")->trigger();
        QVERIFY(listed.wait(20000));
        QVERIFY(!table->isShowingSubscribed());
        QCOMPARE(listed.count(), 2);

        table->fireOpen(Thread);
        QCOMPARE(window.folder()->count(), 1);
        BrowserTabPage* fromTable = window.browser()->currentPage();
        QCOMPARE(window.layout->sideBar()->openLocation(Thread), fromTable);
        QCOMPARE(window.folder()->count(), 1);
        window.layout->openLocation(QStringLiteral("about:blank"));
        QCOMPARE(window.folder()->count(), 2);
        QCOMPARE(window.folder()->currentIndex(), 1);
        window.layout->openLocation(Thread);
        QCOMPARE(window.folder()->count(), 2);
        QCOMPARE(window.folder()->currentIndex(), 0);
        // No node answer was an error.
        QVERIFY(fixture_->box->shown.empty());
    }

    // The first listing, and a thread to fetch, wait quietly for a node that is still starting;
    // one that never answers is given up without a word.
    void theFirstListingWaitsForTheNode() {
        const uint16_t port = unusedPort();
        useNode(port);
        Window window;
        QVERIFY(window.layout->isWaitingForNode());
        // A thread handed over meanwhile waits as well; a web page does not.
        window.layout->openLocation(Thread);
        window.layout->openLocation(QStringLiteral("about:blank"));
        QTest::qWait(600);
        QVERIFY(window.layout->threadTable()->items().empty());
        QCOMPARE(window.folder()->count(), 1);
        NodeProcess node(fixture_->dir().path(), true, port);
        node.start();
        QTRY_VERIFY_WITH_TIMEOUT(!window.layout->threadTable()->items().empty(), 20000);
        QCOMPARE(window.folder()->count(), 2);
        QCOMPARE(window.browser()->currentPage()->compareLocation(Thread), 0);
        QVERIFY(!window.layout->isWaitingForNode());

        useNode(unusedPort());
        window.layout->listWhenNodeAnswers(1);
        QVERIFY(window.layout->isWaitingForNode());
        window.layout->openLocation(QStringLiteral("shingetsu://thread_41/get/"));
        QCOMPARE(window.folder()->count(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(!window.layout->isWaitingForNode(), 5000);
        // Given up, the node's silence is the thread page's to show.
        QCOMPARE(window.folder()->count(), 3);
        QVERIFY(fixture_->box->shown.empty());
    }

    // Closing stores the tab browser's record and the open tabs once; the next start opens the
    // tabs again in order, a thread from the cache, with the selected one selected.
    void exitStoresOnceAndTheNextStartReopensTheTabs() {
        {
            Window window;
            // Opened from the table: a thread handed over would wait for the node here.
            window.layout->threadTable()->fireOpen(Thread);
            window.layout->openLocation(QStringLiteral("about:blank"));
            QCOMPARE(window.folder()->count(), 2);
            // A web tab has its location once the engine has taken it.
            QTRY_COMPARE(window.folder()->pageAt(1)->getLocation(), QStringLiteral("about:blank"));
            window.folder()->setCurrentIndex(0);
            window.layout->onExit();
            const VArrayPtr record = stored("TabBrowser");
            QCOMPARE(record->size(), size_t{3});
            QCOMPARE(record->values()[1]->toLong(), int64_t{20});
            // A second exit writes nothing.
            window.item("sideToggle")->trigger();
            window.browser()->closeAllTabs();
            window.layout->onExit();
            QCOMPARE(stored("TabBrowser")->values()[1]->toLong(), int64_t{20});
            QCOMPARE(stored("OpenTabs")->values()[0]->toLong(), int64_t{0});
        }
        Window next;
        QCOMPARE(next.folder()->count(), 2);
        QVERIFY(next.folder()->pageAt(0) && next.folder()->pageAt(1));
        QCOMPARE(next.folder()->pageAt(0)->getLocation(),
                 QStringLiteral("shingetsu://thread_E99B91E8AB87/cache/l10"));
        QTRY_COMPARE(next.folder()->pageAt(1)->getLocation(), QStringLiteral("about:blank"));
        QCOMPARE(next.folder()->currentIndex(), 0);

        // Only the selected tab's place matters: the last one selected comes back selected.
        next.folder()->setCurrentIndex(1);
        next.layout->onExit();
        next.layout.reset();
        Window third;
        QCOMPARE(third.folder()->count(), 2);
        QVERIFY(third.folder()->pageAt(1));
        QCOMPARE(third.folder()->currentIndex(), 1);
    }

    // Locations that do not fit the record, or a record of another length, open nothing.
    void aStrangeTabsRecordOpensNothing() {
        SQLiteSerializer("environ.db", "OpenTabs").save(*makeArray(int64_t{0}));
        Window window;
        QCOMPARE(window.folder()->count(), 0);
        QCOMPARE(OpenTabs::restoredLocation(QStringLiteral("shingetsu://nonsense")),
                 QStringLiteral("shingetsu://nonsense"));
        QCOMPARE(OpenTabs::restoredLocation(QStringLiteral("shingetsu://thread_41/cache/")),
                 QStringLiteral("shingetsu://thread_41/cache/"));
    }
};

BRYNDLE_WEBENGINE_TEST_MAIN(MainLayoutTest)

#include "mainlayout_test.moc"
