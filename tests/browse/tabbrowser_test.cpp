#include "browse/browsertabpage.h"
#include "browse/cbrowser.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browse/threadregister.h"
#include "browse/webbrowsertabpage.h"
#include "browse/webprofile.h"
#include "browsetest.h"
#include "foundation/exception.h"
#include "foundation/sqliteserializer.h"
#include "foundation/variant.h"
#include "loopbackserver.h"
#include "support/scriptedserver.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabBar>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace bryndle;
using namespace bryndle::test;

namespace {

// The main window's panes around a tab browser: side bar | (thread table / tab browser).
struct Window {
    std::unique_ptr<QWidget> shell = std::make_unique<QWidget>();
    QSplitter* outer = new QSplitter(Qt::Horizontal, shell.get());
    QSplitter* inner = new QSplitter(Qt::Vertical);
    TabBrowser* browser;

    explicit Window(bool show = true) {
        auto* layout = new QVBoxLayout(shell.get());
        layout->addWidget(outer);
        outer->addWidget(new QWidget);
        outer->addWidget(inner);
        inner->addWidget(new QWidget);
        browser = new TabBrowser(inner);
        shell->resize(1000, 700);
        if (show) {
            shell->show();
            if (!QTest::qWaitForWindowExposed(shell.get()))
                qWarning("window not exposed");
        }
    }
    TabFolder* folder() const { return browser->tabFolder(); }
    QAction* item(const char* name) const {
        auto* action = browser->topComposite()->findChild<QAction*>(QLatin1String(name));
        if (!action)
            qWarning("no item %s", name);
        return action;
    }
};

int weight(const QSplitter* sash) {
    const QList<int> sizes = sash->sizes();
    return qRound(100.0 * sizes[0] / (sizes[0] + sizes[1]));
}

QString clipboard() {
    return QGuiApplication::clipboard()->text();
}

QStringList menuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    return texts;
}

void click(QWebEnginePage* page, const QString& id) {
    page->runJavaScript(QStringLiteral("document.getElementById('%1').click()").arg(id));
}

VArrayPtr storedRecord() {
    return SQLiteSerializer("environ.db", "TabBrowser").load();
}

} // namespace

class TabBrowserTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BrowseFixture> fixture_;
    LoopbackServer server_;

    Configuration& config() { return Configuration::instance(); }

private slots:
    void initTestCase() {
        fixture_ = std::make_unique<BrowseFixture>();
        server_.page("/one", "One");
        server_.page("/two", "Two");
        server_.page("/doc.pdf", "Document");
        server_.page("/opener", "Opener", "<a id='pop' href='/slow' target='_blank'>new</a>");
        server_.route("/slow", {"<html><head><title>Slow</title></head></html>",
                                "text/html; charset=utf-8",
                                1500,
                                {}});
        server_.page("/script", "Unscripted", "<script>document.title = 'Scripted'</script>");
        server_.route("/file.bin", {"abc", "application/octet-stream", 0,
                                    "Content-Disposition: attachment; filename=file.bin\r\n"});
    }

    void init() {
        fixture_->box->shown.clear();
        fixture_->box->answers.clear();
        config().setNodeHost("127.0.0.1");
        config().setNodePort(8000);
    }

    void pagesFollowTheLocationRule() {
        Window window;
        const QString thread = QStringLiteral("shingetsu://thread_41/get/");
        QCOMPARE(window.browser->open(thread)->kind(), QStringLiteral("ShingetsuBrowserPage"));
        QCOMPARE(window.browser->open(thread.toUpper())->kind(),
                 QStringLiteral("WebBrowserTabPage"));
        QCOMPARE(window.browser->open(QLatin1Char(' ') + thread)->kind(),
                 QStringLiteral("WebBrowserTabPage"));
        QCOMPARE(window.folder()->count(), 3);
        QCOMPARE(window.browser->currentPage(), window.folder()->pageAt(2));
    }

    void typedAddressesOpenByTheRules() {
        Window window;
        QLineEdit* field = window.browser->addressField()->lineEdit();
        auto type = [&](const QString& text) {
            field->setText(text);
            QTest::keyClick(field, Qt::Key_Return);
        };
        type(QStringLiteral("ttp://127.0.0.1:%1/one").arg(server_.port()));
        QCOMPARE(window.folder()->count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(window.browser->currentPage()->getLocation(), server_.url("/one"),
                                  20000);
        type(QStringLiteral("about:blank"));
        type(QStringLiteral("nosuch.invalid"));
        type(QString());
        QCOMPARE(window.folder()->count(), 3);
        QCOMPARE(window.browser->history(),
                 (QStringList{"http://nosuch.invalid", "about:blank", server_.url("/one")}));
        QTRY_COMPARE_WITH_TIMEOUT(window.folder()->pageAt(1)->getLocation(),
                                  QStringLiteral("about:blank"), 10000);
    }

    // Web pages run as the engine has them by default: scripts on.
    void aWebPageOpensByTheRulesAndRunsItsScripts() {
        Window window;
        BrowserTabPage* blank = window.browser->open(QString());
        QTRY_COMPARE_WITH_TIMEOUT(blank->getLocation(), QStringLiteral("about:blank"), 20000);
        BrowserTabPage* page = window.browser->open(server_.url("/script").mid(1));
        QTRY_COMPARE_WITH_TIMEOUT(page->getTitle(), QStringLiteral("Scripted"), 20000);
        QCOMPARE(page->getLocation(), server_.url("/script"));
    }

    void historyHasNoDuplicatesAndAtMostAHundredEntries() {
        QFile::remove(QStringLiteral("environ.db"));
        {
            Window window(false);
            TabBrowser* browser = window.browser;
            browser->addHistory(QStringLiteral("a"));
            browser->addHistory(QStringLiteral("b"));
            browser->addHistory(QStringLiteral("a"));
            browser->addHistory(QString());
            browser->addHistory(QStringLiteral("line\nbreak"));
            browser->addHistory(QStringLiteral("tab\tbed"));
            QCOMPARE(browser->history(), (QStringList{"a", "b"}));
            QCOMPARE(browser->addressField()->count(), 2);
            QCOMPARE(browser->addressField()->currentText(), QStringLiteral("a"));
            for (int i = 0; i < 120; ++i)
                browser->addHistory(QStringLiteral("http://h/%1").arg(i));
            QCOMPARE(browser->history().size(), TabBrowser::MaxHistory);
            QCOMPARE(browser->history().front(), QStringLiteral("http://h/119"));
            QCOMPARE(browser->history().back(), QStringLiteral("http://h/20"));
            browser->onExit();
        }
        Window again(false);
        QCOMPARE(again.browser->history().size(), TabBrowser::MaxHistory);
        QCOMPARE(again.browser->addressField()->count(), TabBrowser::MaxHistory);
        QCOMPARE(again.browser->addressField()->itemText(0), QStringLiteral("http://h/119"));
    }

    void theFirstClickIntoTheAddressTakesItWhole() {
        Window window;
        QLineEdit* field = window.browser->addressField()->lineEdit();
        field->setText(QStringLiteral("http://example/"));
        window.folder()->setFocus();
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(5, field->height() / 2));
        QVERIFY(field->hasFocus());
        QCOMPARE(field->selectedText(), QStringLiteral("http://example/"));
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(5, field->height() / 2));
        QVERIFY(field->selectedText().isEmpty());
        window.folder()->setFocus();
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(5, field->height() / 2));
        QCOMPARE(field->selectedText(), QStringLiteral("http://example/"));
    }

    void openOrActivateSelectsAndRefreshesTheFirstMatch() {
        Window window;
        TabBrowser* browser = window.browser;
        BrowserTabPage* first = browser->open(server_.url("/one"));
        browser->open(server_.url("/two"));
        browser->open(server_.url("/one"));
        for (int i = 0; i < 3; ++i)
            QTRY_VERIFY_WITH_TIMEOUT(!window.folder()->pageAt(i)->isLoading(), 20000);
        window.folder()->setCurrentIndex(1);
        const int requests = server_.count("/one");
        QCOMPARE(browser->openOrActivate(server_.url("/one")), first);
        QCOMPARE(window.folder()->currentIndex(), 0);
        QCOMPARE(window.folder()->count(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(server_.count("/one"), requests + 1, 10000);
        browser->openOrActivate(server_.url("/doc.pdf"));
        QCOMPARE(window.folder()->count(), 4);
        QCOMPARE(window.folder()->currentIndex(), 3);
    }

    void togglesHideAndRestoreTheWindows() {
        QFile::remove(QStringLiteral("environ.db"));
        {
            Window window;
            QAction* side = window.item("sideToggle");
            QAction* top = window.item("topToggle");
            QVERIFY(side && top);
            const int width = window.outer->sizes()[0] + window.outer->sizes()[1];
            window.outer->setSizes({width * 30 / 100, width - width * 30 / 100});
            QCOMPARE(weight(window.outer), 30);
            side->trigger();
            QVERIFY(window.outer->widget(0)->isHidden());
            QCOMPARE(side->toolTip(), QStringLiteral("サイドウィンドウを表示"));
            side->trigger();
            QVERIFY(!window.outer->widget(0)->isHidden());
            QCOMPARE(weight(window.outer), 30);
            QCOMPARE(side->toolTip(), QStringLiteral("サイドウィンドウを隠す"));

            QCOMPARE(top->toolTip(), QStringLiteral("トップウインドウを隠す"));
            top->trigger();
            QCOMPARE(top->toolTip(), QStringLiteral("トップウィンドウを表示"));
            QVERIFY(window.inner->widget(0)->isHidden());
            QVERIFY(!window.item("createThreadItem")->isEnabled());
            QVERIFY(!window.item("newThreadsItem")->isEnabled());
            top->trigger();
            QCOMPARE(top->toolTip(), QStringLiteral("トップウィンドウを隠す"));
            QVERIFY(window.item("subscribedThreadsItem")->isEnabled());
            QCOMPARE(weight(window.inner), 25);

            // Hidden at exit: the remembered weight is stored, and shown again next time.
            side->trigger();
            window.browser->onExit();
        }
        QCOMPARE(storedRecord()->values()[1]->toLong(), 30);
        Window again;
        QCOMPARE(weight(again.outer), 30);
        QCOMPARE(weight(again.inner), 25);
        QVERIFY(!again.outer->widget(0)->isHidden());
        QVERIFY(again.item("sideToggle")->isChecked());
    }

    void theStoredRecordDecidesTheLayout() {
        QFile::remove(QStringLiteral("environ.db"));
        {
            Window first;
            QCOMPARE(weight(first.outer), 20);
            QCOMPARE(weight(first.inner), 25);
        }
        SQLiteSerializer("environ.db", "TabBrowser").save(*makeArray(int64_t{1}, int64_t{2}));
        {
            Window twoValues;
            QVERIFY(weight(twoValues.outer) > 2);
            QVERIFY(twoValues.browser->history().isEmpty());
        }
        // A sash without size (all hidden) keeps the weight it had.
        QFile::remove(QStringLiteral("environ.db"));
        SQLiteSerializer("environ.db", "TabBrowser")
            .save(*makeArray(int64_t{40}, int64_t{35}, std::string("x")));
        Window hidden(false);
        QCOMPARE(hidden.browser->history(), QStringList{"x"});
        hidden.inner->widget(0)->hide();
        hidden.browser->topComposite()->hide();
        hidden.browser->onExit();
        QCOMPARE(storedRecord()->values()[0]->toLong(), 40);
    }

    void aNewWindowBecomesASelectedTabUntitledUntilItsTitleComes() {
        Window window;
        BrowserTabPage* opener = window.browser->open(server_.url("/opener"));
        QTRY_COMPARE_WITH_TIMEOUT(opener->getTitle(), QStringLiteral("Opener"), 20000);
        click(opener->getBrowser()->page(), QStringLiteral("pop"));
        QTRY_COMPARE_WITH_TIMEOUT(window.folder()->count(), 2, 10000);
        QCOMPARE(window.folder()->currentIndex(), 1);
        BrowserTabPage* popup = window.browser->currentPage();
        QVERIFY(popup);
        QCOMPARE(popup->getTitle(), QStringLiteral("[EMPTY]"));
        // Loading: the tab blinks, stop is offered instead of refresh.
        QTRY_VERIFY_WITH_TIMEOUT(popup->isLoading(), 5000);
        QVERIFY(window.item("stopItem")->isEnabled());
        QVERIFY(!window.item("refreshItem")->isEnabled());
        const qint64 image = popup->getImage().cacheKey();
        QVERIFY(image == getIcon("custom_transmit_dark_blue").cacheKey() ||
                image == getIcon("transmit_blue").cacheKey());
        QTRY_COMPARE_WITH_TIMEOUT(popup->getTitle(), QStringLiteral("Slow"), 10000);
        QCOMPARE(popup->getLocation(), server_.url("/slow"));
        QTRY_VERIFY(!window.item("stopItem")->isEnabled());
    }

    void theTabImageShowsTheFileType() {
        Window window;
        BrowserTabPage* pdf = window.browser->open(server_.url("/doc.pdf"));
        QTRY_COMPARE_WITH_TIMEOUT(pdf->getImage().cacheKey(), getIcon("file_acrobat").cacheKey(),
                                  20000);
        BrowserTabPage* folder = window.browser->open(server_.url("/"));
        QTRY_COMPARE_WITH_TIMEOUT(folder->getImage().cacheKey(), getIcon("page").cacheKey(), 20000);
    }

    void titlesAndExtensions() {
        QCOMPARE(WebBrowserTabPage::tabTitle(QString()), QStringLiteral("[EMPTY]"));
        QCOMPARE(WebBrowserTabPage::tabTitle(QStringLiteral("http://a/b/c.html")),
                 QStringLiteral("c.html"));
        QCOMPARE(WebBrowserTabPage::tabTitle(QStringLiteral("http://a/b/")),
                 QStringLiteral("http://a/b/"));
        QCOMPARE(WebBrowserTabPage::tabTitle(QStringLiteral("C:\\x\\y.txt")),
                 QStringLiteral("y.txt"));
        QCOMPARE(WebBrowserTabPage::tabTitle(QStringLiteral("a/b")), QStringLiteral("a/b"));
        QCOMPARE(WebBrowserTabPage::locationExtension(QStringLiteral("http://a/b.PDF")),
                 QStringLiteral("PDF"));
        QCOMPARE(WebBrowserTabPage::locationExtension(QStringLiteral("http://a.b/c:d")), QString());
        QCOMPARE(WebBrowserTabPage::locationExtension(QStringLiteral("C:\\a.b\\c")), QString());
    }

    void copyingAThreadAndAWebPage() {
        Window window;
        TabBrowser* browser = window.browser;
        // "a?b#c" as a thread file name.
        browser->open(QStringLiteral("shingetsu://thread_613F622363/get/"));
        QCOMPARE(browser->currentPage()->getTitle(), QStringLiteral("a?b#c"));
        const QString gateway = QStringLiteral("http://127.0.0.1:8000/thread.cgi/a%3Fb%23c");
        browser->copyTitle();
        QCOMPARE(clipboard(), QStringLiteral("a?b#c"));
        browser->copyWikiLink();
        QCOMPARE(clipboard(), QStringLiteral("[[a?b#c]]"));
        browser->copyGatewayUrl();
        QCOMPARE(clipboard(), gateway);
        browser->copyTitleAndGatewayUrl();
        QCOMPARE(clipboard(), QStringLiteral("a?b#c\r\n") + gateway);
        browser->copyLocation();
        QCOMPARE(clipboard(), QStringLiteral("shingetsu://thread_613F622363/get/"));
        browser->openThreadGateway();
        QTRY_COMPARE_WITH_TIMEOUT(browser->currentPage()->getLocation(), gateway, 20000);
        browser->openGateway();
        QTRY_COMPARE_WITH_TIMEOUT(browser->currentPage()->getLocation(),
                                  QStringLiteral("http://127.0.0.1:8000/"), 10000);

        config().setNodePort(80);
        window.folder()->setCurrentIndex(0);
        browser->copyGatewayUrl();
        QCOMPARE(clipboard(), QStringLiteral("http://127.0.0.1:80/thread.cgi/a%3Fb%23c"));
        browser->openGateway();
        QTRY_COMPARE_WITH_TIMEOUT(browser->currentPage()->getLocation(),
                                  QStringLiteral("http://127.0.0.1/"), 10000);

        BrowserTabPage* web = browser->open(server_.url("/one"));
        QTRY_COMPARE_WITH_TIMEOUT(web->getTitle(), QStringLiteral("One"), 10000);
        browser->copyTitleAndUrl();
        QCOMPARE(clipboard(), QStringLiteral("One\r\n") + server_.url("/one"));
        browser->copyUrl();
        QCOMPARE(clipboard(), server_.url("/one"));
    }

    void closingATabTwiceDisposesItOnce() {
        Window window;
        BrowserTabPage* page = window.browser->open(server_.url("/one"));
        window.browser->open(server_.url("/two"));
        QSignalSpy destroyed(page->getBrowser(), &QObject::destroyed);
        emit window.folder()->tabCloseRequested(0);
        window.browser->closeAllTabs();
        QVERIFY(page->isDisposed());
        page->dispose();
        QCOMPARE(window.folder()->count(), 0);
        QTRY_COMPARE(destroyed.size(), 1);
        spin(200);
        QCOMPARE(destroyed.size(), 1);
        // No page: the navigation items are off and the actions do nothing.
        QVERIFY(!window.item("backItem")->isEnabled());
        QVERIFY(!window.item("stopItem")->isEnabled());
        window.browser->refresh();
        window.browser->copyUrl();
        window.browser->closeCurrentTab();
    }

    void tabMenusAndTheirTexts() {
        Window window;
        TabBrowser* browser = window.browser;
        browser->onTabMouseUp(Qt::RightButton, QPoint(10, 10));
        QVERIFY(!browser->webTabMenu()->isVisible() && !browser->threadTabMenu()->isVisible());

        browser->open(QStringLiteral("shingetsu://thread_41/get/"));
        browser->open(server_.url("/one"));
        QTabBar* bar = window.folder()->tabBar();
        QTest::mouseClick(bar, Qt::RightButton, {}, bar->tabRect(0).center());
        QCOMPARE(window.folder()->currentIndex(), 0);
        QTRY_VERIFY(browser->threadTabMenu()->isVisible());
        browser->threadTabMenu()->hide();
        QCOMPARE(
            menuTexts(browser->threadTabMenu()),
            (QStringList{"閉じる", "タブを全て閉じる", "ゲートウェイを開く", "ブックマークへ追加",
                         "タイトルをコピー", "URLを新月形式でコピー", "ゲートウェイのURLをコピー",
                         "タイトルとゲートウェイのURLをコピー", "URLをBryndle形式でコピー"}));
        QTest::mouseClick(bar, Qt::RightButton, {}, bar->tabRect(1).center());
        QTRY_VERIFY(browser->webTabMenu()->isVisible());
        browser->webTabMenu()->hide();
        QCOMPARE(menuTexts(browser->webTabMenu()),
                 (QStringList{"閉じる", "タブを全て閉じる", "ブックマークへ追加",
                              "IEのお気に入りへ追加", "タイトルとURLをコピー", "URLをコピー"}));
        // The favourites item offers both places for a web page.
        window.item("favoritesItem")->trigger();
        QTRY_VERIFY(browser->addFavoritesMenu()->isVisible());
        browser->addFavoritesMenu()->hide();
        QCOMPARE(menuTexts(browser->organizeMenu()),
                 (QStringList{"ブックマークを整理", "IEのお気に入りを整理"}));
    }

    void keysWorkWhereverTheFocusIs() {
        Window window;
        TabBrowser* browser = window.browser;
        BrowserTabPage* first = browser->open(server_.url("/one"));
        BrowserTabPage* second = browser->open(server_.url("/two"));
        QTRY_COMPARE_WITH_TIMEOUT(first->getTitle(), QStringLiteral("One"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second->getTitle(), QStringLiteral("Two"), 20000);
        QWidget* view = second->getBrowser()->view();
        view->setFocus();
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused && view->isAncestorOf(focused));
        QTest::keyClick(focused, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(window.folder()->currentIndex(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(browser->addressField()->lineEdit()->hasFocus());
        QCOMPARE(browser->addressField()->lineEdit()->selectedText(), server_.url("/one"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(window.folder()->count(), 1);
    }

    void aRegistrationThatIsNeverAnsweredEndsWithAWarning() {
        ScriptedServer node([](ScriptedConnection& connection) {
            connection.readRequest();
            connection.holdUntilClientCloses();
        });
        config().setNodePort(node.port());
        ThreadRegister::setDeadline(400);
        Window window;
        whenModal([](QWidget* dialog) {
            child<QLineEdit>(dialog, "text")->setText(QStringLiteral("新スレ"));
            child<QPushButton>(dialog, "confirm")->click();
        });
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        window.item("createThreadItem")->trigger();
        QVERIFY(window.browser->isRegistering());
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QTRY_COMPARE_WITH_TIMEOUT(fixture_->box->shown.size(), size_t{1}, 5000);
        QVERIFY(fixture_->box->shown[0].text.contains(QStringLiteral("connection timeout")));
        QCOMPARE(fixture_->box->shown[0].icon, MessageBox::Icon::Warning);
        QVERIFY(ticks >= 10);
        QVERIFY(!window.browser->isRegistering());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(window.item("createThreadItem")->isEnabled());
        QCOMPARE(window.folder()->count(), 0);
        node.stop();
    }

    void aRegisteredThreadOpensInATab() {
        ScriptedServer node(ScriptedServer::answer("HTTP/1.0 200 OK\r\n\r\n"));
        config().setNodePort(node.port());
        ThreadRegister::setDeadline(5000);
        Window window;
        window.browser->registerThread(QStringLiteral("a b?"));
        QTRY_COMPARE_WITH_TIMEOUT(window.folder()->count(), 1, 5000);
        QCOMPARE(window.browser->currentPage()->kind(), QStringLiteral("ShingetsuBrowserPage"));
        QCOMPARE(window.browser->currentPage()->getTitle(), QStringLiteral("a b?"));
        QVERIFY(node.lastRequest().starts_with("GET /thread.cgi/a%20b%3F HTTP/1.0\r\n"));
        QVERIFY(fixture_->box->shown.empty());
    }

    void anActionThatFailsShowsAWarningAndTheWindowGoesOn() {
        Window window;
        int calls = 0;
        window.browser->addNewThreadsHandler([&] {
            ++calls;
            throw Exception("list failed");
        });
        window.item("newThreadsItem")->trigger();
        window.item("newThreadsItem")->trigger();
        QCOMPARE(calls, 2);
        QCOMPARE(fixture_->box->shown.size(), size_t{2});
        QCOMPARE(fixture_->box->shown[0].text, QStringLiteral("list failed"));
        QVERIFY(window.shell->isVisible());
    }

    void theHomePageOpensAndChanges() {
        Window window;
        config().setHomePage(server_.url("/two").toStdString());
        window.item("homeItem")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window.browser->currentPage()->getLocation(), server_.url("/two"),
                                  20000);
        QString shown;
        whenModal([&shown](QWidget* dialog) {
            QLineEdit* field = child<QLineEdit>(dialog, "text");
            shown = field->text();
            field->setText(QStringLiteral("http://example.org/"));
            child<QPushButton>(dialog, "confirm")->click();
        });
        window.browser->changeHomePage();
        QCOMPARE(shown, server_.url("/two"));
        QCOMPARE(config().homePage(), std::string("http://example.org/"));
    }

    void downloadsAskWhereToSave() {
        QVERIFY(!WebProfile::instance().profile()->isOffTheRecord());
        QVERIFY(WebProfile::instance().storagePath().startsWith(QDir::currentPath()));
        Window window;
        const QString target = fixture_->file("saved.bin");
        fixture_->files->saveAnswer = target;
        window.browser->open(server_.url("/file.bin"));
        QTRY_COMPARE_WITH_TIMEOUT(window.browser->statusLabel()->text(),
                                  QStringLiteral("ダウンロード完了: saved.bin"), 20000);
        QVERIFY(fixture_->files->suggestions.back().endsWith(QStringLiteral("file.bin")));
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("abc"));

        fixture_->files->saveAnswer.clear();
        const size_t asked = fixture_->files->suggestions.size();
        window.browser->open(server_.url("/file.bin"));
        QTRY_COMPARE_WITH_TIMEOUT(fixture_->files->suggestions.size(), asked + 1, 20000);
        QCOMPARE(window.browser->statusLabel()->text(),
                 QStringLiteral("ダウンロード完了: saved.bin"));
    }

    void cleanupTestCase() { fixture_.reset(); }
};

BRYNDLE_WEBENGINE_TEST_MAIN(TabBrowserTest)
#include "tabbrowser_test.moc"
