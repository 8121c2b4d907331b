#pragma once

#include <QString>

#include <filesystem>
#include <vector>

namespace bryndle {

// One entry of a bookmark folder.
struct FavoriteEntry {
    std::filesystem::path path;
    // A symbolic link to a folder: shown, never followed (a link to its own folder would
    // recurse without end).
    bool link = false;
};

// A bookmark folder's entries in the order of the directory listing: folders, then .url files.
struct FolderListing {
    std::vector<FavoriteEntry> folders;
    std::vector<FavoriteEntry> bookmarks;
    bool readable = true;
};

// The file rules of bookmark folders, shared by the side bar and the favourites dialogs.
class FavoriteFiles {
public:
    static FolderListing list(const std::filesystem::path& folder);
    // The extension is "url", letter case ignored.
    static bool isBookmarkFile(const std::filesystem::path& path);

    // The most bytes of a file name in the folder (its file system's limit).
    static size_t nameLimit(const std::filesystem::path& folder);
    // The most bytes of a bookmark's name there (the limit less ".url").
    static size_t bookmarkNameLimit(const std::filesystem::path& folder);
    // A page title made a file name: "/", NUL and other control characters and a leading "."
    // replaced, blanks at the ends trimmed, shortened to maxBytes of UTF-8 at a character
    // boundary.
    static QString fromTitle(const QString& title, size_t maxBytes);
    // Why a name the user typed cannot be a file name (empty, "/", control characters, a
    // leading ".", too long); empty when it can.
    static QString refusal(const QString& name, size_t maxBytes);
    // A path in the folder named name + suffix, with " (2)", " (3)", ... before the suffix when
    // the name is taken; the name is shortened so that the whole stays within the limit.
    static std::filesystem::path freePath(const std::filesystem::path& folder, const QString& name,
                                          const QString& suffix);
    // Whether the path lies below root, links in its folders resolved.
    static bool isInside(const std::filesystem::path& root, const std::filesystem::path& path);
    // Whether something (also a dangling link) has that name.
    static bool exists(const std::filesystem::path& path);

    static QString displayName(const std::filesystem::path& path);
    static std::filesystem::path toPath(const QString& path);
    static QString fromPath(const std::filesystem::path& path);
};

} // namespace bryndle
