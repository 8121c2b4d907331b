#pragma once

#include "browse/threadcachestate.h"
#include "browse/threaditem.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <memory>
#include <vector>

namespace bryndle {

using ThreadItemPtr = std::shared_ptr<const ThreadItem>;

// The rows the thread table shows, in the order shown: number, title, size on the node, posts
// and last update, each row marked against the local cache (icon, posts column, title colour).
class ThreadTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NumberColumn, TitleColumn, SizeColumn, PostsColumn, LastUpdateColumn };
    static constexpr int ColumnCount = 5;
    // The sort key of each column, also its header data under SortKeyRole.
    static constexpr int32_t SortKeys[ColumnCount] = {ThreadItem::ByNumber, ThreadItem::ByTitle,
                                                      ThreadItem::BySize, ThreadItem::ByPosts,
                                                      ThreadItem::ByStamp};
    static constexpr int Widths[ColumnCount] = {60, 240, 150, 80, 130};
    static constexpr int SortKeyRole = Qt::UserRole;
    // The row's cache mark (ThreadCacheState::Mark as int), for the views and tests.
    static constexpr int MarkRole = Qt::UserRole + 1;

    // Loads the row icons from the registry (raises when one is missing).
    explicit ThreadTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces every row.
    void setRows(std::vector<ThreadItemPtr> rows);
    // The cache as the rows are compared with it; every row is marked anew.
    void setCacheState(std::shared_ptr<const ThreadCacheState> state);
    const ThreadCacheState& cacheState() const { return *cacheState_; }

    const ThreadItem* item(int row) const;
    // The row showing the item, or -1.
    int rowOf(const ThreadItem* item) const;
    ThreadCacheState::Mark mark(int row) const;

private:
    std::vector<ThreadItemPtr> rows_;
    std::shared_ptr<const ThreadCacheState> cacheState_;
    QIcon icons_[3];
};

} // namespace bryndle
