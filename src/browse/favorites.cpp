// Temporary stand-in until the side bar's favourites operations land: the clipboard, the hook
// and the folder work; the two dialogs are not there yet and report that nothing changed.
#include "browse/favorites.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>

namespace bryndle {

namespace {
std::function<void()>& hook() {
    static std::function<void()> stored;
    return stored;
}
} // namespace

bool addFavoriteFile(QWidget*, const QString&, const QString&, const QString&) {
    return false;
}

bool organizeFavoriteFolder(QWidget*, const QString&) {
    return false;
}

void copyToClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

void notifyFavoritesChanged(std::function<void()> changed) {
    hook() = std::move(changed);
}

void notifyFavoritesChanged() {
    if (hook())
        hook()();
}

QString systemFavoritesFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/bryndle/Favorites");
    QDir().mkpath(folder);
    return folder;
}

} // namespace bryndle
