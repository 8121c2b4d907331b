#include "browse/shingetsubrowserpage.h"

#include "browse/locationkinds.h"
#include "browse/postfinalizer.h"
#include "browse/settingsmenu.h"
#include "browse/shingetsubrowser.h"
#include "browse/tabfolder.h"
#include "browse/threadpagewindows.h"
#include "browse/threadpaging.h"
#include "config/configuration.h"
#include "shell/icon.h"
#include "shell/recordsperpageeditdialog.h"
#include "shell/saveconfiguration.h"
#include "store/schema.h"
#include "toolkit/filedialog.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWebEngineSettings>

namespace bryndle {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

uint32_t configuredItems() {
    return static_cast<uint32_t>(std::max(Configuration::instance().recordsPerPage(), 1));
}

// Suffixes the engine shows as documents of their own (markup that could load or run things):
// such attachments are saved, not shown.
bool isMarkupSuffix(const QString& suffix) {
    static const QStringList markup{"htm", "html", "xhtml", "xht", "shtml", "svg", "svgz",
                                    "xml", "xsl",  "xslt",  "mht", "mhtml", "php", "xbl"};
    return markup.contains(suffix.toLower());
}

} // namespace

ShingetsuBrowserPage::ShingetsuBrowserPage(const QString&, TabFolder* folder, int style)
    : BrowserTabPage(folder, style) {
    construct();
    postFinalizer_ = std::make_shared<PostFinalizer>(this);
    ThreadPageWindows::attach(this);
}

ShingetsuBrowserPage::~ShingetsuBrowserPage() = default;

QString ShingetsuBrowserPage::latestToolTip(int records) {
    return QStringLiteral("最新%1件を表示").arg(records);
}

// ---- contents -------------------------------------------------------------------------------

void ShingetsuBrowserPage::createContents(QWidget* contents) {
    auto* grid = new QGridLayout(contents);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);

    titleLabel_ = new QLabel(contents);
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    titleLabel_->setTextFormat(Qt::PlainText);
    titleLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont font(QStringLiteral("IPAGothic"), 10, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    titleLabel_->setFont(font);
    // The title colours left to right, fading into the background from the middle on.
    const QColor title = titleLabel_->palette().color(QPalette::Active, QPalette::Highlight);
    titleLabel_->setStyleSheet(
        QStringLiteral("QLabel { color: palette(highlighted-text); padding: 2px 6px;"
                       " background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 %1,"
                       " stop:0.5 %2, stop:1 transparent); }")
            .arg(title.name(), title.lighter(140).name()));
    grid->addWidget(titleLabel_, 0, 0);
    grid->setColumnStretch(0, 1);

    toolBar_ = new QToolBar(contents);
    toolBar_->setObjectName(QStringLiteral("pagingToolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->addSeparator();
    settingsItem_ = addItem(QStringLiteral("設定"), QStringLiteral("設定"), "settingsItem",
                            &ShingetsuBrowserPage::showSettingsMenu);
    toolBar_->addSeparator();
    addItem(QStringLiteral("投稿"), QStringLiteral("投稿"), "postItem",
            &ShingetsuBrowserPage::post);
    toolBar_->addSeparator();
    addItem(QStringLiteral("1-"), QStringLiteral("１ページ目を表示"), "firstPageItem",
            &ShingetsuBrowserPage::showFirstPage);
    addItem(QStringLiteral("前"), QStringLiteral("ひとつ前のページを表示"), "previousPageItem",
            &ShingetsuBrowserPage::showPreviousPage);
    addItem(QStringLiteral("次"), QStringLiteral("次のページを表示"), "nextPageItem",
            &ShingetsuBrowserPage::showNextPage);
    toolBar_->addSeparator();
    addItem(QStringLiteral("全件"), QStringLiteral("すべて表示"), "allItem",
            &ShingetsuBrowserPage::showAll);
    toolBar_->addSeparator();
    latestItem_ =
        addItem(QStringLiteral("最新"), latestToolTip(Configuration::instance().recordsPerPage()),
                "latestItem", &ShingetsuBrowserPage::showLatest);
    grid->addWidget(toolBar_, 0, 1);

    browser_ = new ShingetsuBrowser(contents, getStyle(), this);
    grid->addWidget(browser_, 1, 0, 1, 2);
    grid->setRowStretch(1, 1);
    connect(browser_, &BrowserControl::locationChanging, this,
            &ShingetsuBrowserPage::onLocationChanging);
    connect(browser_, &BrowserControl::locationChanged, this,
            &ShingetsuBrowserPage::onLocationChanged);
    connect(browser_, &BrowserControl::statusTextChanged, this,
            &ShingetsuBrowserPage::onStatusText);
    connect(browser_, &BrowserControl::newWindow, this, &ShingetsuBrowserPage::onNewWindow);

    SettingsMenu::ensure(getTabFolder() ? getTabFolder()->window() : nullptr);
}

QAction* ShingetsuBrowserPage::addItem(const QString& text, const QString& toolTip,
                                       const char* name,
                                       void (ShingetsuBrowserPage::*operation)()) {
    QAction* item = toolBar_->addAction(text);
    item->setToolTip(toolTip);
    item->setObjectName(QLatin1String(name));
    connect(item, &QAction::triggered, this, [this, operation] { (this->*operation)(); });
    return item;
}

QPoint ShingetsuBrowserPage::underItem(QAction* item) const {
    QWidget* button = toolBar_ ? toolBar_->widgetForAction(item) : nullptr;
    if (!button)
        return toolBar_ ? toolBar_->mapToGlobal(QPoint(0, toolBar_->height())) : QPoint();
    return button->mapToGlobal(QPoint(0, button->height()));
}

// ---- navigation -----------------------------------------------------------------------------

void ShingetsuBrowserPage::open(const QString& location) {
    if (browser_)
        browser_->navigate(location);
}

QString ShingetsuBrowserPage::getLocation() const {
    return browser_ ? browser_->location() : QString();
}

void ShingetsuBrowserPage::refresh() {
    const QString location = getLocation();
    if (!location.isEmpty())
        open(location);
}

void ShingetsuBrowserPage::forward() {
    if (browser_)
        browser_->forward();
}

void ShingetsuBrowserPage::back() {
    if (browser_)
        browser_->back();
}

bool ShingetsuBrowserPage::isForwardEnabled() const {
    return browser_ && browser_->isForwardEnabled();
}

bool ShingetsuBrowserPage::isBackEnabled() const {
    return browser_ && browser_->isBackEnabled();
}

int ShingetsuBrowserPage::compareLocation(const QString& location) const {
    const QString own = getLocation();
    if (isThreadLocation(location) && isThreadLocation(own)) {
        try {
            const std::string theirs = Schema::parse(location.toStdString()).title;
            const std::string ours = Schema::parse(own.toStdString()).title;
            return ours.compare(theirs);
        } catch (const std::exception&) {
            // A location that does not parse compares as text.
        }
    }
    return own.compare(location);
}

CBrowser* ShingetsuBrowserPage::getBrowser() const {
    return browser_;
}

void ShingetsuBrowserPage::dispose() {
    if (isDisposed())
        return;
    if (browser_) {
        browser_->disconnect(this);
        browser_->dispose();
        browser_ = nullptr;
    }
    BrowserTabPage::dispose();
}

void ShingetsuBrowserPage::clearView() {
    if (browser_)
        browser_->setText(QString());
}

// ---- paging ---------------------------------------------------------------------------------

void ShingetsuBrowserPage::openSchema(const Schema& schema) {
    open(qs(schema.toLocation()));
}

namespace {

// The page's location parsed; nothing when it shows no thread.
std::optional<Schema> currentSchema(const QString& location) {
    if (!location.startsWith(QLatin1String("shingetsu://")))
        return std::nullopt;
    try {
        return Schema::parse(location.toStdString());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

void ShingetsuBrowserPage::showFirstPage() {
    if (auto current = currentSchema(getLocation()))
        openSchema(ThreadPaging::firstPage(*current, configuredItems()));
}

void ShingetsuBrowserPage::showPreviousPage() {
    if (!browser_)
        return;
    if (auto current = currentSchema(getLocation()))
        if (auto previous =
                ThreadPaging::previousPage(*current, browser_->getRecordCount(), configuredItems()))
            openSchema(*previous);
}

void ShingetsuBrowserPage::showNextPage() {
    if (!browser_)
        return;
    if (auto current = currentSchema(getLocation()))
        openSchema(ThreadPaging::nextPage(*current, browser_->getRecordCount(), configuredItems()));
}

void ShingetsuBrowserPage::showAll() {
    if (auto current = currentSchema(getLocation()))
        openSchema(ThreadPaging::all(*current));
}

void ShingetsuBrowserPage::showLatest() {
    if (auto current = currentSchema(getLocation()))
        openSchema(ThreadPaging::latest(*current, configuredItems()));
}

// ---- settings -------------------------------------------------------------------------------

void ShingetsuBrowserPage::showSettingsMenu() {
    SettingsMenu& menu = SettingsMenu::ensure(getTabFolder() ? getTabFolder()->window() : nullptr);
    menu.popup(this, underItem(settingsItem_));
}

void ShingetsuBrowserPage::selectTheme(const QString& name) {
    Configuration::instance().setThemeName(name.toStdString());
    saveConfiguration();
    if (BrowserTabPage* selected = selectedPage())
        selected->refresh();
}

void ShingetsuBrowserPage::changeItemsPerPage() {
    if (SettingsMenu* menu = SettingsMenu::existing())
        menu->hide();
    RecordsPerPageEditDialog dialog;
    Configuration& config = Configuration::instance();
    dialog.setText(QString::number(config.recordsPerPage()));
    if (dialog.open(underItem(settingsItem_)) != RecordsPerPageEditDialog::Ok)
        return;
    const std::optional<int32_t> records = dialog.value();
    if (!records)
        return;
    config.setRecordsPerPage(*records);
    if (latestItem_)
        latestItem_->setToolTip(latestToolTip(*records));
    saveConfiguration();
}

// ---- title and image ------------------------------------------------------------------------

void ShingetsuBrowserPage::setTitle(const QString& text) {
    setTitleLabel(text);
    BrowserTabPage::setTitle(text);
}

void ShingetsuBrowserPage::setTitleLabel(const QString& text) {
    titleText_ = text;
    if (titleLabel_)
        titleLabel_->setText(text);
}

void ShingetsuBrowserPage::setTitleSuffix(const QString& suffix) {
    if (titleLabel_)
        titleLabel_->setText(QStringLiteral("(%1) %2").arg(suffix, titleText_));
}

void ShingetsuBrowserPage::toggleTransmitIcon() {
    const int old = iconCounter_++;
    const char* name = old % 2 ? "transmit_blue" : "custom_transmit_dark_blue";
    if (hasIcon(name))
        setImage(getIcon(name));
}

// ---- posting --------------------------------------------------------------------------------

void ShingetsuBrowserPage::post() {
    auto current = currentSchema(getLocation());
    if (!current)
        return;
    current->mode = 0;
    current->method = "post";
    current->target = anchor_.toStdString();
    emit postRequested(qs(current->toLocation()));
}

// ---- listeners ------------------------------------------------------------------------------

void ShingetsuBrowserPage::onLocationChanging(LocationEvent* event) {
    if (!event->doit)
        return;
    const QString location = event->location;
    if ((browser_ && browser_->isOwnDocument(location)) ||
        location == QLatin1String("about:blank")) {
        // Shown here: this page's documents and anchors within them.
    } else if (isLocalLocation(location) || isScriptLocation(location)) {
        event->doit = false;
        // Acted on once the engine's call has returned: a tab or a dialog must not open
        // inside it.
        QTimer::singleShot(0, this, [this, location] {
            if (isLocalLocation(location) && openAttachment(location))
                return;
            setStatusText(QStringLiteral("開けません: %1").arg(location));
            emit locationRefused(location);
        });
    } else {
        // Another thread, a web page, the node: a tab of its own.
        event->doit = false;
        QTimer::singleShot(0, this, [this, location] {
            if (BrowserTabPage* page = openNewPage(location, getStyle()))
                page->open(location);
        });
    }
    takeAnchor(location);
    if (isSelected())
        notifyStateChanged();
}

bool ShingetsuBrowserPage::openAttachment(const QString& location) {
    const QUrl url(location.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(location)
                                                         : QUrl(location));
    if (!url.isLocalFile())
        return false;
    const QFileInfo file(url.toLocalFile());
    const QString folder = QFileInfo(qs(Configuration::instance().attachDir())).canonicalFilePath();
    const QString path = file.canonicalFilePath();
    if (folder.isEmpty() || path.isEmpty() || !path.startsWith(folder + QLatin1Char('/')) ||
        !file.isFile())
        return false;
    if (isMarkupSuffix(file.suffix())) {
        const QString target = FileDialog::instance().saveFile(
            browser_ ? browser_->window() : nullptr, QDir::home().filePath(file.fileName()));
        if (!target.isEmpty()) {
            QFile::remove(target);
            QFile::copy(path, target);
        }
        return true;
    }
    const QString shown = QUrl::fromLocalFile(path).toString();
    BrowserTabPage* page = openNewPage(shown, getStyle());
    if (!page)
        return true;
    // A node's file runs nothing and reads no other file, whatever it holds.
    if (CBrowser* web = page->getBrowser()) {
        web->page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        web->page()->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls,
                                              false);
    }
    page->open(shown);
    return true;
}

void ShingetsuBrowserPage::takeAnchor(const QString& location) {
    const QStringList parts = location.split(QLatin1Char('#'));
    if (parts.size() == 2 && parts[1].size() == 8)
        anchor_ = parts[1];
}

void ShingetsuBrowserPage::onLocationChanged(const QString& location) {
    // An anchor followed within the shown document changes the location without asking.
    if (browser_ && browser_->isOwnDocument(location))
        takeAnchor(location);
    if (isSelected())
        notifyStateChanged();
}

void ShingetsuBrowserPage::onStatusText(const QString& text) {
    if (text.startsWith(QLatin1String("file:///"))) {
        const QStringList parts = text.split(QLatin1Char('#'));
        if (parts.size() > 1) {
            setStatusText(QStringLiteral("%1#%2").arg(getTitle(), parts[1]));
            return;
        }
    }
    setStatusText(text);
}

void ShingetsuBrowserPage::onNewWindow(WindowEvent* event) {
    emit newWindowRequested(event);
}

} // namespace bryndle
