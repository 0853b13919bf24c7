#include "core/work/LiveViewRules.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/text/ValueText.h"

namespace tervo {

namespace {

// One walk back through the rows from `first`: x = 0 and x = 1 at `first`, then `zoom` rows
// back per pixel up to `lastX` while an older row remains behind the one drawn.
std::vector<int64_t> walk(int64_t first, int zoom, int lastX) {
    std::vector<int64_t> rows;
    if (first < 0 || lastX < 0) {
        return rows;
    }
    rows.push_back(first);
    if (lastX >= 1) {
        rows.push_back(first);
    }
    int64_t row = first;
    for (int x = 2; x <= lastX; ++x) {
        row -= zoom;
        if (row < 1) {
            break;
        }
        rows.push_back(row);
    }
    return rows;
}

int64_t newestShownRow(size_t rows, int zoom, int64_t scroll) {
    const auto count = static_cast<int64_t>(rows);
    if (scroll >= count || scroll < 0) {
        return -1;
    }
    const int64_t step = std::max(zoom, 1);
    return (count - scroll) / step * step - 1;
}

}  // namespace

std::vector<int64_t> curveRows(size_t rows, int zoom, int64_t scroll, int lastX) {
    return walk(newestShownRow(rows, zoom, scroll), std::max(zoom, 1), lastX);
}

PeriodRows periodRows(size_t rows, int zoom, int64_t scroll, int period) {
    PeriodRows out;
    const int lastX = std::clamp(period, 0, kChartLastX);
    const int step = std::max(zoom, 1);
    out.current = walk(newestShownRow(rows, zoom, scroll), step, lastX);
    // The period before starts a whole period back, wherever the chart's edge cut the current
    // one off; without so many rows there is none.
    if (period > 0 && !out.current.empty()) {
        out.previous = walk(out.current.front() - static_cast<int64_t>(period) * step, step, lastX);
    }
    return out;
}

std::vector<RingStep> ringSteps(size_t rows, int period) {
    std::vector<RingStep> steps;
    if (rows == 0) {
        return steps;
    }
    const auto newest = static_cast<int64_t>(rows) - 1;
    steps.push_back({0.0, newest});
    if (period <= 0) {
        return steps;
    }
    steps.push_back({0.0, newest});
    for (int k = 1; k <= period && newest - k >= 0; ++k) {
        steps.push_back({k * 360.0 / period, newest - k});
    }
    return steps;
}

ChartPoint ringPoint(double angleDegrees, double radius) {
    const double angle = angleDegrees * std::numbers::pi / 180.0;
    return {kPolarCentreX + radius * std::cos(angle), kPolarCentreY + radius * std::sin(angle)};
}

std::vector<int> curveHeights(const std::vector<int64_t>& rows, const double* values,
                              size_t channels, size_t channel, double minimum, double maximum) {
    std::vector<int> heights;
    heights.reserve(rows.size());
    int previous = 0;
    for (const int64_t row : rows) {
        const double v = values[static_cast<size_t>(row) * channels + channel];
        if (!isNoValue(v)) {
            previous = valueHeight(v, minimum, maximum);
        }
        heights.push_back(previous);
    }
    return heights;
}

std::string relativeLabelText(int64_t seconds) {
    const int64_t magnitude = seconds < 0 ? -seconds : seconds;
    char text[64];
    if (seconds < 0) {
        std::snprintf(text, sizeof text, "-%03lld:%02lld:%02lld",
                      static_cast<long long>(magnitude / 3600 % 1000),
                      static_cast<long long>(magnitude / 60 % 60),
                      static_cast<long long>(magnitude % 60));
    } else {
        std::snprintf(text, sizeof text, "%04lld:%02lld:%02lld",
                      static_cast<long long>(magnitude / 3600 % 10000),
                      static_cast<long long>(magnitude / 60 % 60),
                      static_cast<long long>(magnitude % 60));
    }
    return text;
}

std::string clockLabelText(const std::tm& local) {
    char text[64];
    std::snprintf(text, sizeof text, " %02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string gridRelativeText(int64_t seconds) {
    const uint64_t magnitude =
        seconds < 0 ? uint64_t(0) - static_cast<uint64_t>(seconds) : static_cast<uint64_t>(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu",
                  static_cast<unsigned long long>(magnitude / 3600),
                  static_cast<unsigned long long>(magnitude / 60 % 60),
                  static_cast<unsigned long long>(magnitude % 60));
    return text;
}

std::string gridClockText(const std::tm& local) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d", local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min);
    return text;
}

std::string valueLabelText(double minimum, double maximum, int level) {
    // The top label is the maximum itself: minimum + span / 5 x 5 may come out a hair below it
    // and truncate to one less.
    const double value = level == 5 ? maximum : minimum + (maximum - minimum) / 5.0 * level;
    const double held = std::isnan(value) ? 0.0 : std::clamp(value, -2147483648.0, 2147483647.0);
    return std::to_string(static_cast<int>(std::trunc(held)));
}

std::string valueCellText(double value) {
    return isNoValue(value) ? std::string("ERR_VAL") : padValueText(valueText(value));
}

namespace {

// The legend's entries in view coordinates.
constexpr int kFirstEntryTop = kChartTop + kLegendTop;  // 39

// C's division and remainder of (y - 39) by 30, only for rows at or below the first entry:
// above it the remainder would turn negative and name entry 0.
LegendHit legendRow(int y, int channelCount, int lowest, int highest) {
    LegendHit hit;
    if (y < kFirstEntryTop) {
        return hit;
    }
    const int offset = (y - kFirstEntryTop) % kLegendStep;
    const int row = (y - kFirstEntryTop) / kLegendStep;
    if (offset >= lowest && offset <= highest && row < channelCount) {
        hit.hit = true;
        hit.channel = row;
    }
    return hit;
}

}  // namespace

LegendHit legendBoxAt(int x, int y, int channelCount) {
    const int box = kChartLeft + kLegendBoxLeft;        // 817
    const int swatch = kChartLeft + kLegendSwatchLeft;  // 830
    if (!(x >= box && x < swatch)) {
        return {};
    }
    return legendRow(y, channelCount, kLegendBoxDrop, kLegendSwatchHeight);
}

LegendHit legendColourAt(int x, int y, int channelCount) {
    const int swatch = kChartLeft + kLegendSwatchLeft;  // 830
    if (!(x >= swatch && x <= swatch + kLegendSwatchWidth)) {
        return {};
    }
    return legendRow(y, channelCount, 0, kLegendSwatchHeight);
}

bool inChartArea(int x, int y) {
    return x >= kChartLeft && x <= kChartLeft + kChartLastX && y >= kChartTop &&
           y < kChartTop + kChartHeight;
}

void LiveViewRules::setVisible(size_t channel, bool on) {
    if (channel < m_visible.size()) {
        m_visible[channel] = on;
    }
}

void LiveViewRules::toggleVisible(size_t channel) {
    setVisible(channel, !visible(channel));
}

bool LiveViewRules::setMode(DisplayMode mode) {
    const bool changed = mode != m_mode;
    m_mode = mode;
    if (mode != DisplayMode::Curves) {
        m_scroll = 0;
    }
    return changed;
}

bool LiveViewRules::zoomIn() {
    if (m_zoom < 2) {
        return false;
    }
    --m_zoom;
    return true;
}

void LiveViewRules::zoomOut() {
    if (m_zoom < INT_MAX) {
        ++m_zoom;
    }
}

bool LiveViewRules::releaseArrow() {
    const int arrow = m_arrow;
    m_arrow = 0;
    if (arrow == 1) {
        m_scroll += kScrollStep;
    } else if (arrow == 2) {
        m_scroll = std::max<int64_t>(0, m_scroll - kScrollStep);
    }
    return arrow != 0;
}

TimeLabels LiveViewRules::timeLabels(const WorkTiming& timing, int32_t elapsedSeconds, int64_t now,
                                     int sliderPosition, Clock& clock) const {
    const int64_t period = timing.samplingPeriod;
    const int64_t back = static_cast<int64_t>(sliderPosition) * m_zoom;
    TimeLabels labels;
    if (m_options.relativeTime) {
        labels.left = relativeLabelText(elapsedSeconds - m_scroll * period);
        labels.right = relativeLabelText(elapsedSeconds - (back + m_scroll) * period);
    } else {
        labels.left = clockLabelText(clock.localTime(now - period * m_scroll));
        labels.right = clockLabelText(clock.localTime(now - back * period - period * m_scroll));
    }
    return labels;
}

}  // namespace tervo
