#include "gui/work/WorkChart.h"

#include <QPainter>
#include <algorithm>

#include "core/text/TimeText.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

const ChannelStyle& styleOf(const WorkChartInput& in, size_t channel) {
    return in.work->styles[channel];
}

size_t channelCount(const WorkChartInput& in) {
    return std::min(in.work->channels.size(), size_t(kMaxChannels));
}

QPen channelPen(const WorkChartInput& in, size_t channel, bool complement) {
    const ChannelStyle& style = styleOf(in, channel);
    const uint32_t colour = complement ? 0xFFFFFFu - style.colour : style.colour;
    return QPen(colourOf(colour & 0xFFFFFF), penWidthOf(style.penWidth));
}

double valueAt(const WorkChartInput& in, int64_t row, size_t channel) {
    return in.values[static_cast<size_t>(row) * in.channels + channel];
}

// Channel i's legend entry; the charts draw each channel's entry just before its curve, so a
// later channel's curve lies over an earlier entry and under a later one.
void drawLegendEntry(ChartFrame& frame, const WorkChartInput& in, size_t i) {
    if (!in.options.legend || in.printing) {
        return;
    }
    const bool failed = in.rows > 0 && isNoValue(valueAt(in, static_cast<int64_t>(in.rows) - 1, i));
    frame.legendEntry(i, in.visible[i], failed, LegendLook{songFont(15, 7), kLegendTextDrop});
}

// The time grid's labels: line k stands (190 k x zoom + scroll) sampling periods back.
GridLabels timeLabels(const WorkChartInput& in) {
    const int64_t period = in.work->timing.samplingPeriod;
    GridLabels labels;
    for (int k = 0; k <= kGridDivisions; ++k) {
        const int64_t back =
            (static_cast<int64_t>(kTimeGridStep) * k * in.zoom + in.scroll) * period;
        labels[static_cast<size_t>(k)] = gridLabel(in.options, in.clock, back, in.now - back);
    }
    return labels;
}

ChartFrame drawCartesianFrame(QPainter& p, const WorkChartInput& in) {
    ChartFrame frame(p, *in.work, in.options);
    if (in.options.timeGrid) {
        frame.timeGrid(timeLabels(in));
    }
    if (in.options.timeCursor) {
        frame.timeRuler(in.timeCursor);
    }
    if (in.options.valueGrid) {
        frame.valueGrid(in.work->valueMin, in.work->valueMax);
    }
    if (in.options.valueCursor) {
        frame.valueRuler(in.valueCursor);
    }
    return frame;
}

// A curve through one height per pixel from x = 0.
void drawPolyline(QPainter& p, const std::vector<int>& heights) {
    if (heights.empty()) {
        return;
    }
    QPolygon line;
    for (size_t x = 0; x < heights.size(); ++x) {
        line << QPoint(static_cast<int>(x), kChartLastY - heights[x]);
    }
    if (line.size() == 1) {
        p.drawPoint(line[0]);
    } else {
        p.drawPolyline(line);
    }
}

std::vector<int> heightsOf(const WorkChartInput& in, const std::vector<int64_t>& rows,
                           size_t channel) {
    return curveHeights(rows, in.values, in.channels, channel, in.work->valueMin,
                        in.work->valueMax);
}

void paintCurves(QPainter& p, const WorkChartInput& in) {
    ChartFrame frame = drawCartesianFrame(p, in);
    const std::vector<int64_t> rows = curveRows(in.rows, in.zoom, in.scroll);
    for (size_t i = 0; i < channelCount(in); ++i) {
        drawLegendEntry(frame, in, i);
        if (in.visible[i]) {
            p.setPen(channelPen(in, i, false));
            drawPolyline(p, heightsOf(in, rows, i));
        }
    }
}

void paintPeriod(QPainter& p, const WorkChartInput& in) {
    ChartFrame frame = drawCartesianFrame(p, in);
    const int period = in.work->timing.displayPeriod;
    if (in.options.timeGrid && period >= 0 && period <= kChartLastX) {
        p.setPen(QPen(colourOf(in.work->timeAxisColour), 0));
        p.drawLine(period, 0, period, kChartLastY);
    }
    const PeriodRows rows = periodRows(in.rows, in.zoom, in.scroll, period);
    for (size_t i = 0; i < channelCount(in); ++i) {
        drawLegendEntry(frame, in, i);
        if (in.visible[i]) {
            p.setPen(channelPen(in, i, false));
            drawPolyline(p, heightsOf(in, rows.current, i));
            p.setPen(channelPen(in, i, true));
            drawPolyline(p, heightsOf(in, rows.previous, i));
        }
    }
}

void paintRing(QPainter& p, const WorkChartInput& in) {
    const WorkDefinition& w = *in.work;
    ChartFrame frame(p, w, in.options);
    const QPointF centre(kPolarCentreX, kPolarCentreY);
    const int64_t span = static_cast<int64_t>(w.timing.samplingPeriod) * w.timing.displayPeriod;
    if (in.options.timeGrid) {
        p.setPen(QPen(colourOf(w.timeAxisColour), 0));
        for (int k = 0; k < kGridDivisions; ++k) {
            const ChartPoint end = ringPoint(360.0 / kGridDivisions * k, kPolarRadius);
            p.drawLine(centre, QPointF(end.x, end.y));
        }
        for (int k = 0; k < kGridDivisions; ++k) {
            const int64_t back = k * span / kGridDivisions;
            frame.spokeLabel(k, gridLabel(in.options, in.clock, back, in.now - back));
        }
    }
    if (in.options.timeCursor) {
        p.setPen(QPen(colourOf(w.timeRulerColour), 0));
        const ChartPoint end = ringPoint(in.timeCursor * 360.0 / kChartLastX, kPolarRadius);
        p.drawLine(centre, QPointF(end.x, end.y));
    }
    if (in.options.valueGrid) {
        for (int j = 0; j <= kGridDivisions; ++j) {
            frame.ring(j);
        }
        for (int j = 0; j <= kGridDivisions; ++j) {
            frame.ringLabel(j, w.valueMin, w.valueMax);
        }
    }
    if (in.options.valueCursor) {
        p.setPen(QPen(colourOf(w.valueRulerColour), 0));
        p.setBrush(Qt::NoBrush);
        const double r = (kChartLastY - in.valueCursor) / 2.0;
        p.drawEllipse(centre, r, r);
    }
    const std::vector<RingStep> steps = ringSteps(in.rows, w.timing.displayPeriod);
    std::vector<int64_t> rows;
    for (const RingStep& step : steps) {
        rows.push_back(step.row);
    }
    for (size_t i = 0; i < channelCount(in); ++i) {
        drawLegendEntry(frame, in, i);
        if (!in.visible[i]) {
            continue;
        }
        const std::vector<int> heights = heightsOf(in, rows, i);
        QPolygonF line;
        for (size_t k = 0; k < steps.size(); ++k) {
            const ChartPoint point = ringPoint(steps[k].angleDegrees, heights[k] / 2.0);
            line << QPointF(point.x, point.y);
        }
        p.setPen(channelPen(in, i, false));
        if (line.size() == 1) {
            p.drawPoint(line[0]);
        } else {
            p.drawPolyline(line);
        }
    }
}

void paintList(QPainter& p, const WorkChartInput& in) {
    const WorkDefinition& w = *in.work;
    p.setFont(songFont(15, 7));
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(colourOf(w.backgroundColour));
    p.setPen(colourOf(w.timeRulerColour));
    textAt(p, 30, 10, trc("WorkChart", "时间"));
    for (size_t i = 0; i < channelCount(in); ++i) {
        p.setPen(colourOf(styleOf(in, i).colour));
        textAt(p, 230 + 70 * static_cast<int>(i), 10, gbkText(w.channels[i].nameGbk()));
    }
    const size_t shown = std::min<size_t>(in.rows, 24);
    for (size_t k = 0; k < shown; ++k) {
        const size_t row = in.rows - 1 - k;
        const int y = 30 + 20 * static_cast<int>(k);
        p.setPen(colourOf(w.timeRulerColour));
        textAt(p, 30, y, text(timeStampText(localTimeOn(in.clock, in.times[row]))));
        for (size_t i = 0; i < channelCount(in); ++i) {
            p.setPen(colourOf(styleOf(in, i).colour));
            textAt(p, 230 + 70 * static_cast<int>(i), y,
                   text(valueCellText(valueAt(in, static_cast<int64_t>(row), i))));
        }
    }
    p.setBackgroundMode(Qt::TransparentMode);
}

void paintEvents(QPainter& p, const WorkChartInput& in) {
    const WorkDefinition& w = *in.work;
    p.setFont(songFont(25, 12));
    for (size_t i = 0; i < channelCount(in); ++i) {
        const int y = 30 + 50 * static_cast<int>(i);
        p.setPen(colourOf(styleOf(in, i).colour));
        textAt(p, 10, y, gbkText(w.channels[i].nameGbk()));
        if (in.rows > 0) {
            textAt(p, 200, y,
                   text(valueCellText(valueAt(in, static_cast<int64_t>(in.rows) - 1, i))));
        }
    }
    p.setPen(Qt::black);
    const size_t shown = std::min<size_t>(in.occurrenceCount, 16);
    for (size_t j = 0; j < shown; ++j) {
        const EventOccurrence& o = in.occurrences[in.occurrenceCount - 1 - j];
        const int y = 30 + 30 * static_cast<int>(j);
        textAt(p, 600, y, text(clockLabelText(localTimeOn(in.clock, o.time))));
        if (o.event >= 0 && static_cast<size_t>(o.event) < w.events.size()) {
            textAt(p, 800, y, gbkText(w.events[static_cast<size_t>(o.event)].nameGbk()));
        }
    }
}

}  // namespace

void paintWorkChart(QPainter& painter, const WorkChartInput& input) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(0, 0, kChartWidth, kChartHeight);
    painter.fillRect(0, 0, kChartWidth, kChartHeight, colourOf(input.work->backgroundColour));
    switch (input.mode) {
        case DisplayMode::Curves:
            paintCurves(painter, input);
            break;
        case DisplayMode::Ring:
            paintRing(painter, input);
            break;
        case DisplayMode::Period:
            paintPeriod(painter, input);
            break;
        case DisplayMode::List:
            paintList(painter, input);
            break;
        case DisplayMode::Events:
            paintEvents(painter, input);
            break;
    }
    painter.restore();
}

void paintWorkReport(QPainter& painter, const WorkChartInput& input, int dotsPerInch) {
    painter.save();
    const double scale = dotsPerInch / 600.0;
    painter.scale(scale, scale);
    paintPageTitle(painter, 200);
    WorkChartInput chart = input;
    chart.printing = true;
    paintPagePicture(painter, renderWorkChart(chart));
    painter.setFont(songFont(50, 24));
    for (size_t i = 0; i < channelCount(input); ++i) {
        const int y = kPageBlockTop + kPageRowStep * static_cast<int>(i);
        paintPageSwatch(painter, y, styleOf(input, i).colour);
        painter.setPen(Qt::black);
        textAt(painter, 280, y, gbkText(input.work->channels[i].nameGbk()));
    }
    painter.restore();
}

QImage renderWorkChart(const WorkChartInput& input) {
    QImage image(kChartWidth, kChartHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    paintWorkChart(painter, input);
    return image;
}

}  // namespace tervo::gui
