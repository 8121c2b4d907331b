#include "node/nodeaddress.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace bryndle {

NodeAddress::NodeAddress(std::string host, uint16_t port) : host_(std::move(host)), port_(port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int result = ::getaddrinfo(host_.c_str(), nullptr, &hints, &found);
    if (result != 0 || !found) {
        std::string reason = result == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(result);
        if (found)
            ::freeaddrinfo(found);
        throw HostResolutionException("Unable to resolve host " + host_ + ": " + reason);
    }
    std::memcpy(&address_, found->ai_addr, sizeof address_);
    ::freeaddrinfo(found);
    address_.sin_family = AF_INET;
    address_.sin_port = htons(port_);
}

NodeAddress::NodeAddress(std::string host, uint16_t port, const sockaddr_in& address)
    : host_(std::move(host)), port_(port), address_(address) {
    address_.sin_port = htons(port_);
}

std::string NodeAddress::hostField() const {
    return host_ + ":" + std::to_string(port_);
}

} // namespace bryndle
