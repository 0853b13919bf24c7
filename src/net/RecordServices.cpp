#include "net/RecordServices.h"

#include <unistd.h>

#include "core/text/Translation.h"

namespace tervo::net {

std::string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

RecordServices::RecordServices(const PublishSettings& settings, const std::string& workName,
                               const WorkDefinition& work)
    : m_settings(settings),
      m_host(hostName()),
      m_topics(m_host, workName, channelNamesUtf8(work), eventNamesUtf8(work)) {
    m_metrics.reset(workName, channelNamesUtf8(work));
}

std::string RecordServices::start() {
    if (m_settings.mqtt) {
        m_publisher = sharedPublisher(
            MqttPublisher::Options{*m_settings.mqtt, m_topics.status(),
                                   "tervo-" + m_host + "-" + std::to_string(getpid())});
    }
    if (m_settings.metrics) {
        m_server = std::make_unique<MetricsServer>();
        if (std::string failed = m_server->start(*m_settings.metrics, m_settings.web);
            !failed.empty()) {
            m_server.reset();
            return failed;
        }
        refreshMetrics();
    }
    return {};
}

void RecordServices::recordingStarted() {
    if (!m_inhibitor) {
        m_inhibitor = std::make_unique<SleepInhibitor>();
    }
}

void RecordServices::recordingStopped() {
    m_inhibitor.reset();
}

void RecordServices::countExchange(const LinkRequest& request, const LinkResult& result) {
    m_metrics.countExchange(request, result);
}

void RecordServices::afterTick(const SamplingEngine& engine, Clock& clock) {
    const RowStore& rows = engine.rows();
    if (rows.rows() < m_rowsDone) {
        m_rowsDone = 0;  // a new run
        m_occurrencesDone = 0;
    }
    for (; m_rowsDone < rows.rows(); ++m_rowsDone) {
        const int32_t time = rows.times()[m_rowsDone];
        const double* values = rows.values() + m_rowsDone * rows.channels();
        m_metrics.countRow(time, values, engine.recording() && !engine.recordWriteFailed());
        if (engine.recordWriteFailed()) {
            ++m_metrics.recordWriteFailures;
        }
        if (m_publisher) {
            for (PublishMessage& m : m_topics.cycleMessages(clock.localTime(time), values)) {
                m_publisher->publish(std::move(m));
            }
        }
    }
    const OccurrenceStore& occurrences = engine.occurrences();
    if (occurrences.count() < m_occurrencesDone) {
        m_occurrencesDone = 0;
    }
    for (; m_occurrencesDone < occurrences.count(); ++m_occurrencesDone) {
        const EventOccurrence& o = occurrences[m_occurrencesDone];
        if (m_publisher) {
            m_publisher->publish(m_topics.occurrenceMessage(clock.localTime(o.time), o.event));
        }
    }
    refreshMetrics();
}

TickOutcome RecordServices::tick(SamplingEngine& engine, Clock& clock) {
    const TickPlan plan = engine.beginTick();
    LinkResult result;
    if (plan.exchange) {
        result = engine.performNow(*plan.exchange);
        countExchange(*plan.exchange, result);
    }
    TickOutcome outcome = engine.finishTick(plan.id, result);
    afterTick(engine, clock);
    for (std::string& notice : publishingNotices()) {
        outcome.messages.push_back(std::move(notice));
    }
    return outcome;
}

std::vector<std::string> RecordServices::publishingNotices() {
    if (!m_publisher) {
        return {};
    }
    const MqttTarget& t = *m_settings.mqtt;
    const std::string where =
        (t.tls ? "mqtts://" : "mqtt://") +
        (t.host.find(':') != std::string::npos ? "[" + t.host + "]" : t.host) + ":" +
        std::to_string(t.port);
    const uint64_t failures = m_publisher->connectFailures();
    std::vector<std::string> notices;
    if (m_publisher->connected()) {
        if (m_saidUnreachable) {
            notices.push_back(TERVO_TR("core", "MQTT 已连接 ") + where);
        }
        m_saidUnreachable = false;
    } else if (failures > m_failuresSeen && !m_saidUnreachable) {
        notices.push_back(TERVO_TR("core", "MQTT 无法连接 ") + where + TERVO_TR("core", "：") +
                          m_publisher->lastError() + TERVO_TR("core", "（记录继续，稍后重试）"));
        m_saidUnreachable = true;
    }
    m_failuresSeen = failures;
    return notices;
}

void RecordServices::refreshMetrics() {
    if (!m_server) {
        return;
    }
    m_metrics.mqttSent = mqttSent();
    m_metrics.mqttDropped = mqttDropped();
    m_metrics.mqttConnected = m_publisher && m_publisher->connected();
    m_metrics.mqttConnectFailures = m_publisher ? m_publisher->connectFailures() : 0;
    m_server->update(metricsText(m_metrics));
}

}  // namespace tervo::net
