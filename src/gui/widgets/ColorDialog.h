#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QScrollBar;
class QFrame;

namespace tervo::gui {

// "颜色输入": one colour from its red, green and blue bytes on three scroll bars, the swatch
// repainted at once. The caller reads `colour()` after OK.
class ColorDialog : public QDialog {
    Q_OBJECT
public:
    ColorDialog(uint32_t colourRef, QWidget* parent = nullptr);

    uint32_t colour() const;
    int part(int index) const { return m_parts[static_cast<size_t>(index)]; }
    QScrollBar* bar(int index) const { return m_bars[static_cast<size_t>(index)]; }

private:
    void onAction(int index, int action);

    std::array<int, 3> m_parts{};  // red, green, blue
    std::array<QScrollBar*, 3> m_bars{};
    QFrame* m_swatch;
};

}  // namespace tervo::gui
