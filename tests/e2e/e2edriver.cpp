// The client program, started as a user starts it (its own main, runtime folder, node program),
// with one scenario of the end-to-end tests running inside it once the main window is up. The
// scenario is named by BRYNDLE_E2E_SCENARIO; it drives the window as a user would, then closes
// it with "Yes" to the question. The exit status is the client's, or 3 when the scenario failed.
#include "app/client.h"
#include "browse/browserchildwindow.h"
#include "browse/browserpostwindow.h"
#include "browse/browsertabpage.h"
#include "browse/enginetest.h"
#include "browse/shingetsubrowserpage.h"
#include "browse/sidebar.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browse/threadtable.h"
#include "config/configuration.h"
#include "node/threadfile.h"
#include "shell/icon.h"
#include "store/pageloader.h"
#include "toolkit/uitest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QWebEngineView>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <signal.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

using namespace bryndle;
using namespace bryndle::test;

namespace {

// Posts through the node's own form, as another reader of the thread would.
bool postAsSomeoneElse(const QString& title, const std::string& body) {
    const auto& config = Configuration::instance();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(config.nodePort());
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;
    const std::string form =
        "cmd=post&file=" + threadFileName(title.toStdString()) + "&body=" + body;
    const std::string request =
        "POST /thread.cgi HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(config.nodePort()) +
        "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
        std::to_string(form.size()) + "\r\n\r\n" + form;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return answer.find(" 302 ") != std::string::npos;
}

const QString Chat = QStringLiteral("【雑談】なんでも雑談スレ その1");
const QString Dinner = QStringLiteral("【雑談】今日の晩ごはん");
const QString Web = QStringLiteral("about:blank");

int failures = 0;

QMainWindow* mainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QStringLiteral("MainForm") && widget->isVisible())
            return qobject_cast<QMainWindow*>(widget);
    return nullptr;
}

// The node program the client started and that still runs: a child process that is not a
// zombie (a node killed from outside stays one until the client stops it).
pid_t nodePid() {
    std::ifstream children("/proc/self/task/" + std::to_string(::getpid()) + "/children");
    for (pid_t pid = 0; children >> pid;) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const size_t end = text.rfind(')');
        const size_t start = text.find('(');
        if (end == std::string::npos || start == std::string::npos || end + 2 >= text.size())
            continue;
        // The web engine's helpers are children as well.
        if (text.substr(start + 1, end - start - 1) == "bryndle-node" && text[end + 2] != 'Z')
            return pid;
    }
    return 0;
}

QString readText(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString& name, const QString& text) {
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
}

// A point inside both the cell and the visible part of the view.
QPoint inside(const QRect& cell, const QWidget* viewport) {
    return {qMin(cell.left() + 8, viewport->width() - 4), cell.center().y()};
}

bool sameImage(const QVariant& icon, const char* name) {
    return qvariant_cast<QIcon>(icon).pixmap(16, 16).toImage() ==
           QIcon(getIcon(name)).pixmap(16, 16).toImage();
}

} // namespace

// Each slot is one scenario; the driver runs the one it is given.
class ClientScenarios : public QObject {
    Q_OBJECT

    QPointer<QMainWindow> window_;
    RecordingMessageBox* box_ = nullptr;

    QPointer<ThreadTable> table_;
    QPointer<TabBrowser> browser_;

    ThreadTable* table() { return table_; }
    TabBrowser* browser() { return browser_; }
    TabFolder* folder() { return browser()->tabFolder(); }
    QWidget* sideBar() { return child<QWidget>(window_, "SideBar"); }
    QTreeWidget* bookmarks() { return anyChild<QTreeWidget>(sideBar()); }
    QAction* item(const char* name) {
        return orStandIn(browser()->topComposite()->findChild<QAction*>(QLatin1String(name)),
                         QLatin1String(name));
    }

    // What the message boxes said, for a failure's message.
    QString shownTexts() const {
        QStringList texts;
        for (const ShownMessage& message : box_->shown)
            texts << message.text;
        return texts.join(QStringLiteral(" | "));
    }

    int rowOf(const QString& title) {
        const ThreadTableModel* model = table()->model();
        for (int row = 0; model && row < model->rowCount(); ++row)
            if (model->item(row)->titleText() == title)
                return row;
        return -1;
    }
    QVariant rowIcon(const QString& title) {
        const int row = rowOf(title);
        return row < 0 ? QVariant() : table()->model()->index(row, 0).data(Qt::DecorationRole);
    }
    // The first listing of the start: the node's new threads.
    bool waitForThreads() {
        return QTest::qWaitFor([this] { return rowOf(Chat) >= 0 && !table()->isListing(); }, 30000);
    }
    void doubleClickRow(const QString& title) {
        QTableView* view = table()->table();
        const QModelIndex index = table()->model()->index(rowOf(title), 1);
        view->scrollTo(index);
        const QPoint point = inside(view->visualRect(index), view->viewport());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, point);
    }
    QAction* pageItem(ShingetsuBrowserPage* page, const char* name) {
        return orStandIn(page->toolBar()->findChild<QAction*>(QLatin1String(name)),
                         QLatin1String(name));
    }
    // The text of the page's document, shown or scrolled away (the engine answers in its own
    // time).
    QString pageText(BrowserTabPage* page) {
        QWebEngineView* view = page && page->getBrowser() ? page->getBrowser()->view() : nullptr;
        if (!view)
            return {};
        return evaluate(view->page(),
                        QStringLiteral("document.body ? document.body.textContent : ''"))
            .toString();
    }
    // The one open top-level window of the class, or null.
    template <class T> T* openWindow() {
        T* found = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<T*>(widget); window && window->isVisible())
                found = window;
        return found;
    }
    bool listNewThreads() {
        QSignalSpy listed(table(), &ThreadTable::listingFinished);
        item("newThreadsItem")->trigger();
        return listed.wait(30000) && listed.first().first().toBool();
    }
    QTreeWidgetItem* bookmarkItem(const QString& title) {
        const auto found = bookmarks()->findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }

private slots:
    void init() {
        window_ = mainWindow();
        QVERIFY(window_);
        // Found once: a scenario runs only when the window has its panes.
        table_ = window_->findChild<ThreadTable*>();
        browser_ = window_->findChild<TabBrowser*>();
        QVERIFY(table_ && browser_);
        box_ = RecordingMessageBox::install();
    }

    // The new threads are listed without a click once the node answers. A double-click opens a
    // thread in a tab; paging goes to the first page from the cache and back to the latest;
    // reading marks the row as read, another's post as updated once the threads are listed
    // again.
    void readAThread() {
        QVERIFY(waitForThreads());
        QVERIFY(sameImage(rowIcon(Chat), "page_green"));
        doubleClickRow(Chat);
        QTRY_COMPARE(folder()->count(), 1);
        auto* page = qobject_cast<ShingetsuBrowserPage*>(browser()->currentPage());
        QVERIFY(page);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(page).contains(QStringLiteral("雑談")), 20000);
        QTRY_VERIFY(sameImage(rowIcon(Chat), "page"));

        pageItem(page, "firstPageItem")->trigger();
        QTRY_VERIFY(page->getLocation().contains(QStringLiteral("/cache/")));
        // The thread's first record, from the cache.
        QTRY_VERIFY(pageText(page).contains(QStringLiteral("なんでも気軽に書き込んでください")));
        const QString first = page->getLocation();
        const std::shared_ptr<PageLoader> before = page->browser()->loader();
        pageItem(page, "latestItem")->trigger();
        QTRY_VERIFY(page->getLocation() != first);
        // The latest records come from the node: that fetch has ended before anyone posts.
        const auto fetched = [page, before] {
            const std::shared_ptr<PageLoader> loader = page->browser()->loader();
            return loader && loader != before && !loader->isRunning();
        };
        QTRY_VERIFY_WITH_TIMEOUT(fetched(), 20000);
        QTRY_VERIFY(pageText(page).contains(QStringLiteral("雑談")));
        QCOMPARE(folder()->count(), 1);

        QVERIFY(postAsSomeoneElse(Chat, "e2e"));
        QVERIFY(listNewThreads());
        QVERIFY(sameImage(rowIcon(Chat), "page_red"));
        QVERIFY2(box_->shown.empty(), qPrintable(shownTexts()));
    }

    // A post through the thread tab's post window: the window closes once the node has taken
    // the post, and the thread shows the new record.
    void postThroughThePostWindow() {
        QVERIFY(waitForThreads());
        doubleClickRow(Dinner);
        QTRY_COMPARE(folder()->count(), 1);
        auto* page = qobject_cast<ShingetsuBrowserPage*>(browser()->currentPage());
        QVERIFY(page);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(page).contains(QStringLiteral("でした")), 20000);

        pageItem(page, "postItem")->trigger();
        QPointer<BrowserPostWindow> post;
        QTRY_VERIFY((post = openWindow<BrowserPostWindow>()));
        QWebEnginePage* form = post->getBrowser()->page();
        QTRY_VERIFY_WITH_TIMEOUT(
            evaluate(form, QStringLiteral("!!document.getElementById('body')")).toBool(), 20000);
        const QString body = QStringLiteral("端から端まで届きました");
        evaluate(form,
                 QStringLiteral("document.getElementById('body').value = '%1'; true").arg(body));
        evaluate(form,
                 QStringLiteral("document.querySelector('input[type=submit]').click(); true"));
        QTRY_VERIFY_WITH_TIMEOUT(!post, 20000);
        const bool shown = QTest::qWaitFor([&] { return pageText(page).contains(body); }, 20000);
        QVERIFY2(shown, qPrintable(pageText(page).right(300)));
        QVERIFY2(box_->shown.empty(), qPrintable(shownTexts()));
    }

    // Deleting through the table's menu: the node's deletion page opens in a window, its form
    // sent closes it, and the thread is gone from the subscribed threads.
    void deleteFromTheTable() {
        QVERIFY(waitForThreads());
        QSignalSpy listed(table(), &ThreadTable::listingFinished);
        item("subscribedThreadsItem")->trigger();
        QVERIFY(listed.wait(30000));
        QVERIFY(rowOf(Dinner) >= 0);
        table()->table()->selectRow(rowOf(Dinner));
        table()->deleteAction()->trigger();
        QPointer<BrowserChildWindow> confirm;
        QTRY_VERIFY((confirm = openWindow<BrowserChildWindow>()));
        QWebEnginePage* page = confirm->getBrowser()->page();
        QTRY_VERIFY_WITH_TIMEOUT(
            evaluate(page, QStringLiteral("!!document.querySelector('input[type=submit]')"))
                .toBool(),
            20000);
        evaluate(page,
                 QStringLiteral("document.querySelector('input[type=submit]').click(); true"));
        QTRY_VERIFY_WITH_TIMEOUT(!confirm, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(rowOf(Dinner) < 0 && !table()->isListing(), 30000);
        QVERIFY(table()->isShowingSubscribed());
        QVERIFY(rowOf(Chat) >= 0);
        QVERIFY2(box_->shown.empty(), qPrintable(shownTexts()));
    }

    // A bookmark added from the thread tab's menu shows in the side bar, and opens the thread
    // again after its tab was closed.
    void bookmarkFromTheTab() {
        QVERIFY(waitForThreads());
        doubleClickRow(Chat);
        QTRY_COMPARE(folder()->count(), 1);
        const QString location = browser()->currentPage()->getLocation();
        whenModal([](QWidget* dialog) {
            QVERIFY(dialog->objectName() == QStringLiteral("AddFavoriteDialog"));
            QTimer::singleShot(0, dialog, [dialog] { qobject_cast<QDialog*>(dialog)->accept(); });
        });
        QAction* add = nullptr;
        for (QAction* action : browser()->threadTabMenu()->actions())
            if (action->text() == QStringLiteral("ブックマークへ追加"))
                add = action;
        QVERIFY(add);
        add->trigger();
        QTRY_VERIFY(bookmarkItem(Chat) != nullptr);

        item("closeItem")->trigger();
        QCOMPARE(folder()->count(), 0);
        QTreeWidgetItem* bookmark = bookmarkItem(Chat);
        QVERIFY(bookmark);
        bookmarks()->setCurrentItem(bookmark);
        const QPoint place = inside(bookmarks()->visualItemRect(bookmark), bookmarks()->viewport());
        QTest::mouseClick(bookmarks()->viewport(), Qt::LeftButton, {}, place);
        QTest::mouseDClick(bookmarks()->viewport(), Qt::LeftButton, {}, place);
        QTRY_COMPARE(folder()->count(), 1);
        QCOMPARE(browser()->currentPage()->compareLocation(location), 0);
    }

    // First run of two: a thread tab and a web tab open, an address typed, the side bar's width
    // noted, then hidden; the client ends.
    void hideTheSideBarAndEnd() {
        QVERIFY(waitForThreads());
        doubleClickRow(Dinner);
        QTRY_COMPARE(folder()->count(), 1);
        QLineEdit* address = browser()->addressField()->lineEdit();
        address->setText(Web);
        QTest::keyClick(address, Qt::Key_Return);
        QTRY_COMPARE(folder()->count(), 2);
        // A web tab has a location once the engine has taken it.
        QTRY_COMPARE(folder()->pageAt(1)->getLocation(), Web);
        folder()->setCurrentIndex(0);
        writeText(QStringLiteral("side-width"), QString::number(sideBar()->width()));
        writeText(QStringLiteral("window-width"), QString::number(window_->width()));
        writeText(QStringLiteral("first-tab"), browser()->currentPage()->getLocation());
        item("sideToggle")->trigger();
        QVERIFY(!sideBar()->isVisible());
    }

    // Second run: the side bar is back at its width, the address in the history, the tabs open
    // again in order with the first one selected.
    void theNextStartRestoresTheWindow() {
        QVERIFY(sideBar()->isVisible());
        const int width = readText(QStringLiteral("side-width")).toInt();
        QVERIFY(width > 0);
        QVERIFY2(qAbs(sideBar()->width() - width) <= 2,
                 qPrintable(QStringLiteral("%1 != %2 (window %3, was %4)")
                                .arg(sideBar()->width())
                                .arg(width)
                                .arg(window_->width())
                                .arg(readText(QStringLiteral("window-width")))));
        QVERIFY(browser()->history().contains(Web));
        QCOMPARE(folder()->count(), 2);
        QCOMPARE(folder()->currentIndex(), 0);
        QCOMPARE(folder()->pageAt(0)->compareLocation(readText(QStringLiteral("first-tab"))), 0);
        QTRY_COMPARE(folder()->pageAt(1)->getLocation(), Web);
    }

    // The node program dies while a thread loads: the window keeps working (a listing reports
    // the node's absence), and the options dialog starts the node program again.
    void theNodeDiesWhileAThreadLoads() {
        QVERIFY(waitForThreads());
        const pid_t node = nodePid();
        QVERIFY(node > 0);
        ::kill(node, SIGSTOP);
        doubleClickRow(Chat);
        QTRY_COMPARE(folder()->count(), 1);
        QTest::qWait(300);
        ::kill(node, SIGKILL);
        QTRY_COMPARE(nodePid(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            pageText(browser()->currentPage()).contains(QStringLiteral("エラーです")), 20000);

        QVERIFY(!listNewThreads());
        QCOMPARE(box_->shown.size(), size_t{1});
        QVERIFY(rowOf(Chat) >= 0);

        // Control off, then on again: the client stops what is left and starts a new node.
        QAction* options = nullptr;
        for (QAction* menu : window_->menuBar()->actions())
            for (QAction* entry : menu->menu() ? menu->menu()->actions() : QList<QAction*>())
                if (entry->text() == QStringLiteral("オプション(&O)"))
                    options = entry;
        QVERIFY(options);
        for (const bool control : {false, true}) {
            whenModal([control](QWidget* dialog) {
                QCOMPARE(dialog->objectName(), QStringLiteral("OptionDialog"));
                child<QCheckBox>(dialog, "control")->setChecked(control);
                child<QPushButton>(dialog, "apply")->click();
            });
            options->trigger();
        }
        QVERIFY2(QTest::qWaitFor([] { return nodePid() > 0; }, 10000), qPrintable(shownTexts()));
        QVERIFY(QTest::qWaitFor([this] { return listNewThreads(); }, 30000));
    }
};

namespace {

void runScenario() {
    QByteArray name = qgetenv("BRYNDLE_E2E_SCENARIO");
    char program[] = "bryndle-e2e";
    char* args[] = {program, name.data()};
    {
        ClientScenarios scenarios;
        failures = QTest::qExec(&scenarios, 2, args);
    }
    standIns().clear();
    auto* box = RecordingMessageBox::install();
    box->answers = {MessageBox::Yes};
    if (QMainWindow* window = mainWindow())
        window->close();
    else
        QCoreApplication::exit(3);
}

// From the display's construction on, waits for the main window to show.
void watchForTheWindow() {
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll] {
        if (!mainWindow())
            return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(0, QCoreApplication::instance(), runScenario);
    });
    poll->start();
}

} // namespace

int main(int argc, char** argv) {
    qAddPreRoutine(watchForTheWindow);
    const int status = clientMain(argc, argv);
    return failures > 0 ? 3 : status;
}

#include "e2edriver.moc"
