#pragma once

#include <algorithm>
#include <array>

// The chart picture the live and the history view draw, and the printed page it goes on.
// Picture coordinates are pixels from the picture's top-left corner: x = 0 is the newest data
// of a curve, y = 0 the top of the value axis.
namespace tervo {

// ---- the picture ----

inline constexpr int kChartWidth = 951;
inline constexpr int kChartHeight = 521;
inline constexpr int kChartLastX = kChartWidth - 1;   // 950: a curve's oldest column
inline constexpr int kChartLastY = kChartHeight - 1;  // 520: the bottom row; a value's full height
inline constexpr int kChartLeft = 30;                 // where the views copy the picture to
inline constexpr int kChartTop = 19;

// ---- the grid: five divisions each way, four dotted lines within each ----

inline constexpr int kGridDivisions = 5;
inline constexpr int kGridMinorLines = 4;
inline constexpr int kTimeGridStep = 190;  // columns per division
inline constexpr int kTimeMinorStep = 38;
inline constexpr int kValueGridStep = 104;  // rows per division
inline constexpr int kValueMinorStep = 21;
// An arrow click scrolls one division's worth of rows: 190 in the live view, 190 times the zoom
// in the history view.
inline constexpr int kScrollStep = kTimeGridStep;

// The grid labels: the time labels' top; the first time label's left and every value label's;
// how far left of its line any other clock or relative time label starts; the top value label's
// top, and how far above its line every other value label starts.
inline constexpr int kTimeLabelTop = 420;
inline constexpr int kLabelMargin = 2;
inline constexpr int kClockLabelBack = 65;
inline constexpr int kRelativeLabelBack = 50;
inline constexpr int kValueLabelRise = 14;

// The label below the picture that follows the time slider (the history's ruler): at the
// slider's position held within 90..920, less 6.
inline constexpr int cursorLabelX(int sliderPosition) {
    return std::clamp(sliderPosition, 90, 920) - 6;
}

// ---- the polar pictures: the live ring and the history's period chart ----

// A height h lies h / 2 from the centre, so the outer ring is the top of the value axis.
inline constexpr int kPolarCentreX = 475;
inline constexpr int kPolarCentreY = 260;
inline constexpr int kPolarRadius = kChartLastY / 2;             // 260
inline constexpr int kRingStep = kPolarRadius / kGridDivisions;  // 52
// The value label of ring j (level 5 - j) on the centre's row, where ring 5 - j crosses it.
inline constexpr int ringLabelX(int ring) {
    return kPolarCentreX + kPolarRadius - kRingStep * ring;
}
// The time labels of the five spokes, clockwise from the one pointing right.
struct ChartPixel {
    int x;
    int y;
};
inline constexpr std::array<ChartPixel, kGridDivisions> kSpokeLabels = {
    {{745, 240}, {575, 500}, {215, 410}, {215, 100}, {575, 0}}};

// ---- the legend: one entry per channel down the right edge ----

inline constexpr int kLegendTop = 20;  // entry 0's top
inline constexpr int kLegendStep = 30;
inline constexpr int kLegendBoxLeft = 787;  // the visibility check box
inline constexpr int kLegendBoxDrop = 8;
inline constexpr int kLegendBoxSide = 12;
inline constexpr int kLegendSwatchLeft = 800;  // the colour box
inline constexpr int kLegendSwatchWidth = 50;
inline constexpr int kLegendSwatchHeight = 20;
inline constexpr int kLegendNameLeft = 860;
inline constexpr int kLegendFailedLeft = 760;  // the live legend's "Err" of a failed channel
inline constexpr int kLegendTextDrop = 5;      // the live legend's texts below the entry's top
inline constexpr int legendTop(int entry) {
    return kLegendTop + kLegendStep * entry;
}

// ---- the printed page, in 1/600 inch ----

inline constexpr int kPageLeft = 120;
inline constexpr int kPageTitleLeft = 1980;
inline constexpr int kPagePictureTop = 600;
inline constexpr int kPagePictureWidth = 4500;
inline constexpr int kPagePictureHeight = 2463;
inline constexpr int kPageBlockTop = 3263;  // the channels' block below the picture
inline constexpr int kPageRowStep = 80;
inline constexpr int kPageSwatchWidth = 150;
inline constexpr int kPageSwatchHeight = 50;

}  // namespace tervo
