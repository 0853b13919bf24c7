#pragma once

#include <QDialog>
#include <QFont>
#include <array>

#include "core/work/DisplaySettingsRules.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace tervo::gui {

// "显示环境设置": chart colours, per channel colour, visibility and line width, the nine
// display options, the expand period and the value range, on a painted panel. It works on a
// copy; the caller takes `settings()` after OK. Channel rows 8 to 14 and 15 to 20 continue in
// panels of their own to the right of the first; the edits and buttons stand right of the last.
class DisplayDialog : public QDialog {
    Q_OBJECT
public:
    DisplayDialog(const DisplaySettings& settings, QWidget* parent = nullptr);

    const DisplaySettings& settings() const { return m_settings; }
    QLineEdit* periodEdit() const { return m_period; }
    QLineEdit* minimumEdit() const { return m_minimum; }
    QLineEdit* maximumEdit() const { return m_maximum; }
    QComboBox* widthList(int row) const { return m_widths[static_cast<size_t>(row)]; }
    // The panel as painted now, for tests.
    QImage panel();

    void accept() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintPanel(QPainter& painter);
    uint32_t* swatchColour(const PanelHit& hit);

    DisplaySettings m_settings;
    QFont m_font;
    int m_panelWidth;
    std::array<QComboBox*, kMaxChannels> m_widths{};
    QLineEdit* m_period;
    QLineEdit* m_minimum;
    QLineEdit* m_maximum;
    QLabel* m_periodLabel;
};

}  // namespace tervo::gui
