#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWidget>

#include "core/text/Gbk.h"
#include "core/work/WorkDefinition.h"

namespace tervo::testing {

// A channel named `utf8Name` (kept in GBK) reading the controller at `address`.
inline ChannelInfo namedChannel(const char* utf8Name, uint8_t address) {
    ChannelInfo c;
    c.setNameGbk(utf8ToGbk(utf8Name));
    c.address = address;
    return c;
}

// Points every QSettings store of this process at a fresh temporary directory, so tests never
// read or write the user's settings.
class IsolatedSettings {
public:
    IsolatedSettings() {
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(format, QSettings::UserScope,
                               m_dir.filePath(QStringLiteral("user")));
            QSettings::setPath(format, QSettings::SystemScope,
                               m_dir.filePath(QStringLiteral("system")));
        }
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Forgets any TERVO_COM1..TERVO_COM6 of the environment the tests were started from, so the
// ports are the ones each test maps itself.
inline void clearPortEnvironment() {
    for (int i = 1; i <= 6; ++i) {
        qunsetenv(qPrintable(QStringLiteral("TERVO_COM%1").arg(i)));
    }
}

// Waits up to `timeoutMs` for `condition`, processing events.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// The tool tip `widget` shows when the mouse rests on it; empty when it shows none.
inline QString shownToolTip(QWidget* widget) {
    // A tip goes away a moment after it is told to.
    QToolTip::hideText();
    waitFor([] { return !QToolTip::isVisible(); }, 3000);
    const QPoint at(widget->width() / 2, widget->height() / 2);
    QHelpEvent event(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

}  // namespace tervo::testing
