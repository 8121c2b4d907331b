#pragma once

#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

namespace bryndle {

// Keeps the pages of a profile from loading anything but local files on their own: every
// request that is not a main-frame navigation (images, style sheets, fonts, media, frames,
// scripts, pings) is blocked unless its URL is a file: URL. Navigations are left to the
// page's location listener.
class LocalRequestInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

public:
    explicit LocalRequestInterceptor(QObject* parent = nullptr);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

    static bool blocks(QWebEngineUrlRequestInfo::ResourceType type, const QUrl& url);
};

} // namespace bryndle
