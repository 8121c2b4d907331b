// Not a test: saves pictures of the tab browser with two web tabs and each of its menus open,
// for a person to look at. Run under an X server: tabbrowser_screens <output folder>.
#include "browse/browsertabpage.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "browsetest.h"
#include "loopbackserver.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTabBar>
#include <QToolBar>
#include <QVBoxLayout>

using namespace bryndle;
using namespace bryndle::test;

namespace {

void shoot(const QString& folder, const QString& name) {
    spin(600);
    QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QLatin1Char('/') + name);
}

QPoint under(TabBrowser* browser, const char* item) {
    auto* action = browser->topComposite()->findChild<QAction*>(QLatin1String(item));
    for (QToolBar* bar : browser->topComposite()->findChildren<QToolBar*>())
        if (QWidget* button = bar->widgetForAction(action))
            return button->mapToGlobal(QPoint(0, button->height()));
    return {};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    BrowseFixture fixture;
    LoopbackServer server;
    server.page("/news", "Loopback news",
                "<h1>Loopback news</h1><p>The first web tab, served on 127.0.0.1.</p>"
                "<a href='/about'>about</a>");
    server.page("/about", "About this server",
                "<h1 style='color:#355'>About</h1><p>The second web tab.</p>");

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

    browser->open(server.url("/news"));
    browser->addHistory(server.url("/news"));
    BrowserTabPage* about = browser->open(server.url("/about"));
    browser->addHistory(server.url("/about"));
    for (int i = 0; i < 400 && about->getTitle() != QLatin1String("About this server"); ++i)
        spin(50);
    browser->statusLabel()->setText(server.url("/about"));
    shoot(folder, QStringLiteral("tabbrowser.png"));

    QTabBar* bar = browser->tabFolder()->tabBar();
    const QPoint onTab = bar->mapToGlobal(bar->tabRect(1).center());
    const std::pair<QMenu*, QPoint> menus[] = {
        {browser->webTabMenu(), onTab},
        {browser->threadTabMenu(), onTab},
        {browser->addFavoritesMenu(), under(browser, "favoritesItem")},
        {browser->organizeMenu(), under(browser, "favoritesItem")},
        {browser->homeMenu(), under(browser, "homeItem")}};
    for (const auto& [menu, where] : menus) {
        menu->popup(where);
        shoot(folder, menu->objectName() + QStringLiteral(".png"));
        menu->hide();
    }
    return 0;
}
