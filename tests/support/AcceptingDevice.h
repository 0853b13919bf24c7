#pragma once

#include "core/link/SerialDevice.h"

namespace tervo::testing {

// A fake serial device that takes every timeout and line setting; the fakes built on it say
// only what they do with the frames written and read.
class AcceptingDevice : public SerialDevice {
public:
    bool getTimeouts(SerialTimeouts& out) override {
        out = {};
        return true;
    }
    bool setTimeouts(const SerialTimeouts&) override { return true; }
    bool getLineSettings(LineSettings& out) override {
        out = {};
        return true;
    }
    bool setLineSettings(const LineSettings&) override { return true; }
};

}  // namespace tervo::testing
