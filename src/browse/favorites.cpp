#include "browse/favorites.h"

#include "browse/addfavoritedialog.h"
#include "browse/favoritefiles.h"
#include "browse/favoritefolder.h"
#include "browse/internetshortcut.h"
#include "browse/organizefavoritesdialog.h"
#include "foundation/inifileexception.h"
#include "toolkit/messagebox.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>

namespace bryndle {

namespace {

std::function<void()>& favoritesHook() {
    static std::function<void()> hook;
    return hook;
}

const QString AddTitle = QStringLiteral("お気に入りに追加");

} // namespace

void notifyFavoritesChanged(std::function<void()> hook) {
    favoritesHook() = std::move(hook);
}

void notifyFavoritesChanged() {
    // A copy: the hook may replace itself while it runs.
    if (const std::function<void()> hook = favoritesHook())
        hook();
}

void copyToClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QString systemFavoritesFolder() {
    // Relative values are to be ignored, as the base directory rules say.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = data + QStringLiteral("/bryndle/Favorites");
    QDir().mkpath(folder);
    return folder;
}

bool addFavoriteFile(QWidget* shell, const QString& folder, const QString& location,
                     const QString& title) {
    if (const QString why = FavoriteFolder::urlRefusal(location); !why.isEmpty()) {
        MessageBox::warning(why, shell, AddTitle);
        return false;
    }
    QDir().mkpath(folder);
    AddFavoriteDialog dialog(shell, FavoriteFiles::toPath(folder), title);
    if (dialog.run() == 0) {
        // A folder made before cancelling still shows.
        if (dialog.madeFolder())
            notifyFavoritesChanged();
        return false;
    }
    try {
        InternetShortcut(dialog.name().toStdString(), location.toStdString())
            .save(dialog.filePath().string());
    } catch (const IniFileException& e) {
        MessageBox::warning(QString::fromStdString(e.message()), shell, AddTitle);
        return false;
    }
    notifyFavoritesChanged();
    return true;
}

bool organizeFavoriteFolder(QWidget* shell, const QString& folder) {
    QDir().mkpath(folder);
    OrganizeFavoritesDialog dialog(shell, FavoriteFiles::toPath(folder));
    if (dialog.run() == 0)
        return false;
    notifyFavoritesChanged();
    return true;
}

} // namespace bryndle
