#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "work/LiveViewRules.h"
#include "work/WorkFiles.h"

namespace tervo {

enum class HistoryMode : int {
    Curve = 0,        // 曲线图
    PeriodChart = 1,  // 周期图
    PeriodCurve = 2,  // 周期曲线图
    Table = 3,        // 表格
    EventTable = 4,   // 事件表
    ChannelInfo = 5,  // channel information page
};

// The history view's state: mode, zoom z, scroll offset o, ruler position u, full screen and
// the held arrow. The widget forwards the operator's actions and draws.
class HistoryViewRules {
public:
    HistoryMode mode() const { return m_mode; }
    int zoom() const { return m_zoom; }
    int64_t offset() const { return m_offset; }
    int ruler() const { return m_ruler; }
    bool fullScreen() const { return m_fullScreen; }
    int arrow() const { return m_arrow; }  // 0 none, 1 left held, 2 right held

    void setMode(HistoryMode mode) { m_mode = mode; }
    bool zoomEnabled() const {
        return m_mode == HistoryMode::Curve || m_mode == HistoryMode::PeriodCurve;
    }
    // False at zoom 1 (refused silently).
    bool zoomIn();
    void zoomOut();
    // False outside the curve mode: "“曲线图”方式才可使用！！！".
    bool toggleFullScreen();
    void setRuler(int position) { m_ruler = position; }
    void pressArrow(int arrow) { m_arrow = arrow; }
    // The left arrow goes 190 columns further into the recording (no end), the right one back
    // to the start at most. False when no arrow was held.
    bool releaseArrow();

    // The ruler label: ruler form of trunc(S p u / 950) in full screen, else (o + z u) p.
    std::string rulerText(size_t rows, int32_t period) const;

private:
    HistoryMode m_mode = HistoryMode::Curve;
    int m_zoom = 1;
    int64_t m_offset = 0;
    int m_ruler = 300;
    bool m_fullScreen = false;
    int m_arrow = 0;
};

// The ruler label's x: the position held within 90..920, less 6.
int rulerLabelX(int position);

// One step of a channel's path in picture coordinates (951 x 521): a move or a line to (x, y).
struct PathStep {
    int x = 0;
    int y = 0;
    bool line = true;
};
using Path = std::vector<PathStep>;

// The height of a plotted value: the last height for the no-value marker, else the value held
// within lo..hi as a share of 520; a range with no span gives 0.
class HeightScale {
public:
    HeightScale(double lo, double hi) : m_lo(lo), m_hi(hi) {}
    int operator()(double value) {
        if (!isNoValue(value)) {
            m_last = valueHeight(value, m_lo, m_hi);
        }
        return m_last;
    }

private:
    double m_lo;
    double m_hi;
    int m_last = 0;
};

// The inputs every path reads: the recording, the channel, the range and the view state.
struct PathInput {
    const Recording* recording = nullptr;
    size_t channel = 0;
    double lo = 0.0;
    double hi = 100.0;
    int zoom = 1;
    int64_t offset = 0;
    uint32_t period = 360;  // T
};
// The scrolling curve: stored values, one row every z from o, at most 951 columns.
Path scrollingCurvePath(const PathInput& in);
// The full-screen curve: the whole recording in 951 columns (plotted values).
Path fullScreenCurvePath(const PathInput& in);
// The polar period chart: every row, at angle r / T of a turn (T = 0: every row on the first
// spoke); consecutive points on the same pixel are drawn once.
Path periodChartPath(const PathInput& in);
// The folded period curve from row o / p (row 0 when p is 0), folding after column T.
Path periodCurvePath(const PathInput& in, int32_t samplingPeriod);

// The period pictures read every row of every drawn channel. Their walks go through the rows
// once, in the order the values are stored, computing a row's angle once for all channels, and
// hand each channel's steps to a sink: sink(slot, step), slot being the channel's place in
// `channels`. A channel starts with a move; a line to the pixel its previous step ended on is
// left out, except the first line after a move (a dot).
struct PeriodWalk {
    const Recording* recording = nullptr;
    std::vector<size_t> channels;
    double lo = 0.0;
    double hi = 100.0;
    uint32_t period = 360;       // T
    int zoom = 1;                // the period curve's rows per column
    int64_t offset = 0;          // o: the period curve starts at row o / p
    int32_t samplingPeriod = 0;  // p
};

namespace detail {

// A picture coordinate truncated toward zero; the conversion does that itself, without the
// library call std::trunc costs on the baseline instruction set.
inline int truncated(double coordinate) {
    return static_cast<int>(coordinate);
}

// The value a period picture plots: stored value x display coefficient + shift, the no-value
// marker kept as it is.
inline double plottedValue(double stored, double coefficient, double shift) {
    return isNoValue(stored) ? stored : stored * coefficient + shift;
}

// The channels of a walk and their state, in plain arrays: the channel, its coefficients, its
// last height and where its previous step ended.
class WalkChannels {
public:
    explicit WalkChannels(const PeriodWalk& walk)
        : m_count(std::min(walk.channels.size(), size_t(kMaxChannels))),
          m_lo(walk.lo),
          m_hi(walk.hi) {
        for (size_t slot = 0; slot < m_count; ++slot) {
            const ChannelInfo& info = walk.recording->definition.channels[walk.channels[slot]];
            m_channel[slot] = walk.channels[slot];
            m_coefficient[slot] = info.displayCoefficient;
            m_shift[slot] = info.offsetCoefficient;
        }
    }

    size_t count() const { return m_count; }
    size_t channel(size_t slot) const { return m_channel[slot]; }
    int height(size_t slot) const { return m_height[slot]; }

    // Takes the channel's stored value of the next row: the plotted value's height, or the
    // last height for the no-value marker.
    void take(size_t slot, const double* row) {
        const double plotted =
            plottedValue(row[m_channel[slot]], m_coefficient[slot], m_shift[slot]);
        if (!isNoValue(plotted)) {
            m_height[slot] = valueHeight(plotted, m_lo, m_hi);
        }
    }

    template <class Sink>
    [[gnu::always_inline]] void move(Sink& sink, size_t slot, int x, int y) {
        sink(slot, PathStep{x, y, false});
        m_x[slot] = x;
        m_y[slot] = y;
        m_afterLine[slot] = false;
    }

    // A line, left out when it goes to the pixel the line before ended on.
    template <class Sink>
    [[gnu::always_inline]] void line(Sink& sink, size_t slot, int x, int y) {
        if (m_afterLine[slot] && m_x[slot] == x && m_y[slot] == y) {
            return;
        }
        sink(slot, PathStep{x, y, true});
        m_x[slot] = x;
        m_y[slot] = y;
        m_afterLine[slot] = true;
    }

private:
    size_t m_count;
    double m_lo;
    double m_hi;
    std::array<size_t, kMaxChannels> m_channel{};
    std::array<double, kMaxChannels> m_coefficient{};
    std::array<double, kMaxChannels> m_shift{};
    std::array<int, kMaxChannels> m_height{};
    std::array<int, kMaxChannels> m_x{};
    std::array<int, kMaxChannels> m_y{};
    std::array<bool, kMaxChannels> m_afterLine{};
};

}  // namespace detail

// The walks take the rows a block at a time: what all channels share (a row's angle, a step's
// column) is computed once per block, then each channel's heights and points of the block in a
// loop of its own, then its steps in order.
inline constexpr size_t kWalkBlock = 256;

// The polar period chart: from row 0's point at angle 0, a line to every row's point.
template <class Sink>
void walkPeriodChart(const PeriodWalk& walk, Sink& sink) {
    const Recording& rec = *walk.recording;
    const size_t rows = rec.rowCount();
    if (rows == 0) {
        return;
    }
    const size_t width = rec.channelCount();
    detail::WalkChannels channels(walk);
    for (size_t slot = 0; slot < channels.count(); ++slot) {
        channels.take(slot, rec.values.data());
        channels.move(sink, slot, detail::truncated(channels.height(slot) / 2.0 + 475.0), 260);
    }
    std::array<double, kWalkBlock> cosines;
    std::array<double, kWalkBlock> sines;
    std::array<int, kWalkBlock> heights;
    std::array<int, kWalkBlock> xs;
    std::array<int, kWalkBlock> ys;
    for (size_t begin = 0; begin < rows; begin += kWalkBlock) {
        const size_t n = std::min(rows - begin, kWalkBlock);
        for (size_t i = 0; i < n; ++i) {
            cosines[i] = 1.0;
            sines[i] = 0.0;
            if (walk.period > 0) {
                const double a = static_cast<double>(begin + i) / walk.period * 2.0 * 3.1416;
                cosines[i] = std::cos(a);
                sines[i] = std::sin(a);
            }
        }
        const double* values = rec.values.data() + begin * width;
        for (size_t slot = 0; slot < channels.count(); ++slot) {
            for (size_t i = 0; i < n; ++i) {
                channels.take(slot, values + i * width);
                heights[i] = channels.height(slot);
            }
            for (size_t i = 0; i < n; ++i) {
                xs[i] = detail::truncated(heights[i] * cosines[i] / 2.0 + 475.0);
                ys[i] = detail::truncated(heights[i] * sines[i] / 2.0 + 260.0);
            }
            for (size_t i = 0; i < n; ++i) {
                channels.line(sink, slot, xs[i], ys[i]);
            }
        }
    }
}

// The folded period curve: row 0 is the starting point, then from row o / p (row 0 when p is 0)
// one row every z per column while a row remains and the column is at most 950; after column T
// the pen goes back to column 1 at the same height.
template <class Sink>
void walkPeriodCurve(const PeriodWalk& walk, Sink& sink) {
    const Recording& rec = *walk.recording;
    const size_t rows = rec.rowCount();
    if (rows == 0) {
        return;
    }
    const size_t width = rec.channelCount();
    detail::WalkChannels channels(walk);
    for (size_t slot = 0; slot < channels.count(); ++slot) {
        channels.take(slot, rec.values.data());
        channels.move(sink, slot, 0, 520 - channels.height(slot));
    }
    const int64_t first =
        walk.samplingPeriod > 0 ? std::max<int64_t>(walk.offset / walk.samplingPeriod, 0) : 0;
    const size_t z = static_cast<size_t>(std::max(1, walk.zoom));
    std::array<size_t, kWalkBlock> stepRows;
    std::array<int, kWalkBlock> columns;
    std::array<bool, kWalkBlock> folds;  // the pen goes back to column 1 after the step
    std::array<int, kWalkBlock> heights;
    int64_t x = 0;
    size_t row = static_cast<size_t>(first);
    while (row < rows && x <= 950) {
        size_t n = 0;
        for (; n < kWalkBlock && row < rows && x <= 950; ++n, row += z) {
            stepRows[n] = row;
            columns[n] = static_cast<int>(x);
            ++x;
            folds[n] = x > static_cast<int64_t>(walk.period);
            if (folds[n]) {
                x = 1;
            }
        }
        for (size_t slot = 0; slot < channels.count(); ++slot) {
            for (size_t i = 0; i < n; ++i) {
                channels.take(slot, rec.values.data() + stepRows[i] * width);
                heights[i] = channels.height(slot);
            }
            for (size_t i = 0; i < n; ++i) {
                channels.line(sink, slot, columns[i], 520 - heights[i]);
                if (folds[i]) {
                    channels.move(sink, slot, 1, 520 - heights[i]);
                }
            }
        }
    }
}

// The channel information texts (GBK): the sampled parameter (the table's description below
// 256, else the two characters packed in the code, low byte first), "COMM1".."COMM6" by port
// modulo 6, the baud text by index modulo 7, and the address as two digits.
std::string parameterText(int32_t code);
std::string portText(uint8_t port);
std::string baudIndexText(uint8_t baud);
std::string addressText(uint8_t address);

}  // namespace tervo
