#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace bryndle {

// The file-open and file-save dialogs; the process-wide instance can be replaced by tests.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    // The chosen file's path, or empty when cancelled. filter: e.g. "*" or "*.xsl".
    virtual QString openFile(QWidget* parent, const QString& filter) = 0;
    // The path to save to, starting at the suggested one; empty when cancelled.
    virtual QString saveFile(QWidget* parent, const QString& suggestedPath);

    static FileDialog& instance();
    // Null restores the toolkit's own dialog.
    static void setInstance(std::unique_ptr<FileDialog> dialog);
};

} // namespace bryndle
