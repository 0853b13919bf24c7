#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/widgets/LinkOpener.h"
#include "support/FakeSerial.h"

namespace tervo::testing {

// The scripted serial port of FakeOpener for the link threads: every step runs under one lock,
// so the test may script and inspect it while the threads use it. While `hold` is set, reads
// wait (outside the lock) until it is cleared, so a test sees an exchange under way. It also
// records how many devices of one port were ever open at once. Installed as the views' opener
// for its lifetime.
class LockedOpener : public SerialOpener {
public:
    LockedOpener() { gui::setLinkOpener(this); }
    ~LockedOpener() override {
        gui::setLinkOpener(nullptr);
        hold(false);
    }
    LockedOpener(const LockedOpener&) = delete;
    LockedOpener& operator=(const LockedOpener&) = delete;

    // Runs `f` on the FakeOpener under the lock and returns what it returns.
    template <typename F>
    auto with(F f) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_fake);
    }
    int opens() {
        return with([](FakeOpener& o) { return o.opens; });
    }
    std::vector<std::vector<uint8_t>> written() {
        return with([](FakeOpener& o) { return o.written; });
    }
    std::vector<std::string> portNames() {
        return with([](FakeOpener& o) { return o.portNames; });
    }
    LineSettings line() {
        return with([](FakeOpener& o) { return o.line; });
    }
    void reply(std::vector<uint8_t> bytes) {
        with([&bytes](FakeOpener& o) { o.replies.push_back(std::move(bytes)); });
    }
    void failAt(FakeOpener::Step step) {
        with([step](FakeOpener& o) { o.failAt = step; });
    }
    // The most devices of `port` that were open at the same time.
    int mostOpenAtOnce(const std::string& port) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_most[port];
    }

    void hold(bool on) {
        {
            std::lock_guard<std::mutex> lock(m_gateMutex);
            m_held = on;
        }
        m_gate.notify_all();
    }
    // Reads waiting at the gate right now.
    int waiting() {
        std::lock_guard<std::mutex> lock(m_gateMutex);
        return m_waiting;
    }

    std::unique_ptr<SerialDevice> open(const std::string& portName) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::unique_ptr<SerialDevice> device = m_fake.open(portName);
        if (!device) {
            return nullptr;
        }
        m_most[portName] = std::max(m_most[portName], ++m_open[portName]);
        return std::make_unique<Device>(*this, portName, std::move(device));
    }

private:
    class Device : public SerialDevice {
    public:
        Device(LockedOpener& owner, std::string port, std::unique_ptr<SerialDevice> inner)
            : m_owner(owner), m_port(std::move(port)), m_inner(std::move(inner)) {}
        ~Device() override {
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            --m_owner.m_open[m_port];
            m_inner.reset();
        }
        bool getTimeouts(SerialTimeouts& out) override {
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            return m_inner->getTimeouts(out);
        }
        bool setTimeouts(const SerialTimeouts& t) override {
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            return m_inner->setTimeouts(t);
        }
        bool getLineSettings(LineSettings& out) override {
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            return m_inner->getLineSettings(out);
        }
        bool setLineSettings(const LineSettings& s) override {
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            return m_inner->setLineSettings(s);
        }
        size_t write(const uint8_t* data, size_t length) override {
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            return m_inner->write(data, length);
        }
        size_t read(uint8_t* data, size_t length) override {
            m_owner.waitAtGate();
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            return m_inner->read(data, length);
        }

    private:
        LockedOpener& m_owner;
        std::string m_port;
        std::unique_ptr<SerialDevice> m_inner;
    };

    void waitAtGate() {
        std::unique_lock<std::mutex> lock(m_gateMutex);
        ++m_waiting;
        // Bounded, so a test that forgets the gate still ends.
        m_gate.wait_for(lock, std::chrono::seconds(20), [this] { return !m_held; });
        --m_waiting;
    }

    std::mutex m_mutex;
    FakeOpener m_fake;
    std::map<std::string, int> m_open;
    std::map<std::string, int> m_most;

    std::mutex m_gateMutex;
    std::condition_variable m_gate;
    bool m_held = false;
    int m_waiting = 0;
};

}  // namespace tervo::testing
