#include "browse/threaditem.h"
#include "node/threadresponseevent.h"

#include <QtTest>

#include <cstdlib>
#include <ctime>

using namespace bryndle;

namespace {

ThreadItem item(const char* title, uint32_t stamp, uint32_t posts = 1, uint32_t size = 1,
                int32_t number = 1) {
    return ThreadItem(title, stamp, posts, size, number);
}

// Runs the body under a time zone given as a POSIX TZ string.
template <class F> void inZone(const char* zone, F body) {
    const QByteArray old = qgetenv("TZ");
    const bool had = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", zone);
    tzset();
    body();
    if (had)
        qputenv("TZ", old);
    else
        qunsetenv("TZ");
    tzset();
}

} // namespace

class ThreadItemTest : public QObject {
    Q_OBJECT

private slots:
    void textsOfAListLine() {
        ThreadResponseEvent event;
        event.parse("thread_41,1700000000,/thread.cgi/A,http://n/thread.cgi/A,thread,A,3,2048\r\n",
                    {});
        const ThreadItem first(event, 7);
        QCOMPARE(first.numberText(), QStringLiteral("0007"));
        QCOMPARE(first.title(), std::string("A"));
        QCOMPARE(first.postsText(), QStringLiteral("3"));
        QCOMPARE(first.sizeText(), QStringLiteral("2.0 KB"));
        QCOMPARE(first.path(), std::string("/thread.cgi/A"));
        QCOMPARE(first.stamp(), 1700000000u);
        QCOMPARE(item("x", 1, 1, 1, 12345).numberText(), QStringLiteral("12345"));
    }

    void sizeRule_data() {
        QTest::addColumn<uint32_t>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0u << "0.0  B";
        QTest::newRow("1023") << 1023u << "1023.0  B";
        QTest::newRow("1024") << 1024u << "1.0 KB";
        QTest::newRow("1023999") << 1023999u << "1000.0 KB";
        QTest::newRow("1024000") << 1024000u << "1.0 MB";
        QTest::newRow("1.5 x 1024000") << 1536000u << "1.5 MB";
        QTest::newRow("1024000000") << 1024000000u << "1.0 GB";
        QTest::newRow("largest") << 4294967295u << "4.2 GB";
    }
    void sizeRule() {
        QFETCH(uint32_t, bytes);
        QFETCH(QString, text);
        QCOMPARE(ThreadItem::formatSize(bytes), text);
    }

    // The stamp's own local time: no hours added to it.
    void timeIsTheStampsLocalTime() {
        inZone("UTC0", [] {
            QCOMPARE(ThreadItem::formatTime(0), QStringLiteral("1970 01/01 00:00:00"));
            QCOMPARE(ThreadItem::formatTime(1700000000), QStringLiteral("2023 11/14 22:13:20"));
        });
        inZone("JST-9", [] {
            QCOMPARE(ThreadItem::formatTime(0), QStringLiteral("1970 01/01 09:00:00"));
            QCOMPARE(item("t", 1700000000).lastUpdateText(), QStringLiteral("2023 11/15 07:13:20"));
        });
    }

    void orderingUnderEveryKey() {
        // Direction down: larger number, size, posts and stamp first; titles byte-wise.
        QVERIFY(item("a", 1, 1, 1, 2).compareTo(item("a", 1, 1, 1, 1), ThreadItem::ByNumber) < 0);
        QVERIFY(item("B", 1).compareTo(item("a", 1), ThreadItem::ByTitle) < 0);
        QVERIFY(item("a", 1).compareTo(item("あ", 1), ThreadItem::ByTitle) < 0);
        QVERIFY(item("a", 1, 1, 9).compareTo(item("a", 1, 1, 3), ThreadItem::BySize) < 0);
        QVERIFY(item("a", 1, 9).compareTo(item("a", 1, 3), ThreadItem::ByPosts) < 0);
        QVERIFY(item("a", 9).compareTo(item("a", 3), ThreadItem::ByStamp) < 0);
        // Equal under the key: the newer stamp first.
        for (int32_t key : {ThreadItem::ByTitle, ThreadItem::BySize, ThreadItem::ByPosts}) {
            QVERIFY(item("a", 20).compareTo(item("a", 10), key) < 0);
            QVERIFY(item("a", 10).compareTo(item("a", 20), key) > 0);
        }
        QCOMPARE(item("a", 5).compareTo(item("b", 5), ThreadItem::ByStamp), 0);
    }

    void tagsOfATitle_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("tags");
        QTest::newRow("two") << QStringLiteral("【雑談】【 ニュース 】今日の話題")
                             << QStringList{QStringLiteral("雑談"), QStringLiteral("ニュース")};
        QTest::newRow("unclosed ends the search")
            << QStringLiteral("【a】【b 【c") << QStringList{QStringLiteral("a")};
        QTest::newRow("wide blanks")
            << QStringLiteral("x【　全角　】") << QStringList{QStringLiteral("全角")};
        QTest::newRow("empty") << QStringLiteral("【】【  】") << QStringList{};
        QTest::newRow("control character") << QStringLiteral("【a\x1b】") << QStringList{};
        QTest::newRow("none") << QStringLiteral("雑談") << QStringList{};
    }
    void tagsOfATitle() {
        QFETCH(QString, title);
        QFETCH(QStringList, tags);
        const std::vector<QString> gathered = ThreadItem::gatherTags(title.toStdString());
        QCOMPARE(QStringList(gathered.begin(), gathered.end()), tags);
    }

    void titleShownAsPlainTextAndUpperCased() {
        const ThreadItem shown = item("<b>a</b>\x1b[2J\xe2\x80\xae\xc2\x9b", 1);
        QCOMPARE(shown.titleText(), QStringLiteral("<b>a</b>\\x1b[2J\\u202e\\x9b"));
        QCOMPARE(shown.title(), std::string("<b>a</b>\x1b[2J\xe2\x80\xae\xc2\x9b"));
        // Simple case mapping: ä has an upper case letter, ß keeps its one letter.
        QCOMPARE(item("xabcäß", 1).upperTitle(), QStringLiteral("XABCÄß"));
        QCOMPARE(ThreadItem::upperCase(QStringLiteral("abc")), QStringLiteral("ABC"));
    }
};

QTEST_APPLESS_MAIN(ThreadItemTest)
#include "threaditem_test.moc"
