#include "gui/tools/ReceiveScreenWidget.h"

#include <QPainter>

#include "core/text/Gbk.h"
#include "gui/widgets/Fonts.h"

namespace tervo::gui {

namespace {

bool isLead(uint8_t b) {
    return b >= 0x81 && b <= 0xFE;
}
bool isTrail(uint8_t b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

}  // namespace

void paintReceiveScreen(QPainter& painter, const ReceiveScreen& screen, int left, int top) {
    const QFont font = songFont(20, 10);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(font).ascent();
    for (int l = 0; l < ReceiveScreen::kLines; ++l) {
        const int y = top + kCellHeight * l;
        painter.fillRect(left, y, kCellWidth * ReceiveScreen::kColumns, kCellHeight, Qt::white);
        for (int c = 0; c < ReceiveScreen::kColumns; ++c) {
            const uint8_t b = screen.at(l, c);
            const int x = left + kCellWidth * c;
            if (isLead(b) && c + 1 < ReceiveScreen::kColumns && isTrail(screen.at(l, c + 1))) {
                const char pair[] = {static_cast<char>(b), static_cast<char>(screen.at(l, c + 1))};
                const std::string utf8 = gbkToUtf8(std::string_view(pair, 2));
                painter.drawText(QPoint(x, y + ascent), QString::fromStdString(utf8));
                ++c;
            } else if (b >= 0x20 && b < 0x7F) {
                painter.drawText(QPoint(x, y + ascent), QString(QLatin1Char(char(b))));
            }
        }
    }
}

ReceiveScreenWidget::ReceiveScreenWidget(const ReceiveScreen& screen, QWidget* parent)
    : QWidget(parent), m_screen(screen) {
    setObjectName(QStringLiteral("receiveScreen"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(kScreenLeft, kScreenTop, kCellWidth * ReceiveScreen::kColumns,
                kCellHeight * ReceiveScreen::kLines);
}

void ReceiveScreenWidget::repaintDamage(const ReceiveScreen::Damage& damage) {
    if (damage.whole) {
        update();
        return;
    }
    for (const auto& [line, column] : damage.cells) {
        // A cell may complete a Chinese character begun in the cell before it.
        const int first = column > 0 ? column - 1 : column;
        update(QRect(kCellWidth * first, kCellHeight * line, kCellWidth * (column - first + 1),
                     kCellHeight));
    }
}

void ReceiveScreenWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintReceiveScreen(painter, m_screen, 0, 0);
}

}  // namespace tervo::gui
