#pragma once

#include "browse/treeitemdata.h"
#include "foundation/controlbase.h"

#include <QPointer>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPoint;
class QTabWidget;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace bryndle {

class BrowserTabPage;

// The left pane: one tab "ブックマーク" with a tool bar (organise the bookmark folder or the
// system favourites) and a tree of the bookmark folder, followed by the system favourites.
// Bookmarks open through the open handler; each opening reads the file again.
class SideBar : public ControlBase {
public:
    using OpenHandler = std::function<BrowserTabPage*(const QString& location)>;

    SideBar(QWidget* parent, int style = 0);
    ~SideBar() override;

    virtual void onTreeDoubleClick();
    virtual void organizeBookmarks();
    virtual void organizeSystemFavorites();
    // The context menu asked for at a point of the tree's viewport.
    virtual void onTreeMouseUp(const QPoint& position);
    virtual void reloadFromEvent() { reload(); }
    virtual void openSelected();
    virtual void createControls();
    // Builds the tree again from the folders.
    virtual void reload();
    virtual void addEntry(QTreeWidgetItem* item, const std::filesystem::path& entry, bool folder);
    virtual void expandAll();
    virtual void fillTree(QTreeWidget* tree, const std::filesystem::path& folder);
    virtual void fillItem(QTreeWidgetItem* item, const std::filesystem::path& folder);
    virtual void setOpenHandler(OpenHandler handler) { openHandler_ = std::move(handler); }
    // The page the handler opened, or null without a handler.
    virtual BrowserTabPage* openLocation(const QString& location);

    QWidget* rootComposite() const;
    QTabWidget* tabFolder() const;
    QToolBar* toolBar() const;
    QTreeWidget* tree() const;
    QMenu* menu() const;
    QAction* openAction() const;
    QTreeWidgetItem* systemFavoritesItem() const { return favoritesItem_; }

    // The data of a folder or bookmark item; null for the system favourites item.
    static TreeItemData* dataOf(QTreeWidgetItem* item);

private:
    void fillChildren(QTreeWidgetItem* parent, QTreeWidget* tree,
                      const std::filesystem::path& folder);
    QTreeWidgetItem* newItem(QTreeWidgetItem* parent, QTreeWidget* tree, const QIcon& icon);
    void markUnreadable(QTreeWidgetItem* item);
    void open(QTreeWidgetItem* item);

    QPointer<QWidget> root_;
    QPointer<QTabWidget> tabFolder_;
    QPointer<QToolBar> toolBar_;
    QPointer<QTreeWidget> tree_;
    QPointer<QMenu> menu_;
    QPointer<QAction> open_;
    QTreeWidgetItem* favoritesItem_ = nullptr;
    OpenHandler openHandler_;
    // Lets the favourites hook outlive the side bar harmlessly.
    std::shared_ptr<SideBar*> self_;
};

} // namespace bryndle
