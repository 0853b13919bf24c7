#pragma once

#include <QImage>
#include <array>
#include <cstdint>

#include "core/Clock.h"
#include "core/history/HistoryChart.h"
#include "core/history/HistoryRules.h"
#include "core/history/HistoryViewRules.h"
#include "core/work/LiveViewRules.h"

class QPainter;

namespace tervo::gui {

// Everything one picture of the history view shows. The screen, the printer and the tests
// draw from it. `options.axisOption` is the standard-coordinates flag.
struct HistoryPictureInput {
    const Recording* history = nullptr;
    HistoryMode mode = HistoryMode::Curve;
    DataRange dataRange;
    DisplayOptions options;
    std::array<bool, kMaxChannels> visible{};
    int zoom = 1;
    int64_t offset = 0;
    int ruler = 300;
    bool fullScreen = false;
    bool printing = false;  // no legend
    int64_t now = 0;        // calendar seconds, for the period chart's clock labels
    Clock* clock = nullptr;
};

// The range the heights divide: the standard range with standard coordinates, else the data
// range.
double pictureLow(const HistoryPictureInput& input);
double pictureHigh(const HistoryPictureInput& input);

// Draws the picture of the input's mode (curve, period chart, period curve or channel
// information) on a 951 x 521 surface at (0, 0). The list modes draw nothing.
void paintHistoryPicture(QPainter& painter, const HistoryPictureInput& input);
QImage renderHistoryPicture(const HistoryPictureInput& input);

// True when two inputs of the same history draw the same picture: what the mode reads is the
// same (the ruler only in the curve, the clock only in the period chart's clock labels, zoom
// and offset not in the period chart). The history's own content is not compared.
bool drawsTheSame(const HistoryPictureInput& a, const HistoryPictureInput& b);

}  // namespace tervo::gui
