#include "core/tools/ReceiveScreen.h"

namespace tervo {

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

}  // namespace tervo
