#include "gui/widgets/DisplayDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "gui/widgets/ChartFrame.h"
#include "gui/widgets/ColorDialog.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

void swatch(QPainter& p, PanelPoint at, uint32_t colour) {
    p.fillRect(QRect(at.x, at.y, 50, 25), Qt::black);
    p.fillRect(QRect(at.x + 1, at.y + 1, 48, 23), Qt::white);
    p.fillRect(QRect(at.x + 2, at.y + 2, 46, 21), colourOf(colour));
}

void box(QPainter& p, PanelPoint at, bool checked) {
    p.drawPixmap(at.x, at.y, picture(checked ? kBoxChecked : kBoxUnchecked));
}

void text(QPainter& p, int x, int y, const QString& s) {
    p.drawText(QRect(x, y, 300, 20), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s);
}

// The period edit must hold a whole number that fits 32 bits.
bool parseUnsigned(const QString& s, uint32_t& out) {
    bool ok = false;
    const qulonglong v = s.trimmed().toULongLong(&ok);
    if (!ok || v > 0xFFFFFFFFull) {
        return false;
    }
    out = static_cast<uint32_t>(v);
    return true;
}

bool parseDouble(const QString& s, double& out) {
    bool ok = false;
    const double v = s.trimmed().toDouble(&ok);
    if (ok) {
        out = v;
    }
    return ok;
}

}  // namespace

DisplayDialog::DisplayDialog(const DisplaySettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_font(songFont(14, 7)) {
    setObjectName(QStringLiteral("displayDialog"));
    setWindowTitle(trc("DisplayDialog", "显示环境设置"));
    m_settings.channelCount = std::clamp(m_settings.channelCount, 0, kMaxChannels);
    m_panelWidth = 402 + (panelColumns(m_settings.channelCount) - 1) * kColumnShift;
    for (int i = 0; i < m_settings.channelCount; ++i) {
        auto* list = new QComboBox(this);
        list->setObjectName(QStringLiteral("widthList%1").arg(i));
        list->setFont(m_font);
        list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
        list->setCurrentIndex(std::clamp(m_settings.widths[static_cast<size_t>(i)], 0, 2));
        const PanelPoint at = channelWidthListAt(i);
        list->setGeometry(at.x, at.y, 44, 22);
        m_widths[static_cast<size_t>(i)] = list;
    }
    const int x = m_panelWidth + 14;
    auto label = [this, x](const QString& s, int y) {
        auto* l = new QLabel(s, this);
        l->setGeometry(x, y, 120, 20);
        return l;
    };
    auto edit = [this, x](const QString& name, const QString& value, int y) {
        auto* e = new QLineEdit(value, this);
        e->setObjectName(name);
        e->setGeometry(x, y, 120, 22);
        return e;
    };
    m_periodLabel = label(trc("DisplayDialog", "展开周期(s)："), 20);
    m_period = edit(QStringLiteral("periodEdit"), QString::number(m_settings.period), 42);
    label(trc("DisplayDialog", "坐标最小值："), 80);
    m_minimum =
        edit(QStringLiteral("minimumEdit"), QString::number(m_settings.minimum, 'g', 15), 102);
    label(trc("DisplayDialog", "坐标最大值："), 140);
    m_maximum =
        edit(QStringLiteral("maximumEdit"), QString::number(m_settings.maximum, 'g', 15), 162);
    m_periodLabel->setVisible(m_settings.periodMode);
    m_period->setVisible(m_settings.periodMode);
    QDialogButtonBox* buttons = dialogButtons(this, trc("DisplayDialog", "确  定"),
                                              trc("DisplayDialog", "取消退出"), Qt::Vertical);
    buttons->setParent(this);
    buttons->setGeometry(x, 300, 120, 70);
    setFixedSize(x + 134, 394);
}

QImage DisplayDialog::panel() {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(palette().window().color());
    QPainter painter(&image);
    paintPanel(painter);
    return image;
}

void DisplayDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintPanel(painter);
}

void DisplayDialog::paintPanel(QPainter& p) {
    for (int c = 0; c < panelColumns(m_settings.channelCount); ++c) {
        const int shift = c * kColumnShift;
        p.fillRect(QRect(14 + shift, 14, 386, 366), Qt::black);
        p.fillRect(QRect(16 + shift, 16, 382, 362), Qt::white);
    }
    p.setFont(m_font);
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    const DisplaySettings& s = m_settings;
    for (int i = 0; i < s.channelCount; ++i) {
        const auto row = static_cast<size_t>(i);
        swatch(p, channelSwatchAt(i), s.colours[row]);
        const PanelPoint name = channelNameAt(i);
        text(p, name.x, name.y, QString::fromStdString(s.names[row]));
        box(p, channelBoxAt(i), s.visible[row]);
    }
    swatch(p, {214, 19}, s.backgroundColour);
    text(p, 266, 29, trc("DisplayDialog", "背景色"));
    swatch(p, {214, 69}, s.valueAxisColour);
    text(p, 266, 79, trc("DisplayDialog", "值坐标色"));
    box(p, {214, 95}, s.options.valueGrid);
    box(p, {252, 95}, s.options.valueMinorGrid);
    swatch(p, {214, 119}, s.valueRulerColour);
    text(p, 266, 129, trc("DisplayDialog", "值标尺色"));
    box(p, {214, 145}, s.options.valueCursor);
    swatch(p, {214, 169}, s.timeAxisColour);
    text(p, 266, 179, trc("DisplayDialog", "时间坐标色"));
    box(p, {214, 195}, s.options.timeGrid);
    box(p, {252, 195}, s.options.timeMinorGrid);
    swatch(p, {214, 219}, s.timeRulerColour);
    text(p, 266, 229, trc("DisplayDialog", "时间标尺色"));
    box(p, {214, 245}, s.options.timeCursor);
    box(p, {214, 280}, s.options.legend);
    text(p, 229, 280,
         s.options.legend ? trc("DisplayDialog", "显示颜色标记")
                          : trc("DisplayDialog", "不显示颜色标记"));
    box(p, {214, 315}, s.options.relativeTime);
    text(p, 229, 315,
         s.options.relativeTime ? trc("DisplayDialog", "相对时间")
                                : trc("DisplayDialog", "当前绝对时间"));
    if (s.coordinatesOffered) {
        box(p, {214, 350}, s.options.axisOption);
        text(p, 229, 350,
             s.options.axisOption ? trc("DisplayDialog", "标准坐标")
                                  : trc("DisplayDialog", "浮动坐标"));
    } else {
        text(p, 229, 350, trc("DisplayDialog", "标准坐标"));
    }
}

void DisplayDialog::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && toggleAt(m_settings, at.x(), at.y())) {
        update();
    }
}

uint32_t* DisplayDialog::swatchColour(const PanelHit& hit) {
    switch (hit.target) {
        case PanelTarget::ChannelSwatch:
            return &m_settings.colours[static_cast<size_t>(hit.channel)];
        case PanelTarget::BackgroundSwatch:
            return &m_settings.backgroundColour;
        case PanelTarget::ValueAxisSwatch:
            return &m_settings.valueAxisColour;
        case PanelTarget::ValueRulerSwatch:
            return &m_settings.valueRulerColour;
        case PanelTarget::TimeAxisSwatch:
            return &m_settings.timeAxisColour;
        case PanelTarget::TimeRulerSwatch:
            return &m_settings.timeRulerColour;
        default:
            return nullptr;
    }
}

void DisplayDialog::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    uint32_t* colour = swatchColour(swatchAt(at.x(), at.y(), m_settings.channelCount));
    if (event->button() != Qt::LeftButton || colour == nullptr) {
        return;
    }
    ColorDialog dialog(*colour, this);
    if (prompts().runDialog(dialog) == QDialog::Accepted) {
        *colour = dialog.colour();
        update();
    }
}

void DisplayDialog::accept() {
    DisplaySettings chosen = m_settings;
    if (m_settings.periodMode && !parseUnsigned(m_period->text(), chosen.period)) {
        messageBox(this, trc("DisplayDialog", "请输入一个整数。"));
        m_period->setFocus();
        return;
    }
    if (!parseDouble(m_minimum->text(), chosen.minimum) ||
        !parseDouble(m_maximum->text(), chosen.maximum)) {
        messageBox(this, trc("DisplayDialog", "请输入一个数字。"));
        return;
    }
    for (int i = 0; i < chosen.channelCount; ++i) {
        const int index = m_widths[static_cast<size_t>(i)]->currentIndex();
        chosen.widths[static_cast<size_t>(i)] = index < 0 ? 0 : index;
    }
    m_settings = chosen;
    QDialog::accept();
}

}  // namespace tervo::gui
