#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace tervo::testing {

// A TCP connection to 127.0.0.1:port, -1 when nothing listens there.
inline int connectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether something listens on 127.0.0.1:port.
inline bool listening(int port) {
    const int fd = connectLoopback(port);
    if (fd >= 0) {
        close(fd);
    }
    return fd >= 0;
}

// One HTTP exchange with 127.0.0.1:port; the whole answer, or "" when nothing listens.
inline std::string httpGet(int port, const std::string& target) {
    const int fd = connectLoopback(port);
    std::string answer;
    if (fd < 0) {
        return answer;
    }
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

}  // namespace tervo::testing
