// The thread table with 10,000 threads, on the offscreen platform:
//  1. a listing: the node's answer over a loopback socket made into items, the cache's index of
//     10,000 rows read beside it (on the worker), then the rows shown and painted (interface);
//  2. one keystroke in the filter field and one in the tag field, and a column click, each with
//     the rows painted again.

#include "browse/threadcachestate.h"
#include "browse/threadlisting.h"
#include "browse/threadtable.h"
#include "config/configuration.h"
#include "foundation/sqlite.h"
#include "node/threadfile.h"
#include "shell/icon.h"
#include "store/threadcache.h"
#include "support/scriptedserver.h"
#include "support/tempdir.h"
#include "toolkit/background.h"

#include "rounds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace bryndle;
using Clock = std::chrono::steady_clock;

using bench::Figures;
using bench::measure;
using bench::Rounds;

namespace {

constexpr int Threads = 10000;

void print(const char* what, const Figures& f) {
    std::printf("  %-58s %8.2f ms  (min %8.2f ms)\n", what, f.median, f.min);
}

std::string title(int n) {
    return "【タグ" + std::to_string(n % 50) + "】スレッド番号 " + std::to_string(n) +
           (n % 3 == 0 ? " 雑談" : " Thread");
}

// The node's recent list: 10,000 lines of 8 columns.
std::string listing() {
    std::string body;
    for (int n = 0; n < Threads; ++n) {
        const std::string file = threadFileName(title(n));
        body += file + "," + std::to_string(1700000000 + n) + ",/thread.cgi/" + file +
                ",http://127.0.0.1/thread.cgi/" + file + ",thread," + title(n) + "," +
                std::to_string(n % 1000) + "," + std::to_string(n * 137) + "\r\n";
    }
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" + body;
}

// One index row per thread, a third of them with the list's stamp (read), a third older
// (updated), written in one transaction.
void fillCache(const std::string& file) {
    ThreadCache schema(file);
    SQLite db(file);
    db.begin();
    auto insert = db.prepare("INSERT INTO THREAD_INDEX (TITLE,PTIME,PHASH,ATIME,COUNT,FLAG) "
                             "VALUES(?,?,?,?,?,1);");
    for (int n = 0; n < Threads; ++n) {
        const int32_t stamp = 1700000000 + n - (n % 3 == 1 ? 100 : 0);
        insert->bind(1, title(n), stamp, std::string(32, 'a'), stamp, int32_t(n % 1000));
        insert->step();
        insert->reset();
    }
    insert->finalize();
    db.commit();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    test::TempDir dir;
    test::ScopedCurrentDir cwd(dir.path());
    const QString icons =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(BRYNDLE_RUNTIME_PATH "/icons");
    loadIcons(icons);
    fillCache(dir.file("cache.db"));
    ThreadCache::setInstance(std::make_unique<ThreadCache>(dir.file("cache.db")));
    test::ScriptedServer node(test::ScriptedServer::answer(listing()));
    auto configuration = std::make_unique<Configuration>(dir.file("config.db"));
    configuration->setNodeHost("127.0.0.1");
    configuration->setNodePort(node.port());
    Configuration::setInstance(std::move(configuration));

    QWidget window;
    new QVBoxLayout(&window);
    auto* table = new ThreadTable(&window);
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    QWidget* viewport = table->table()->viewport();

    std::printf("thread table, %d threads (medians of %d rounds)\n", Threads, Rounds);
    const RecentThread recent("127.0.0.1", node.port(), 30, &ThreadCache::instance());
    ThreadListing::Result result;
    print("worker: node's answer to items, cache index read beside",
          measure([&] { result = recent.run(); }));
    if (!result.succeeded || result.items.size() != Threads) {
        std::fprintf(stderr, "listing failed: %s\n", qPrintable(result.error));
        return 1;
    }
    print("worker: of which the cache's index of 10,000 rows",
          measure([&] { ThreadCacheState::read(ThreadCache::instance()); }));
    print("interface: the listing's rows shown and painted", measure([&] {
              table->onListingDone(result);
              viewport->repaint();
          }));
    print("whole listing: click to rows painted (event loop)", measure([&] {
              QSignalSpy finished(table, &ThreadTable::listingFinished);
              table->showNewThreads();
              finished.wait(30000);
              viewport->repaint();
          }));

    QLineEdit* filter = table->filterField();
    bool typed = false;
    // Typing "1" keeps about a third of the rows; the next round erases it again.
    auto keystroke = [&](QLineEdit* field) {
        if (typed)
            field->backspace();
        else
            field->insert(QStringLiteral("1"));
        typed = !typed;
        viewport->repaint();
    };
    print("one keystroke in the filter field, rows painted", measure([&] { keystroke(filter); }));
    if (typed)
        keystroke(filter);
    QLineEdit* tag = table->tagField()->lineEdit();
    print("one keystroke in the tag field, rows painted", measure([&] { keystroke(tag); }));
    if (typed)
        keystroke(tag);
    tag->setText(QStringLiteral("タグ7"));
    print("one keystroke in the filter with a tag set", measure([&] { keystroke(filter); }));
    tag->clear();
    int column = 0;
    print("a column click: 10,000 rows sorted, painted", measure([&] {
              table->onColumnSelected(column = (column + 1) % 5);
              viewport->repaint();
          }));
    // The cache reads the keystrokes asked for end before the cache goes.
    while (backgroundTaskCount() > 0)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return 0;
}
