#pragma once

#include <QImage>
#include <array>
#include <cstdint>

#include "core/Clock.h"
#include "core/work/LiveViewRules.h"
#include "core/work/WorkFiles.h"
#include "gui/widgets/ChartFrame.h"

class QPainter;

namespace tervo::gui {

// Everything one picture of the live work chart shows: the work, its rows and occurrences,
// the display state and the cursors. The screen, the printer and the tests draw from it.
struct WorkChartInput {
    const WorkDefinition* work = nullptr;
    const int32_t* times = nullptr;
    const double* values = nullptr;  // rows x channels, row after row
    size_t rows = 0;
    size_t channels = 0;  // values per row
    const EventOccurrence* occurrences = nullptr;
    size_t occurrenceCount = 0;
    DisplayMode mode = DisplayMode::Curves;
    int zoom = 1;
    int64_t scroll = 0;
    DisplayOptions options;
    std::array<bool, kMaxChannels> visible{};
    int timeCursor = 300;               // the horizontal slider
    int valueCursor = kChartLastY / 2;  // the vertical slider
    int64_t now = 0;                    // calendar seconds, for clock-time labels
    Clock* clock = nullptr;
    bool printing = false;  // no legend
};

// Draws the chart of the input's display mode on a 951 x 521 surface at (0, 0).
void paintWorkChart(QPainter& painter, const WorkChartInput& input);
// The one-page report in units of 1/600 inch on a device of `dotsPerInch`: the title, the
// chart of the input's mode stretched to 4500 x 2463 at (120, 600), and a colour box and the
// name of each channel below it.
void paintWorkReport(QPainter& painter, const WorkChartInput& input, int dotsPerInch);
// The chart as the view copies it: a 951 x 521 image.
QImage renderWorkChart(const WorkChartInput& input);

}  // namespace tervo::gui
