#include "browse/favorites.h"
#include "browse/sidebar.h"
#include "foundation/inifile.h"

#include "browse/bookmarkfolders.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unistd.h>

using namespace bryndle;
using namespace bryndle::test;
namespace fs = std::filesystem;

namespace {

QStringList texts(const QList<QTreeWidgetItem*>& items) {
    QStringList out;
    for (const QTreeWidgetItem* item : items)
        out << item->text(0);
    return out;
}

QList<QTreeWidgetItem*> childrenOf(QTreeWidgetItem* parent) {
    QList<QTreeWidgetItem*> out;
    for (int i = 0; i < parent->childCount(); ++i)
        out << parent->child(i);
    return out;
}

QList<QTreeWidgetItem*> topLevel(QTreeWidget* tree) {
    return childrenOf(tree->invisibleRootItem());
}

// The folders and then the bookmarks of a folder, each in the order the system lists them.
QStringList listed(const fs::path& folder) {
    QStringList folders, bookmarks;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const QString name = QString::fromStdString(entry.path().stem().string());
        if (entry.is_directory())
            folders << QString::fromStdString(entry.path().filename().string());
        else if (entry.path().extension() == ".url" || entry.path().extension() == ".URL")
            bookmarks << name;
    }
    return folders + bookmarks;
}

QTreeWidgetItem* find(QTreeWidget* tree, const QString& text) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

bool greyed(QTreeWidget* tree, QTreeWidgetItem* item) {
    return item->foreground(0).color() == tree->palette().color(QPalette::Disabled, QPalette::Text);
}

} // namespace

class SideBarTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<BookmarkFolders> folders_;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<SideBar> bar_;
    QStringList opened_;

    void makeBar() {
        window_ = std::make_unique<QWidget>();
        new QVBoxLayout(window_.get());
        bar_ = std::make_unique<SideBar>(window_.get());
        bar_->setOpenHandler([this](const QString& location) {
            opened_ << location;
            return nullptr;
        });
        window_->resize(260, 420);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void doubleClick(QTreeWidgetItem* item) {
        QTreeWidget* tree = bar_->tree();
        tree->scrollToItem(item);
        // The view takes a double click only after a press on the same item.
        const QPoint at = tree->visualItemRect(item).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    }

    void rightClick(QTreeWidgetItem* item) {
        QTreeWidget* tree = bar_->tree();
        const QPoint at = tree->visualItemRect(item).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
    }

private slots:
    void init() {
        folders_ = std::make_unique<BookmarkFolders>();
        opened_.clear();
    }
    void cleanup() {
        bar_.reset();
        window_.reset();
        folders_.reset();
    }

    void foldersFirstThenBookmarksThenSystemFavorites() {
        const fs::path root = folders_->bookmarks;
        writeUrl(root / "beta" / "inner.url", "http://inner/");
        writeUrl(root / "beta" / "deeper" / "deepest.url", "http://deepest/");
        fs::create_directories(root / "alpha");
        writeUrl(root / "One.url", "http://one/");
        writeUrl(root / "Two.URL", "http://two/");
        writeText(root / "notes.txt", "not a bookmark");
        writeUrl(folders_->favorites / "fav.url", "http://fav/");
        makeBar();
        QTreeWidget* tree = bar_->tree();

        const QList<QTreeWidgetItem*> top = topLevel(tree);
        QCOMPARE(texts(top), listed(root) << QStringLiteral("IEのお気に入り"));
        QCOMPARE(top.size(), 5);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(SideBar::dataOf(top[i])->folder);
            QVERIFY(top[i]->isExpanded());
        }
        for (int i = 2; i < 4; ++i)
            QVERIFY(!SideBar::dataOf(top[i])->folder);
        QTreeWidgetItem* two = find(tree, QStringLiteral("Two"));
        QVERIFY(two && SideBar::dataOf(two)->shortcut);
        QCOMPARE(SideBar::dataOf(two)->shortcut->url(), std::string("http://two/"));
        QTreeWidgetItem* beta = find(tree, QStringLiteral("beta"));
        QVERIFY(beta);
        QCOMPARE(texts(childrenOf(beta)), listed(root / "beta"));
        QVERIFY(beta->child(0)->isExpanded());

        QTreeWidgetItem* system = top.last();
        QCOMPARE(system, bar_->systemFavoritesItem());
        QVERIFY(!SideBar::dataOf(system));
        QVERIFY(!system->isExpanded());
        QCOMPARE(texts(childrenOf(system)), QStringList{QStringLiteral("fav")});

        QCOMPARE(bar_->tabFolder()->count(), 1);
        QCOMPARE(bar_->tabFolder()->tabText(0), QStringLiteral("ブックマーク"));
        QVERIFY(!bar_->tabFolder()->tabIcon(0).isNull());
        QStringList tools;
        for (const QAction* action : bar_->toolBar()->actions())
            tools << action->text();
        QCOMPARE(tools,
                 (QStringList{QStringLiteral("ブックマーク"), QStringLiteral("IEのお気に入り")}));

        // A picture of the pane for a look by eye, when asked for.
        if (const QString shot = qEnvironmentVariable("BRYNDLE_SIDEBAR_SHOT"); !shot.isEmpty())
            QVERIFY(window_->grab().save(shot));
    }

    void bookmarkOpensAtTheUrlItHasNowWithoutReload() {
        writeUrl(folders_->bookmarks / "page.url", "http://old/");
        makeBar();
        QTreeWidgetItem* item = find(bar_->tree(), QStringLiteral("page"));
        QVERIFY(item);
        IniFile((folders_->bookmarks / "page.url").string())
            .setString("InternetShortcut", "URL", "http://new/");
        doubleClick(item);
        QCOMPARE(opened_, QStringList{QStringLiteral("http://new/")});
        // The same tree: nothing was rebuilt.
        QCOMPARE(bar_->tree()->topLevelItem(0), item);
    }

    void contextMenuOpensBookmarksOnly() {
        fs::create_directories(folders_->bookmarks / "sub");
        writeUrl(folders_->bookmarks / "b.url", "http://b/");
        makeBar();
        QTreeWidget* tree = bar_->tree();
        QMenu* menu = bar_->menu();
        QAction* open = bar_->openAction();
        QCOMPARE(open->text(), QStringLiteral("開く"));
        QVERIFY(!open->icon().isNull());

        QTreeWidgetItem* sub = find(tree, QStringLiteral("sub"));
        QTreeWidgetItem* bookmark = find(tree, QStringLiteral("b"));
        QVERIFY(sub && bookmark);
        rightClick(sub);
        QVERIFY(menu->isVisible());
        QVERIFY(!open->isEnabled());
        open->trigger();
        QVERIFY(opened_.isEmpty());
        menu->hide();

        rightClick(bookmark);
        QVERIFY(menu->isVisible());
        QVERIFY(open->isEnabled());
        menu->hide();
        open->trigger();
        QCOMPARE(opened_, QStringList{QStringLiteral("http://b/")});

        rightClick(bar_->systemFavoritesItem());
        QVERIFY(!menu->isVisible());
        // Double-clicking a folder opens nothing either.
        doubleClick(sub);
        QCOMPARE(opened_.size(), 1);
    }

    void loopsAndBrokenEntriesLeaveTheRestOfTheTree() {
        const fs::path root = folders_->bookmarks;
        fs::create_directory_symlink(".", root / "loop");
        writeUrl(root / "sub" / "deep.url", "http://deep/");
        fs::create_directory_symlink("..", root / "sub" / "up");
        writeText(root / "bad.url", "; no location\n[Other]\nURL=http://elsewhere/\n");
        writeUrl(root / "good.url", "http://good/");
        writeUrl(root / "blank.url", "");
        fs::create_directories(root / "locked");
        writeUrl(root / "locked" / "hidden.url", "http://hidden/");
        fs::permissions(root / "locked", fs::perms::none);
        makeBar();
        fs::permissions(root / "locked", fs::perms::owner_all);
        QTreeWidget* tree = bar_->tree();

        QTreeWidgetItem* loop = find(tree, QStringLiteral("loop"));
        QVERIFY(loop);
        QCOMPARE(loop->childCount(), 0);
        QVERIFY(greyed(tree, loop));
        QTreeWidgetItem* sub = find(tree, QStringLiteral("sub"));
        QVERIFY(sub);
        QCOMPARE(texts(childrenOf(sub)), listed(root / "sub"));
        QTreeWidgetItem* up = find(tree, QStringLiteral("up"));
        QVERIFY(up);
        QCOMPARE(up->childCount(), 0);
        QVERIFY(find(tree, QStringLiteral("good")));
        QTreeWidgetItem* blank = find(tree, QStringLiteral("blank"));
        QVERIFY(blank && greyed(tree, blank));
        QVERIFY(!greyed(tree, find(tree, QStringLiteral("good"))));
        QVERIFY(find(tree, QStringLiteral("deep")));
        if (::geteuid() != 0) { // root reads any folder
            QTreeWidgetItem* locked = find(tree, QStringLiteral("locked"));
            QVERIFY(locked);
            QCOMPARE(locked->childCount(), 0);
            QVERIFY(greyed(tree, locked));
        }

        QTreeWidgetItem* bad = find(tree, QStringLiteral("bad"));
        QVERIFY(bad);
        QVERIFY(greyed(tree, bad));
        QVERIFY(SideBar::dataOf(bad)->shortcut->url().empty());
        doubleClick(bad);
        QVERIFY(opened_.isEmpty());
        QCOMPARE(folders_->box->shown.size(), size_t{1});
        QCOMPARE(folders_->box->shown[0].icon, MessageBox::Icon::Warning);
        doubleClick(blank);
        QVERIFY(opened_.isEmpty());
        QCOMPARE(folders_->box->shown.size(), size_t{2});
        // Mended on disk: the next opening reads it.
        writeUrl(root / "bad.url", "http://mended/");
        doubleClick(bad);
        QCOMPARE(opened_, QStringList{QStringLiteral("http://mended/")});
    }

    void favoritesHookReloadsOnlyALivingBar() {
        makeBar();
        QCOMPARE(bar_->tree()->topLevelItemCount(), 1);
        writeUrl(folders_->bookmarks / "later.url", "http://later/");
        notifyFavoritesChanged();
        QVERIFY(find(bar_->tree(), QStringLiteral("later")));
        bar_.reset();
        notifyFavoritesChanged();

        QSplitter sash;
        SideBar inSash(&sash);
        QCOMPARE(sash.count(), 1);
        QCOMPARE(sash.widget(0), inSash.rootComposite());
        QCOMPARE(inSash.openLocation(QStringLiteral("http://x/")), nullptr);
    }

    void toolBarOrganisesEachFolder() {
        makeBar();
        const QList<QAction*> actions = bar_->toolBar()->actions();
        QCOMPARE(actions.size(), 2);
        QStringList roots;
        for (QAction* action : actions) {
            whenModal([&](QWidget* dialog) {
                CloseWhenDone done{dialog};
                auto* items = need<QTreeWidget>(dialog, "items");
                QVERIFY(items && items->topLevelItem(0));
                roots << items->topLevelItem(0)->data(0, Qt::UserRole).toString();
                dialog->close();
            });
            action->trigger();
        }
        QCOMPARE(roots, (QStringList{QString::fromStdString(folders_->bookmarks.string()),
                                     QString::fromStdString(folders_->favorites.string())}));
    }
};

BRYNDLE_QTEST_MAIN(SideBarTest)
#include "sidebar_test.moc"
