// Thread pages against the local node (and, for a node that sends markup, a scripted one):
// opening, paging, links and anchors, temporary documents, the settings menu, and what a
// node's text may not do in a page.

#include "browse/browserchildwindow.h"
#include "browse/browsercontrolpage.h"
#include "browse/settingsmenu.h"
#include "browse/shingetsubrowser.h"
#include "browse/shingetsubrowserpage.h"
#include "browse/spareenginepage.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browse/threadprofile.h"
#include "browse/webbrowsertabpage.h"
#include "browsetest.h"
#include "enginetest.h"
#include "foundation/digest.h"
#include "localnode/nodeforms.h"
#include "localnode/nodeprocess.h"
#include "loopbackserver.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"
#include "store/fakenode.h"
#include "store/pageloaderregistry.h"
#include "store/schema.h"
#include "store/threadcache.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <signal.h>

#include <cmath>

using namespace bryndle;
using namespace bryndle::test;

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The main window's panes around a tab browser.
struct Window {
    std::unique_ptr<QWidget> shell = std::make_unique<QWidget>();
    QSplitter* outer = new QSplitter(Qt::Horizontal, shell.get());
    QSplitter* inner = new QSplitter(Qt::Vertical);
    TabBrowser* browser;

    Window() {
        auto* layout = new QVBoxLayout(shell.get());
        layout->addWidget(outer);
        outer->addWidget(new QWidget);
        outer->addWidget(inner);
        inner->addWidget(new QWidget);
        browser = new TabBrowser(inner);
        shell->resize(1100, 800);
        shell->show();
        if (!QTest::qWaitForWindowExposed(shell.get()))
            qWarning("window not exposed");
    }
    TabFolder* folder() const { return browser->tabFolder(); }
    ShingetsuBrowserPage* open(const QString& location) const {
        return qobject_cast<ShingetsuBrowserPage*>(browser->open(location));
    }
};

QString location(const std::string& title, const char* method, uint32_t mode = 0,
                 uint32_t items = 0, uint32_t page = 0) {
    Schema schema(title);
    schema.method = method;
    schema.mode = mode;
    schema.items = items;
    schema.page = page;
    return qs(schema.toLocation());
}

// The page document the browser shows, or empty while it shows none (or is still loading).
QString shownDocument(ShingetsuBrowserPage* page) {
    if (!page->browser() || page->browser()->page()->isLoading())
        return {};
    const QUrl url(page->browser()->BrowserControl::location());
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

// Waits until the page shows a document other than `previous`; its path.
QString nextDocument(ShingetsuBrowserPage* page, const QString& previous = {}) {
    QString path;
    (void)QTest::qWaitFor(
        [&] {
            path = shownDocument(page);
            return !path.isEmpty() && path != previous;
        },
        20000);
    return path == previous ? QString() : path;
}

// An element of the shown document's INFO.
QString info(const QString& document, const char* element) {
    QFile file(document);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(unreadable)");
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpression pattern(
        QStringLiteral("<%1>([^<]*)</%1>").arg(QLatin1String(element)));
    return pattern.match(text).captured(1);
}

QString range(const QString& document) {
    return info(document, "BEGINNO") + QLatin1Char('-') + info(document, "ENDNO");
}

void click(ShingetsuBrowserPage* page, const QString& id) {
    evaluate(page->browser()->page(),
             QStringLiteral("document.getElementById('%1').click(); true").arg(id));
}

QAction* item(ShingetsuBrowserPage* page, const char* name) {
    return orStandIn(page->toolBar()->findChild<QAction*>(QLatin1String(name)),
                     QLatin1String(name));
}

// The test theme of links, pointing at another thread.
QByteArray linkTheme(const QString& otherThread) {
    QFile file(qEnvironmentVariable("BRYNDLE_SOURCE_DIR") +
               QStringLiteral("/tests/browse/data/links.xsl"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().replace("OTHER_THREAD", otherThread.toUtf8());
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// Records of a thread a minute apart, each with its number in the body after the given text.
std::vector<ThreadMessage> numberedRecords(const std::string& title, size_t count,
                                           const std::string& body, const std::string& seed) {
    std::vector<ThreadMessage> records(count);
    for (size_t n = 0; n < count; ++n) {
        records[n].title = title;
        records[n].mtime = 1600000000 + static_cast<int64_t>(n) * 60;
        records[n].md5 = Digest::md5Hex(seed + std::to_string(n));
        records[n].message = body + std::to_string(n);
    }
    return records;
}

} // namespace

class ThreadPageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BrowseFixture> fixture_;
    TempDir nodeFolder_;
    std::unique_ptr<NodeProcess> node_;
    LoopbackServer web_;
    const std::string thread_ = "日本語のスレッド";
    const std::string other_ = "別のスレッド";
    const std::string links_ = "リンク集";

    Configuration& config() { return Configuration::instance(); }

    void registerThread(const std::string& title) {
        QVERIFY(test::registerThread(node_->port(), title));
    }
    void post(const std::string& title, const std::string& body) {
        QVERIFY(postRecord(node_->port(), title, body));
    }
    void useNode(uint16_t port) { config().setNodePort(port); }

private slots:
    void initTestCase() {
        fixture_ = std::make_unique<BrowseFixture>();
        const QString themes = fixture_->file("themes");
        const QString source = qEnvironmentVariable("BRYNDLE_SOURCE_DIR");
        for (const char* theme : {"terminal", "paper"})
            QVERIFY(QFile::link(source + QStringLiteral("/data/template/theme/") + theme,
                                themes + QLatin1Char('/') + theme) ||
                    (QDir().mkpath(themes) &&
                     QFile::link(source + QStringLiteral("/data/template/theme/") + theme,
                                 themes + QLatin1Char('/') + theme)));
        const QByteArray links = linkTheme(location(other_, "get"));
        QVERIFY(links.contains("thread_"));
        writeFile(themes + QStringLiteral("/links/get.xsl"), links);
        writeFile(themes + QStringLiteral("/links/cache.xsl"), links);
        writeFile(themes + QStringLiteral("/README"), "not a theme");
        config().setThemeRoot(themes.toStdString());
        config().setThemeName("terminal");
        config().setTemporaryDir("temporary");
        QDir().mkpath(QStringLiteral("attach"));
        ThreadCache::setInstance(std::make_unique<ThreadCache>("cache.db"));

        node_ = std::make_unique<NodeProcess>(nodeFolder_.path(), false);
        node_->start();
        registerThread(thread_);
        registerThread(other_);
        post(other_, "別のスレッドの書き込み");
        for (int i = 0; i < 95; ++i)
            post(thread_, "書き込み " + std::to_string(i));
        registerThread(links_);
        post(links_, "file:///etc/passwd");
        web_.page("/img", "image");
        web_.page("/css", "style");
        web_.page("/frame", "frame");
        web_.page("/script", "script");
    }

    void init() {
        fixture_->box->shown.clear();
        config().setNodeHost("127.0.0.1");
        useNode(static_cast<uint16_t>(node_->port()));
        config().setThemeName("terminal");
        config().setRecordsPerPage(30);
        config().setTemporaryDir("temporary");
    }

    void openingAThreadShowsItsRecordsAndTitle() {
        Window window;
        const QString latest = location(thread_, "get", 1, 30);
        ShingetsuBrowserPage* page = window.open(latest);
        QVERIFY(page);
        const QString document = nextDocument(page);
        QVERIFY(!document.isEmpty());
        QCOMPARE(page->getTitle(), qs(thread_));
        QCOMPARE(page->titleLabel()->text(), QStringLiteral("(最新30件) ") + qs(thread_));
        QCOMPARE(page->getLocation(), latest);
        QCOMPARE(window.browser->addressField()->currentText(), latest);
        QCOMPARE(range(document), QStringLiteral("65-94"));
        QCOMPARE(page->browser()->getRecordCount(), 95);
        // Records far off screen are laid out only when they come near: the rendered text shows
        // the first ones, the page holds all 30.
        QTRY_VERIFY_WITH_TIMEOUT(
            plainText(page->browser()->page()).contains(QStringLiteral("書き込み ")), 10000);
        const QString all =
            evaluate(page->browser()->page(), QStringLiteral("document.body.textContent"))
                .toString();
        QCOMPARE(all.count(QStringLiteral("書き込み ")), 30);
        QVERIFY(document.startsWith(QDir::current().absoluteFilePath(QStringLiteral("temporary"))));
        QCOMPARE(page->browser()->historyPosition(), 1);
        page->back();
        QCOMPARE(page->browser()->historyPosition(), 1);
        QCOMPARE(page->getLocation(), latest);

        // The same thread at another page selects and reloads its tab; a location that does not
        // parse is compared as text.
        window.browser->open(QStringLiteral("about:blank"));
        QCOMPARE(window.folder()->count(), 2);
        QCOMPARE(window.browser->openOrActivate(location(thread_, "cache", 2, 30, 1)), page);
        QCOMPARE(window.folder()->currentIndex(), 0);
        QCOMPARE(page->browser()->historyPosition(), 2);
        QVERIFY(page->compareLocation(QStringLiteral("shingetsu://thread_ZZ/get/")) != 0);
        QVERIFY(page->compareLocation(location(other_, "get")) != 0);
        QCOMPARE(page->compareLocation(location(thread_, "cache", 0)), 0);
    }

    void pagingFollowsTheRecordCount() {
        Window window;
        ShingetsuBrowserPage* page = window.open(location(thread_, "get", 1, 30));
        QString document = nextDocument(page);
        QCOMPARE(range(document), QStringLiteral("65-94"));
        item(page, "nextPageItem")->trigger();
        document = nextDocument(page, document);
        QCOMPARE(page->getLocation(), location(thread_, "cache", 2, 30, 2));
        QCOMPARE(range(document), QStringLiteral("60-89"));
        QCOMPARE(page->titleLabel()->text(), QStringLiteral("(3ページ) ") + qs(thread_));

        page->showLatest();
        document = nextDocument(page, document);
        page->showPreviousPage();
        document = nextDocument(page, document);
        QCOMPARE(page->getLocation(), location(thread_, "cache", 2, 30, 2));

        // The node gets a record the cache lacks: page 3 comes from the cache without it, the
        // next page after the last fetches it.
        post(thread_, "書き込み 95");
        page->showNextPage();
        document = nextDocument(page, document);
        QCOMPARE(page->getLocation(), location(thread_, "cache", 2, 30, 3));
        QCOMPARE(range(document), QStringLiteral("90-94"));
        page->showNextPage();
        document = nextDocument(page, document);
        QCOMPARE(page->getLocation(), location(thread_, "get", 2, 30, 3));
        QCOMPARE(range(document), QStringLiteral("90-95"));
        QCOMPARE(page->browser()->getRecordCount(), 96);

        page->showFirstPage();
        document = nextDocument(page, document);
        QCOMPARE(range(document), QStringLiteral("0-29"));
        const int position = page->browser()->historyPosition();
        page->showPreviousPage();
        spin(300);
        QCOMPARE(page->browser()->historyPosition(), position);
        QCOMPARE(shownDocument(page), document);
    }

    void allThenPreviousDividesByTheConfiguredCount() {
        Window window;
        ShingetsuBrowserPage* page = window.open(location(thread_, "get", 1, 30));
        QString document = nextDocument(page);
        item(page, "allItem")->trigger();
        document = nextDocument(page, document);
        QCOMPARE(page->getLocation(), location(thread_, "get", 0));
        QCOMPARE(info(document, "COUNT"), QString::number(page->browser()->getRecordCount()));
        QCOMPARE(page->titleLabel()->text(), qs(thread_));
        item(page, "previousPageItem")->trigger();
        document = nextDocument(page, document);
        const uint32_t last = static_cast<uint32_t>(page->browser()->getRecordCount() / 30 - 1);
        QCOMPARE(page->getLocation(), location(thread_, "cache", 2, 30, last));
        item(page, "allItem")->trigger();
        document = nextDocument(page, document);
        item(page, "nextPageItem")->trigger();
        QVERIFY(!nextDocument(page, document).isEmpty());
    }

    void linksLeaveThePageAnchorsStay() {
        config().setThemeName("links");
        Window window;
        const QString start = location(thread_, "get", 1, 30);
        ShingetsuBrowserPage* page = window.open(start);
        const QString document = nextDocument(page);
        QVERIFY(!document.isEmpty());
        QSignalSpy posts(page, &ShingetsuBrowserPage::postRequested);

        click(page, QStringLiteral("a8"));
        QTRY_COMPARE(page->anchor(), QStringLiteral("abcdef12"));
        click(page, QStringLiteral("a7"));
        click(page, QStringLiteral("a9"));
        spin(300);
        QCOMPARE(page->anchor(), QStringLiteral("abcdef12"));
        QCOMPARE(window.folder()->count(), 1);
        item(page, "postItem")->trigger();
        QCOMPARE(posts.size(), 1);
        QCOMPARE(posts.at(0).at(0).toString(),
                 qs("shingetsu://" + threadFileName(thread_) + "/post/abcdef12"));
        // The post window it opened is not needed here.
        QCOMPARE(BrowserChildWindow::openCount(), 1);
        BrowserChildWindow::closeAll();

        // The status line names an anchor of the shown file by the title.
        emit page->browser()->statusTextChanged(QUrl::fromLocalFile(document).toString() +
                                                QStringLiteral("#abcdef12"));
        QCOMPARE(window.browser->statusLabel()->text(), qs(thread_) + QStringLiteral("#abcdef12"));
        const QVariant box =
            evaluate(page->browser()->page(),
                     QStringLiteral("var r = document.getElementById('a8')"
                                    ".getBoundingClientRect();"
                                    "[r.left + r.width / 2, r.top + r.height / 2]"));
        const QVariantList at = box.toList();
        QVERIFY(at.size() == 2);
        QWidget* view = page->browser()->view()->focusProxy();
        QVERIFY(view);
        window.browser->statusLabel()->clear();
        QTest::mouseMove(view, QPoint(at[0].toInt(), at[1].toInt()));
        QTRY_COMPARE_WITH_TIMEOUT(window.browser->statusLabel()->text(),
                                  qs(thread_) + QStringLiteral("#abcdef12"), 5000);

        // Another thread: a new selected tab; this one stays where it was.
        click(page, QStringLiteral("other"));
        QTRY_COMPARE_WITH_TIMEOUT(window.folder()->count(), 2, 10000);
        QCOMPARE(window.folder()->currentIndex(), 1);
        BrowserTabPage* opened = window.browser->currentPage();
        QCOMPARE(opened->kind(), QStringLiteral("ShingetsuBrowserPage"));
        QTRY_COMPARE(opened->getTitle(), qs(other_));
        QCOMPARE(page->getLocation(), start);
        QTRY_COMPARE(shownDocument(page), document);

        // A web page's link to a thread opens a thread tab as well.
        web_.page("/threads", "threads",
                  "<a id='thread' href='" + location(other_, "get").toUtf8() + "'>thread</a>");
        BrowserTabPage* web = window.browser->open(web_.url(QStringLiteral("/threads")));
        QTRY_COMPARE_WITH_TIMEOUT(web->getTitle(), QStringLiteral("threads"), 20000);
        evaluate(web->getBrowser()->page(),
                 QStringLiteral("document.getElementById('thread').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(window.folder()->count(), 4, 10000);
        QCOMPARE(window.browser->currentPage()->kind(), QStringLiteral("ShingetsuBrowserPage"));
        QTRY_COMPARE(window.browser->currentPage()->getTitle(), qs(other_));
        QCOMPARE(web->getLocation(), web_.url(QStringLiteral("/threads")));
    }

    // A link that asks for a window of its own is announced, and opens only in the browser a
    // handler hands over.
    void newWindowsGoToTheirHandler() {
        config().setThemeName("links");
        Window window;
        ShingetsuBrowserPage* page = window.open(location(thread_, "get", 1, 30));
        const QString document = nextDocument(page);
        QVERIFY(!document.isEmpty());
        int requests = 0;
        ShingetsuBrowser* receiver = nullptr;
        // Only this handler: the page's own, which opens pop-up windows, is left out here.
        disconnect(page, &ShingetsuBrowserPage::newWindowRequested, nullptr, nullptr);
        connect(page, &ShingetsuBrowserPage::newWindowRequested, this, [&](WindowEvent* event) {
            ++requests;
            event->browser = receiver;
        });
        // A click of the person: the engine opens no window for a link clicked by a script.
        auto clickBlank = [page] {
            const QVariantList at =
                evaluate(page->browser()->page(),
                         QStringLiteral("var r = document.getElementById('blank')"
                                        ".getBoundingClientRect();"
                                        "[r.left + r.width / 2, r.top + r.height / 2]"))
                    .toList();
            QWidget* view = page->browser()->view()->focusProxy();
            QVERIFY(at.size() == 2 && view);
            QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(at[0].toInt(), at[1].toInt()));
        };
        clickBlank();
        QTRY_COMPARE_WITH_TIMEOUT(requests, 1, 10000);
        spin(300);
        QCOMPARE(window.folder()->count(), 1);
        QCOMPARE(shownDocument(page), document);

        ShingetsuBrowser window2(nullptr, 0, nullptr);
        receiver = &window2;
        QStringList asked;
        connect(receiver, &BrowserControl::locationChanging, this, [&](LocationEvent* event) {
            asked << event->location;
            event->doit = false;
        });
        clickBlank();
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, 10000);
        QCOMPARE(requests, 2);
        // The engine writes the host in small letters; the title reads the same.
        QCOMPARE(Schema::parse(asked.front().toStdString()).title, other_);
        QCOMPARE(window.folder()->count(), 1);
        QCOMPARE(page->getLocation(), location(thread_, "get", 1, 30));
        disconnect(page, nullptr, this, nullptr);
    }

    void localFilesOtherThanAttachmentsAreRefused() {
        config().setThemeName("links");
        Window window;
        ShingetsuBrowserPage* page = window.open(location(links_, "get", 1, 30));
        const QString document = nextDocument(page);
        QSignalSpy refused(page, &ShingetsuBrowserPage::locationRefused);
        // The record's first line is a link to file:///etc/passwd.
        QVERIFY(evaluate(page->browser()->page(),
                         QStringLiteral("document.getElementById('link0').href"))
                    .toString()
                    .contains(QStringLiteral("file:///etc/passwd")));
        click(page, QStringLiteral("link0"));
        QTRY_COMPARE_WITH_TIMEOUT(refused.size(), 1, 10000);
        QVERIFY(refused.at(0).at(0).toString().startsWith(QStringLiteral("file:///etc/passwd")));
        spin(300);
        QCOMPARE(window.folder()->count(), 1);
        QCOMPARE(shownDocument(page), document);

        // Only this browser's own documents (and the pages rendered from them) stay here.
        auto follows = [&](const QString& target) {
            LocationEvent event{target};
            emit page->browser()->locationChanging(&event);
            return event.doit;
        };
        const QString foreign = document + QStringLiteral("-copy.xml");
        QVERIFY(QFile::copy(document, foreign));
        QVERIFY(follows(QUrl::fromLocalFile(document).toString() + QStringLiteral("#abcdef12")));
        QVERIFY(follows(QUrl::fromLocalFile(BrowserControl::renderedFile(document)).toString()));
        QVERIFY(follows(QStringLiteral("about:blank")));
        QVERIFY(!follows(QUrl::fromLocalFile(foreign).toString()));
        QVERIFY(!follows(QStringLiteral("javascript:alert(1)")));
        QVERIFY(!follows(QUrl::fromLocalFile(
                             QDir::current().absoluteFilePath(QStringLiteral("attach/../cache.db")))
                             .toString()));
        QTRY_COMPARE(refused.size(), 4);
        QCOMPARE(window.folder()->count(), 1);

        // An attachment opens in a web tab that runs nothing; markup is offered for saving.
        writeFile(QStringLiteral("attach/0123.txt"), "text");
        writeFile(QStringLiteral("attach/4567.html"), "<script>1</script>");
        QVERIFY(!follows(
            QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("attach/0123.txt")))
                .toString()));
        QTRY_COMPARE(window.folder()->count(), 2);
        BrowserTabPage* attachment = window.browser->currentPage();
        QCOMPARE(attachment->kind(), QStringLiteral("WebBrowserTabPage"));
        QTRY_VERIFY(attachment->getLocation().endsWith(QStringLiteral("/attach/0123.txt")));
        QVERIFY(!attachment->getBrowser()->page()->settings()->testAttribute(
            QWebEngineSettings::JavascriptEnabled));
        fixture_->files->saveAnswer = fixture_->file("saved.html");
        const size_t asked = fixture_->files->suggestions.size();
        QVERIFY(!follows(QUrl::fromLocalFile(
                             QDir::current().absoluteFilePath(QStringLiteral("attach/4567.html")))
                             .toString()));
        QTRY_COMPARE(fixture_->files->suggestions.size(), asked + 1);
        QVERIFY(QFile::exists(fixture_->file("saved.html")));
        QCOMPARE(window.folder()->count(), 2);
        QCOMPARE(refused.size(), 4);
    }

    // A node that sends markup: the page document escapes it, and a theme that writes it out
    // unescaped still runs no script and loads nothing from the network.
    void aRecordRunsNothingAndRequestsNothing() {
        FakeNode markup;
        const std::string title = "markup";
        const QString host = web_.url(QString());
        const std::string body = "<script>document.title='ran';new Image().src='" +
                                 host.toStdString() +
                                 "/script'</script><img src=" + host.toStdString() +
                                 "/img><link rel=stylesheet href=" + host.toStdString() +
                                 "/css><iframe src=" + host.toStdString() + "/frame></iframe>";
        markup.add(threadFileName(title), {1700000000, std::string(32, 'a'), "body:" + body});
        useNode(markup.port());

        Window window;
        ShingetsuBrowserPage* escaped = window.open(location(title, "get", 1, 30));
        nextDocument(escaped);
        QTRY_VERIFY(plainText(escaped->browser()->page()).contains(QStringLiteral("<script>")));

        config().setThemeName("links");
        ShingetsuBrowserPage* raw = window.open(location(title, "cache", 1, 30));
        nextDocument(raw);
        QCOMPARE(evaluate(raw->browser()->page(),
                          QStringLiteral("document.querySelectorAll('.raw script, .raw img, "
                                         ".raw link, .raw iframe').length"))
                     .toInt(),
                 4);
        spin(1500);
        QCOMPARE(raw->browser()->page()->title(), qs(title));
        for (const char* path : {"/img", "/script", "/css", "/frame"})
            QCOMPARE(web_.count(path), 0);

        // The same markup in a web page does reach the server: the count above can see it.
        web_.page("/control", "control", QByteArray::fromStdString(body));
        window.browser->open(web_.url(QStringLiteral("/control")));
        QTRY_VERIFY_WITH_TIMEOUT(web_.count("/img") > 0 && web_.count("/script") > 0, 20000);
    }

    // The tab goes while its loader waits for the node: nothing is shown, the loader is
    // released once its worker has stored the records.
    void closingATabWhileItFetchesLeavesNothing() {
        FakeNode slow;
        const std::string title = "slow";
        for (uint32_t i = 0; i < 5; ++i)
            slow.add(threadFileName(title),
                     {1700000000 + i, std::string(31, 'b') + char('0' + i), "body:x"});
        slow.closeGate();
        useNode(slow.port());
        Window window;
        QPointer<ShingetsuBrowserPage> page = window.open(location(title, "get", 1, 30));
        QPointer<ShingetsuBrowser> browser = page->browser();
        slow.waitUntilHeldAtGate();
        QVERIFY(PageLoaderRegistry::instance().liveCount() >= 1);
        window.browser->closeCurrentTab();
        QVERIFY(page->isDisposed());
        QTRY_VERIFY(!browser);
        slow.openGate();
        QTRY_COMPARE_WITH_TIMEOUT(PageLoaderRegistry::instance().liveCount(), size_t{0}, 10000);
        QCOMPARE(ThreadCache::instance().count(title), 5);
        QCOMPARE(window.folder()->count(), 0);
        QVERIFY(fixture_->box->shown.empty());
    }

    // Records off screen are not laid out, yet a location naming one deep in a long page still
    // shows that record at the top of the view.
    void anAnchorDeepInALongPageIsReached() {
        const std::string title = "千件のスレッド";
        std::vector<ThreadMessage> records = numberedRecords(title, 1000, "一行目<br>二行目 ", "");
        ThreadCache::instance().insertAll(records);
        config().setRecordsPerPage(1000);
        const QString anchor = qs(records[900].md5.substr(0, 8));
        Window window;
        ShingetsuBrowserPage* page =
            window.open(location(title, "cache") + QLatin1Char('#') + anchor);
        QVERIFY(page);
        QVERIFY(!nextDocument(page).isEmpty());
        const QString where = QStringLiteral("var r = document.getElementById('%1')"
                                             ".getBoundingClientRect(); [window.scrollY, r.top]")
                                  .arg(anchor);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QVariantList at = evaluate(page->browser()->page(), where).toList();
                return at.size() == 2 && at[0].toDouble() > 10000 &&
                       std::abs(at[1].toDouble()) < 20;
            }(),
            10000);

        // Its number stands out from its neighbour's; its id link names it in the status line.
        const QString number =
            QStringLiteral("var s = getComputedStyle(document.getElementById('%1')"
                           ".querySelector('.head'), '::before'); [s.content, s.backgroundColor]");
        const QVariantList target = evaluate(page->browser()->page(), number.arg(anchor)).toList();
        const QVariantList other =
            evaluate(page->browser()->page(), number.arg(qs(records[901].md5.substr(0, 8))))
                .toList();
        QCOMPARE(target.value(0).toString(), QStringLiteral("\"900\""));
        QCOMPARE(other.value(0).toString(), QStringLiteral("\"901\""));
        QVERIFY(target.value(1) != other.value(1));
        const QVariantList at =
            evaluate(page->browser()->page(),
                     QStringLiteral("var r = document.getElementById('%1')"
                                    ".querySelector('.head a').getBoundingClientRect();"
                                    "[r.left + r.width / 2, r.top + r.height / 2]")
                         .arg(anchor))
                .toList();
        QWidget* view = page->browser()->view()->focusProxy();
        QVERIFY(at.size() == 2 && view);
        QTest::mouseMove(view, QPoint(at[0].toInt(), at[1].toInt()));
        QTRY_COMPARE_WITH_TIMEOUT(window.browser->statusLabel()->text(),
                                  qs(title) + QLatin1Char('#') + anchor, 5000);
    }

    // The box of a reference at the end of a page of blocks: there only while the pointer is on
    // the link, over the lines below it, inside the page width.
    void aReferenceBoxShowsUnderThePointerOnly() {
        const std::string title = "参照のスレッド";
        std::vector<ThreadMessage> records = numberedRecords(title, 60, "本文 ", "ref ");
        records[1].name = "月見";
        // A line wider than the page, cut at 100 characters: the box wraps it.
        records[1].message = "一行目 \"')<br>";
        for (int i = 0; i < 100; ++i)
            records[1].message += "字";
        records.back().message = ">>" + records[1].md5.substr(0, 8);
        ThreadCache::instance().insertAll(records);
        config().setRecordsPerPage(100);
        for (const char* theme : {"terminal", "paper"}) {
            config().setThemeName(theme);
            Window window;
            ShingetsuBrowserPage* page = window.open(location(title, "cache"));
            QVERIFY(page);
            QVERIFY(!nextDocument(page).isEmpty());
            QWebEnginePage* engine = page->browser()->page();
            const QString link =
                QStringLiteral("document.querySelector('.record:last-child .ref')");
            evaluate(engine, link + QStringLiteral(".scrollIntoView({block: 'center'}); true"));
            spin(300);
            // The link's middle, and a point below it where the box is.
            const QVariantList at =
                evaluate(
                    engine,
                    QStringLiteral("var r = %1.getBoundingClientRect();"
                                   "[r.left + 8, r.top + r.height / 2, r.left + 40, r.bottom + 8]")
                        .arg(link))
                    .toList();
            QWidget* view = page->browser()->view()->focusProxy();
            QVERIFY(at.size() == 4 && view);
            const QString box =
                QStringLiteral("var e = %1; [getComputedStyle(e, '::after').content,"
                               " document.elementFromPoint(%2, %3) === e,"
                               " document.documentElement.scrollWidth <= "
                               "document.documentElement.clientWidth]")
                    .arg(link)
                    .arg(at[2].toInt())
                    .arg(at[3].toInt());
            QTest::mouseMove(view, QPoint(at[0].toInt(), at[1].toInt()));
            QTRY_VERIFY_WITH_TIMEOUT(evaluate(engine, box).toList().value(1).toBool(), 5000);
            const QVariantList shown = evaluate(engine, box).toList();
            const QString text = shown.value(0).toString();
            QVERIFY2(text.startsWith(QStringLiteral("\"1 月見\\a 一行目 \\\"')\\a 字字")),
                     qPrintable(text));
            QVERIFY(shown.value(2).toBool());
            QTest::mouseMove(view, QPoint(2, 2));
            QTRY_VERIFY_WITH_TIMEOUT(!evaluate(engine, box).toList().value(1).toBool(), 5000);
            QCOMPARE(evaluate(engine, box).toList().value(0).toString(), QStringLiteral("none"));
        }
    }

    void malformedRecordsAreCountedInTheStatus() {
        FakeNode broken;
        const std::string title = "broken";
        broken.add(threadFileName(title), {1700000000, std::string(32, 'c'), "body:ok"});
        broken.setRangeTail("not a record line\n");
        useNode(broken.port());
        Window window;
        ShingetsuBrowserPage* page = window.open(location(title, "get", 1, 30));
        nextDocument(page);
        QTRY_COMPARE(window.browser->statusLabel()->text(),
                     QStringLiteral("1件の壊れた記録を読み飛ばしました"));
    }

    void errorsShowInTheTabEscaped() {
        Window window;
        ShingetsuBrowserPage* page = window.open(QStringLiteral("shingetsu://thread_ZZ/get/"));
        QTRY_VERIFY_WITH_TIMEOUT(
            plainText(page->browser()->page()).startsWith(QStringLiteral("エラーです!: ")), 10000);
        QCOMPARE(page->getLocation(), QStringLiteral("shingetsu://thread_ZZ/get/"));
        page->browser()->showError("<b>bold</b> & more");
        QTRY_COMPARE_WITH_TIMEOUT(plainText(page->browser()->page()),
                                  QStringLiteral("エラーです!: <b>bold</b> & more"), 10000);
        page->browser()->showLoading({});
        QTRY_COMPARE_WITH_TIMEOUT(plainText(page->browser()->page()),
                                  QStringLiteral("読み込み中でございます.."), 10000);
    }

    void theFirstRenderPrunesTheTemporaryFolder() {
        config().setTemporaryDir("pruned");
        QDir().mkpath(QStringLiteral("pruned"));
        for (int i = 0; i < 250; ++i)
            writeFile(QStringLiteral("pruned/1000000000-%1.xml").arg(i, 3, 10, QLatin1Char('0')),
                      "old");
        writeFile(QStringLiteral("pruned/1000000000-000.xml.html"), "rendered");
        writeFile(QStringLiteral("pruned/1000000000-249.xml.html"), "rendered");
        Window window;
        ShingetsuBrowserPage* page = window.open(location(thread_, "cache", 1, 30));
        const QString document = nextDocument(page);
        QVERIFY(document.contains(QStringLiteral("/pruned/")));
        const QStringList old =
            QDir(QStringLiteral("pruned")).entryList({QStringLiteral("1000000000-*.xml")});
        QCOMPARE(old.size(), 99);
        QCOMPARE(old.front(), QStringLiteral("1000000000-151.xml"));
        QCOMPARE(old.back(), QStringLiteral("1000000000-249.xml"));
        QVERIFY(!QFile::exists(QStringLiteral("pruned/1000000000-000.xml.html")));
        QVERIFY(QFile::exists(QStringLiteral("pruned/1000000000-249.xml.html")));

        // The next 99 documents leave the folder alone; the hundredth prunes it again.
        for (int i = 0; i < 99; ++i)
            page->browser()->showDocument("<x/>", 0);
        QCOMPARE(QDir(QStringLiteral("pruned")).entryList({QStringLiteral("*.xml")}).size(), 199);
        page->browser()->showDocument("<x/>", 0);
        QCOMPARE(QDir(QStringLiteral("pruned")).entryList({QStringLiteral("*.xml")}).size(), 100);
    }

    void theToolBarAndTheSettingsMenu() {
        Window window;
        ShingetsuBrowserPage* first = window.open(location(thread_, "get", 1, 30));
        QStringList texts, tips;
        for (QAction* action : first->toolBar()->actions())
            if (!action->isSeparator()) {
                texts << action->text();
                tips << action->toolTip();
            }
        QCOMPARE(texts, (QStringList{"設定", "投稿", "1-", "前", "次", "全件", "最新"}));
        QCOMPARE(tips, (QStringList{"設定", "投稿", "１ページ目を表示", "ひとつ前のページを表示",
                                    "次のページを表示", "すべて表示", "最新30件を表示"}));
        QString document = nextDocument(first);

        SettingsMenu* menu = SettingsMenu::existing();
        QVERIFY(menu);
        QStringList themes;
        for (QAction* theme : menu->themeItems())
            themes << theme->text() + (theme->isChecked() ? QStringLiteral("*") : QString());
        QCOMPARE(themes, (QStringList{"links", "paper", "terminal*"}));
        QCOMPARE(menu->menu()->actions().size(), 3);
        QCOMPARE(menu->menu()->actions().last()->text(), QStringLiteral("表示件数の変更"));

        first->showSettingsMenu();
        QTRY_VERIFY(menu->menu()->isVisible());
        menu->themeItems()[1]->trigger();
        menu->hide();
        QCOMPARE(config().themeName(), std::string("paper"));
        document = nextDocument(first, document);
        QVERIFY(QFile(document).open(QIODevice::ReadOnly));
        QVERIFY(info(document, "THEME").endsWith(QStringLiteral("/paper")));

        // Records per page, from another page after the first has gone.
        ShingetsuBrowserPage* second = window.open(location(other_, "get", 1, 30));
        window.folder()->disposeItem(0);
        QCOMPARE(window.browser->currentPage(), second);
        second->showSettingsMenu();
        whenModal([](QWidget* dialog) {
            child<QLineEdit>(dialog, "text")->setText(QStringLiteral("45"));
            child<QPushButton>(dialog, "confirm")->click();
        });
        menu->itemsPerPageItem()->trigger();
        QCOMPARE(config().recordsPerPage(), 45);
        QCOMPARE(second->latestItem()->toolTip(), QStringLiteral("最新45件を表示"));
        Configuration stored;
        stored.load();
        QCOMPARE(stored.recordsPerPage(), 45);
        QCOMPARE(stored.themeName(), std::string("paper"));
        second->showLatest();
        QTRY_COMPARE(second->getLocation(), location(other_, "get", 1, 45));
    }

    // A thread tab opened while a spare is ready starts on its running renderer with a clean
    // history, and the next spare follows; one opened while none is ready still shows its
    // thread; nothing of the spares or their renderers outlives the window.
    void threadTabsTakeTheSpareEnginePage() {
        auto spares = std::make_unique<SpareEnginePage>(nullptr);
        QVERIFY(!spares->isReady());
        QCOMPARE(SpareEnginePage::take(), nullptr);
        QList<qint64> renderers;
        {
            Window window;
            // Made while the first spare was still starting.
            ShingetsuBrowserPage* cold = window.open(location(thread_, "get", 1, 30));
            QVERIFY(!nextDocument(cold).isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(spares->isReady(), 20000);
            QSignalSpy made(spares.get(), &SpareEnginePage::ready);

            ShingetsuBrowserPage* page = window.open(location(thread_, "cache", 1, 30));
            QVERIFY(!spares->isReady());
            QVERIFY(page->browser()->page()->renderProcessPid() > 0);
            const QString document = nextDocument(page);
            QVERIFY(page->browser()->getRecordCount() >= 95);
            QCOMPARE(info(document, "ENDNO"),
                     QString::number(page->browser()->getRecordCount() - 1));
            QCOMPARE(page->getTitle(), qs(thread_));
            QVERIFY(!page->browser()->isBackEnabled());
            page->browser()->CBrowser::back();
            spin(300);
            QCOMPARE(shownDocument(page), document);
            QTRY_VERIFY_WITH_TIMEOUT(made.count() == 1 && spares->isReady(), 20000);

            // Taken by hand: blank and without a history until it is given somewhere to go.
            BrowserControl control(nullptr, 0, ThreadProfile::instance().profile(),
                                   SpareEnginePage::take());
            QVERIFY(control.page()->renderProcessPid() > 0);
            QCOMPARE(control.location(), QString());
            QVERIFY(!control.isBackEnabled());
            for (QWebEnginePage* engine :
                 {cold->browser()->page(), page->browser()->page(), control.page()})
                renderers.append(engine->renderProcessPid());
            window.folder()->disposeAll();
        }
        spares.reset();
        for (const qint64 pid : renderers)
            QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(pid), 0) != 0, 20000);
    }

    // A spare starts its renderer on a sample page in the configured theme, which reads as a
    // blank to its taker and never enters its history; it opens nothing else while it waits, its
    // sample goes with its maker, and without a theme it starts on an empty document.
    void spareStartsOnTheThemesSamplePage() {
        QString sample;
        {
            SpareEnginePage spares(nullptr);
            QTRY_VERIFY_WITH_TIMEOUT(spares.isReady(), 20000);
            std::unique_ptr<BrowserControlPage> page(SpareEnginePage::take());
            QVERIFY(page);
            sample = page->startUrl().toLocalFile();
            QVERIFY(QFile::exists(sample));
            QCOMPARE(page->url(), page->startUrl());
            QVERIFY(evaluate(page.get(), QStringLiteral("document.body.textContent"))
                        .toString()
                        .contains(QStringLiteral("カタカナ")));
            page->load(QUrl::fromLocalFile(QDir::current().absoluteFilePath("config.db")));
            spin(300);
            QCOMPARE(page->url(), page->startUrl());

            BrowserControl control(nullptr, 0, ThreadProfile::instance().profile(), page.release());
            QCOMPARE(control.location(), QString());
            QSignalSpy changed(&control, &BrowserControl::locationChanged);
            control.setText(QStringLiteral("<p>one</p>"));
            QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), 10000);
            QCOMPARE(changed.first().first().toString(), QStringLiteral("about:blank"));
            QTRY_VERIFY_WITH_TIMEOUT(!control.page()->isLoading(), 10000);
            QVERIFY(!control.isBackEnabled());
        }
        QVERIFY(!QFile::exists(sample));

        const std::string root = config().themeRoot();
        config().setThemeRoot("no-such-theme-root");
        SpareEnginePage spares(nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(spares.isReady(), 20000);
        std::unique_ptr<BrowserControlPage> page(SpareEnginePage::take());
        config().setThemeRoot(root);
        QVERIFY(page);
        QCOMPARE(page->startUrl(), QUrl(QStringLiteral("about:blank")));
    }

    void cleanupTestCase() {
        if (node_)
            node_->stop();
        fixture_.reset();
    }
};

BRYNDLE_WEBENGINE_TEST_MAIN(ThreadPageTest)
#include "threadpage_test.moc"
