#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "support/RawPty.h"

namespace tervo::testing {

// Plays the far end of a pseudo-terminal line: every request that arrives is recorded and
// answered with the same canned reply (an empty reply is silence).
class PtyResponder {
public:
    PtyResponder(RawPty& pty, std::vector<uint8_t> reply) : m_pty(pty), m_reply(std::move(reply)) {
        m_thread = std::thread([this] { serve(); });
    }
    ~PtyResponder() {
        m_running = false;
        m_thread.join();
    }
    PtyResponder(const PtyResponder&) = delete;
    PtyResponder& operator=(const PtyResponder&) = delete;

    std::vector<std::vector<uint8_t>> requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void serve() {
        while (m_running) {
            std::vector<uint8_t> request = m_pty.receive(std::chrono::milliseconds(5));
            if (request.empty()) {
                continue;
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
            }
            m_pty.send(m_reply);
        }
    }

    RawPty& m_pty;
    std::vector<uint8_t> m_reply;
    std::atomic<bool> m_running{true};
    std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_requests;
    std::thread m_thread;
};

}  // namespace tervo::testing
