#include "browse/favoritefolder.h"

#include "browse/favoritefiles.h"
#include "browse/internetshortcut.h"
#include "foundation/inifileexception.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>

namespace bryndle {

namespace fs = std::filesystem;

namespace {

QString existsText(const fs::path& path) {
    return QStringLiteral("「%1」は既にあります。").arg(FavoriteFiles::displayName(path));
}

QString outsideText() {
    return QStringLiteral("整理するフォルダの外は変更できません。");
}

QString systemText(int code) {
    return QString::fromStdString(std::generic_category().message(code));
}

fs::file_status statusOf(const fs::path& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored);
}

} // namespace

bool FavoriteFolder::holds(const fs::path& folder) const {
    std::error_code error;
    if (fs::equivalent(folder, root_, error))
        return true;
    return fs::is_directory(statusOf(folder)) && FavoriteFiles::isInside(root_, folder);
}

QString FavoriteFolder::entryRefusal(const fs::path& path) const {
    if (!FavoriteFiles::isInside(root_, path))
        return outsideText();
    if (!FavoriteFiles::exists(path))
        return QStringLiteral("「%1」はもうありません。").arg(FavoriteFiles::displayName(path));
    return {};
}

QString FavoriteFolder::urlRefusal(const QString& url) {
    if (url.contains(QLatin1Char('\n')) || url.contains(QLatin1Char('\r')))
        return QStringLiteral("URLに改行は使えません。");
    return {};
}

FavoriteFolder::Result FavoriteFolder::renameEntry(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {{}, to};
    if (errno == EEXIST)
        return {existsText(to), {}};
    if (errno != EINVAL && errno != ENOSYS)
        return {systemText(errno), {}};
    // A file system without the no-replace rename.
    if (FavoriteFiles::exists(to))
        return {existsText(to), {}};
    if (::rename(from.c_str(), to.c_str()) != 0)
        return {systemText(errno), {}};
    return {{}, to};
}

FavoriteFolder::Result FavoriteFolder::makeFolder(const fs::path& parent,
                                                  const QString& name) const {
    if (!holds(parent))
        return {outsideText(), {}};
    if (QString why = FavoriteFiles::refusal(name, FavoriteFiles::nameLimit(parent));
        !why.isEmpty())
        return {why, {}};
    const fs::path path = parent / FavoriteFiles::toPath(name);
    if (FavoriteFiles::exists(path))
        return {existsText(path), {}};
    std::error_code error;
    if (!fs::create_directory(path, error))
        return {error ? QString::fromStdString(error.message()) : existsText(path), {}};
    return {{}, path};
}

FavoriteFolder::Result FavoriteFolder::makeBookmark(const fs::path& parent, const QString& name,
                                                    const QString& url) const {
    if (!holds(parent))
        return {outsideText(), {}};
    if (QString why = FavoriteFiles::refusal(name, FavoriteFiles::bookmarkNameLimit(parent));
        !why.isEmpty())
        return {why, {}};
    if (QString why = urlRefusal(url); !why.isEmpty())
        return {why, {}};
    const fs::path path = parent / FavoriteFiles::toPath(name + QStringLiteral(".url"));
    if (FavoriteFiles::exists(path))
        return {existsText(path), {}};
    try {
        InternetShortcut(name.toStdString(), url.toStdString()).save(path.string());
    } catch (const IniFileException& e) {
        return {QString::fromStdString(e.message()), {}};
    }
    return {{}, path};
}

FavoriteFolder::Result FavoriteFolder::rename(const fs::path& path, const QString& name) const {
    if (QString why = entryRefusal(path); !why.isEmpty())
        return {why, {}};
    const bool bookmark = !fs::is_directory(statusOf(path)) && FavoriteFiles::isBookmarkFile(path);
    const fs::path parent = path.parent_path();
    const size_t limit =
        bookmark ? FavoriteFiles::bookmarkNameLimit(parent) : FavoriteFiles::nameLimit(parent);
    if (QString why = FavoriteFiles::refusal(name, limit); !why.isEmpty())
        return {why, {}};
    fs::path target = parent / FavoriteFiles::toPath(name);
    if (bookmark)
        target += path.extension();
    if (target == path)
        return {{}, path};
    return renameEntry(path, target);
}

FavoriteFolder::Result FavoriteFolder::move(const fs::path& path, const fs::path& folder) const {
    if (QString why = entryRefusal(path); !why.isEmpty())
        return {why, {}};
    if (!holds(folder))
        return {outsideText(), {}};
    std::error_code error;
    if (fs::equivalent(path.parent_path(), folder, error))
        return {{}, path};
    if (fs::is_directory(statusOf(path))) {
        const fs::path from = fs::canonical(path, error);
        const fs::path to = fs::canonical(folder, error);
        if (to == from || FavoriteFiles::isInside(from, to))
            return {QStringLiteral("フォルダをその中へは移動できません。"), {}};
    }
    return renameEntry(path, folder / path.filename());
}

FavoriteFolder::Result FavoriteFolder::remove(const fs::path& path) const {
    if (QString why = entryRefusal(path); !why.isEmpty())
        return {why, {}};
    std::error_code error;
    if (fs::is_directory(statusOf(path)))
        fs::remove_all(path, error);
    else
        fs::remove(path, error);
    if (error)
        return {QString::fromStdString(error.message()), {}};
    return {{}, path};
}

} // namespace bryndle
