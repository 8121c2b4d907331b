#include "browse/addfavoritedialog.h"

#include "browse/favoritefiles.h"
#include "browse/favoritefolder.h"
#include "browse/foldertree.h"
#include "shell/onelineeditdialog.h"
#include "toolkit/eventloop.h"
#include "toolkit/messagebox.h"
#include "toolkit/modalwindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace bryndle {

namespace fs = std::filesystem;

namespace {

const QString Title = QStringLiteral("お気に入りに追加");

} // namespace

AddFavoriteDialog::AddFavoriteDialog(QWidget* parent, const fs::path& folder, const QString& title)
    : QDialog(parent), root_(folder) {
    setObjectName(QStringLiteral("AddFavoriteDialog"));
    setWindowTitle(Title);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("名前"), this), 0, 0);
    nameField_ = new QLineEdit(this);
    nameField_->setObjectName(QStringLiteral("name"));
    nameField_->setText(FavoriteFiles::fromTitle(title, FavoriteFiles::bookmarkNameLimit(folder)));
    nameField_->setMinimumWidth(320);
    grid->addWidget(nameField_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("作成先"), this), 1, 0, Qt::AlignTop);
    folders_ = new FolderTree(this);
    folders_->setObjectName(QStringLiteral("folders"));
    folders_->setRoot(folder);
    grid->addWidget(folders_, 1, 1);

    auto* buttons = new QHBoxLayout;
    auto* newFolder = new QPushButton(QStringLiteral("新しいフォルダ"), this);
    newFolder->setObjectName(QStringLiteral("newFolder"));
    newFolder->setAutoDefault(false);
    buttons->addWidget(newFolder);
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("追加"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(nameField_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ok_->setEnabled(!text.trimmed().isEmpty()); });
    ok_->setEnabled(!nameField_->text().trimmed().isEmpty());
    connect(ok_, &QPushButton::clicked, this, EventLoop::guard([this] { accept(); }));
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(newFolder, &QPushButton::clicked, this, EventLoop::guard([this] { makeFolder(); }));
}

int AddFavoriteDialog::run() {
    runModal(*this);
    return result() == Accepted ? 1 : 0;
}

void AddFavoriteDialog::accept() {
    const QString name = nameField_->text();
    const fs::path folder = folders_->selectedFolder();
    if (const QString why = FavoriteFiles::refusal(name, FavoriteFiles::bookmarkNameLimit(folder));
        !why.isEmpty()) {
        MessageBox::warning(why, this, Title);
        return;
    }
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(folder, error))) {
        MessageBox::warning(QStringLiteral("作成先のフォルダがありません。"), this, Title);
        return;
    }
    const fs::path path = chooseFile(folder, name);
    if (path.empty())
        return;
    if (!FavoriteFiles::isInside(root_, path)) {
        MessageBox::warning(QStringLiteral("作成先のフォルダの外には作成できません。"), this,
                            Title);
        return;
    }
    filePath_ = path;
    name_ = FavoriteFiles::fromPath(path.stem());
    QDialog::accept();
}

fs::path AddFavoriteDialog::chooseFile(const fs::path& folder, const QString& name) {
    const QString suffix = QStringLiteral(".url");
    const fs::path path = folder / FavoriteFiles::toPath(name + suffix);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found)
        return path;
    if (status.type() != fs::file_type::regular)
        return FavoriteFiles::freePath(folder, name, suffix);
    const int answer = MessageBox::instance().open(
        this, Title,
        QStringLiteral("「%1」は既にあります。置き換えますか？\n"
                       "「いいえ」を選ぶと番号を付けて別に追加します。")
            .arg(name),
        MessageBox::Icon::Question, MessageBox::Yes | MessageBox::No | MessageBox::Cancel);
    if (answer == MessageBox::Yes)
        return path;
    if (answer == MessageBox::No)
        return FavoriteFiles::freePath(folder, name, suffix);
    return {};
}

void AddFavoriteDialog::makeFolder() {
    OneLineEditDialog ask(QStringLiteral("新しいフォルダ"), QStringLiteral("フォルダ名"), 256);
    ask.setText(QStringLiteral("新しいフォルダ"));
    ask.setButtonText(QStringLiteral("作成"));
    if (ask.open() != OneLineEditDialog::Ok)
        return;
    const FavoriteFolder::Result made =
        FavoriteFolder(root_).makeFolder(folders_->selectedFolder(), ask.getText());
    if (!made.ok()) {
        MessageBox::warning(made.error, this, Title);
        return;
    }
    madeFolder_ = true;
    folders_->reload(made.path);
}

} // namespace bryndle
