#include "gui/trend/TrendPicture.h"

#include <QPainter>
#include <QVector>
#include <algorithm>
#include <cmath>

#include "core/Clock.h"
#include "core/NoValue.h"
#include "core/text/Gbk.h"
#include "core/text/TimeText.h"
#include "core/trend/TrendAxis.h"
#include "gui/widgets/ChartFrame.h"

namespace tervo::gui {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QColor inkOf(const WorkDefinition& d, size_t channel) {
    return colourOf(d.styles[channel].colour);
}

}  // namespace

std::vector<int> TrendPicture::groupsOf(const WorkDefinition& definition, size_t channels,
                                        bool grouped) {
    std::vector<int> groups(channels, 0);
    if (grouped) {
        for (size_t c = 0; c < channels && c < definition.channels.size(); ++c) {
            groups[c] = definition.channels[c].parameterCode;
        }
    }
    return groups;
}

QRect TrendPicture::plotRect(QSize size, int axes) {
    const int left = kAxisWidth * std::max(1, axes);
    return QRect(left, kTop, std::max(10, size.width() - left - kLegendWidth),
                 std::max(10, size.height() - kTop - kBottom));
}

TrendDrawn TrendPicture::paint(QPainter& p, QSize size, const TrendPictureInput& in) {
    static const WorkDefinition kNone;
    const WorkDefinition& d = in.definition != nullptr ? *in.definition : kNone;
    const QColor paper = colourOf(d.backgroundColour);
    const QColor grid = colourOf(d.timeAxisColour);
    const QColor valueGrid = colourOf(d.valueAxisColour);
    p.fillRect(QRect(QPoint(0, 0), size), QColor(0xF4, 0xF4, 0xF4));

    std::vector<bool> visible = in.visible;
    visible.resize(in.channels, false);
    const std::vector<int> groupOf = groupsOf(d, in.channels, in.groupedAxes);
    // The axes are laid out first from the groups that have visible channels.
    size_t axes = 0;
    {
        std::vector<int> seen;
        for (size_t c = 0; c < in.channels; ++c) {
            if (visible[c] && std::find(seen.begin(), seen.end(), groupOf[c]) == seen.end()) {
                seen.push_back(groupOf[c]);
            }
        }
        axes = seen.size();
    }
    TrendDrawn drawn;
    drawn.plot = plotRect(size, static_cast<int>(axes));
    const QRect plot = drawn.plot;
    TrendFrame frame;
    if (in.summary != nullptr) {
        frame = buildTrendFrame(in.rows, *in.summary, in.firstTime, in.lastTime,
                                static_cast<size_t>(plot.width()));
    }
    drawn.groups = groupRanges(frame, groupOf, visible, in.fixedRange);
    p.fillRect(plot, paper);

    const double span = in.lastTime - in.firstTime;
    const auto xOf = [&](double time) {
        return plot.left() + (time - in.firstTime) / span * plot.width();
    };
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const QFontMetrics metrics(font);

    // Time axis: marks at a step that leaves room for their labels.
    if (in.clock != nullptr && span > 0) {
        const int maxTicks = std::max(2, plot.width() / 90);
        const TimeStep step = chooseTimeStep(span, maxTicks);
        for (const TimeTick& tick : timeTicks(in.firstTime, in.lastTime, step, *in.clock)) {
            const int x = static_cast<int>(std::lround(xOf(tick.time)));
            p.setPen(QPen(grid, 1, Qt::DotLine));
            p.drawLine(x, plot.top(), x, plot.bottom());
            p.setPen(Qt::black);
            p.drawLine(x, plot.bottom() + 1, x, plot.bottom() + 4);
            const QString label = text(tick.label);
            p.drawText(x - metrics.horizontalAdvance(label) / 2,
                       plot.bottom() + 6 + metrics.ascent(), label);
            if (!tick.date.empty()) {
                const QString date = text(tick.date);
                p.setPen(QColor(0x20, 0x40, 0xA0));
                p.drawText(x - metrics.horizontalAdvance(date) / 2,
                           plot.bottom() + 6 + metrics.height() + metrics.ascent(), date);
            }
        }
    }
    // Value axes, left of the plot, each in its first channel's colour when there are several.
    for (size_t g = 0; g < drawn.groups.size(); ++g) {
        const GroupRange& group = drawn.groups[g];
        const int right = plot.left() - 1 - static_cast<int>(g) * kAxisWidth;
        const QColor ink =
            drawn.groups.size() > 1 ? inkOf(d, group.channels.front()) : QColor(Qt::black);
        p.setPen(ink);
        p.drawLine(right, plot.top(), right, plot.bottom());
        const ValueTicks ticks = valueTicks(group.low, group.high, std::max(2, plot.height() / 40));
        for (double v : ticks.values) {
            const int y = static_cast<int>(std::lround(
                plot.bottom() - (v - group.low) / (group.high - group.low) * plot.height()));
            if (g == 0) {
                p.setPen(QPen(valueGrid, 1, Qt::DotLine));
                p.drawLine(plot.left(), y, plot.right(), y);
            }
            p.setPen(ink);
            p.drawLine(right - 4, y, right, y);
            const QString label = QString::number(v, 'f', ticks.decimals);
            p.drawText(right - 6 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2,
                       label);
        }
    }
    // The lines, clipped to the plot.
    p.save();
    p.setClipRect(plot);
    for (const GroupRange& group : drawn.groups) {
        const double scale = plot.height() / (group.high - group.low);
        for (size_t ch : group.channels) {
            const std::vector<TrendSegment> segments = trendSegments(in.rows, frame, ch);
            // Whole pixels and a cosmetic pen: the raster engine's fast line path, which a
            // repaint of some forty thousand lines needs.
            QVector<QLine> lines;
            lines.reserve(static_cast<qsizetype>(segments.size()));
            const auto yOf = [&](double v) {
                const double y = plot.bottom() - (v - group.low) * scale;
                return static_cast<int>(std::lround(std::clamp(y, -1e6, 1e6)));
            };
            for (const TrendSegment& s : segments) {
                const int x0 = plot.left() + static_cast<int>(s.x0);
                const int x1 = plot.left() + static_cast<int>(s.x1);
                lines.append(QLine(x0, yOf(s.v0), x1, yOf(s.v1)));
            }
            QPen pen(inkOf(d, ch), std::max(1, std::min(3, d.styles[ch].penWidth)));
            pen.setCosmetic(true);
            p.setPen(pen);
            p.drawLines(lines);
        }
    }
    p.restore();
    // Events: labelled marks on the time axis; a label that would overlap the last is left out.
    {
        int lastLabelRight = -1;
        p.setPen(QColor(0xC0, 0x30, 0x30));
        for (size_t k = 0; k < in.occurrenceCount; ++k) {
            const EventOccurrence& o = in.occurrences[k];
            if (o.time < in.firstTime || o.time >= in.lastTime) {
                continue;
            }
            const int x = static_cast<int>(std::lround(xOf(o.time)));
            const QPoint tip(x, plot.bottom());
            const QPoint triangle[3] = {tip, tip + QPoint(-4, -7), tip + QPoint(4, -7)};
            p.setBrush(QColor(0xC0, 0x30, 0x30));
            p.drawPolygon(triangle, 3);
            const QString name = o.event >= 0 && size_t(o.event) < d.events.size()
                                     ? text(gbkToUtf8(d.events[size_t(o.event)].nameGbk()))
                                     : QStringLiteral("#%1").arg(o.event);
            if (x - 2 > lastLabelRight) {
                p.drawText(x + 3, plot.bottom() - 10, name);
                lastLabelRight = x + 3 + metrics.horizontalAdvance(name);
            }
        }
        p.setBrush(Qt::NoBrush);
    }
    // Cursors and the box.
    CursorReading readings[2];
    for (int i = 0; i < 2; ++i) {
        if (!in.cursors[i]) {
            continue;
        }
        readings[i] = readAt(in.rows, *in.cursors[i]);
        if (!readings[i].found) {
            continue;
        }
        const int x = static_cast<int>(std::lround(xOf(readings[i].time)));
        if (x >= plot.left() && x <= plot.right()) {
            p.setPen(QPen(i == 0 ? QColor(0xD0, 0x00, 0x00) : QColor(0x00, 0x60, 0xD0), 1,
                          i == 0 ? Qt::SolidLine : Qt::DashLine));
            p.drawLine(x, plot.top(), x, plot.bottom());
        }
    }
    if (!in.box.isEmpty()) {
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(in.box.normalized());
    }
    p.setPen(Qt::gray);
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    // The legend with the read-out: the time at the cursor, then each visible channel's name
    // and value there, and with a second cursor the differences.
    const int lx = plot.right() + 12;
    int y = plot.top() + metrics.ascent();
    p.setPen(Qt::black);
    const bool two = readings[0].found && readings[1].found;
    if (readings[0].found) {
        p.drawText(lx, y, tr("光标 %1").arg(text(timeStampText(readings[0].time))));
        y += metrics.height();
    }
    if (two) {
        p.drawText(lx, y, tr("光标2 %1").arg(text(timeStampText(readings[1].time))));
        y += metrics.height();
        const CursorDifference difference = cursorDifference(readings[0], readings[1]);
        p.drawText(lx, y, tr("间隔 %1").arg(text(durationText(difference.seconds))));
        y += metrics.height();
    }
    y += 4;
    const CursorDifference difference =
        two ? cursorDifference(readings[0], readings[1]) : CursorDifference{};
    for (size_t c = 0; c < in.channels; ++c) {
        if (!visible[c] || y > size.height() - 4) {
            continue;
        }
        p.fillRect(lx, y - metrics.ascent() + 2, 12, 8, inkOf(d, c));
        p.setPen(Qt::black);
        p.drawText(lx + 16, y, text(gbkToUtf8(d.channels[c].nameGbk())));
        if (readings[0].found) {
            p.drawText(lx + 84, y, text(readingText(readings[0].values[c])));
        }
        if (two) {
            p.drawText(lx + 146, y, QStringLiteral("Δ") + text(readingText(difference.values[c])));
        }
        y += metrics.height();
    }
    return drawn;
}

}  // namespace tervo::gui
