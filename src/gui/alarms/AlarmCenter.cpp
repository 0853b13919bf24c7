#include "gui/alarms/AlarmCenter.h"

#include <QApplication>

#include "core/text/TimeText.h"
#include "gui/app/Settings.h"

namespace tervo::gui {

AlarmCenter::AlarmCenter(QObject* parent)
    : QObject(parent), m_desktop(std::make_unique<DesktopNotifier>()) {
    m_notifier = m_desktop.get();
    m_sound = Settings().alarmSound();
}

AlarmCenter::~AlarmCenter() = default;

int AlarmCenter::addSource(QObject* owner, Acknowledge acknowledge) {
    const int source = m_nextSource++;
    m_sources[source] = {QPointer<QObject>(owner), std::move(acknowledge)};
    connect(owner, &QObject::destroyed, this, [this, source] {
        m_sources.erase(source);
        unwatch(source);
    });
    return source;
}

void AlarmCenter::report(const AlarmListUpdate& update) {
    const bool raised = m_rules.apply(update);
    if (raised) {
        AlarmListRow row;
        row.channel = update.channel;
        row.channelName = update.channelName;
        row.kind = update.kind;
        row.value = update.value;
        const QString what = QString::fromStdString(AlarmListRules::channelText(row) + " " +
                                                    AlarmListRules::kindText(update.kind) + " " +
                                                    AlarmListRules::valueText(row));
        if (m_notifier != nullptr) {
            m_notifier->notify(
                tr("报警：%1").arg(what),
                QString::fromStdString(update.work + " " + timeStampText(update.time)));
        }
        if (m_sound) {
            ++m_sounds;
            QApplication::beep();
        }
    }
    emit changed();
}

void AlarmCenter::unwatch(int source) {
    m_rules.unwatch(source);
    emit changed();
}

void AlarmCenter::acknowledge(const std::vector<size_t>& selectedRows) {
    for (const AlarmListKey& key : m_rules.toAcknowledge(selectedRows)) {
        const auto found = m_sources.find(key.source);
        if (found != m_sources.end() && found->second.first != nullptr) {
            found->second.second(key.channel, key.kind);
        }
    }
}

QString AlarmCenter::statusLine() const {
    return QString::fromStdString(m_rules.statusLine());
}

void AlarmCenter::setSoundOn(bool on) {
    m_sound = on;
    Settings().setAlarmSound(on);
}

}  // namespace tervo::gui
