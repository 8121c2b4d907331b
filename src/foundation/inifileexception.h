#pragma once

#include "foundation/exception.h"

#include <string>

namespace bryndle {

// A failed read or write of an INI file: the system's message for the error code.
class IniFileException : public Exception {
public:
    explicit IniFileException(int code);
    IniFileException(int code, const std::string& message) : Exception(message), code_(code) {}
    // The errno value: ENOENT for a missing file, section or key, EINVAL for a name or value
    // that cannot be written.
    int code() const { return code_; }

private:
    int code_;
};

} // namespace bryndle
