#pragma once

// The folders the bookmark tests work in: a bookmark folder and a system favourites folder in a
// fresh temporary folder, the icons of the runtime folder, and a message box that answers.

#include "config/configuration.h"
#include "shell/icon.h"
#include "support/tempdir.h"
#include "toolkit/uitest.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace bryndle::test {

struct BookmarkFolders {
    TempDir dir;
    ScopedCurrentDir cwd{dir.path()};
    std::filesystem::path bookmarks = dir.path() / "Bookmark";
    std::filesystem::path favorites = dir.path() / "data" / "bryndle" / "Favorites";
    RecordingMessageBox* box = RecordingMessageBox::install();

    BookmarkFolders() {
        std::filesystem::create_directories(bookmarks);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir.path() / "data").string()));
        auto config = std::make_unique<Configuration>();
        config->setBookmarkDir(bookmarks.string());
        Configuration::setInstance(std::move(config));
        loadIcons(QString::fromLocal8Bit(qgetenv("BRYNDLE_BINARY_DIR")) +
                  QStringLiteral("/runtime/icons"));
    }
    ~BookmarkFolders() { MessageBox::setInstance(nullptr); }
};

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline void writeUrl(const std::filesystem::path& path, const std::string& url) {
    writeText(path, "[InternetShortcut]\r\nURL=" + url + "\r\n");
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file below the folder (folders left out).
inline std::vector<std::filesystem::path> filesBelow(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (!entry.is_directory())
            files.push_back(entry.path());
    return files;
}

// A named child of a window that the test drives; a missing one closes the window, so that the
// test fails instead of waiting.
template <class T> T* need(QWidget* window, const char* name) {
    T* widget = child<T>(window, name);
    if (!widget && window)
        window->close();
    return widget;
}

// Closes the window when the scope ends, so that a failed check inside a modal window's action
// does not leave the test waiting for it.
struct CloseWhenDone {
    QWidget* window;
    ~CloseWhenDone() {
        if (window && window->isVisible())
            window->close();
    }
};

} // namespace bryndle::test
