#include "browse/localrequestinterceptor.h"

namespace bryndle {

LocalRequestInterceptor::LocalRequestInterceptor(QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent) {}

void LocalRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (blocks(info.resourceType(), info.requestUrl()))
        info.block(true);
}

bool LocalRequestInterceptor::blocks(QWebEngineUrlRequestInfo::ResourceType type, const QUrl& url) {
    if (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
        return false;
    return !url.isLocalFile();
}

} // namespace bryndle
