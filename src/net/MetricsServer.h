#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "core/publish/Publish.h"
#include "net/WebConfig.h"

struct MHD_Connection;
struct MHD_Daemon;

namespace tervo::net {

// Serves GET (and HEAD) /metrics over HTTP, or HTTPS with optional basic authentication as a
// web configuration file says, through libmicrohttpd's event loop on a thread of its own. The
// owner hands it the page text whenever it changes; a scraper always gets the last whole text.
// No client can hold it: connections are served side by side, at most kMaxConnections at once,
// each closed once its request has taken kDeadline (however slowly it trickles in) or has
// been idle that long, with one request per connection.
class MetricsServer {
public:
    static constexpr unsigned kMaxConnections = 512;
    static constexpr std::chrono::milliseconds kDeadline{2000};

    MetricsServer() = default;
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Binds and starts listening; on failure returns the reason ("无法监听 127.0.0.1:9570：...").
    std::string start(const ListenAddress& address, const WebConfig& web = {});
    void update(std::string text);
    int port() const { return m_port; }

    // libmicrohttpd's callbacks.
    struct Callbacks;

private:
    void reap();

    MHD_Daemon* m_daemon = nullptr;
    int m_port = 0;
    WebConfig m_web;
    std::mutex m_mutex;
    std::string m_text;
    std::string m_signedIn;  // the last user and password that signed in, for bcrypt's sake

    // Each open connection's socket and when it opened.
    std::mutex m_openMutex;
    std::map<MHD_Connection*, std::pair<int, std::chrono::steady_clock::time_point>> m_open;
    std::condition_variable m_stopReaper;
    bool m_stopping = false;
    std::thread m_reaper;
};

}  // namespace tervo::net
