#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/link/LinkReason.h"

namespace tervo {

// Read/write timeouts in the controller link's terms (milliseconds). A read of n bytes ends
// when n bytes arrived, when readInterval passes between two received bytes, or when
// readTotalConstant + n * readTotalMultiplier have passed since it started. A write is bounded
// by writeTotalConstant + n * writeTotalMultiplier.
struct SerialTimeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
};

// The four line settings the link changes. Parity: 0 none, 1 odd, 2 even, 3 mark, 4 space.
// Stop bits: 0 one, 1 one and a half, 2 two. Every other setting of the port (flow control and
// the rest) is kept by the device as the driver reported it.
struct LineSettings {
    uint32_t baud = 9600;
    uint8_t dataBits = 8;
    uint8_t parity = 0;
    uint8_t stopBits = 0;
};

// One opened serial port, the platform steps of one exchange. Each step reports success so the
// link can turn exactly that step's failure into its status code. Destroying the device closes
// the port.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    virtual bool getTimeouts(SerialTimeouts& out) = 0;
    virtual bool setTimeouts(const SerialTimeouts& timeouts) = 0;
    virtual bool getLineSettings(LineSettings& out) = 0;
    virtual bool setLineSettings(const LineSettings& settings) = 0;
    // Both return the number of bytes transferred within the timeouts.
    virtual size_t write(const uint8_t* data, size_t length) = 0;
    virtual size_t read(uint8_t* data, size_t length) = 0;
};

// Opens a port by its name ("COM1".."COM6") exclusively; null when the port is absent or held
// by anyone else.
class SerialOpener {
public:
    virtual ~SerialOpener() = default;
    virtual std::unique_ptr<SerialDevice> open(const std::string& portName) = 0;

    // Why an open failed: no device, no permission, held (and by whom).
    struct Refusal {
        LinkReason reason = LinkReason::OpenFailed;
        std::string holder;  // PortHeld: "minicom 1234", when the lock file names a process
    };
    // open(), and on failure why. An opener that cannot tell gives OpenFailed.
    virtual std::unique_ptr<SerialDevice> openExplained(const std::string& portName, Refusal& why) {
        why = Refusal{};
        return open(portName);
    }
};

// The opener every link uses unless a test hands it another one: the platform's serial ports
// through the port map.
SerialOpener& defaultSerialOpener();

}  // namespace tervo
