#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace tervo::testing {

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

}  // namespace tervo::testing
