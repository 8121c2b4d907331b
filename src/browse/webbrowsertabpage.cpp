#include "browse/webbrowsertabpage.h"

#include "browse/address.h"
#include "browse/cbrowser.h"
#include "browse/webprofile.h"
#include "shell/icon.h"

#include <QTimer>
#include <QVBoxLayout>

namespace bryndle {

WebBrowserTabPage::WebBrowserTabPage(const QString&, TabFolder* folder, int style)
    : BrowserTabPage(folder, style) {
    construct();
    closed_ = false;
}

void WebBrowserTabPage::createContents(QWidget* contents) {
    auto* layout = new QVBoxLayout(contents);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new CBrowser(contents, 0, WebProfile::instance().profile());
    layout->addWidget(browser_);
    connect(browser_, &BrowserControl::titleChanged, this, &WebBrowserTabPage::onTitle);
    connect(browser_, &BrowserControl::locationChanging, this,
            &WebBrowserTabPage::onLocationChanging);
    connect(browser_, &BrowserControl::locationChanged, this,
            &WebBrowserTabPage::onLocationChanged);
    connect(browser_, &BrowserControl::newWindow, this, &WebBrowserTabPage::onNewWindow);
    connect(browser_, &BrowserControl::statusTextChanged, this, &WebBrowserTabPage::onStatusText);
    connect(browser_, &BrowserControl::progressChanged, this, &WebBrowserTabPage::onProgress);
    connect(browser_, &BrowserControl::completed, this, &WebBrowserTabPage::onCompleted);
    setTitle(QStringLiteral("[EMPTY]"));
}

void WebBrowserTabPage::open(const QString& location) {
    const QString address =
        location.isEmpty() ? QStringLiteral("about:blank") : completeAddress(location);
    setLoading(true);
    if (browser_)
        browser_->navigate(address);
    notifyStateChanged();
}

QString WebBrowserTabPage::getLocation() const {
    return browser_ ? browser_->location() : QString();
}

void WebBrowserTabPage::refresh() {
    setLoading(true);
    if (browser_)
        browser_->refresh();
    notifyStateChanged();
}

void WebBrowserTabPage::forward() {
    setLoading(true);
    if (browser_)
        browser_->forward();
    notifyStateChanged();
}

void WebBrowserTabPage::back() {
    setLoading(true);
    if (browser_)
        browser_->back();
    notifyStateChanged();
}

void WebBrowserTabPage::stop() {
    if (browser_)
        browser_->stop();
}

bool WebBrowserTabPage::isForwardEnabled() const {
    return browser_ && browser_->isForwardEnabled();
}

bool WebBrowserTabPage::isBackEnabled() const {
    return browser_ && browser_->isBackEnabled();
}

CBrowser* WebBrowserTabPage::getBrowser() const {
    return browser_;
}

void WebBrowserTabPage::dispose() {
    if (closed_)
        return;
    if (browser_) {
        browser_->disconnect(this);
        browser_->stop();
        browser_->hide();
        // Not deleted at once: the page may be closing from inside one of its own events.
        browser_->deleteLater();
        browser_ = nullptr;
    }
    BrowserTabPage::dispose();
    closed_ = true;
}

QString WebBrowserTabPage::tabTitle(const QString& title) {
    if (title.isEmpty())
        return QStringLiteral("[EMPTY]");
    QChar separator;
    if (title.contains(QLatin1String("://")))
        separator = QLatin1Char('/');
    else if (title.contains(QLatin1String(":\\")))
        separator = QLatin1Char('\\');
    else
        return title;
    const QString last = title.mid(title.lastIndexOf(separator) + 1);
    return last.isEmpty() ? title : last;
}

QString WebBrowserTabPage::locationExtension(const QString& location) {
    const int dot = location.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    const QString extension = location.mid(dot + 1);
    if (extension.contains(QLatin1Char(':')) || extension.contains(QLatin1Char('\\')))
        return {};
    return extension;
}

void WebBrowserTabPage::onTitle(const QString& title) {
    setTitle(tabTitle(title));
}

void WebBrowserTabPage::onLocationChanging(LocationEvent* event) {
    // A link to a thread opens the thread in a tab of its own.
    if (event->doit && event->location.startsWith(QLatin1String("shingetsu://"))) {
        event->doit = false;
        const QString location = event->location;
        QTimer::singleShot(0, this, [this, location] {
            if (BrowserTabPage* page = openNewPage(location, getStyle()))
                page->open(location);
        });
    }
    notifyStateChanged();
}

void WebBrowserTabPage::onLocationChanged(const QString& location) {
    setAddressText(location);
    notifyStateChanged();
}

void WebBrowserTabPage::onNewWindow(WindowEvent* event) {
    BrowserTabPage* page = openNewPage(QStringLiteral("about:blank"), getStyle());
    if (page)
        event->browser = page->getBrowser();
}

void WebBrowserTabPage::onStatusText(const QString& text) {
    setStatusText(text);
}

void WebBrowserTabPage::onProgress(int current, int total) {
    if (current == total) {
        onCompleted();
        return;
    }
    const int old = imageCounter_++;
    setImageNamed(old % 2 ? "transmit_blue" : "custom_transmit_dark_blue");
    setLoading(true);
    notifyStateChanged();
}

void WebBrowserTabPage::onCompleted() {
    setImageNamed(fileIconName(locationExtension(getLocation()).toStdString()));
    imageCounter_ = 0;
    setLoading(false);
    notifyStateChanged();
}

void WebBrowserTabPage::setImageNamed(const std::string& name) {
    // A missing image leaves the tab as it is: a page's events must never fail.
    if (hasIcon(name))
        setImage(getIcon(name));
}

} // namespace bryndle
