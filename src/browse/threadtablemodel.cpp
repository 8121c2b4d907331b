#include "browse/threadtablemodel.h"

#include "shell/icon.h"

#include <QBrush>
#include <QColor>

namespace bryndle {

namespace {

const char16_t* const Headers[ThreadTableModel::ColumnCount] = {
    u"№", u"タイトル", u"ゲートウェイ保有サイズ", u"投稿数", u"最終更新時刻"};

bool rightAligned(int column) {
    return column == ThreadTableModel::SizeColumn || column == ThreadTableModel::PostsColumn;
}

QVariant alignment(int column) {
    return QVariant::fromValue(
        Qt::Alignment((rightAligned(column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
}

} // namespace

ThreadTableModel::ThreadTableModel(QObject* parent)
    : QAbstractTableModel(parent), cacheState_(std::make_shared<ThreadCacheState>()) {
    // In the order of ThreadCacheState::Mark: never read, read and up to date, updated since.
    icons_[0] = QIcon(getIcon("page_green"));
    icons_[1] = QIcon(getIcon("page"));
    icons_[2] = QIcon(getIcon("page_red"));
}

int ThreadTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ThreadTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ThreadTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ThreadItem& item = *rows_[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case NumberColumn:
            return item.numberText();
        case TitleColumn:
            return item.titleText();
        case SizeColumn:
            return item.sizeText();
        case PostsColumn:
            // The cached count once the thread has been read.
            if (const ThreadCacheState::Entry* entry = cacheState_->find(item.title()))
                return QString::number(entry->count);
            return item.postsText();
        case LastUpdateColumn:
            return item.lastUpdateText();
        }
        break;
    case Qt::DecorationRole:
        if (column == NumberColumn)
            return icons_[static_cast<int>(mark(index.row()))];
        break;
    case Qt::ForegroundRole:
        if (column == TitleColumn && mark(index.row()) == ThreadCacheState::Mark::Updated)
            return QBrush(Qt::darkBlue);
        break;
    case Qt::BackgroundRole:
        if (index.row() % 2 == 0)
            return QBrush(QColor(240, 240, 255));
        break;
    case Qt::TextAlignmentRole:
        return alignment(column);
    case MarkRole:
        return static_cast<int>(mark(index.row()));
    }
    return {};
}

QVariant ThreadTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf16(Headers[section]);
    case Qt::TextAlignmentRole:
        return alignment(section);
    case Qt::InitialSortOrderRole:
        // A column clicked for the first time sorts with the direction down.
        return static_cast<int>(Qt::DescendingOrder);
    case SortKeyRole:
        return SortKeys[section];
    }
    return {};
}

Qt::ItemFlags ThreadTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void ThreadTableModel::setRows(std::vector<ThreadItemPtr> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void ThreadTableModel::setCacheState(std::shared_ptr<const ThreadCacheState> state) {
    cacheState_ = state ? std::move(state) : std::make_shared<ThreadCacheState>();
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1),
                         {Qt::DisplayRole, Qt::DecorationRole, Qt::ForegroundRole, MarkRole});
}

const ThreadItem* ThreadTableModel::item(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return nullptr;
    return rows_[static_cast<size_t>(row)].get();
}

int ThreadTableModel::rowOf(const ThreadItem* item) const {
    for (size_t row = 0; row < rows_.size(); ++row)
        if (rows_[row].get() == item)
            return static_cast<int>(row);
    return -1;
}

ThreadCacheState::Mark ThreadTableModel::mark(int row) const {
    const ThreadItem& item = *rows_[static_cast<size_t>(row)];
    return cacheState_->mark(item.title(), item.stamp());
}

} // namespace bryndle
