#pragma once

#include "foundation/exception.h"

#include <string>

namespace bryndle {

// A socket failure: a fixed message and the system's error number (0 when there is none).
class HTTPConnectionException : public Exception {
public:
    HTTPConnectionException(const std::string& message, int errorCode)
        : Exception(message), errorCode_(errorCode) {}
    int errorCode() const { return errorCode_; }

private:
    int errorCode_;
};

// No connection or no data within the time-out: "connection timeout".
class HTTPConnectionTimeoutException : public HTTPConnectionException {
public:
    HTTPConnectionTimeoutException() : HTTPConnectionException("connection timeout", 0) {}
};

// A response that is not the HTTP the client understands.
class HTTPProtocolException : public Exception {
public:
    explicit HTTPProtocolException(const std::string& message) : Exception(message) {}
};

} // namespace bryndle
