#pragma once

#include <mutex>
#include <string>
#include <thread>

#include "publish/Publish.h"

namespace tervo::net {

// Serves GET /metrics over plain HTTP on a thread of its own. The owner hands it the page
// text whenever it changes; a scraper always gets the last whole text.
class MetricsServer {
public:
    MetricsServer() = default;
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Binds and starts listening; on failure returns the reason ("无法监听 127.0.0.1:9570：...").
    std::string start(const ListenAddress& address);
    void update(std::string text);
    int port() const { return m_port; }

private:
    void run();
    void answer(int client);
    bool waitFor(int fd, short events, int timeoutMs);

    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};  // written once to stop the thread
    std::mutex m_mutex;
    std::string m_text;
    std::thread m_thread;
};

}  // namespace tervo::net
