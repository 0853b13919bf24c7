#pragma once

#include <QString>

namespace tervo::gui {

// Where a new alarm is announced outside the window. Tests put a recording fake in its place.
class AlarmNotifier {
public:
    virtual ~AlarmNotifier() = default;
    virtual void notify(const QString& summary, const QString& body) = 0;
};

// The desktop's notifications (freedesktop.org Notify over the session D-Bus). The call is sent
// without waiting for its answer; without a session bus, or without a notification service on
// it, nothing is shown and nothing is said.
class DesktopNotifier : public AlarmNotifier {
public:
    void notify(const QString& summary, const QString& body) override;
    // False when no session bus can be reached from this process: its address is not set and
    // the usual socket under XDG_RUNTIME_DIR does not exist, so connecting would only start
    // the autolaunch of a bus.
    static bool sessionBusReachable();
};

}  // namespace tervo::gui
