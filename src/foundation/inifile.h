#pragma once

#include "foundation/inifileexception.h"

#include <string>

namespace bryndle {

// Reads and writes values of an INI file (UTF-8 text). A read finds the file as it is now;
// a write changes only its line and replaces the file atomically (a temporary file beside it,
// then a rename), so the file is never seen half written. Errors raise IniFileException.
class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    virtual ~IniFile() = default;

    // -1 when the file, the section or the key is missing.
    virtual int getInt(const std::string& section, const std::string& key);
    // Raises ENOENT when the file, the section or the key is missing.
    virtual std::string getString(const std::string& section, const std::string& key);
    virtual void setInt(const std::string& section, const std::string& key, int value);
    virtual void setString(const std::string& section, const std::string& key,
                           const std::string& value);
    // The same on the default section.
    virtual int getIntDefault(const std::string& key) { return getInt(section_, key); }
    virtual std::string getStringDefault(const std::string& key) {
        return getString(section_, key);
    }
    virtual void setIntDefault(const std::string& key, int value) { setInt(section_, key, value); }
    virtual void setStringDefault(const std::string& key, const std::string& value) {
        setString(section_, key, value);
    }
    virtual void setSection(const std::string& section) { section_ = section; }

    const std::string& path() const { return path_; }
    // Larger files are refused (EFBIG): these are small settings files.
    static constexpr size_t MaxFileSize = 16 * 1024 * 1024;
    // The leading decimal number of the text, as the profile functions read numbers: an
    // optional sign, digits up to the first other character, 0 without digits, clamped to int.
    static int parseInt(const std::string& text);

private:
    // The file's text; empty when it does not exist and `missingIsEmpty`.
    std::string read(bool missingIsEmpty) const;
    void write(const std::string& text) const;

    std::string path_;
    std::string section_;
};

} // namespace bryndle
