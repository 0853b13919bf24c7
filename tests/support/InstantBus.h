#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/link/SerialDevice.h"
#include "emu/ControllerBus.h"
#include "support/AcceptingDevice.h"

namespace tervo::testing {

// Emulated controllers behind ports that answer at once: the real frames and replies of the
// link, without line time, so hours of sampling run in milliseconds. Each port ("COM1"..)
// has its own bus; a port without one is absent.
class InstantBus : public SerialOpener {
public:
    emu::ControllerBus& addPort(const std::string& port, const std::vector<int>& addresses) {
        return m_buses.try_emplace(port, addresses).first->second;
    }
    emu::ControllerBus& port(const std::string& name) { return m_buses.at(name); }

    // Every frame written, per port, in order.
    std::map<std::string, std::vector<std::vector<uint8_t>>> written;

    std::unique_ptr<SerialDevice> open(const std::string& portName) override {
        auto it = m_buses.find(portName);
        if (it == m_buses.end()) {
            return nullptr;
        }
        return std::make_unique<Device>(*this, portName, it->second);
    }

private:
    class Device : public AcceptingDevice {
    public:
        Device(InstantBus& owner, std::string port, emu::ControllerBus& bus)
            : m_owner(owner), m_port(std::move(port)), m_bus(bus) {}
        size_t write(const uint8_t* data, size_t length) override {
            std::vector<uint8_t> frame(data, data + length);
            m_owner.written[m_port].push_back(frame);
            if (auto answer = m_bus.answer(frame)) {
                m_reply = answer->bytes;
            }
            return length;
        }
        size_t read(uint8_t* data, size_t length) override {
            const size_t n = std::min(length, m_reply.size());
            std::copy(m_reply.begin(), m_reply.begin() + static_cast<long>(n), data);
            return n;
        }

    private:
        InstantBus& m_owner;
        std::string m_port;
        emu::ControllerBus& m_bus;
        std::vector<uint8_t> m_reply;
    };

    std::map<std::string, emu::ControllerBus> m_buses;
};

// A clock that moves only when told to.
class FakeClock : public Clock {
public:
    uint32_t tick = 0;
    int64_t seconds = 0;

    uint32_t tickMs() override { return tick; }
    int64_t calendarSeconds() override { return seconds; }
    // Both clocks move together.
    void advance(uint32_t ms) {
        tick += ms;
        m_fraction += ms;
        seconds += m_fraction / 1000;
        m_fraction %= 1000;
    }

private:
    uint32_t m_fraction = 0;
};

}  // namespace tervo::testing
