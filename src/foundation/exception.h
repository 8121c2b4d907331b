#pragma once

#include <stdexcept>
#include <string>

namespace bryndle {

// The system's general exception: a short fixed message text.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string message() const { return what(); }
};

} // namespace bryndle
