#include "browse/threadtable.h"

#include "browse/favorites.h"
#include "browse/removedfinalizer.h"
#include "config/configuration.h"
#include "node/encodetitle.h"
#include "node/threadfile.h"
#include "shell/icon.h"
#include "store/schema.h"
#include "store/threadcache.h"
#include "toolkit/background.h"
#include "toolkit/messagebox.h"
#include "toolkit/plaintext.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <set>

namespace bryndle {

namespace {

std::atomic<int> listingDeadlineSeconds{ThreadTable::DefaultListingDeadline};

// An icon and a text side by side, as one label of the field row.
QWidget* iconLabel(QWidget* parent, const char* icon, const QString& text) {
    auto* label = new QWidget(parent);
    auto* layout = new QHBoxLayout(label);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    auto* image = new QLabel(label);
    image->setPixmap(getIcon(icon));
    layout->addWidget(image);
    auto* words = new QLabel(text, label);
    words->setTextFormat(Qt::PlainText);
    layout->addWidget(words);
    return label;
}

Qt::SortOrder toQt(ThreadTable::Direction direction) {
    return direction == ThreadTable::Direction::Up ? Qt::AscendingOrder : Qt::DescendingOrder;
}

Schema threadSchema(const std::string& title, uint32_t mode) {
    Schema schema(title);
    schema.method = "get";
    schema.mode = mode;
    if (mode == 1)
        schema.items = static_cast<uint32_t>(Configuration::instance().recordsPerPage());
    return schema;
}

} // namespace

ThreadTable::ThreadTable(QWidget* parent, int /*style*/) : ControlBase("ThreadTable") {
    composite_ = new QWidget(parent);
    composite_->setObjectName(QStringLiteral("threadTableComposite"));
    setParent(composite_);
    if (parent && parent->layout())
        parent->layout()->addWidget(composite_);
    createControls();
    Configuration::instance().addTag("");
}

ThreadTable::~ThreadTable() = default;

void ThreadTable::createControls() {
    auto* grid = new QGridLayout(composite_);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setHorizontalSpacing(5);
    grid->setVerticalSpacing(3);

    grid->addWidget(iconLabel(composite_, "tag_blue", QStringLiteral("タグ")), 0, 0);
    tagField_ = new QComboBox(composite_);
    tagField_->setObjectName(QStringLiteral("tagField"));
    tagField_->setEditable(true);
    tagField_->setInsertPolicy(QComboBox::NoInsert);
    // Typing narrows the rows by what was typed; completing it to a tag would not.
    tagField_->setCompleter(nullptr);
    tagField_->setFixedWidth(TagFieldWidth);
    tagField_->setMaxVisibleItems(TagListLength);
    // Presses reach the text part; the focus belongs to the field, which hands its focus events
    // to the text part without passing them through filters.
    tagField_->lineEdit()->installEventFilter(this);
    tagField_->installEventFilter(this);
    connect(tagField_, &QComboBox::editTextChanged, this, [this] { onFilterModified(); });
    connect(tagField_, &QComboBox::activated, this, [this] { onTagSelected(); });
    grid->addWidget(tagField_, 0, 1);

    grid->addWidget(iconLabel(composite_, "shape_move_forwards", QStringLiteral("フィルター")), 0,
                    2);
    filterField_ = new QLineEdit(composite_);
    filterField_->setObjectName(QStringLiteral("filterField"));
    filterField_->installEventFilter(this);
    connect(filterField_, &QLineEdit::textChanged, this, [this] { onFilterModified(); });
    grid->addWidget(filterField_, 0, 3);
    grid->setColumnStretch(3, 1);

    table_ = new QTableView(composite_);
    table_->setObjectName(QStringLiteral("threadTable"));
    model_ = new ThreadTableModel(table_);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Rows of one fixed height: the view never measures 10,000 rows.
    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    for (int column = 0; column < ThreadTableModel::ColumnCount; ++column)
        header->resizeSection(column, ThreadTableModel::Widths[column]);
    // The widths were made for a small interface font: a larger one gets the width that shows
    // the number (after its icon) and the time whole.
    const QFontMetrics metrics = table_->fontMetrics();
    const int padding = 12;
    const int icon = table_->style()->pixelMetric(QStyle::PM_SmallIconSize) + 4;
    header->resizeSection(
        0, std::max(ThreadTableModel::Widths[0],
                    icon + metrics.horizontalAdvance(QStringLiteral("0000")) + padding));
    header->resizeSection(
        4, std::max(ThreadTableModel::Widths[4],
                    metrics.horizontalAdvance(QStringLiteral("0000 00/00 00:00:00")) + padding));
    grid->addWidget(table_, 1, 0, 1, 4);
    grid->setRowStretch(1, 1);

    header->setSortIndicator(0, toQt(Direction::Up));
    sortColumn_ = 0;
    sortColumnDirection_ = Direction::Up;
    setSort(ThreadItem::ByNumber, Direction::Up);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { onColumnSelected(column); });
    connect(table_, &QTableView::doubleClicked, this, [this] { onDoubleClick(); });
    connect(table_, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& position) { onTableMouseUp(position); });

    menu_ = new QMenu(table_);
    menu_->setObjectName(QStringLiteral("threadMenu"));
    addAction(QStringLiteral("開く"), "page_add", "openAction", &ThreadTable::openSelected);
    menu_->addSeparator();
    addAction(QStringLiteral("ゲートウェイを開く"), "monitor", "openGatewayAction",
              &ThreadTable::openGateway);
    menu_->addSeparator();
    addAction(QStringLiteral("ブックマークへ追加"), "star", "addBookmarkAction",
              &ThreadTable::addBookmark);
    menu_->addSeparator();
    addAction(QStringLiteral("タイトルをコピー"), nullptr, "copyTitleAction",
              &ThreadTable::copyTitle);
    addAction(QStringLiteral("URLを新月形式でコピー"), nullptr, "copyWikiLinkAction",
              &ThreadTable::copyWikiLink);
    addAction(QStringLiteral("URLをBryndle形式でコピー"), nullptr, "copyLocationAction",
              &ThreadTable::copyLocation);
    addAction(QStringLiteral("ゲートウェイのURLをコピー"), nullptr, "copyGatewayUrlAction",
              &ThreadTable::copyGatewayUrl);
    menu_->addSeparator();
    delete_ =
        addAction(QStringLiteral("削除"), "delete", "deleteAction", &ThreadTable::deleteThread);
}

QAction* ThreadTable::addAction(const QString& text, const char* icon, const char* name,
                                void (ThreadTable::*action)()) {
    QAction* entry = icon ? menu_->addAction(QIcon(getIcon(icon)), text) : menu_->addAction(text);
    entry->setObjectName(QString::fromLatin1(name));
    connect(entry, &QAction::triggered, this, [this, action] { (this->*action)(); });
    return entry;
}

void ThreadTable::clearItems() {
    items_.clear();
    sorted_.clear();
    sortedValid_ = false;
    itemCounter_ = 0;
}

void ThreadTable::setSort(int32_t key, Direction direction) {
    sortKey_ = key;
    sortDirection_ = direction;
    sortedValid_ = false;
}

std::vector<ThreadItemPtr> ThreadTable::filterAll(const QString& word) const {
    return filter(items_, word);
}

std::vector<ThreadItemPtr> ThreadTable::filter(const std::vector<ThreadItemPtr>& list,
                                               const QString& word) const {
    const std::vector<ThreadItemPtr>& source = list.empty() ? items_ : list;
    if (word.isEmpty())
        return source;
    const QString upper = ThreadItem::upperCase(word);
    std::vector<ThreadItemPtr> kept;
    for (const ThreadItemPtr& item : source)
        if (item->upperTitle().contains(upper))
            kept.push_back(item);
    return kept;
}

const std::vector<ThreadItemPtr>& ThreadTable::sortedItems() {
    if (!sortedValid_) {
        sorted_ = items_;
        const int32_t key = sortKey_;
        std::stable_sort(sorted_.begin(), sorted_.end(),
                         [key](const ThreadItemPtr& a, const ThreadItemPtr& b) {
                             return a->compareTo(*b, key) < 0;
                         });
        // Up reverses the whole order, the tie-break included.
        if (sortDirection_ == Direction::Up)
            std::reverse(sorted_.begin(), sorted_.end());
        sortedValid_ = true;
    }
    return sorted_;
}

void ThreadTable::refresh() {
    if (!table_)
        return;
    const QString tagText = tagField_->currentText();
    const QString filterText = filterField_->text();
    const std::vector<ThreadItemPtr>& sorted = sortedItems();
    // Filtering keeps the order, so the sorted items filtered are the filtered items sorted.
    std::vector<ThreadItemPtr> rows = tagText.isEmpty() ? sorted : filter(sorted, tagText);
    if (!filterText.isEmpty() && !rows.empty())
        rows = filter(rows, filterText);
    model_->setRows(std::move(rows));
    if (tagText.isEmpty() && filterText.isEmpty())
        gatherTags();
}

void ThreadTable::gatherTags() {
    Configuration& configuration = Configuration::instance();
    std::set<std::string> gathered;
    for (const ThreadItemPtr& item : items_)
        for (const QString& tag : item->tags()) {
            std::string name = tag.toStdString();
            if (gathered.insert(name).second)
                configuration.addTag(name);
        }
    tags_.assign(1, std::string());
    tags_.insert(tags_.end(), gathered.begin(), gathered.end());
    setTagList(configuration.sortTags(tags_));
}

void ThreadTable::setTagList(const std::vector<std::string>& tags) {
    // Replacing the list keeps what the field holds, without a change of text.
    const QSignalBlocker blocker(tagField_);
    const QString text = tagField_->currentText();
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(tags.size()));
    for (const std::string& tag : tags)
        entries.push_back(QString::fromStdString(tag));
    tagField_->clear();
    tagField_->addItems(entries);
    tagField_->setEditText(text);
}

void ThreadTable::refreshKeepingSelection() {
    if (!table_)
        return;
    const ThreadItem* selected = selectedItem();
    refresh();
    table_->clearSelection();
    if (selected) {
        const int row = model_->rowOf(selected);
        if (row >= 0)
            table_->selectRow(row);
    }
}

void ThreadTable::onColumnSelected(int column) {
    if (column < 0 || column >= ThreadTableModel::ColumnCount)
        return;
    if (column == sortColumn_) {
        sortColumnDirection_ =
            sortColumnDirection_ == Direction::Up ? Direction::Down : Direction::Up;
    } else {
        sortColumn_ = column;
        sortColumnDirection_ = Direction::Down;
    }
    table_->horizontalHeader()->setSortIndicator(column, toQt(sortColumnDirection_));
    setSort(ThreadTableModel::SortKeys[column], sortColumnDirection_);
    refreshKeepingSelection();
    updateCacheState();
}

int32_t ThreadTable::nextNumber() {
    return ++itemCounter_;
}

void ThreadTable::fireOpen(const QString& location) {
    if (openHandler_)
        openHandler_(location);
}

const ThreadItem* ThreadTable::selectedItem() const {
    if (!table_ || !table_->selectionModel())
        return nullptr;
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : model_->item(rows.first().row());
}

void ThreadTable::onDoubleClick() {
    openSelected();
}

void ThreadTable::onFilterModified() {
    refreshKeepingSelection();
    updateCacheState();
}

void ThreadTable::onTagSelected() {
    Configuration& configuration = Configuration::instance();
    const QString text = tagField_->currentText();
    if (!text.isEmpty())
        configuration.countTag(text.toStdString());
    if (!tags_.empty())
        setTagList(configuration.sortTags(tags_));
}

void ThreadTable::onTableMouseUp(const QPoint& position) {
    if (!selectedItem())
        return;
    delete_->setEnabled(showingSubscribed_);
    menu_->popup(table_->viewport()->mapToGlobal(position));
}

QString ThreadTable::openLocation(const std::string& title) {
    return QString::fromStdString(threadSchema(title, 1).toLocation());
}

QString ThreadTable::gatewayUrl(const std::string& title) {
    const Configuration& configuration = Configuration::instance();
    return QStringLiteral("http://%1:%2/thread.cgi/%3")
        .arg(QString::fromStdString(configuration.nodeHost()))
        .arg(configuration.nodePort())
        .arg(QString::fromStdString(encodeTitle(title)));
}

void ThreadTable::openSelected() {
    if (const ThreadItem* item = selectedItem())
        fireOpen(openLocation(item->title()));
}

void ThreadTable::openGateway() {
    if (const ThreadItem* item = selectedItem())
        fireOpen(gatewayUrl(item->title()));
}

void ThreadTable::addBookmark() {
    if (const ThreadItem* item = selectedItem())
        addFavoriteFile(composite_->window(),
                        QString::fromStdString(Configuration::instance().bookmarkDir()),
                        openLocation(item->title()), QString::fromStdString(item->title()));
}

void ThreadTable::copyTitle() {
    if (const ThreadItem* item = selectedItem())
        copyToClipboard(QString::fromStdString(item->title()));
}

void ThreadTable::copyWikiLink() {
    if (const ThreadItem* item = selectedItem())
        copyToClipboard(QStringLiteral("[[%1]]").arg(QString::fromStdString(item->title())));
}

void ThreadTable::copyLocation() {
    if (const ThreadItem* item = selectedItem())
        copyToClipboard(QString::fromStdString(threadSchema(item->title(), 0).toLocation()));
}

void ThreadTable::copyGatewayUrl() {
    if (const ThreadItem* item = selectedItem())
        copyToClipboard(gatewayUrl(item->title()));
}

void ThreadTable::deleteThread() {
    const ThreadItem* item = selectedItem();
    if (!item || !deletePageOpener_)
        return;
    const Configuration& configuration = Configuration::instance();
    const QString url = QStringLiteral("http://%1:%2/admin.cgi?cmd=fdel&file=%3")
                            .arg(QString::fromStdString(configuration.nodeHost()))
                            .arg(configuration.nodePort())
                            .arg(QString::fromStdString(threadFileName(item->title())));
    deletePageOpener_(url, [finalizer = RemovedFinalizer(this)] { finalizer.run(); });
}

void ThreadTable::onTagFocusOut() {
    tagFieldFlag_ = false;
}

void ThreadTable::onTagMouseDown() {
    if (tagFieldFlag_)
        return;
    tagFieldFlag_ = true;
    QLineEdit* text = tagField_->lineEdit();
    text->setFocus(Qt::MouseFocusReason);
    // After the press has placed the cursor.
    QTimer::singleShot(0, text, &QLineEdit::selectAll);
}

void ThreadTable::onFilterFocusOut() {
    filterFieldFlag_ = false;
}

void ThreadTable::onFilterMouseDown() {
    if (filterFieldFlag_)
        return;
    filterFieldFlag_ = true;
    QTimer::singleShot(0, filterField_.data(), &QLineEdit::selectAll);
}

bool ThreadTable::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool focusOut = event->type() == QEvent::FocusOut;
    if (filterField_ && watched == filterField_.data()) {
        if (press)
            onFilterMouseDown();
        else if (focusOut)
            onFilterFocusOut();
    } else if (tagField_ && watched == tagField_->lineEdit()) {
        if (press)
            onTagMouseDown();
    } else if (tagField_ && watched == tagField_.data()) {
        if (focusOut)
            onTagFocusOut();
    }
    return QObject::eventFilter(watched, event);
}

void ThreadTable::clearTable() {
    model_->setRows({});
}

void ThreadTable::showNewThreads() {
    const Configuration& configuration = Configuration::instance();
    startListing(std::make_shared<const RecentThread>(
        configuration.nodeHost(), configuration.nodePort(), listingDeadline(),
        ThreadCache::hasInstance() ? &ThreadCache::instance() : nullptr));
}

void ThreadTable::showSubscribedThreads() {
    const Configuration& configuration = Configuration::instance();
    startListing(std::make_shared<const RegisteredThread>(
        configuration.nodeHost(), configuration.nodePort(), listingDeadline(),
        ThreadCache::hasInstance() ? &ThreadCache::instance() : nullptr));
}

void ThreadTable::startListing(std::shared_ptr<const ThreadListing> listing) {
    if (listing_ || !table_)
        return;
    listing_ = true;
    table_->setCursor(Qt::BusyCursor);
    runInBackground<ThreadListing::Result>(
        this, [listing] { return listing->run(); },
        [this](ThreadListing::Result result) { onListingDone(std::move(result)); });
}

void ThreadTable::onListingDone(ThreadListing::Result result) {
    listing_ = false;
    if (table_)
        table_->unsetCursor();
    if (!result.succeeded) {
        MessageBox::warning(visibleControls(result.error),
                            composite_ ? composite_->window() : nullptr);
        emit listingFinished(false);
        return;
    }
    const ThreadItem* selected = selectedItem();
    const std::string selectedTitle = selected ? selected->title() : std::string();
    items_ = std::move(result.items);
    itemCounter_ = static_cast<int32_t>(items_.size());
    sortedValid_ = false;
    showingSubscribed_ = result.subscribed;
    if (model_)
        model_->setCacheState(std::move(result.cacheState));
    refresh();
    // The user may have chosen a row while the listing ran.
    if (selected)
        selectTitle(selectedTitle);
    emit listingFinished(true);
}

void ThreadTable::selectTitle(const std::string& title) {
    for (int row = 0; row < model_->rowCount(); ++row)
        if (model_->item(row)->title() == title) {
            table_->selectRow(row);
            return;
        }
}

void ThreadTable::updateCacheState() {
    if (!ThreadCache::hasInstance())
        return;
    // One read at a time; changes meanwhile ask for one more afterwards.
    if (readingCache_) {
        cacheStale_ = true;
        return;
    }
    readingCache_ = true;
    ThreadCache* cache = &ThreadCache::instance();
    using State = std::shared_ptr<const ThreadCacheState>;
    runInBackground<State>(
        this,
        [cache]() -> State {
            try {
                return std::make_shared<const ThreadCacheState>(ThreadCacheState::read(*cache));
            } catch (const std::exception&) {
                // The marks stay as they are; the next listing reports a broken cache.
                return nullptr;
            }
        },
        [this](State state) {
            readingCache_ = false;
            if (state && model_)
                model_->setCacheState(std::move(state));
            if (cacheStale_) {
                cacheStale_ = false;
                updateCacheState();
            }
        });
}

void ThreadTable::addThread(const ThreadResponseEvent& event) {
    items_.push_back(std::make_shared<const ThreadItem>(event, nextNumber()));
    sortedValid_ = false;
}

void ThreadTable::setListingDeadline(int seconds) {
    listingDeadlineSeconds = seconds;
}

int ThreadTable::listingDeadline() {
    return listingDeadlineSeconds;
}

} // namespace bryndle
