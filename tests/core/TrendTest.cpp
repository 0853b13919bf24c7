#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "core/Clock.h"
#include "core/NoValue.h"
#include "core/trend/TrendAxis.h"
#include "core/trend/TrendRules.h"
#include "core/trend/TrendSummary.h"

using namespace tervo;

namespace {

// Local time `offsetHours` ahead of UTC (Beijing time by default), whatever the machine's zone.
class ZoneClock : public Clock {
public:
    explicit ZoneClock(int offsetHours = 8) : m_offset(offsetHours * 3600) {}
    uint32_t tickMs() override { return 0; }
    int64_t calendarSeconds() override { return 0; }
    std::tm localTime(int64_t seconds) override {
        const time_t t = static_cast<time_t>(seconds + m_offset);
        std::tm out{};
        gmtime_r(&t, &out);
        return out;
    }

private:
    int64_t m_offset;
};

struct Rows {
    std::vector<int32_t> times;
    std::vector<double> values;
    size_t channels = 0;
    TrendRows view(size_t count) const { return {times.data(), values.data(), count, channels}; }
    TrendRows view() const { return view(times.size()); }
};

// Rows a second or three apart (some on the same second), values random, about one reading
// in eight failed and channel 2 silent for a stretch.
Rows randomRows(size_t count, size_t channels, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-50.0, 500.0);
    std::uniform_int_distribution<int> step(0, 3);
    Rows rows;
    rows.channels = channels;
    int32_t t = 1'765'000'000;
    for (size_t r = 0; r < count; ++r) {
        t += step(random);
        rows.times.push_back(t);
        for (size_t c = 0; c < channels; ++c) {
            const bool silent = c == 2 && r >= count / 3 && r < count / 2;
            rows.values.push_back(silent || random() % 8 == 0 ? kNoValue : value(random));
        }
    }
    return rows;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

// The summary's columns against a plain scan of the rows, for frames of every size over rows
// that arrive in pieces as a running work's do; the lines drawn from it never take a failed
// reading for a value.
TEST(TrendSummary, ColumnsMatchAPlainScanAndFailedReadingsAreGaps) {
    const Rows all = randomRows(40'000, 4, 7);
    TrendSummary summary;
    std::mt19937 random(11);
    for (size_t count : {size_t(0), size_t(1), size_t(63), size_t(64), size_t(5000), size_t(5001),
                         size_t(40'000)}) {
        summary.update(all.view(count));
        const TrendRows rows = all.view(count);
        if (count == 0) {
            continue;
        }
        const double start = rows.times[0];
        const double end = rows.times[count - 1] + 1.0;
        for (int trial = 0; trial < 12; ++trial) {
            std::uniform_real_distribution<double> at(start - 50.0, end + 50.0);
            double first = at(random);
            double last = at(random);
            if (first > last) {
                std::swap(first, last);
            }
            // Widths down to a few columns, so that columns of thousands of rows occur too.
            const size_t width = 1 + (trial % 3 == 0 ? random() % 8 : random() % 700);
            const TrendFrame frame = buildTrendFrame(rows, summary, first, last, width);
            const bool snapped =
                (frame.rowEdges[width] - frame.rowEdges[0]) / width >= TrendSummary::kSnapRows;
            for (size_t c = 0; c < width; ++c) {
                // Column c's rows: those whose time falls in it, its start moved back to a
                // whole block when the columns are long.
                const double left = first + (last - first) / double(width) * double(c);
                size_t start = firstRowAtOrAfter(rows, left);
                if (snapped && c > 0) {
                    start = std::max(start / 64 * 64, frame.rowEdges[c - 1]);
                }
                ASSERT_EQ(frame.firstRow(c), start) << count << " rows, column " << c;
                for (size_t ch = 0; ch < rows.channels; ++ch) {
                    double low = kInf;
                    double high = -kInf;
                    for (size_t r = frame.firstRow(c); r < frame.endRow(c); ++r) {
                        if (!isNoValue(rows.value(r, ch))) {
                            low = std::min(low, rows.value(r, ch));
                            high = std::max(high, rows.value(r, ch));
                        }
                    }
                    ASSERT_EQ(frame.min(c, ch), low) << count << " rows, column " << c;
                    ASSERT_EQ(frame.max(c, ch), high) << count << " rows, column " << c;
                }
            }
            for (size_t ch = 0; ch < rows.channels; ++ch) {
                for (const TrendSegment& s : trendSegments(rows, frame, ch)) {
                    ASSERT_FALSE(isNoValue(s.v0) || isNoValue(s.v1));
                }
            }
        }
    }
    // A deletion changes rows in place: after clear() the summary is that of the new rows.
    Rows fewer = all;
    fewer.times.erase(fewer.times.begin() + 100, fewer.times.begin() + 30'000);
    fewer.values.erase(fewer.values.begin() + 400, fewer.values.begin() + 120'000);
    summary.clear();
    summary.update(fewer.view());
    const TrendFrame frame =
        buildTrendFrame(fewer.view(), summary, fewer.times.front(), fewer.times.back() + 1.0, 1);
    double low = kInf;
    for (size_t r = 0; r < fewer.times.size(); ++r) {
        if (!isNoValue(fewer.values[r * 4])) {
            low = std::min(low, fewer.values[r * 4]);
        }
    }
    EXPECT_EQ(frame.min(0, 0), low);
    EXPECT_LT(summary.bytes(), fewer.values.size() * sizeof(double) / 10);
}

// The gap rule on a line one can follow by hand: rows 0..5 in columns 0..5, row 2 failed, and
// the row before and after the frame joined to its edges.
TEST(TrendSummary, GapRuleBreaksTheLineAtAFailedReading) {
    Rows rows;
    rows.channels = 1;
    for (int r = 0; r < 8; ++r) {
        rows.times.push_back(1000 + r);
        rows.values.push_back(r == 3 ? kNoValue : 10.0 * r);
    }
    TrendSummary summary;
    summary.update(rows.view());
    // Rows 1..6 in columns 0..5; row 0 before, row 7 after.
    const TrendFrame frame = buildTrendFrame(rows.view(), summary, 1001, 1007, 6);
    const std::vector<TrendSegment> segments = trendSegments(rows.view(), frame, 0);
    std::vector<std::array<double, 4>> got;
    for (const TrendSegment& s : segments) {
        got.push_back({s.x0, s.v0, s.x1, s.v1});
    }
    const std::vector<std::array<double, 4>> expected = {
        {-1, 0, 0, 10},
        {0, 10, 0, 10},
        {0, 10, 1, 20},
        {1, 20, 1, 20},
        // row 3 (column 2) failed: no join into it, no span in it, no join out of it
        {3, 40, 3, 40},
        {3, 40, 4, 50},
        {4, 50, 4, 50},
        {4, 50, 5, 60},
        {5, 60, 5, 60},
        {5, 60, 6, 70},
    };
    EXPECT_EQ(got, expected);
}

// Steps over spans from ten seconds to two years, ten marks at most, on whole steps of local
// time with the date where the day changes.
TEST(TrendAxis, StepsAndMarksFromTenSecondsToTwoYears) {
    using U = TimeStep::Unit;
    struct Case {
        double span;
        U unit;
        int count;
    };
    const Case cases[] = {
        {10, U::Second, 1},         {60, U::Second, 10},        {600, U::Minute, 1},
        {3600, U::Minute, 10},      {6 * 3600, U::Hour, 1},     {86400, U::Hour, 3},
        {7 * 86400, U::Day, 1},     {30 * 86400, U::Day, 7},    {90 * 86400, U::Day, 14},
        {365 * 86400, U::Month, 2}, {730 * 86400, U::Month, 3}, {40 * 365 * 86400.0, U::Year, 5},
    };
    for (const Case& c : cases) {
        const TimeStep step = chooseTimeStep(c.span, 10);
        EXPECT_EQ(int(step.unit), int(c.unit)) << c.span;
        EXPECT_EQ(step.count, c.count) << c.span;
    }

    ZoneClock beijing;
    // 2026-12-08 22:00:00 Beijing = 14:00:00 UTC, over six hours: marks at 23:00, 00:00 (with
    // the new date), 01:00 ... 04:00.
    const double start = 1796738400.0;  // 2026-12-08 14:00:00 UTC
    std::vector<TimeTick> ticks = timeTicks(start + 1, start + 6 * 3600, {U::Hour, 1}, beijing);
    ASSERT_EQ(ticks.size(), 6u);
    EXPECT_EQ(ticks[0].label, "23:00");
    EXPECT_EQ(ticks[0].date, "2026/12/08");
    EXPECT_EQ(ticks[1].label, "00:00");
    EXPECT_EQ(ticks[1].date, "2026/12/09");
    EXPECT_EQ(ticks[1].time, start + 2 * 3600);
    EXPECT_EQ(ticks[2].date, "");
    // Seconds across local midnight.
    ticks = timeTicks(start + 7200 - 10, start + 7200 + 10, {U::Second, 5}, beijing);
    ASSERT_EQ(ticks.size(), 5u);
    EXPECT_EQ(ticks[0].label, "23:59:50");
    EXPECT_EQ(ticks[2].label, "00:00:00");
    EXPECT_EQ(ticks[2].date, "2026/12/09");
    // Months start on the first at local midnight; years on the first of January.
    ticks = timeTicks(start, start + 365 * 86400.0, {U::Month, 3}, beijing);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks[0].label, "2027/01");
    EXPECT_EQ(ticks[0].time, 1798761600.0 - 8 * 3600);  // 2027-01-01 00:00 Beijing
    EXPECT_EQ(ticks[3].label, "2027/10");
    ticks = timeTicks(start, start + 730 * 86400.0, {U::Year, 1}, beijing);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[1].label, "2028");
    // Weeks start on a Monday (2026-12-14).
    ticks = timeTicks(start, start + 30 * 86400.0, {U::Day, 7}, beijing);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks[0].label, "12/14");
    // Every chosen step keeps the marks between 1 and 10 for every span.
    for (double span = 10; span < 3 * 365 * 86400.0; span *= 1.7) {
        const size_t count =
            timeTicks(start, start + span, chooseTimeStep(span, 10), beijing).size();
        EXPECT_GE(count, 1u) << span;
        EXPECT_LE(count, 11u) << span;
    }

    const ValueTicks values = valueTicks(-3.0, 117.0, 8);
    EXPECT_EQ(values.step, 20.0);
    EXPECT_EQ(values.values, (std::vector<double>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(valueTicks(0.1, 0.37, 10).decimals, 2);
}

// The read-out between rows reads the nearer row (the earlier at equal distance), its failed
// readings as "—", and the difference of two cursors.
TEST(TrendRules, ReadOutAtACursorBetweenRows) {
    Rows rows;
    rows.channels = 2;
    rows.times = {100, 110, 130};
    rows.values = {1.0, 20.0, 2.5, kNoValue, 4.0, 26.0};
    EXPECT_FALSE(readAt(Rows{}.view(), 5).found);
    struct Case {
        double at;
        size_t row;
    };
    for (const Case& c : {Case{0, 0}, Case{104.9, 0}, Case{105, 0}, Case{105.1, 1}, Case{120, 1},
                          Case{121, 2}, Case{1e9, 2}}) {
        const CursorReading reading = readAt(rows.view(), c.at);
        ASSERT_TRUE(reading.found);
        EXPECT_EQ(reading.row, c.row) << c.at;
        EXPECT_EQ(reading.time, rows.times[c.row]);
    }
    const CursorReading a = readAt(rows.view(), 104);
    const CursorReading b = readAt(rows.view(), 108);
    EXPECT_EQ(readingText(b.values[0]), "2.50");
    EXPECT_EQ(readingText(b.values[1]), "—");
    const CursorDifference d = cursorDifference(a, b);
    EXPECT_EQ(d.seconds, 10.0);
    EXPECT_EQ(d.values[0], 1.5);
    EXPECT_TRUE(isNoValue(d.values[1]));
    EXPECT_EQ(durationText(10), "10秒");
    EXPECT_EQ(durationText(-725), "-12:05");
    EXPECT_EQ(durationText(2 * 86400 + 3 * 3600 + 5), "2天 3:00:05");

    // Auto-range over the visible rows per group, a fixed range for all.
    TrendSummary summary;
    summary.update(rows.view());
    const TrendFrame frame = buildTrendFrame(rows.view(), summary, 105, 140, 7);
    std::vector<GroupRange> groups = groupRanges(frame, {0, 1}, {true, true}, std::nullopt);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_DOUBLE_EQ(groups[0].low, 2.5 - 0.075);
    EXPECT_DOUBLE_EQ(groups[0].high, 4.0 + 0.075);
    EXPECT_EQ(groups[1].channels, std::vector<size_t>{1});
    EXPECT_DOUBLE_EQ(groups[1].low, 26.0 - 1.3);
    groups = groupRanges(frame, {0, 0}, {true, false}, std::make_pair(-5.0, 5.0));
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].channels, std::vector<size_t>{0});
    EXPECT_EQ(groups[0].high, 5.0);

    // Following keeps the newest row at the right edge; panning stops it; zoom while
    // following keeps the right edge.
    TrendViewport view;
    view.showAll(rows.view(), 0);
    EXPECT_EQ(view.firstTime(), 100);
    EXPECT_EQ(view.lastTime(), 131);
    view.zoomTime(0.5, 0.2);
    EXPECT_EQ(view.lastTime(), 131);
    EXPECT_EQ(view.span(), 15.5);
    rows.times.push_back(200);
    rows.values.insert(rows.values.end(), {1, 1});
    view.rowsChanged(rows.view());
    EXPECT_EQ(view.lastTime(), 201);
    view.pan(-1.0);
    EXPECT_FALSE(view.following());
    EXPECT_EQ(view.lastTime(), 201 - 15.5);
    view.zoomTime(0.01, 0.5);
    EXPECT_EQ(view.span(), TrendViewport::kShortestSpan);
}
