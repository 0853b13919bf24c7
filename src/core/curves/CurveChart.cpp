#include "core/curves/CurveChart.h"

#include <algorithm>
#include <cmath>

#include "core/text/ValueText.h"

namespace tervo {

namespace {

// Pixels far beyond the view stay far beyond it without overflowing an int.
int pixel(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::trunc(std::clamp(value, -1.0e6, 1.0e6)));
}

struct Scale {
    double total;
    double low;
    double high;

    int x(double minutes) const {
        return pixel(minutes / total * CurvePlot::kWidth) + CurvePlot::kLeft;
    }
    int y(double value) const {
        return CurvePlot::kBottom - pixel((value - low) / (high - low) * CurvePlot::kHeight);
    }
};

// One piece of the program line, from minute a to minute b.
void addPiece(CurveChart& chart, const Scale& scale, std::pair<double, double> from,
              std::pair<double, double> to, int64_t elapsed, ChartPen notRun) {
    const double seconds = static_cast<double>(elapsed);
    const int xa = scale.x(from.first);
    const int ya = scale.y(from.second);
    const int xb = scale.x(to.first);
    const int yb = scale.y(to.second);
    if (60.0 * to.first <= seconds) {
        chart.program.push_back({xa, ya, xb, yb, ChartPen::Run});
    } else if (60.0 * from.first < seconds) {
        const int xe = scale.x(seconds / 60.0);
        const int ye = xb == xa ? yb : ya + (yb - ya) * (xe - xa) / (xb - xa);
        chart.program.push_back({xa, ya, xe, ye, ChartPen::Run});
        chart.program.push_back({xe, ye, xb, yb, notRun});
    } else {
        chart.program.push_back({xa, ya, xb, yb, notRun});
    }
}

}  // namespace

CurveChart layoutCurveChart(const TrackingCurve& curve, double start, int64_t elapsedSeconds,
                            int selectedSegment) {
    const auto [low, high] = curve.valueRange(start);
    const double total = curve.totalMinutes(start);
    const Scale scale{total > 0 ? total : 1.0, high > low ? low : low - 1.0,
                      high > low ? high : high + 1.0};

    CurveChart chart;
    const int startY = scale.y(start);
    chart.grid.push_back(
        {CurvePlot::kLeft, startY, CurvePlot::kRight, startY, ChartPen::LevelGrid});
    const auto points = curve.points(start);
    for (size_t i = 1; i + 1 < points.size(); i += 2) {
        const auto rampEnd = points[i];
        const auto dwellEnd = points[i + 1];
        const int y = scale.y(rampEnd.second);
        chart.grid.push_back({CurvePlot::kLeft, y, CurvePlot::kRight, y, ChartPen::LevelGrid});
        chart.labels.push_back({20, y, formatDouble("%0.2f", rampEnd.second), ChartPen::LevelGrid});
        for (const auto& [at, labelY] : {std::pair{rampEnd, 530}, std::pair{dwellEnd, 515}}) {
            const int x = scale.x(at.first);
            chart.grid.push_back({x, CurvePlot::kTop, x, CurvePlot::kBottom, ChartPen::TimeGrid});
            chart.labels.push_back(
                {x - 10, labelY, formatDouble("%0.1f", at.first), ChartPen::TimeGrid});
        }
        const ChartPen notRun = static_cast<int>(i / 2) == selectedSegment
                                    ? ChartPen::NotRunSelected
                                    : ChartPen::NotRun;
        addPiece(chart, scale, points[i - 1], rampEnd, elapsedSeconds, notRun);
        addPiece(chart, scale, rampEnd, dwellEnd, elapsedSeconds, notRun);
    }
    return chart;
}

}  // namespace tervo
