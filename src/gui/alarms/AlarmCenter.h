#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

#include "core/alarms/AlarmListRules.h"
#include "gui/alarms/AlarmNotifier.h"

namespace tervo::gui {

// The alarms of every open work in one place: the list window "报警" shows them, the main
// window's status bar says when any waits for "确认", a new one is announced on the desktop and,
// when the operator chose so, with a sound. Acknowledgements go back to the work that owns the
// alarm, which logs and publishes them and reports the new state here.
class AlarmCenter : public QObject {
    Q_OBJECT
public:
    // The work's side of an acknowledgement: channel from 1, kind.
    using Acknowledge = std::function<void(int channel, AlarmKind kind)>;

    explicit AlarmCenter(QObject* parent = nullptr);
    ~AlarmCenter() override;

    // A work that reports alarms; the number names it in its reports. When `owner` goes, its
    // alarms stay in the list, no longer watched.
    int addSource(QObject* owner, Acknowledge acknowledge);
    void report(const AlarmListUpdate& update);
    // The work stopped watching (its run stopped).
    void unwatch(int source);

    // "确认": the selected rows' open alarms, or all open alarms when none is selected.
    void acknowledge(const std::vector<size_t>& selectedRows);

    const AlarmListRules& rules() const { return m_rules; }
    QString statusLine() const;

    // The desktop notifier (tests put a fake in; nullptr is none).
    void setNotifier(AlarmNotifier* notifier) { m_notifier = notifier; }
    // A sound for each new alarm; the choice is kept in the settings ("Alarms/Sound").
    bool soundOn() const { return m_sound; }
    void setSoundOn(bool on);
    // How many sounds were made (tests).
    int soundsMade() const { return m_sounds; }

signals:
    void changed();

private:
    AlarmListRules m_rules;
    std::map<int, std::pair<QPointer<QObject>, Acknowledge>> m_sources;
    int m_nextSource = 1;
    std::unique_ptr<DesktopNotifier> m_desktop;
    AlarmNotifier* m_notifier = nullptr;
    bool m_sound = false;
    int m_sounds = 0;
};

}  // namespace tervo::gui
