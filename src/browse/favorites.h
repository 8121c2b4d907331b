#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace bryndle {

// The operations on bookmark and favourites folders that the tab browser and the side bar share.

// Shows the add dialog under `folder`; on OK writes the .url file, runs the favourites hook.
// Returns true when a bookmark was written.
bool addFavoriteFile(QWidget* shell, const QString& folder, const QString& location,
                     const QString& title);
// Shows the organise dialog on `folder`; returns true (and runs the hook) when anything changed.
bool organizeFavoriteFolder(QWidget* shell, const QString& folder);
// Places the text on the system clipboard as plain text.
void copyToClipboard(const QString& text);
// Stores the hook, replacing an earlier one.
void notifyFavoritesChanged(std::function<void()> hook);
// Runs the stored hook, if any.
void notifyFavoritesChanged();
// $XDG_DATA_HOME/bryndle/Favorites (~/.local/share/bryndle/Favorites), created if missing.
QString systemFavoritesFolder();

} // namespace bryndle
