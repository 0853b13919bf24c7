#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/trend/TrendSummary.h"

namespace tervo {

// What a cursor reads: the row nearest to its time (the earlier one when two are as near) and
// every channel's value there, failed readings included as the no-value marker.
struct CursorReading {
    bool found = false;  // false: there are no rows
    size_t row = 0;
    int32_t time = 0;
    std::vector<double> values;
};
CursorReading readAt(const TrendRows& rows, double time);

// The second cursor's reading less the first's: seconds between their rows and, per channel,
// the difference (the no-value marker where either reading failed).
struct CursorDifference {
    double seconds = 0.0;
    std::vector<double> values;
};
CursorDifference cursorDifference(const CursorReading& first, const CursorReading& second);

// A value as the read-out shows it: "%.2f", or "—" for a failed reading.
std::string readingText(double value);
// A time difference: "45秒", "12:05" (minutes and seconds), "3:12:05", "2天 3:12:05".
std::string durationText(double seconds);

// The visible part of a trend and how it moves: the time range (left to right, newest on the
// right), following the newest row, the value range (auto over the visible rows or fixed), and
// two cursors. The window forwards the operator's wheel, drags and keys here and draws what it
// says.
class TrendViewport {
public:
    static constexpr double kShortestSpan = 10.0;                    // seconds
    static constexpr double kLongestSpan = 100.0 * 366.0 * 86400.0;  // a century

    double firstTime() const { return m_first; }
    double lastTime() const { return m_last; }
    double span() const { return m_last - m_first; }
    void setTimeRange(double first, double last);

    // Everything: the first row's time to the last row's (a minute before `now` without rows).
    // Following is on again for a live source.
    void showAll(const TrendRows& rows, double now);
    // Span times `factor` around `anchor`, a fraction of the width (0 left, 1 right). While
    // following, the right edge stays on the newest row.
    void zoomTime(double factor, double anchor);
    // Moves by `fraction` of the span (positive: later). Stops following.
    void pan(double fraction);

    // "跟随最新": the right edge on the newest row, the span kept, while on.
    bool following() const { return m_following; }
    void setFollowing(bool on, const TrendRows& rows);
    // New rows came: while following the range moves with them.
    void rowsChanged(const TrendRows& rows);

    // The value axis: auto over the visible rows, or the fixed limits given.
    bool autoRange() const { return !m_fixed.has_value(); }
    void setAutoRange() { m_fixed.reset(); }
    void setFixedRange(double low, double high);
    std::optional<std::pair<double, double>> fixedRange() const { return m_fixed; }
    // Ctrl+wheel: the value span of [low, high] times `factor` around `anchor` (0 bottom, 1
    // top); the range becomes fixed.
    void zoomValues(double low, double high, double factor, double anchor);
    // A dragged box: the times and values it covers (two opposite corners), when it is wide
    // enough; the range becomes fixed and following stops.
    bool zoomToBox(double time0, double time1, double value0, double value1);

    // The cursors, at times. The first is placed by a click, the second by a click with Shift.
    std::optional<double> cursor(int index) const { return m_cursors[index]; }
    void setCursor(int index, std::optional<double> time) { m_cursors[index] = time; }
    // Moves the cursor by `rows` rows (arrow keys); placed at the middle first when not shown.
    void stepCursor(int index, const TrendRows& rows, int step);

private:
    double m_first = 0.0;
    double m_last = 60.0;
    bool m_following = true;
    std::optional<std::pair<double, double>> m_fixed;
    std::optional<double> m_cursors[2];
};

// The value ranges of the channel groups: `groupOf[c]` names channel c's group (channels that
// read the same parameter share one); the range of each group over the frame's visible
// channels, padded (paddedRange), or the fixed range.
struct GroupRange {
    int group = 0;
    double low = 0.0;
    double high = 100.0;
    std::vector<size_t> channels;
};
std::vector<GroupRange> groupRanges(const TrendFrame& frame, const std::vector<int>& groupOf,
                                    const std::vector<bool>& visible,
                                    const std::optional<std::pair<double, double>>& fixed);

}  // namespace tervo
