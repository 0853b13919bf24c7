#pragma once

#include "link/SerialDevice.h"

namespace tervo {

// Serial ports through termios. "COM1".."COM6" go through the port map, so a name may also
// be a symlink such as /dev/serial/by-id/... or an emulator's pseudo-terminal. Opening per
// exchange means a USB adapter that was unplugged and plugged back works again on the next
// exchange.
class PosixSerialOpener : public SerialOpener {
public:
    std::unique_ptr<SerialDevice> open(const std::string& portName) override;

    // Opens a device path directly (the port map is applied by open()).
    static std::unique_ptr<SerialDevice> openPath(const std::string& path);
};

}  // namespace tervo
