#pragma once

#include "foundation/exception.h"

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace bryndle {

// A host name that does not resolve to an IPv4 address.
class HostResolutionException : public Exception {
public:
    explicit HostResolutionException(const std::string& message) : Exception(message) {}
};

// The node as configured (host text and port, sent in the Host field) and as resolved (the
// IPv4 address that is connected to).
class NodeAddress {
public:
    // Resolves host to its first IPv4 address; raises HostResolutionException when it does not
    // resolve.
    NodeAddress(std::string host, uint16_t port);
    // An address already resolved by the caller.
    NodeAddress(std::string host, uint16_t port, const sockaddr_in& address);

    const std::string& host() const { return host_; }
    uint16_t port() const { return port_; }
    const sockaddr_in& address() const { return address_; }
    // "host:port", the value of the Host field of every request.
    std::string hostField() const;

private:
    std::string host_;
    uint16_t port_;
    sockaddr_in address_{};
};

} // namespace bryndle
