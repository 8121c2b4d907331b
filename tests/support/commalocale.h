#pragma once

#include "support/tempdir.h"

#include <clocale>
#include <cstdlib>
#include <string>

namespace bryndle::test {

// Switches the whole process to de_DE.UTF-8, whose decimal point is a comma, for the scope (as
// the interface's toolkit switches it to the user's locale). When the system lacks the locale it
// is made with localedef in the given folder. active() tells whether the switch happened.
class CommaLocale {
public:
    static constexpr const char* Name = "de_DE.UTF-8";

    explicit CommaLocale(const TempDir& dir) : previous_(std::setlocale(LC_ALL, nullptr)) {
        if (use())
            return;
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + dir.file(Name) + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return;
        ::setenv("LOCPATH", dir.path().c_str(), 1);
        madeHere_ = true;
        use();
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, previous_.c_str());
        if (madeHere_)
            ::unsetenv("LOCPATH");
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool active() const { return active_; }

private:
    bool use() {
        active_ = std::setlocale(LC_ALL, Name) != nullptr &&
                  std::string(std::localeconv()->decimal_point) == ",";
        return active_;
    }

    std::string previous_;
    bool madeHere_ = false;
    bool active_ = false;
};

} // namespace bryndle::test
