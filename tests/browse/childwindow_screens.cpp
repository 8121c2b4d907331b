// Not a test: saves pictures of a post window with its form and of a pop-up over the main
// window, both on a thread of the local node, for a person to look at. Run under an X server:
// childwindow_screens <output folder>.
#include "browse/browserchildwindow.h"
#include "browse/browserpostwindow.h"
#include "browse/shingetsubrowser.h"
#include "browse/shingetsubrowserpage.h"
#include "browse/tabbrowser.h"
#include "browsetest.h"
#include "localnode/nodeforms.h"
#include "localnode/nodeprocess.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"
#include "store/schema.h"
#include "store/threadcache.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <httplib.h>

using namespace bryndle;
using namespace bryndle::test;

namespace {

void shoot(const QString& folder, const QString& name) {
    spin(1500);
    QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QLatin1Char('/') + name);
}

QString location(const std::string& title, const char* method, uint32_t mode) {
    Schema schema(title);
    schema.method = method;
    schema.mode = mode;
    schema.items = 30;
    return QString::fromStdString(schema.toLocation());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    BrowseFixture fixture;
    const QString themes = fixture.file("themes");
    QDir().mkpath(themes);
    QFile::link(qEnvironmentVariable("BRYNDLE_SOURCE_DIR") +
                    QStringLiteral("/data/template/theme/terminal"),
                themes + QStringLiteral("/terminal"));
    Configuration& config = Configuration::instance();
    config.setThemeRoot(themes.toStdString());
    config.setThemeName("terminal");
    config.setTemporaryDir("temporary");
    QDir().mkpath(QStringLiteral("attach"));
    ThreadCache::setInstance(std::make_unique<ThreadCache>("cache.db"));

    TempDir nodeFolder;
    NodeProcess node(nodeFolder.path(), false);
    node.start();
    config.setNodePort(static_cast<uint16_t>(node.port()));
    const std::string thread = "窓のスレッド";
    const std::string other = "雑談";
    for (const std::string& title : {thread, other}) {
        registerThread(node.port(), title);
        postRecord(node.port(), title, title + "の最初の書き込みです。", "名無し");
        postRecord(node.port(), title, "二つ目の書き込み");
    }

    QWidget shell;
    shell.setWindowTitle(QStringLiteral("Bryndle a 0.14"));
    auto* layout = new QVBoxLayout(&shell);
    auto* outer = new QSplitter(Qt::Horizontal, &shell);
    layout->addWidget(outer);
    outer->addWidget(new QLabel(QStringLiteral("side bar")));
    auto* inner = new QSplitter(Qt::Vertical);
    outer->addWidget(inner);
    inner->addWidget(new QLabel(QStringLiteral("thread table")));
    auto* browser = new TabBrowser(inner);
    shell.resize(1200, 760);
    shell.move(20, 20);
    shell.show();

    auto* page = qobject_cast<ShingetsuBrowserPage*>(browser->open(location(thread, "get", 1)));
    spin(3000);
    page->post();
    shoot(folder, QStringLiteral("postwindow.png"));
    BrowserChildWindow::closeAll();

    WindowEvent request;
    BrowserChildWindow* popup = BrowserChildWindow::openNewWindow(page, &request);
    popup->navigate(location(other, "get", 1));
    shoot(folder, QStringLiteral("popup.png"));
    BrowserChildWindow::closeAll();
    return 0;
}
