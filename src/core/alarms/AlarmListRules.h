#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/alarms/AlarmSettings.h"

namespace tervo {

// From core/alarms/AlarmEvaluator.h, which the windows' code includes where it needs more.
enum class AlarmKind : uint8_t;
struct AlarmChange;

// The rules of the operator's side of the alarms: the rows of the list window "报警", the line
// of the main window's status bar, what "确认" acknowledges, and the texts of the settings
// dialog "报警设置" read back into numbers. The list gathers the alarms of every open work; a
// work is a source, numbered by the window that runs it.

// One alarm's state as its work reports it after a change (`alarmListUpdate` makes it of an
// AlarmChange).
struct AlarmListUpdate {
    int source = 0;
    std::string work;         // the work's name, as the windows show it
    int channel = 0;          // from 1, in the work's channel list
    std::string channelName;  // UTF-8
    AlarmKind kind{};
    double value = 0.0;  // the value of the change (the no-value marker for a comm loss)
    bool active = false;
    bool acknowledged = false;
    int64_t time = 0;  // calendar seconds of the change
};

struct AlarmListRow {
    int source = 0;
    std::string work;
    int channel = 0;
    std::string channelName;
    AlarmKind kind{};
    double value = 0.0;  // the value when it became active, then the latest one reported
    bool active = false;
    bool acknowledged = false;
    // The work stopped watching (its run stopped or its window closed) before this alarm
    // ended; it no longer asks for an acknowledgement.
    bool unwatched = false;
    int64_t raisedAt = 0;
    int64_t changedAt = 0;

    // Still asks for the operator: not acknowledged and watched.
    bool open() const { return !acknowledged && !unwatched; }
    // Over: cleared and acknowledged, or no longer watched.
    bool finished() const { return (!active && acknowledged) || unwatched; }
};

// Which alarm an acknowledgement goes to.
struct AlarmListKey {
    int source = 0;
    int channel = 0;
    AlarmKind kind{};
    bool operator==(const AlarmListKey&) const = default;
};

class AlarmListRules {
public:
    // Finished alarms kept for the list, newest first.
    static constexpr size_t kRecentKept = 200;

    // Takes a work's report. True when it raised a new alarm (one to announce): an activation
    // of an alarm that was not already active.
    bool apply(const AlarmListUpdate& update);
    // The work stopped watching: its alarms that are not over stay in the list, unwatched.
    void unwatch(int source);

    // The rows in the order shown: alarms not over first, then the finished ones; each part
    // newest first.
    const std::vector<AlarmListRow>& rows() const { return m_rows; }
    // Alarms waiting for "确认".
    size_t openCount() const;
    // The status bar's line; empty when nothing waits for "确认".
    std::string statusLine() const;
    // What "确认" acknowledges: the open alarms among the selected rows, or every open alarm
    // when no row is selected.
    std::vector<AlarmListKey> toAcknowledge(const std::vector<size_t>& selectedRows) const;

    // The texts of one row's columns.
    static std::string timeText(const AlarmListRow& row);
    static std::string channelText(const AlarmListRow& row);
    static std::string kindText(AlarmKind kind);
    static std::string valueText(const AlarmListRow& row);
    static std::string stateText(const AlarmListRow& row);

private:
    void order();

    std::vector<AlarmListRow> m_rows;
};

// What the list learns of a work's change: the alarm's state after it.
AlarmListUpdate alarmListUpdate(const AlarmChange& change);

// The settings dialog's texts of one channel, as typed: an empty limit is off.
struct AlarmSettingTexts {
    std::string high;
    std::string low;
    std::string deadband;
    std::string delay;
    std::string commLoss;
};

struct AlarmSettingsReading {
    // The channels with any alarm, in channel order.
    AlarmSettings settings;
    // Empty when every row reads; else what the dialog says, naming the channel and the column.
    std::string error;
    int errorRow = -1;     // from 0
    int errorColumn = -1;  // 0 high, 1 low, 2 deadband, 3 delay, 4 comm loss
};

// The settings after the channel list changed from `before` to `after` (each channel named by
// a key of its whole record): channels are added at the end or deleted, the rest keep their
// order, so each setting follows its channel to its new number; a deleted channel's go.
AlarmSettings alarmSettingsFollowingChannels(const AlarmSettings& settings,
                                             const std::vector<std::string>& before,
                                             const std::vector<std::string>& after);

// The column titles of the settings dialog, after the channel's.
extern const char* const kAlarmSettingColumns[5];

// Reads the dialog's rows, one per channel of the work (row 0 is channel 1), under the rules
// of the sidecar (checkChannelAlarms); the first row that does not read stops it.
AlarmSettingsReading readAlarmSettings(const std::vector<AlarmSettingTexts>& rows);
// The texts the row of `channel` shows (empty limits, 0 elsewhere when it has no settings).
AlarmSettingTexts alarmSettingTexts(const AlarmSettings& settings, int channel);

}  // namespace tervo
