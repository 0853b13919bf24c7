#include "core/alarms/AlarmEvaluator.h"

#include "core/NoValue.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

constexpr AlarmKind kKinds[] = {AlarmKind::High, AlarmKind::Low, AlarmKind::Comm};

}  // namespace

const char* alarmKindKey(AlarmKind kind) {
    switch (kind) {
        case AlarmKind::High:
            return "high";
        case AlarmKind::Low:
            return "low";
        case AlarmKind::Comm:
            break;
    }
    return "comm";
}

const char* alarmStateKey(AlarmState state) {
    switch (state) {
        case AlarmState::Active:
            return "active";
        case AlarmState::Acknowledged:
            return "acknowledged";
        case AlarmState::Cleared:
            break;
    }
    return "cleared";
}

const char* alarmKindText(AlarmKind kind) {
    switch (kind) {
        case AlarmKind::High:
            return TERVO_TR_NOOP("core", "高限");
        case AlarmKind::Low:
            return TERVO_TR_NOOP("core", "低限");
        case AlarmKind::Comm:
            break;
    }
    return TERVO_TR_NOOP("core", "通信中断");
}

const char* alarmStateText(AlarmState state) {
    switch (state) {
        case AlarmState::Active:
            return TERVO_TR_NOOP("core", "报警");
        case AlarmState::Acknowledged:
            return TERVO_TR_NOOP("core", "已确认");
        case AlarmState::Cleared:
            break;
    }
    return TERVO_TR_NOOP("core", "已恢复");
}

AlarmEvaluator::AlarmEvaluator(AlarmSettings settings, size_t channelCount)
    : m_settings(std::move(settings)) {
    for (const ChannelAlarmSettings& s : m_settings.channels) {
        if (s.channel < 1 || static_cast<size_t>(s.channel) > channelCount || !s.hasAlarm()) {
            continue;
        }
        Channel channel;
        channel.settings = s;
        channel.perKind[0].configured = s.high.has_value();
        channel.perKind[1].configured = s.low.has_value();
        channel.perKind[2].configured = s.commLoss > 0;
        m_channels.push_back(channel);
    }
}

AlarmChange AlarmEvaluator::change(const Channel& channel, AlarmKind kind, const Slot& slot,
                                   AlarmState state, int64_t time) {
    return AlarmChange{channel.settings.channel, kind, state, slot.value, time, slot.listed, true};
}

void AlarmEvaluator::step(Channel& channel, AlarmKind kind, int64_t time, double value,
                          std::vector<AlarmChange>& changes) {
    Slot& slot = channel.perKind[static_cast<int>(kind)];
    if (!slot.configured) {
        return;
    }
    const bool holding = slot.listed && slot.state != AlarmState::Cleared;
    auto activate = [&] {
        slot.listed = true;
        slot.state = AlarmState::Active;
        slot.waiting = false;
        slot.value = value;
        slot.activatedAt = slot.changedAt = time;
        changes.push_back(change(channel, kind, slot, AlarmState::Active, time));
    };
    auto clear = [&] {
        // An acknowledged alarm has nothing left to acknowledge: it is normal again.
        slot.listed = slot.state == AlarmState::Active;
        slot.state = AlarmState::Cleared;
        slot.value = value;
        slot.changedAt = time;
        changes.push_back(change(channel, kind, slot, AlarmState::Cleared, time));
    };

    const ChannelAlarmSettings& s = channel.settings;
    if (kind == AlarmKind::Comm) {
        if (isNoValue(value)) {
            if (slot.failures < s.commLoss) {
                ++slot.failures;
            }
            if (slot.failures >= s.commLoss && !holding) {
                activate();
            }
        } else {
            slot.failures = 0;
            if (holding) {
                clear();
            }
        }
        return;
    }
    if (isNoValue(value)) {
        return;
    }
    const bool high = kind == AlarmKind::High;
    const double limit = high ? *s.high : *s.low;
    if (holding) {
        if (high ? value <= limit - s.deadband : value >= limit + s.deadband) {
            clear();
        }
        return;
    }
    if (!(high ? value > limit : value < limit)) {
        slot.waiting = false;
        return;
    }
    if (!slot.waiting) {
        slot.waiting = true;
        slot.outSince = time;
    }
    if (static_cast<double>(time - slot.outSince) >= s.delaySeconds) {
        activate();
    }
}

std::vector<AlarmChange> AlarmEvaluator::evaluate(int64_t time, const double* values,
                                                  size_t count) {
    std::vector<AlarmChange> changes;
    for (Channel& channel : m_channels) {
        const size_t index = static_cast<size_t>(channel.settings.channel - 1);
        if (index >= count) {
            continue;
        }
        for (AlarmKind kind : kKinds) {
            step(channel, kind, time, values[index], changes);
        }
    }
    return changes;
}

bool AlarmEvaluator::ackSlot(Channel& channel, AlarmKind kind, int64_t time,
                             std::vector<AlarmChange>& out) {
    Slot& slot = channel.perKind[static_cast<int>(kind)];
    if (!slot.listed || slot.state == AlarmState::Acknowledged) {
        return false;
    }
    const bool cleared = slot.state == AlarmState::Cleared;
    slot.listed = !cleared;
    slot.state = AlarmState::Acknowledged;
    slot.changedAt = time;
    AlarmChange c = change(channel, kind, slot, AlarmState::Acknowledged, time);
    // Its plant state stays "cleared".
    c.published = !cleared;
    out.push_back(c);
    return true;
}

std::vector<AlarmChange> AlarmEvaluator::acknowledge(int channel, AlarmKind kind, int64_t time) {
    std::vector<AlarmChange> changes;
    for (Channel& c : m_channels) {
        if (c.settings.channel == channel) {
            ackSlot(c, kind, time, changes);
        }
    }
    return changes;
}

std::vector<AlarmChange> AlarmEvaluator::acknowledgeAll(int64_t time) {
    std::vector<AlarmChange> changes;
    for (Channel& c : m_channels) {
        for (AlarmKind kind : kKinds) {
            ackSlot(c, kind, time, changes);
        }
    }
    return changes;
}

std::vector<AlarmEntry> AlarmEvaluator::alarms() const {
    std::vector<AlarmEntry> list;
    for (const Channel& c : m_channels) {
        for (AlarmKind kind : kKinds) {
            const Slot& slot = c.perKind[static_cast<int>(kind)];
            if (slot.listed) {
                list.push_back(AlarmEntry{c.settings.channel, kind, slot.state, slot.value,
                                          slot.activatedAt, slot.changedAt});
            }
        }
    }
    return list;
}

bool AlarmEvaluator::anyUnacknowledged() const {
    for (const Channel& c : m_channels) {
        for (const Slot& slot : c.perKind) {
            if (slot.listed && slot.state != AlarmState::Acknowledged) {
                return true;
            }
        }
    }
    return false;
}

bool AlarmEvaluator::isActive(int channel, AlarmKind kind) const {
    for (const Channel& c : m_channels) {
        if (c.settings.channel == channel) {
            const Slot& slot = c.perKind[static_cast<int>(kind)];
            return slot.listed && slot.state != AlarmState::Cleared;
        }
    }
    return false;
}

std::vector<std::pair<int, AlarmKind>> AlarmEvaluator::configured() const {
    std::vector<std::pair<int, AlarmKind>> out;
    for (const Channel& c : m_channels) {
        for (AlarmKind kind : kKinds) {
            if (c.perKind[static_cast<int>(kind)].configured) {
                out.emplace_back(c.settings.channel, kind);
            }
        }
    }
    return out;
}

}  // namespace tervo
