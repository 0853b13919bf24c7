#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/chart/ChartGeometry.h"
#include "core/work/WorkDefinition.h"

namespace tervo {

enum class DisplayMode { Curves = 0, Ring = 1, Period = 2, List = 3, Events = 4 };

// The nine display options the display settings edit; none is stored with the work.
struct DisplayOptions {
    bool timeMinorGrid = true;
    bool valueMinorGrid = true;
    bool timeGrid = true;
    bool timeCursor = true;
    bool valueGrid = true;
    bool valueCursor = true;
    bool legend = true;
    bool relativeTime = true;
    bool axisOption = true;  // offered by the display settings; the live chart ignores it
};

// The height of a value on the chart, 0 (bottom) .. 520 (top): the value held within the
// axis range, then its share of 520 pixels, truncated. An axis whose maximum is not above its
// minimum has no span to divide by: a value above the minimum stands at the top, any other at
// the bottom. A value that is not a number stands at the bottom.
inline int valueHeight(double value, double minimum, double maximum) {
    if (std::isnan(value)) {
        return 0;
    }
    if (!(maximum > minimum)) {
        return value > minimum ? kChartLastY : 0;
    }
    const double held = std::clamp(value, minimum, maximum);
    // 0 .. 520, converted toward zero.
    const double share = (held - minimum) / (maximum - minimum) * kChartLastY;
    return std::clamp(static_cast<int>(share), 0, kChartLastY);
}

// The rows a curve of the curve chart draws, one per pixel from x = 0: the newest shown row
// at x = 0 and again at x = 1, then `zoom` rows further back per pixel up to `lastX`, while an
// older row remains behind the one drawn. Empty when `scroll` skips every row.
std::vector<int64_t> curveRows(size_t rows, int zoom, int64_t scroll, int lastX = kChartLastX);

// The period chart: the current period (x = 0..period, as the curve chart) and the period
// before it, from period x zoom rows further back (drawn over it from x = 0 in the
// complementary colour). A period of 0 draws the newest row at x = 0 only and no previous
// period; a period beyond the chart ends both at x = 950.
struct PeriodRows {
    std::vector<int64_t> current;
    std::vector<int64_t> previous;
};
PeriodRows periodRows(size_t rows, int zoom, int64_t scroll, int period);

// The ring chart: step k at angle k x 360 / period degrees (clockwise from the right), the
// newest row at step 0 and again at step 1's start, then one row back per step up to k =
// period, so a period of P shows the newest P + 1 rows. A period of 0 shows the newest row
// at angle 0 only.
struct RingStep {
    double angleDegrees;
    int64_t row;
};
std::vector<RingStep> ringSteps(size_t rows, int period);
// The point of a height on the ring: radius h / 2 around the centre (475, 260).
struct ChartPoint {
    double x;
    double y;
};
ChartPoint ringPoint(double angleDegrees, double radius);

// Heights of `rows` in channel `channel`, a failed value repeating the previous height (0 for
// the first), as the curves draw them.
std::vector<int> curveHeights(const std::vector<int64_t>& rows, const double* values,
                              size_t channels, size_t channel, double minimum, double maximum);

// ---- texts ----

// "HHHH:MM:SS", ten characters; a negative time has a minus sign in the first place.
std::string relativeLabelText(int64_t seconds);
// " hh:mm:ss " of a calendar time, local.
std::string clockLabelText(const std::tm& local);
// "hh:mm:ss" of a time's magnitude (relative grid labels): the whole hour count, two digits at
// least ("277:46:40" for a million seconds).
std::string gridRelativeText(int64_t seconds);
// "MM/DD hh:mm" (clock grid labels).
std::string gridClockText(const std::tm& local);
// The value label of level k of 5: "%7d" of the integer part, leading spaces removed; level 5
// is the maximum's.
std::string valueLabelText(double minimum, double maximum, int level);
// A cell of the list and the events mode: "ERR_VAL" or "%0.2f" padded to ten characters.
std::string valueCellText(double value);

// ---- the view's state and its rules ----

// Where a mouse release or double-click in the view lands (view client coordinates).
struct LegendHit {
    bool hit = false;
    int channel = -1;
};
// The visible box of a legend entry: 816 < x < 830, (y - 39) mod 30 in 8..20 (the box and the
// column and row after it).
LegendHit legendBoxAt(int x, int y, int channelCount);
// The colour box: 830 <= x <= 880, (y - 39) mod 30 <= 20.
LegendHit legendColourAt(int x, int y, int channelCount);
// The chart for the display-settings double-click: 30 <= x <= 980, 18 < y < 540.
bool inChartArea(int x, int y);

// Times the two labels under the chart show.
struct TimeLabels {
    std::string left;   // the newest displayed row
    std::string right;  // the time cursor
};

// The display state of a live work view: mode, zoom, scroll, held arrow, visibility flags and
// the display options. The widget forwards the operator's actions here and draws.
class LiveViewRules {
public:
    DisplayMode mode() const { return m_mode; }
    int zoom() const { return m_zoom; }
    int64_t scroll() const { return m_scroll; }
    int arrow() const { return m_arrow; }  // 0 none, 1 left held, 2 right held
    const DisplayOptions& options() const { return m_options; }
    void setOptions(const DisplayOptions& options) { m_options = options; }
    bool visible(size_t channel) const { return channel < m_visible.size() && m_visible[channel]; }
    void setVisible(size_t channel, bool on);
    void toggleVisible(size_t channel);

    // True when the mode changed; every mode but the curve chart also goes back to the newest
    // rows (the period chart may scroll again afterwards).
    bool setMode(DisplayMode mode);
    // "放大显示": zoom - 1 from 2 on; false at zoom 1.
    bool zoomIn();
    // "缩小显示": zoom + 1, without limit (short of the integer's end).
    void zoomOut();
    // The arrows: pressed on an arrow (1 left, 2 right); released anywhere: the left one goes
    // 190 rows back, the right one 190 rows forward, never past the newest row. False when
    // no arrow was held.
    void pressArrow(int arrow) { m_arrow = arrow; }
    bool releaseArrow();

    TimeLabels timeLabels(const WorkTiming& timing, int32_t elapsedSeconds, int64_t now,
                          int sliderPosition, Clock& clock) const;

private:
    DisplayMode m_mode = DisplayMode::Curves;
    int m_zoom = 1;
    int64_t m_scroll = 0;
    int m_arrow = 0;
    DisplayOptions m_options;
    std::array<bool, kMaxChannels> m_visible = [] {
        std::array<bool, kMaxChannels> all{};
        all.fill(true);
        return all;
    }();
};

}  // namespace tervo
