#include "browse/organizefavoritesdialog.h"

#include "browse/favoritefiles.h"
#include "browse/foldertree.h"
#include "shell/icon.h"
#include "shell/onelineeditdialog.h"
#include "toolkit/eventloop.h"
#include "toolkit/messagebox.h"
#include "toolkit/modalwindow.h"

#include <QDropEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>
#include <optional>

namespace bryndle {

namespace fs = std::filesystem;

namespace {

const QString Title = QStringLiteral("お気に入りの整理");
constexpr int PathRole = Qt::UserRole;
constexpr int KindRole = Qt::UserRole + 1;
enum Kind { Root, Folder, Link, Bookmark };

QTreeWidgetItem* entryItem(QTreeWidgetItem* parent, const fs::path& path, Kind kind,
                           const QIcon& icon) {
    auto* item = new QTreeWidgetItem(parent);
    item->setText(0, kind == Bookmark ? FavoriteFiles::fromPath(path.stem())
                                      : FavoriteFiles::displayName(path));
    item->setIcon(0, icon);
    item->setData(0, PathRole, QByteArray::fromStdString(path.string()));
    item->setData(0, KindRole, kind);
    return item;
}

Kind kindOf(const QTreeWidgetItem* item) {
    return item ? static_cast<Kind>(item->data(0, KindRole).toInt()) : Root;
}

std::optional<QString> askText(const QString& title, const QString& label, const QString& text) {
    OneLineEditDialog ask(title, label, 256);
    ask.setText(text);
    ask.setButtonText(QStringLiteral("OK"));
    if (ask.open() != OneLineEditDialog::Ok)
        return std::nullopt;
    return ask.getText();
}

// The entries as a tree whose drags carry the dragged entry's path; a drop hands the path and
// the item dropped on to the handler, and the view itself moves nothing.
class EntryTree : public QTreeWidget {
public:
    static constexpr const char* MimeType = "application/x-bryndle-bookmark-path";
    using DropHandler = std::function<void(const fs::path& path, QTreeWidgetItem* target)>;

    explicit EntryTree(QWidget* parent) : QTreeWidget(parent) {
        setDragDropMode(QAbstractItemView::DragDrop);
        setDefaultDropAction(Qt::MoveAction);
    }
    void setDropHandler(DropHandler handler) { onDrop_ = std::move(handler); }

protected:
    QStringList mimeTypes() const override { return {QString::fromLatin1(MimeType)}; }
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override {
        if (items.isEmpty())
            return nullptr;
        auto* mime = new QMimeData;
        mime->setData(QString::fromLatin1(MimeType),
                      items.first()->data(0, PathRole).toByteArray());
        return mime;
    }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    void dropEvent(QDropEvent* event) override {
        const QByteArray path = event->mimeData()->data(QString::fromLatin1(MimeType));
        // Nothing for the view to remove: the tree is built again from the folder.
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
        stopAutoScroll();
        setState(NoState);
        if (!path.isEmpty() && onDrop_)
            onDrop_(fs::path(path.toStdString()), itemAt(event->position().toPoint()));
    }

private:
    DropHandler onDrop_;
};

QPushButton* button(QWidget* parent, QVBoxLayout* column, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    column->addWidget(button);
    return button;
}

} // namespace

OrganizeFavoritesDialog::OrganizeFavoritesDialog(QWidget* parent, const fs::path& folder)
    : QDialog(parent), folder_(folder) {
    setObjectName(QStringLiteral("OrganizeFavoritesDialog"));
    setWindowTitle(Title);
    auto* row = new QHBoxLayout(this);
    auto* column = new QVBoxLayout;
    auto* newFolder = button(this, column, QStringLiteral("フォルダの作成"), "newFolder");
    auto* newBookmark = button(this, column, QStringLiteral("ブックマークの作成"), "newBookmark");
    rename_ = button(this, column, QStringLiteral("名前の変更"), "rename");
    move_ = button(this, column, QStringLiteral("移動"), "move");
    delete_ = button(this, column, QStringLiteral("削除"), "delete");
    column->addStretch(1);
    auto* close = button(this, column, QStringLiteral("閉じる"), "close");
    row->addLayout(column);

    auto* tree = new EntryTree(this);
    tree->setDropHandler([this](const fs::path& path, QTreeWidgetItem* target) {
        const fs::path folder = dropFolder(target);
        // After the drag has ended: the move rebuilds the tree the drag started from.
        QTimer::singleShot(0, this, EventLoop::guard([this, path, folder] { move(path, folder); }));
    });
    tree_ = tree;
    tree_->setObjectName(QStringLiteral("items"));
    tree_->setHeaderHidden(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setMinimumSize(360, 320);
    row->addWidget(tree_, 1);

    connect(newFolder, &QPushButton::clicked, this, EventLoop::guard([this] { onNewFolder(); }));
    connect(newBookmark, &QPushButton::clicked, this,
            EventLoop::guard([this] { onNewBookmark(); }));
    connect(rename_, &QPushButton::clicked, this, EventLoop::guard([this] { onRename(); }));
    connect(move_, &QPushButton::clicked, this, EventLoop::guard([this] { onMove(); }));
    connect(delete_, &QPushButton::clicked, this, EventLoop::guard([this] { onDelete(); }));
    connect(close, &QPushButton::clicked, this, [this] { done(changed_ ? Accepted : Rejected); });
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    reload({});
}

int OrganizeFavoritesDialog::run() {
    runModal(*this);
    return changed_ ? 1 : 0;
}

fs::path OrganizeFavoritesDialog::pathOf(const QTreeWidgetItem* item) {
    return item ? fs::path(item->data(0, PathRole).toByteArray().toStdString()) : fs::path();
}

void OrganizeFavoritesDialog::reload(const fs::path& select) {
    tree_->clear();
    auto* top = new QTreeWidgetItem(tree_);
    top->setText(0, FavoriteFiles::displayName(folder_.root()));
    top->setIcon(0, QIcon(getIcon("folder_star")));
    top->setData(0, PathRole, QByteArray::fromStdString(folder_.root().string()));
    top->setData(0, KindRole, Root);
    top->setFlags(top->flags() & ~Qt::ItemIsDragEnabled);
    fill(top, folder_.root());
    tree_->expandAll();
    tree_->setCurrentItem(top);
    if (!select.empty())
        for (QTreeWidgetItemIterator it(tree_); *it; ++it)
            if (pathOf(*it) == select)
                tree_->setCurrentItem(*it);
    updateButtons();
}

void OrganizeFavoritesDialog::fill(QTreeWidgetItem* parent, const fs::path& folder) {
    const FolderListing listing = FavoriteFiles::list(folder);
    const QIcon folderIcon(getIcon("folder"));
    for (const FavoriteEntry& entry : listing.folders) {
        auto* item = entryItem(parent, entry.path, entry.link ? Link : Folder, folderIcon);
        if (entry.link)
            item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
        else
            fill(item, entry.path);
    }
    const QIcon bookmarkIcon(getIcon("page_url"));
    for (const FavoriteEntry& entry : listing.bookmarks) {
        auto* item = entryItem(parent, entry.path, Bookmark, bookmarkIcon);
        item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
    }
}

void OrganizeFavoritesDialog::updateButtons() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    const bool entry = !selected.isEmpty() && kindOf(selected.first()) != Root;
    rename_->setEnabled(entry);
    move_->setEnabled(entry);
    delete_->setEnabled(entry);
}

fs::path OrganizeFavoritesDialog::selectedPath() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? folder_.root() : pathOf(selected.first());
}

fs::path OrganizeFavoritesDialog::targetFolder() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty())
        return folder_.root();
    const Kind kind = kindOf(selected.first());
    return kind == Root || kind == Folder ? pathOf(selected.first())
                                          : pathOf(selected.first()).parent_path();
}

bool OrganizeFavoritesDialog::apply(const FavoriteFolder::Result& result, const fs::path& select) {
    if (!result.ok()) {
        MessageBox::warning(result.error, this, Title);
        return false;
    }
    changed_ = true;
    reload(select);
    return true;
}

bool OrganizeFavoritesDialog::makeFolder(const fs::path& parent, const QString& name) {
    const FavoriteFolder::Result result = folder_.makeFolder(parent, name);
    return apply(result, result.path);
}

bool OrganizeFavoritesDialog::makeBookmark(const fs::path& parent, const QString& name,
                                           const QString& url) {
    const FavoriteFolder::Result result = folder_.makeBookmark(parent, name, url);
    return apply(result, result.path);
}

bool OrganizeFavoritesDialog::rename(const fs::path& path, const QString& name) {
    const FavoriteFolder::Result result = folder_.rename(path, name);
    if (result.ok() && result.path == path)
        return true;
    return apply(result, result.path);
}

bool OrganizeFavoritesDialog::move(const fs::path& path, const fs::path& folder) {
    const FavoriteFolder::Result result = folder_.move(path, folder);
    if (result.ok() && result.path == path)
        return true;
    return apply(result, result.path);
}

bool OrganizeFavoritesDialog::remove(const fs::path& path) {
    std::error_code error;
    const bool folder = fs::is_directory(fs::symlink_status(path, error));
    const QString question = folder ? QStringLiteral("フォルダ「%1」を中身ごと削除しますか？")
                                    : QStringLiteral("「%1」を削除しますか？");
    const QString name =
        folder ? FavoriteFiles::displayName(path) : FavoriteFiles::fromPath(path.stem());
    if (!MessageBox::askYesNo(this, Title, question.arg(name)))
        return false;
    return apply(folder_.remove(path), path.parent_path());
}

void OrganizeFavoritesDialog::onNewFolder() {
    if (auto name = askText(QStringLiteral("フォルダの作成"), QStringLiteral("フォルダ名"),
                            QStringLiteral("新しいフォルダ")))
        makeFolder(targetFolder(), *name);
}

void OrganizeFavoritesDialog::onNewBookmark() {
    const QString title = QStringLiteral("ブックマークの作成");
    const fs::path parent = targetFolder();
    const auto name = askText(title, QStringLiteral("名前"), {});
    if (!name)
        return;
    if (const auto url = askText(title, QStringLiteral("URL"), QStringLiteral("http://")))
        makeBookmark(parent, *name, *url);
}

void OrganizeFavoritesDialog::onRename() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty() || kindOf(selected.first()) == Root)
        return;
    const fs::path path = pathOf(selected.first());
    if (auto name = askText(QStringLiteral("名前の変更"), QStringLiteral("新しい名前"),
                            selected.first()->text(0)))
        rename(path, *name);
}

void OrganizeFavoritesDialog::onMove() {
    const fs::path path = selectedPath();
    if (path == folder_.root())
        return;
    const fs::path folder = chooseFolder(path);
    if (!folder.empty())
        move(path, folder);
}

void OrganizeFavoritesDialog::onDelete() {
    const fs::path path = selectedPath();
    if (path != folder_.root())
        remove(path);
}

fs::path OrganizeFavoritesDialog::chooseFolder(const fs::path& excluded) {
    QDialog chooser(this);
    chooser.setObjectName(QStringLiteral("MoveToDialog"));
    chooser.setWindowTitle(QStringLiteral("移動先の選択"));
    auto* layout = new QVBoxLayout(&chooser);
    auto* folders = new FolderTree(&chooser);
    folders->setObjectName(QStringLiteral("folders"));
    folders->setExcluded(excluded);
    folders->setRoot(folder_.root());
    layout->addWidget(folders);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("移動"), &chooser);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), &chooser);
    cancel->setObjectName(QStringLiteral("cancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, &chooser, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, &chooser, &QDialog::reject);
    runModal(chooser);
    return chooser.result() == Accepted ? folders->selectedFolder() : fs::path();
}

fs::path OrganizeFavoritesDialog::dropFolder(const QTreeWidgetItem* item) const {
    if (!item)
        return folder_.root();
    const Kind kind = kindOf(item);
    return kind == Root || kind == Folder ? pathOf(item) : pathOf(item).parent_path();
}

} // namespace bryndle
