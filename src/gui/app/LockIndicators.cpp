#include "gui/app/LockIndicators.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

bool anyLit(const QDir& root, const QString& suffix) {
    const QStringList entries =
        root.entryList({QStringLiteral("*::") + suffix}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        QFile brightness(root.filePath(entry + QStringLiteral("/brightness")));
        if (brightness.open(QIODevice::ReadOnly) && brightness.readAll().trimmed().toInt() > 0) {
            return true;
        }
    }
    return false;
}

QLabel* pane(QStatusBar* bar, const QString& widest) {
    auto* label = new QLabel(bar);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + 12);
    bar->addPermanentWidget(label);
    return label;
}

}  // namespace

LockStates readLockStates(const QString& ledsRoot) {
    const QDir root(ledsRoot);
    LockStates states;
    if (!root.exists()) {
        return states;
    }
    states.caps = anyLit(root, QStringLiteral("capslock"));
    states.num = anyLit(root, QStringLiteral("numlock"));
    states.scroll = anyLit(root, QStringLiteral("scrolllock"));
    return states;
}

LockIndicators::LockIndicators(QStatusBar* bar, const QString& ledsRoot)
    : QObject(bar), m_root(ledsRoot) {
    m_caps = pane(bar, trc("LockIndicators", "大写"));
    m_num = pane(bar, trc("LockIndicators", "数字"));
    m_scroll = pane(bar, trc("LockIndicators", "滚动"));
    m_timer = new QTimer(this);
    m_timer->setInterval(300);
    connect(m_timer, &QTimer::timeout, this, &LockIndicators::refresh);
    m_timer->start();
    refresh();
}

void LockIndicators::refresh() {
    const LockStates states = readLockStates(m_root);
    m_caps->setText(states.caps ? trc("LockIndicators", "大写") : QString());
    m_num->setText(states.num ? trc("LockIndicators", "数字") : QString());
    m_scroll->setText(states.scroll ? trc("LockIndicators", "滚动") : QString());
}

}  // namespace tervo::gui
