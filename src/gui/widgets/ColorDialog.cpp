#include "gui/widgets/ColorDialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/work/DisplaySettingsRules.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

// The bordered static that shows the colour: its (0, 0)-(123, 26) filled.
class Swatch : public QFrame {
public:
    explicit Swatch(const std::array<int, 3>& parts) : m_parts(parts) {
        setFrameShape(QFrame::Box);
        setFixedSize(125, 28);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        QPainter painter(this);
        painter.fillRect(QRect(0, 0, 123, 26), QColor(m_parts[0], m_parts[1], m_parts[2]));
    }

private:
    const std::array<int, 3>& m_parts;
};

ColourScroll scrollOf(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return ColourScroll::LineLeft;
        case QAbstractSlider::SliderSingleStepAdd:
            return ColourScroll::LineRight;
        case QAbstractSlider::SliderPageStepSub:
            return ColourScroll::PageLeft;
        case QAbstractSlider::SliderPageStepAdd:
            return ColourScroll::PageRight;
        case QAbstractSlider::SliderMove:
            return ColourScroll::Thumb;
        default:
            return ColourScroll::Other;
    }
}

}  // namespace

ColorDialog::ColorDialog(uint32_t colourRef, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("colorDialog"));
    setWindowTitle(trc("ColorDialog", "颜色输入"));
    setFont(songFont(16, 8));
    m_parts = {int(colourRef & 0xFF), int((colourRef >> 8) & 0xFF), int((colourRef >> 16) & 0xFF)};
    auto* grid = new QGridLayout;
    const char* labels[] = {QT_TRANSLATE_NOOP("ColorDialog", "红基色："),
                            QT_TRANSLATE_NOOP("ColorDialog", "绿基色："),
                            QT_TRANSLATE_NOOP("ColorDialog", "蓝基色：")};
    const char* names[] = {"redBar", "greenBar", "blueBar"};
    for (int i = 0; i < 3; ++i) {
        auto* bar = new QScrollBar(Qt::Horizontal);
        bar->setObjectName(QString::fromLatin1(names[i]));
        bar->setRange(0, 255);
        bar->setSingleStep(1);
        bar->setPageStep(10);
        bar->setValue(m_parts[static_cast<size_t>(i)]);
        bar->setMinimumWidth(255);
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this, i](int action) { onAction(i, action); });
        m_bars[static_cast<size_t>(i)] = bar;
        grid->addWidget(new QLabel(trc("ColorDialog", labels[i])), i, 0);
        grid->addWidget(bar, i, 1);
    }
    m_swatch = new Swatch(m_parts);
    m_swatch->setObjectName(QStringLiteral("colourSwatch"));
    grid->addWidget(m_swatch, 0, 2, 1, 1);
    grid->addWidget(dialogButtons(this, trc("ColorDialog", "选择确定"),
                                  trc("ColorDialog", "放弃退出"), Qt::Vertical),
                    1, 2, 2, 1);
    setLayout(grid);
}

uint32_t ColorDialog::colour() const {
    return colourRefOf(m_parts[0], m_parts[1], m_parts[2]);
}

void ColorDialog::onAction(int index, int action) {
    QScrollBar* bar = m_bars[static_cast<size_t>(index)];
    int& part = m_parts[static_cast<size_t>(index)];
    part = scrollColour(part, scrollOf(action), bar->sliderPosition());
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker blocker(m_bars[static_cast<size_t>(i)]);
        m_bars[static_cast<size_t>(i)]->setSliderPosition(m_parts[static_cast<size_t>(i)]);
    }
    m_swatch->repaint();
}

}  // namespace tervo::gui
