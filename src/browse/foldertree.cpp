#include "browse/foldertree.h"

#include "browse/favoritefiles.h"
#include "shell/icon.h"

namespace bryndle {

namespace fs = std::filesystem;

namespace {

constexpr int PathRole = Qt::UserRole;

QTreeWidgetItem* folderItem(const fs::path& path, const QIcon& icon) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, FavoriteFiles::displayName(path));
    item->setIcon(0, icon);
    item->setData(0, PathRole, QByteArray::fromStdString(path.string()));
    return item;
}

} // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

fs::path FolderTree::pathOf(const QTreeWidgetItem* item) {
    return item ? fs::path(item->data(0, PathRole).toByteArray().toStdString()) : fs::path();
}

void FolderTree::setRoot(const fs::path& root) {
    root_ = root;
    reload();
}

void FolderTree::reload(const fs::path& select) {
    clear();
    auto* top = folderItem(root_, QIcon(getIcon("folder_star")));
    addTopLevelItem(top);
    fill(top, root_);
    expandAll();
    setCurrentItem(top);
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if (!select.empty() && pathOf(*it) == select)
            setCurrentItem(*it);
}

void FolderTree::fill(QTreeWidgetItem* parent, const fs::path& folder) {
    const QIcon icon(getIcon("folder"));
    for (const FavoriteEntry& entry : FavoriteFiles::list(folder).folders) {
        if (entry.link || (!excluded_.empty() && entry.path == excluded_))
            continue;
        auto* item = folderItem(entry.path, icon);
        parent->addChild(item);
        fill(item, entry.path);
    }
}

fs::path FolderTree::selectedFolder() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? root_ : pathOf(selected.first());
}

} // namespace bryndle
