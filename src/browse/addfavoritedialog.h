#pragma once

#include <QDialog>

#include <filesystem>

class QLineEdit;
class QPushButton;

namespace bryndle {

class FolderTree;

// Asks where below a folder a new bookmark goes and under what name: the folder tree (with a
// button for a new folder) and the name, pre-filled with the page title made a file name.
class AddFavoriteDialog : public QDialog {
public:
    AddFavoriteDialog(QWidget* parent, const std::filesystem::path& folder, const QString& title);

    // Modal; non-zero after OK, 0 when cancelled.
    int run();
    // After OK: the full path of the new bookmark file (inside the folder, never an existing
    // file unless the user agreed to replace it) and its name.
    const std::filesystem::path& filePath() const { return filePath_; }
    const QString& name() const { return name_; }
    // Whether a folder was made, even if the dialog was then cancelled.
    bool madeFolder() const { return madeFolder_; }

    void accept() override;
    void makeFolder();

private:
    // The path to write for the name, asking before replacing a bookmark; empty to stay.
    std::filesystem::path chooseFile(const std::filesystem::path& folder, const QString& name);

    std::filesystem::path root_;
    FolderTree* folders_;
    QLineEdit* nameField_;
    QPushButton* ok_;
    std::filesystem::path filePath_;
    QString name_;
    bool madeFolder_ = false;
};

} // namespace bryndle
