#pragma once

#include <QByteArray>
#include <QString>

namespace bryndle {

// The page documents that thread pages write into the temporary folder. A name begins with the
// time of writing, so that names sort from the oldest; the rest makes it unique, and a file is
// only ever created new, never overwritten, so two pages can never share one.
class TemporaryDocuments {
public:
    static constexpr int Keep = 99;

    explicit TemporaryDocuments(QString folder);

    // Writes the text into a new file; its absolute path. Raises Exception when it cannot.
    QString write(const QByteArray& text);
    // Deletes the "*.xml" files of the folder, oldest name first, until `keep` are left, each
    // with the rendered page the browser control wrote beside it. A file that cannot be
    // deleted counts as handled.
    void prune(int keep = Keep) const;

    const QString& folder() const { return folder_; }
    // The name of a document written at the given time with the given sequence number.
    static QString documentName(qint64 seconds, qint64 process, quint64 sequence);

private:
    QString folder_;
};

} // namespace bryndle
