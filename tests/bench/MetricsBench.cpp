// How long a scrape of the metrics page takes while a crowd of clients holds connections to
// it: half of them connect and say nothing, half trickle a request a byte every 200 ms, and
// whichever the server lets go connects again at once. The figure to watch is max_ms, the
// slowest scrape (it should stay well under 100 ms with 300 in the crowd).
//   metrics_bench [--benchmark_min_time=S]
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "net/MetricsServer.h"
#include "support/FreePort.h"
#include "support/Loopback.h"

namespace {

using Clock = std::chrono::steady_clock;

class Crowd {
public:
    Crowd(int port, int size) : m_port(port), m_fds(static_cast<size_t>(size), -1) {
        m_thread = std::thread([this] { run(); });
    }
    ~Crowd() {
        m_stop = true;
        m_thread.join();
        for (int fd : m_fds) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    int connected() const { return m_connected; }

private:
    void run() {
        auto nextByte = Clock::now();
        while (!m_stop) {
            const bool trickle = Clock::now() >= nextByte;
            if (trickle) {
                nextByte = Clock::now() + std::chrono::milliseconds(200);
            }
            int connected = 0;
            for (size_t i = 0; i < m_fds.size(); ++i) {
                int& fd = m_fds[i];
                char buffer[512];
                if (fd >= 0 && recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) == 0) {
                    close(fd);  // let go by the server
                    fd = -1;
                }
                if (fd < 0) {
                    fd = tervo::testing::connectLoopback(m_port);
                    if (fd >= 0 && i % 2 == 1) {
                        const char start[] = "GET /metrics HTTP/1.1\r\nX-Slow: ";
                        send(fd, start, sizeof start - 1, MSG_NOSIGNAL);
                    }
                } else if (trickle && i % 2 == 1) {
                    send(fd, "a", 1, MSG_NOSIGNAL);
                }
                connected += fd >= 0;
            }
            m_connected = connected;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    int m_port;
    std::vector<int> m_fds;
    std::atomic<int> m_connected{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// One scrape, the whole answer; empty when it failed.
std::string scrape(int port) {
    const int fd = tervo::testing::connectLoopback(port);
    if (fd < 0) {
        return {};
    }
    const timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const std::string request = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[8192];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

void BM_ScrapeBesideSlowClients(benchmark::State& state) {
    tervo::net::MetricsServer server;
    if (!server.start({"127.0.0.1", tervo::testing::freePort()}).empty()) {
        state.SkipWithError("the metrics server did not start");
        return;
    }
    // A page of twenty channels' size.
    std::string page;
    for (int c = 0; c < 100; ++c) {
        page += "tervo_channel_value{work=\"w\",channel=\"" + std::to_string(c) + "\"} 812.4\n";
    }
    server.update(page);
    const int size = static_cast<int>(state.range(0));
    Crowd crowd(server.port(), size);
    for (auto until = Clock::now() + std::chrono::seconds(5);
         crowd.connected() < size && Clock::now() < until;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    double slowest = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const std::string answer = scrape(server.port());
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        slowest = std::max(slowest, ms);
        if (!answer.starts_with("HTTP/1.1 200 OK") || !answer.ends_with(page)) {
            state.SkipWithError("a scrape got no page");
            return;
        }
    }
    state.counters["max_ms"] = slowest;
    state.counters["crowd"] = crowd.connected();
}
BENCHMARK(BM_ScrapeBesideSlowClients)
    ->Arg(0)
    ->Arg(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
