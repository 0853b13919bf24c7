#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace tervo::testing {

// A broker that acknowledges a connection and then never answers again: whatever a publisher
// sends it stays unacknowledged.
class SilentBroker {
public:
    SilentBroker() {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(m_listen, 4);
        socklen_t length = sizeof a;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &length);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~SilentBroker() {
        m_stop = true;
        m_thread.join();
        for (int fd : m_clients) {
            close(fd);
        }
        close(m_listen);
    }
    int port() const { return m_port; }

private:
    void run() {
        while (!m_stop) {
            std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
            for (int fd : m_clients) {
                fds.push_back({fd, POLLIN, 0});
            }
            if (poll(fds.data(), fds.size(), 50) <= 0) {
                continue;
            }
            if (fds[0].revents != 0) {
                if (const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC); fd >= 0) {
                    m_clients.push_back(fd);
                    m_answered.push_back(false);
                }
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                char buffer[4096];
                if (fds[i].revents != 0 && recv(fds[i].fd, buffer, sizeof buffer, 0) > 0 &&
                    !m_answered[i - 1]) {
                    const uint8_t connack[] = {0x20, 0x02, 0x00, 0x00};
                    send(fds[i].fd, connack, sizeof connack, MSG_NOSIGNAL);
                    m_answered[i - 1] = true;
                }
            }
        }
    }

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::vector<int> m_clients;
    std::vector<bool> m_answered;
    std::thread m_thread;
};

}  // namespace tervo::testing
