#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;
class QTimer;

namespace tervo::gui {

struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The keyboard's lock lights as Linux publishes them (/sys/class/leds/<input>::capslock and
// so on): a lock is on when any keyboard lights it. Without such entries all read off.
LockStates readLockStates(const QString& ledsRoot = QStringLiteral("/sys/class/leds"));

// The caps lock ("大写"), num lock ("数字") and scroll lock ("滚动") panes of the status bar:
// each shows its text while its lock is on and stays blank otherwise.
class LockIndicators : public QObject {
    Q_OBJECT
public:
    LockIndicators(QStatusBar* bar, const QString& ledsRoot = QStringLiteral("/sys/class/leds"));

    void refresh();
    QLabel* caps() const { return m_caps; }
    QLabel* num() const { return m_num; }
    QLabel* scroll() const { return m_scroll; }

private:
    QString m_root;
    QLabel* m_caps;
    QLabel* m_num;
    QLabel* m_scroll;
    QTimer* m_timer;
};

}  // namespace tervo::gui
