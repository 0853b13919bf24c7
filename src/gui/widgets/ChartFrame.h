#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "core/Clock.h"
#include "core/chart/ChartGeometry.h"
#include "core/work/LiveViewRules.h"
#include "core/work/WorkDefinition.h"

class QImage;
class QPainter;

namespace tervo::gui {

// ---- what the charts, their pages and their dialogs share ----

// A COLORREF (0x00BBGGRR) as a colour.
QColor colourOf(uint32_t colourRef);
// The pen width a style entry draws with: 0, 1 or 2; anything else draws as 0.
int penWidthOf(int32_t width);
QString gbkText(const std::string& gbk);
// Text with its top-left corner at (x, y), as the charts and their pages place their texts.
void textAt(QPainter& painter, int x, int y, const QString& text);
// The local time of calendar `seconds` on `clock`; the system's without one.
std::tm localTimeOn(Clock* clock, int64_t seconds);
// Where a time label written from `left` in the painter's font starts: moved left as far as it
// would run past the chart's right edge (a relative time of 100 hours or more is wider).
int leftWithinChart(const QPainter& painter, int left, const QString& label);

// ---- the frame of the live and the history pictures ----

// A label of the time grid or of a spoke: the time `seconds` back with relative time labels,
// else the clock time of calendar second `at`.
QString gridLabel(const DisplayOptions& options, Clock* clock, int64_t seconds, int64_t at);
// The time grid's labels, one under each of its six lines from x = 0.
using GridLabels = std::array<QString, kGridDivisions + 1>;

// How a picture writes its legend: the font of the names and how far below an entry's top
// they stand.
struct LegendLook {
    QFont font;
    int textDrop = 0;
};

// The grid, rulers and legend a picture draws its curves over, in the work's colours and by the
// display options. Each picture calls the parts it has, in its own order: what lies over what
// is part of its picture.
class ChartFrame {
public:
    ChartFrame(QPainter& painter, const WorkDefinition& work, const DisplayOptions& options)
        : m_p(painter), m_work(work), m_options(options) {}

    // A line every 190 columns from x = 0 (and dotted ones between with the minor grid), then
    // under line k its label, from the left edge for the first; a relative time kept within the
    // picture. Leaves the grid labels' font set.
    void timeGrid(const GridLabels& labels);
    // A line every 104 rows from the bottom (and dotted ones between with the minor grid), then
    // the value of each level of lo..hi at its left end.
    void valueGrid(double lo, double hi);
    void timeRuler(int x);
    void valueRuler(int y);

    // The polar pictures: spoke k's label; ring j (radius 52 j) around the centre; its label.
    void spokeLabel(int spoke, const QString& label);
    void ring(int ring);
    void ringLabel(int ring, double lo, double hi);

    // Channel c's legend entry: its visibility box, "Err" when its last reading failed, its
    // colour box and its name.
    void legendEntry(size_t channel, bool visible, bool failed, const LegendLook& look);

private:
    QPainter& m_p;
    const WorkDefinition& m_work;
    DisplayOptions m_options;
};

// ---- the printed page, in 1/600 inch ----

void paintPageTitle(QPainter& painter, int top);
// The picture stretched over the page's picture area.
void paintPagePicture(QPainter& painter, const QImage& picture);
// A channel's colour box at the page's left.
void paintPageSwatch(QPainter& painter, int top, uint32_t colour);

}  // namespace tervo::gui
