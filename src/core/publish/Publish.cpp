#include "publish/Publish.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "link/PortMap.h"
#include "text/Gbk.h"

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

std::string jsonNumber(double v) {
    if (isNoValue(v) || !std::isfinite(v)) {
        return "null";
    }
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end);
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
    rowsRecorded = 0;
    recordWriteFailures = 0;
}

void Metrics::countExchange(const LinkRequest& request, const LinkResult& result) {
    PortCounts& port = ports[request.port < kPortCount ? portName(request.port)
                                                       : "port" + std::to_string(request.port)];
    ++port.exchanges;
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

void Metrics::countRow(int64_t time, const double* values) {
    ++rowsRecorded;
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

std::string sampleValue(double v) {
    if (std::isnan(v)) {
        return "NaN";
    }
    if (std::isinf(v)) {
        return v > 0 ? "+Inf" : "-Inf";
    }
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end);
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
               sampleValue(isNoValue(v) ? std::nan("") : v) + "\n";
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
    family(out, "tervo_rows_recorded_total", "counter", "Rows recorded since the recording began.");
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
    return out;
}

}  // namespace tervo
