#include "browse/tabbrowser.h"

#include "browse/address.h"
#include "browse/browserchildwindow.h"
#include "browse/browsertabpage.h"
#include "browse/commandlistener.h"
#include "browse/favorites.h"
#include "browse/tabfolder.h"
#include "browse/threadregister.h"
#include "browse/webprofile.h"
#include "config/configuration.h"
#include "foundation/variant.h"
#include "node/encodetitle.h"
#include "shell/icon.h"
#include "shell/newthreadeditdialog.h"
#include "shell/onelineeditdialog.h"
#include "store/schema.h"
#include "toolkit/messagebox.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace bryndle {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QIcon icon(const char* name) {
    return QIcon(getIcon(name));
}

// The first child's share of the sash in percent; the fallback while the sash has no size
// (hidden, or not laid out yet).
int firstWeight(const QSplitter* sash, int fallback) {
    if (!sash || sash->count() < 2)
        return fallback;
    const QList<int> sizes = sash->sizes();
    const int sum = sizes.value(0) + sizes.value(1);
    if (sum <= 0)
        return fallback;
    // Rounded: the sizes are whole pixels, and weights set a moment ago must read back the same.
    return static_cast<int>(100.0 * sizes.value(0) / sum + 0.5);
}

void setWeights(QSplitter* sash, int first) {
    if (!sash || sash->count() < 2)
        return;
    // The splitter takes sizes in pixels: the weights are shares of the space it has.
    const QList<int> sizes = sash->sizes();
    int total = 0;
    for (int size : sizes)
        total += size;
    if (total <= 0)
        total = 1000;
    const int firstSize = static_cast<int>(static_cast<int64_t>(total) * first / 100);
    sash->setSizes({firstSize, total - firstSize});
}

int percent(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, 100));
}

} // namespace

TabBrowser::TabBrowser(QWidget* parent) : ControlBase("TabBrowser"), top_(new QWidget(parent)) {
    setParent(top_);
    top_->setObjectName(QStringLiteral("tabBrowser"));
    innerSash_ = qobject_cast<QSplitter*>(parent);
    outerSash_ = parent ? qobject_cast<QSplitter*>(parent->parentWidget()) : nullptr;
    if (innerSash_ && innerSash_->indexOf(top_) < 0)
        innerSash_->addWidget(top_);
    createControls();
    loadState();
}

TabBrowser::~TabBrowser() {
    for (; registering_ > 0; --registering_)
        QApplication::restoreOverrideCursor();
}

void TabBrowser::runAction(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        MessageBox::warning(qs(error.what()), top_->window());
    }
}

// ---- construction ---------------------------------------------------------------------------

void TabBrowser::createControls() {
    auto* grid = new QGridLayout(top_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    createMenus();
    createToolBars(top_);

    address_ = new QComboBox(top_);
    address_->setObjectName(QStringLiteral("address"));
    address_->setEditable(true);
    address_->setInsertPolicy(QComboBox::NoInsert);
    address_->setMaxVisibleItems(20);
    address_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Long addresses in the list must not widen the pane.
    address_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    address_->setMinimumContentsLength(16);
    commandListener_ = new CommandListener(this, this);
    address_->lineEdit()->installEventFilter(commandListener_);
    address_->lineEdit()->installEventFilter(this);
    address_->installEventFilter(this);

    grid->addWidget(firstBar_, 0, 0, 1, 2);
    grid->addWidget(secondBar_, 0, 2, 1, 3);
    grid->addWidget(address_, 0, 5, 1, 2);
    grid->setColumnStretch(5, 1);
    grid->setColumnStretch(6, 1);

    folder_ = new TabFolder(top_);
    grid->addWidget(folder_, 1, 0, 1, 7);
    grid->setRowStretch(1, 1);
    folder_->installEventFilter(this);
    folder_->tabBar()->installEventFilter(this);
    connect(folder_, &QTabWidget::currentChanged, this, [this] { onTabSelected(); });

    statusLabel_ = new QLabel(top_);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setTextFormat(Qt::PlainText);
    statusLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette palette = statusLabel_->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    statusLabel_->setPalette(palette);
    grid->addWidget(statusLabel_, 2, 0, 1, 7);
    connect(&WebProfile::instance(), &WebProfile::downloadStatus, statusLabel_, &QLabel::setText);

    createKeys();
    updateToolBar();
}

QAction* TabBrowser::addAction(QToolBar* bar, const QString& text, const QString& toolTip,
                               const char* image, void (TabBrowser::*operation)()) {
    QAction* action = menuAction(text, image, operation);
    action->setToolTip(toolTip);
    bar->addAction(action);
    return action;
}

QAction* TabBrowser::menuAction(const QString& text, const char* image,
                                void (TabBrowser::*operation)()) {
    auto* action = new QAction(text, top_);
    if (image)
        action->setIcon(icon(image));
    if (operation)
        connect(action, &QAction::triggered, this,
                [this, operation] { runAction([this, operation] { (this->*operation)(); }); });
    return action;
}

void TabBrowser::createToolBars(QWidget* top) {
    firstBar_ = new QToolBar(top);
    firstBar_->setObjectName(QStringLiteral("firstToolBar"));
    firstBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    newThreadsItem_ = addAction(firstBar_, QStringLiteral("新着"),
                                QStringLiteral("新着スレッド一覧を表示"), nullptr, nullptr);
    subscribedThreadsItem_ =
        addAction(firstBar_, QStringLiteral("一覧"), QStringLiteral("購読中スレッド一覧を表示"),
                  nullptr, nullptr);
    auto* radio = new QActionGroup(this);
    for (QAction* item : {newThreadsItem_, subscribedThreadsItem_}) {
        item->setCheckable(true);
        radio->addAction(item);
    }
    firstBar_->addSeparator();
    createThreadItem_ =
        addAction(firstBar_, QStringLiteral("新規"), QStringLiteral("新規スレッドを作成"), nullptr,
                  &TabBrowser::createThread);
    firstBar_->addSeparator();

    secondBar_ = new QToolBar(top);
    secondBar_->setObjectName(QStringLiteral("secondToolBar"));
    secondBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    sideToggle_ = addAction(secondBar_, {}, QStringLiteral("サイドウィンドウを隠す"), "folder",
                            &TabBrowser::toggleSideWindow);
    // Written with a large イ until the first toggle, as the item always was.
    topToggle_ = addAction(secondBar_, {}, QStringLiteral("トップウインドウを隠す"), "table",
                           &TabBrowser::toggleTopWindow);
    for (QAction* toggle : {sideToggle_, topToggle_}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    secondBar_->addSeparator();
    closeItem_ = addAction(secondBar_, QStringLiteral("閉じる"),
                           QStringLiteral("現在開いているページを閉じる"), nullptr,
                           &TabBrowser::closeCurrentTab);
    // White is the image's transparent colour.
    QPixmap closeImage = getIcon("page_delete");
    closeImage.setMask(closeImage.createMaskFromColor(Qt::white));
    closeItem_->setIcon(QIcon(closeImage));
    closeItem_->setObjectName(QStringLiteral("closeItem"));
    closeItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    secondBar_->addSeparator();
    addAction(secondBar_, {}, QStringLiteral("ゲートウェイを開く"), "saku",
              &TabBrowser::openGateway)
        ->setObjectName(QStringLiteral("gatewayItem"));
    secondBar_->addSeparator();
    favoritesItem_ =
        addAction(secondBar_, {}, QStringLiteral("現在開いているページをお気に入りへ登録"),
                  "icon_favourites", &TabBrowser::onFavoritesItem);
    homeItem_ = addAction(secondBar_, {}, QStringLiteral("ホームを開く"), "icon_home",
                          &TabBrowser::onHomeItem);
    for (auto [item, menu] : {std::pair{favoritesItem_, organizeMenu_}, {homeItem_, homeMenu_}}) {
        auto* button = qobject_cast<QToolButton*>(secondBar_->widgetForAction(item));
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->setMenu(menu);
    }
    secondBar_->addSeparator();
    backItem_ = addAction(secondBar_, {}, QStringLiteral("ひとつ前のページへ戻る"), "arrow_left",
                          &TabBrowser::back);
    forwardItem_ = addAction(secondBar_, {}, QStringLiteral("ひとつ先のページへ進む"),
                             "arrow_right", &TabBrowser::forward);
    refreshItem_ = addAction(secondBar_, {}, QStringLiteral("現在開いているページを更新"),
                             "action_refresh", &TabBrowser::refresh);
    stopItem_ =
        addAction(secondBar_, {}, QStringLiteral("現在開こうとしているページの通信処理を中止"),
                  "action_stop", &TabBrowser::stop);

    const std::pair<QAction*, const char*> names[] = {
        {newThreadsItem_, "newThreadsItem"},
        {subscribedThreadsItem_, "subscribedThreadsItem"},
        {createThreadItem_, "createThreadItem"},
        {sideToggle_, "sideToggle"},
        {topToggle_, "topToggle"},
        {favoritesItem_, "favoritesItem"},
        {homeItem_, "homeItem"},
        {backItem_, "backItem"},
        {forwardItem_, "forwardItem"},
        {refreshItem_, "refreshItem"},
        {stopItem_, "stopItem"}};
    for (const auto& [item, name] : names)
        item->setObjectName(QLatin1String(name));
    backItem_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    forwardItem_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    refreshItem_->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
    stopItem_->setShortcut(QKeySequence(Qt::Key_Escape));
}

void TabBrowser::createMenus() {
    QAction* close =
        menuAction(QStringLiteral("閉じる"), "page_delete", &TabBrowser::closeSelectedTab);
    QAction* closeAll =
        menuAction(QStringLiteral("タブを全て閉じる"), "delete", &TabBrowser::closeAllTabs);
    QAction* bookmark =
        menuAction(QStringLiteral("ブックマークへ追加"), "star", &TabBrowser::addBookmark);
    QAction* systemFavorite = menuAction(QStringLiteral("IEのお気に入りへ追加"), "folder_star",
                                         &TabBrowser::addToSystemFavorites);

    threadTabMenu_ = new QMenu(top_);
    threadTabMenu_->setObjectName(QStringLiteral("threadTabMenu"));
    threadTabMenu_->addAction(close);
    threadTabMenu_->addSeparator();
    threadTabMenu_->addAction(closeAll);
    threadTabMenu_->addSeparator();
    threadTabMenu_->addAction(menuAction(QStringLiteral("ゲートウェイを開く"), "monitor",
                                         &TabBrowser::openThreadGateway));
    threadTabMenu_->addSeparator();
    threadTabMenu_->addAction(bookmark);
    threadTabMenu_->addSeparator();
    threadTabMenu_->addAction(
        menuAction(QStringLiteral("タイトルをコピー"), nullptr, &TabBrowser::copyTitle));
    threadTabMenu_->addAction(
        menuAction(QStringLiteral("URLを新月形式でコピー"), nullptr, &TabBrowser::copyWikiLink));
    threadTabMenu_->addAction(menuAction(QStringLiteral("ゲートウェイのURLをコピー"), nullptr,
                                         &TabBrowser::copyGatewayUrl));
    threadTabMenu_->addAction(menuAction(QStringLiteral("タイトルとゲートウェイのURLをコピー"),
                                         nullptr, &TabBrowser::copyTitleAndGatewayUrl));
    threadTabMenu_->addAction(
        menuAction(QStringLiteral("URLをBryndle形式でコピー"), nullptr, &TabBrowser::copyLocation));

    webTabMenu_ = new QMenu(top_);
    webTabMenu_->setObjectName(QStringLiteral("webTabMenu"));
    webTabMenu_->addAction(close);
    webTabMenu_->addSeparator();
    webTabMenu_->addAction(closeAll);
    webTabMenu_->addSeparator();
    webTabMenu_->addAction(bookmark);
    webTabMenu_->addAction(systemFavorite);
    webTabMenu_->addSeparator();
    webTabMenu_->addAction(
        menuAction(QStringLiteral("タイトルとURLをコピー"), nullptr, &TabBrowser::copyTitleAndUrl));
    webTabMenu_->addAction(
        menuAction(QStringLiteral("URLをコピー"), nullptr, &TabBrowser::copyUrl));

    addFavoritesMenu_ = new QMenu(top_);
    addFavoritesMenu_->setObjectName(QStringLiteral("addFavoritesMenu"));
    addFavoritesMenu_->addAction(bookmark);
    addFavoritesMenu_->addAction(systemFavorite);

    organizeMenu_ = new QMenu(top_);
    organizeMenu_->setObjectName(QStringLiteral("organizeMenu"));
    organizeMenu_->addAction(
        menuAction(QStringLiteral("ブックマークを整理"), "folder", &TabBrowser::organizeBookmarks));
    organizeMenu_->addAction(menuAction(QStringLiteral("IEのお気に入りを整理"), "folder_star",
                                        &TabBrowser::organizeSystemFavorites));

    homeMenu_ = new QMenu(top_);
    homeMenu_->setObjectName(QStringLiteral("homeMenu"));
    homeMenu_->addAction(menuAction(QStringLiteral("変更"), "cog", &TabBrowser::changeHomePage));
}

void TabBrowser::createKeys() {
    auto* focusAddress = new QAction(top_);
    focusAddress->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::Key_F6)});
    connect(focusAddress, &QAction::triggered, this, [this] {
        address_->setFocus(Qt::ShortcutFocusReason);
        address_->lineEdit()->selectAll();
        addressFocus_ = true;
    });
    auto* nextTab = new QAction(top_);
    nextTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
    connect(nextTab, &QAction::triggered, this, [this] { selectTab(1); });
    auto* previousTab = new QAction(top_);
    previousTab->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});
    connect(previousTab, &QAction::triggered, this, [this] { selectTab(-1); });
    // Active wherever the focus is inside the tab browser, the web pages included.
    for (QAction* key : {focusAddress, nextTab, previousTab, closeItem_, backItem_, forwardItem_,
                         refreshItem_, stopItem_}) {
        key->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        top_->addAction(key);
    }
}

void TabBrowser::selectTab(int step) {
    const int count = folder_->count();
    if (count > 1)
        folder_->setCurrentIndex((folder_->currentIndex() + step + count) % count);
}

// ---- pages ----------------------------------------------------------------------------------

BrowserTabPage* TabBrowser::open(const QString& location) {
    BrowserTabPage* page = BrowserTabPage::createPage(folder_, location, 0);
    attachPage(page);
    page->open(location);
    return page;
}

void TabBrowser::attachPage(BrowserTabPage* page) {
    page->setData(QStringLiteral("ADDRESS"), page->getLocation());
    folder_->setPageAt(page->getTabItem(), page);
    page->setAddressField(address_);
    page->setStatusLabel(statusLabel_);
    page->setNewPageHandler([this](BrowserTabPage* created) { attachPage(created); });
    page->setStateChangedHandler([this] { updateToolBar(); });
}

BrowserTabPage* TabBrowser::openOrActivate(const QString& location) {
    for (int i = 0; i < folder_->count(); ++i) {
        BrowserTabPage* page = folder_->pageAt(i);
        if (page && page->compareLocation(location) == 0) {
            folder_->setCurrentIndex(i);
            page->refresh();
            updateToolBar();
            return page;
        }
    }
    return open(location);
}

BrowserTabPage* TabBrowser::currentPage() const {
    return folder_ ? folder_->selectedPage() : nullptr;
}

void TabBrowser::onTabSelected() {
    if (BrowserTabPage* page = currentPage())
        address_->setEditText(page->getLocation());
    // Also when the last tab has gone: nothing is left to stop or go back in.
    updateToolBar();
}

void TabBrowser::updateToolBar() {
    BrowserTabPage* page = currentPage();
    if (!page) {
        forwardItem_->setEnabled(false);
        backItem_->setEnabled(false);
        stopItem_->setEnabled(false);
        return;
    }
    forwardItem_->setEnabled(page->isForwardEnabled());
    backItem_->setEnabled(page->isBackEnabled());
    const bool loading = page->isLoading();
    stopItem_->setEnabled(loading);
    refreshItem_->setEnabled(!loading);
}

void TabBrowser::forward() {
    if (BrowserTabPage* page = currentPage())
        page->forward();
}

void TabBrowser::back() {
    if (BrowserTabPage* page = currentPage())
        page->back();
}

void TabBrowser::refresh() {
    if (BrowserTabPage* page = currentPage())
        page->refresh();
}

void TabBrowser::stop() {
    if (BrowserTabPage* page = currentPage())
        page->stop();
}

void TabBrowser::closeSelectedTab() {
    if (folder_->currentIndex() >= 0)
        folder_->disposeItem(folder_->currentIndex());
}

void TabBrowser::closeCurrentTab() {
    closeSelectedTab();
}

void TabBrowser::closeAllTabs() {
    folder_->disposeAll();
}

// ---- address field --------------------------------------------------------------------------

void TabBrowser::addHistory(const QString& text) {
    if (!isHistoryEntry(text))
        return;
    QStringList entries{text};
    for (const QString& entry : std::as_const(history_))
        if (entry != text && entries.size() < MaxHistory)
            entries.append(entry);
    history_ = entries;
    setAddressItems(history_);
    address_->setCurrentIndex(0);
}

void TabBrowser::setAddressItems(const QStringList& items) {
    const QSignalBlocker quiet(address_);
    address_->clear();
    address_->addItems(items);
}

void TabBrowser::onAddressFocusOut() {
    addressFocus_ = false;
}

void TabBrowser::onAddressMouseDown() {
    // The first click into the field takes the whole address, ready to be typed over.
    address_->setFocus(Qt::MouseFocusReason);
    address_->lineEdit()->selectAll();
    addressFocus_ = true;
}

bool TabBrowser::eventFilter(QObject* watched, QEvent* event) {
    // The field's text hands its focus to the combo box: focus events arrive there.
    if (address_ && watched == address_) {
        if (event->type() == QEvent::FocusOut)
            onAddressFocusOut();
        return false;
    }
    if (address_ && watched == address_->lineEdit()) {
        if (event->type() == QEvent::MouseButtonPress && !addressFocus_) {
            onAddressMouseDown();
            return true;
        }
        return false;
    }
    if (folder_ && (watched == folder_ || watched == folder_->tabBar())) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton &&
            watched == folder_->tabBar()) {
            // The menu acts on the selected tab: a right click selects the tab it is on.
            const int index = folder_->tabBar()->tabAt(mouse->position().toPoint());
            if (index >= 0)
                folder_->setCurrentIndex(index);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            onTabMouseUp(mouse->button(), mouse->globalPosition().toPoint());
        }
    }
    return false;
}

void TabBrowser::onTabMouseUp(Qt::MouseButton button, const QPoint& globalPosition) {
    if (button != Qt::RightButton)
        return;
    BrowserTabPage* page = currentPage();
    if (!page)
        return;
    QMenu* menu = page->kind() == QLatin1String("WebBrowserTabPage") ? webTabMenu_ : threadTabMenu_;
    menu->popup(globalPosition);
}

// ---- gateway and copying --------------------------------------------------------------------

QString TabBrowser::gatewayUrl(const QString& title) {
    const Configuration& config = Configuration::instance();
    return QStringLiteral("http://%1:%2/thread.cgi/%3")
        .arg(qs(config.nodeHost()), QString::number(config.nodePort()),
             qs(encodeTitle(title.toStdString())));
}

void TabBrowser::openGateway() {
    const Configuration& config = Configuration::instance();
    if (config.nodePort() == 80)
        open(QStringLiteral("http://%1/").arg(qs(config.nodeHost())));
    else
        open(QStringLiteral("http://%1:%2/")
                 .arg(qs(config.nodeHost()), QString::number(config.nodePort())));
}

void TabBrowser::openThreadGateway() {
    if (BrowserTabPage* page = currentPage())
        open(gatewayUrl(page->getTitle()));
}

void TabBrowser::copyTitle() {
    if (BrowserTabPage* page = currentPage())
        copyToClipboard(page->getTitle());
}

void TabBrowser::copyWikiLink() {
    if (BrowserTabPage* page = currentPage())
        copyToClipboard(QStringLiteral("[[%1]]").arg(page->getTitle()));
}

void TabBrowser::copyLocation() {
    if (BrowserTabPage* page = currentPage()) {
        Schema location(page->getTitle().toStdString());
        location.method = "get";
        copyToClipboard(qs(location.toLocation()));
    }
}

void TabBrowser::copyGatewayUrl() {
    if (BrowserTabPage* page = currentPage())
        copyToClipboard(gatewayUrl(page->getTitle()));
}

void TabBrowser::copyTitleAndGatewayUrl() {
    if (BrowserTabPage* page = currentPage())
        copyToClipboard(page->getTitle() + QLatin1String("\r\n") + gatewayUrl(page->getTitle()));
}

void TabBrowser::copyTitleAndUrl() {
    if (BrowserTabPage* page = currentPage())
        copyToClipboard(page->getTitle() + QLatin1String("\r\n") + page->getLocation());
}

void TabBrowser::copyUrl() {
    if (BrowserTabPage* page = currentPage())
        copyToClipboard(page->getLocation());
}

// ---- side and top windows, state ------------------------------------------------------------

void TabBrowser::toggle(QSplitter* sash, QAction* item, int* weight, const QString& hideText,
                        const QString& showText) {
    const bool usable = sash && sash->count() >= 2;
    if (item->isChecked()) {
        if (usable) {
            sash->widget(0)->setVisible(true);
            setWeights(sash, *weight);
        }
        item->setToolTip(hideText);
    } else {
        if (usable) {
            *weight = firstWeight(sash, *weight);
            setWeights(sash, 0);
            sash->widget(0)->setVisible(false);
        }
        item->setToolTip(showText);
    }
}

void TabBrowser::toggleSideWindow() {
    toggle(outerSash_, sideToggle_, &sideWeight_, QStringLiteral("サイドウィンドウを隠す"),
           QStringLiteral("サイドウィンドウを表示"));
}

void TabBrowser::toggleTopWindow() {
    toggle(innerSash_, topToggle_, &topWeight_, QStringLiteral("トップウィンドウを隠す"),
           QStringLiteral("トップウィンドウを表示"));
    const bool shown = topToggle_->isChecked();
    newThreadsItem_->setEnabled(shown);
    subscribedThreadsItem_->setEnabled(shown);
    createThreadItem_->setEnabled(shown && registering_ == 0);
}

void TabBrowser::loadState() {
    try {
        const VArrayPtr record = load();
        if (record->size() != 3)
            return;
        const auto values = record->values();
        topWeight_ = percent(values[0]->toLong());
        sideWeight_ = percent(values[1]->toLong());
        setWeights(innerSash_, topWeight_);
        setWeights(outerSash_, sideWeight_);
        QStringList entries;
        for (const QString& entry :
             qs(values[2]->toString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (isHistoryEntry(entry) && !entries.contains(entry) && entries.size() < MaxHistory)
                entries.append(entry);
        history_ = entries;
        if (!history_.isEmpty())
            setAddressItems(history_);
    } catch (const std::exception&) {
        // Nothing stored yet, or a record that does not read: the default layout.
        sideWeight_ = 20;
        topWeight_ = 25;
        setWeights(outerSash_, sideWeight_);
        setWeights(innerSash_, topWeight_);
    }
}

void TabBrowser::saveState() {
    const int top = topToggle_->isChecked() ? firstWeight(innerSash_, topWeight_) : topWeight_;
    const int side = sideToggle_->isChecked() ? firstWeight(outerSash_, sideWeight_) : sideWeight_;
    save(*makeArray(int64_t{top}, int64_t{side}, history_.join(QLatin1Char('\n')).toStdString()));
}

void TabBrowser::onExit() {
    // Pop-ups and post windows go first, their finalizers unrun: nothing refreshes or lists
    // again while the main window closes.
    BrowserChildWindow::closeAll();
    saveState();
}

// ---- new thread -----------------------------------------------------------------------------

void TabBrowser::createThread() {
    NewThreadEditDialog dialog(QStringLiteral("新規スレッド作成"), QStringLiteral("スレッド名"),
                               256);
    dialog.setButtonText(QStringLiteral("作成"));
    if (dialog.open(underItem(createThreadItem_)) != OneLineEditDialog::Ok)
        return;
    const QString name = dialog.getText();
    if (name.isEmpty())
        return;
    registerThread(name);
}

void TabBrowser::registerThread(const QString& name) {
    ++registering_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    createThreadItem_->setEnabled(false);
    ThreadRegister(name, this).start();
}

void TabBrowser::onThreadRegistered(const QString& name, const QString& error) {
    if (registering_ > 0) {
        --registering_;
        QApplication::restoreOverrideCursor();
    }
    createThreadItem_->setEnabled(topToggle_->isChecked() && registering_ == 0);
    runAction([&] {
        if (!error.isEmpty()) {
            MessageBox::warning(
                QStringLiteral("スレッド「%1」を作成できませんでした: %2").arg(name, error),
                top_->window());
            return;
        }
        Schema location(name.toStdString());
        location.method = "get";
        location.mode = 1;
        location.items = static_cast<uint32_t>(Configuration::instance().recordsPerPage());
        openOrActivate(qs(location.toLocation()));
    });
}

// ---- home page and favourites ---------------------------------------------------------------

QPoint TabBrowser::underItem(QAction* item) const {
    for (QToolBar* bar : {firstBar_, secondBar_})
        if (QWidget* button = bar ? bar->widgetForAction(item) : nullptr)
            return button->mapToGlobal(QPoint(0, button->height()));
    return QCursor::pos();
}

void TabBrowser::onHomeItem() {
    open(qs(Configuration::instance().homePage()));
}

void TabBrowser::changeHomePage() {
    homeMenu_->hide();
    OneLineEditDialog dialog(QStringLiteral("ホームページ変更"), QStringLiteral("アドレス"), 256);
    Configuration& config = Configuration::instance();
    dialog.setText(qs(config.homePage()));
    if (dialog.open(underItem(homeItem_)) == OneLineEditDialog::Ok)
        config.setHomePage(dialog.getText().toStdString());
}

void TabBrowser::onFavoritesItem() {
    BrowserTabPage* page = currentPage();
    if (!page)
        return;
    if (page->kind() == QLatin1String("WebBrowserTabPage"))
        addFavoritesMenu_->popup(underItem(favoritesItem_));
    else
        addBookmark();
}

void TabBrowser::addBookmark() {
    if (BrowserTabPage* page = currentPage())
        addFavoriteFile(top_->window(), qs(Configuration::instance().bookmarkDir()),
                        page->getLocation(), page->getTitle());
}

void TabBrowser::addToSystemFavorites() {
    if (BrowserTabPage* page = currentPage())
        addFavoriteFile(top_->window(), systemFavoritesFolder(), page->getLocation(),
                        page->getTitle());
}

void TabBrowser::organizeBookmarks() {
    organizeFavoriteFolder(top_->window(), qs(Configuration::instance().bookmarkDir()));
}

void TabBrowser::organizeSystemFavorites() {
    organizeFavoriteFolder(top_->window(), systemFavoritesFolder());
}

void TabBrowser::addNewThreadsHandler(std::function<void()> handler) {
    connect(newThreadsItem_, &QAction::triggered, this,
            [this, handler = std::move(handler)] { runAction(handler); });
}

void TabBrowser::addSubscribedThreadsHandler(std::function<void()> handler) {
    connect(subscribedThreadsItem_, &QAction::triggered, this,
            [this, handler = std::move(handler)] { runAction(handler); });
}

} // namespace bryndle
