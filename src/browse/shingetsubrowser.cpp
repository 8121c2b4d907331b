#include "browse/shingetsubrowser.h"

#include "browse/shingetsubrowserpage.h"
#include "browse/spareenginepage.h"
#include "browse/threadprofile.h"
#include "config/configuration.h"
#include "shell/icon.h"
#include "store/pageloader.h"
#include "store/pageloaderregistry.h"

#include <QDir>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace bryndle {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

bool isThreadLocation(const QString& location) {
    return location.startsWith(QLatin1String("shingetsu://"));
}

} // namespace

ShingetsuBrowser::ShingetsuBrowser(QWidget* parent, int style, ShingetsuBrowserPage* page)
    : CBrowser(parent, style, ThreadProfile::instance().profile(), SpareEnginePage::take()),
      page_(page), timer_(this), documents_(qs(Configuration::instance().temporaryDir())) {
    ThreadProfile::applySettings(this->page()->settings());
    connect(this, &BrowserControl::completed, this, [this] {
        if (!note_.isEmpty() && page_)
            page_->setStatusText(note_);
        note_.clear();
    });
}

ShingetsuBrowser::~ShingetsuBrowser() {
    if (loader_)
        loader_->abandon();
}

QString ShingetsuBrowser::errorText(const QString& message) {
    return QStringLiteral("<html><head><title>Error</title></head><body><h1>エラーです!: "
                          "%1</h1></body></html>")
        .arg(message.toHtmlEscaped());
}

QString ShingetsuBrowser::loadingText() {
    return QStringLiteral("<html><head><title>Loading</title></head><body><h1>読み込み中でございま"
                          "す..</h1></body></html>");
}

bool ShingetsuBrowser::navigate(const QString& location) {
    if (!isThreadLocation(location))
        return CBrowser::navigate(location);
    if (disposed_)
        return false;
    ++position_;
    history_[position_] = location;
    try {
        current_ = Schema::parse(location.toStdString());
    } catch (const std::exception& error) {
        // Shown in the tab instead of escaping the handler that navigated.
        if (loader_)
            loader_->abandon();
        loader_.reset();
        current_ = Schema();
        setAddress(location.toStdString());
        showError(error.what());
        return true;
    }
    setAddress(location.toStdString());
    startLoader(location);
    return true;
}

void ShingetsuBrowser::startLoader(const QString& location) {
    // A newer opening replaces the one still under way: its records reach the cache, but it
    // shows nothing.
    if (loader_)
        loader_->abandon();
    loader_.reset();
    try {
        loader_ = PageLoader::create(location.toStdString(), this, &timer_);
        PageLoaderRegistry::instance().add(loader_);
        if (qs(current_.method).compare(QLatin1String("get"), Qt::CaseInsensitive) == 0)
            loader_->start();
        else
            loader_->loadCached();
    } catch (const std::exception& error) {
        showError(error.what());
    }
}

QString ShingetsuBrowser::location() const {
    const auto entry = history_.constFind(position_);
    if (entry != history_.constEnd())
        return *entry;
    return CBrowser::location();
}

void ShingetsuBrowser::back() {
    if (position_ <= 1)
        return;
    --position_;
    CBrowser::back();
    setAddress(location().toStdString());
}

void ShingetsuBrowser::forward() {
    // Without a later entry the positions would no longer match the history.
    if (!history_.contains(position_ + 1))
        return;
    ++position_;
    CBrowser::forward();
    setAddress(location().toStdString());
}

void ShingetsuBrowser::cleanupTemporaryFiles() {
    if (documentCounter_++ % CleanupEvery == 0)
        documents_.prune();
}

void ShingetsuBrowser::showDocument(const std::string& text, int32_t total) {
    if (disposed_)
        return;
    recordCount_ = total;
    QString fragment;
    try {
        fragment = qs(Schema::parse(location().toStdString()).fragment);
    } catch (const std::exception&) {
        // Not a thread location any more: no record to scroll to.
    }
    cleanupTemporaryFiles();
    QString path;
    try {
        path = documents_.write(QByteArray::fromStdString(text));
    } catch (const std::exception& error) {
        showError(error.what());
        return;
    }
    written_.insert(path);
    CBrowser::navigate(fragment.isEmpty() ? path : path + QLatin1Char('#') + fragment);
    const size_t skipped = loader_ ? loader_->synced().skipped : 0;
    // Told once the page is shown: loading it clears the status line.
    note_ = skipped > 0
                ? QString::fromUtf8(ShingetsuBrowserPage::StatusSkipped).arg(qulonglong{skipped})
                : QString();
}

void ShingetsuBrowser::showError(const std::string& message) {
    if (!disposed_)
        setText(errorText(qs(message)));
}

void ShingetsuBrowser::showLoading(const std::string&) {
    if (!disposed_)
        setText(loadingText());
}

void ShingetsuBrowser::blinkIcon() {
    if (page_)
        page_->toggleTransmitIcon();
}

void ShingetsuBrowser::setPageTitle(const std::string& title) {
    if (!page_)
        return;
    page_->setTitle(qs(title));
    if (!current_.target.empty())
        page_->setTitleSuffix(qs(current_.target));
    else if (current_.mode == 2)
        page_->setTitleSuffix(QStringLiteral("%1ページ").arg(qulonglong{current_.page} + 1));
    else if (current_.mode == 1)
        page_->setTitleSuffix(QStringLiteral("最新%1件").arg(current_.items));
}

void ShingetsuBrowser::setAddress(const std::string& location) {
    if (page_)
        page_->setAddressText(qs(location));
}

void ShingetsuBrowser::setIcon(const std::string& image) {
    // A missing image leaves the tab as it is: showing a page must not fail on it.
    if (page_ && hasIcon(image))
        page_->setImage(getIcon(image));
}

void ShingetsuBrowser::dispose() {
    if (disposed_)
        return;
    disposed_ = true;
    if (loader_)
        loader_->abandon();
    loader_.reset();
    page_ = nullptr;
    stop();
    hide();
    // Not deleted at once: the page may be closing from inside one of the browser's events.
    deleteLater();
}

QString ShingetsuBrowser::pathOf(const QString& location) const {
    QString path;
    if (location.startsWith(QLatin1Char('/'))) {
        const int hash = location.indexOf(QLatin1Char('#'), location.lastIndexOf(QLatin1Char('/')));
        path = hash < 0 ? location : location.left(hash);
    } else {
        const QUrl url(location);
        if (!url.isLocalFile())
            return {};
        path = url.toLocalFile();
    }
    return QDir::cleanPath(path);
}

bool ShingetsuBrowser::isOwnDocument(const QString& location) const {
    const QString path = pathOf(location);
    if (path.isEmpty())
        return false;
    if (written_.contains(path))
        return true;
    // The page the control rendered from a document is named after it.
    const QString suffix = BrowserControl::renderedFile(QString());
    if (suffix.isEmpty() || !path.endsWith(suffix))
        return false;
    const QString document = path.chopped(suffix.size());
    return written_.contains(document) && BrowserControl::renderedFile(document) == path;
}

} // namespace bryndle
