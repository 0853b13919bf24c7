#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/Clock.h"
#include "core/alarms/AlarmEvaluator.h"
#include "core/alarms/AlarmLog.h"
#include "core/publish/Publish.h"
#include "core/work/SamplingEngine.h"
#include "net/MetricsServer.h"
#include "net/MqttPublisher.h"
#include "net/SleepInhibitor.h"

namespace tervo::net {

// Where a recording publishes; either may be absent.
struct PublishSettings {
    std::optional<MqttTarget> mqtt;
    std::optional<ListenAddress> metrics;
    WebConfig web;  // TLS and sign-in of the metrics page; plain HTTP when empty
};

std::string hostName();

// What a recording does beside its record file: MQTT publishing, the metrics page and the
// sleep inhibitor. Used by `tervo-cli record` and the live work view; none of it ever holds up
// a tick, and destroying it returns at once: the publisher finishes on its own thread (see
// sharedPublisher) while the metrics port is free again before the destructor returns.
class RecordServices {
public:
    RecordServices(const PublishSettings& settings, const std::string& workName,
                   const WorkDefinition& work);
    // The work's alarms (see core/alarms), given before start(). From then on every completed
    // cycle afterTick() sees is evaluated, running or recording; each change goes to the alarm
    // log beside the record file while recording, to MQTT (retained, on the channel's alarm
    // topic) and to the metrics page, and is kept for takeAlarmChanges(). Given again while
    // running (new settings from the dialog), evaluation starts anew from no alarms: the list
    // empties without changes, and the retained states on the broker are removed.
    void setAlarms(AlarmSettings settings);
    // Starts publishing and opens the metrics port; the reason when the port cannot be had.
    // With alarms, first removes the alarm states an earlier run left retained on the broker
    // (on every channel's alarm topic; a work without alarms sends nothing there).
    std::string start();
    // The sleep inhibitor is held from recordingStarted() to recordingStopped() (or the end).
    void recordingStarted();
    void recordingStopped();
    // The exchange of a tick and how it went.
    void countExchange(const LinkRequest& request, const LinkResult& result);
    // After each finished tick: publishes the rows and occurrences not yet published.
    void afterTick(const SamplingEngine& engine, Clock& clock);
    // Both for callers that may wait on the line: the exchange carried out on the engine's
    // opener, counted, and the tick finished; its messages include publishingNotices().
    TickOutcome tick(SamplingEngine& engine, Clock& clock);
    // What changed in the link to the broker since the last call, to be said once: that it
    // cannot be reached (and why; the recording goes on and it is tried again), and that it
    // is reached again.
    std::vector<std::string> publishingNotices();

    // The alarm changes since the last call, in order (for the alarm list, the status bar and
    // the notification).
    std::vector<AlarmChange> takeAlarmChanges();
    // An operator's acknowledgement at the clock's time: logged and published like any change,
    // returned (not kept for takeAlarmChanges).
    std::vector<AlarmChange> acknowledge(int channel, AlarmKind kind, Clock& clock);
    std::vector<AlarmChange> acknowledgeAll(Clock& clock);
    const AlarmEvaluator& alarms() const { return m_alarms; }
    // Said once: the alarm log cannot be written (alarms go on being evaluated and published).
    std::vector<std::string> alarmNotices();

    uint64_t mqttSent() const { return m_publisher ? m_publisher->sent() : 0; }
    uint64_t mqttDropped() const { return m_publisher ? m_publisher->dropped() : 0; }

private:
    void refreshMetrics();
    // Logs (while recording) and publishes changes.
    void handleAlarmChanges(const std::vector<AlarmChange>& changes, Clock& clock);

    PublishSettings m_settings;
    std::string m_host;
    PublishTopics m_topics;
    Metrics m_metrics;
    std::shared_ptr<MqttPublisher> m_publisher;
    std::unique_ptr<MetricsServer> m_server;
    std::unique_ptr<SleepInhibitor> m_inhibitor;
    size_t m_rowsDone = 0;
    size_t m_occurrencesDone = 0;
    uint64_t m_failuresSeen = 0;
    bool m_saidUnreachable = false;
    std::vector<std::string> m_channelNames;
    AlarmEvaluator m_alarms;
    std::vector<AlarmChange> m_alarmChanges;
    std::unique_ptr<AlarmLog> m_alarmLog;
    std::string m_recordPath;  // the record file being written at the last tick; empty: none
    bool m_saidLogFailed = false;
    std::vector<std::string> m_alarmNotices;
};

}  // namespace tervo::net
