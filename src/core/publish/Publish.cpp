#include "core/publish/Publish.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "core/link/PortMap.h"
#include "core/text/Gbk.h"

namespace tervo {

std::string topicLevel(std::string_view text) {
    if (text.empty()) {
        return "_";
    }
    std::string level(text);
    for (char& c : level) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '+' || c == '#' || u < 0x20 || u == 0x7F) {
            c = '_';
        }
    }
    return level;
}

std::string statusTopic(const std::string& host) {
    return "tervo/" + topicLevel(host) + "/status";
}

std::string isoTimeText(const std::tm& local) {
    const long offset = local.tm_gmtoff;
    const int minutes = static_cast<int>((offset < 0 ? -offset : offset) / 60 % (24 * 60));
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string publishedNumber(double v) {
    if (!std::isfinite(v)) {
        return v != v ? "NaN" : v > 0 ? "+Inf" : "-Inf";
    }
    char rounded[32];
    const auto written =
        std::to_chars(rounded, rounded + sizeof rounded, v, std::chars_format::general, 6);
    double shortest = v;
    std::from_chars(rounded, written.ptr, shortest);
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, shortest);
    return std::string(text, end);
}

std::string jsonNumber(double v) {
    if (isNoValue(v) || !std::isfinite(v)) {
        return "null";
    }
    return publishedNumber(v);
}

PublishTopics::PublishTopics(const std::string& host, const std::string& work,
                             const std::vector<std::string>& channelNames,
                             const std::vector<std::string>& eventNames)
    : m_channelNames(channelNames), m_eventNames(eventNames) {
    const std::string base = "tervo/" + topicLevel(host) + "/" + topicLevel(work) + "/";
    m_status = statusTopic(host);
    m_events = base + "events";
    for (size_t i = 0; i < channelNames.size(); ++i) {
        std::string level = topicLevel(channelNames[i]);
        bool taken = channelNames[i].empty() || level == "events" || level == "status";
        for (size_t j = 0; j < i && !taken; ++j) {
            taken = m_channels[j] == base + level;
        }
        if (taken) {
            level += "_" + std::to_string(i);
        }
        m_channels.push_back(base + level);
        m_alarms.push_back(base + "alarms/" + level);
    }
}

std::vector<PublishMessage> PublishTopics::cycleMessages(const std::tm& local,
                                                         const double* values) const {
    const std::string time = jsonString(isoTimeText(local));
    std::vector<PublishMessage> messages;
    for (size_t i = 0; i < m_channels.size(); ++i) {
        messages.push_back({m_channels[i], "{\"time\":" + time +
                                               ",\"channel\":" + std::to_string(i) +
                                               ",\"name\":" + jsonString(m_channelNames[i]) +
                                               ",\"value\":" + jsonNumber(values[i]) + "}"});
    }
    return messages;
}

PublishMessage PublishTopics::occurrenceMessage(const std::tm& local, int32_t event) const {
    const std::string name = event >= 0 && static_cast<size_t>(event) < m_eventNames.size()
                                 ? m_eventNames[static_cast<size_t>(event)]
                                 : std::string();
    return {m_events, "{\"time\":" + jsonString(isoTimeText(local)) + ",\"event\":" +
                          std::to_string(event) + ",\"name\":" + jsonString(name) + "}"};
}

PublishMessage PublishTopics::alarmMessage(const std::tm& local, int channel, AlarmKind kind,
                                           AlarmState state, double value) const {
    return {m_alarms.at(static_cast<size_t>(channel - 1)),
            std::string("{\"kind\":\"") + alarmKindKey(kind) + "\",\"state\":\"" +
                alarmStateKey(state) + "\",\"value\":" + jsonNumber(value) +
                ",\"time\":" + jsonString(isoTimeText(local)) + "}",
            true};
}

std::vector<std::string> channelNamesUtf8(const WorkDefinition& work) {
    std::vector<std::string> names;
    for (const ChannelInfo& c : work.channels) {
        names.push_back(gbkToUtf8(c.nameGbk()));
    }
    return names;
}

std::vector<std::string> eventNamesUtf8(const WorkDefinition& work) {
    std::vector<std::string> names;
    for (const EventInfo& e : work.events) {
        names.push_back(gbkToUtf8(e.nameGbk()));
    }
    return names;
}

void Metrics::reset(const std::string& workName, const std::vector<std::string>& channels) {
    work = workName;
    channelNames = channels;
    lastValues.assign(channels.size(), kNoValue);
    lastGood.assign(channels.size(), std::nullopt);
    ports.clear();
    exchangeFailures.clear();
    rowsRecorded = 0;
    recordWriteFailures = 0;
}

void Metrics::countExchange(const LinkRequest& request, const LinkResult& result) {
    auto nameOf = [](uint8_t index) {
        return index < kPortCount ? portName(index) : "port" + std::to_string(index);
    };
    PortCounts& port = ports[nameOf(request.port)];
    ++port.exchanges;
    for (const ExchangeRecord& e : result.exchanges) {
        if (isFailure(e.reason)) {
            ++exchangeFailures[FailureKey{nameOf(e.port), e.address, reasonKey(e.reason)}];
        }
        PortCounts& line = ports[nameOf(e.port)];
        line.roundTrips.resize(std::size(kRoundTripBuckets) + 1);
        const double seconds = e.roundTripMs / 1000.0;
        size_t bucket = 0;
        while (bucket < std::size(kRoundTripBuckets) && seconds > kRoundTripBuckets[bucket]) {
            ++bucket;
        }
        ++line.roundTrips[bucket];
        line.roundTripSeconds += seconds;
    }
    switch (request.kind) {
        case LinkRequest::Kind::Read:
            if (!result.value) {
                ++port.failures["no_value"];
            }
            break;
        case LinkRequest::Kind::Write:
            if (result.writeReply == 0) {
                ++port.failures["no_reply"];
            } else if (result.writeReply != kACK) {
                ++port.failures["refused"];
            }
            break;
        default:
            if (result.exchange.status != LinkStatus::Ok) {
                ++port.failures["status_" + std::to_string(statusNumber(result.exchange.status))];
            }
            break;
    }
}

void Metrics::countRow(int64_t time, const double* values, bool recorded) {
    rowsRecorded += recorded ? 1 : 0;
    for (size_t i = 0; i < lastValues.size(); ++i) {
        lastValues[i] = values[i];
        if (!isNoValue(values[i])) {
            lastGood[i] = time;
        }
    }
}

namespace {

std::string labelValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void family(std::string& out, const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

}  // namespace

std::string metricsText(const Metrics& m) {
    std::string out;
    const std::string work = "work=\"" + labelValue(m.work) + "\"";
    auto channelLabels = [&](size_t i) {
        return "{" + work + ",channel=\"" + labelValue(m.channelNames[i]) + "\",index=\"" +
               std::to_string(i) + "\"}";
    };
    family(out, "tervo_channel_value", "gauge",
           "Last value read on the channel, NaN when the last reading failed.");
    for (size_t i = 0; i < m.channelNames.size(); ++i) {
        const double v = m.lastValues[i];
        out += "tervo_channel_value" + channelLabels(i) + " " +
               publishedNumber(isNoValue(v) ? std::nan("") : v) + "\n";
    }
    family(out, "tervo_channel_last_good_reading_timestamp_seconds", "gauge",
           "Time of the last good reading on the channel, seconds since 1970.");
    for (size_t i = 0; i < m.channelNames.size(); ++i) {
        if (m.lastGood[i]) {
            out += "tervo_channel_last_good_reading_timestamp_seconds" + channelLabels(i) + " " +
                   std::to_string(*m.lastGood[i]) + "\n";
        }
    }
    family(out, "tervo_port_exchanges_total", "counter", "Exchanges made on the serial port.");
    for (const auto& [port, counts] : m.ports) {
        out += "tervo_port_exchanges_total{port=\"" + labelValue(port) + "\"} " +
               std::to_string(counts.exchanges) + "\n";
    }
    family(out, "tervo_port_failures_total", "counter",
           "Exchanges on the serial port that failed, by status.");
    for (const auto& [port, counts] : m.ports) {
        for (const auto& [status, n] : counts.failures) {
            out += "tervo_port_failures_total{port=\"" + labelValue(port) + "\",status=\"" +
                   labelValue(status) + "\"} " + std::to_string(n) + "\n";
        }
    }
    family(out, "tervo_exchange_failures_total", "counter",
           "Exchanges on the line that failed, by port, controller address and reason.");
    for (const auto& [key, n] : m.exchangeFailures) {
        out += "tervo_exchange_failures_total{port=\"" + labelValue(key.port) + "\",address=\"" +
               (key.address < 0 ? std::string("raw") : std::to_string(key.address)) +
               "\",reason=\"" + key.reason + "\"} " + std::to_string(n) + "\n";
    }
    family(out, "tervo_exchange_round_trip_seconds", "histogram",
           "Time from opening the port to the end of the reply, per exchange on the line.");
    for (const auto& [port, counts] : m.ports) {
        if (counts.roundTrips.empty()) {
            continue;
        }
        const std::string name = "tervo_exchange_round_trip_seconds";
        const std::string label = "port=\"" + labelValue(port) + "\"";
        uint64_t cumulative = 0;
        for (size_t b = 0; b < std::size(kRoundTripBuckets); ++b) {
            cumulative += counts.roundTrips[b];
            out += name + "_bucket{" + label + ",le=\"" + publishedNumber(kRoundTripBuckets[b]) +
                   "\"} " + std::to_string(cumulative) + "\n";
        }
        cumulative += counts.roundTrips.back();
        out += name + "_bucket{" + label + ",le=\"+Inf\"} " + std::to_string(cumulative) + "\n";
        out += name + "_sum{" + label + "} " + publishedNumber(counts.roundTripSeconds) + "\n";
        out += name + "_count{" + label + "} " + std::to_string(cumulative) + "\n";
    }
    family(out, "tervo_rows_recorded_total", "counter",
           "Rows written to the record file since the recording began.");
    out += "tervo_rows_recorded_total{" + work + "} " + std::to_string(m.rowsRecorded) + "\n";
    family(out, "tervo_record_write_failures_total", "counter",
           "Cycles whose record file write failed.");
    out += "tervo_record_write_failures_total{" + work + "} " +
           std::to_string(m.recordWriteFailures) + "\n";
    family(out, "tervo_mqtt_messages_sent_total", "counter",
           "MQTT messages the broker acknowledged.");
    out += "tervo_mqtt_messages_sent_total " + std::to_string(m.mqttSent) + "\n";
    family(out, "tervo_mqtt_messages_dropped_total", "counter",
           "MQTT messages dropped because the queue to the broker was full.");
    out += "tervo_mqtt_messages_dropped_total " + std::to_string(m.mqttDropped) + "\n";
    family(out, "tervo_mqtt_connected", "gauge", "1 while connected to the MQTT broker.");
    out += std::string("tervo_mqtt_connected ") + (m.mqttConnected ? "1" : "0") + "\n";
    family(out, "tervo_mqtt_connect_failures_total", "counter",
           "Attempts to connect to the MQTT broker that failed.");
    out += "tervo_mqtt_connect_failures_total " + std::to_string(m.mqttConnectFailures) + "\n";
    if (!m.alarms.empty()) {
        family(out, "tervo_alarm_active", "gauge",
               "1 while the alarm's condition holds (acknowledged or not).");
    }
    for (const Metrics::AlarmGauge& a : m.alarms) {
        const size_t i = static_cast<size_t>(a.channel - 1);
        if (i >= m.channelNames.size()) {
            continue;
        }
        out += "tervo_alarm_active{" + work + ",channel=\"" + labelValue(m.channelNames[i]) +
               "\",index=\"" + std::to_string(i) + "\",kind=\"" + alarmKindKey(a.kind) + "\"} " +
               (a.active ? "1" : "0") + "\n";
    }
    return out;
}

namespace {

std::optional<int> parsePort(std::string_view text) {
    int port = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || port < 1 ||
        port > 65535) {
        return std::nullopt;
    }
    return port;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (ec != std::errc() || end != text.data() + i + 3) {
            return std::nullopt;
        }
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

// "host:port", "[v6]:port", "host" or "[v6]"; the port stays as given when absent.
bool splitHostPort(std::string_view text, std::string& host, int& port) {
    std::string_view portText;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return false;
            }
            portText = rest.substr(1);
            if (portText.empty()) {
                return false;
            }
        }
    } else {
        const size_t colon = text.rfind(':');
        host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = text.substr(colon + 1);
            if (portText.empty()) {
                return false;
            }
        }
    }
    if (host.empty() || host.find_first_of(" /?#@") != std::string::npos) {
        return false;
    }
    if (!portText.empty()) {
        const auto p = parsePort(portText);
        if (!p) {
            return false;
        }
        port = *p;
    }
    return true;
}

}  // namespace

std::optional<MqttTarget> parseMqttUrl(std::string_view url) {
    MqttTarget target;
    if (url.starts_with("mqtt://")) {
        url.remove_prefix(7);
    } else if (url.starts_with("mqtts://")) {
        url.remove_prefix(8);
        target.tls = true;
        target.port = 8883;
    } else {
        return std::nullopt;
    }
    if (!url.empty() && url.back() == '/') {
        url.remove_suffix(1);
    }
    const size_t at = url.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view userInfo = url.substr(0, at);
        const size_t colon = userInfo.find(':');
        const auto user = percentDecoded(userInfo.substr(0, colon));
        if (!user || user->empty()) {
            return std::nullopt;
        }
        target.user = *user;
        if (colon != std::string_view::npos) {
            const auto password = percentDecoded(userInfo.substr(colon + 1));
            if (!password) {
                return std::nullopt;
            }
            target.password = *password;
            target.hasPassword = true;
        }
        url.remove_prefix(at + 1);
    }
    if (!splitHostPort(url, target.host, target.port)) {
        return std::nullopt;
    }
    return target;
}

std::optional<ListenAddress> parseListenAddress(std::string_view text) {
    ListenAddress address;
    if (const auto port = parsePort(text)) {
        address.port = *port;
        return address;
    }
    if (text.empty() || (text.back() == ']' || text.rfind(':') == std::string_view::npos ||
                         (text.front() == '[' && text.find("]:") == std::string_view::npos))) {
        return std::nullopt;  // the port is always given
    }
    if (!splitHostPort(text, address.host, address.port)) {
        return std::nullopt;
    }
    return address;
}

}  // namespace tervo
