#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/link/LinkRequest.h"

namespace tervo {

// What the bus monitor knows of one controller (or of a port's raw exchanges, address -1).
struct BusStation {
    uint64_t exchanges = 0;
    uint64_t failures = 0;
    std::map<LinkReason, uint64_t> reasons;  // failures by reason, and replies for another
                                             // parameter, which were taken
    std::optional<int64_t> lastFailureMs;    // wall-clock ms of the last failure
    LinkReason lastFailure = LinkReason::None;
    std::string lastHolder;
    double lastRoundTripMs = 0.0;
    double totalRoundTripMs = 0.0;
    double worstRoundTripMs = 0.0;

    double meanRoundTripMs() const { return exchanges == 0 ? 0.0 : totalRoundTripMs / exchanges; }
};

// A port and a controller address on it; address -1 for raw bytes.
struct BusStationKey {
    uint8_t port = 0;
    int address = -1;
    auto operator<=>(const BusStationKey&) const = default;
};

// Which frames the log shows: one port or all (-1), one address or all (-1).
struct BusFilter {
    int port = -1;
    int address = -1;
    bool matches(const ExchangeRecord& e) const {
        return (port < 0 || e.port == port) && (address < 0 || e.address == address);
    }
};

// The bus monitor's rules: counts per port and controller from the exchanges the link threads
// carried, and a log of the last frames. It only looks at results; it never exchanges.
class BusMonitor {
public:
    static constexpr size_t kDefaultLogSize = 2000;

    explicit BusMonitor(size_t logSize = kDefaultLogSize) : m_logSize(logSize) {}

    void observe(const LinkResult& result);
    void observe(const ExchangeRecord& exchange);
    void clear();

    const std::map<BusStationKey, BusStation>& stations() const { return m_stations; }
    // The last exchanges, oldest first (at most the log size).
    const std::deque<ExchangeRecord>& log() const { return m_log; }
    // Exchanges observed since the start (or the last clear), the ones no longer in the log too.
    uint64_t observed() const { return m_observed; }

    // The two lines of an exchange in the log, request and reply:
    // "12:34:56.789  COM1  地址 3  发送  04 30 30 33 33 50 56 05  .0033PV."
    // "12:34:56.859  COM1  地址 3  接收  (none)  无应答", local time to the millisecond.
    static std::vector<std::string> logLines(const ExchangeRecord& exchange);
    // The whole log through `filter`, one line each, as "保存日志" writes it.
    std::string logText(const BusFilter& filter) const;

    // Helpers the window's columns share: "08:15:02.125", "无应答（端口被占用 …）".
    static std::string timeText(int64_t wallMs);
    static std::string printableText(const std::vector<uint8_t>& bytes);

private:
    size_t m_logSize;
    uint64_t m_observed = 0;
    std::map<BusStationKey, BusStation> m_stations;
    std::deque<ExchangeRecord> m_log;
};

// The main window's status-bar line: the latest failure of a controller that has not answered
// well since, "COM1 地址 3：无应答（5 次）", with the failed attempts in a row. A good answer
// from that controller clears its failure; the line then names the latest one still failing,
// or nothing.
class FailureLine {
public:
    void observe(const LinkResult& result);
    std::string text() const;

private:
    struct Streak {
        uint64_t failures = 0;
        LinkReason reason = LinkReason::None;
        std::string holder;
        uint64_t order = 0;  // when it last failed, to find the latest
    };
    std::map<BusStationKey, Streak> m_streaks;
    uint64_t m_order = 0;
};

}  // namespace tervo
