#include "foundation/exception.h"
#include "shell/icon.h"
#include "shell/wrapperobject.h"
#include "support/tempdir.h"
#include "toolkit/uitest.h"

#include <QImage>
#include <QVariant>

#include <filesystem>
#include <fstream>

using namespace bryndle;
using namespace bryndle::test;
namespace fs = std::filesystem;

namespace {

// Qt writes no GIF: a 1 x 1 one by hand.
void writeGif(const fs::path& path) {
    fs::create_directories(path.parent_path());
    static const unsigned char gif[] = {'G',  'I',  'F',  '8',  '9',  'a',  0x01, 0x00, 0x01,
                                        0x00, 0x80, 0x00, 0x00, 0xff, 0xff, 0xff, 0x00, 0x00,
                                        0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                        0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
}

void writeImage(const fs::path& path, int width, const char* format) {
    fs::create_directories(path.parent_path());
    QImage image(width, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(QString::fromStdString(path.string()), format));
}

QString notFoundMessage(const std::string& name) {
    try {
        getIcon(name);
    } catch (const Exception& e) {
        return QString::fromStdString(e.message());
    }
    return {};
}

} // namespace

class IconTest : public QObject {
    Q_OBJECT

private slots:
    void laterFormatsReplaceEarlierOnes() {
        TempDir dir;
        const fs::path icons = dir.path() / "icons";
        writeImage(icons / "a.png", 1, "PNG");
        writeGif(icons / "deep" / "sub" / "a.gif");
        writeImage(icons / "b.png", 3, "PNG");
        writeImage(icons / "b.ico", 4, "ICO");
        writeGif(icons / "sub" / "b.gif");
        writeImage(icons / "c.PNG", 6, "PNG");
        loadIcons(QString::fromStdString(icons.string()));
        QCOMPARE(getIcon("a").width(), 1);
        QVERIFY(iconFile("a").endsWith(QStringLiteral("deep/sub/a.gif")));
        QCOMPARE(getIcon("b").width(), 4);
        QVERIFY(iconFile("b").endsWith(QStringLiteral("b.ico")));
        // Suffixes match whatever their letter case, as file patterns do on the original system.
        QCOMPARE(getIcon("c").width(), 6);
    }

    void unknownNameRaisesNotFound() {
        TempDir dir;
        writeImage(dir.path() / "icons" / "page.png", 1, "PNG");
        loadIcons(QString::fromStdString((dir.path() / "icons").string()));
        QCOMPARE(notFoundMessage("nosuch"), QStringLiteral("nosuch : not found"));
        // Names compare exactly.
        QCOMPARE(notFoundMessage("Page"), QStringLiteral("Page : not found"));
        QVERIFY(!getIcon("page").isNull());
    }

    void missingFolderGivesAnEmptyRegistry() {
        TempDir dir;
        writeImage(dir.path() / "icons" / "page.png", 1, "PNG");
        loadIcons(QString::fromStdString((dir.path() / "icons").string()));
        QVERIFY(hasIcon("page"));
        loadIcons(QString::fromStdString((dir.path() / "missing").string()));
        QVERIFY(!hasIcon("page"));
        QCOMPARE(notFoundMessage("bryndle"), QStringLiteral("bryndle : not found"));
    }

    void undecodableFileRaises() {
        TempDir dir;
        fs::create_directories(dir.path() / "icons");
        std::ofstream(dir.path() / "icons" / "broken.png") << "not an image";
        bool raised = false;
        try {
            loadIcons(QString::fromStdString((dir.path() / "icons").string()));
        } catch (const Exception& e) {
            raised = QString::fromStdString(e.message()).contains(QStringLiteral("broken.png"));
        }
        QVERIFY(raised);
    }

    void fileIconsByExtension() {
        QCOMPARE(fileIconName("JPG"), std::string("image"));
        QCOMPARE(fileIconName("jpeg"), std::string("image"));
        QCOMPARE(fileIconName(""), std::string("page"));
        QCOMPARE(fileIconName("tar"), std::string("page"));
        QCOMPARE(fileIconName(".txt"), std::string("page"));
        QCOMPARE(fileIconName("Txt"), std::string("page_text"));
        QCOMPARE(fileIconName("pdf"), std::string("file_acrobat"));
        QCOMPARE(fileIconName("PPT"), std::string("page_white_powerpoint"));
        QCOMPARE(fileIconName("swf"), std::string("page_flash"));
        QCOMPARE(fileIconName("rm"), std::string("film"));
        QCOMPARE(fileIconName("iso"), std::string("cd"));
        QCOMPARE(fileIconName("wav"), std::string("ipod"));
        QCOMPARE(fileIconName("com"), std::string("application_osx_terminal"));
        QCOMPARE(fileIconName("lzh"), std::string("folder"));
        QCOMPARE(fileIconName("doc"), std::string("page_word"));

        TempDir dir;
        writeImage(dir.path() / "icons" / "image.png", 7, "PNG");
        writeImage(dir.path() / "icons" / "page.png", 8, "PNG");
        loadIcons(QString::fromStdString((dir.path() / "icons").string()));
        QCOMPARE(getFileIcon("JPG").width(), 7);
        QCOMPARE(getFileIcon("").width(), 8);
        QCOMPARE(getFileIcon("tar").width(), 8);
    }

    // The assembled runtime folder has every image the interface asks for by name.
    void runtimeFolderHasEveryName() {
        const QByteArray binary = qgetenv("BRYNDLE_BINARY_DIR");
        QVERIFY(!binary.isEmpty());
        const QString icons = QString::fromLocal8Bit(binary) + QStringLiteral("/runtime/icons");
        loadIcons(icons);
        const char* names[] = {"action_refresh",
                               "action_stop",
                               "arrow_left",
                               "arrow_right",
                               "bryndle",
                               "bryndle_banner",
                               "cog",
                               "color_swatch",
                               "comment",
                               "custom_transmit_dark_blue",
                               "delete",
                               "error",
                               "folder",
                               "folder_star",
                               "icon_favourites",
                               "icon_home",
                               "monitor",
                               "page",
                               "page_add",
                               "page_delete",
                               "page_green",
                               "page_red",
                               "page_url",
                               "pencil_go",
                               "saku",
                               "shape_move_forwards",
                               "star",
                               "table",
                               "tag_blue",
                               "transmit_blue",
                               "page_word",
                               "page_text",
                               "file_acrobat",
                               "page_white_powerpoint",
                               "image",
                               "page_flash",
                               "film",
                               "cd",
                               "ipod",
                               "application_osx_terminal"};
        for (const char* name : names)
            QVERIFY2(hasIcon(name), name);
        // The project's own images are there, not only the Silk set.
        QVERIFY(getIcon("bryndle_banner").width() > 100);
    }

    void wrapperObjectTravelsInAVariant() {
        const QVariant data = QVariant::fromValue(WrapperObject(1));
        QCOMPARE(data.value<WrapperObject>().value(), 1);
        QCOMPARE(WrapperObject().value(), 0);
    }
};

BRYNDLE_QTEST_MAIN(IconTest)
#include "icon_test.moc"
