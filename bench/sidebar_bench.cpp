// Reloading the side bar's bookmark tree: 5,000 bookmarks in 200 folders (20 folders of 9
// sub-folders each, 25 bookmarks in every folder), beside the floor of listing the folders and
// reading the 5,000 files without building any tree items.

#include "browse/favoritefiles.h"
#include "browse/internetshortcut.h"
#include "browse/sidebar.h"
#include "config/configuration.h"
#include "shell/icon.h"
#include "support/tempdir.h"
#include "toolkit/application.h"

#include "rounds.h"

#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

using namespace bryndle;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::Figures;
using bench::measure;
using bench::Rounds;

namespace {

constexpr int TopFolders = 20;
constexpr int SubFolders = 9;
constexpr int PerFolder = 25;

void fillFolder(const fs::path& folder, int number) {
    fs::create_directories(folder);
    for (int i = 0; i < PerFolder; ++i)
        std::ofstream(folder /
                      ("ブックマーク " + std::to_string(number) + "-" + std::to_string(i) + ".url"))
            << "[InternetShortcut]\r\nURL=http://example.com/" << number << "/" << i << "\r\n";
}

int makeTree(const fs::path& root) {
    int folders = 0;
    for (int top = 0; top < TopFolders; ++top) {
        const fs::path folder = root / ("フォルダ " + std::to_string(top));
        fillFolder(folder, folders++);
        for (int sub = 0; sub < SubFolders; ++sub)
            fillFolder(folder / ("サブ " + std::to_string(sub)), folders++);
    }
    return folders;
}

// Lists and reads everything as the side bar does, without items.
size_t readAll(const fs::path& folder) {
    const FolderListing listing = FavoriteFiles::list(folder);
    size_t urls = 0;
    for (const FavoriteEntry& entry : listing.folders)
        urls += readAll(entry.path);
    for (const FavoriteEntry& entry : listing.bookmarks)
        urls += InternetShortcut(entry.path.string()).url().empty() ? 0 : 1;
    return urls;
}

size_t countItems(QTreeWidget* tree) {
    size_t count = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        ++count;
    return count;
}

void print(const char* what, const Figures& f) {
    std::printf("  %-52s %8.2f ms  (min %7.2f ms)\n", what, f.median, f.min);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    test::TempDir dir;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir.path() / "data").string()));
    Application application(argc, argv);
    loadIcons(QStringLiteral(BRYNDLE_RUNTIME_ICONS));
    const fs::path root = dir.path() / "Bookmark";
    const int folders = makeTree(root);
    auto config = std::make_unique<Configuration>();
    config->setBookmarkDir(root.string());
    Configuration::setInstance(std::move(config));

    QWidget window;
    new QVBoxLayout(&window);
    SideBar bar(&window);
    window.resize(260, 700);
    window.show();
    QApplication::processEvents();

    std::printf("Side bar tree: %d bookmarks in %d folders, %zu tree items\n", folders * PerFolder,
                folders, countItems(bar.tree()));
    size_t read = 0;
    print("reload (list, read every .url, build and expand)", measure([&] {
              bar.reload();
              QApplication::processEvents();
          }));
    print("floor: listing the folders and reading the files",
          measure([&] { read = readAll(root); }));
    std::printf("  (%zu URLs read)\n", read);
    return 0;
}
