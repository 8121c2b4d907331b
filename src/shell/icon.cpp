#include "shell/icon.h"

#include "foundation/exception.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <map>
#include <utility>

namespace bryndle {

namespace {

struct Entry {
    QPixmap image;
    QString file;
};

std::map<std::string, Entry>& registry() {
    static std::map<std::string, Entry> icons;
    return icons;
}

QStringList filesWithSuffix(const QString& folder, const QString& suffix) {
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // Matched as a Windows file pattern would: letter case ignored.
        if (QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) == 0)
            files << path;
    }
    return files;
}

} // namespace

void loadIcons(const QString& folder) {
    auto& icons = registry();
    icons.clear();
    for (const char* suffix : {"png", "gif", "ico"}) {
        for (const QString& path : filesWithSuffix(folder, QString::fromLatin1(suffix))) {
            QImageReader reader(path);
            const QImage image = reader.read();
            if (image.isNull())
                throw Exception(path.toStdString() + " : " + reader.errorString().toStdString());
            icons[QFileInfo(path).completeBaseName().toStdString()] = {QPixmap::fromImage(image),
                                                                       path};
        }
    }
}

QPixmap getIcon(const std::string& name) {
    const auto& icons = registry();
    const auto it = icons.find(name);
    if (it == icons.end())
        throw Exception(name + " : not found");
    return it->second.image;
}

bool hasIcon(const std::string& name) {
    return registry().count(name) != 0;
}

QString iconFile(const std::string& name) {
    const auto& icons = registry();
    const auto it = icons.find(name);
    return it == icons.end() ? QString() : it->second.file;
}

std::string fileIconName(const std::string& extension) {
    static const std::map<std::string, std::string> table = {
        {"doc", "page_word"},
        {"txt", "page_text"},
        {"pdf", "file_acrobat"},
        {"ppt", "page_white_powerpoint"},
        {"png", "image"},
        {"gif", "image"},
        {"jpeg", "image"},
        {"jpg", "image"},
        {"swf", "page_flash"},
        {"wme", "film"},
        {"avi", "film"},
        {"mpg", "film"},
        {"mpeg", "film"},
        {"rm", "film"},
        {"iso", "cd"},
        {"mid", "ipod"},
        {"mp3", "ipod"},
        {"wav", "ipod"},
        {"exe", "application_osx_terminal"},
        {"bat", "application_osx_terminal"},
        {"com", "application_osx_terminal"},
        {"zip", "folder"},
        {"rar", "folder"},
        {"lzh", "folder"},
        {"gz", "folder"},
    };
    std::string key = extension;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c);
    });
    const auto it = table.find(key);
    return it == table.end() ? "page" : it->second;
}

QPixmap getFileIcon(const std::string& extension) {
    return getIcon(fileIconName(extension));
}

} // namespace bryndle
