#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace tervo::emu {
class PtyBus;
}

namespace tervo::gui {

// Demo mode: emulated controllers on pseudo-terminals in a temporary directory, mapped as
// COM1 (addresses 0-3 at 9600 baud) and COM2 (address 5 at 19200 baud). The mapping is put
// into this process's environment, so it wins over the settings and over any TERVO_COM1/2 the
// user had set. The plants run faster than real time so that values move visibly.
class DemoMode {
public:
    static constexpr double kSpeed = 20.0;

    DemoMode();
    ~DemoMode();
    DemoMode(const DemoMode&) = delete;
    DemoMode& operator=(const DemoMode&) = delete;

    // False with `error` set when a bus cannot be started.
    bool start(QString* error = nullptr);
    void stop();

    // The permanent note of the main window's status bar.
    static QString statusNote();
    QString linkPath(int portIndex) const;
    emu::PtyBus* bus(int portIndex) const;

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<emu::PtyBus>> m_buses;
    QByteArray m_savedEnvironment[2];
    bool m_hadEnvironment[2] = {false, false};
};

}  // namespace tervo::gui
