#include "browse/sidebar.h"

#include "browse/favoritefiles.h"
#include "browse/favorites.h"
#include "config/configuration.h"
#include "foundation/inifileexception.h"
#include "shell/icon.h"
#include "toolkit/eventloop.h"
#include "toolkit/messagebox.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace bryndle {

namespace fs = std::filesystem;

namespace {

// A tree item that carries what it stands for.
class SideBarItem : public QTreeWidgetItem {
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;
    explicit SideBarItem(QTreeWidgetItem* parent) : QTreeWidgetItem(parent, Type) {}
    explicit SideBarItem(QTreeWidget* tree) : QTreeWidgetItem(tree, Type) {}
    TreeItemData data;
};

// Redrawing stays off while the tree is rebuilt, and comes back on whatever happens.
struct RedrawOff {
    QWidget* widget;
    explicit RedrawOff(QWidget* w) : widget(w) { widget->setUpdatesEnabled(false); }
    ~RedrawOff() { widget->setUpdatesEnabled(true); }
};

} // namespace

SideBar::SideBar(QWidget* parent, int /*style*/)
    : ControlBase("SideBar"), self_(std::make_shared<SideBar*>(this)) {
    root_ = new QWidget(parent);
    root_->setObjectName(QStringLiteral("SideBar"));
    auto* fill = new QVBoxLayout(root_);
    fill->setContentsMargins(0, 0, 0, 0);
    if (auto* sash = qobject_cast<QSplitter*>(parent))
        sash->addWidget(root_);
    else if (parent && parent->layout())
        parent->layout()->addWidget(root_);
    createControls();
}

SideBar::~SideBar() = default;

QWidget* SideBar::rootComposite() const {
    return root_;
}
QTabWidget* SideBar::tabFolder() const {
    return tabFolder_;
}
QToolBar* SideBar::toolBar() const {
    return toolBar_;
}
QTreeWidget* SideBar::tree() const {
    return tree_;
}
QMenu* SideBar::menu() const {
    return menu_;
}
QAction* SideBar::openAction() const {
    return open_;
}

TreeItemData* SideBar::dataOf(QTreeWidgetItem* item) {
    if (!item || item->type() != SideBarItem::Type)
        return nullptr;
    return &static_cast<SideBarItem*>(item)->data;
}

void SideBar::createControls() {
    tabFolder_ = new QTabWidget(root_);
    tabFolder_->setObjectName(QStringLiteral("tabFolder"));
    tabFolder_->setDocumentMode(true);
    tabFolder_->setTabPosition(QTabWidget::North);
    tabFolder_->setTabsClosable(false);
    root_->layout()->addWidget(tabFolder_);

    auto* page = new QWidget(tabFolder_);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    toolBar_ = new QToolBar(page);
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction* bookmarks = toolBar_->addAction(QStringLiteral("ブックマーク"));
    bookmarks->setObjectName(QStringLiteral("organizeBookmarks"));
    QAction* favorites = toolBar_->addAction(QStringLiteral("IEのお気に入り"));
    favorites->setObjectName(QStringLiteral("organizeSystemFavorites"));
    QObject::connect(bookmarks, &QAction::triggered, root_,
                     EventLoop::guard([this] { organizeBookmarks(); }));
    QObject::connect(favorites, &QAction::triggered, root_,
                     EventLoop::guard([this] { organizeSystemFavorites(); }));
    column->addWidget(toolBar_);

    tree_ = new QTreeWidget(page);
    tree_->setObjectName(QStringLiteral("tree"));
    tree_->setHeaderHidden(true);
    tree_->setFrameShape(QFrame::NoFrame);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(tree_, &QTreeWidget::itemDoubleClicked, root_,
                     EventLoop::guard([this] { onTreeDoubleClick(); }));
    QObject::connect(
        tree_, &QWidget::customContextMenuRequested, root_,
        [this](const QPoint& position) { EventLoop::protect([&] { onTreeMouseUp(position); }); });
    column->addWidget(tree_, 1);
    tabFolder_->addTab(page, QIcon(getIcon("star")), QStringLiteral("ブックマーク"));

    reload();

    menu_ = new QMenu(root_);
    menu_->setObjectName(QStringLiteral("treeMenu"));
    open_ = menu_->addAction(QIcon(getIcon("page_add")), QStringLiteral("開く"));
    open_->setObjectName(QStringLiteral("open"));
    QObject::connect(open_, &QAction::triggered, root_,
                     EventLoop::guard([this] { openSelected(); }));

    notifyFavoritesChanged([self = std::weak_ptr<SideBar*>(self_)] {
        if (const auto bar = self.lock())
            (*bar)->reload();
    });
}

void SideBar::reload() {
    if (!tree_)
        return;
    RedrawOff redraw(tree_);
    tree_->clear();
    favoritesItem_ = nullptr;
    fillTree(tree_, Configuration::instance().bookmarkDir());
    expandAll();
    favoritesItem_ = new QTreeWidgetItem(tree_);
    favoritesItem_->setText(0, QStringLiteral("IEのお気に入り"));
    favoritesItem_->setIcon(0, QIcon(getIcon("folder_star")));
    fillItem(favoritesItem_, FavoriteFiles::toPath(systemFavoritesFolder()));
}

void SideBar::expandAll() {
    tree_->expandAll();
}

void SideBar::fillTree(QTreeWidget* tree, const fs::path& folder) {
    fillChildren(nullptr, tree, folder);
}

void SideBar::fillItem(QTreeWidgetItem* item, const fs::path& folder) {
    fillChildren(item, nullptr, folder);
}

QTreeWidgetItem* SideBar::newItem(QTreeWidgetItem* parent, QTreeWidget* tree, const QIcon& icon) {
    QTreeWidgetItem* item = parent ? new SideBarItem(parent) : new SideBarItem(tree);
    item->setIcon(0, icon);
    return item;
}

void SideBar::fillChildren(QTreeWidgetItem* parent, QTreeWidget* tree, const fs::path& folder) {
    const FolderListing listing = FavoriteFiles::list(folder);
    if (!listing.readable && parent)
        markUnreadable(parent);
    const QIcon folderIcon(getIcon("folder"));
    for (const FavoriteEntry& entry : listing.folders) {
        QTreeWidgetItem* item = newItem(parent, tree, folderIcon);
        addEntry(item, entry.path, true);
        if (entry.link)
            markUnreadable(item);
        else
            fillItem(item, entry.path);
    }
    const QIcon bookmarkIcon(getIcon("page_url"));
    for (const FavoriteEntry& entry : listing.bookmarks)
        addEntry(newItem(parent, tree, bookmarkIcon), entry.path, false);
}

void SideBar::addEntry(QTreeWidgetItem* item, const fs::path& entry, bool folder) {
    TreeItemData* data = dataOf(item);
    if (!data)
        return;
    data->folder = folder;
    if (folder) {
        item->setText(0, FavoriteFiles::displayName(entry));
        return;
    }
    try {
        data->shortcut.emplace(entry.string());
    } catch (const IniFileException&) {
        data->shortcut.emplace(InternetShortcut::unread(entry.string()));
    }
    // Shown without a location; opening it tries the file again.
    if (data->shortcut->url().empty())
        markUnreadable(item);
    item->setText(0, QString::fromStdString(data->shortcut->name()));
}

void SideBar::markUnreadable(QTreeWidgetItem* item) {
    if (TreeItemData* data = dataOf(item))
        data->unreadable = true;
    item->setForeground(0, tree_->palette().brush(QPalette::Disabled, QPalette::Text));
}

void SideBar::onTreeDoubleClick() {
    openSelected();
}

void SideBar::openSelected() {
    const QList<QTreeWidgetItem*> selected =
        tree_ ? tree_->selectedItems() : QList<QTreeWidgetItem*>();
    if (!selected.isEmpty())
        open(selected.first());
}

void SideBar::open(QTreeWidgetItem* item) {
    TreeItemData* data = dataOf(item);
    if (!data || data->folder || !data->shortcut)
        return;
    QString problem;
    try {
        data->shortcut->reload();
    } catch (const IniFileException& e) {
        problem = QString::fromStdString(e.message());
    }
    if (!problem.isEmpty() || data->shortcut->url().empty()) {
        MessageBox::warning(QStringLiteral("「%1」にURLがありません。\n%2")
                                .arg(QString::fromStdString(data->shortcut->fileName()), problem),
                            root_);
        return;
    }
    openLocation(QString::fromStdString(data->shortcut->url()));
}

void SideBar::onTreeMouseUp(const QPoint& position) {
    QTreeWidgetItem* item = tree_->itemAt(position);
    if (!item)
        return;
    tree_->setCurrentItem(item);
    const TreeItemData* data = dataOf(item);
    if (!data)
        return;
    open_->setEnabled(!data->folder);
    menu_->popup(tree_->viewport()->mapToGlobal(position));
}

void SideBar::organizeBookmarks() {
    organizeFavoriteFolder(root_->window(),
                           QString::fromStdString(Configuration::instance().bookmarkDir()));
}

void SideBar::organizeSystemFavorites() {
    organizeFavoriteFolder(root_->window(), systemFavoritesFolder());
}

BrowserTabPage* SideBar::openLocation(const QString& location) {
    return openHandler_ ? openHandler_(location) : nullptr;
}

} // namespace bryndle
