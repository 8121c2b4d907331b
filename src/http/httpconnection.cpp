#include "http/httpconnection.h"

#include "http/responseparser.h"
#include "http/statustext.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace bryndle {

HTTPConnection::~HTTPConnection() {
    close();
}

HTTPConnectionTimeoutException HTTPConnection::deadlinePassed() const {
    return HTTPConnectionTimeoutException("request timeout (" + std::to_string(deadline_) + " s)");
}

int HTTPConnection::deadlineMillisLeft() const {
    if (deadline_ <= 0)
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadlineAt_ - std::chrono::steady_clock::now())
            .count();
    if (left <= 0)
        throw deadlinePassed();
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

short HTTPConnection::waitFor(short events, const char* failure) {
    pollfd entry{};
    entry.fd = socket_;
    entry.events = events;
    int waitMillis = -1;
    if (timeout_ > 0)
        waitMillis = timeout_ > INT_MAX / 1000 ? INT_MAX : timeout_ * 1000;
    for (;;) {
        // Every wait is cut short by the deadline, so a node that trickles bytes still ends.
        const int deadlineMillis = deadlineMillisLeft();
        const bool byDeadline =
            deadlineMillis >= 0 && (waitMillis < 0 || deadlineMillis < waitMillis);
        entry.revents = 0;
        int ready = ::poll(&entry, 1, byDeadline ? deadlineMillis : waitMillis);
        if (ready > 0)
            return entry.revents;
        if (ready == 0) {
            if (byDeadline)
                throw deadlinePassed();
            return 0;
        }
        // An interrupted wait starts again with the full time-out; any other failure of the
        // wait itself would fail again at once.
        if (errno != EINTR)
            throw HTTPConnectionException(failure, errno);
    }
}

ssize_t HTTPConnection::receive(char* buffer, size_t size) {
    for (;;) {
        short events = waitFor(POLLIN, "receive error");
        if (events == 0)
            throw HTTPConnectionTimeoutException();
        if (!(events & (POLLIN | POLLHUP | POLLERR))) {
            int code = (events & POLLNVAL) ? EBADF : errno;
            close();
            throw HTTPConnectionException("receive error", code);
        }
        ssize_t n = ::recv(socket_, buffer, size, 0);
        if (n >= 0)
            return n;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            continue;
        lastError_ = errno;
        return -1;
    }
}

std::string HTTPConnection::readLine() {
    std::string line;
    line.reserve(128);
    char byte;
    for (;;) {
        if (receive(&byte, 1) <= 0)
            break;
        if (byte == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            break;
        }
        line.push_back(byte);
        // One more byte than the bound may still be the CR of the line end.
        if (line.size() > maxHeaderLineLength_ + 1 ||
            (line.size() == maxHeaderLineLength_ + 1 && byte != '\r'))
            throw HTTPProtocolException("http header line too long (more than " +
                                        std::to_string(maxHeaderLineLength_) + " bytes)");
    }
    return line;
}

std::shared_ptr<HTTPHeader> HTTPConnection::readHeader() {
    auto header = std::make_shared<HTTPHeader>();
    const std::string statusLine = readLine();
    parseStatusLine(statusLine, *header);
    // The code as sent: the header keeps 0 for a code without a status text. The line has
    // been checked, so its second part is digits.
    std::string_view code = statusLine;
    code.remove_prefix(code.find(' ') + 1);
    code = code.substr(0, code.find(' '));
    sentStatus_ = 0;
    std::from_chars(code.data(), code.data() + code.size(), sentStatus_);
    size_t total = 0;
    for (;;) {
        std::string line = readLine();
        if (line.empty())
            break;
        total += line.size();
        if (total > maxHeaderLength_)
            throw HTTPProtocolException("http header too long (more than " +
                                        std::to_string(maxHeaderLength_) + " bytes)");
        parseHeaderLine(line, *header);
    }
    return header;
}

int32_t HTTPConnection::parseStatus(std::string_view text) {
    return bryndle::parseStatus(text);
}

void HTTPConnection::dispatch(HTTPResponseListener& listener,
                              const std::shared_ptr<const HTTPHeader>& header) {
    try {
        dispatchBody(listener, header);
    } catch (...) {
        listener.onFinish();
        throw;
    }
    listener.onFinish();
}

void HTTPConnection::dispatchBody(HTTPResponseListener& listener,
                                  const std::shared_ptr<const HTTPHeader>& header) {
    const bool lineMode = listener.lineMode();
    const size_t size = static_cast<size_t>(std::max<int32_t>(listener.bufferSize(), 1));
    std::vector<char> buffer(size);
    LineSplitter splitter(maxBodyLineLength_);
    HTTPResponseEvent event;

    event.clear();
    event.setHeader(header);
    listener.onHeader(event);
    if (event.stopped()) {
        close();
        return;
    }
    auto deliver = [&](std::string_view line) {
        event.clear();
        event.setHeader(header);
        event.setData(line);
        listener.onLine(event);
        return !event.stopped();
    };
    for (;;) {
        ssize_t n = receive(buffer.data(), size);
        if (n == 0) {
            if (lineMode && !splitter.finish(deliver))
                close();
            return;
        }
        if (n < 0) {
            // A body cut short by a socket error is a failure, not a shorter answer.
            int code = lastError_;
            close();
            throw HTTPConnectionException("receive error", code);
        }
        std::string_view chunk(buffer.data(), static_cast<size_t>(n));
        event.clear();
        event.setHeader(header);
        event.setData(chunk);
        listener.onData(event);
        if (event.stopped()) {
            close();
            if (lineMode)
                splitter.finish(deliver);
            return;
        }
        if (lineMode && !splitter.feed(chunk, deliver)) {
            close();
            return;
        }
    }
}

void HTTPConnection::connect(const sockaddr_in& address, int32_t timeoutSeconds) {
    close();
    timeout_ = timeoutSeconds;
    if (deadline_ > 0)
        deadlineAt_ = std::chrono::steady_clock::now() + std::chrono::seconds(deadline_);
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
        throw HTTPConnectionException("Unable to connect socket", errno);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return;
    if (errno != EINPROGRESS)
        throw HTTPConnectionException("Unable to connect socket", errno);
    short events = waitFor(POLLOUT, "Unable to connect socket");
    if (events == 0)
        throw HTTPConnectionTimeoutException();
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0 || (events & (POLLERR | POLLNVAL)))
        throw HTTPConnectionException("Unable to connect socket", error ? error : ECONNREFUSED);
}

void HTTPConnection::sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            throw HTTPConnectionException("send error", errno);
        short events = waitFor(POLLOUT, "send error");
        if (events == 0)
            throw HTTPConnectionTimeoutException();
    }
}

void HTTPConnection::checkStatus() const {
    if (!requireOk_ || sentStatus_ == 200)
        return;
    const std::string_view text = statusText(sentStatus_);
    throw HTTPStatusException(sentStatus_, "HTTP status " + std::to_string(sentStatus_) +
                                               (text.empty() ? "" : " " + std::string(text)));
}

void HTTPConnection::request(const HTTPRequestGenerator& request) {
    if (socket_ < 0)
        throw HTTPConnectionException("not connected", ENOTCONN);
    if (!listener_) {
        sendAll(request.generate());
        if (requireOk_) {
            readHeader();
            checkStatus();
        }
        std::vector<char> buffer(DiscardBufferSize);
        while (receive(buffer.data(), buffer.size()) > 0) {
        }
        close();
        return;
    }
    HTTPResponseListener& listener = *listener_;
    std::shared_ptr<HTTPHeader> header;
    try {
        // A send that fails or times out ends the response too.
        sendAll(request.generate());
        header = readHeader();
        checkStatus();
    } catch (...) {
        listener.onFinish();
        throw;
    }
    dispatch(listener, header);
}

void HTTPConnection::close() {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

HTTPConnection& HTTPConnection::removeListener() {
    listener_ = nullptr;
    return *this;
}

} // namespace bryndle
