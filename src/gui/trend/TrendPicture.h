#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <optional>
#include <vector>

#include "core/trend/TrendRules.h"
#include "core/trend/TrendSummary.h"
#include "core/work/WorkFileLayout.h"

class QPainter;

namespace tervo {
class Clock;
}

namespace tervo::gui {

// What a trend picture is drawn from. The screen, the exported images and the printer all
// draw it with TrendPicture::paint.
struct TrendPictureInput {
    TrendRows rows;
    const TrendSummary* summary = nullptr;
    const WorkDefinition* definition = nullptr;
    size_t channels = 0;        // the channels named (rows and definition both have them)
    std::vector<bool> visible;  // per channel
    const EventOccurrence* occurrences = nullptr;
    size_t occurrenceCount = 0;
    double firstTime = 0.0;
    double lastTime = 60.0;
    std::optional<std::pair<double, double>> fixedRange;
    bool groupedAxes = false;  // one value axis per parameter, else one for all
    std::optional<double> cursors[2];
    QRect box;  // the box being dragged, in picture coordinates; empty when none
    Clock* clock = nullptr;
};

// What was drawn, for the window to map the mouse back: the plot area and each value axis.
struct TrendDrawn {
    QRect plot;
    std::vector<GroupRange> groups;
};

class TrendPicture : public QObject {
    Q_OBJECT
public:
    static constexpr int kAxisWidth = 58;
    static constexpr int kLegendWidth = 230;
    static constexpr int kBottom = 40;
    static constexpr int kTop = 10;

    // The groups of the channels: one per parameter code when grouped, else one.
    static std::vector<int> groupsOf(const WorkDefinition& definition, size_t channels,
                                     bool grouped);
    // The plot area of a picture of `size` with `axes` value axes.
    static QRect plotRect(QSize size, int axes);
    static TrendDrawn paint(QPainter& painter, QSize size, const TrendPictureInput& in);
};

}  // namespace tervo::gui
