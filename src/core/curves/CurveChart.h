#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/curves/TrackingCurve.h"

namespace tervo {

// The plot area of the curve view, in view pixels: (15, 10)-(975, 510).
struct CurvePlot {
    static constexpr int kLeft = 15;
    static constexpr int kTop = 10;
    static constexpr int kRight = 975;
    static constexpr int kBottom = 510;
    static constexpr int kWidth = kRight - kLeft;   // 960
    static constexpr int kHeight = kBottom - kTop;  // 500
};

enum class ChartPen {
    LevelGrid,       // RGB(150, 255, 150), 1 pixel
    TimeGrid,        // RGB(150, 150, 255), 1 pixel
    Run,             // RGB(255, 0, 0), 2 pixels: the part already run
    NotRun,          // RGB(0, 0, 255), 1 pixel
    NotRunSelected,  // RGB(0, 255, 0), 2 pixels: the selected segment, not run yet
};

struct ChartLine {
    int x1, y1, x2, y2;
    ChartPen pen;
    bool operator==(const ChartLine&) const = default;
};

// A text whose top-left corner lies at (x, y), in the colour of `pen`.
struct ChartText {
    int x, y;
    std::string text;
    ChartPen pen;
};

// What the curve view draws for a program: the grid with its labels, then the program line
// piece by piece (the ramp and the dwell of each segment), split where the elapsed time lies.
struct CurveChart {
    std::vector<ChartLine> grid;
    std::vector<ChartText> labels;
    std::vector<ChartLine> program;
};

// The scales: minute m at x = trunc(m / total * 960) + 15, value v at
// y = 510 - trunc((v - min) / (max - min) * 500). A program of no duration is drawn on a
// one-minute scale, and values that do not differ are centred on a range of two degrees.
CurveChart layoutCurveChart(const TrackingCurve& curve, double start, int64_t elapsedSeconds,
                            int selectedSegment);

}  // namespace tervo
