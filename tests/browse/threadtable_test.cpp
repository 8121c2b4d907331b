#include "browse/threadtable.h"
#include "config/configuration.h"
#include "node/threadfile.h"
#include "node/threadresponseevent.h"
#include "shell/icon.h"
#include "store/threadcache.h"
#include "store/threadsync.h"
#include "support/fakenode.h"
#include "support/scriptedserver.h"
#include "support/tempdir.h"
#include "toolkit/background.h"
#include "toolkit/uitest.h"

#ifdef BRYNDLE_NODE_PROGRAM
#include "localnode/nodeprocess.h"
#endif

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <map>
#include <memory>
#include <optional>

using namespace bryndle;
using namespace bryndle::test;

namespace {

const std::string Columns = "file,stamp,path,uri,type,title,records,size";
const std::string RecentPath = "/gateway.cgi/csv/recent/" + Columns;
const std::string ChangesPath = "/gateway.cgi/csv/changes/" + Columns;

struct Thread {
    std::string title;
    uint32_t stamp;
    uint32_t records = 1;
    uint32_t size = 100;
};

std::string listLine(const Thread& t) {
    const std::string file = threadFileName(t.title);
    return file + "," + std::to_string(t.stamp) + ",/thread.cgi/" + file + ",http://n/" + file +
           ",thread," + t.title + "," + std::to_string(t.records) + "," + std::to_string(t.size) +
           "\r\n";
}

std::string listBody(const std::vector<Thread>& threads) {
    std::string body;
    for (const Thread& t : threads)
        body += listLine(t);
    return body;
}

// Posts a short text to a thread of the node through its posting form; true when the node
// answered with its redirect to the thread.
bool postTo(uint16_t port, const std::string& title, const std::string& body) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;
    const std::string form = "cmd=post&file=" + threadFileName(title) + "&body=" + body;
    const std::string request =
        "POST /thread.cgi HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) +
        "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
        std::to_string(form.size()) + "\r\n\r\n" + form;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return answer.rfind("HTTP/1.1 302", 0) == 0;
}

QImage imageOf(const QVariant& icon) {
    return qvariant_cast<QIcon>(icon).pixmap(16, 16).toImage();
}

} // namespace

class ThreadTableTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScopedCurrentDir> cwd_;
    QPointer<QWidget> window_;
    ThreadTable* table_ = nullptr;
    RecordingMessageBox* box_ = nullptr;
    std::vector<QString> opened_;

    Configuration& config() { return Configuration::instance(); }
    ThreadTableModel* model() { return table_->model(); }

    void useNode(uint16_t port) {
        config().setNodeHost("127.0.0.1");
        config().setNodePort(port);
    }

    // Runs a listing to its end; true when it succeeded.
    bool list(bool subscribed = false) {
        QSignalSpy finished(table_, &ThreadTable::listingFinished);
        if (subscribed)
            table_->showSubscribedThreads();
        else
            table_->showNewThreads();
        if (!finished.wait(20000))
            qWarning("the listing did not end");
        return !finished.isEmpty() && finished.first().first().toBool();
    }

    QStringList column(int column) {
        QStringList texts;
        for (int row = 0; row < model()->rowCount(); ++row)
            texts << model()->index(row, column).data().toString();
        return texts;
    }

    void addThreads(const std::vector<Thread>& threads) {
        ThreadResponseEvent event;
        for (const Thread& t : threads) {
            event.parse(listLine(t), {});
            table_->addThread(event);
        }
        table_->refresh();
    }

    void clickHeader(int column) {
        QHeaderView* header = table_->table()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 10, 5));
    }

    void selectTitle(const QString& title) {
        const int row = column(1).indexOf(title);
        QVERIFY(row >= 0);
        table_->table()->selectRow(row);
    }

    // Caches records of a thread so that its newest record has the stamp.
    void cache(const std::string& title, std::vector<int32_t> stamps) {
        std::vector<ThreadMessage> records;
        for (int32_t stamp : stamps) {
            ThreadMessage record;
            record.title = title;
            record.mtime = stamp;
            record.md5 = std::string(31, '0') + char('a' + records.size());
            records.push_back(record);
        }
        ThreadCache::instance().insertAll(records);
        ThreadCache::instance().updateIndex(title);
    }

private slots:
    void initTestCase() {
        loadIcons(qEnvironmentVariable("BRYNDLE_BINARY_DIR") + QStringLiteral("/runtime/icons"));
    }

    void init() {
        dir_ = std::make_unique<TempDir>();
        cwd_ = std::make_unique<ScopedCurrentDir>(dir_->path());
        Configuration::setInstance(std::make_unique<Configuration>(dir_->file("config.db")));
        ThreadCache::setInstance(std::make_unique<ThreadCache>(dir_->file("cache.db")));
        box_ = RecordingMessageBox::install();
        window_ = new QWidget;
        new QVBoxLayout(window_);
        table_ = new ThreadTable(window_);
        // Checks every change of the rows against the model rules.
        new QAbstractItemModelTester(
            model(), QAbstractItemModelTester::FailureReportingMode::QtTest, window_);
        opened_.clear();
        table_->setOpenHandler([this](const QString& location) { opened_.push_back(location); });
        window_->resize(900, 400);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
    }

    void cleanup() {
        // Gone with the window, the table starts no more work; what still reads the node or the
        // cache finishes before both go.
        delete window_;
        QTRY_COMPARE_WITH_TIMEOUT(backgroundTaskCount(), 0, 40000);
        ThreadTable::setListingDeadline(ThreadTable::DefaultListingDeadline);
        MessageBox::setInstance(nullptr);
        ThreadCache::setInstance(nullptr);
        Configuration::setInstance(nullptr);
        cwd_.reset();
        dir_.reset();
    }

    void numbersThreadsInTheNodesOrder() {
        ScriptedServer node(fakeNode(
            {{RecentPath,
              listBody({{"c", 30, 7, 1536000}, {"a", 10, 2, 1023}, {"b", 20}}) + "broken line\r\n"},
             {ChangesPath, listBody({{"<b>bold</b>\x1b[2J", 5}})}}));
        useNode(node.port());
        QVERIFY(list());
        QCOMPARE(column(0), (QStringList{"0001", "0002", "0003"}));
        QCOMPARE(column(1), (QStringList{"c", "a", "b"}));
        QCOMPARE(column(2), (QStringList{"1.5 MB", "1023.0  B", "100.0  B"}));
        QCOMPARE(column(3), (QStringList{"7", "2", "1"}));
        QVERIFY(node.lastRequest().find("GET " + RecentPath + " HTTP/1.0") == 0);
        QHeaderView* header = table_->table()->horizontalHeader();
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        const QStringList texts{"№", "タイトル", "ゲートウェイ保有サイズ", "投稿数",
                                "最終更新時刻"};
        const int widths[] = {60, 240, 150, 80, 130};
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(model()->headerData(c, Qt::Horizontal).toString(), texts[c]);
            QVERIFY(header->sectionSize(c) >= widths[c]);
            const auto align =
                Qt::Alignment(model()->index(0, c).data(Qt::TextAlignmentRole).toInt());
            QCOMPARE(bool(align & Qt::AlignRight), c == 2 || c == 3);
        }
        // Wider only where the font leaves the texts no room: the time shows whole.
        for (int c : {1, 2, 3})
            QCOMPARE(header->sectionSize(c), widths[c]);
        QVERIFY(header->sectionSize(4) >
                table_->table()->fontMetrics().horizontalAdvance(column(4).first()));
        QVERIFY(!table_->isShowingSubscribed());
        // A row chosen while a listing runs stays chosen when its rows arrive.
        selectTitle("a");
        QVERIFY(list());
        QCOMPARE(table_->selectedItem()->title(), std::string("a"));
        // The subscribed list; a title shows as plain text with its control characters escaped.
        QVERIFY(list(true));
        QVERIFY(node.lastRequest().find("GET " + ChangesPath + " HTTP/1.0") == 0);
        QCOMPARE(column(0), QStringList{"0001"});
        QCOMPARE(column(1), QStringList{"<b>bold</b>\\x1b[2J"});
        QVERIFY(table_->isShowingSubscribed());
    }

    void sortsByEveryColumnBothWays() {
        addThreads({{"b", 30, 5, 200}, {"B", 10, 9, 200}, {"あ", 40, 5, 100}, {"a", 20, 1, 300}});
        QCOMPARE(column(1), (QStringList{"b", "B", "あ", "a"}));
        selectTitle("あ");
        clickHeader(0);
        QCOMPARE(column(0), (QStringList{"0004", "0003", "0002", "0001"}));
        QHeaderView* header = table_->table()->horizontalHeader();
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        // Another column starts down, a second click flips it; equal values newer stamp first.
        const std::vector<std::pair<int, QStringList>> expected = {{1, {"B", "a", "b", "あ"}},
                                                                   {2, {"a", "b", "B", "あ"}},
                                                                   {3, {"B", "あ", "b", "a"}},
                                                                   {4, {"あ", "b", "a", "B"}}};
        for (const auto& [c, down] : expected) {
            clickHeader(c);
            QCOMPARE(column(1), down);
            QCOMPARE(header->sortIndicatorSection(), c);
            QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
            clickHeader(c);
            QStringList up = down;
            std::reverse(up.begin(), up.end());
            QCOMPARE(column(1), up);
            QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
            // The selected thread stays selected.
            QVERIFY(table_->selectedItem());
            QCOMPARE(table_->selectedItem()->title(), std::string("あ"));
        }
        QCOMPARE(table_->sortKey(), ThreadItem::ByStamp);
        QCOMPARE(table_->sortDirection(), ThreadTable::Direction::Up);
    }

    void filtersByTextAndTagTogether() {
        addThreads(
            {{"xABCx", 1}, {"【雑談】abc", 2}, {"雑談の続き", 3}, {"ニュース", 4}, {"xyz", 5}});
        selectTitle("【雑談】abc");
        QLineEdit* filter = table_->filterField();
        QTest::keyClicks(filter, "abc");
        QCOMPARE(column(1), (QStringList{"xABCx", "【雑談】abc"}));
        QCOMPARE(table_->selectedItem()->title(), std::string("【雑談】abc"));
        // The tag list stays as it was while a filter is set.
        const int tagCount = table_->tagField()->count();
        // Choosing 雑談 from the list: titles with 雑談 anywhere, and the filter text as well.
        QComboBox* tag = table_->tagField();
        const int index = tag->findText("雑談");
        QVERIFY(index > 0);
        tag->setCurrentIndex(index);
        emit tag->activated(index);
        QCOMPARE(column(1), QStringList{"【雑談】abc"});
        filter->clear();
        QCOMPARE(column(1), (QStringList{"【雑談】abc", "雑談の続き"}));
        QCOMPARE(tag->count(), tagCount);
        // A chosen tag counts, and the list puts the most used first after the empty entry.
        const auto items = config().tagItems();
        const auto used = std::find_if(items.begin(), items.end(),
                                       [](const TagItem& t) { return t.name() == "雑談"; });
        QVERIFY(used != items.end());
        QCOMPARE(used->count(), 1);
        QCOMPARE(tag->itemText(0), QString());
        QCOMPARE(tag->itemText(1), QStringLiteral("雑談"));
        // Both fields empty: every thread again.
        tag->setEditText(QString());
        QCOMPARE(model()->rowCount(), 5);
    }

    // The first click into a field selects its text, so typing replaces it; later clicks place
    // the cursor, until the field has lost the focus.
    void firstClickIntoAFieldSelectsItsText() {
        QApplication::setActiveWindow(window_);
        QVERIFY(QTest::qWaitForWindowActive(window_));
        for (QLineEdit* field : {table_->filterField(), table_->tagField()->lineEdit()}) {
            field->setText("words");
            field->deselect();
            QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(4, field->height() / 2));
            QTRY_COMPARE(field->selectedText(), QStringLiteral("words"));
            QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(4, field->height() / 2));
            QCoreApplication::processEvents();
            QCOMPARE(field->selectedText(), QString());
            table_->table()->setFocus();
            QTRY_VERIFY(!field->hasFocus());
            QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(4, field->height() / 2));
            QTRY_COMPARE(field->selectedText(), QStringLiteral("words"));
            field->clear();
        }
    }

    void gathersTagsWithTheEmptyEntryFirst() {
        addThreads(
            {{"【雑談】【 ニュース 】今日の話題", 1}, {"【雑談】その2", 2}, {"【閉じない", 3}});
        QComboBox* tag = table_->tagField();
        QCOMPARE(tag->count(), 3);
        QCOMPARE(tag->itemText(0), QString());
        QCOMPARE(QStringList({tag->itemText(1), tag->itemText(2)}),
                 (QStringList{"ニュース", "雑談"}));
        QCOMPARE(table_->tags(), (std::vector<std::string>{"", "ニュース", "雑談"}));
        QCOMPARE(tag->width(), 100);
        QCOMPARE(tag->maxVisibleItems(), 50);
        QCOMPARE(config().sortTags({"雑談", "", "ニュース"}).front(), std::string());
    }

    void marksRowsAgainstTheCache() {
        cache("read", {50, 100});
        cache("updated", {60});
        ScriptedServer node(fakeNode({{RecentPath, listBody({{"unread", 300, 7},
                                                             {"read", 100, 9},
                                                             {"updated", 200, 4},
                                                             {"later", 90, 3}})}}));
        useNode(node.port());
        QVERIFY(list());
        const char* icons[] = {"page_green", "page", "page_red", "page_green"};
        for (int row = 0; row < 4; ++row)
            QCOMPARE(imageOf(model()->index(row, 0).data(Qt::DecorationRole)),
                     getIcon(icons[row]).toImage());
        // The node's count until read, then the cached count.
        QCOMPARE(column(3), (QStringList{"7", "2", "1", "3"}));
        for (int row = 0; row < 4; ++row) {
            const QVariant colour = model()->index(row, 1).data(Qt::ForegroundRole);
            QCOMPARE(colour.isValid(), row == 2);
            const QVariant background = model()->index(row, 4).data(Qt::BackgroundRole);
            QCOMPARE(background.isValid(), row % 2 == 0);
            if (row % 2 == 0)
                QCOMPARE(qvariant_cast<QBrush>(background).color(), QColor(240, 240, 255));
        }
        QCOMPARE(qvariant_cast<QBrush>(model()->index(2, 1).data(Qt::ForegroundRole)).color(),
                 QColor(Qt::darkBlue));
        // A thread read meanwhile shows as read after the next change of the filter.
        cache("later", {90});
        QTest::keyClicks(table_->filterField(), "e");
        QTRY_COMPARE(
            model()->index(column(1).indexOf("later"), 0).data(ThreadTableModel::MarkRole).toInt(),
            int(ThreadCacheState::Mark::Read));
    }

    void contextMenuAndItsActions() {
        const std::string title = "a b?c";
        ScriptedServer node(fakeNode({{RecentPath, listBody({{title, 10}, {"other", 20}})},
                                      {ChangesPath, listBody({{title, 10}})}}));
        useNode(node.port());
        config().setRecordsPerPage(25);
        QVERIFY(list());
        QAbstractItemView* view = table_->table();
        auto openMenu = [&] {
            const QPoint at(20, 5);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                    view->viewport()->mapToGlobal(at));
            QApplication::sendEvent(view->viewport(), &event);
        };
        // Without a selected row there is no menu, and the actions do nothing.
        openMenu();
        QVERIFY(!table_->menu()->isVisible());
        QGuiApplication::clipboard()->setText("before");
        for (QAction* action : table_->menu()->actions())
            action->trigger();
        QVERIFY(opened_.empty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

        selectTitle(QString::fromStdString(title));
        openMenu();
        QVERIFY(table_->menu()->isVisible());
        QVERIFY(!table_->deleteAction()->isEnabled());
        QStringList entries;
        for (QAction* action : table_->menu()->actions())
            entries << (action->isSeparator() ? "-" : action->text()) +
                           (action->icon().isNull() ? "" : "*");
        QCOMPARE(entries, (QStringList{"開く*", "-", "ゲートウェイを開く*", "-",
                                       "ブックマークへ追加*", "-", "タイトルをコピー",
                                       "URLを新月形式でコピー", "URLをBryndle形式でコピー",
                                       "ゲートウェイのURLをコピー", "-", "削除*"}));
        table_->menu()->hide();

        const QString file = QString::fromStdString(threadFileName(title));
        const QString gateway =
            QStringLiteral("http://127.0.0.1:%1/thread.cgi/a%20b%3Fc").arg(node.port());
        auto trigger = [&](const char* name) {
            QAction* action = table_->menu()->findChild<QAction*>(name);
            QVERIFY2(action, name);
            action->trigger();
        };
        trigger("openAction");
        const QRect cell = view->visualRect(model()->index(0, 1));
        // As the window system sends it: a click, then the second press as a double click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        trigger("openGatewayAction");
        const QString location = "shingetsu://" + file + "/get/?mode=1&items=25";
        QCOMPARE(opened_, (std::vector<QString>{location, location, gateway}));
        // The bookmark: the opening location, under the name the add dialog was given.
        whenModal([](QWidget* dialog) {
            auto* ok = dialog->findChild<QPushButton*>("ok");
            QVERIFY(ok);
            ok->click();
        });
        trigger("addBookmarkAction");
        QStringList bookmarks;
        for (const auto& entry : std::filesystem::directory_iterator(dir_->path() / "Bookmark"))
            bookmarks << QString::fromStdString(entry.path().filename().string());
        QCOMPARE(bookmarks.size(), 1);
        QFile bookmark(QString::fromStdString(dir_->file("Bookmark/")) + bookmarks.first());
        QVERIFY(bookmark.open(QIODevice::ReadOnly));
        QVERIFY(bookmark.readAll().contains(("URL=" + location).toUtf8()));
        trigger("copyTitleAction");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(title));
        trigger("copyWikiLinkAction");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("[[a b?c]]"));
        trigger("copyLocationAction");
        QCOMPARE(QGuiApplication::clipboard()->text(), "shingetsu://" + file + "/get/");
        trigger("copyGatewayUrlAction");
        QCOMPARE(QGuiApplication::clipboard()->text(), gateway);

        // The subscribed list enables deletion; it opens the node's page, and the finalizer
        // lists the same list again a moment later.
        QVERIFY(list(true));
        selectTitle(QString::fromStdString(title));
        openMenu();
        QVERIFY(table_->deleteAction()->isEnabled());
        table_->menu()->hide();
        QString deletePage;
        std::function<void()> finalizer;
        table_->setDeletePageOpener([&](const QString& url, std::function<void()> done) {
            deletePage = url;
            finalizer = std::move(done);
        });
        trigger("deleteAction");
        QCOMPARE(deletePage, QStringLiteral("http://127.0.0.1:%1/admin.cgi?cmd=fdel&file=%2")
                                 .arg(node.port())
                                 .arg(file));
        QVERIFY(finalizer);
        const int requests = node.connections();
        QSignalSpy relisted(table_, &ThreadTable::listingFinished);
        finalizer();
        QVERIFY(!table_->isListing());
        QVERIFY(relisted.wait(5000));
        QCOMPARE(node.connections(), requests + 1);
        QVERIFY(node.lastRequest().find("GET " + ChangesPath) == 0);
    }

    void refusedConnectionKeepsTheRows() {
        ScriptedServer node(fakeNode({{RecentPath, listBody({{"one", 1}, {"two", 2}})}}));
        useNode(node.port());
        QVERIFY(list());
        ClosedPort closed;
        useNode(closed.port());
        QSignalSpy finished(table_, &ThreadTable::listingFinished);
        table_->showSubscribedThreads();
        QCOMPARE(table_->table()->cursor().shape(), Qt::BusyCursor);
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(box_->shown.size(), size_t(1));
        QCOMPARE(box_->shown[0].text, QStringLiteral("Unable to connect socket"));
        QCOMPARE(box_->shown[0].title, QStringLiteral("bryndle"));
        QCOMPARE(box_->shown[0].icon, MessageBox::Icon::Warning);
        QCOMPARE(column(1), (QStringList{"one", "two"}));
        QVERIFY(!table_->isShowingSubscribed());
        QCOMPARE(table_->table()->cursor().shape(), Qt::ArrowCursor);
    }

    void silentNodeKeepsTheWindowResponsive() {
        ScriptedServer node([](ScriptedConnection& connection) {
            connection.readRequest();
            connection.holdUntilClientCloses();
        });
        useNode(node.port());
        ThreadTable::setListingDeadline(1);
        addThreads({{"earlier", 1}});
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QSignalSpy finished(table_, &ThreadTable::listingFinished);
        table_->showNewThreads();
        QVERIFY(table_->isListing());
        // A second request while the first runs does nothing.
        table_->showNewThreads();
        table_->showSubscribedThreads();
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QCOMPARE(node.connections(), 1);
        QCOMPARE(box_->shown.size(), size_t(1));
        QVERIFY(box_->shown[0].text.contains("timeout"));
        QCOMPARE(column(1), QStringList{"earlier"});
    }

    // The local node's sample threads: one read and up to date, one read and posted to since.
    void listsTheLocalNodesSampleThreads() {
#ifndef BRYNDLE_NODE_PROGRAM
        QSKIP("the local node is not built");
#else
        std::filesystem::create_directories(dir_->path() / "node");
        std::filesystem::create_directories(dir_->path() / "attach");
        NodeProcess node(dir_->path() / "node", true);
        node.start();
        useNode(static_cast<uint16_t>(node.port()));
        const std::string dinner = "【雑談】今日の晩ごはん";
        const std::string images = "【画像】お気に入りの画像を貼るスレ";
        for (const std::string& title : {dinner, images})
            ThreadSync(ThreadCache::instance(), "127.0.0.1", config().nodePort(),
                       dir_->file("attach"))
                .fetch(title);
        QVERIFY(postTo(config().nodePort(), images, "posted"));
        QVERIFY(list());
        const QStringList titles = column(1);
        QVERIFY(titles.size() >= 5);
        QVERIFY(!titles.contains("過去ログ倉庫"));
        for (int row = 0; row < titles.size(); ++row) {
            QCOMPARE(column(0)[row], QStringLiteral("%1").arg(row + 1, 4, 10, QLatin1Char('0')));
            const std::string title = titles[row].toStdString();
            const auto expected = title == dinner   ? ThreadCacheState::Mark::Read
                                  : title == images ? ThreadCacheState::Mark::Updated
                                                    : ThreadCacheState::Mark::Unread;
            QCOMPARE(model()->index(row, 0).data(ThreadTableModel::MarkRole).toInt(),
                     int(expected));
        }
        // The images thread shows what the cache holds, one post less than the node.
        const int row = titles.indexOf(QString::fromStdString(images));
        QCOMPARE(column(3)[row].toInt() + 1, int(table_->items()[size_t(row)]->posts()));
        QStringList tags;
        for (int i = 0; i < table_->tagField()->count(); ++i)
            tags << table_->tagField()->itemText(i);
        QCOMPARE(tags.first(), QString());
        for (const char* tag : {"雑談", "画像", "ニュース", "お知らせ", "テスト"})
            QVERIFY2(tags.contains(QString::fromUtf8(tag)), tag);
        QVERIFY(list(true));
        QVERIFY(column(1).contains("過去ログ倉庫"));
#endif
    }

    void resultAfterTheTableIsGoneIsDropped() {
        ClosedPort closed;
        useNode(closed.port());
        table_->showNewThreads();
        delete window_;
        QTRY_COMPARE(backgroundTaskCount(), 0);
        QCoreApplication::processEvents();
        QVERIFY(box_->shown.empty());
    }
};

BRYNDLE_QTEST_MAIN(ThreadTableTest)
#include "threadtable_test.moc"
