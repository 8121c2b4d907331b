#include "browse/temporarydocuments.h"

#include "browse/browsercontrol.h"
#include "foundation/exception.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace bryndle {

namespace {

// Shared by every page of the process; a name taken by another process is skipped.
quint64 nextSequence() {
    static quint64 sequence = 0;
    return ++sequence;
}

} // namespace

TemporaryDocuments::TemporaryDocuments(QString folder) : folder_(QDir(folder).absolutePath()) {}

QString TemporaryDocuments::documentName(qint64 seconds, qint64 process, quint64 sequence) {
    // Fixed widths: the names sort as the times and sequence numbers do.
    return QStringLiteral("%1-%2-%3.xml")
        .arg(seconds, 10, 10, QLatin1Char('0'))
        .arg(process, 7, 10, QLatin1Char('0'))
        .arg(sequence, 10, 10, QLatin1Char('0'));
}

QString TemporaryDocuments::write(const QByteArray& text) {
    QDir().mkpath(folder_);
    const qint64 process = QCoreApplication::applicationPid();
    QString error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = QDir(folder_).filePath(
            documentName(QDateTime::currentSecsSinceEpoch(), process, nextSequence()));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            error = file.errorString();
            if (file.exists())
                continue;
            break;
        }
        if (file.write(text) != text.size() || !file.flush()) {
            error = file.errorString();
            file.close();
            QFile::remove(path);
            break;
        }
        return path;
    }
    throw Exception(
        QStringLiteral("cannot write a page into %1: %2").arg(folder_, error).toStdString());
}

void TemporaryDocuments::prune(int keep) const {
    const QDir dir(folder_);
    QStringList paths;
    for (const QString& name : dir.entryList({QStringLiteral("*.xml")}, QDir::Files))
        paths.append(dir.filePath(name));
    std::sort(paths.begin(), paths.end());
    for (qsizetype i = 0; i + keep < paths.size(); ++i) {
        QFile::remove(paths[i]);
        QFile::remove(BrowserControl::renderedFile(paths[i]));
    }
}

} // namespace bryndle
