#include "core/trend/TrendRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/NoValue.h"
#include "core/text/Translation.h"
#include "core/trend/TrendAxis.h"

namespace tervo {

CursorReading readAt(const TrendRows& rows, double time) {
    CursorReading reading;
    if (rows.rows == 0) {
        return reading;
    }
    size_t row = firstRowAtOrAfter(rows, time);
    if (row == rows.rows) {
        row = rows.rows - 1;
    } else if (row > 0 && time - rows.times[row - 1] <= rows.times[row] - time) {
        row = row - 1;
    }
    reading.found = true;
    reading.row = row;
    reading.time = rows.times[row];
    reading.values.assign(rows.values + row * rows.channels,
                          rows.values + (row + 1) * rows.channels);
    return reading;
}

CursorDifference cursorDifference(const CursorReading& first, const CursorReading& second) {
    CursorDifference difference;
    if (!first.found || !second.found) {
        return difference;
    }
    difference.seconds = static_cast<double>(second.time) - static_cast<double>(first.time);
    const size_t n = std::min(first.values.size(), second.values.size());
    for (size_t c = 0; c < n; ++c) {
        const double a = first.values[c];
        const double b = second.values[c];
        difference.values.push_back(isNoValue(a) || isNoValue(b) ? kNoValue : b - a);
    }
    return difference;
}

std::string readingText(double value) {
    if (isNoValue(value)) {
        return "—";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string durationText(double seconds) {
    const bool negative = seconds < 0;
    int64_t s = static_cast<int64_t>(std::llround(std::abs(seconds)));
    const int64_t days = s / 86400;
    s %= 86400;
    char text[64];
    if (days > 0) {
        const std::string form = TERVO_TR("core", "%lld天 %d:%02d:%02d");
        std::snprintf(text, sizeof text, form.c_str(), static_cast<long long>(days),
                      static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                      static_cast<int>(s % 60));
    } else if (s >= 3600) {
        std::snprintf(text, sizeof text, "%d:%02d:%02d", static_cast<int>(s / 3600),
                      static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    } else if (s >= 60) {
        std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(s / 60),
                      static_cast<int>(s % 60));
    } else {
        const std::string form = TERVO_TR("core", "%d秒");
        std::snprintf(text, sizeof text, form.c_str(), static_cast<int>(s));
    }
    return (negative ? "-" : "") + std::string(text);
}

void TrendViewport::setTimeRange(double first, double last) {
    if (!(last - first >= kShortestSpan)) {
        const double middle = (first + last) / 2;
        first = middle - kShortestSpan / 2;
        last = middle + kShortestSpan / 2;
    }
    if (last - first > kLongestSpan) {
        last = first + kLongestSpan;
    }
    m_first = first;
    m_last = last;
}

void TrendViewport::showAll(const TrendRows& rows, double now) {
    if (rows.rows == 0) {
        setTimeRange(now - 60.0, now);
    } else {
        // The last row stands one second inside the right edge, so it is seen.
        setTimeRange(rows.times[0], static_cast<double>(rows.times[rows.rows - 1]) + 1.0);
    }
    m_following = true;
}

void TrendViewport::zoomTime(double factor, double anchor) {
    if (m_following) {
        anchor = 1.0;
    }
    anchor = std::clamp(anchor, 0.0, 1.0);
    const double at = m_first + span() * anchor;
    const double newSpan = std::clamp(span() * factor, kShortestSpan, kLongestSpan);
    setTimeRange(at - newSpan * anchor, at + newSpan * (1.0 - anchor));
}

void TrendViewport::pan(double fraction) {
    const double by = span() * fraction;
    setTimeRange(m_first + by, m_last + by);
    m_following = false;
}

void TrendViewport::setFollowing(bool on, const TrendRows& rows) {
    m_following = on;
    rowsChanged(rows);
}

void TrendViewport::rowsChanged(const TrendRows& rows) {
    if (!m_following || rows.rows == 0) {
        return;
    }
    const double last = static_cast<double>(rows.times[rows.rows - 1]) + 1.0;
    const double s = span();
    setTimeRange(last - s, last);
}

void TrendViewport::setFixedRange(double low, double high) {
    if (!(high > low)) {
        return;
    }
    m_fixed = std::make_pair(low, high);
}

void TrendViewport::zoomValues(double low, double high, double factor, double anchor) {
    if (!(high > low)) {
        return;
    }
    const double at = low + (high - low) * std::clamp(anchor, 0.0, 1.0);
    const double newSpan = (high - low) * factor;
    const double newLow = at - newSpan * anchor;
    const double newHigh = newLow + newSpan;
    if (newSpan > 1e-9 && std::isfinite(newSpan)) {
        m_fixed = std::make_pair(newLow, newHigh);
    }
}

bool TrendViewport::zoomToBox(double time0, double time1, double value0, double value1) {
    const double first = std::min(time0, time1);
    const double last = std::max(time0, time1);
    const double low = std::min(value0, value1);
    const double high = std::max(value0, value1);
    if (last - first <= 0.0 || high - low <= 0.0) {
        return false;
    }
    setTimeRange(first, last);
    m_fixed = std::make_pair(low, high);
    m_following = false;
    return true;
}

void TrendViewport::stepCursor(int index, const TrendRows& rows, int step) {
    if (rows.rows == 0) {
        return;
    }
    if (!m_cursors[index]) {
        m_cursors[index] = readAt(rows, (m_first + m_last) / 2).time;
        return;
    }
    const CursorReading at = readAt(rows, *m_cursors[index]);
    const int64_t row = std::clamp<int64_t>(static_cast<int64_t>(at.row) + step, 0,
                                            static_cast<int64_t>(rows.rows) - 1);
    const double time = rows.times[row];
    m_cursors[index] = time;
    // The cursor stays in sight: the range moves when it leaves it.
    if (time < m_first || time >= m_last) {
        const double s = span();
        setTimeRange(time - s / 2, time + s / 2);
        m_following = false;
    }
}

std::vector<GroupRange> groupRanges(const TrendFrame& frame, const std::vector<int>& groupOf,
                                    const std::vector<bool>& visible,
                                    const std::optional<std::pair<double, double>>& fixed) {
    std::vector<GroupRange> groups;
    for (size_t c = 0; c < groupOf.size() && c < visible.size(); ++c) {
        if (!visible[c]) {
            continue;
        }
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&](const GroupRange& g) { return g.group == groupOf[c]; });
        if (it == groups.end()) {
            groups.push_back(GroupRange{groupOf[c], 0.0, 100.0, {}});
            it = groups.end() - 1;
        }
        it->channels.push_back(c);
    }
    for (GroupRange& g : groups) {
        if (fixed) {
            g.low = fixed->first;
            g.high = fixed->second;
            continue;
        }
        double low = 0.0;
        double high = 0.0;
        if (frameRange(frame, g.channels, low, high)) {
            g.low = low;
            g.high = high;
        } else {
            g.low = 1.0;
            g.high = -1.0;  // nothing seen: paddedRange gives the default axis
        }
        paddedRange(g.low, g.high);
    }
    return groups;
}

}  // namespace tervo
