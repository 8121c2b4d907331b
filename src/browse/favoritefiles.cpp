#include "browse/favoritefiles.h"

#include <QList>

#include <unistd.h>

#include <algorithm>

namespace bryndle {

namespace fs = std::filesystem;

namespace {

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c < 0xa0);
}

size_t utf8Length(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// At most maxBytes of UTF-8, never cutting a character.
QString shortened(const QString& text, size_t maxBytes) {
    QString out;
    size_t bytes = 0;
    for (char32_t c : text.toUcs4()) {
        bytes += utf8Length(c);
        if (bytes > maxBytes)
            break;
        out += QString::fromUcs4(&c, 1);
    }
    return out;
}

} // namespace

FolderListing FavoriteFiles::list(const fs::path& folder) {
    FolderListing listing;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        listing.readable = false;
        return listing;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        std::error_code ignored;
        if (entry.is_directory(ignored))
            listing.folders.push_back({entry.path(), entry.is_symlink(ignored)});
        else if (entry.is_regular_file(ignored) && isBookmarkFile(entry.path()))
            listing.bookmarks.push_back({entry.path(), false});
    }
    if (error)
        listing.readable = false;
    return listing;
}

bool FavoriteFiles::isBookmarkFile(const fs::path& path) {
    const std::string extension = path.extension().string();
    return extension.size() == 4 && extension[0] == '.' && (extension[1] | 0x20) == 'u' &&
           (extension[2] | 0x20) == 'r' && (extension[3] | 0x20) == 'l';
}

size_t FavoriteFiles::nameLimit(const fs::path& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

size_t FavoriteFiles::bookmarkNameLimit(const fs::path& folder) {
    return nameLimit(folder) - 4;
}

QString FavoriteFiles::fromTitle(const QString& title, size_t maxBytes) {
    QString name;
    for (char32_t c : title.toUcs4()) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
        else if (c == '/' || isControl(c))
            c = '_';
        name += QString::fromUcs4(&c, 1);
    }
    name = name.trimmed();
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return shortened(name, maxBytes).trimmed();
}

QString FavoriteFiles::refusal(const QString& name, size_t maxBytes) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("名前を入力してください。");
    const auto characters = name.toUcs4();
    if (name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')) ||
        std::any_of(characters.begin(), characters.end(), isControl))
        return QStringLiteral("名前に「/」や制御文字は使えません。「.」で始めることもできません。");
    if (static_cast<size_t>(name.toUtf8().size()) > maxBytes)
        return QStringLiteral("名前が長すぎます。");
    return {};
}

fs::path FavoriteFiles::freePath(const fs::path& folder, const QString& name,
                                 const QString& suffix) {
    const size_t limit = nameLimit(folder) - static_cast<size_t>(suffix.toUtf8().size());
    fs::path path = folder / toPath(shortened(name, limit) + suffix);
    for (int number = 2; exists(path); ++number) {
        const QString tail = QStringLiteral(" (%1)").arg(number);
        const QString base = shortened(name, limit - static_cast<size_t>(tail.size()));
        path = folder / toPath(base + tail + suffix);
    }
    return path;
}

bool FavoriteFiles::isInside(const fs::path& root, const fs::path& path) {
    std::error_code error;
    const fs::path base = fs::weakly_canonical(root, error);
    if (error)
        return false;
    const fs::path name = path.filename();
    if (name.empty() || name == "." || name == "..")
        return false;
    const fs::path parent = fs::weakly_canonical(fs::absolute(path).parent_path(), error);
    if (error)
        return false;
    auto [end, ignored] = std::mismatch(base.begin(), base.end(), parent.begin(), parent.end());
    return end == base.end();
}

bool FavoriteFiles::exists(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

QString FavoriteFiles::displayName(const fs::path& path) {
    return fromPath(path.filename());
}

fs::path FavoriteFiles::toPath(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    return fs::path(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QString FavoriteFiles::fromPath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace bryndle
