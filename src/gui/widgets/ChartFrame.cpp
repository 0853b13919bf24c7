#include "gui/widgets/ChartFrame.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "core/text/Gbk.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Translate.h"

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

void textAt(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QRect(x, y, 20000, 2000), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     text);
}

std::tm localTimeOn(Clock* clock, int64_t seconds) {
    return (clock != nullptr ? *clock : systemClock()).localTime(seconds);
}

int leftWithinChart(const QPainter& painter, int left, const QString& label) {
    return std::min(left, kChartWidth - painter.fontMetrics().horizontalAdvance(label));
}

QString gridLabel(const DisplayOptions& options, Clock* clock, int64_t seconds, int64_t at) {
    return QString::fromStdString(options.relativeTime ? gridRelativeText(seconds)
                                                       : gridClockText(localTimeOn(clock, at)));
}

namespace {

QFont labelFont() {
    return songFont(12, 6);
}

QString levelText(double lo, double hi, int level) {
    return QString::fromStdString(valueLabelText(lo, hi, level));
}

}  // namespace

void ChartFrame::timeGrid(const GridLabels& labels) {
    const QColor colour = colourOf(m_work.timeAxisColour);
    for (int x = 0; x <= kChartLastX; x += kTimeGridStep) {
        m_p.setPen(QPen(colour, 0, Qt::SolidLine));
        m_p.drawLine(x, 0, x, kChartLastY);
        if (m_options.timeMinorGrid) {
            m_p.setPen(QPen(colour, 0, Qt::DashDotLine));
            for (int k = 1; k <= kGridMinorLines && x + kTimeMinorStep * k < kChartLastX; ++k) {
                m_p.drawLine(x + kTimeMinorStep * k, 0, x + kTimeMinorStep * k, kChartLastY);
            }
        }
    }
    m_p.setFont(labelFont());
    m_p.setPen(Qt::black);
    for (int k = 0; k <= kGridDivisions; ++k) {
        const int x = kTimeGridStep * k;
        const QString& label = labels[static_cast<size_t>(k)];
        int left = kLabelMargin;
        if (k > 0) {
            left = m_options.relativeTime ? leftWithinChart(m_p, x - kRelativeLabelBack, label)
                                          : x - kClockLabelBack;
        }
        textAt(m_p, left, kTimeLabelTop, label);
    }
}

void ChartFrame::valueGrid(double lo, double hi) {
    const QColor colour = colourOf(m_work.valueAxisColour);
    for (int y = kChartLastY; y >= 0; y -= kValueGridStep) {
        m_p.setPen(QPen(colour, 0, Qt::SolidLine));
        m_p.drawLine(0, y, kChartLastX, y);
        if (m_options.valueMinorGrid) {
            m_p.setPen(QPen(colour, 0, Qt::DashDotDotLine));
            for (int k = 1; k <= kGridMinorLines && y - kValueMinorStep * k > 0; ++k) {
                m_p.drawLine(0, y - kValueMinorStep * k, kChartLastX, y - kValueMinorStep * k);
            }
        }
    }
    m_p.setFont(labelFont());
    m_p.setPen(Qt::black);
    textAt(m_p, kLabelMargin, kLabelMargin, levelText(lo, hi, kGridDivisions));
    for (int k = 1; k <= kGridDivisions; ++k) {
        textAt(m_p, kLabelMargin, kValueGridStep * k - kValueLabelRise,
               levelText(lo, hi, kGridDivisions - k));
    }
}

void ChartFrame::timeRuler(int x) {
    m_p.setPen(QPen(colourOf(m_work.timeRulerColour), 0));
    m_p.drawLine(x, 0, x, kChartLastY);
}

void ChartFrame::valueRuler(int y) {
    m_p.setPen(QPen(colourOf(m_work.valueRulerColour), 0));
    m_p.drawLine(0, y, kChartLastX, y);
}

void ChartFrame::spokeLabel(int spoke, const QString& label) {
    m_p.setFont(labelFont());
    m_p.setPen(Qt::black);
    const ChartPixel at = kSpokeLabels[static_cast<size_t>(spoke)];
    textAt(m_p, at.x, at.y, label);
}

void ChartFrame::ring(int ring) {
    m_p.setPen(QPen(colourOf(m_work.valueAxisColour), 0));
    m_p.setBrush(Qt::NoBrush);
    m_p.drawEllipse(QPointF(kPolarCentreX, kPolarCentreY), kRingStep * ring, kRingStep * ring);
}

void ChartFrame::ringLabel(int ring, double lo, double hi) {
    m_p.setFont(labelFont());
    m_p.setPen(Qt::black);
    textAt(m_p, ringLabelX(ring), kPolarCentreY, levelText(lo, hi, kGridDivisions - ring));
}

void ChartFrame::legendEntry(size_t channel, bool visible, bool failed, const LegendLook& look) {
    const int top = legendTop(static_cast<int>(channel));
    m_p.setFont(look.font);
    m_p.drawPixmap(kLegendBoxLeft, top + kLegendBoxDrop,
                   picture(visible ? kBoxChecked : kBoxUnchecked));
    m_p.setPen(Qt::black);
    if (failed) {
        textAt(m_p, kLegendFailedLeft, top + look.textDrop, QStringLiteral("Err"));
    }
    m_p.fillRect(QRect(kLegendSwatchLeft, top, kLegendSwatchWidth, kLegendSwatchHeight),
                 colourOf(m_work.styles[channel].colour));
    textAt(m_p, kLegendNameLeft, top + look.textDrop, gbkText(m_work.channels[channel].nameGbk()));
}

void paintPageTitle(QPainter& painter, int top) {
    painter.setPen(Qt::black);
    painter.setFont(songFont(200, 100));
    textAt(painter, kPageTitleLeft, top, trc("ChartFrame", "打印报告"));
}

void paintPagePicture(QPainter& painter, const QImage& picture) {
    painter.drawImage(QRect(kPageLeft, kPagePictureTop, kPagePictureWidth, kPagePictureHeight),
                      picture);
}

void paintPageSwatch(QPainter& painter, int top, uint32_t colour) {
    painter.fillRect(QRect(kPageLeft, top, kPageSwatchWidth, kPageSwatchHeight), colourOf(colour));
}

}  // namespace tervo::gui
