#pragma once

#include "http/httpconnection.h"
#include "http/httprequestgenerator.h"
#include "http/httpresponselistener.h"
#include "node/nodeaddress.h"

#include <cstdint>

namespace bryndle {

// The base of every node I/O object: the node's address and one connection, with the rule
// connect, send, and always close. Made for one task; holds nothing between requests. Any
// answer whose status is not 200 fails the request (HTTPStatusException) before its body is
// read, and each whole request has a deadline.
class ShinGETsuIO {
public:
    // Seconds for the connection attempt and for every wait for data.
    static constexpr int32_t DefaultTimeout = 600;
    // Seconds for one whole request (connect, header and body): a node that trickles its
    // answer cannot keep a request alive for ever.
    static constexpr int32_t DefaultDeadline = 600;

    explicit ShinGETsuIO(NodeAddress address, int32_t timeoutSeconds = DefaultTimeout);
    ShinGETsuIO(const ShinGETsuIO&) = delete;
    ShinGETsuIO& operator=(const ShinGETsuIO&) = delete;
    virtual ~ShinGETsuIO() = default;

    // Adds the field "Host: host:port" to the request's header, then connects and runs the
    // request; the connection is closed in every case.
    virtual void request(HTTPRequestGenerator& request);
    virtual void setListener(HTTPResponseListener* listener);
    virtual ShinGETsuIO& removeListener();
    virtual void connect();
    virtual void close();

    const NodeAddress& address() const { return address_; }
    int32_t timeout() const { return timeout_; }
    void setTimeout(int32_t seconds) { timeout_ = seconds; }
    // 0 = no deadline.
    int32_t deadline() const { return deadline_; }
    void setDeadline(int32_t seconds) { deadline_ = seconds; }
    // The connection, for its bounds.
    HTTPConnection& connection() { return connection_; }

protected:
    // Runs a request with the listener set, removing it again in every case.
    void requestWith(HTTPRequestGenerator& request, HTTPResponseListener& listener);

private:
    NodeAddress address_;
    int32_t timeout_;
    int32_t deadline_ = DefaultDeadline;
    HTTPConnection connection_;
};

} // namespace bryndle
