#include "gui/history/HistoryReport.h"

#include <QPainter>

#include "core/text/TimeText.h"
#include "gui/widgets/ChartFrame.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString stamp(int64_t seconds) {
    return QString::fromStdString(timeStampText(seconds));
}

void drawChannelBlock(QPainter& p, const HistoryReportInput& in) {
    const WorkDefinition& w = in.picture.history->definition;
    p.setFont(songFont(50, 24));
    textAt(p, kPageLeft, kPageBlockTop,
           trc("HistoryReport", "采样周期：%1秒").arg(w.timing.samplingPeriod));
    int y = kPageBlockTop;
    for (size_t c = 0; c < std::min(w.channels.size(), size_t(kMaxChannels)); ++c) {
        if (!in.picture.visible[c]) {
            continue;
        }
        const ChannelInfo& ch = w.channels[c];
        y += kPageRowStep;
        paintPageSwatch(p, y, w.styles[c].colour);
        textAt(p, 400, y, gbkText(ch.nameGbk()));
        textAt(p, 900, y, gbkText(parameterText(ch.parameterCode)));
        textAt(p, 1900, y,
               printfForm(trc("HistoryReport", "显示系数：%0.2f"), ch.displayCoefficient));
        textAt(p, 2900, y,
               printfForm(trc("HistoryReport", "平移系数：%0.2f"), ch.offsetCoefficient));
        y += kPageRowStep;
        textAt(p, 900, y, trc("HistoryReport", "串口号："));
        textAt(p, 1370, y, QString::fromStdString(portText(ch.port)));
        textAt(p, 1900, y, trc("HistoryReport", "波特率："));
        textAt(p, 2370, y, QString::fromStdString(baudIndexText(ch.baud)));
        textAt(p, 2900, y, trc("HistoryReport", "仪表地址："));
        textAt(p, 3370, y, QString::fromStdString(addressText(ch.address)));
    }
}

}  // namespace

void paintHistoryReportPage(QPainter& p, const HistoryReportInput& in, int page) {
    const Recording& history = *in.picture.history;
    p.save();
    paintPageTitle(p, 100);
    p.setFont(songFont(60, 30));
    textAt(p, 120, 400, trc("HistoryReport", "文件名称："));
    textAt(p, 420, 400, in.path);
    textAt(p, 120, 480, trc("HistoryReport", "打印时间："));
    textAt(p, 420, 480, stamp(in.printedAt));
    textAt(p, 1120, 480, trc("HistoryReport", "起始时间："));
    textAt(p, 1420, 480, gbkText(reportRowTime(history, false)));
    textAt(p, 2120, 480, trc("HistoryReport", "结束时间："));
    textAt(p, 2420, 480, gbkText(reportRowTime(history, true)));
    switch (in.picture.mode) {
        case HistoryMode::Curve:
        case HistoryMode::PeriodChart:
        case HistoryMode::PeriodCurve:
        case HistoryMode::ChannelInfo: {
            HistoryPictureInput picture = in.picture;
            picture.printing = true;
            paintPagePicture(p, renderHistoryPicture(picture));
            if (picture.mode != HistoryMode::ChannelInfo) {
                drawChannelBlock(p, in);
            }
            break;
        }
        case HistoryMode::Table: {
            textAt(p, 100, 600, gbkText(tableHeaderText(history.definition)));
            const RowSpan span = reportPageRows(page, history.rowCount());
            int y = 700;
            for (size_t r = span.first; r < span.first + span.count; ++r, y += 100) {
                textAt(p, 100, y, QString::fromLatin1(tableRowText(history, r)));
            }
            textAt(p, 100, 6700, QString::number(page));
            break;
        }
        case HistoryMode::EventTable: {
            textAt(p, 100, 600, gbkText(eventHeaderText()));
            int y = 700;
            for (size_t k = 0; k < reportEventCount(history.occurrences.size()); ++k, y += 100) {
                textAt(p, 100, y, gbkText(eventRowText(history, k)));
            }
            textAt(p, 100, 6700, QString::number(page));
            break;
        }
    }
    p.restore();
}

}  // namespace tervo::gui
