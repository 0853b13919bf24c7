#include "tools/ReceiveScreen.h"

#include <QPainter>

#include "text/Gbk.h"
#include "widgets/Fonts.h"

namespace tervo::gui {

ReceiveScreen::ReceiveScreen() {
    clear();
}

void ReceiveScreen::clear() {
    for (auto& row : m_cells) {
        row.fill(' ');
    }
    m_line = 0;
    m_column = 0;
}

std::string ReceiveScreen::line(int line) const {
    return std::string(m_cells[line].begin(), m_cells[line].end());
}

void ReceiveScreen::write(uint8_t shown, Damage& damage) {
    m_cells[m_line][m_column] = shown;
    damage.cells.emplace_back(m_line, m_column);
    if (++m_column < kColumns) {
        return;
    }
    m_column = 0;
    if (++m_line < kLines) {
        return;
    }
    for (auto& row : m_cells) {
        row.fill(' ');
    }
    m_line = 0;
    damage.whole = true;
}

ReceiveScreen::Damage ReceiveScreen::putCharacter(uint8_t byte) {
    Damage damage;
    write(byte <= 9 ? ' ' : byte, damage);
    return damage;
}

ReceiveScreen::Damage ReceiveScreen::putHex(uint8_t byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    Damage damage;
    if (m_column == kColumns - 1) {
        write(' ', damage);
    }
    write(static_cast<uint8_t>(kDigits[byte >> 4]), damage);
    write(static_cast<uint8_t>(kDigits[byte & 0x0F]), damage);
    if (m_column != 0) {
        write(' ', damage);
    }
    return damage;
}

namespace {

bool isLead(uint8_t b) {
    return b >= 0x81 && b <= 0xFE;
}
bool isTrail(uint8_t b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

}  // namespace

void paintReceiveScreen(QPainter& painter, const ReceiveScreen& screen) {
    const QFont font = songFont(20, 10);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(font).ascent();
    for (int l = 0; l < ReceiveScreen::kLines; ++l) {
        const int y = kScreenTop + kCellHeight * l;
        painter.fillRect(kScreenLeft, y, kCellWidth * ReceiveScreen::kColumns, kCellHeight,
                         Qt::white);
        for (int c = 0; c < ReceiveScreen::kColumns; ++c) {
            const uint8_t b = screen.at(l, c);
            const int x = kScreenLeft + kCellWidth * c;
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

}  // namespace tervo::gui
