#include "core/trend/TrendSummary.h"

#include <algorithm>
#include <limits>

#include "core/NoValue.h"

namespace tervo {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

size_t blockRows(size_t level) {
    size_t rows = TrendSummary::kBlockRows;
    for (size_t l = 0; l < level; ++l) {
        rows *= TrendSummary::kFanOut;
    }
    return rows;
}

void takeRow(const TrendRows& rows, size_t row, double* mins, double* maxs) {
    const double* v = rows.values + row * rows.channels;
    for (size_t c = 0; c < rows.channels; ++c) {
        if (!isNoValue(v[c])) {
            mins[c] = std::min(mins[c], v[c]);
            maxs[c] = std::max(maxs[c], v[c]);
        }
    }
}

void takeBlock(const double* block, size_t channels, double* mins, double* maxs) {
    for (size_t c = 0; c < channels; ++c) {
        mins[c] = std::min(mins[c], block[2 * c]);
        maxs[c] = std::max(maxs[c], block[2 * c + 1]);
    }
}

}  // namespace

void TrendSummary::clear() {
    m_levels.clear();
    m_rows = 0;
    m_channels = 0;
}

void TrendSummary::update(const TrendRows& rows) {
    if (rows.rows < m_rows || rows.channels != m_channels) {
        clear();
        m_channels = rows.channels;
    }
    m_rows = rows.rows;
    const size_t n = m_channels;
    std::vector<double> mins(n);
    std::vector<double> maxs(n);
    for (size_t level = 0;; ++level) {
        const size_t size = blockRows(level);
        const size_t whole = m_rows / size;
        if (whole == 0) {
            break;
        }
        if (m_levels.size() <= level) {
            m_levels.emplace_back();
        }
        std::vector<double>& into = m_levels[level];
        for (size_t block = into.size() / (2 * n == 0 ? 1 : 2 * n); block < whole; ++block) {
            std::fill(mins.begin(), mins.end(), kInf);
            std::fill(maxs.begin(), maxs.end(), -kInf);
            if (level == 0) {
                for (size_t row = block * size; row < (block + 1) * size; ++row) {
                    takeRow(rows, row, mins.data(), maxs.data());
                }
            } else {
                const std::vector<double>& below = m_levels[level - 1];
                for (size_t part = block * kFanOut; part < (block + 1) * kFanOut; ++part) {
                    takeBlock(below.data() + part * 2 * n, n, mins.data(), maxs.data());
                }
            }
            for (size_t c = 0; c < n; ++c) {
                into.push_back(mins[c]);
                into.push_back(maxs[c]);
            }
        }
        if (n == 0) {
            break;
        }
    }
}

void TrendSummary::minMax(const TrendRows& rows, size_t first, size_t end, double* mins,
                          double* maxs) const {
    const size_t n = rows.channels;
    std::fill(mins, mins + n, kInf);
    std::fill(maxs, maxs + n, -kInf);
    end = std::min(end, rows.rows);
    // Blocks are used only for rows the summary has seen and with the same channel count.
    const bool blocks = n == m_channels && n > 0;
    size_t row = first;
    while (row < end) {
        int level = -1;
        if (blocks) {
            for (size_t l = 0; l < m_levels.size(); ++l) {
                const size_t size = blockRows(l);
                if (row % size != 0 || row + size > end || row + size > m_rows) {
                    break;
                }
                level = static_cast<int>(l);
            }
        }
        if (level < 0) {
            takeRow(rows, row, mins, maxs);
            ++row;
            continue;
        }
        const size_t size = blockRows(static_cast<size_t>(level));
        takeBlock(m_levels[static_cast<size_t>(level)].data() + (row / size) * 2 * n, n, mins,
                  maxs);
        row += size;
    }
}

size_t TrendSummary::bytes() const {
    size_t total = 0;
    for (const std::vector<double>& level : m_levels) {
        total += level.capacity() * sizeof(double);
    }
    return total;
}

size_t firstRowAtOrAfter(const TrendRows& rows, double time) {
    const int32_t* end = rows.times + rows.rows;
    return static_cast<size_t>(
        std::lower_bound(rows.times, end, time,
                         [](int32_t t, double value) { return static_cast<double>(t) < value; }) -
        rows.times);
}

TrendFrame buildTrendFrame(const TrendRows& rows, const TrendSummary& summary, double firstTime,
                           double lastTime, size_t width) {
    TrendFrame frame;
    frame.firstTime = firstTime;
    frame.lastTime = lastTime;
    frame.width = width;
    frame.channels = rows.channels;
    frame.rowEdges.resize(width + 1);
    const double step = width > 0 ? (lastTime - firstTime) / static_cast<double>(width) : 0.0;
    for (size_t c = 0; c <= width; ++c) {
        frame.rowEdges[c] =
            firstRowAtOrAfter(rows, c == width ? lastTime : firstTime + step * double(c));
    }
    // Columns of many rows start on a whole block: moving a column's start back by under one
    // block (under an eighth of the column) changes nothing one can see, and spares reading
    // each column's first and last rows one by one, which at millions of rows would cost more
    // than the rest of the picture.
    if (width > 1 &&
        (frame.rowEdges[width] - frame.rowEdges[0]) / width >= TrendSummary::kSnapRows) {
        for (size_t c = 1; c < width; ++c) {
            const size_t snapped =
                frame.rowEdges[c] / TrendSummary::kBlockRows * TrendSummary::kBlockRows;
            frame.rowEdges[c] = std::max(snapped, frame.rowEdges[c - 1]);
        }
    }
    frame.mins.resize(width * rows.channels);
    frame.maxs.resize(width * rows.channels);
    frame.firsts.resize(width * rows.channels);
    frame.lasts.resize(width * rows.channels);
    const size_t n = rows.channels;
    for (size_t c = 0; c < width; ++c) {
        summary.minMax(rows, frame.rowEdges[c], frame.rowEdges[c + 1], frame.mins.data() + c * n,
                       frame.maxs.data() + c * n);
        if (!frame.empty(c)) {
            std::copy_n(rows.values + frame.rowEdges[c] * n, n, frame.firsts.data() + c * n);
            std::copy_n(rows.values + (frame.rowEdges[c + 1] - 1) * n, n,
                        frame.lasts.data() + c * n);
        }
    }
    return frame;
}

std::vector<TrendSegment> trendSegments(const TrendRows& rows, const TrendFrame& frame,
                                        size_t channel) {
    std::vector<TrendSegment> segments;
    if (channel >= rows.channels || frame.width == 0) {
        return segments;
    }
    const size_t begin = frame.rowEdges.front();
    const size_t end = frame.rowEdges.back();
    // The join into the frame from the row before it, drawn from column -1.
    double lastX = -1.0;
    bool have = begin > 0;
    double lastValue = have ? rows.value(begin - 1, channel) : 0.0;
    for (size_t c = 0; c < frame.width; ++c) {
        if (frame.empty(c)) {
            continue;
        }
        const double x = static_cast<double>(c);
        const double first = frame.firsts[c * frame.channels + channel];
        if (have && !isNoValue(lastValue) && !isNoValue(first)) {
            segments.push_back({lastX, lastValue, x, first});
        }
        const double low = frame.min(c, channel);
        const double high = frame.max(c, channel);
        if (low <= high) {
            segments.push_back({x, low, x, high});
        }
        have = true;
        lastX = x;
        lastValue = frame.lasts[c * frame.channels + channel];
    }
    if (have && end < rows.rows) {
        const double next = rows.value(end, channel);
        if (!isNoValue(lastValue) && !isNoValue(next)) {
            segments.push_back({lastX, lastValue, static_cast<double>(frame.width), next});
        }
    }
    return segments;
}

bool frameRange(const TrendFrame& frame, const std::vector<size_t>& selected, double& low,
                double& high) {
    low = kInf;
    high = -kInf;
    for (size_t c = 0; c < frame.width; ++c) {
        for (size_t ch : selected) {
            if (ch < frame.channels) {
                low = std::min(low, frame.min(c, ch));
                high = std::max(high, frame.max(c, ch));
            }
        }
    }
    return low <= high;
}

}  // namespace tervo
