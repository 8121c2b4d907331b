#pragma once

#include "http/httpconnectionexception.h"
#include "http/httpheader.h"
#include "http/httprequestgenerator.h"
#include "http/httpresponselistener.h"
#include "http/linesplitter.h"

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace bryndle {

// One request to a node and its response over a TCP socket: connect with a time-out, send the
// request, read the status line and header, hand the body to the listener as chunks and, in
// line mode, as lines. Every wait for the socket has the full time-out (0 = no limit), and
// the whole exchange, from connect to the end of the response, may have a deadline.
//
// Use: setListener (or not), connect, request, and always close; then removeListener. All
// listener calls happen inside request, on the calling thread.
class HTTPConnection {
public:
    static constexpr size_t DefaultMaxHeaderLineLength = 8 * 1024;
    static constexpr size_t DefaultMaxHeaderLength = 64 * 1024;
    static constexpr size_t DiscardBufferSize = 65536;

    HTTPConnection() = default;
    HTTPConnection(const HTTPConnection&) = delete;
    HTTPConnection& operator=(const HTTPConnection&) = delete;
    virtual ~HTTPConnection();

    // Waits for data and reads at most size bytes: the count read, 0 when the node closed the
    // connection, -1 on a socket error.
    virtual ssize_t receive(char* buffer, size_t size);
    // One header line without its line end (what arrived, when the connection ends first).
    virtual std::string readLine();
    // The status line and header block.
    virtual std::shared_ptr<HTTPHeader> readHeader();
    // The status code of a text of digits, 0 for a code without a status text.
    virtual int32_t parseStatus(std::string_view text);
    // Hands the body to the listener; calls its onFinish exactly once.
    virtual void dispatch(HTTPResponseListener& listener,
                          const std::shared_ptr<const HTTPHeader>& header);
    virtual void connect(const sockaddr_in& address, int32_t timeoutSeconds);
    // Sends the request's bytes and handles the whole response. Without a listener the
    // response is read to its end and dropped unparsed.
    virtual void request(const HTTPRequestGenerator& request);
    // Closes the socket if there is one; harmless when repeated.
    virtual void close();
    virtual void setListener(HTTPResponseListener* listener) { listener_ = listener; }
    virtual HTTPConnection& removeListener();

    bool isOpen() const { return socket_ >= 0; }
    int32_t timeout() const { return timeout_; }

    // Seconds for the whole exchange (connect, request, header and body), counted from
    // connect; 0 = none. When it passes, the exchange ends with
    // HTTPConnectionTimeoutException "request timeout (N s)".
    void setDeadline(int32_t seconds) { deadline_ = seconds; }
    int32_t deadline() const { return deadline_; }
    // When on, a response whose status is not 200 ends the request with HTTPStatusException
    // before any of its body reaches the listener (also without a listener).
    void setRequireOk(bool on) { requireOk_ = on; }
    bool requireOk() const { return requireOk_; }

    // Bounds on what a node may send; exceeding one ends the request with
    // HTTPProtocolException.
    void setMaxHeaderLineLength(size_t bytes) { maxHeaderLineLength_ = bytes; }
    size_t maxHeaderLineLength() const { return maxHeaderLineLength_; }
    void setMaxHeaderLength(size_t bytes) { maxHeaderLength_ = bytes; }
    size_t maxHeaderLength() const { return maxHeaderLength_; }
    void setMaxBodyLineLength(size_t bytes) { maxBodyLineLength_ = bytes; }
    size_t maxBodyLineLength() const { return maxBodyLineLength_; }

private:
    // poll() on the socket with the time-out; the returned events, 0 when it timed out.
    // Raises the deadline's time-out when the deadline has passed.
    short waitFor(short events, const char* failure);
    // Milliseconds left before the deadline (at least 1), or -1 without a deadline.
    int deadlineMillisLeft() const;
    HTTPConnectionTimeoutException deadlinePassed() const;
    void sendAll(std::string_view bytes);
    // Raises HTTPStatusException when a 200 is required and the last header had another code.
    void checkStatus() const;
    void dispatchBody(HTTPResponseListener& listener,
                      const std::shared_ptr<const HTTPHeader>& header);

    int socket_ = -1;
    int lastError_ = 0;
    HTTPResponseListener* listener_ = nullptr;
    int32_t timeout_ = 0;
    int32_t deadline_ = 0;
    std::chrono::steady_clock::time_point deadlineAt_{};
    bool requireOk_ = false;
    int32_t sentStatus_ = 0;
    size_t maxHeaderLineLength_ = DefaultMaxHeaderLineLength;
    size_t maxHeaderLength_ = DefaultMaxHeaderLength;
    size_t maxBodyLineLength_ = LineSplitter::DefaultMaxLineLength;
};

} // namespace bryndle
