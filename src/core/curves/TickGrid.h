#pragma once

#include <algorithm>
#include <cstdint>

#include "core/Clock.h"

namespace tervo {

// A timer's ticks on a fixed grid: point k lies k periods after the start, however long the
// work of each tick took, so a run keeps the clock's time instead of drifting by that work. A
// tick that comes late counts for the latest point it has reached; the points it passed are
// skipped, not made up. A tick that comes a little early counts for the point it was armed for.
class TickGrid {
public:
    explicit TickGrid(Clock& clock) : m_clock(&clock) {}

    // The grid starts now, at point 0. Returns the milliseconds until point 1.
    int start(int64_t periodMs) {
        m_period = std::max<int64_t>(periodMs, 1);
        m_index = 0;
        m_seen = m_clock->tickMs();
        m_now = 0;
        return static_cast<int>(m_period);
    }

    // A tick has come: the grid moves on to the latest point at or before now, and at least to
    // the next one. Returns the number of points it moved by.
    int64_t advance() {
        const int64_t next = std::max(m_index + 1, read() / m_period);
        const int64_t moved = next - m_index;
        m_index = next;
        return moved;
    }

    // The point the last tick counted for.
    int64_t index() const { return m_index; }

    // Milliseconds from now until the next point.
    int untilNext() {
        return static_cast<int>(std::max<int64_t>((m_index + 1) * m_period - read(), 0));
    }

private:
    // Milliseconds since the start, carried past the clock's 32-bit wrap (read at least once
    // a period).
    int64_t read() {
        const uint32_t tick = m_clock->tickMs();
        m_now += static_cast<uint32_t>(tick - m_seen);
        m_seen = tick;
        return m_now;
    }

    Clock* m_clock;
    int64_t m_period = 1;
    int64_t m_index = 0;
    uint32_t m_seen = 0;
    int64_t m_now = 0;
};

}  // namespace tervo
