#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/link/SerialDevice.h"

namespace tervo::testing {

// A scripted serial port: fails at a chosen step, answers each exchange with the next canned
// reply (an empty reply is silence), and records everything the link did.
class FakeOpener : public SerialOpener {
public:
    enum Step { kNone, kOpen, kGetTimeouts, kGetLine, kSetLine };

    Step failAt = kNone;
    std::deque<std::vector<uint8_t>> replies;

    int opens = 0;
    int openNow = 0;  // devices not yet closed
    std::vector<std::string> portNames;
    std::vector<std::vector<uint8_t>> written;
    std::vector<size_t> readSizes;
    SerialTimeouts timeouts;
    LineSettings line;

    std::unique_ptr<SerialDevice> open(const std::string& portName) override {
        portNames.push_back(portName);
        if (failAt == kOpen) {
            return nullptr;
        }
        ++opens;
        ++openNow;
        return std::make_unique<Device>(*this);
    }

private:
    class Device : public SerialDevice {
    public:
        explicit Device(FakeOpener& o) : m_o(o) {}
        ~Device() override { --m_o.openNow; }
        bool getTimeouts(SerialTimeouts& out) override {
            out = SerialTimeouts{};
            return m_o.failAt != kGetTimeouts;
        }
        bool setTimeouts(const SerialTimeouts& t) override {
            m_o.timeouts = t;
            return true;
        }
        bool getLineSettings(LineSettings& out) override {
            out = LineSettings{};
            return m_o.failAt != kGetLine;
        }
        bool setLineSettings(const LineSettings& s) override {
            m_o.line = s;
            return m_o.failAt != kSetLine;
        }
        size_t write(const uint8_t* data, size_t length) override {
            m_o.written.emplace_back(data, data + length);
            return length;
        }
        size_t read(uint8_t* data, size_t length) override {
            m_o.readSizes.push_back(length);
            if (m_o.replies.empty()) {
                return 0;
            }
            std::vector<uint8_t> reply = std::move(m_o.replies.front());
            m_o.replies.pop_front();
            const size_t n = std::min(length, reply.size());
            std::copy(reply.begin(), reply.begin() + static_cast<long>(n), data);
            return n;
        }

    private:
        FakeOpener& m_o;
    };
};

// A well-formed 10-byte read reply carrying `field` (five characters) for `mnemonic`.
inline std::vector<uint8_t> readReply(const std::string& mnemonic, const std::string& field) {
    std::vector<uint8_t> r{0x02, static_cast<uint8_t>(mnemonic[0]),
                           static_cast<uint8_t>(mnemonic[1])};
    for (char c : field) {
        r.push_back(static_cast<uint8_t>(c));
    }
    r.push_back(0x03);
    uint8_t bcc = 0;
    for (size_t i = 1; i <= 8; ++i) {
        bcc ^= r[i];
    }
    r.push_back(bcc);
    return r;
}

}  // namespace tervo::testing
