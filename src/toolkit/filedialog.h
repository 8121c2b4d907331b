#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace bryndle {

// The file-open dialog; the process-wide instance can be replaced by tests.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    // The chosen file's path, or empty when cancelled. filter: e.g. "*" or "*.xsl".
    virtual QString openFile(QWidget* parent, const QString& filter) = 0;

    static FileDialog& instance();
    // Null restores the toolkit's own dialog.
    static void setInstance(std::unique_ptr<FileDialog> dialog);
};

} // namespace bryndle
