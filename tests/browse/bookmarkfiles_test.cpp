#include "browse/favoritefiles.h"
#include "browse/internetshortcut.h"
#include "foundation/inifileexception.h"
#include "foundation/unicode.h"

#include "browse/bookmarkfolders.h"

#include <algorithm>
#include <cerrno>

using namespace bryndle;
using namespace bryndle::test;
namespace fs = std::filesystem;

class BookmarkFilesTest : public QObject {
    Q_OBJECT

private slots:
    void shortcutNamesAndOrder() {
        TempDir dir;
        ScopedCurrentDir cwd(dir.path());
        writeUrl(dir.path() / "v1.2.release notes.url", "http://notes/");
        // The path becomes absolute; the name keeps every dot but the last.
        InternetShortcut notes("v1.2.release notes.url");
        QCOMPARE(notes.name(), std::string("v1.2.release notes"));
        QCOMPARE(notes.fileName(), std::string("v1.2.release notes.url"));
        QCOMPARE(notes.filePath(), (dir.path() / "v1.2.release notes.url").string());
        QCOMPARE(notes.url(), std::string("http://notes/"));

        QVERIFY(InternetShortcut("Ünïcode Page", "http://a/") ==
                InternetShortcut("üNÏCODE page", "http://b/"));
        QVERIFY(!(InternetShortcut("abc", "") == InternetShortcut("abd", "")));
        QVERIFY(InternetShortcut("ABC", "") < InternetShortcut("abd", ""));
        QVERIFY(!(InternetShortcut("abd", "") < InternetShortcut("ABC", "")));
    }

    void savingKeepsTheRestOfTheFile() {
        TempDir dir;
        const fs::path path = dir.path() / "page.url";
        writeText(path, "; made by another program\r\n[DEFAULT]\r\nBASEURL=http://base/\r\n"
                        "[InternetShortcut]\r\nURL=http://old/\r\nIconIndex=1\r\n");
        InternetShortcut shortcut("page", "http://new/");
        shortcut.save(path.string());
        QCOMPARE(readText(path),
                 std::string("; made by another program\r\n[DEFAULT]\r\nBASEURL=http://base/\r\n"
                             "[InternetShortcut]\r\nURL=http://new/\r\nIconIndex=1\r\n"));
        QCOMPARE(shortcut.filePath(), path.string());

        InternetShortcut read(path.string());
        writeUrl(path, "http://changed/");
        QCOMPARE(read.url(), std::string("http://new/"));
        read.reload();
        QCOMPARE(read.url(), std::string("http://changed/"));

        int code = 0;
        try {
            InternetShortcut("x", "http://a/\nURL=http://b/").save(path.string());
        } catch (const IniFileException& e) {
            code = e.code();
        }
        QCOMPARE(code, EINVAL);
        QCOMPARE(readText(path), std::string("[InternetShortcut]\r\nURL=http://changed/\r\n"));

        writeText(dir.path() / "empty.url", "[InternetShortcut]\nIconIndex=0\n");
        QVERIFY_THROWS_EXCEPTION(IniFileException,
                                 InternetShortcut((dir.path() / "empty.url").string()));
        const InternetShortcut unread =
            InternetShortcut::unread((dir.path() / "empty.url").string());
        QCOMPARE(unread.name(), std::string("empty"));
        QVERIFY(unread.url().empty());
    }

    void titlesBecomeFileNames() {
        QCOMPARE(FavoriteFiles::fromTitle(QStringLiteral("a/b"), 251), QStringLiteral("a_b"));
        QCOMPARE(FavoriteFiles::fromTitle(QStringLiteral("..hidden"), 251),
                 QStringLiteral("_.hidden"));
        QCOMPARE(FavoriteFiles::fromTitle(QString::fromUtf16(u"  a\0b\x7f\x85\nc  ", 11), 251),
                 QStringLiteral("a_b__ c"));
        // Cut at a character: three-byte characters in seven bytes leave two of them.
        QCOMPARE(FavoriteFiles::fromTitle(QStringLiteral("日本語"), 7), QStringLiteral("日本"));
        const QString emoji = FavoriteFiles::fromTitle(
            QString(100, QChar(0x3042)) + QStringLiteral("\U0001F600\U0001F600"), 305);
        QVERIFY(Unicode::isValidUtf8(emoji.toStdString()));
        QCOMPARE(emoji.toUtf8().size(), 304);

        const size_t limit = 251;
        for (const char* refused : {"", "  ", ".", "..", "../x", "a/b", ".x", "a\tb"})
            QVERIFY2(!FavoriteFiles::refusal(QString::fromLatin1(refused), limit).isEmpty(),
                     refused);
        QVERIFY(!FavoriteFiles::refusal(QString(84, QChar(0x3042)), limit).isEmpty());
        QVERIFY(FavoriteFiles::refusal(QString(83, QChar(0x3042)), limit).isEmpty());
        QVERIFY(FavoriteFiles::refusal(QStringLiteral("a.b c"), limit).isEmpty());
    }

    void freeNamesAndInsideChecks() {
        TempDir dir;
        writeUrl(dir.path() / "p.url", "http://1/");
        writeUrl(dir.path() / "p (2).url", "http://2/");
        QCOMPARE(FavoriteFiles::freePath(dir.path(), QStringLiteral("p"), QStringLiteral(".url")),
                 dir.path() / "p (3).url");
        QCOMPARE(FavoriteFiles::freePath(dir.path(), QStringLiteral("q"), QStringLiteral(".url")),
                 dir.path() / "q.url");
        // Still within the limit with the number added.
        const fs::path full = dir.path() / (std::string(251, 'x') + ".url");
        writeUrl(full, "http://x/");
        const fs::path numbered = FavoriteFiles::freePath(
            dir.path(), QString(251, QLatin1Char('x')), QStringLiteral(".url"));
        QCOMPARE(numbered.filename().string(), std::string(247, 'x') + " (2).url");

        fs::create_directories(dir.path() / "root" / "sub");
        fs::create_directory_symlink(dir.path(), dir.path() / "root" / "out");
        const fs::path root = dir.path() / "root";
        QVERIFY(FavoriteFiles::isInside(root, root / "sub" / "x"));
        QVERIFY(FavoriteFiles::isInside(root, root / "x"));
        QVERIFY(!FavoriteFiles::isInside(root, root / ".." / "x"));
        QVERIFY(!FavoriteFiles::isInside(root, root / "sub" / ".." / ".." / "x"));
        QVERIFY(!FavoriteFiles::isInside(root, root / "out" / "x"));
        QVERIFY(!FavoriteFiles::isInside(root, root));

        FolderListing listing = FavoriteFiles::list(root);
        QCOMPARE(listing.folders.size(), size_t{2});
        QVERIFY(std::any_of(listing.folders.begin(), listing.folders.end(),
                            [](const FavoriteEntry& e) { return e.link; }));
        QVERIFY(!FavoriteFiles::list(dir.path() / "nosuch").readable);
    }
};

BRYNDLE_QTEST_MAIN(BookmarkFilesTest)
#include "bookmarkfiles_test.moc"
