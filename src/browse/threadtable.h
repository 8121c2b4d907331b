#pragma once

#include "browse/threadlisting.h"
#include "browse/threadtablemodel.h"
#include "foundation/controlbase.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPoint;

namespace bryndle {

class ThreadResponseEvent;

// The top pane of the browsing side: a node's new or subscribed threads, each marked against
// the local cache, sorted by a column, narrowed by a tag and a filter text, opened, bookmarked,
// copied and deleted from the context menu.
//
// Listings run on a worker thread with a deadline while the window keeps painting; the rows are
// replaced only by a listing that succeeded, a failed one keeps them and shows the error. The
// table is a child of its composite and goes with it.
class ThreadTable : public QObject, public ControlBase {
    Q_OBJECT

public:
    enum class Direction { Up, Down };
    // Takes a location and opens it (the tab browser's openOrActivate).
    using OpenHandler = std::function<void(const QString& location)>;
    // Shows the node's deletion page for the URL in a window that closes on its next navigation,
    // and runs the finalizer when that window goes.
    using DeletePageOpener =
        std::function<void(const QString& url, std::function<void()> finalizer)>;

    static constexpr int DefaultListingDeadline = 30;
    static constexpr int TagFieldWidth = 100;
    static constexpr int TagListLength = 50;

    // The style the layout passes is that of every such table here: virtual rows, whole-row
    // single selection, scroll bars.
    explicit ThreadTable(QWidget* parent, int style = 0);
    ~ThreadTable() override;

    virtual void clearItems();
    virtual void setSort(int32_t key, Direction direction);
    virtual std::vector<ThreadItemPtr> filterAll(const QString& word) const;
    // The items of the list (all items when it is empty) whose title contains the word, both
    // upper-cased; the order stays.
    virtual std::vector<ThreadItemPtr> filter(const std::vector<ThreadItemPtr>& list,
                                              const QString& word) const;
    // Shows the items that pass the tag and filter fields, sorted; with both fields empty the
    // tags of the titles are gathered for the tag field.
    virtual void refresh();
    virtual void refreshKeepingSelection();
    virtual void onColumnSelected(int column);
    virtual int32_t nextNumber();
    virtual void fireOpen(const QString& location);
    // The item of the first selected row, or null.
    virtual const ThreadItem* selectedItem() const;
    virtual void onDoubleClick();
    virtual void onFilterModified();
    virtual void onTagSelected();
    // The context menu asked for at a point of the table's viewport.
    virtual void onTableMouseUp(const QPoint& position);
    virtual void openSelected();
    virtual void openGateway();
    virtual void addBookmark();
    virtual void copyTitle();
    virtual void copyWikiLink();
    virtual void copyLocation();
    virtual void copyGatewayUrl();
    virtual void deleteThread();
    virtual void onTagFocusOut();
    virtual void onTagMouseDown();
    virtual void onFilterFocusOut();
    virtual void onFilterMouseDown();
    virtual void createControls();
    virtual void setOpenHandler(OpenHandler handler) { openHandler_ = std::move(handler); }
    virtual void clearTable();
    // Start a listing in the background; while one runs, another request does nothing.
    virtual void showNewThreads();
    virtual void showSubscribedThreads();
    // Appends an item for the event, numbered by nextNumber.
    virtual void addThread(const ThreadResponseEvent& event);

    // The outcome of a listing, on the interface thread.
    virtual void onListingDone(ThreadListing::Result result);
    // Reads the cache's index rows again in the background and marks the rows by them.
    void updateCacheState();

    void setDeletePageOpener(DeletePageOpener opener) { deletePageOpener_ = std::move(opener); }
    bool isShowingSubscribed() const { return showingSubscribed_; }
    bool isListing() const { return listing_; }
    const std::vector<ThreadItemPtr>& items() const { return items_; }
    // The tag field's list as the last refresh without filter gathered it (empty text first).
    const std::vector<std::string>& tags() const { return tags_; }
    int32_t sortKey() const { return sortKey_; }
    Direction sortDirection() const { return sortDirection_; }

    QWidget* composite() const { return composite_; }
    QComboBox* tagField() const { return tagField_; }
    QLineEdit* filterField() const { return filterField_; }
    QTableView* table() const { return table_; }
    ThreadTableModel* model() const { return model_; }
    QMenu* menu() const { return menu_; }
    QAction* deleteAction() const { return delete_; }

    // Seconds a listing may take in all (connection, waits and the whole answer).
    static void setListingDeadline(int seconds);
    static int listingDeadline();
    // "http://host:port/thread.cgi/<title encoded>" of the configured node.
    static QString gatewayUrl(const std::string& title);
    // The location that opens the thread at its latest records, as many as configured per page.
    static QString openLocation(const std::string& title);

signals:
    // A listing ended, with or without success (after the rows or the warning).
    void listingFinished(bool succeeded);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startListing(std::shared_ptr<const ThreadListing> listing);
    const std::vector<ThreadItemPtr>& sortedItems();
    void gatherTags();
    void setTagList(const std::vector<std::string>& tags);
    void selectTitle(const std::string& title);
    QAction* addAction(const QString& text, const char* icon, const char* name,
                       void (ThreadTable::*action)());

    bool showingSubscribed_ = false;
    bool listing_ = false;
    bool readingCache_ = false;
    bool cacheStale_ = false;
    QPointer<QWidget> composite_;
    QPointer<QComboBox> tagField_;
    QPointer<QLineEdit> filterField_;
    QPointer<QTableView> table_;
    QPointer<ThreadTableModel> model_;
    QPointer<QMenu> menu_;
    QPointer<QAction> delete_;
    std::vector<ThreadItemPtr> items_;
    // The items under the current sort, made again when the items or the sort change.
    std::vector<ThreadItemPtr> sorted_;
    bool sortedValid_ = false;
    std::vector<std::string> tags_;
    int32_t itemCounter_ = 0;
    bool filterFieldFlag_ = false;
    bool tagFieldFlag_ = false;
    OpenHandler openHandler_;
    DeletePageOpener deletePageOpener_;
    // The table's sort column and its direction, and the sort the rows follow.
    int sortColumn_ = 0;
    Direction sortColumnDirection_ = Direction::Up;
    int32_t sortKey_ = ThreadItem::ByNumber;
    Direction sortDirection_ = Direction::Up;
};

} // namespace bryndle
