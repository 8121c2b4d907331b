#pragma once

#include <QObject>
#include <QString>

class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace bryndle {

// The engine profile of web page tabs: cookies, cache and site data kept in a folder of the
// runtime folder across runs. Downloads ask where to save and report their progress.
class WebProfile : public QObject {
    Q_OBJECT

public:
    // Stored in "webengine" under the current directory, made on first use; lives until the
    // application object goes.
    static WebProfile& instance();
    QWebEngineProfile* profile() const { return profile_; }
    QString storagePath() const;

    // The status line text of a download.
    static QString downloadText(const QString& name, qint64 received, qint64 total, int state,
                                const QString& reason);

signals:
    void downloadStatus(const QString& text);

private:
    explicit WebProfile(const QString& folder, QObject* parent);
    void onDownloadRequested(QWebEngineDownloadRequest* download);

    QWebEngineProfile* profile_;
};

} // namespace bryndle
