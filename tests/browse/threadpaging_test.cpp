// The rules behind a thread page that need no engine: the paging buttons' locations, the
// names of temporary documents and the requests thread pages may make.

#include "browse/localrequestinterceptor.h"
#include "browse/temporarydocuments.h"
#include "browse/threadpaging.h"
#include "support/tempdir.h"
#include "toolkit/uitest.h"

#include <QDir>
#include <QFile>

using namespace bryndle;
using namespace bryndle::test;

namespace {

Schema at(const char* location) {
    return Schema::parse(location);
}

QString text(const Schema& schema) {
    return QString::fromStdString(schema.toLocation());
}

const char* const Latest = "shingetsu://thread_41/get/abcdef12?mode=1&items=30#abcdef12";

} // namespace

class ThreadPagingTest : public QObject {
    Q_OBJECT

private slots:
    void pagesOfNinetyFiveRecords() {
        // From the latest records, next and previous both go to the last full page.
        QCOMPARE(text(ThreadPaging::nextPage(at(Latest), 95, 30)),
                 QStringLiteral("shingetsu://thread_41/cache/?mode=2&items=30&page=2"));
        QCOMPARE(text(*ThreadPaging::previousPage(at(Latest), 95, 30)),
                 QStringLiteral("shingetsu://thread_41/cache/?mode=2&items=30&page=2"));
        const Schema page2 = at("shingetsu://thread_41/cache/?mode=2&items=30&page=2");
        QCOMPARE(text(ThreadPaging::nextPage(page2, 95, 30)),
                 QStringLiteral("shingetsu://thread_41/cache/?mode=2&items=30&page=3"));
        // The last page is fetched again.
        const Schema page3 = at("shingetsu://thread_41/cache/?mode=2&items=30&page=3");
        QCOMPARE(text(ThreadPaging::nextPage(page3, 95, 30)),
                 QStringLiteral("shingetsu://thread_41/get/?mode=2&items=30&page=3"));
        QCOMPARE(text(*ThreadPaging::previousPage(page3, 95, 30)),
                 QStringLiteral("shingetsu://thread_41/cache/?mode=2&items=30&page=2"));
        QVERIFY(
            !ThreadPaging::previousPage(at("shingetsu://thread_41/cache/?mode=2&page=0"), 95, 30));
        // Fewer records than a page: page 0.
        QCOMPARE(ThreadPaging::nextPage(at(Latest), 29, 30).page, 0u);
        QCOMPARE(ThreadPaging::nextPage(at(Latest), 60, 30).page, 1u);
    }

    void theOtherButtonsAndTheirDivisions() {
        QCOMPARE(text(ThreadPaging::firstPage(at(Latest), 30)),
                 QStringLiteral("shingetsu://thread_41/cache/?mode=2&items=30&page=0"));
        QCOMPARE(text(ThreadPaging::latest(at(Latest), 45)),
                 QStringLiteral("shingetsu://thread_41/get/?mode=1&items=45"));
        const Schema all = ThreadPaging::all(at(Latest));
        QCOMPARE(text(all), QStringLiteral("shingetsu://thread_41/get/"));
        QCOMPARE(all.items, 0u);
        QVERIFY(all.fragment.empty() && all.target.empty());
        // From the whole thread (no item count of its own) the configured number divides, and
        // no number below 1 divides at all.
        QCOMPARE(text(*ThreadPaging::previousPage(all, 95, 30)),
                 QStringLiteral("shingetsu://thread_41/cache/?mode=2&items=30&page=2"));
        QCOMPARE(ThreadPaging::nextPage(all, 95, 0).page, 94u);
        QCOMPARE(ThreadPaging::nextPage(all, -5, 30).page, 0u);
        // A page location without an item count pages by the configured one.
        const Schema bare = at("shingetsu://thread_41/cache/?mode=2&items=0&page=1");
        QCOMPARE(text(ThreadPaging::nextPage(bare, 95, 30)),
                 QStringLiteral("shingetsu://thread_41/cache/?mode=2&items=30&page=2"));
        QCOMPARE(ThreadPaging::previousPage(bare, 95, 30)->items, 30u);
        // Far pages do not wrap.
        const Schema far = at("shingetsu://thread_41/cache/?mode=2&items=1000&page=4294967295");
        QCOMPARE(ThreadPaging::nextPage(far, 95, 30).method, std::string("get"));
    }

    void documentNamesSortByTimeAndNeverRepeat() {
        QVERIFY(TemporaryDocuments::documentName(1700000000, 99, 5) <
                TemporaryDocuments::documentName(1700000001, 1, 1));
        QVERIFY(TemporaryDocuments::documentName(1700000000, 7, 9) <
                TemporaryDocuments::documentName(1700000000, 7, 10));
        TempDir dir;
        TemporaryDocuments documents(QString::fromStdString(dir.path().string()));
        QStringList written;
        for (int i = 0; i < 50; ++i)
            written << documents.write(QByteArray::number(i));
        written.removeDuplicates();
        QCOMPARE(written.size(), 50);
        QStringList sorted = written;
        sorted.sort();
        QCOMPARE(sorted, written);
        QFile last(written.back());
        QVERIFY(last.open(QIODevice::ReadOnly));
        QCOMPARE(last.readAll(), QByteArray("49"));

        TemporaryDocuments missing(QString::fromStdString(dir.file("none/deeper")));
        QVERIFY(QFile::exists(missing.write("x")));
        QFile blocker(QString::fromStdString(dir.file("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TemporaryDocuments unwritable(QString::fromStdString(dir.file("file/inside")));
        QVERIFY_THROWS_EXCEPTION(Exception, unwritable.write("x"));
    }

    void threadPagesRequestOnlyLocalFiles() {
        using Info = QWebEngineUrlRequestInfo;
        const QUrl web(QStringLiteral("http://127.0.0.1:8000/a.png"));
        const QUrl local = QUrl::fromLocalFile(QStringLiteral("/tmp/attach/a.png"));
        for (Info::ResourceType type :
             {Info::ResourceTypeImage, Info::ResourceTypeStylesheet, Info::ResourceTypeFontResource,
              Info::ResourceTypeMedia, Info::ResourceTypeSubFrame, Info::ResourceTypeXhr,
              Info::ResourceTypePing, Info::ResourceTypePrefetch, Info::ResourceTypeWebSocket}) {
            QVERIFY(LocalRequestInterceptor::blocks(type, web));
            QVERIFY(LocalRequestInterceptor::blocks(type, QUrl(QStringLiteral("data:,x"))));
            QVERIFY(!LocalRequestInterceptor::blocks(type, local));
        }
        QVERIFY(!LocalRequestInterceptor::blocks(Info::ResourceTypeMainFrame, web));
    }
};

BRYNDLE_QTEST_MAIN(ThreadPagingTest)
#include "threadpaging_test.moc"
