#include "gui/app/StartWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "gui/app/PasswordDialog.h"
#include "gui/app/Settings.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

const QRect StartWindow::kEntryPicture(146, 584, 170, 83);
const QRect StartWindow::kPasswordPicture(549, 587, 327, 86);
// The repaint rectangles stop one pixel short of the pictures' last column and row; they are
// widened to the pictures so that no line of a lit picture stays behind.
const QRect StartWindow::kEntryRepaint = cornerRect(145, 583, 315, 666).united(kEntryPicture);
const QRect StartWindow::kPasswordRepaint = cornerRect(548, 586, 875, 672).united(kPasswordPicture);

StartWindow::StartWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("startWindow"));
    setWindowTitle(trc("StartWindow", "温控仪控制系统"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1024, 768);
    m_title = Settings().startTitle();
}

bool StartWindow::inEntryArea(QPoint p) {
    return p.x() > 145 && p.x() < 315 && p.y() > 583 && p.y() < 666;
}

bool StartWindow::inPasswordArea(QPoint p) {
    return p.x() >= 549 && p.x() <= 874 && p.y() >= 587 && p.y() < 672;
}

void StartWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintStartBackdrop(painter, rect());
    painter.drawPixmap(0, 0, picture(kStartBackground));
    const QFont font = songFont(50, 25);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(font).ascent();
    painter.drawText(QPoint(210, 450 + ascent), m_title);
    painter.drawText(QPoint(350, 370 + ascent), trc("StartWindow", "QT570控制系统"));
    switch (m_hover) {
        case kHoverEntry:
            blit(painter, kEntryPicture, picture(kStartEntry), {1, 1});
            break;
        case kPressEntry:
            blit(painter, kEntryPicture, picture(kStartEntryPressed), {1, 1});
            break;
        case kHoverPassword:
            blit(painter, kPasswordPicture, picture(kStartPassword), {1, 1});
            break;
        case kPressPassword:
            blit(painter, kPasswordPicture, picture(kStartPasswordPressed), {1, 1});
            break;
        default:
            break;
    }
}

void StartWindow::setHover(int state) {
    if (state != m_hover) {
        m_hover = state;
        update(kEntryRepaint);
        update(kPasswordRepaint);
    }
}

void StartWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    // Pressed looks only while the left button alone is held.
    const bool leftOnly =
        event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier;
    if (inEntryArea(at)) {
        setHover(leftOnly ? kPressEntry : kHoverEntry);
    } else if (inPasswordArea(at)) {
        setHover(leftOnly ? kPressPassword : kHoverPassword);
    } else {
        setHover(kHoverNone);
    }
}

void StartWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    setHover(inEntryArea(at) ? kPressEntry : inPasswordArea(at) ? kPressPassword : kHoverNone);
}

void StartWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    if (inEntryArea(at)) {
        enterPlainly();
    } else if (inPasswordArea(at)) {
        PasswordDialog dialog(PasswordDialog::Mode::Set, QString(), this);
        if (prompts().runDialog(dialog) == QDialog::Accepted) {
            m_protected = true;
            m_password = dialog.password();
            done(QDialog::Accepted);
        }
    }
}

void StartWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            enterPlainly();
            break;
        default:
            QDialog::keyPressEvent(event);
    }
}

void StartWindow::reject() {
    enterPlainly();
}

void StartWindow::enterPlainly() {
    m_protected = false;
    m_password.clear();
    done(QDialog::Accepted);
}

}  // namespace tervo::gui
