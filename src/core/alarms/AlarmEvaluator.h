#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/alarms/AlarmSettings.h"

namespace tervo {

// What an alarm watches.
enum class AlarmKind : uint8_t {
    High,  // the value above the high limit
    Low,   // the value below the low limit
    Comm,  // "通信中断": n failed readings in a row
};

// Where an alarm stands. An alarm not listed is normal (its condition does not hold and nothing
// is left to acknowledge).
//   Active       - the condition holds, not acknowledged yet
//   Acknowledged - the condition holds, an operator has acknowledged it
//   Cleared      - the condition is gone, not acknowledged yet: it stays listed until it is
// Clearing an acknowledged alarm makes it normal at once; acknowledging a cleared one too; an
// alarm that comes back while Cleared is Active again (a new activation).
enum class AlarmState : uint8_t { Active, Acknowledged, Cleared };

// "high", "low", "comm": the kind as MQTT, the alarm log and the metrics page write it.
const char* alarmKindKey(AlarmKind kind);
// "active", "acknowledged", "cleared".
const char* alarmStateKey(AlarmState state);
// For the operator: "高限", "低限", "通信中断".
const char* alarmKindText(AlarmKind kind);
// For the operator: "报警", "已确认", "已恢复".
const char* alarmStateText(AlarmState state);

// One change of an alarm, as evaluate() and acknowledge() return them, in the order they
// happened. Each is logged; each with `published` goes out on MQTT.
struct AlarmChange {
    int channel = 1;  // from 1, as in the settings
    AlarmKind kind = AlarmKind::High;
    // What happened: Active (became active), Cleared (the condition went away), Acknowledged
    // (an operator acknowledged it, before or after it cleared).
    AlarmState state = AlarmState::Active;
    double value = 0.0;  // the channel's last reading at the change; kNoValue when it failed
    int64_t time = 0;    // calendar seconds: the cycle's time, or the acknowledgement's
    // Whether the alarm is still listed after the change (false: it is normal again).
    bool listed = true;
    // Whether the change moves the alarm's plant state (active / acknowledged / cleared): every
    // change but the acknowledgement of an alarm that had already cleared.
    bool published = true;
};

// One alarm of the list: every alarm not normal.
struct AlarmEntry {
    int channel = 1;
    AlarmKind kind = AlarmKind::High;
    AlarmState state = AlarmState::Active;
    double value = 0.0;       // the value of its last change
    int64_t activatedAt = 0;  // calendar seconds of the activation
    int64_t changedAt = 0;    // calendar seconds of the last change
};

// The alarm rules of a running work, fed once per completed cycle. Per channel with settings:
//
// High (low likewise, mirrored): a reading above `high` is out of band. The alarm becomes
// active on the first out-of-band reading that comes `delay_s` or more after the first of the
// readings out of band since the last one inside (delay 0: the first one). A reading inside
// the band before then starts the wait anew. Active, it clears on the first reading at or
// below high - deadband; readings between that and the limit keep it active. A failed reading
// says nothing about the value: it neither starts, ends nor completes a wait, nor clears.
//
// Comm: the alarm becomes active on the comm_loss-th failed reading in a row and clears on the
// next good one.
//
// Each activation and each clearing is one change (never repeated while the condition holds);
// acknowledgements are changes too. Not thread-safe: one owner (the window's thread or the
// recorder's loop) calls everything. Cheap: no allocation per cycle beyond the returned changes.
class AlarmEvaluator {
public:
    AlarmEvaluator() = default;
    // Channels beyond channelCount are never evaluated (the loader refuses them anyway).
    AlarmEvaluator(AlarmSettings settings, size_t channelCount);

    // A completed cycle at `time` (calendar seconds) with the values of its row, channel 1
    // first, kNoValue (core/NoValue.h) for a failed reading. Returns what changed, channel
    // order, high before low before comm within a channel.
    std::vector<AlarmChange> evaluate(int64_t time, const double* values, size_t count);
    std::vector<AlarmChange> evaluate(int64_t time, const std::vector<double>& values) {
        return evaluate(time, values.data(), values.size());
    }
    // Acknowledges one alarm: Active -> Acknowledged, Cleared -> normal. Empty when it was
    // neither (normal or already acknowledged).
    std::vector<AlarmChange> acknowledge(int channel, AlarmKind kind, int64_t time);
    // Acknowledges every Active and Cleared alarm, in list order.
    std::vector<AlarmChange> acknowledgeAll(int64_t time);

    // Every alarm not normal, channel order, high before low before comm.
    std::vector<AlarmEntry> alarms() const;
    // Any alarm Active or Cleared: the status bar's line stays while this holds.
    bool anyUnacknowledged() const;
    // Whether the condition holds (Active or Acknowledged).
    bool isActive(int channel, AlarmKind kind) const;

    const AlarmSettings& settings() const { return m_settings; }
    // Which alarms the settings give, in list order: the metrics page lists them all, 0 or 1.
    std::vector<std::pair<int, AlarmKind>> configured() const;

private:
    // One alarm's memory.
    struct Slot {
        bool configured = false;
        bool listed = false;
        AlarmState state = AlarmState::Active;
        bool waiting = false;  // out of band, the delay not yet over
        int64_t outSince = 0;  // the first out-of-band reading of the wait
        int failures = 0;      // Comm: failed readings in a row
        double value = 0.0;
        int64_t activatedAt = 0;
        int64_t changedAt = 0;
    };
    struct Channel {
        ChannelAlarmSettings settings;
        Slot perKind[3];
    };

    void step(Channel& channel, AlarmKind kind, int64_t time, double value,
              std::vector<AlarmChange>& changes);
    static AlarmChange change(const Channel& channel, AlarmKind kind, const Slot& slot,
                              AlarmState state, int64_t time);
    bool ackSlot(Channel& channel, AlarmKind kind, int64_t time, std::vector<AlarmChange>& out);

    AlarmSettings m_settings;
    std::vector<Channel> m_channels;  // the channels with settings, in channel order
};

}  // namespace tervo
