#pragma once

#include <QTreeWidget>

#include <filesystem>

namespace bryndle {

// The folders below a root folder (the root itself as the top item), all expanded; linked
// folders are left out. The favourites dialogs choose a folder with it.
class FolderTree : public QTreeWidget {
public:
    explicit FolderTree(QWidget* parent = nullptr);

    void setRoot(const std::filesystem::path& root);
    const std::filesystem::path& root() const { return root_; }
    // Lists the folders again and selects the given one (or the root).
    void reload(const std::filesystem::path& select = {});
    // The selected folder, or the root when none is selected.
    std::filesystem::path selectedFolder() const;
    // Leaves this folder and everything below it out (a folder cannot move into itself).
    void setExcluded(const std::filesystem::path& folder) { excluded_ = folder; }

    static std::filesystem::path pathOf(const QTreeWidgetItem* item);

private:
    void fill(QTreeWidgetItem* parent, const std::filesystem::path& folder);

    std::filesystem::path root_;
    std::filesystem::path excluded_;
};

} // namespace bryndle
