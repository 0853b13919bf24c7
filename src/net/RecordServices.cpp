#include "net/RecordServices.h"

#include <unistd.h>

#include <utility>

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
      m_topics(m_host, workName, channelNamesUtf8(work), eventNamesUtf8(work)),
      m_channelNames(channelNamesUtf8(work)) {
    m_metrics.reset(workName, m_channelNames);
}

void RecordServices::setAlarms(AlarmSettings settings) {
    m_alarms = AlarmEvaluator(std::move(settings), m_channelNames.size());
    m_metrics.alarms.clear();
    for (const auto& [channel, kind] : m_alarms.configured()) {
        m_metrics.alarms.push_back({channel, kind, false});
    }
    // New settings while publishing: evaluation starts anew, so no state of the old ones may
    // stand on the broker.
    for (size_t i = 0; m_publisher && i < m_topics.channelCount(); ++i) {
        m_publisher->publish(m_topics.alarmReset(i));
    }
    refreshMetrics();
}

std::string RecordServices::start() {
    if (m_settings.mqtt) {
        m_publisher = sharedPublisher(
            MqttPublisher::Options{*m_settings.mqtt, m_topics.status(),
                                   "tervo-" + m_host + "-" + std::to_string(getpid())});
        // A state an earlier run left retained would stand until the same alarm changes again.
        // A work without alarms sends nothing on the alarm topics.
        for (size_t i = 0; i < m_topics.channelCount() && !m_alarms.configured().empty(); ++i) {
            m_publisher->publish(m_topics.alarmReset(i));
        }
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
    m_recordPath = engine.recording() ? engine.recordPath() : std::string();
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
        const std::vector<AlarmChange> changes = m_alarms.evaluate(time, values, rows.channels());
        if (!changes.empty()) {
            handleAlarmChanges(changes, clock);
            m_alarmChanges.insert(m_alarmChanges.end(), changes.begin(), changes.end());
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
    for (std::string& notice : alarmNotices()) {
        outcome.messages.push_back(std::move(notice));
    }
    return outcome;
}

void RecordServices::handleAlarmChanges(const std::vector<AlarmChange>& changes, Clock& clock) {
    if (!m_recordPath.empty() &&
        (!m_alarmLog || m_alarmLog->path() != alarmLogPath(m_recordPath))) {
        m_alarmLog = std::make_unique<AlarmLog>(alarmLogPath(m_recordPath), m_channelNames);
        m_saidLogFailed = false;
    }
    if (m_alarmLog && !m_recordPath.empty()) {
        m_alarmLog->append(changes, clock);
        if (!m_alarmLog->ok() && !m_saidLogFailed) {
            m_alarmNotices.push_back(alarmLogFailedText(m_alarmLog->path()));
            m_saidLogFailed = true;
        }
    }
    for (Metrics::AlarmGauge& gauge : m_metrics.alarms) {
        gauge.active = m_alarms.isActive(gauge.channel, gauge.kind);
    }
    if (!m_publisher) {
        return;
    }
    // The retained message is a channel's last: when a change leaves another alarm of the
    // channel holding (high, then comm lost and back), that one is said again after it, so a
    // dashboard that connects later sees what holds.
    const std::vector<AlarmEntry> listed = m_alarms.alarms();
    for (size_t i = 0; i < changes.size(); ++i) {
        const AlarmChange& c = changes[i];
        if (c.published) {
            m_publisher->publish(m_topics.alarmMessage(clock.localTime(c.time), c.channel, c.kind,
                                                       c.state, c.value));
        }
        const bool lastOfChannel = i + 1 == changes.size() || changes[i + 1].channel != c.channel;
        if (!lastOfChannel || c.state != AlarmState::Cleared) {
            continue;
        }
        for (const AlarmEntry& e : listed) {
            if (e.channel == c.channel && e.kind != c.kind && e.state != AlarmState::Cleared) {
                m_publisher->publish(m_topics.alarmMessage(clock.localTime(e.changedAt), e.channel,
                                                           e.kind, e.state, e.value));
            }
        }
    }
}

std::vector<AlarmChange> RecordServices::takeAlarmChanges() {
    return std::exchange(m_alarmChanges, {});
}

std::vector<AlarmChange> RecordServices::acknowledge(int channel, AlarmKind kind, Clock& clock) {
    std::vector<AlarmChange> changes = m_alarms.acknowledge(channel, kind, clock.calendarSeconds());
    handleAlarmChanges(changes, clock);
    refreshMetrics();
    return changes;
}

std::vector<AlarmChange> RecordServices::acknowledgeAll(Clock& clock) {
    std::vector<AlarmChange> changes = m_alarms.acknowledgeAll(clock.calendarSeconds());
    handleAlarmChanges(changes, clock);
    refreshMetrics();
    return changes;
}

std::vector<std::string> RecordServices::alarmNotices() {
    return std::exchange(m_alarmNotices, {});
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
