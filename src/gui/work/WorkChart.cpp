#include "work/WorkChart.h"

#include <QPainter>
#include <algorithm>

#include "text/Gbk.h"
#include "text/TimeText.h"
#include "widgets/Fonts.h"
#include "widgets/Pictures.h"

namespace tervo::gui {

QColor colourOf(uint32_t colourRef) {
    return QColor(colourRef & 0xFF, (colourRef >> 8) & 0xFF, (colourRef >> 16) & 0xFF);
}

int penWidthOf(int32_t width) {
    return width >= 0 && width <= 2 ? width : 0;
}

QString gbkText(const std::string& gbk) {
    return QString::fromStdString(gbkToUtf8(gbk));
}

int leftWithinChart(const QPainter& painter, int left, const QString& label) {
    return std::min(left, kChartWidth - painter.fontMetrics().horizontalAdvance(label));
}

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Text with its top-left corner at (x, y), as the chart places its texts.
void textAt(QPainter& p, int x, int y, const QString& s) {
    p.drawText(QRect(x, y, 2000, 200), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s);
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

std::tm localAt(const WorkChartInput& in, int64_t seconds) {
    if (in.clock != nullptr) {
        return in.clock->localTime(seconds);
    }
    const time_t t = static_cast<time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

// Channel i's legend entry; the charts draw each channel's entry just before its curve, so a
// later channel's curve lies over an earlier entry and under a later one.
void drawLegendEntry(QPainter& p, const WorkChartInput& in, size_t i) {
    if (!in.options.legend || in.printing) {
        return;
    }
    p.setFont(songFont(15, 7));
    const int y = 20 + 30 * static_cast<int>(i);
    p.drawPixmap(787, y + 8, picture(in.visible[i] ? kBoxChecked : kBoxUnchecked));
    if (in.rows > 0 && isNoValue(valueAt(in, static_cast<int64_t>(in.rows) - 1, i))) {
        p.setPen(Qt::black);
        textAt(p, 760, y + 5, QStringLiteral("Err"));
    }
    p.fillRect(QRect(800, y, 50, 20), colourOf(styleOf(in, i).colour));
    p.setPen(Qt::black);
    textAt(p, 860, y + 5, gbkText(in.work->channels[i].nameGbk()));
}

void drawTimeGrid(QPainter& p, const WorkChartInput& in) {
    const WorkDefinition& w = *in.work;
    const int64_t period = w.timing.samplingPeriod;
    for (int x = 0; x <= kChartLastX; x += 190) {
        p.setPen(QPen(colourOf(w.timeAxisColour), 0, Qt::SolidLine));
        p.drawLine(x, 0, x, kChartLastY);
        if (in.options.timeMinorGrid) {
            p.setPen(QPen(colourOf(w.timeAxisColour), 0, Qt::DashDotLine));
            for (int k = 1; k <= 4 && x + 38 * k < kChartLastX; ++k) {
                p.drawLine(x + 38 * k, 0, x + 38 * k, kChartLastY);
            }
        }
    }
    p.setFont(songFont(12, 6));
    p.setPen(Qt::black);
    for (int x = 0; x <= kChartLastX; x += 190) {
        const int64_t back = (static_cast<int64_t>(x) * in.zoom + in.scroll) * period;
        if (in.options.relativeTime) {
            const QString label = text(gridRelativeText(back));
            textAt(p, x == 0 ? 2 : leftWithinChart(p, x - 50, label), 420, label);
        } else {
            textAt(p, x == 0 ? 2 : x - 65, 420, text(gridClockText(localAt(in, in.now - back))));
        }
    }
}

void drawValueGrid(QPainter& p, const WorkChartInput& in) {
    const WorkDefinition& w = *in.work;
    for (int y = kChartLastY; y >= 0; y -= 104) {
        p.setPen(QPen(colourOf(w.valueAxisColour), 0, Qt::SolidLine));
        p.drawLine(0, y, kChartLastX, y);
        if (in.options.valueMinorGrid) {
            p.setPen(QPen(colourOf(w.valueAxisColour), 0, Qt::DashDotDotLine));
            for (int k = 1; k <= 4 && y - 21 * k > 0; ++k) {
                p.drawLine(0, y - 21 * k, kChartLastX, y - 21 * k);
            }
        }
    }
    p.setFont(songFont(12, 6));
    p.setPen(Qt::black);
    textAt(p, 2, 2, text(valueLabelText(w.valueMin, w.valueMax, 5)));
    for (int k = 1; k <= 5; ++k) {
        textAt(p, 2, 104 * k - 14, text(valueLabelText(w.valueMin, w.valueMax, 5 - k)));
    }
}

void drawCartesianFrame(QPainter& p, const WorkChartInput& in) {
    if (in.options.timeGrid) {
        drawTimeGrid(p, in);
    }
    if (in.options.timeCursor) {
        p.setPen(QPen(colourOf(in.work->timeRulerColour), 0));
        p.drawLine(in.timeCursor, 0, in.timeCursor, kChartLastY);
    }
    if (in.options.valueGrid) {
        drawValueGrid(p, in);
    }
    if (in.options.valueCursor) {
        p.setPen(QPen(colourOf(in.work->valueRulerColour), 0));
        p.drawLine(0, in.valueCursor, kChartLastX, in.valueCursor);
    }
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
    drawCartesianFrame(p, in);
    const std::vector<int64_t> rows = curveRows(in.rows, in.zoom, in.scroll);
    for (size_t i = 0; i < channelCount(in); ++i) {
        drawLegendEntry(p, in, i);
        if (in.visible[i]) {
            p.setPen(channelPen(in, i, false));
            drawPolyline(p, heightsOf(in, rows, i));
        }
    }
}

void paintPeriod(QPainter& p, const WorkChartInput& in) {
    drawCartesianFrame(p, in);
    const int period = in.work->timing.displayPeriod;
    if (in.options.timeGrid && period >= 0 && period <= kChartLastX) {
        p.setPen(QPen(colourOf(in.work->timeAxisColour), 0));
        p.drawLine(period, 0, period, kChartLastY);
    }
    const PeriodRows rows = periodRows(in.rows, in.zoom, in.scroll, period);
    for (size_t i = 0; i < channelCount(in); ++i) {
        drawLegendEntry(p, in, i);
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
    const QPointF centre(475, 260);
    const int64_t span = static_cast<int64_t>(w.timing.samplingPeriod) * w.timing.displayPeriod;
    if (in.options.timeGrid) {
        p.setPen(QPen(colourOf(w.timeAxisColour), 0));
        for (int k = 0; k < 5; ++k) {
            const ChartPoint end = ringPoint(72.0 * k, 260.0);
            p.drawLine(centre, QPointF(end.x, end.y));
        }
        static const QPoint labels[] = {{745, 240}, {575, 500}, {215, 410}, {215, 100}, {575, 0}};
        p.setFont(songFont(12, 6));
        p.setPen(Qt::black);
        for (int k = 0; k < 5; ++k) {
            const int64_t back = k * span / 5;
            const QString label = in.options.relativeTime
                                      ? text(gridRelativeText(back))
                                      : text(gridClockText(localAt(in, in.now - back)));
            textAt(p, labels[k].x(), labels[k].y(), label);
        }
    }
    if (in.options.timeCursor) {
        p.setPen(QPen(colourOf(w.timeRulerColour), 0));
        const ChartPoint end = ringPoint(in.timeCursor * 360.0 / 950.0, 260.0);
        p.drawLine(centre, QPointF(end.x, end.y));
    }
    if (in.options.valueGrid) {
        p.setPen(QPen(colourOf(w.valueAxisColour), 0));
        p.setBrush(Qt::NoBrush);
        for (int r = 0; r <= 260; r += 52) {
            p.drawEllipse(centre, r, r);
        }
        p.setFont(songFont(12, 6));
        p.setPen(Qt::black);
        for (int j = 0; j <= 5; ++j) {
            textAt(p, 735 - 52 * j, 260, text(valueLabelText(w.valueMin, w.valueMax, 5 - j)));
        }
    }
    if (in.options.valueCursor) {
        p.setPen(QPen(colourOf(w.valueRulerColour), 0));
        p.setBrush(Qt::NoBrush);
        const double r = (520 - in.valueCursor) / 2.0;
        p.drawEllipse(centre, r, r);
    }
    const std::vector<RingStep> steps = ringSteps(in.rows, w.timing.displayPeriod);
    std::vector<int64_t> rows;
    for (const RingStep& step : steps) {
        rows.push_back(step.row);
    }
    for (size_t i = 0; i < channelCount(in); ++i) {
        drawLegendEntry(p, in, i);
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
    textAt(p, 30, 10, QStringLiteral("时间"));
    for (size_t i = 0; i < channelCount(in); ++i) {
        p.setPen(colourOf(styleOf(in, i).colour));
        textAt(p, 230 + 70 * static_cast<int>(i), 10, gbkText(w.channels[i].nameGbk()));
    }
    const size_t shown = std::min<size_t>(in.rows, 24);
    for (size_t k = 0; k < shown; ++k) {
        const size_t row = in.rows - 1 - k;
        const int y = 30 + 20 * static_cast<int>(k);
        p.setPen(colourOf(w.timeRulerColour));
        textAt(p, 30, y, text(timeStampText(localAt(in, in.times[row]))));
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
        textAt(p, 600, y, text(clockLabelText(localAt(in, o.time))));
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
    painter.setPen(Qt::black);
    painter.setFont(songFont(200, 100));
    textAt(painter, 1980, 200, QStringLiteral("打印报告"));
    WorkChartInput chart = input;
    chart.printing = true;
    painter.drawImage(QRect(120, 600, 4500, 2463), renderWorkChart(chart));
    painter.setFont(songFont(50, 24));
    for (size_t i = 0; i < channelCount(input); ++i) {
        const int y = 3263 + 80 * static_cast<int>(i);
        painter.fillRect(QRect(120, y, 150, 50), colourOf(styleOf(input, i).colour));
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
