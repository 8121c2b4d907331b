#pragma once

#include "browse/favoritefolder.h"

#include <QDialog>

#include <filesystem>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace bryndle {

// Organises a bookmark folder: its folders and bookmarks as a tree, with buttons to create
// folders and bookmarks, rename, move (also by dragging onto a folder) and delete (after a
// question). Nothing outside the folder is changed.
class OrganizeFavoritesDialog : public QDialog {
public:
    OrganizeFavoritesDialog(QWidget* parent, const std::filesystem::path& folder);

    // Modal; non-zero when anything was changed.
    int run();
    bool changed() const { return changed_; }
    QTreeWidget* tree() const { return tree_; }

    // The changes; each shows why it failed and answers whether it was made.
    bool makeFolder(const std::filesystem::path& parent, const QString& name);
    bool makeBookmark(const std::filesystem::path& parent, const QString& name, const QString& url);
    bool rename(const std::filesystem::path& path, const QString& name);
    bool move(const std::filesystem::path& path, const std::filesystem::path& folder);
    // Asks first.
    bool remove(const std::filesystem::path& path);

    // The selected entry (the root when none is).
    std::filesystem::path selectedPath() const;
    // Where new entries go: the selected folder, or the folder of the selected bookmark.
    std::filesystem::path targetFolder() const;

    static std::filesystem::path pathOf(const QTreeWidgetItem* item);

private:
    void reload(const std::filesystem::path& select);
    void fill(QTreeWidgetItem* parent, const std::filesystem::path& folder);
    bool apply(const FavoriteFolder::Result& result, const std::filesystem::path& select);
    void updateButtons();
    void onNewFolder();
    void onNewBookmark();
    void onRename();
    void onMove();
    void onDelete();
    // The folder chosen in a small dialog, or empty.
    std::filesystem::path chooseFolder(const std::filesystem::path& excluded);
    // The folder a drop onto the item goes to (the root below the last item).
    std::filesystem::path dropFolder(const QTreeWidgetItem* item) const;

    FavoriteFolder folder_;
    QTreeWidget* tree_;
    QPushButton* rename_;
    QPushButton* move_;
    QPushButton* delete_;
    bool changed_ = false;
};

} // namespace bryndle
