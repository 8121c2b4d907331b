#include "toolkit/filedialog.h"

#include <QFileDialog>

namespace bryndle {

namespace {

class ToolkitFileDialog : public FileDialog {
public:
    QString openFile(QWidget* parent, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    }
};

std::unique_ptr<FileDialog>& current() {
    static std::unique_ptr<FileDialog> dialog = std::make_unique<ToolkitFileDialog>();
    return dialog;
}

} // namespace

QString FileDialog::saveFile(QWidget* parent, const QString& suggestedPath) {
    return QFileDialog::getSaveFileName(parent, QString(), suggestedPath);
}

FileDialog& FileDialog::instance() {
    return *current();
}

void FileDialog::setInstance(std::unique_ptr<FileDialog> dialog) {
    current() = dialog ? std::move(dialog) : std::make_unique<ToolkitFileDialog>();
}

} // namespace bryndle
