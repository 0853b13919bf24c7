#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/alarms/AlarmEvaluator.h"
#include "core/link/LinkRequest.h"
#include "core/work/WorkDefinition.h"
#include "core/work/WorkFiles.h"

namespace tervo {

// What a recording hands to the plant network: MQTT messages and the metrics page, as plain
// data. The transports live outside the core.

inline constexpr const char* kOnlinePayload = "online";
inline constexpr const char* kOfflinePayload = "offline";

struct PublishMessage {
    std::string topic;
    std::string payload;
    bool retain = false;
};

// One topic level: '/', '+', '#' and control characters would change the topic's shape or be
// refused by the broker, so each becomes '_'; an empty text becomes "_".
std::string topicLevel(std::string_view text);
std::string statusTopic(const std::string& host);  // tervo/<host>/status

// "2004-03-04T15:30:00+08:00": the local time with its offset from UTC.
std::string isoTimeText(const std::tm& local);
// A JSON string literal of UTF-8 text, quotes included.
std::string jsonString(std::string_view utf8);
// A value as it goes out: rounded to 6 significant digits, then the shortest text of that
// number. A controller's five-character field comes out with the digits it sent ("79.99", not
// the 79.99000000000001 the decimal digits add up to in binary), a scaled value rounded.
std::string publishedNumber(double v);
// publishedNumber, or null for the no-value marker and anything JSON cannot carry
// (infinities, NaN).
std::string jsonNumber(double v);

// The topics and messages of one work: tervo/<host>/<work>/<channel> per channel,
// tervo/<host>/<work>/events and tervo/<host>/<work>/alarms/<channel> per channel. Channel names
// are UTF-8; a channel whose name is empty or repeats an earlier one gets its index appended
// ("炉温_2"), so every channel has a topic of its own.
class PublishTopics {
public:
    PublishTopics(const std::string& host, const std::string& work,
                  const std::vector<std::string>& channelNames,
                  const std::vector<std::string>& eventNames);

    const std::string& status() const { return m_status; }
    const std::string& events() const { return m_events; }
    const std::string& channel(size_t index) const { return m_channels.at(index); }
    // tervo/<host>/<work>/alarms/<channel>, the channel's level as in its own topic.
    const std::string& alarms(size_t index) const { return m_alarms.at(index); }
    size_t channelCount() const { return m_channels.size(); }

    // One message per channel for a completed cycle at `local`.
    std::vector<PublishMessage> cycleMessages(const std::tm& local, const double* values) const;
    PublishMessage occurrenceMessage(const std::tm& local, int32_t event) const;
    // An alarm's state on its channel's alarm topic, retained so a dashboard connecting later
    // sees it: {"kind":"high","state":"active","value":81.2,"time":"2026-12-08T07:15:02+08:00"}
    // (value null for a failed reading). `local` is the breakdown of `time`.
    PublishMessage alarmMessage(const std::tm& local, int channel, AlarmKind kind, AlarmState state,
                                double value) const;
    // The empty retained message that removes what an earlier run left on the alarm topic.
    PublishMessage alarmReset(size_t index) const { return {m_alarms.at(index), {}, true}; }

private:
    std::string m_status;
    std::string m_events;
    std::vector<std::string> m_channels;
    std::vector<std::string> m_alarms;
    std::vector<std::string> m_channelNames;
    std::vector<std::string> m_eventNames;
};

// The UTF-8 names of a work's channels and events.
std::vector<std::string> channelNamesUtf8(const WorkDefinition& work);
std::vector<std::string> eventNamesUtf8(const WorkDefinition& work);

// What the metrics page shows, gathered by whoever runs the recording.
struct PortCounts {
    uint64_t exchanges = 0;
    std::map<std::string, uint64_t> failures;  // by status: "no_value", "no_ack", ...
    // Round trips of the exchanges on the line: counts per bucket of kRoundTripBuckets (the
    // last for longer ones), their sum in seconds.
    std::vector<uint64_t> roundTrips;
    double roundTripSeconds = 0.0;
};

// The upper bounds of the round-trip histogram, seconds.
inline constexpr double kRoundTripBuckets[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0};

// Where a failed exchange happened and why: port name, controller address (-1 for raw
// bytes) and reasonKey().
struct FailureKey {
    std::string port;
    int address = -1;
    std::string reason;
    auto operator<=>(const FailureKey&) const = default;
};

struct Metrics {
    std::string work;
    std::vector<std::string> channelNames;
    std::vector<double> lastValues;                   // the marker when the last reading failed
    std::vector<std::optional<int64_t>> lastGood;     // calendar seconds of the last good reading
    std::map<std::string, PortCounts> ports;          // "COM1"..
    std::map<FailureKey, uint64_t> exchangeFailures;  // each failed attempt on the line
    uint64_t rowsRecorded = 0;                        // rows written to the record file
    uint64_t recordWriteFailures = 0;
    uint64_t mqttSent = 0;
    uint64_t mqttDropped = 0;
    bool mqttConnected = false;
    uint64_t mqttConnectFailures = 0;  // attempts that did not reach the broker
    // Each alarm the settings give, and whether its condition holds (active or acknowledged).
    struct AlarmGauge {
        int channel = 1;  // from 1
        AlarmKind kind = AlarmKind::High;
        bool active = false;
    };
    std::vector<AlarmGauge> alarms;

    void reset(const std::string& workName, const std::vector<std::string>& channels);
    // One exchange of the sampling engine and how it went.
    void countExchange(const LinkRequest& request, const LinkResult& result);
    // A completed cycle's row; `recorded` when it went into the record file (a work that only
    // runs records none).
    void countRow(int64_t time, const double* values, bool recorded);
};

// The Prometheus text exposition format (version 0.0.4).
std::string metricsText(const Metrics& metrics);

// Where to publish: mqtt://[user:pass@]host[:port] (port 1883) or mqtts://... (TLS, port
// 8883). User and password may carry %XX escapes.
struct MqttTarget {
    bool tls = false;
    std::string user;
    std::string password;
    bool hasPassword = false;
    std::string host;
    int port = 1883;
};
std::optional<MqttTarget> parseMqttUrl(std::string_view url);

// Where the metrics page listens: "127.0.0.1:9570", "[::1]:9570" or a bare port (loopback).
struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 9570;
};
std::optional<ListenAddress> parseListenAddress(std::string_view text);

}  // namespace tervo
