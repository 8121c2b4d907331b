#pragma once

#include <QString>

#include <filesystem>

namespace bryndle {

// The changes the favourites dialogs make to one bookmark folder. Each works only on what lies
// below the folder and writes nothing outside it, never replaces an existing entry, and answers
// why it failed (a text for the user) or the path it made.
class FavoriteFolder {
public:
    struct Result {
        QString error;
        std::filesystem::path path;
        bool ok() const { return error.isEmpty(); }
    };

    explicit FavoriteFolder(std::filesystem::path root) : root_(std::move(root)) {}

    Result makeFolder(const std::filesystem::path& parent, const QString& name) const;
    Result makeBookmark(const std::filesystem::path& parent, const QString& name,
                        const QString& url) const;
    // A bookmark keeps its extension; the name is without it.
    Result rename(const std::filesystem::path& path, const QString& name) const;
    Result move(const std::filesystem::path& path, const std::filesystem::path& folder) const;
    // A folder goes with everything in it; a link goes, not what it points to.
    Result remove(const std::filesystem::path& path) const;

    const std::filesystem::path& root() const { return root_; }
    // The root or a folder below it (not a link).
    bool holds(const std::filesystem::path& folder) const;

    // Why a URL cannot be written to a bookmark (a line break); empty when it can.
    static QString urlRefusal(const QString& url);

private:
    // Why the entry cannot be changed (outside the root, the root itself, gone).
    QString entryRefusal(const std::filesystem::path& path) const;
    // Renames without replacing anything at the target.
    static Result renameEntry(const std::filesystem::path& from, const std::filesystem::path& to);

    std::filesystem::path root_;
};

} // namespace bryndle
