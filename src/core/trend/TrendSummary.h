#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tervo {

// The rows a trend reads, as a recording or a running work holds them: one time stamp per row
// and the values row after row, `channels` per row. The pointers stay valid only until the
// source changes its rows.
struct TrendRows {
    const int32_t* times = nullptr;
    const double* values = nullptr;
    size_t rows = 0;
    size_t channels = 0;
    double value(size_t row, size_t channel) const { return values[row * channels + channel]; }
};

// The lowest and highest value of every channel over rows taken in whole blocks: blocks of 64
// rows, then of 8 such blocks, and so on. A min/max over any run of rows then reads at most a
// few dozen blocks and the rows at either end, so a chart's columns are summarised in about
// the same time whatever the number of rows. Failed readings take no part in it. It costs
// about 16 / 64 / 0.875 bytes per value: under 3 % of the rows' own memory.
class TrendSummary {
public:
    static constexpr size_t kBlockRows = 64;
    static constexpr size_t kFanOut = 8;
    // Columns of at least this many rows on average start on a whole block (buildTrendFrame).
    static constexpr size_t kSnapRows = 8 * kBlockRows;

    // Brings the summary up to `rows`. Appended rows are added; when the rows are fewer than
    // the summary has seen or have another channel count, it starts over.
    void update(const TrendRows& rows);
    // Forgets everything (the rows changed in place, as a deletion does).
    void clear();

    // The lowest and highest value of each channel over rows [first, end): `mins[c]` and
    // `maxs[c]` for c < channels. A channel whose readings all failed there gets +inf / -inf.
    void minMax(const TrendRows& rows, size_t first, size_t end, double* mins, double* maxs) const;

    size_t rowsSummarised() const { return m_rows; }
    size_t bytes() const;

private:
    // Level l holds one min and one max per channel for each whole block of
    // kBlockRows * kFanOut^l rows, block after block.
    std::vector<std::vector<double>> m_levels;
    size_t m_rows = 0;
    size_t m_channels = 0;
};

// What a chart shows of the rows in one width: for each pixel column the rows whose time falls
// in it, and every channel's lowest and highest value among them.
struct TrendFrame {
    double firstTime = 0.0;  // the left edge of column 0, in seconds since 1970
    double lastTime = 0.0;   // the right edge of the last column
    size_t width = 0;
    size_t channels = 0;
    // Column c holds rows [rowEdges[c], rowEdges[c + 1]); width + 1 entries.
    std::vector<size_t> rowEdges;
    std::vector<double> mins;  // width x channels; +inf where no reading of the column succeeded
    std::vector<double> maxs;
    // Each column's first and last row's values (width x channels), read once for all
    // channels while the frame is built.
    std::vector<double> firsts;
    std::vector<double> lasts;

    size_t firstRow(size_t column) const { return rowEdges[column]; }
    size_t endRow(size_t column) const { return rowEdges[column + 1]; }
    bool empty(size_t column) const { return rowEdges[column] == rowEdges[column + 1]; }
    double min(size_t column, size_t channel) const { return mins[column * channels + channel]; }
    double max(size_t column, size_t channel) const { return maxs[column * channels + channel]; }
};

// The frame of the times [firstTime, lastTime) in `width` columns. Rows are taken to be in time
// order (as a run writes them); rows out of order fall where a binary search puts them. When
// the columns hold kSnapRows rows or more on average, each column but the first starts at the
// whole block (TrendSummary::kBlockRows) at or before its first row.
TrendFrame buildTrendFrame(const TrendRows& rows, const TrendSummary& summary, double firstTime,
                           double lastTime, size_t width);

// The first row whose time is at or after `time` (rows.rows when none is).
size_t firstRowAtOrAfter(const TrendRows& rows, double time);

// One straight piece of a channel's line, in column and value coordinates: a column's span
// from lowest to highest (x0 == x1), or the join from one row to the next. Column -1 stands
// for the row just before the frame and `width` for the row just after it.
struct TrendSegment {
    double x0, v0, x1, v1;
};

// The pieces of channel `channel`'s line over the frame. The gap rule: a failed reading is
// never drawn as a value; the line is broken wherever one of the two rows it would join failed,
// and a column whose readings all failed draws nothing.
std::vector<TrendSegment> trendSegments(const TrendRows& rows, const TrendFrame& frame,
                                        size_t channel);

// The lowest and highest value of the channels `selected` over the frame's rows; false when
// no reading of them succeeded there.
bool frameRange(const TrendFrame& frame, const std::vector<size_t>& selected, double& low,
                double& high);

}  // namespace tervo
