#pragma once

#include <QWidget>

#include "core/tools/ReceiveScreen.h"

class QPainter;

namespace tervo::gui {

// Screen geometry in the serial test view: line l, column c is the 10 x 25 cell at
// x 200 + 10c, y 7 + 25l.
constexpr int kScreenLeft = 200;
constexpr int kScreenTop = 7;
constexpr int kCellWidth = 10;
constexpr int kCellHeight = 25;

// Draws the screen's lines in the 20-pixel "宋体" font, the first cell at (left, top). Bytes
// are GBK: a lead and trail byte side by side on one line show as one Chinese character over
// both cells; control bytes and bytes that form no character show as blanks.
void paintReceiveScreen(QPainter& painter, const ReceiveScreen& screen, int left = kScreenLeft,
                        int top = kScreenTop);

// The receive screen in the serial test view, 790 x 475 at (200, 7). Only the cells a write
// changed are repainted, the whole screen only when it wraps or is cleared.
class ReceiveScreenWidget : public QWidget {
    Q_OBJECT
public:
    ReceiveScreenWidget(const ReceiveScreen& screen, QWidget* parent);

    void repaintDamage(const ReceiveScreen::Damage& damage);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ReceiveScreen& m_screen;
};

}  // namespace tervo::gui
