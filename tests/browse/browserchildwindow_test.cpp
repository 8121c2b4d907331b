// Pop-up and post windows against the local node: the sizes and positions they keep, where a
// pop-up's links go, posting through the node's form, and deleting through the node's page.

#include "browse/browserchildwindow.h"
#include "browse/browserpostwindow.h"
#include "browse/shingetsubrowser.h"
#include "browse/shingetsubrowserpage.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browse/threadtable.h"
#include "browsetest.h"
#include "enginetest.h"
#include "foundation/sqliteserializer.h"
#include "localnode/nodeforms.h"
#include "localnode/nodeprocess.h"
#include "loopbackserver.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"
#include "store/schema.h"
#include "store/threadcache.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineSettings>

#include <httplib.h>

using namespace bryndle;
using namespace bryndle::test;

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString location(const std::string& title, const char* method, uint32_t mode = 0,
                 uint32_t items = 0) {
    Schema schema(title);
    schema.method = method;
    schema.mode = mode;
    schema.items = items;
    return qs(schema.toLocation());
}

// The main window's panes around a tab browser.
struct Window {
    std::unique_ptr<QWidget> shell = std::make_unique<QWidget>();
    TabBrowser* browser;

    Window() {
        auto* layout = new QVBoxLayout(shell.get());
        auto* outer = new QSplitter(Qt::Horizontal, shell.get());
        layout->addWidget(outer);
        outer->addWidget(new QWidget);
        auto* inner = new QSplitter(Qt::Vertical);
        outer->addWidget(inner);
        inner->addWidget(new QWidget);
        browser = new TabBrowser(inner);
        shell->resize(1000, 700);
        shell->show();
        if (!QTest::qWaitForWindowExposed(shell.get()))
            qWarning("window not exposed");
    }
    TabFolder* folder() const { return browser->tabFolder(); }
    ShingetsuBrowserPage* open(const QString& location) const {
        return qobject_cast<ShingetsuBrowserPage*>(browser->open(location));
    }
};

// The windows of the kind open now, in no particular order.
template <class T> QList<T*> openWindows() {
    QList<T*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<T*>(widget); window && window->isVisible())
            found.append(window);
    return found;
}

// The one open pop-up (not a post window), or null.
BrowserChildWindow* onlyPopup() {
    BrowserChildWindow* popup = nullptr;
    int count = 0;
    for (BrowserChildWindow* window : openWindows<BrowserChildWindow>())
        if (!qobject_cast<BrowserPostWindow*>(window)) {
            popup = window;
            ++count;
        }
    return count == 1 ? popup : nullptr;
}

// The file the engine shows, when it shows a local one and has finished loading it.
QString shownFile(BrowserControl* browser) {
    if (!browser || browser->page()->isLoading())
        return {};
    const QUrl url(browser->BrowserControl::location());
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

QString nextDocument(BrowserControl* browser, const QString& previous = {}) {
    QString path;
    (void)QTest::qWaitFor(
        [&] {
            path = shownFile(browser);
            return !path.isEmpty() && path != previous;
        },
        20000);
    return path == previous ? QString() : path;
}

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void storeGeometry(const char* record, std::vector<int64_t> values) {
    std::vector<VariantPtr> items;
    for (int64_t value : values)
        items.push_back(std::make_shared<VLong>(value));
    SQLiteSerializer("environ.db", record).save(VArray(std::move(items)));
}

std::vector<int64_t> storedGeometry(const char* record) {
    std::vector<int64_t> values;
    for (const VariantPtr& value : SQLiteSerializer("environ.db", record).load()->values())
        values.push_back(value->toLong());
    return values;
}

QPoint at(const BrowserChildWindow* window) {
    return window->pos();
}

} // namespace

class BrowserChildWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BrowseFixture> fixture_;
    TempDir nodeFolder_;
    std::unique_ptr<NodeProcess> node_;
    LoopbackServer web_;
    const std::string thread_ = "窓のスレッド";
    const std::string popupThread_ = "ポップアップ";
    const std::string otherThread_ = "別のスレッド";

    Configuration& config() { return Configuration::instance(); }

    void registerThread(const std::string& title) {
        QVERIFY(test::registerThread(node_->port(), title));
    }
    void post(const std::string& title, const std::string& body) {
        QVERIFY(postRecord(node_->port(), title, body));
    }
    QString nodeList() {
        httplib::Client client("127.0.0.1", node_->port());
        auto answer = client.Get("/gateway.cgi/csv/changes/file,title");
        return answer ? qs(answer->body) : QStringLiteral("(no answer)");
    }
    QString nodeUrl(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(node_->port()).arg(path);
    }

    // A post window opened by the page, its form shown.
    BrowserPostWindow* openPostWindow(ShingetsuBrowserPage* page) {
        page->post();
        const QList<BrowserPostWindow*> windows = openWindows<BrowserPostWindow>();
        if (windows.size() != 1)
            return nullptr;
        BrowserPostWindow* window = windows.first();
        if (!QTest::qWaitForWindowExposed(window) || nextDocument(window->getBrowser()).isEmpty())
            return nullptr;
        return window;
    }

    // Clicks the field and types into it as a user with an input method does.
    bool type(BrowserChildWindow* window, const char* field, const QString& text) {
        QWebEngineView* view = window->getBrowser()->view();
        if (!clickElement(view, QLatin1String(field)))
            return false;
        if (!QTest::qWaitFor([&] {
                return evaluate(view->page(), QStringLiteral("document.activeElement.id"))
                           .toString() == QLatin1String(field);
            }))
            return false;
        commitText(view, text);
        return QTest::qWaitFor([&] { return fieldValue(window, field) == text; });
    }
    QString fieldValue(BrowserChildWindow* window, const char* field) {
        return evaluate(
                   window->getBrowser()->page(),
                   QStringLiteral("document.getElementById('%1').value").arg(QLatin1String(field)))
            .toString();
    }
    void submit(BrowserChildWindow* window) {
        evaluate(window->getBrowser()->page(),
                 QStringLiteral("document.querySelector('input[type=submit]').click(); true"));
    }

private slots:
    void initTestCase() {
        fixture_ = std::make_unique<BrowseFixture>();
        const QString themes = fixture_->file("themes");
        QVERIFY(QDir().mkpath(themes));
        const QString source = qEnvironmentVariable("BRYNDLE_SOURCE_DIR");
        QVERIFY(QFile::link(source + QStringLiteral("/data/template/theme/terminal"),
                            themes + QStringLiteral("/terminal")));
        QFile windowsTheme(source + QStringLiteral("/tests/browse/data/windows.xsl"));
        QVERIFY(windowsTheme.open(QIODevice::ReadOnly));
        web_.page("/web", "web page");
        const QByteArray theme =
            windowsTheme.readAll()
                .replace("POPUP_THREAD", location(popupThread_, "get").toUtf8())
                .replace("OTHER_THREAD", location(otherThread_, "get").toUtf8())
                .replace("WEB_PAGE", web_.url(QStringLiteral("/web")).toUtf8());
        for (const char* method : {"get", "cache"})
            writeFile(themes + QStringLiteral("/windows/%1.xsl").arg(QLatin1String(method)), theme);
        config().setThemeRoot(themes.toStdString());
        config().setTemporaryDir("temporary");
        config().setAttachDir("attach");
        QDir().mkpath(QStringLiteral("attach"));
        ThreadCache::setInstance(std::make_unique<ThreadCache>("cache.db"));

        node_ = std::make_unique<NodeProcess>(nodeFolder_.path(), false);
        node_->start();
        for (const std::string& title : {thread_, popupThread_, otherThread_}) {
            registerThread(title);
            post(title, title + "の最初の書き込み");
        }
    }

    void init() {
        config().setNodeHost("127.0.0.1");
        config().setNodePort(static_cast<uint16_t>(node_->port()));
        config().setThemeName("terminal");
        config().setRecordsPerPage(30);
    }

    void cleanup() {
        BrowserChildWindow::closeAll();
        QCOMPARE(BrowserChildWindow::openCount(), 0);
    }

    void geometryIsKeptPerClassAndCascades() {
        QFile::remove(QStringLiteral("environ.db"));
        // Nothing stored: the default size where the system puts it.
        auto* first = new BrowserChildWindow;
        first->open();
        QCOMPARE(first->size(), QSize(400, 300));
        // Return on the window's controls is the default button's.
        QVERIFY(first->closeButton()->isDefault());
        QPointer<BrowserChildWindow> guarded(first);
        QTest::keyClick(first->closeButton(), Qt::Key_Return);
        QVERIFY(!guarded || !guarded->isVisible());
        QCOMPARE(BrowserChildWindow::openCount(), 0);
        QCOMPARE(storedGeometry("BorwserChildWindow").size(), size_t{4});

        storeGeometry("BorwserChildWindow", {500, 400, 100, 100});
        QList<BrowserChildWindow*> windows;
        for (int i = 0; i < 6; ++i) {
            windows.append(new BrowserChildWindow);
            windows.last()->open();
        }
        QCOMPARE(BrowserChildWindow::openCount(), 6);
        QCOMPARE(windows[0]->size(), QSize(500, 400));
        QCOMPARE(at(windows[0]), QPoint(100, 100));
        QCOMPARE(at(windows[1]), QPoint(120, 120));
        QCOMPARE(at(windows[4]), QPoint(180, 180));
        QCOMPARE(at(windows[5]), QPoint(110, 110));
        // The post window keeps a record of its own; the count of open windows is shared.
        storeGeometry("BorwserPostWindow", {300, 200, 50, 60});
        auto* post = new BrowserPostWindow;
        post->open();
        QCOMPARE(post->size(), QSize(300, 200));
        QCOMPARE(at(post), QPoint(50 + 30, 60 + 30));
        post->closeWindow();
        for (BrowserChildWindow* window : windows)
            window->closeWindow();
        QCOMPARE(BrowserChildWindow::openCount(), 0);

        // Closing three stores only the last one's size and position.
        storeGeometry("BorwserChildWindow", {500, 400, 100, 100});
        windows.clear();
        for (int i = 0; i < 3; ++i) {
            windows.append(new BrowserChildWindow);
            windows.last()->open();
            windows.last()->resize(300 + 10 * i, 200 + 10 * i);
            windows.last()->move(10 * i, 20 * i);
        }
        windows[0]->closeWindow();
        windows[1]->closeWindow();
        QCOMPARE(storedGeometry("BorwserChildWindow"), (std::vector<int64_t>{500, 400, 100, 100}));
        windows[2]->closeWindow();
        QCOMPARE(storedGeometry("BorwserChildWindow"), (std::vector<int64_t>{320, 220, 20, 40}));

        // A record of another length, or one off every screen, gives the default size; a preset
        // size and position win over the record.
        for (const std::vector<int64_t>& record :
             {std::vector<int64_t>{500, 400, 100}, std::vector<int64_t>{500, 400, -9000, -9000}}) {
            storeGeometry("BorwserChildWindow", record);
            auto* window = new BrowserChildWindow;
            window->open();
            QCOMPARE(window->size(), QSize(400, 300));
            window->closeWindow();
        }
        auto* preset = new BrowserChildWindow;
        preset->setSize(QSize(333, 222));
        preset->setLocation(QPoint(44, 55));
        preset->open();
        QCOMPARE(preset->size(), QSize(333, 222));
        QCOMPARE(at(preset), QPoint(44, 55));
        preset->closeWindow();
    }

    void aPopupFollowsThreadLinksAndSendsTheRestToTabs() {
        config().setThemeName("windows");
        storeGeometry("BorwserChildWindow", {600, 400, 100, 100});
        Window window;
        ShingetsuBrowserPage* page = window.open(location(thread_, "get", 1, 30));
        QVERIFY(page);
        QVERIFY(!nextDocument(page->browser()).isEmpty());
        QVERIFY(clickElement(page->browser()->view(), QStringLiteral("popup")));
        QTRY_VERIFY_WITH_TIMEOUT(onlyPopup(), 10000);
        QPointer<BrowserChildWindow> popup = onlyPopup();
        QCOMPARE(popup->ownerPage(), page);
        QVERIFY(popup->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(popup->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!popup->getBrowser()->page()->settings()->testAttribute(
            QWebEngineSettings::JavascriptEnabled));
        // The thread asked for is loaded by the pop-up itself, titled by its document.
        QTRY_COMPARE_WITH_TIMEOUT(popup->windowTitle(), qs(popupThread_), 20000);
        // The engine hands over the link with its host in lower case.
        QCOMPARE(popup->getLocation().compare(location(popupThread_, "get"), Qt::CaseInsensitive),
                 0);
        QCOMPARE(window.folder()->count(), 1);

        // A web link opens a tab of the main window; the pop-up stays where it is.
        const QString shown = nextDocument(popup->getBrowser());
        QVERIFY(!shown.isEmpty());
        evaluate(popup->getBrowser()->page(),
                 QStringLiteral("document.getElementById('web').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(window.folder()->count(), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(window.browser->currentPage()->getTitle(),
                                  QStringLiteral("web page"), 20000);
        QCOMPARE(shownFile(popup->getBrowser()), shown);
        // A thread link loads in the pop-up.
        evaluate(popup->getBrowser()->page(),
                 QStringLiteral("document.getElementById('thread').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(popup->windowTitle(), qs(otherThread_), 20000);
        QCOMPARE(window.folder()->count(), 2);
        QCOMPARE(onlyPopup(), popup.data());

        // A pop-up's own new window belongs to the same page; once that page has closed, a new
        // window opens for nobody.
        WindowEvent request;
        emit popup->getBrowser()->newWindow(&request);
        QVERIFY(request.browser);
        QCOMPARE(BrowserChildWindow::openCount(), 2);
        auto* second = qobject_cast<BrowserChildWindow*>(request.browser->window());
        QVERIFY(second);
        QCOMPARE(second->ownerPage(), page);
        second->closeWindow();
        window.folder()->setCurrentIndex(0);
        window.browser->closeCurrentTab();
        QVERIFY(!popup->ownerPage());
        WindowEvent late;
        emit popup->getBrowser()->newWindow(&late);
        QVERIFY(!late.browser);
        QCOMPARE(BrowserChildWindow::openCount(), 1);
        // Its "閉じる" closes it.
        popup->closeButton()->click();
        QTRY_VERIFY(!popup);
        QCOMPARE(BrowserChildWindow::openCount(), 0);
    }

    void aPostThroughThePostWindowShowsInTheThread() {
        storeGeometry("BorwserPostWindow", {700, 560, 20, 20});
        Window window;
        ShingetsuBrowserPage* page = window.open(location(thread_, "get", 1, 30));
        QVERIFY(page);
        const QString before = nextDocument(page->browser());
        QVERIFY(!before.isEmpty());
        QPointer<BrowserPostWindow> post = openPostWindow(page);
        QVERIFY(post);
        QCOMPARE(post->getLocation(), qs("shingetsu://" + threadFileName(thread_) + "/post/"));
        QTRY_COMPARE(post->windowTitle(), QStringLiteral("書き込み: ") + qs(thread_));
        QCOMPARE(post->changeCount(), 1);
        QVERIFY(!post->backButton()->isEnabled());

        QVERIFY(type(post, "name", QStringLiteral("窓の名無し")));
        QVERIFY(type(post, "mail", QStringLiteral("sage")));
        QVERIFY(type(post, "body", QStringLiteral("窓から書き込みました")));
        writeFile(fixture_->file("note.txt"), "attached text");
        fixture_->files->answer = fixture_->file("note.txt");
        QVERIFY(clickElement(post->getBrowser()->view(), QStringLiteral("attach")));
        QTRY_COMPARE(evaluate(post->getBrowser()->page(),
                              QStringLiteral("document.getElementById('attach').files.length"))
                         .toInt(),
                     1);
        submit(post);
        // The node's redirect closes the window; the page fetches the new record.
        QTRY_VERIFY_WITH_TIMEOUT(!post, 20000);
        QCOMPARE(BrowserChildWindow::openCount(), 0);
        const QString after = nextDocument(page->browser(), before);
        QVERIFY(!after.isEmpty());
        const QString document = fileText(after);
        QVERIFY(document.contains(QStringLiteral("窓から書き込みました")));
        QVERIFY(document.contains(QStringLiteral("窓の名無し")));
        const QString attachment =
            QRegularExpression(QStringLiteral("<ATTACH_PATH>([^<]+)<")).match(document).captured(1);
        QVERIFY(attachment.endsWith(QStringLiteral(".txt")));
        QCOMPARE(fileText(attachment), QStringLiteral("attached text"));
        QCOMPARE(page->browser()->getRecordCount(), 2);
    }

    void aRefusedPostKeepsTheWindowAndWhatWasTyped() {
        storeGeometry("BorwserPostWindow", {700, 560, 20, 20});
        Window window;
        ShingetsuBrowserPage* page = window.open(location(otherThread_, "get", 1, 30));
        const QString latest = nextDocument(page->browser());
        QVERIFY(!latest.isEmpty());
        // A page read from the cache: the post still shows once the window has closed.
        page->showFirstPage();
        const QString before = nextDocument(page->browser(), latest);
        QVERIFY(!before.isEmpty());
        QCOMPARE(page->getLocation(), location(otherThread_, "cache", 2, 30));
        QPointer<BrowserPostWindow> post = openPostWindow(page);
        QVERIFY(post);
        QVERIFY(type(post, "name", QStringLiteral("空の書き込み")));
        submit(post);
        // No body: the node answers a page of its own, and the window stays on it.
        QTRY_VERIFY_WITH_TIMEOUT(
            plainText(post->getBrowser()->page()).contains(QStringLiteral("本文がありません")),
            20000);
        spin(500);
        QVERIFY(post && post->isVisible());
        QCOMPARE(post->changeCount(), 2);
        QTRY_VERIFY(post->backButton()->isEnabled());
        post->backButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(fieldValue(post, "name"), QStringLiteral("空の書き込み"), 10000);
        QCOMPARE(post->changeCount(), 1);
        // The form, filled in again, goes through.
        QVERIFY(type(post, "body", QStringLiteral("二度目の書き込み")));
        submit(post);
        QTRY_VERIFY_WITH_TIMEOUT(!post, 20000);
        QVERIFY(fileText(nextDocument(page->browser(), before))
                    .contains(QStringLiteral("二度目の書き込み")));
    }

    // The page that opened the window closes before the window does: closing the window later
    // leaves the page alone.
    void aClosedPageIsLeftAloneByItsWindows() {
        Window window;
        QPointer<ShingetsuBrowserPage> page = window.open(location(thread_, "get", 1, 30));
        QVERIFY(!nextDocument(page->browser()).isEmpty());
        QPointer<BrowserPostWindow> post = openPostWindow(page);
        QVERIFY(post);
        window.browser->closeCurrentTab();
        QVERIFY(!page || page->isDisposed());
        QTRY_VERIFY(!page);
        post->closeWindow();
        QTRY_VERIFY(!post);
        QCOMPARE(window.folder()->count(), 0);

        // Windows still open when the main window goes are closed without their finalizers.
        int finalized = 0;
        auto* left = new BrowserChildWindow;
        left->setFinalizer([&] { ++finalized; });
        left->open();
        window.browser->onExit();
        QCOMPARE(BrowserChildWindow::openCount(), 0);
        QCOMPARE(finalized, 0);
    }

    void theDeletionWindowClosesOnceTheNodeHasAnswered() {
        LoopbackServer node;
        node.page("/admin.cgi?cmd=fdel&file=thread_41", "delete",
                  "<form method='post' action='/admin.cgi'><input type='submit' value='x'></form>");
        node.route("/admin.cgi", {"<html><body>done</body></html>", "text/html", 1500, {}});
        int finalized = 0;
        BrowserChildWindow::openDeletePage(
            node.url(QStringLiteral("/admin.cgi?cmd=fdel&file=thread_41")), [&] { ++finalized; });
        QPointer<BrowserChildWindow> window = onlyPopup();
        QVERIFY(window);
        QVERIFY(window->closeOnNavigate());
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("delete"), 20000);
        submit(window);
        QTRY_COMPARE_WITH_TIMEOUT(node.count("/admin.cgi"), 1, 10000);
        // Sent, not answered yet: still open.
        QVERIFY(window);
        QCOMPARE(finalized, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!window, 10000);
        QCOMPARE(finalized, 1);

        // A node that never answers leaves the window open.
        node.route("/admin.cgi", {"late", "text/html", 600000, {}});
        BrowserChildWindow::openDeletePage(
            node.url(QStringLiteral("/admin.cgi?cmd=fdel&file=thread_41")), [&] { ++finalized; });
        window = onlyPopup();
        QVERIFY(window);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("delete"), 20000);
        submit(window);
        QTRY_COMPARE_WITH_TIMEOUT(node.count("/admin.cgi"), 2, 10000);
        spin(1500);
        QVERIFY(window && window->isVisible());
        QCOMPARE(finalized, 1);
        window->closeWindow();
        QCOMPARE(finalized, 2);
    }

    // The thread table's delete action on the local node: the thread is gone from the node's
    // list, and the table lists again without it.
    void deletingFromTheThreadTableRemovesTheThread() {
        const std::string doomed = "消えるスレッド";
        registerThread(doomed);
        post(doomed, "消える書き込み");
        QVERIFY(nodeList().contains(qs(threadFileName(doomed))));
        QWidget parent;
        auto* table = new ThreadTable(&parent);
        table->setDeletePageOpener(&BrowserChildWindow::openDeletePage);
        QSignalSpy listed(table, &ThreadTable::listingFinished);
        table->showSubscribedThreads();
        QVERIFY(listed.wait(20000));
        auto rows = [&] {
            QStringList titles;
            QAbstractItemModel* model = table->table()->model();
            for (int row = 0; row < model->rowCount(); ++row)
                titles.append(model->index(row, 1).data().toString());
            return titles;
        };
        const int row = rows().indexOf(qs(doomed));
        QVERIFY(row >= 0);
        table->table()->selectRow(row);
        table->deleteThread();
        QPointer<BrowserChildWindow> window = onlyPopup();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(plainText(window->getBrowser()->page()).contains(qs(doomed)),
                                 20000);
        submit(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window, 20000);
        QVERIFY(!nodeList().contains(qs(threadFileName(doomed))));
        QVERIFY(listed.wait(20000));
        QVERIFY(!rows().contains(qs(doomed)));
        QVERIFY(rows().contains(qs(thread_)));
    }
};

BRYNDLE_WEBENGINE_TEST_MAIN(BrowserChildWindowTest)
#include "browserchildwindow_test.moc"
