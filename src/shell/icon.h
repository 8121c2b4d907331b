#pragma once

#include <QPixmap>
#include <QString>

#include <string>

namespace bryndle {

// The images of the interface, loaded once from the "icons" folder and looked up by name: the
// file name without folder and extension.

// Fills the registry anew from the folder and its subfolders: every PNG, then every GIF, then
// every ICO, so a later file replaces an earlier one of the same name. A file that is not a
// readable image raises bryndle::Exception.
void loadIcons(const QString& folder = QStringLiteral("icons"));
// Raises bryndle::Exception "<name> : not found" for an unknown name.
QPixmap getIcon(const std::string& name);
// The image for a file extension (no point, letter case ignored); "page" for any other.
QPixmap getFileIcon(const std::string& extension);
// The image name getFileIcon uses for the extension.
std::string fileIconName(const std::string& extension);
// Whether the name is registered.
bool hasIcon(const std::string& name);
// The path of the file the name was loaded from (empty when unknown).
QString iconFile(const std::string& name);

} // namespace bryndle
