#pragma once

#include <termios.h>

#include "core/link/SerialDevice.h"

namespace tervo {

// Serial ports through termios. "COM1".."COM6" go through the port map, so a name may also
// be a symlink such as /dev/serial/by-id/... or an emulator's pseudo-terminal. Opening per
// exchange means a USB adapter that was unplugged and plugged back works again on the next
// exchange.
//
// A port is Tervo's for one exchange: it is refused (the link's status 4) when another program
// made it exclusive (TIOCEXCL), holds its flock or its UUCP lock file (see UucpLock), and
// otherwise taken with flock, exclusive mode and the lock file, all given back when the device
// closes. Another Tervo process that has the port for an exchange (its lock file says so) is
// waited for, up to kBusyWaitMs; any other holder is refused at once.
class PosixSerialOpener : public SerialOpener {
public:
    // A few exchange times: a silent controller holds the port for about 130 ms.
    static constexpr int kBusyWaitMs = 300;
    // How long a held flock is given without a Tervo lock file beside it: the moment between a
    // Tervo process taking the flock and writing its lock file.
    static constexpr int kUnknownHolderMs = 20;
    // The pause before this process takes a port it gave back this recently, when another
    // Tervo process waiting for it asked for its turn (or no lock file lets it ask).
    static constexpr int kCourtesyMs = 3;

    std::unique_ptr<SerialDevice> open(const std::string& portName) override;
    std::unique_ptr<SerialDevice> openExplained(const std::string& portName, Refusal& why) override;

    // Opens a device path directly (the port map is applied by open()); `why` says why not.
    static std::unique_ptr<SerialDevice> openPath(const std::string& path, Refusal* why = nullptr);
};

// The line settings into a terminal's settings, everything else kept: baud, character size,
// parity (CMSPAR for mark and space), stop bits, and a binary line. False for a format termios
// cannot carry (four data bits, an unknown parity or stop-bit code, a baud rate it lacks).
bool applyLineSettings(termios& t, const LineSettings& settings);

}  // namespace tervo
