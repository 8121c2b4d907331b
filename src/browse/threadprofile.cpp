#include "browse/threadprofile.h"

#include "browse/localrequestinterceptor.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace bryndle {

namespace {

// Links to threads are navigations the pages see and route to thread tabs; unregistered, the
// engine would hand them to the desktop instead. Registered before any engine object exists.
void registerThreadScheme() {
    QWebEngineUrlScheme scheme("shingetsu");
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

// The engine only lets a page follow a link of a scheme that some handler serves. The pages'
// location listeners route thread links before they are loaded; one that gets here is refused.
class ThreadSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerThreadScheme)

void ThreadProfile::serveThreadLinks(QWebEngineProfile* profile) {
    if (!profile->urlSchemeHandler("shingetsu"))
        profile->installUrlSchemeHandler("shingetsu", new ThreadSchemeHandler(profile));
}

ThreadProfile::ThreadProfile(QObject* parent)
    : QObject(parent), profile_(new QWebEngineProfile(this)) {
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile_->cookieStore()->setCookieFilter(
        [](const QWebEngineCookieStore::FilterRequest&) { return false; });
    profile_->setUrlRequestInterceptor(new LocalRequestInterceptor(this));
    applySettings(profile_->settings());
    serveThreadLinks(profile_);
}

ThreadProfile& ThreadProfile::instance() {
    static QPointer<ThreadProfile> profile;
    if (!profile)
        profile = new ThreadProfile(QCoreApplication::instance());
    return *profile;
}

void ThreadProfile::applySettings(QWebEngineSettings* settings) {
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    // Links and the posting form of a local document must reach the node; nothing else leaves
    // through this (the interceptor and the location listeners see to that).
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
}

} // namespace bryndle
