#include "foundation/inifile.h"

#include "foundation/inidocument.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace bryndle {

IniFileException::IniFileException(int code)
    : Exception(std::generic_category().message(code)), code_(code) {}

namespace {

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

[[noreturn]] void raiseErrno() {
    throw IniFileException(errno);
}

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raiseErrno();
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

// A name that is short whatever the file's own name, hidden and not ".url".
std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".bryndle-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
}

} // namespace

int IniFile::parseInt(const std::string& text) {
    std::string_view rest(text);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    long long number = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            break;
        number = std::min<long long>(number * 10 + (c - '0'), 1LL + INT_MAX);
    }
    if (negative)
        number = -number;
    return static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX));
}

std::string IniFile::read(bool missingIsEmpty) const {
    // Non-blocking, so that a pipe of that name cannot hang the caller.
    Descriptor file{::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        if (errno == ENOENT && missingIsEmpty)
            return {};
        raiseErrno();
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        raiseErrno();
    if (S_ISDIR(info.st_mode))
        throw IniFileException(EISDIR);
    if (!S_ISREG(info.st_mode))
        throw IniFileException(EINVAL);
    if (static_cast<unsigned long long>(info.st_size) > MaxFileSize)
        throw IniFileException(EFBIG);
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raiseErrno();
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > MaxFileSize)
            throw IniFileException(EFBIG);
    }
    return text;
}

// A symbolic link at the path is replaced by the file, never written through.
void IniFile::write(const std::string& text) const {
    namespace fs = std::filesystem;
    const fs::path target(path_);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    mode_t mode = 0666; // narrowed by the umask for a new file
    struct stat info {};
    const bool exists = ::lstat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    std::string temporary;
    Descriptor file{-1};
    for (int attempt = 0; file.fd < 0; ++attempt) {
        temporary = (folder / temporaryName()).string();
        file.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (file.fd < 0 && (errno != EEXIST || attempt > 100))
            raiseErrno();
    }
    try {
        if (exists && ::fchmod(file.fd, info.st_mode & 07777) != 0)
            raiseErrno();
        writeAll(file.fd, text);
        if (::fsync(file.fd) != 0)
            raiseErrno();
        const int fd = file.fd;
        file.fd = -1;
        if (::close(fd) != 0)
            raiseErrno();
        if (::rename(temporary.c_str(), path_.c_str()) != 0)
            raiseErrno();
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

std::string IniFile::getString(const std::string& section, const std::string& key) {
    const std::optional<std::string> value = IniDocument(read(false)).value(section, key);
    if (!value)
        throw IniFileException(ENOENT);
    return *value;
}

int IniFile::getInt(const std::string& section, const std::string& key) {
    const std::optional<std::string> value = IniDocument(read(true)).value(section, key);
    return value ? parseInt(*value) : -1;
}

void IniFile::setString(const std::string& section, const std::string& key,
                        const std::string& value) {
    IniDocument document(read(true));
    document.setValue(section, key, value);
    write(document.text());
}

void IniFile::setInt(const std::string& section, const std::string& key, int value) {
    setString(section, key, std::to_string(value));
}

} // namespace bryndle
