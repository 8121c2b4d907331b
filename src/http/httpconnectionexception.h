#pragma once

#include "foundation/exception.h"

#include <cstdint>
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

// No connection or no data within the time-out: "connection timeout"; or the whole request
// outlasted its deadline: "request timeout (N s)".
class HTTPConnectionTimeoutException : public HTTPConnectionException {
public:
    explicit HTTPConnectionTimeoutException(const std::string& message = "connection timeout")
        : HTTPConnectionException(message, 0) {}
};

// A response that is not the HTTP the client understands.
class HTTPProtocolException : public Exception {
public:
    explicit HTTPProtocolException(const std::string& message) : Exception(message) {}
};

// A response whose status is not the one the request needs: "HTTP status 503 Service
// Unavailable" (the code as the node sent it, and its reason phrase when the code has one).
class HTTPStatusException : public Exception {
public:
    HTTPStatusException(int32_t status, const std::string& message)
        : Exception(message), status_(status) {}
    int32_t status() const { return status_; }

private:
    int32_t status_;
};

} // namespace bryndle
