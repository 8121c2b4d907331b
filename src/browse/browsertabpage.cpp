#include "browse/browsertabpage.h"

#include "browse/shingetsubrowserpage.h"
#include "browse/tabfolder.h"
#include "browse/webbrowsertabpage.h"

#include <QComboBox>
#include <QLabel>
#include <QTabBar>

namespace bryndle {

BrowserTabPage* BrowserTabPage::createPage(TabFolder* folder, const QString& location, int style) {
    if (location.startsWith(QLatin1String("shingetsu://")))
        return new ShingetsuBrowserPage(location, folder, style);
    return new WebBrowserTabPage(location, folder, style);
}

BrowserTabPage::BrowserTabPage(TabFolder* folder, int style)
    : folder_(folder), style_(style), contents_(new QWidget(folder)) {
    // The page goes with its tab's widgets.
    setParent(contents_);
}

BrowserTabPage::~BrowserTabPage() = default;

void BrowserTabPage::construct() {
    folder_->addTab(contents_, QString());
    createContents(contents_);
    connect(folder_, &TabFolder::itemDisposed, this, [this](QWidget* contents) {
        if (contents == contents_)
            onTabItemDisposed();
    });
    folder_->setCurrentWidget(contents_);
}

void BrowserTabPage::onTabItemDisposed() {
    dispose();
}

bool BrowserTabPage::isSelected() const {
    return folder_ && contents_ && folder_->currentWidget() == contents_;
}

void BrowserTabPage::setStatusLabel(QLabel* label) {
    statusLabel_ = label;
}

void BrowserTabPage::setStatusText(const QString& text) {
    if (statusLabel_ && isSelected())
        statusLabel_->setText(text);
}

void BrowserTabPage::setAddressField(QComboBox* field) {
    addressField_ = field;
}

int BrowserTabPage::compareLocation(const QString& location) const {
    return getLocation().compare(location);
}

void BrowserTabPage::setAddressText(const QString& text) {
    if (addressField_ && isSelected())
        addressField_->setEditText(text);
}

void BrowserTabPage::setStateChangedHandler(StateChangedHandler handler) {
    stateChanged_ = std::move(handler);
}

void BrowserTabPage::notifyStateChanged() {
    if (stateChanged_)
        stateChanged_();
}

void BrowserTabPage::setNewPageHandler(NewPageHandler handler) {
    newPage_ = std::move(handler);
}

void BrowserTabPage::notifyNewPage(BrowserTabPage* page) {
    if (newPage_)
        newPage_(page);
}

BrowserTabPage* BrowserTabPage::selectedPage() const {
    return folder_ ? folder_->selectedPage() : nullptr;
}

void BrowserTabPage::dispose() {
    if (disposed_)
        return;
    disposed_ = true;
    folder_ = nullptr;
    contents_ = nullptr;
    statusLabel_ = nullptr;
    addressField_ = nullptr;
}

void BrowserTabPage::setImage(const QPixmap& image) {
    const int index = getTabItem();
    if (index < 0 || image.cacheKey() == image_.cacheKey())
        return;
    image_ = image;
    folder_->setUpdatesEnabled(false);
    folder_->setTabIcon(index, QIcon(image));
    folder_->setUpdatesEnabled(true);
}

void BrowserTabPage::setTitle(const QString& text) {
    const int index = getTabItem();
    if (index < 0 || folder_->itemText(index) == text)
        return;
    folder_->setUpdatesEnabled(false);
    folder_->setItemText(index, text);
    folder_->setUpdatesEnabled(true);
}

QString BrowserTabPage::getTitle() const {
    const int index = getTabItem();
    return index < 0 ? QString() : folder_->itemText(index);
}

int BrowserTabPage::getTabItem() const {
    return folder_ && contents_ ? folder_->indexOf(contents_) : -1;
}

void BrowserTabPage::setData(const QString& key, const QVariant& value) {
    if (contents_)
        contents_->setProperty(key.toUtf8().constData(), value);
}

QVariant BrowserTabPage::getData(const QString& key) const {
    return contents_ ? contents_->property(key.toUtf8().constData()) : QVariant();
}

BrowserTabPage* BrowserTabPage::openNewPage(const QString& location, int style) {
    if (!folder_)
        return nullptr;
    BrowserTabPage* page = createPage(folder_, location, style);
    notifyNewPage(page);
    return page;
}

} // namespace bryndle
