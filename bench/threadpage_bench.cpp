// Thread pages in the interface (Qt WebEngine, offscreen), from the cache:
//  1. a 1,000-record thread opened in a new tab, until the page has painted in the view
//     (the engine's load has finished and the view has drawn a frame after it), with and
//     without a spare engine page ready, and the same thread opened again in the same tab;
//  2. 全件 of a 25,000-record thread in a new tab: time and peak resident memory of the client
//     and of the engine's page process (run in a child process of its own, for a clean peak);
//  3. the floor: xsltproc alone turning the same documents into HTML.

#include "browse/browsercontrolpage.h"
#include "browse/shingetsubrowser.h"
#include "browse/shingetsubrowserpage.h"
#include "browse/spareenginepage.h"
#include "browse/tabfolder.h"
#include "config/configuration.h"
#include "foundation/digest.h"
#include "store/pageloader.h"
#include "store/schema.h"
#include "store/threadcache.h"
#include "support/tempdir.h"
#include "toolkit/application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

using namespace bryndle;

namespace {

constexpr int SmallRecords = 1000;
constexpr int LargeRecords = 25000;
constexpr int Rounds = 7;
constexpr int LargeRounds = 3;

const std::string SmallTitle = "千件のスレッド";
const std::string LargeTitle = "二万五千件のスレッド";

struct Figures {
    double min = 0;
    double median = 0;
};

Figures summary(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

void print(const char* what, const Figures& f, const std::string& extra = {}) {
    std::printf("  %-52s %9.1f ms  (min %8.1f ms)%s\n", what, f.median, f.min, extra.c_str());
    std::fflush(stdout);
}

// Bodies as in the page benchmark: three lines, a reference to the record before.
std::string body(int n) {
    return "ベンチマーク用の書き込みです。番号 " + std::to_string(n) + "<br>二行目には &gt;&gt;" +
           Digest::md5Hex(std::to_string(n - 1)).substr(0, 8) +
           " への返事と &amp; 記号、&hearts; もあります。<br>三行目";
}

void fillThread(const std::string& title, int records) {
    std::vector<ThreadMessage> messages;
    for (int n = 0; n < records; ++n) {
        ThreadMessage m;
        m.title = title;
        m.mtime = 1600000000 + n * 60;
        m.md5 = Digest::md5Hex(std::to_string(n));
        m.message = body(n);
        m.name = "名無し" + std::to_string(n % 17);
        m.mail = n % 5 == 0 ? "sage" : "";
        messages.push_back(std::move(m));
    }
    ThreadCache::instance().insertAll(messages);
}

void setUp(const test::TempDir& dir) {
    auto configuration = std::make_unique<Configuration>(dir.file("config.db"));
    configuration->setThemeRoot(std::string(BRYNDLE_SOURCE_PATH) + "/data/template/theme");
    configuration->setTemporaryDir(dir.file("temporary"));
    configuration->setRecordsPerPage(1000);
    Configuration::setInstance(std::move(configuration));
    ThreadCache::setInstance(std::make_unique<ThreadCache>(dir.file("cache.db")));
}

QString wholeThread(const std::string& title) {
    Schema schema(title);
    schema.method = "cache";
    return QString::fromStdString(schema.toLocation());
}

// Counts the frames the view draws.
class FrameCounter : public QObject {
public:
    int frames = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++frames;
        return false;
    }
};

// Opens the location in the page and waits until the document has loaded and the view has
// drawn a frame after that; milliseconds (negative when that did not happen), and the part of
// them spent before the engine began.
struct Timing {
    double total;
    double client;
};

Timing openUntilPainted(ShingetsuBrowserPage* page, const QString& location) {
    QWebEnginePage* engine = page->browser()->page();
    QWebEngineView* view = page->browser()->view();
    FrameCounter counter;
    QEventLoop loop;
    bool loaded = false;
    int framesAtLoad = 0;
    QWidget* watched = nullptr;
    auto watch = [&] {
        if (!watched && view->focusProxy()) {
            watched = view->focusProxy();
            watched->installEventFilter(&counter);
        }
    };
    auto finished = QObject::connect(engine, &QWebEnginePage::loadFinished, [&](bool ok) {
        if (!ok || !engine->url().path().endsWith(QLatin1String(".html")))
            return;
        watch();
        loaded = true;
        framesAtLoad = counter.frames;
    });
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        watch();
        if (loaded && counter.frames > framesAtLoad)
            loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    poll.start();
    limit.start(120000);
    page->open(location);
    // Document built, written and transformed: the engine starts from here.
    const double client = clock.nsecsElapsed() / 1e6;
    loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(finished);
    if (watched)
        watched->removeEventFilter(&counter);
    return loaded && counter.frames > framesAtLoad ? Timing{ms, client} : Timing{-1, client};
}

double kilobytes(const QString& statusFile, const char* field) {
    QFile file(statusFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble();
    return 0;
}

// The page document of a location, written to a file for xsltproc.
std::string writeDocument(const test::TempDir& dir, const std::string& title) {
    auto loader = PageLoader::create(wholeThread(title).toStdString(), nullptr, nullptr);
    loader->prepare();
    const std::string path = dir.file(title + ".xml");
    std::ofstream(path, std::ios::binary) << loader->document().first;
    return path;
}

// Runs xsltproc on the document with the theme's stylesheet: milliseconds and peak resident
// memory in MB (read from /proc while it runs: a spawned child's own usage report would
// include this process's memory at the spawn).
std::pair<double, double> xsltproc(const std::string& document, const std::string& output) {
    const std::string stylesheet = Configuration::instance().themeDir() + "/cache.xsl";
    std::vector<std::string> arguments{"xsltproc", "--output", output, stylesheet, document};
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xsltproc", nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot run xsltproc");
    const QString status = QStringLiteral("/proc/%1/status").arg(pid);
    double peak = 0;
    int result = 0;
    while (waitpid(pid, &result, WNOHANG) == 0) {
        peak = std::max(peak, kilobytes(status, "VmHWM:"));
        usleep(2000);
    }
    const double ms = clock.nsecsElapsed() / 1e6;
    if (!WIFEXITED(result) || WEXITSTATUS(result) != 0)
        throw std::runtime_error("xsltproc failed");
    return {ms, peak / 1024};
}

// Waits (outside the time) until the spare has started, as it has when a user opens a tab.
void awaitSpare(const SpareEnginePage* spare) {
    QEventLoop loop;
    QTimer limit;
    QObject::connect(spare, &SpareEnginePage::ready, &loop, &QEventLoop::quit);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(10000);
    if (!spare->isReady())
        loop.exec();
    if (!spare->isReady())
        throw std::runtime_error("no spare page was made");
}

// The page of every round in a new tab, the last one kept open.
std::vector<double> newTabs(TabFolder* folder, const QString& location, bool spare,
                            ShingetsuBrowserPage*& kept) {
    std::unique_ptr<SpareEnginePage> spares(spare ? new SpareEnginePage(nullptr) : nullptr);
    std::vector<double> times;
    for (int round = 0; round <= Rounds; ++round) {
        if (spares)
            awaitSpare(spares.get());
        auto* page = new ShingetsuBrowserPage(location, folder, 0);
        const Timing timing = openUntilPainted(page, location);
        if (timing.total < 0)
            throw std::runtime_error("the page was not painted");
        if (round > 0)
            times.push_back(timing.total);
        if (kept)
            folder->disposeItem(folder->indexOf(kept->getContents()));
        kept = page;
    }
    return times;
}

// The memory of a waiting spare's renderer process, in MB: resident, and its proportional
// share (shared libraries split among the engine's processes).
std::pair<double, double> spareMemory() {
    SpareEnginePage spares(nullptr);
    awaitSpare(&spares);
    std::unique_ptr<BrowserControlPage> spare(SpareEnginePage::take());
    const QString process = QStringLiteral("/proc/%1/").arg(spare->renderProcessPid());
    return {kilobytes(process + QStringLiteral("status"), "VmRSS:") / 1024,
            kilobytes(process + QStringLiteral("smaps_rollup"), "Pss:") / 1024};
}

void smallThread(TabFolder* folder, const test::TempDir& dir) {
    fillThread(SmallTitle, SmallRecords);
    const QString location = wholeThread(SmallTitle);
    std::printf("A %d-record thread from the cache, until painted (medians of %d rounds)\n",
                SmallRecords, Rounds);
    ShingetsuBrowserPage* kept = nullptr;
    const std::vector<double> cold = newTabs(folder, location, false, kept);
    const std::vector<double> warm = newTabs(folder, location, true, kept);
    std::vector<double> sameTab, client;
    for (int round = 0; round <= Rounds; ++round) {
        const Timing timing = openUntilPainted(kept, location);
        if (timing.total < 0)
            throw std::runtime_error("the page was not painted");
        if (round > 0) {
            sameTab.push_back(timing.total);
            client.push_back(timing.client);
        }
    }
    print("opened in a new tab, a spare engine page ready", summary(warm));
    print("opened in a new tab, no spare", summary(cold));
    const auto [resident, share] = spareMemory();
    std::printf("  %-52s %9.1f MB  (proportional %.1f MB)\n",
                "resident memory of a waiting spare's renderer", resident, share);
    print("opened again in the same tab", summary(sameTab));
    print("  of which the window waits (document, before transform)", summary(client));
    std::vector<double> floor;
    const std::string document = writeDocument(dir, SmallTitle);
    for (int round = 0; round <= Rounds; ++round) {
        const double ms = xsltproc(document, dir.file("small.html")).first;
        if (round > 0)
            floor.push_back(ms);
    }
    print("floor: xsltproc alone on the same document", summary(floor));
}

void largeThread(TabFolder* folder, const test::TempDir& dir) {
    fillThread(LargeTitle, LargeRecords);
    const QString location = wholeThread(LargeTitle);
    const std::string document = writeDocument(dir, LargeTitle);
    std::printf("全件 of a %d-record thread from the cache (%.1f MB document; medians of %d "
                "rounds)\n",
                LargeRecords, QFile(QString::fromStdString(document)).size() / 1e6, LargeRounds);
    std::vector<double> times, client;
    double renderer = 0;
    for (int round = 0; round < LargeRounds; ++round) {
        auto* page = new ShingetsuBrowserPage(location, folder, 0);
        const Timing timing = openUntilPainted(page, location);
        if (timing.total < 0)
            throw std::runtime_error("the page was not painted");
        times.push_back(timing.total);
        client.push_back(timing.client);
        const qint64 pid = page->browser()->page()->renderProcessPid();
        renderer =
            std::max(renderer, kilobytes(QStringLiteral("/proc/%1/status").arg(pid), "VmHWM:"));
        folder->disposeItem(folder->indexOf(page->getContents()));
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
    }
    char memory[160];
    std::snprintf(memory, sizeof memory, "\n  %-52s %9.1f MB\n  %-52s %9.1f MB",
                  "peak resident memory: the client",
                  kilobytes("/proc/self/status", "VmHWM:") / 1024,
                  "peak resident memory: the engine's page process", renderer / 1024);
    print("opened in a new tab", summary(times));
    print("  of which the window waits (document, before transform)", summary(client), memory);
    const auto [ms, mb] = xsltproc(document, dir.file("large.html"));
    std::printf("  %-52s %9.1f ms  (peak %.1f MB)\n", "floor: xsltproc alone on the same document",
                ms, mb);
}

} // namespace

int main(int argc, char** argv) {
    const bool large = argc > 1 && std::string(argv[1]) == "--large";
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application application(argc, argv);
    test::TempDir dir;
    setUp(dir);
    TabFolder folder(nullptr);
    folder.resize(1200, 800);
    folder.show();
    try {
        if (large) {
            largeThread(&folder, dir);
        } else {
            smallThread(&folder, dir);
            std::fflush(stdout);
            // A process of its own, so that its peak memory is that of the large page alone.
            const std::string command = std::string(argv[0]) + " --large";
            return std::system(command.c_str()) == 0 ? 0 : 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
