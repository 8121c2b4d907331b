#include "browse/favorites.h"
#include "browse/organizefavoritesdialog.h"
#include "foundation/unicode.h"

#include "browse/bookmarkfolders.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>

using namespace bryndle;
using namespace bryndle::test;
namespace fs = std::filesystem;

namespace {

QString qstr(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Accepts the add dialog, with another name when one is given.
void acceptAdd(const QString& name = {}, QString* shownName = nullptr) {
    whenModal([=](QWidget* dialog) {
        CloseWhenDone done{dialog};
        auto* field = need<QLineEdit>(dialog, "name");
        auto* ok = need<QPushButton>(dialog, "ok");
        QVERIFY(field && ok);
        if (shownName)
            *shownName = field->text();
        if (!name.isNull())
            field->setText(name);
        ok->click();
    });
}

QTreeWidgetItem* itemFor(QTreeWidget* tree, const fs::path& path) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (OrganizeFavoritesDialog::pathOf(*it) == path)
            return *it;
    return nullptr;
}

} // namespace

class FavoritesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<BookmarkFolders> folders_;
    int hookRuns_ = 0;

    fs::path root() const { return folders_->bookmarks; }

private slots:
    void init() {
        folders_ = std::make_unique<BookmarkFolders>();
        hookRuns_ = 0;
        notifyFavoritesChanged([this] { ++hookRuns_; });
    }
    void cleanup() {
        notifyFavoritesChanged(std::function<void()>());
        folders_.reset();
    }

    void titlesBecomeOneSafeFileInsideTheFolder() {
        QString shown;
        acceptAdd({}, &shown);
        QVERIFY(addFavoriteFile(nullptr, qstr(root()), QStringLiteral("http://a/"),
                                QStringLiteral(".hidden/../x\t\x01y")));
        QCOMPARE(shown, QStringLiteral("_hidden_.._x _y"));
        QCOMPARE(filesBelow(folders_->dir.path()),
                 std::vector<fs::path>{root() / "_hidden_.._x _y.url"});
        QCOMPARE(readText(root() / "_hidden_.._x _y.url"),
                 std::string("[InternetShortcut]\nURL=http://a/\n"));
        QCOMPARE(hookRuns_, 1);

        // A title far over the file system's limit, in three-byte characters.
        const QString title = QString(300, QChar(0x3042)) + QStringLiteral("/end");
        acceptAdd();
        QVERIFY(addFavoriteFile(nullptr, qstr(root()), QStringLiteral("http://long/"), title));
        const std::vector<fs::path> files = filesBelow(root());
        QCOMPARE(files.size(), size_t{2});
        const fs::path written = files[0].filename().string().size() > 30 ? files[0] : files[1];
        const std::string name = written.filename().string();
        QVERIFY(name.size() <= 255);
        QVERIFY(Unicode::isValidUtf8(name));
        QVERIFY(name.size() > 200);
        QCOMPARE(
            QString::fromStdString(written.stem().string()),
            QString(static_cast<qsizetype>(written.stem().string().size() / 3), QChar(0x3042)));
        QCOMPARE(written.parent_path(), root());
        QCOMPARE(hookRuns_, 2);
    }

    void typedNamesThatLeaveTheFolderAreRefused() {
        bool stayedOpen = false;
        whenModal([&](QWidget* dialog) {
            CloseWhenDone done{dialog};
            auto* field = need<QLineEdit>(dialog, "name");
            auto* ok = need<QPushButton>(dialog, "ok");
            auto* cancel = need<QPushButton>(dialog, "cancel");
            QVERIFY(field && ok && cancel);
            for (const char* name : {"../x", ".", "..", "a/b"}) {
                field->setText(QString::fromLatin1(name));
                ok->click();
            }
            stayedOpen = dialog->isVisible();
            cancel->click();
        });
        QVERIFY(!addFavoriteFile(nullptr, qstr(root()), QStringLiteral("http://a/"),
                                 QStringLiteral("t")));
        QVERIFY(stayedOpen);
        QCOMPARE(folders_->box->shown.size(), size_t{4});
        QVERIFY(filesBelow(folders_->dir.path()).empty());
        QCOMPARE(hookRuns_, 0);

        // A line break in the location is refused before anything is asked.
        QVERIFY(!addFavoriteFile(nullptr, qstr(root()), QStringLiteral("http://a/\r\nx=y"),
                                 QStringLiteral("t")));
        QCOMPARE(folders_->box->shown.size(), size_t{5});
        QVERIFY(filesBelow(folders_->dir.path()).empty());
    }

    void anExistingBookmarkIsReplacedOnlyWhenAgreed() {
        writeUrl(root() / "page.url", "http://old/");
        folders_->box->answers = {MessageBox::No, MessageBox::Yes};
        acceptAdd();
        QVERIFY(addFavoriteFile(nullptr, qstr(root()), QStringLiteral("http://second/"),
                                QStringLiteral("page")));
        QCOMPARE(readText(root() / "page.url"),
                 std::string("[InternetShortcut]\r\nURL=http://old/\r\n"));
        QCOMPARE(readText(root() / "page (2).url"),
                 std::string("[InternetShortcut]\nURL=http://second/\n"));
        acceptAdd();
        QVERIFY(addFavoriteFile(nullptr, qstr(root()), QStringLiteral("http://third/"),
                                QStringLiteral("page")));
        QCOMPARE(readText(root() / "page.url"),
                 std::string("[InternetShortcut]\r\nURL=http://third/\r\n"));
        QCOMPARE(folders_->box->shown.size(), size_t{2});
        QCOMPARE(filesBelow(root()).size(), size_t{2});
    }

    void newFolderIsChosenAsTheTarget() {
        whenModal([](QWidget* dialog) {
            CloseWhenDone done{dialog};
            auto* newFolder = need<QPushButton>(dialog, "newFolder");
            auto* ok = need<QPushButton>(dialog, "ok");
            QVERIFY(newFolder && ok);
            whenModal(
                [](QWidget* ask) {
                    CloseWhenDone done{ask};
                    auto* text = need<QLineEdit>(ask, "text");
                    auto* confirm = need<QPushButton>(ask, "confirm");
                    QVERIFY(text && confirm);
                    text->setText(QStringLiteral("読み物"));
                    confirm->click();
                },
                dialog);
            newFolder->click();
            ok->click();
        });
        QVERIFY(addFavoriteFile(nullptr, qstr(root()), QStringLiteral("http://r/"),
                                QStringLiteral("記事")));
        QCOMPARE(filesBelow(root()), std::vector<fs::path>{root() / "読み物" / "記事.url"});
    }

    void organiseRenamesThroughItsButtons() {
        writeUrl(root() / "old.url", "http://o/");
        whenModal([this](QWidget* dialog) {
            CloseWhenDone done{dialog};
            auto* items = need<QTreeWidget>(dialog, "items");
            auto* rename = need<QPushButton>(dialog, "rename");
            auto* close = need<QPushButton>(dialog, "close");
            QVERIFY(items && rename && close);
            QVERIFY(!rename->isEnabled()); // the folder itself is selected
            items->setCurrentItem(itemFor(items, root() / "old.url"));
            QVERIFY(rename->isEnabled());
            whenModal(
                [](QWidget* ask) {
                    CloseWhenDone done{ask};
                    auto* text = need<QLineEdit>(ask, "text");
                    auto* confirm = need<QPushButton>(ask, "confirm");
                    QVERIFY(text && confirm);
                    QCOMPARE(text->text(), QStringLiteral("old"));
                    text->setText(QStringLiteral("new"));
                    confirm->click();
                },
                dialog);
            rename->click();
            close->click();
        });
        QVERIFY(organizeFavoriteFolder(nullptr, qstr(root())));
        QVERIFY(fs::exists(root() / "new.url"));
        QVERIFY(!fs::exists(root() / "old.url"));
        QCOMPARE(hookRuns_, 1);

        whenModal([](QWidget* dialog) { dialog->close(); });
        QVERIFY(!organizeFavoriteFolder(nullptr, qstr(root())));
        QCOMPARE(hookRuns_, 1);
    }

    void organiseKeepsEverythingInsideTheFolder() {
        writeUrl(root() / "a.url", "http://a/");
        fs::create_directories(root() / "box" / "inner");
        writeUrl(root() / "box" / "a.url", "http://other/");
        writeUrl(root() / "b.url", "http://b/");
        OrganizeFavoritesDialog dialog(nullptr, root());
        const std::vector<fs::path> before = filesBelow(folders_->dir.path());
        QVERIFY(!dialog.makeFolder(root(), QStringLiteral("../x")));
        QVERIFY(!dialog.makeBookmark(root(), QStringLiteral("../x"), QStringLiteral("http://x/")));
        QVERIFY(!dialog.makeBookmark(root(), QStringLiteral("x"), QStringLiteral("http://x/\ny")));
        QVERIFY(!dialog.rename(root() / "a.url", QStringLiteral("../a")));
        QVERIFY(!dialog.makeFolder(folders_->dir.path(), QStringLiteral("x")));
        QVERIFY(!dialog.move(root() / "a.url", folders_->dir.path()));
        QVERIFY(!dialog.move(root() / "box", root() / "box" / "inner"));
        // An existing name is never replaced.
        QVERIFY(!dialog.move(root() / "a.url", root() / "box"));
        QVERIFY(!dialog.rename(root() / "a.url", QStringLiteral("b")));
        QCOMPARE(filesBelow(folders_->dir.path()), before);
        QCOMPARE(readText(root() / "a.url"),
                 std::string("[InternetShortcut]\r\nURL=http://a/\r\n"));
        QVERIFY(!dialog.changed());
        QCOMPARE(folders_->box->shown.size(), size_t{9});

        QVERIFY(dialog.makeBookmark(root() / "box", QStringLiteral("made"),
                                    QStringLiteral("http://m/")));
        QCOMPARE(readText(root() / "box" / "made.url"),
                 std::string("[InternetShortcut]\nURL=http://m/\n"));
        QVERIFY(dialog.changed());
    }

    void organiseMovesByDropAndDeletesAfterAsking() {
        writeUrl(root() / "m.url", "http://m/");
        fs::create_directories(root() / "target");
        fs::create_directories(root() / "elsewhere");
        writeUrl(root() / "elsewhere" / "kept.url", "http://k/");
        fs::create_directory_symlink(root() / "elsewhere", root() / "link");
        OrganizeFavoritesDialog dialog(nullptr, root());
        dialog.resize(400, 400);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTreeWidget* tree = dialog.tree();
        tree->setCurrentItem(itemFor(tree, root() / "m.url"));
        QTreeWidgetItem* target = itemFor(tree, root() / "target");
        QVERIFY(target);
        // A drag of the item onto the folder: entering makes the view the drop target.
        const std::unique_ptr<QMimeData> mime(tree->model()->mimeData({tree->currentIndex()}));
        QVERIFY(mime);
        const QPoint at = tree->visualItemRect(target).center();
        QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &drop);
        QTRY_VERIFY(fs::exists(root() / "target" / "m.url"));
        QVERIFY(!fs::exists(root() / "m.url"));
        QVERIFY(itemFor(tree, root() / "target" / "m.url"));

        folders_->box->answers = {MessageBox::No, MessageBox::Yes, MessageBox::Yes};
        QVERIFY(!dialog.remove(root() / "target"));
        QVERIFY(fs::exists(root() / "target" / "m.url"));
        QVERIFY(dialog.remove(root() / "target"));
        QVERIFY(!fs::exists(root() / "target"));
        // A linked folder goes alone, what it points to stays.
        QVERIFY(dialog.remove(root() / "link"));
        QVERIFY(!fs::exists(fs::symlink_status(root() / "link")));
        QVERIFY(fs::exists(root() / "elsewhere" / "kept.url"));
        QVERIFY(dialog.changed());
    }

    void systemFolderAndClipboard() {
        const fs::path expected = folders_->favorites;
        QVERIFY(!fs::exists(expected));
        QCOMPARE(systemFavoritesFolder(), qstr(expected));
        QVERIFY(fs::is_directory(expected));
        // A relative data folder is ignored for the home folder's.
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QByteArray::fromStdString(folders_->dir.path().string()));
        qputenv("XDG_DATA_HOME", "relative");
        const QString fallback = systemFavoritesFolder();
        qputenv("HOME", home);
        QCOMPARE(fallback, qstr(folders_->dir.path() / ".local/share/bryndle/Favorites"));
        QVERIFY(fs::is_directory(folders_->dir.path() / ".local/share/bryndle/Favorites"));

        copyToClipboard(QStringLiteral("タイトル\nhttp://a/"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("タイトル\nhttp://a/"));
    }
};

BRYNDLE_QTEST_MAIN(FavoritesTest)
#include "favorites_test.moc"
