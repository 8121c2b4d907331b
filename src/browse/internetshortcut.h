#pragma once

#include <string>

namespace bryndle {

// A bookmark file: an INI file with the location under "InternetShortcut"/"URL". Its name is
// the file name without folder and its last extension.
class InternetShortcut {
public:
    // A shortcut still to be saved.
    InternetShortcut(std::string name, std::string url)
        : url_(std::move(url)), name_(std::move(name)) {}
    // Reads the file; raises IniFileException when it has no URL.
    explicit InternetShortcut(const std::string& filePath);
    virtual ~InternetShortcut() = default;

    // The file, without reading it: the URL stays empty.
    static InternetShortcut unread(const std::string& filePath);

    // "<name>.url"
    virtual std::string fileName() const { return name_ + ".url"; }
    // Reads the URL again from the own file.
    virtual void reload() { url_ = readUrl(filePath_); }
    virtual std::string readUrl(const std::string& path) const;
    // Writes the URL into the file (other sections and keys stay); the file becomes the own
    // one. Raises IniFileException, also for a URL with a line break.
    virtual void save(const std::string& path);

    // Letter case is ignored.
    int compare(const InternetShortcut& other) const;
    bool operator==(const InternetShortcut& other) const { return compare(other) == 0; }
    bool operator<(const InternetShortcut& other) const { return compare(other) < 0; }

    const std::string& url() const { return url_; }
    const std::string& name() const { return name_; }
    const std::string& filePath() const { return filePath_; }

    static constexpr const char* Section = "InternetShortcut";
    static constexpr const char* Key = "URL";

private:
    struct Unread {};
    InternetShortcut(const std::string& filePath, Unread);

    std::string url_;
    std::string name_;
    std::string filePath_;
};

} // namespace bryndle
