#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/work/WorkDefinition.h"
#include "core/work/WorkFileLayout.h"

namespace tervo {

// The occurrences of a recording: an array that grows by 100 entries at a time and keeps its
// capacity when the count goes back to 0.
class OccurrenceStore {
public:
    static constexpr size_t kGrowth = 100;

    // A ceiling on the entries held, beyond which growing fails as an allocation would.
    explicit OccurrenceStore(size_t maxEntries = SIZE_MAX) : m_max(maxEntries) {}

    // False when the store could not grow: the occurrence is lost, the store is unchanged.
    bool append(int32_t time, int32_t event);
    void clear() { m_count = 0; }

    size_t count() const { return m_count; }
    size_t capacity() const { return m_capacity; }
    const EventOccurrence* data() const { return m_entries.get(); }
    const EventOccurrence& operator[](size_t i) const { return m_entries[i]; }

private:
    std::unique_ptr<EventOccurrence[]> m_entries;
    size_t m_count = 0;
    size_t m_capacity = 0;
    size_t m_max;
};

// Per channel, what the events carry from one evaluated cycle to the next. Both start at zero
// when sampling starts: the first difference is the value itself and the first integral is
// the first value.
struct EventMemory {
    std::vector<double> integrals;
    std::vector<double> previous;

    void reset(size_t channels) {
        integrals.assign(channels, 0.0);
        previous.assign(channels, 0.0);
    }
};

// Whether one event fires on the values of a completed cycle. An event whose data 1 or
// selectors name no existing channel never fires, so nothing is read beyond the N values.
bool eventFires(const EventInfo& event, const double* current, size_t channels,
                const EventMemory& memory);

// Evaluates every event in list order on the cycle's values, appending an occurrence at `now`
// for each that fires, and carries the integrals and previous values forward. Returns false
// when an occurrence was lost because the store could not grow.
bool evaluateEvents(const std::vector<EventInfo>& events, const double* current, size_t channels,
                    EventMemory& memory, int32_t now, OccurrenceStore& store);

}  // namespace tervo
