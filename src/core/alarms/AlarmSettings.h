#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tervo {

// The alarms of one channel of a work. Channels count from 1 in the work's channel list, as
// the operator and the sidecar file count them.
struct ChannelAlarmSettings {
    int channel = 1;
    std::optional<double> high;  // the value above it is out of band; none: no high alarm
    std::optional<double> low;   // the value below it is out of band; none: no low alarm
    double deadband = 0.0;       // back inside by this much before a limit alarm clears
    double delaySeconds = 0.0;   // out of band this long before a limit alarm becomes active
    int commLoss = 0;            // failed readings in a row that make "通信中断"; 0: off

    bool hasAlarm() const { return high || low || commLoss > 0; }
    bool operator==(const ChannelAlarmSettings&) const = default;
};

// A work's alarms, at most one entry per channel, in channel order. Empty: no alarms.
struct AlarmSettings {
    std::vector<ChannelAlarmSettings> channels;

    const ChannelAlarmSettings* find(int channel) const;
    bool operator==(const AlarmSettings&) const = default;
};

// A setting the rules refuse: the field's name as the sidecar spells it ("deadband") and the
// operator's message ("死区不能为负数").
struct AlarmSettingProblem {
    std::string field;
    std::string message;
};

// The rules every setting obeys, for the sidecar reader and the settings dialog alike: low
// not above high, deadband and delay not negative, comm_loss from 0 to 1000, limits finite,
// the channel within 1..channelCount (channelCount 0: not checked).
std::optional<AlarmSettingProblem> checkChannelAlarms(const ChannelAlarmSettings& settings,
                                                      size_t channelCount = 0);

// "WORK.awt" -> "WORK.alarms.json": the sidecar beside a work template (the template's last
// extension replaced; one is appended to a name without one).
std::string alarmSettingsPath(const std::string& templatePath);

// What reading a sidecar found.
struct AlarmSettingsLoad {
    enum class Status {
        Ok,       // `settings` holds the file's alarms
        Missing,  // no sidecar: the work has no alarms, nothing to say
        Refused,  // unreadable, not JSON, or a setting the rules refuse: no alarms, `message`
    };
    Status status = Status::Missing;
    AlarmSettings settings;
    // With Refused, for the operator (UTF-8), naming the file, the line and the field:
    // "报警设置文件 /x/W.alarms.json 第 4 行：字段 deadband：死区不能为负数，本工作不报警".
    std::string message;
    int line = 0;       // 1-based; 0 when the problem has no line (unreadable file)
    std::string field;  // "deadband", "channels[2].high"... ; empty for a syntax error
};

// Reads the sidecar at `path` for a work of `channelCount` channels. Every problem refuses the
// whole file (a partly taken file would leave the operator believing in alarms that are off):
// bad JSON, a version other than 1, a missing channel number or one out of range or given
// twice, a field of the wrong type or unknown (a misspelt limit would otherwise be silently
// off), and what checkChannelAlarms refuses. Never throws.
AlarmSettingsLoad loadAlarmSettings(const std::string& path, size_t channelCount);
// The same for the sidecar's text; `path` only names it in the message. Never Missing.
AlarmSettingsLoad parseAlarmSettings(const std::string& text, size_t channelCount,
                                     const std::string& path);

// Writes the sidecar whole (atomic replace), channels in order, absent limits as null:
// {"version": 1, "channels": [{"channel": 1, "high": 80.0, "low": null, "deadband": 0.5,
// "delay_s": 5, "comm_loss": 3}]}. Channels without any alarm are left out; with none left the
// sidecar is removed, so the work has no alarms as before. False when it cannot be written or
// removed; the file on disk is then the one before.
bool saveAlarmSettings(const std::string& path, const AlarmSettings& settings);
// The bytes saveAlarmSettings writes.
std::string alarmSettingsJson(const AlarmSettings& settings);

}  // namespace tervo
