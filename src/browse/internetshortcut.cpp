#include "browse/internetshortcut.h"

#include "foundation/inifile.h"
#include "foundation/unicode.h"

#include <filesystem>

namespace bryndle {

namespace fs = std::filesystem;

InternetShortcut::InternetShortcut(const std::string& filePath, Unread)
    : name_(fs::path(filePath).stem().string()), filePath_(fs::absolute(filePath).string()) {}

InternetShortcut::InternetShortcut(const std::string& filePath)
    : InternetShortcut(filePath, Unread{}) {
    url_ = readUrl(filePath_);
}

InternetShortcut InternetShortcut::unread(const std::string& filePath) {
    return InternetShortcut(filePath, Unread{});
}

std::string InternetShortcut::readUrl(const std::string& path) const {
    return IniFile(path).getString(Section, Key);
}

void InternetShortcut::save(const std::string& path) {
    IniFile(path).setString(Section, Key, url_);
    filePath_ = fs::absolute(path).string();
}

int InternetShortcut::compare(const InternetShortcut& other) const {
    return Unicode::compareIgnoringCase(name_, other.name_);
}

} // namespace bryndle
