#include "widgets/BarStrip.h"

#include <QPainter>
#include <QToolButton>

#include "widgets/Pictures.h"

namespace tervo::gui {

BarStrip::BarStrip(int resource, int height, QWidget* parent)
    : QWidget(parent), m_resource(resource) {
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QToolButton* BarStrip::addButton(int id, int imageIndex, const QString& statusTip,
                                 const QString& toolTip) {
    auto* button = new QToolButton(this);
    button->setIcon(toolbarIcon(m_resource, imageIndex));
    button->setIconSize(QSize(kToolImageWidth, kToolImageHeight));
    button->setAutoRaise(true);
    button->setStatusTip(statusTip);
    button->setToolTip(toolTip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setProperty("commandId", id);
    button->setGeometry(m_nextX, (height() - kButtonHeight) / 2, kButtonWidth, kButtonHeight);
    m_nextX += kButtonWidth;
    connect(button, &QToolButton::clicked, this, [this, id] { emit command(id); });
    m_buttons.insert(id, button);
    return button;
}

void BarStrip::addSeparator() {
    m_nextX += 8;
}

void BarStrip::place(QWidget* child, const QRect& rect) {
    child->setParent(this);
    child->setGeometry(rect);
}

void BarStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().mid().color());
    painter.drawLine(0, height() - 1, width(), height() - 1);
    painter.setPen(palette().light().color());
    painter.drawLine(0, 0, width(), 0);
}

}  // namespace tervo::gui
