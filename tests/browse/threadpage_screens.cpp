// Not a test: saves pictures of a Japanese thread of the local node in each theme, with the hover
// box of a reference open and two records marked as new, for a person to look at. Run under an
// X server: threadpage_screens <output folder>.
#include "browse/shingetsubrowser.h"
#include "browse/shingetsubrowserpage.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browsetest.h"
#include "localnode/nodeforms.h"
#include "localnode/nodeprocess.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"
#include "store/schema.h"
#include "store/threadcache.h"

#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <httplib.h>

#include <sstream>

using namespace bryndle;
using namespace bryndle::test;

namespace {

const std::string Title = "読みやすさを試すスレッド";

void post(int port, const std::string& body) {
    postRecord(port, Title, body);
}

// The short ids of the thread's records, oldest first.
std::vector<std::string> shortIds(int port) {
    httplib::Client client("127.0.0.1", port);
    auto answer = client.Get("/server.cgi/get/" + threadFileName(Title) + "/0-");
    std::vector<std::string> ids;
    if (!answer)
        return ids;
    std::istringstream lines(answer->body);
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find("<>");
        if (first != std::string::npos && line.size() >= first + 10)
            ids.push_back(line.substr(first + 2, 8));
    }
    return ids;
}

QVariant evaluate(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    for (int i = 0; i < 200 && !done; ++i)
        spin(50);
    return result;
}

void waitForDocument(ShingetsuBrowserPage* page) {
    spin(300);
    for (int i = 0; i < 400; ++i) {
        const QUrl url(page->browser()->BrowserControl::location());
        if (!page->browser()->page()->isLoading() && url.isLocalFile())
            break;
        spin(50);
    }
    spin(800);
}

// Scrolls the last reference into view and moves the pointer onto it.
void hoverLastReference(ShingetsuBrowserPage* page) {
    QWebEnginePage* engine = page->browser()->page();
    evaluate(engine, QStringLiteral("var q = document.querySelectorAll('a.ref[data-box]');"
                                    "q[q.length - 1].scrollIntoView({block: 'center'}); true"));
    spin(400);
    const QVariantList at =
        evaluate(engine, QStringLiteral("var q = document.querySelectorAll('a.ref[data-box]');"
                                        "var r = q[q.length - 1].getBoundingClientRect();"
                                        "[r.left + 8, r.top + r.height / 2]"))
            .toList();
    QWidget* view = page->browser()->view()->focusProxy();
    if (at.size() != 2 || !view) {
        qWarning("no reference to hover");
        return;
    }
    const QPoint point(at[0].toInt(), at[1].toInt());
    QTest::mouseMove(view, point - QPoint(4, 0));
    spin(100);
    QTest::mouseMove(view, point);
    spin(900);
}

void shoot(const QString& folder, const QString& name) {
    QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QLatin1Char('/') + name);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    Application application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    BrowseFixture fixture;
    Configuration& config = Configuration::instance();
    config.setThemeRoot(BRYNDLE_SOURCE_PATH "/data/template/theme");
    config.setTemporaryDir("temporary");
    config.setRecordsPerPage(30);
    ThreadCache::setInstance(std::make_unique<ThreadCache>("cache.db"));

    TempDir nodeFolder;
    NodeProcess node(nodeFolder.path(), false);
    node.start();
    const int port = node.port();
    config.setNodePort(static_cast<uint16_t>(port));
    httplib::Client("127.0.0.1", port).Get("/thread.cgi/" + encodeTitle(Title));
    post(port, "新しいスレッドを立てました。\n読みやすい表示を試すための書き込みです。");
    post(port, "こんにちは。\n長い文章も折り返して読めるでしょうか。日本語の文章は句読点で区切"
               "られ、行の終わりで自然に折り返されるのが望ましいところです。");
    post(port, "ぬるぽ");
    std::vector<std::string> ids = shortIds(port);
    post(port, ">>" + ids.at(1) + "\nちゃんと折り返されていますね。");
    post(port, ">>" + ids.at(2) + "\nガッ");

    QWidget shell;
    shell.setWindowTitle(QStringLiteral("Bryndle"));
    auto* layout = new QVBoxLayout(&shell);
    auto* outer = new QSplitter(Qt::Horizontal, &shell);
    layout->addWidget(outer);
    outer->addWidget(new QLabel(QStringLiteral("side bar")));
    auto* inner = new QSplitter(Qt::Vertical);
    outer->addWidget(inner);
    inner->addWidget(new QLabel(QStringLiteral("thread table")));
    auto* browser = new TabBrowser(inner);
    inner->setSizes({60, 700});
    outer->setSizes({120, 1080});
    shell.resize(1200, 760);
    shell.move(20, 20);
    shell.show();

    Schema schema(Title);
    schema.method = "get";
    const QString location = QString::fromStdString(schema.toLocation());
    for (const char* theme : {"terminal", "paper"}) {
        config.setThemeName(theme);
        auto* page = qobject_cast<ShingetsuBrowserPage*>(browser->open(location));
        if (!page)
            return 1;
        waitForDocument(page);
        // Two records arrive after this reading: the next one marks them as new.
        post(port, std::string(theme) + " の新しい書き込み\n>>" + ids.at(0) + " への返事です。");
        ids = shortIds(port);
        post(port, ">>" + ids.back() + "\n" + theme + " のもうひとつの新しい書き込み");
        ids = shortIds(port);
        page->refresh();
        waitForDocument(page);
        hoverLastReference(page);
        shoot(folder, QStringLiteral("threadpage-%1.png").arg(QLatin1String(theme)));
        browser->tabFolder()->disposeItem(browser->tabFolder()->indexOf(page->getContents()));
    }
    node.stop();
    return 0;
}
