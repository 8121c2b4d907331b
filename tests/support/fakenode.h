#pragma once

// A scripted stand-in for a node: answers GET requests by path with fixed bodies, 404 for
// unknown paths, and 500 to a request without "Host: 127.0.0.1:<port>" as current nodes do.

#include "support/scriptedserver.h"

#include <map>
#include <string>

namespace bryndle::test {

inline std::string requestPath(const std::string& request) {
    size_t start = request.find(' ');
    if (start == std::string::npos)
        return {};
    size_t end = request.find(' ', start + 1);
    return request.substr(start + 1, end == std::string::npos ? end : end - start - 1);
}

inline ScriptedServer::Handler fakeNode(std::map<std::string, std::string> bodies) {
    return [bodies](ScriptedConnection& connection) {
        std::string request = connection.readRequest();
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(connection.fd(), reinterpret_cast<sockaddr*>(&address), &length);
        std::string host =
            "\r\nHost: 127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "\r\n";
        if (request.find(host) == std::string::npos) {
            connection.send("HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\n\r\n"
                            "missing host\r\n");
            return;
        }
        auto found = bodies.find(requestPath(request));
        if (found == bodies.end()) {
            connection.send("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\n\r\n"
                            "404 Not Found\r\n");
            return;
        }
        connection.send("HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" +
                        found->second);
    };
}

} // namespace bryndle::test
