#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/work/LiveViewRules.h"
#include "core/work/WorkFiles.h"

namespace tervo {

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
// hand each channel's points to a sink a block at a time: sink.move(slot, x, y) puts the
// channel's pen at (x, y) and sink.lines(slot, xs, ys, n) draws a line from where the pen is to
// each of the n points in turn, slot being the channel's place in `channels`. A walk may draw a
// part of the picture (the polar chart's rows, the period curve's steps, from `begin` to
// `end`): the parts together draw the lines of the whole.
struct PeriodWalk {
    const Recording* recording = nullptr;
    std::vector<size_t> channels;
    double lo = 0.0;
    double hi = 100.0;
    uint32_t period = 360;       // T
    int zoom = 1;                // the period curve's rows per column
    int64_t offset = 0;          // o: the period curve starts at row o / p
    int32_t samplingPeriod = 0;  // p
    // Set from another thread to end the walk early, at the next block: what it drew so far
    // is then a part of the picture only, for the caller to throw away.
    const std::atomic<bool>* stop = nullptr;
};

inline bool stopped(const PeriodWalk& walk) {
    return walk.stop != nullptr && walk.stop->load(std::memory_order_relaxed);
}

// Turns a walk's blocks into the steps of paths, one call of step(slot, PathStep) each: a
// channel starts with a move; a line to the pixel its previous step ended on is left out,
// except the first line after a move (a dot).
template <class StepFn>
class StepSink {
public:
    explicit StepSink(StepFn step) : m_step(std::move(step)) {}

    void move(size_t slot, int x, int y) {
        m_last[slot] = PathStep{x, y, false};
        m_step(slot, m_last[slot]);
    }
    void lines(size_t slot, const int* xs, const int* ys, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            PathStep& last = m_last[slot];
            if (!last.line || last.x != xs[i] || last.y != ys[i]) {
                last = PathStep{xs[i], ys[i], true};
                m_step(slot, last);
            }
        }
    }

private:
    StepFn m_step;
    std::array<PathStep, kMaxChannels> m_last{};
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

// A walk built for the baseline instruction set suffers when code outside it (the library,
// the thread that started it) leaves the upper halves of the processor's wide vector registers
// in use: each baseline vector instruction then waits on them, which makes the library's sine
// and cosine ten times slower on recent processors. The walks clear those halves before each
// chunk of rows.
inline void clearWideVectorHalves() {
#if defined(__x86_64__) && !defined(__AVX__) && (defined(__GNUC__) || defined(__clang__))
    static const bool wide = __builtin_cpu_supports("avx");
    if (wide) {
        // Every vector register named as changed: no value is kept in one across it.
        asm volatile("vzeroupper" ::
                         : "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7",
                           "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
    }
#endif
}

// The walks take the rows a block at a time: what all channels share (a row's angle, a step's
// row and column, the rows' values) is worked out once per chunk of blocks, then each
// channel's heights and points of a block in loops of their own, then its lines.
inline constexpr size_t kWalkBlock = 256;
using BlockInts = std::array<int, kWalkBlock>;
// A chunk of rows is walked for one channel after the other: the chunk's rows stay in the
// cache from one channel to the next, and so does the part of each channel's picture its
// lines go through.
inline constexpr size_t kWalkChunk = 16 * kWalkBlock;

// The channels of a walk: each one's column, coefficients and last height.
class WalkChannels {
public:
    explicit WalkChannels(const PeriodWalk& walk)
        : m_values(walk.recording->values.data()),
          m_count(std::min(walk.channels.size(), size_t(kMaxChannels))),
          m_width(walk.recording->channelCount()),
          m_lo(walk.lo),
          m_hi(walk.hi),
          m_chunk(m_count * kColumnStride) {
        for (size_t slot = 0; slot < m_count; ++slot) {
            const ChannelInfo& info = walk.recording->definition.channels[walk.channels[slot]];
            m_channel[slot] = walk.channels[slot];
            m_coefficient[slot] = info.displayCoefficient;
            m_shift[slot] = info.offsetCoefficient;
        }
    }

    size_t count() const { return m_count; }
    int height(size_t slot) const { return m_height[slot]; }

    // Takes the channel's value in `row`: the plotted value's height becomes its height; the
    // no-value marker keeps the last one. False for the marker.
    bool take(size_t slot, size_t row) {
        const double plotted = plottedValue(m_values[row * m_width + m_channel[slot]],
                                            m_coefficient[slot], m_shift[slot]);
        if (isNoValue(plotted)) {
            return false;
        }
        m_height[slot] = valueHeight(plotted, m_lo, m_hi);
        return true;
    }

    // Reads the values of the rows first, first + stride .. (n of them, at most a chunk) for
    // every channel at once, a row's values together as they are stored.
    void loadChunk(size_t first, size_t stride, size_t n) {
        double* chunk = m_chunk.data();
        for (size_t i = 0; i < n; ++i) {
            const double* row = m_values + (first + i * stride) * m_width;
            for (size_t slot = 0; slot < m_count; ++slot) {
                chunk[slot * kColumnStride + i] = row[m_channel[slot]];
            }
        }
        for (size_t slot = 0; slot < m_count; ++slot) {
            std::fill(chunk + slot * kColumnStride + n, chunk + slot * kColumnStride + kWalkChunk,
                      0.0);
        }
    }

    // Takes the channel's values of the loaded chunk's rows at .. at + n in turn; `heights`
    // gets the height after each. The loops have no branches, so the compiler makes vector
    // instructions of them, and the heights are those `take` gives, to the bit.
    void takeBlock(size_t slot, size_t at, size_t n, BlockInts& heights) {
        const double* column = m_chunk.data() + slot * kColumnStride + at;
        const double k = m_coefficient[slot];
        const double shift = m_shift[slot];
        bool failed = true;  // a reading of the block failed: the last height carries over
        if (m_hi > m_lo) {
            const double span = m_hi - m_lo;
            for (size_t i = 0; i < kWalkBlock; ++i) {  // the whole block: no remainder loop
                const double v = column[i];
                const double p = v * k + shift;
                // Not a number counts as the low end: valueHeight gives it height 0 too.
                double held = p != p ? m_lo : p;
                held = held < m_lo ? m_lo : held;
                held = m_hi < held ? m_hi : held;
                int h = static_cast<int>((held - m_lo) / span * kChartLastY);
                h = h < 0 ? 0 : h;
                h = h > kChartLastY ? kChartLastY : h;
                // The marker compares equal to itself only: the test of its bits, as a number.
                heights[i] = ((v == kNoValue) | (p == kNoValue)) ? -1 : h;
            }
            int signs = 0;  // the rest of the chunk holds zeros: no failures there
            for (size_t i = 0; i < kWalkBlock; ++i) {
                signs |= heights[i];
            }
            failed = signs < 0;
        } else {
            for (size_t i = 0; i < n; ++i) {
                const double v = column[i];
                const double p = v * k + shift;
                heights[i] = isNoValue(v) || isNoValue(p) ? -1 : valueHeight(p, m_lo, m_hi);
            }
        }
        if (!failed) {
            m_height[slot] = heights[n - 1];
            return;
        }
        int last = m_height[slot];
        for (size_t i = 0; i < n; ++i) {
            last = heights[i] < 0 ? last : heights[i];
            heights[i] = last;
        }
        m_height[slot] = last;
    }

private:
    const double* m_values;
    size_t m_count;
    size_t m_width;
    double m_lo;
    double m_hi;
    std::array<size_t, kMaxChannels> m_channel{};
    std::array<double, kMaxChannels> m_coefficient{};
    std::array<double, kMaxChannels> m_shift{};
    std::array<int, kMaxChannels> m_height{};
    // The chunk's values, channel after channel. Each channel's column starts a cache line
    // further on than a whole number of pages, so that writing the columns side by side does
    // not keep evicting them from the same cache sets.
    static constexpr size_t kColumnStride = kWalkChunk + 8;
    std::vector<double> m_chunk;
};

// The polar chart's point for a height in row r, at angle r / T of a turn (T = 0: angle 0).
struct RowAngle {
    double cosine = 1.0;
    double sine = 0.0;

    RowAngle() = default;
    RowAngle(size_t row, uint32_t period) {
        if (period > 0) {
            const double a = static_cast<double>(row) / period * 2.0 * 3.1416;
            cosine = std::cos(a);
            sine = std::sin(a);
        }
    }
    int x(int height) const { return truncated(height * cosine / 2.0 + kPolarCentreX); }
    int y(int height) const { return truncated(height * sine / 2.0 + kPolarCentreY); }
};

// The period curve's steps: step j plots row o / p + j z (row 0 is its starting point) in its
// column, 0, 1 .. T, then 1 .. T again after each fold; with T above 950 it stops at column 950.
class CurveSteps {
public:
    explicit CurveSteps(const PeriodWalk& walk, size_t rows)
        : m_first(walk.samplingPeriod > 0
                      ? static_cast<size_t>(std::max<int64_t>(walk.offset / walk.samplingPeriod, 0))
                      : 0),
          m_zoom(static_cast<size_t>(std::max(1, walk.zoom))),
          m_period(walk.period) {
        m_count = m_first < rows ? (rows - m_first + m_zoom - 1) / m_zoom : 0;
        if (m_period > kChartLastX) {
            m_count = std::min<size_t>(m_count, kChartWidth);
        }
    }

    size_t count() const { return m_count; }
    size_t row(size_t step) const { return m_first + step * m_zoom; }
    size_t zoom() const { return m_zoom; }
    int column(size_t step) const {
        if (step <= m_period) {
            return static_cast<int>(step);
        }
        return m_period == 0 ? 1 : static_cast<int>(1 + (step - m_period - 1) % m_period);
    }
    // After a step in column T the pen goes back to column 1 at the same height.
    bool folds(int column) const { return static_cast<uint32_t>(column) >= m_period; }

private:
    size_t m_first;
    size_t m_zoom;
    uint32_t m_period;
    size_t m_count = 0;
};

}  // namespace detail

// The polar period chart: from row 0's point at angle 0, a line to every row's point. A part
// from row `begin` starts at row begin - 1's point.
template <class Sink>
void walkPeriodChart(const PeriodWalk& walk, Sink& sink, size_t begin = 0, size_t end = SIZE_MAX) {
    const Recording& rec = *walk.recording;
    end = std::min(end, rec.rowCount());
    if (begin >= end) {
        return;
    }
    detail::WalkChannels channels(walk);
    const size_t before = begin == 0 ? 0 : begin - 1;
    const detail::RowAngle start =
        begin == 0 ? detail::RowAngle() : detail::RowAngle(before, walk.period);
    for (size_t slot = 0; slot < channels.count(); ++slot) {
        // The height the rows before leave: the last one with a value gives it.
        for (size_t r = before; !channels.take(slot, r) && r > 0; --r) {
        }
        const int h = channels.height(slot);
        sink.move(slot, start.x(h), start.y(h));
    }
    // What the rows of a chunk share, for all channels; then each channel's blocks of it.
    std::array<double, detail::kWalkChunk> cosines{};
    std::array<double, detail::kWalkChunk> sines{};
    detail::BlockInts heights{};
    detail::BlockInts xs{};
    detail::BlockInts ys{};
    for (size_t chunk = begin; chunk < end && !stopped(walk); chunk += detail::kWalkChunk) {
        const size_t chunkEnd = std::min(end, chunk + detail::kWalkChunk);
        detail::clearWideVectorHalves();
        for (size_t r = chunk; r < chunkEnd; ++r) {
            const detail::RowAngle angle(r, walk.period);
            cosines[r - chunk] = angle.cosine;
            sines[r - chunk] = angle.sine;
        }
        channels.loadChunk(chunk, 1, chunkEnd - chunk);
        for (size_t slot = 0; slot < channels.count(); ++slot) {
            for (size_t first = chunk; first < chunkEnd; first += detail::kWalkBlock) {
                const size_t n = std::min(chunkEnd - first, detail::kWalkBlock);
                channels.takeBlock(slot, first - chunk, n, heights);
                const double* cosine = cosines.data() + (first - chunk);
                const double* sine = sines.data() + (first - chunk);
                for (size_t i = 0; i < detail::kWalkBlock; ++i) {
                    xs[i] = detail::truncated(heights[i] * cosine[i] / 2.0 + kPolarCentreX);
                    ys[i] = detail::truncated(heights[i] * sine[i] / 2.0 + kPolarCentreY);
                }
                sink.lines(slot, xs.data(), ys.data(), n);
            }
        }
    }
}

// The number of steps of the period curve (see walkPeriodCurve), for sharing them out.
size_t periodCurveSteps(const PeriodWalk& walk);

// The folded period curve: row 0 is the starting point, then from row o / p (row 0 when p is 0)
// one row every z per column while a row remains and the column is at most 950; after column T
// the pen goes back to column 1 at the same height. A part from step `begin` starts where step
// begin - 1 left the pen.
template <class Sink>
void walkPeriodCurve(const PeriodWalk& walk, Sink& sink, size_t begin = 0, size_t end = SIZE_MAX) {
    const Recording& rec = *walk.recording;
    const detail::CurveSteps steps(walk, rec.rowCount());
    end = std::min(end, steps.count());
    if (begin >= end) {
        return;
    }
    detail::WalkChannels channels(walk);
    for (size_t slot = 0; slot < channels.count(); ++slot) {
        if (begin == 0) {
            channels.take(slot, 0);
            sink.move(slot, 0, kChartLastY - channels.height(slot));
            continue;
        }
        // The height the steps before leave: the last one with a value, else row 0's.
        bool taken = false;
        for (size_t j = begin; j > 0 && !taken; --j) {
            taken = channels.take(slot, steps.row(j - 1));
        }
        if (!taken) {
            channels.take(slot, 0);
        }
        const int column = steps.column(begin - 1);
        sink.move(slot, steps.folds(column) ? 1 : column, kChartLastY - channels.height(slot));
    }
    // The rows and columns of a chunk's steps, for all channels; then each channel's blocks.
    std::array<int, detail::kWalkChunk> columns{};
    detail::BlockInts heights{};
    detail::BlockInts ys{};
    for (size_t chunk = begin; chunk < end && !stopped(walk); chunk += detail::kWalkChunk) {
        const size_t chunkEnd = std::min(end, chunk + detail::kWalkChunk);
        detail::clearWideVectorHalves();
        // The column of the chunk's first step, then each the one after the one before.
        columns[0] = steps.column(chunk);
        for (size_t j = 1; j < chunkEnd - chunk; ++j) {
            columns[j] = steps.folds(columns[j - 1]) ? 1 : columns[j - 1] + 1;
        }
        channels.loadChunk(steps.row(chunk), steps.zoom(), chunkEnd - chunk);
        for (size_t slot = 0; slot < channels.count(); ++slot) {
            for (size_t first = chunk; first < chunkEnd; first += detail::kWalkBlock) {
                const size_t n = std::min(chunkEnd - first, detail::kWalkBlock);
                const int* column = columns.data() + (first - chunk);
                channels.takeBlock(slot, first - chunk, n, heights);
                for (size_t i = 0; i < detail::kWalkBlock; ++i) {
                    ys[i] = kChartLastY - heights[i];
                }
                // Lines up to each fold, then the pen back to column 1.
                size_t from = 0;
                for (size_t i = 0; i < n; ++i) {
                    if (steps.folds(column[i])) {
                        sink.lines(slot, column + from, ys.data() + from, i + 1 - from);
                        sink.move(slot, 1, ys[i]);
                        from = i + 1;
                    }
                }
                if (from < n) {
                    sink.lines(slot, column + from, ys.data() + from, n - from);
                }
            }
        }
    }
}

// The channel information texts (GBK): the sampled parameter (the table's label below
// 256, else the two characters packed in the code, low byte first), "COMM1".."COMM6" by port
// modulo 6, the baud text by index modulo 7, and the address as two digits.
std::string parameterText(int32_t code);
std::string portText(uint8_t port);
std::string baudIndexText(uint8_t baud);
std::string addressText(uint8_t address);

}  // namespace tervo
