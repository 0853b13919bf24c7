#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

#include "Clock.h"
#include "work/LiveViewRules.h"
#include "work/WorkFiles.h"

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
    int timeCursor = 300;   // the horizontal slider
    int valueCursor = 260;  // the vertical slider
    int64_t now = 0;        // calendar seconds, for clock-time labels
    Clock* clock = nullptr;
    bool printing = false;  // no legend
};

// A COLORREF (0x00BBGGRR) as a colour.
QColor colourOf(uint32_t colourRef);
// The pen width a style entry draws with: 0, 1 or 2; anything else draws as 0.
int penWidthOf(int32_t width);
QString gbkText(const std::string& gbk);
// Where a time label written from `left` in the painter's font starts: moved left as far as it
// would run past the chart's right edge (a relative time of 100 hours or more is wider).
int leftWithinChart(const QPainter& painter, int left, const QString& label);

// Draws the chart of the input's display mode on a 951 x 521 surface at (0, 0).
void paintWorkChart(QPainter& painter, const WorkChartInput& input);
// The one-page report in units of 1/600 inch on a device of `dotsPerInch`: the title, the
// chart of the input's mode stretched to 4500 x 2463 at (120, 600), and a colour box and the
// name of each channel below it.
void paintWorkReport(QPainter& painter, const WorkChartInput& input, int dotsPerInch);
// The chart as the view copies it: a 951 x 521 image.
QImage renderWorkChart(const WorkChartInput& input);

}  // namespace tervo::gui
