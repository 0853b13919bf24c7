#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tervo {

// The serial test view's receive screen: 19 lines of 79 characters and a cursor. Received
// bytes are written as characters or as hexadecimal pairs; when the last cell has been
// written the whole screen clears and writing goes on at the top left.
class ReceiveScreen {
public:
    static constexpr int kLines = 19;
    static constexpr int kColumns = 79;

    // What a write changed: single cells (line, column), or the whole screen.
    struct Damage {
        bool whole = false;
        std::vector<std::pair<int, int>> cells;
    };

    ReceiveScreen();

    // A byte as a character: values 0..9 show as a space, all others as themselves.
    Damage putCharacter(uint8_t byte);
    // A byte as two upper-case hexadecimal digits and a space; a pair never splits across lines.
    Damage putHex(uint8_t byte);
    Damage put(uint8_t byte, bool hex) { return hex ? putHex(byte) : putCharacter(byte); }
    void clear();

    uint8_t at(int line, int column) const { return m_cells[line][column]; }
    // One line's 79 bytes.
    std::string line(int line) const;
    int cursorLine() const { return m_line; }
    int cursorColumn() const { return m_column; }

private:
    void write(uint8_t shown, Damage& damage);

    std::array<std::array<uint8_t, kColumns>, kLines> m_cells;
    int m_line = 0;
    int m_column = 0;
};

}  // namespace tervo
