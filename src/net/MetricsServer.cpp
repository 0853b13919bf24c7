#include "net/MetricsServer.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tervo::net {

MetricsServer::~MetricsServer() {
    if (m_thread.joinable()) {
        // Wakes the thread at once, also in the middle of an answer, so the port is free for
        // the next recording as soon as this one stops.
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_listen, m_wake[0], m_wake[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::string MetricsServer::start(const ListenAddress& address) {
    const std::string where =
        (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) +
        ":" + std::to_string(address.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    if (const int rc = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        return "无法监听 " + where + "：" + gai_strerror(rc);
    }
    int error = 0;
    for (addrinfo* a = found; a != nullptr && m_listen < 0; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 8) == 0) {
            m_listen = fd;
            sockaddr_storage bound{};
            socklen_t length = sizeof bound;
            getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
            m_port = ntohs(bound.ss_family == AF_INET6
                               ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        } else {
            error = errno;
            close(fd);
        }
    }
    freeaddrinfo(found);
    if (m_listen < 0) {
        return "无法监听 " + where + "：" + std::strerror(error);
    }
    if (pipe2(m_wake, O_CLOEXEC) != 0) {
        const int failed = errno;
        close(m_listen);
        m_listen = -1;
        return "无法监听 " + where + "：" + std::strerror(failed);
    }
    m_thread = std::thread([this] { run(); });
    return {};
}

void MetricsServer::update(std::string text) {
    std::lock_guard lock(m_mutex);
    m_text = std::move(text);
}

// Waits until `fd` is ready for `events`; false on a stop, a timeout or an error.
bool MetricsServer::waitFor(int fd, short events, int timeoutMs) {
    pollfd p[2] = {{fd, events, 0}, {m_wake[0], POLLIN, 0}};
    return poll(p, 2, timeoutMs) > 0 && p[1].revents == 0 && p[0].revents != 0;
}

void MetricsServer::run() {
    for (;;) {
        pollfd p[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (p[1].revents != 0) {
            return;
        }
        if (p[0].revents == 0) {
            continue;
        }
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            answer(client);
            close(client);
        }
    }
}

// One request per connection. A client that sends nothing within a second, or more than a
// small header, is closed without an answer so it cannot hold the server.
void MetricsServer::answer(int client) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos &&
           request.find("\n\n") == std::string::npos && request.size() < 8192) {
        if (!waitFor(client, POLLIN, 1000)) {
            return;
        }
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return;
        }
        request.append(buffer, static_cast<size_t>(n));
    }
    const size_t lineEnd = request.find_first_of("\r\n");
    const std::string line = request.substr(0, lineEnd);
    const bool head = line.starts_with("HEAD ");
    std::string status = "200 OK";
    std::string type = "text/plain; version=0.0.4; charset=utf-8";
    std::string body;
    if (!line.starts_with("GET ") && !head) {
        status = "405 Method Not Allowed";
        body = "GET /metrics\n";
    } else {
        const size_t start = line.find(' ') + 1;
        const std::string target = line.substr(start, line.find(' ', start) - start);
        if (target == "/metrics" || target.starts_with("/metrics?")) {
            std::lock_guard lock(m_mutex);
            body = m_text;
        } else {
            status = "404 Not Found";
            type = "text/plain; charset=utf-8";
            body = "Tervo serves /metrics\n";
        }
    }
    std::string reply = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                        "\r\nContent-Length: " + std::to_string(body.size()) +
                        "\r\nConnection: close\r\n\r\n" + (head ? std::string() : body);
    size_t sentBytes = 0;
    while (sentBytes < reply.size()) {
        if (!waitFor(client, POLLOUT, 1000)) {
            return;
        }
        const ssize_t n =
            send(client, reply.data() + sentBytes, reply.size() - sentBytes, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sentBytes += static_cast<size_t>(n);
    }
}

}  // namespace tervo::net
