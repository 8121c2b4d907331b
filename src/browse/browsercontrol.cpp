#include "browse/browsercontrol.h"

#include "browse/browsercontrolpage.h"
#include "store/pagerenderer.h"

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <utility>

namespace bryndle {

// A transform handed to a worker. The worker writes the file only while the job stands; the
// control, dropping a job whose file is already written, removes it.
struct BrowserControl::RenderJob {
    QString path;
    QString fragment;
    bool announced = false;
    bool reload = false;
    std::mutex lock;
    bool dropped = false;
    bool written = false;
};

namespace {

bool isXmlPath(const QString& path) {
    return path.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive);
}

// A text as the engine's URL: an absolute path (with an optional "#fragment") is a local file.
QUrl toUrl(const QString& location) {
    if (location.startsWith(QLatin1Char('/'))) {
        const int hash = location.indexOf(QLatin1Char('#'), location.lastIndexOf(QLatin1Char('/')));
        QUrl url = QUrl::fromLocalFile(hash < 0 ? location : location.left(hash));
        if (hash >= 0)
            url.setFragment(location.mid(hash + 1));
        return url;
    }
    QUrl url(location, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty())
        url = QUrl::fromUserInput(location);
    return url;
}

} // namespace

BrowserControl::BrowserControl(QWidget* parent, int style, QWebEngineProfile* profile,
                               BrowserControlPage* spare)
    : QWidget(parent), view_(new QWebEngineView(this)), style_(style) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    if (!profile)
        profile = QWebEngineProfile::defaultProfile();
    if (spare && spare->profile() == profile && !spare->control()) {
        spare->adopt(this);
        page_ = spare;
        start_ = spare->startUrl();
        pristine_ = true;
        pruneHistory_ = true;
    } else {
        delete spare;
        page_ = new BrowserControlPage(profile, this);
    }
    view_->setPage(page_);

    connect(page_, &QWebEnginePage::titleChanged, this,
            [this](const QString& title) { emit titleChanged(shownTitle(title)); });
    connect(page_, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        forgetSpareStart();
        emit locationChanged(shownLocation(url));
    });
    connect(page_, &QWebEnginePage::linkHovered, this, [this](const QString& link) {
        emit statusTextChanged(link.isEmpty() ? link : shownLocation(QUrl(link)));
    });
    connect(page_, &QWebEnginePage::loadStarted, this, [this] {
        pristine_ = false;
        emit progressChanged(0, 100);
    });
    connect(page_, &QWebEnginePage::loadProgress, this,
            [this](int percent) { emit progressChanged(percent, 100); });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool) {
        forgetSpareStart();
        emit completed();
    });
    connect(page_, &QWebEnginePage::windowCloseRequested, this, [this] { emit closeRequested(); });
}

BrowserControl::~BrowserControl() {
    dropRender();
}

void BrowserControl::forgetSpareStart() {
    if (!pruneHistory_)
        return;
    QWebEngineHistory* history = page_->history();
    if (history->currentItem().url() == start_)
        return;
    pruneHistory_ = false;
    history->clear();
}

QWebEnginePage* BrowserControl::page() const {
    return page_;
}

QString BrowserControl::renderedFile(const QString& documentPath) {
    return documentPath + QLatin1String(".html");
}

bool BrowserControl::navigate(const QString& location) {
    const QUrl url = toUrl(location);
    if (!url.isValid())
        return false;
    pristine_ = false;
    if (isStyledDocument(url)) {
        showDocument(url.toLocalFile(), url.fragment(), false);
    } else {
        dropRender();
        page_->load(url);
    }
    return true;
}

bool BrowserControl::isStyledDocument(const QUrl& url) const {
    if (!url.isLocalFile() || !isXmlPath(url.toLocalFile()))
        return false;
    try {
        PageRenderer::stylesheetPathOfFile(url.toLocalFile().toStdString());
        return true;
    } catch (const RenderException&) {
        return false;
    }
}

QString BrowserControl::render(const std::shared_ptr<RenderJob>& job) {
    std::string html;
    try {
        html = PageRenderer::renderFile(job->path.toStdString());
    } catch (const RenderException& e) {
        return QString::fromStdString(e.message());
    }
    // Written aside and renamed into place: a page never sees half a file, nor two transforms
    // of one document their mix. Not synced to disk: a page that is lost is transformed again.
    const QString target = renderedFile(job->path);
    static std::atomic<quint64> counter{0};
    QFile file(QStringLiteral("%1.%2.part").arg(target).arg(++counter));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(html.data(), static_cast<qint64>(html.size())) !=
            static_cast<qint64>(html.size()) ||
        !file.flush()) {
        file.remove();
        return QStringLiteral("cannot write %1: %2").arg(target, file.errorString());
    }
    file.close();
    const std::lock_guard guard(job->lock);
    if (job->dropped || std::rename(QFile::encodeName(file.fileName()).constData(),
                                    QFile::encodeName(target).constData()) != 0) {
        const bool dropped = job->dropped;
        file.remove();
        return dropped ? QString() : QStringLiteral("cannot write %1").arg(target);
    }
    job->written = true;
    return {};
}

void BrowserControl::showDocument(const QString& path, const QString& fragment, bool announced,
                                  bool reload) {
    dropRender();
    auto job = std::make_shared<RenderJob>();
    job->path = path;
    job->fragment = fragment;
    job->announced = announced;
    job->reload = reload;
    job_ = job;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, job] {
        watcher->deleteLater();
        if (job_ != job)
            return;
        job_.reset();
        showRendered(*job, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(&BrowserControl::render, job));
}

void BrowserControl::showRendered(const RenderJob& job, const QString& error) {
    if (!error.isEmpty()) {
        // Shown in the document's place, so the location still reads as the document.
        page_->setHtml(QStringLiteral("<html><head><title>Error</title></head><body><h1>%1</h1>"
                                      "</body></html>")
                           .arg(error.toHtmlEscaped()),
                       QUrl::fromLocalFile(job.path));
        return;
    }
    const QString html = renderedFile(job.path);
    documents_.insert(html, job.path);
    QUrl url = QUrl::fromLocalFile(html);
    if (!job.fragment.isEmpty())
        url.setFragment(job.fragment);
    if (job.reload && page_->url() == url) {
        page_->triggerAction(QWebEnginePage::Reload);
        return;
    }
    if (job.announced)
        approved_ = url;
    page_->load(url);
}

void BrowserControl::dropRender() {
    const std::shared_ptr<RenderJob> job = std::exchange(job_, nullptr);
    if (!job)
        return;
    const std::lock_guard guard(job->lock);
    job->dropped = true;
    // A page never shown: nothing would load it, nor clean it up with its document.
    const QString html = renderedFile(job->path);
    if (job->written && !documents_.contains(html))
        QFile::remove(html);
}

bool BrowserControl::onNavigationRequest(const QUrl& url, QWebEnginePage::NavigationType type,
                                         bool mainFrame) {
    if (!mainFrame)
        return true;
    const bool preApproved = approved_.isValid() && url == approved_;
    approved_.clear();
    if (preApproved)
        return true;
    const bool styled = isStyledDocument(url);
    // A local page may not open a web address itself unless local content is trusted with
    // remote access; a followed link is opened by the control instead.
    const bool relay =
        type == QWebEnginePage::NavigationTypeLinkClicked && page_->url().isLocalFile() &&
        (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
        !page_->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls);
    LocationEvent event{shownLocation(url)};
    emit locationChanging(&event);
    if (!event.doit)
        return false;
    if (!styled && !relay)
        return true;
    QTimer::singleShot(0, this, [this, url, styled] {
        if (styled) {
            showDocument(url.toLocalFile(), url.fragment(), true);
        } else {
            approved_ = url;
            page_->load(url);
        }
    });
    return false;
}

QWebEnginePage* BrowserControl::onNewWindow() {
    WindowEvent event;
    emit newWindow(&event);
    return event.browser ? event.browser->page() : nullptr;
}

QString BrowserControl::shownLocation(const QUrl& url) const {
    // A taken spare's sample page is the blank a new control starts on.
    if (url.scheme() == QLatin1String("data") || (start_.isValid() && url == start_))
        return QStringLiteral("about:blank");
    if (url.isLocalFile()) {
        const auto document = documents_.constFind(url.toLocalFile());
        if (document != documents_.constEnd()) {
            QUrl shown = QUrl::fromLocalFile(*document);
            shown.setFragment(url.fragment());
            return shown.toString();
        }
    }
    return url.toString();
}

QString BrowserControl::shownTitle(const QString& title) const {
    // An untitled local page is titled with its file name.
    const QUrl url = page_->url();
    if (!url.isLocalFile())
        return title;
    const auto document = documents_.constFind(url.toLocalFile());
    if (document == documents_.constEnd())
        return title;
    const QString renderedName = QFileInfo(url.toLocalFile()).fileName();
    if (title.startsWith(renderedName))
        return QFileInfo(*document).fileName() + title.mid(renderedName.size());
    return title;
}

QString BrowserControl::location() const {
    return pristine_ ? QString() : shownLocation(page_->url());
}

void BrowserControl::back() {
    page_->triggerAction(QWebEnginePage::Back);
}

void BrowserControl::forward() {
    page_->triggerAction(QWebEnginePage::Forward);
}

void BrowserControl::refresh() {
    const QUrl url = page_->url();
    const QString document = url.isLocalFile() ? documents_.value(url.toLocalFile()) : QString();
    if (document.isEmpty() && isStyledDocument(url)) {
        // An error page shown in the document's place: try the document again.
        showDocument(url.toLocalFile(), url.fragment(), false);
        return;
    }
    // A transformed document is transformed again first: it may have changed on disk.
    if (!document.isEmpty()) {
        showDocument(document, url.fragment(), false, true);
        return;
    }
    dropRender();
    page_->triggerAction(QWebEnginePage::Reload);
}

void BrowserControl::stop() {
    dropRender();
    page_->triggerAction(QWebEnginePage::Stop);
}

bool BrowserControl::isBackEnabled() const {
    return page_->history()->canGoBack();
}

bool BrowserControl::isForwardEnabled() const {
    return page_->history()->canGoForward();
}

void BrowserControl::setText(const QString& html) {
    pristine_ = false;
    dropRender();
    page_->setHtml(html);
}

} // namespace bryndle
