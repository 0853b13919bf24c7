#include "core/link/BusMonitor.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/link/PortMap.h"
#include "core/text/HexText.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

std::string portText(uint8_t port) {
    return port < kPortCount ? portName(port) : TERVO_TR("core", "端口") + std::to_string(port);
}

// A raw exchange (the serial test view's) has no controller: "地址 —", as in the table, keeps
// the log's columns in line.
std::string stationText(const ExchangeRecord& e) {
    return portText(e.port) + TERVO_TR("core", "  地址 ") +
           (e.address >= 0 ? std::to_string(e.address) : "—");
}

}  // namespace

void BusMonitor::observe(const LinkResult& result) {
    for (const ExchangeRecord& e : result.exchanges) {
        observe(e);
    }
}

void BusMonitor::observe(const ExchangeRecord& e) {
    ++m_observed;
    BusStation& s = m_stations[BusStationKey{e.port, e.address}];
    ++s.exchanges;
    s.lastRoundTripMs = e.roundTripMs;
    s.totalRoundTripMs += e.roundTripMs;
    s.worstRoundTripMs = std::max(s.worstRoundTripMs, e.roundTripMs);
    if (e.reason != LinkReason::None) {
        ++s.reasons[e.reason];
    }
    if (isFailure(e.reason)) {
        ++s.failures;
        s.lastFailureMs = e.startedMs;
        s.lastFailure = e.reason;
        s.lastHolder = e.holder;
    }
    m_log.push_back(e);
    while (m_log.size() > m_logSize) {
        m_log.pop_front();
    }
}

void BusMonitor::clear() {
    m_observed = 0;
    m_stations.clear();
    m_log.clear();
}

std::string BusMonitor::timeText(int64_t wallMs) {
    const std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(wallMs % 1000));
    return text;
}

std::string BusMonitor::printableText(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
    }
    return text;
}

std::vector<std::string> BusMonitor::logLines(const ExchangeRecord& e) {
    const std::string station = stationText(e);
    std::vector<std::string> lines;
    // A failure before anything went out (no device, a held port) has no frame: one line.
    if (!e.sent.empty() && (e.reason == LinkReason::None || e.reason >= LinkReason::NoReply)) {
        lines.push_back(timeText(e.startedMs) + "  " + station + TERVO_TR("core", "  发送  ") +
                        hexBytes(e.sent) + "  " + printableText(e.sent));
        const auto repliedMs = e.startedMs + static_cast<int64_t>(e.roundTripMs + 0.5);
        std::string reply = timeText(repliedMs) + "  " + station + TERVO_TR("core", "  接收  ");
        reply += e.received.empty() ? std::string("—")
                                    : hexBytes(e.received) + "  " + printableText(e.received);
        if (e.reason != LinkReason::None) {
            reply += "  " + reasonLine(e.reason, e.holder);
        }
        lines.push_back(reply);
    } else {
        lines.push_back(timeText(e.startedMs) + "  " + station + "  " +
                        reasonLine(e.reason, e.holder));
    }
    return lines;
}

std::string BusMonitor::logText(const BusFilter& filter) const {
    std::string text;
    for (const ExchangeRecord& e : m_log) {
        if (filter.matches(e)) {
            for (const std::string& line : logLines(e)) {
                text += line + '\n';
            }
        }
    }
    return text;
}

void FailureLine::observe(const LinkResult& result) {
    for (const ExchangeRecord& e : result.exchanges) {
        if (e.address < 0) {
            continue;  // raw bytes have no controller to blame
        }
        const BusStationKey key{e.port, e.address};
        if (isFailure(e.reason)) {
            Streak& s = m_streaks[key];
            ++s.failures;
            s.reason = e.reason;
            s.holder = e.holder;
            s.order = ++m_order;
        } else {
            m_streaks.erase(key);
        }
    }
}

std::string FailureLine::text() const {
    const auto latest = std::max_element(
        m_streaks.begin(), m_streaks.end(),
        [](const auto& a, const auto& b) { return a.second.order < b.second.order; });
    if (latest == m_streaks.end()) {
        return {};
    }
    const auto& [key, s] = *latest;
    return portText(key.port) + TERVO_TR("core", " 地址 ") + std::to_string(key.address) +
           TERVO_TR("core", "：") + reasonLine(s.reason, s.holder) + TERVO_TR("core", "（") +
           std::to_string(s.failures) + TERVO_TR("core", " 次）");
}

}  // namespace tervo
