#include "browse/webprofile.h"

#include "browse/threadprofile.h"
#include "toolkit/filedialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

namespace bryndle {

WebProfile::WebProfile(const QString& folder, QObject* parent)
    : QObject(parent), profile_(new QWebEngineProfile(QStringLiteral("bryndle"), this)) {
    profile_->setPersistentStoragePath(folder);
    profile_->setCachePath(folder + QLatin1String("/cache"));
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    connect(profile_, &QWebEngineProfile::downloadRequested, this,
            &WebProfile::onDownloadRequested);
    ThreadProfile::serveThreadLinks(profile_);
}

WebProfile& WebProfile::instance() {
    static QPointer<WebProfile> profile;
    if (!profile)
        profile = new WebProfile(QDir::current().absoluteFilePath(QStringLiteral("webengine")),
                                 QCoreApplication::instance());
    return *profile;
}

QString WebProfile::storagePath() const {
    return profile_->persistentStoragePath();
}

QString WebProfile::downloadText(const QString& name, qint64 received, qint64 total, int state,
                                 const QString& reason) {
    switch (state) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        return QStringLiteral("ダウンロード完了: %1").arg(name);
    case QWebEngineDownloadRequest::DownloadCancelled:
        return QStringLiteral("ダウンロード中止: %1").arg(name);
    case QWebEngineDownloadRequest::DownloadInterrupted:
        return QStringLiteral("ダウンロード失敗: %1 (%2)").arg(name, reason);
    default:
        break;
    }
    const QString kb = QString::number(received / 1024);
    if (total > 0)
        return QStringLiteral("ダウンロード中: %1 (%2 / %3 KB)")
            .arg(name, kb, QString::number(total / 1024));
    return QStringLiteral("ダウンロード中: %1 (%2 KB)").arg(name, kb);
}

void WebProfile::onDownloadRequested(QWebEngineDownloadRequest* download) {
    // Asked inside the engine's signal, as it wants: a download not accepted by the time the
    // signal returns is dropped.
    const QString suggested =
        QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    QString path;
    try {
        path = FileDialog::instance().saveFile(QApplication::activeWindow(), suggested);
    } catch (...) {
        path.clear();
    }
    if (path.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo target(path);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    QPointer<QWebEngineDownloadRequest> request(download);
    auto report = [this, request] {
        if (request)
            emit downloadStatus(downloadText(request->downloadFileName(), request->receivedBytes(),
                                             request->totalBytes(), request->state(),
                                             request->interruptReasonString()));
    };
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, report);
    connect(download, &QWebEngineDownloadRequest::stateChanged, this, report);
    download->accept();
    report();
}

} // namespace bryndle
