#include "core/work/Events.h"

#include <algorithm>
#include <new>
#include <optional>

namespace tervo {

namespace {

// The value an operand selector picks: 0 or 255 the record's constant, k from 1 to N the
// current value of channel k - 1; anything else names no channel.
std::optional<double> operand(int32_t selector, double constant, const double* current,
                              size_t channels) {
    if (selector == 0 || selector == 255) {
        return constant;
    }
    if (selector >= 1 && static_cast<size_t>(selector) <= channels) {
        return current[selector - 1];
    }
    return std::nullopt;
}

}  // namespace

bool OccurrenceStore::append(int32_t time, int32_t event) {
    if (m_count == m_capacity) {
        const size_t grown = m_capacity + kGrowth;
        if (grown > m_max) {
            return false;
        }
        std::unique_ptr<EventOccurrence[]> entries(new (std::nothrow) EventOccurrence[grown]);
        if (!entries) {
            return false;
        }
        std::copy(m_entries.get(), m_entries.get() + m_count, entries.get());
        m_entries = std::move(entries);
        m_capacity = grown;
    }
    m_entries[m_count++] = EventOccurrence{time, event};
    return true;
}

bool eventFires(const EventInfo& event, const double* current, size_t channels,
                const EventMemory& memory) {
    if (event.data1 < 0 || static_cast<size_t>(event.data1) >= channels) {
        return false;
    }
    const size_t c = static_cast<size_t>(event.data1);
    const double v = current[c];
    const auto b = operand(event.data2, event.data2Constant, current, channels);
    if (!b) {
        return false;
    }
    double left = 0.0;
    double right = *b;
    if (event.type >= 0 && event.type <= 2) {
        left = event.type == 0 ? v : event.type == 1 ? v - memory.previous[c] : memory.integrals[c];
    } else {
        const auto cOperand = operand(event.data3, event.data3Constant, current, channels);
        if (!cOperand) {
            return false;
        }
        right = *cOperand;
        switch (event.type) {
            case 3:
                left = *b + v;
                break;
            case 4:
                left = v - *b;
                break;
            case 5:
                left = *b * v;
                break;
            default:
                left = v / *b;
                break;  // 6, and every type outside 0..5
        }
    }
    return (event.compare == 0 && left > right) || (event.compare == 1 && left < right);
}

bool evaluateEvents(const std::vector<EventInfo>& events, const double* current, size_t channels,
                    EventMemory& memory, int32_t now, OccurrenceStore& store) {
    memory.integrals.resize(channels, 0.0);
    memory.previous.resize(channels, 0.0);
    for (size_t i = 0; i < channels; ++i) {
        memory.integrals[i] += current[i];
    }
    bool allKept = true;
    for (size_t i = 0; i < events.size(); ++i) {
        if (eventFires(events[i], current, channels, memory)) {
            allKept = store.append(now, static_cast<int32_t>(i)) && allKept;
        }
    }
    std::copy(current, current + channels, memory.previous.begin());
    return allKept;
}

}  // namespace tervo
