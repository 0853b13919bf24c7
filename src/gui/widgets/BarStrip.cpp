#include "gui/widgets/BarStrip.h"

#include <QAction>
#include <QPainter>
#include <QToolButton>

#include "gui/widgets/Commands.h"
#include "gui/widgets/Pictures.h"

namespace tervo::gui {

BarStrip::BarStrip(int resource, int height, QWidget* parent)
    : QWidget(parent), m_resource(resource) {
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QToolButton* BarStrip::addButton(QAction* action, int imageIndex, const QString& buttonName) {
    action->setIcon(toolbarIcon(m_resource, imageIndex));
    auto* button = new QToolButton(this);
    button->setObjectName(buttonName);
    button->setDefaultAction(action);
    button->setIconSize(QSize(kToolImageWidth, kToolImageHeight));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(m_nextX, (height() - kButtonHeight) / 2, kButtonWidth, kButtonHeight);
    showGivenTipOnly(button);
    m_nextX += kButtonWidth;
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
