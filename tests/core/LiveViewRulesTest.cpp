#include <gtest/gtest.h>

#include <cmath>

#include "core/work/LiveViewRules.h"
#include "support/InstantBus.h"

using namespace tervo;

namespace {

constexpr int64_t k20040304_153000 = 1078414200;  // UTC

class UtcClock : public tervo::testing::FakeClock {
public:
    std::tm localTime(int64_t seconds) override {
        const time_t t = static_cast<time_t>(seconds);
        std::tm out{};
        gmtime_r(&t, &out);
        return out;
    }
};

}  // namespace

TEST(LiveViewRules, ValueToHeight) {
    EXPECT_EQ(valueHeight(0.0, 0.0, 100.0), 0);
    EXPECT_EQ(valueHeight(100.0, 0.0, 100.0), 520);
    EXPECT_EQ(valueHeight(50.0, 0.0, 100.0), 260);
    EXPECT_EQ(valueHeight(33.3, 0.0, 100.0), 173);   // 173.16 truncated
    EXPECT_EQ(valueHeight(250.0, 0.0, 100.0), 520);  // above the maximum: the top edge
    EXPECT_EQ(valueHeight(-5.0, 0.0, 100.0), 0);
    EXPECT_EQ(valueHeight(-10.0, -20.0, 0.0), 260);
    // No span to divide by: above the single level at the top, else at the bottom.
    EXPECT_EQ(valueHeight(50.0, 50.0, 50.0), 0);
    EXPECT_EQ(valueHeight(51.0, 50.0, 50.0), 520);
    EXPECT_EQ(valueHeight(49.0, 50.0, 50.0), 0);
    EXPECT_EQ(valueHeight(30.0, 100.0, 0.0), 0);
    EXPECT_EQ(valueHeight(std::nan(""), 0.0, 100.0), 0);
}

TEST(LiveViewRules, CurveRowsFollowZoomAndScroll) {
    // 200 rows at zoom 1: the newest twice at the left edge, the curve ends at x = 199.
    std::vector<int64_t> rows = curveRows(200, 1, 0);
    ASSERT_EQ(rows.size(), 200u);
    EXPECT_EQ(rows[0], 199);
    EXPECT_EQ(rows[1], 199);
    EXPECT_EQ(rows[2], 198);
    EXPECT_EQ(rows[199], 1);
    // Zoom 2: two rows per pixel, up to x = 100.
    rows = curveRows(200, 2, 0);
    ASSERT_EQ(rows.size(), 101u);
    EXPECT_EQ(rows[0], 199);
    EXPECT_EQ(rows[2], 197);
    EXPECT_EQ(rows[100], 1);
    // Zoom 3 rounds the shown rows down to a multiple of the zoom.
    EXPECT_EQ(curveRows(200, 3, 0)[0], 197);
    // Scrolled back 190 rows.
    rows = curveRows(200, 1, 190);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], 9);
    EXPECT_TRUE(curveRows(200, 1, 200).empty());
    EXPECT_TRUE(curveRows(200, 1, 380).empty());
    EXPECT_TRUE(curveRows(0, 1, 0).empty());
    // Never beyond x = 950.
    EXPECT_EQ(curveRows(5000, 1, 0).size(), 951u);
    EXPECT_EQ(curveRows(5000, 1, 0)[950], 4999 - 949);
}

TEST(LiveViewRules, RingAndPeriodGeometry) {
    // One turn of the ring: a period of 360 shows the newest 361 rows.
    std::vector<RingStep> steps = ringSteps(1000, 360);
    ASSERT_EQ(steps.size(), 362u);  // the newest twice at angle 0
    EXPECT_EQ(steps[0].row, 999);
    EXPECT_EQ(steps[1].row, 999);
    EXPECT_EQ(steps[2].row, 998);
    EXPECT_DOUBLE_EQ(steps[2].angleDegrees, 1.0);
    EXPECT_EQ(steps.back().row, 999 - 360);
    EXPECT_DOUBLE_EQ(steps.back().angleDegrees, 360.0);
    EXPECT_EQ(ringSteps(1000, 50).back().row, 999 - 50);
    EXPECT_EQ(ringSteps(10, 360).back().row, 0);
    // A period of 0 draws the newest row alone.
    ASSERT_EQ(ringSteps(10, 0).size(), 1u);
    EXPECT_TRUE(ringSteps(0, 360).empty());
    const ChartPoint right = ringPoint(0.0, 260.0);
    EXPECT_DOUBLE_EQ(right.x, 735.0);
    EXPECT_DOUBLE_EQ(right.y, 260.0);
    const ChartPoint down = ringPoint(90.0, 100.0);  // clockwise on the screen
    EXPECT_NEAR(down.x, 475.0, 1e-9);
    EXPECT_NEAR(down.y, 360.0, 1e-9);

    // The period chart: x = 0..period for the current period, then the one before it.
    PeriodRows period = periodRows(1000, 1, 0, 360);
    ASSERT_EQ(period.current.size(), 361u);
    EXPECT_EQ(period.current[0], 999);
    EXPECT_EQ(period.current[360], 999 - 359);
    ASSERT_EQ(period.previous.size(), 361u);
    EXPECT_EQ(period.previous[0], 999 - 360);
    EXPECT_EQ(period.previous[1], 999 - 360);
    EXPECT_EQ(period.previous[2], 999 - 361);
    // Too few rows for a whole period: no previous period.
    EXPECT_EQ(periodRows(100, 1, 0, 360).current.size(), 100u);
    EXPECT_TRUE(periodRows(100, 1, 0, 360).previous.empty());
    // A period of 0 and one wider than the chart.
    EXPECT_EQ(periodRows(100, 1, 0, 0).current.size(), 1u);
    EXPECT_TRUE(periodRows(100, 1, 0, 0).previous.empty());
    EXPECT_EQ(periodRows(5000, 1, 0, 2000).current.size(), 951u);
    // A period wider than the chart: the period before starts 2000 rows back, not where the
    // chart's edge cut the current one off.
    period = periodRows(5000, 1, 0, 2000);
    ASSERT_EQ(period.previous.size(), 951u);
    EXPECT_EQ(period.previous[0], 4999 - 2000);
    EXPECT_EQ(period.previous[950], 4999 - 2000 - 949);
    EXPECT_EQ(periodRows(5000, 2, 0, 2000).previous[2], 4999 - 4000 - 2);
    EXPECT_TRUE(periodRows(1999, 1, 0, 2000).previous.empty());
}

TEST(LiveViewRules, FailedValuesRepeatThePreviousHeight) {
    const double values[] = {10.0, kNoValue, 50.0, kNoValue, kNoValue, 20.0};
    // Two channels, three rows; channel 1 fails in rows 0 and 2.
    std::vector<int> heights = curveHeights({2, 2, 1, 0}, values, 2, 1, 0.0, 100.0);
    EXPECT_EQ(heights, (std::vector<int>{104, 104, 104, 104}));
    heights = curveHeights({2, 1, 0}, values, 2, 0, 0.0, 100.0);
    EXPECT_EQ(heights, (std::vector<int>{0, 260, 52}));  // the first point failed: height 0
}

TEST(LiveViewRules, Texts) {
    EXPECT_EQ(relativeLabelText(0), "0000:00:00");
    EXPECT_EQ(relativeLabelText(3 * 3600 + 25 * 60 + 7), "0003:25:07");
    EXPECT_EQ(relativeLabelText(1234 * 3600 + 59), "1234:00:59");
    EXPECT_EQ(relativeLabelText(-5), "-000:00:05");
    EXPECT_EQ(relativeLabelText(-(12 * 3600 + 61)), "-012:01:01");
    EXPECT_EQ(relativeLabelText(-5).size(), 10u);
    EXPECT_EQ(gridRelativeText(950 * 5), "01:19:10");
    // The whole hour count, two digits at least.
    EXPECT_EQ(gridRelativeText(61 * 3600 + 1), "61:00:01");
    EXPECT_EQ(gridRelativeText(1'000'000), "277:46:40");
    UtcClock clock;
    EXPECT_EQ(clockLabelText(clock.localTime(k20040304_153000)), " 15:30:00 ");
    EXPECT_EQ(gridClockText(clock.localTime(k20040304_153000)), "03/04 15:30");
    EXPECT_EQ(valueLabelText(0.0, 100.0, 5), "100");
    EXPECT_EQ(valueLabelText(0.0, 100.0, 1), "20");
    EXPECT_EQ(valueLabelText(-10.0, 15.0, 1), "-5");
    EXPECT_EQ(valueLabelText(0.0, 1.0, 3), "0");
    EXPECT_EQ(valueLabelText(-40.9, 11.0, 5), "11");  // the maximum itself, not lo + span / 5 x 5
    EXPECT_EQ(valueCellText(kNoValue), "ERR_VAL");
    EXPECT_EQ(valueCellText(37.5), "37.50     ");
}

TEST(LiveViewRules, TimeLabelsInBothTimeModes) {
    UtcClock clock;
    LiveViewRules rules;
    WorkTiming timing;  // 5 s
    // Relative: elapsed 100 s, the cursor at 300: 100 - 300 x 5 = -1400 s.
    TimeLabels labels = rules.timeLabels(timing, 100, k20040304_153000, 300, clock);
    EXPECT_EQ(labels.left, "0000:01:40");
    EXPECT_EQ(labels.right, "-000:23:20");
    rules.zoomOut();  // zoom 2
    rules.pressArrow(1);
    rules.releaseArrow();  // scroll 190
    labels = rules.timeLabels(timing, 10000, k20040304_153000, 10, clock);
    EXPECT_EQ(labels.left, "0002:30:50");  // 10000 - 950
    EXPECT_EQ(labels.right, relativeLabelText(10000 - (10 * 2 + 190) * 5));
    // Clock time.
    DisplayOptions options;
    options.relativeTime = false;
    rules.setOptions(options);
    labels = rules.timeLabels(timing, 10000, k20040304_153000, 10, clock);
    EXPECT_EQ(labels.left, " 15:14:10 ");   // 950 s earlier
    EXPECT_EQ(labels.right, " 15:12:30 ");  // and 100 s more
    EXPECT_EQ(cursorLabelX(300), 294);
    EXPECT_EQ(cursorLabelX(10), 84);
    EXPECT_EQ(cursorLabelX(950), 914);
}

TEST(LiveViewRules, ZoomScrollAndModes) {
    LiveViewRules rules;
    EXPECT_FALSE(rules.zoomIn());
    EXPECT_EQ(rules.zoom(), 1);
    rules.zoomOut();
    rules.zoomOut();
    EXPECT_EQ(rules.zoom(), 3);
    EXPECT_TRUE(rules.zoomIn());
    EXPECT_EQ(rules.zoom(), 2);
    EXPECT_FALSE(rules.releaseArrow());  // nothing held
    rules.pressArrow(2);
    EXPECT_TRUE(rules.releaseArrow());
    EXPECT_EQ(rules.scroll(), 0);  // never below the newest
    rules.pressArrow(1);
    rules.releaseArrow();
    rules.pressArrow(1);
    rules.releaseArrow();
    EXPECT_EQ(rules.scroll(), 380);
    EXPECT_EQ(rules.arrow(), 0);
    rules.pressArrow(2);
    rules.releaseArrow();
    EXPECT_EQ(rules.scroll(), 190);
    EXPECT_TRUE(rules.setMode(DisplayMode::Period));
    EXPECT_EQ(rules.scroll(), 0);
    rules.pressArrow(1);
    rules.releaseArrow();
    EXPECT_EQ(rules.scroll(), 190);  // the period chart scrolls too
    EXPECT_FALSE(rules.setMode(DisplayMode::Period));
    EXPECT_EQ(rules.scroll(), 0);  // chosen again: back to the newest rows
    rules.pressArrow(1);
    rules.releaseArrow();
    EXPECT_TRUE(rules.setMode(DisplayMode::Curves));
    EXPECT_EQ(rules.scroll(), 190);
    EXPECT_TRUE(rules.setMode(DisplayMode::Ring));
    EXPECT_EQ(rules.scroll(), 0);
    EXPECT_TRUE(rules.visible(19));
    rules.toggleVisible(3);
    EXPECT_FALSE(rules.visible(3));
    EXPECT_FALSE(rules.visible(20));
}

TEST(LiveViewRules, LegendHitTests) {
    // The visible box of channel i: chart (787, 28 + 30i), the view 30 right and 19 down.
    EXPECT_EQ(legendBoxAt(817, 47, 3).channel, 0);
    EXPECT_EQ(legendBoxAt(829, 59, 3).channel, 0);
    EXPECT_FALSE(legendBoxAt(816, 47, 3).hit);
    EXPECT_FALSE(legendBoxAt(830, 47, 3).hit);
    EXPECT_FALSE(legendBoxAt(820, 46, 3).hit);  // (y - 39) mod 30 = 7
    EXPECT_FALSE(legendBoxAt(820, 60, 3).hit);  // 21
    EXPECT_EQ(legendBoxAt(820, 39 + 60 + 8, 3).channel, 2);
    EXPECT_FALSE(legendBoxAt(820, 39 + 90 + 8, 3).hit);  // below the last channel
    EXPECT_FALSE(legendBoxAt(820, 20, 3).hit);
    // The colour box: 830..880, rows 0..20 of each entry.
    EXPECT_EQ(legendColourAt(830, 39, 2).channel, 0);
    EXPECT_EQ(legendColourAt(880, 39 + 30 + 20, 2).channel, 1);
    EXPECT_FALSE(legendColourAt(881, 39, 2).hit);
    EXPECT_FALSE(legendColourAt(829, 39, 2).hit);
    EXPECT_FALSE(legendColourAt(850, 39 + 21, 2).hit);
    EXPECT_FALSE(legendColourAt(850, 30, 2).hit);  // above the first entry
    EXPECT_FALSE(legendColourAt(850, 39 + 60, 2).hit);
    EXPECT_TRUE(inChartArea(30, 19));
    EXPECT_TRUE(inChartArea(980, 539));
    EXPECT_FALSE(inChartArea(29, 100));
    EXPECT_FALSE(inChartArea(500, 18));
    EXPECT_FALSE(inChartArea(500, 540));
}
