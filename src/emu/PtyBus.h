#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emu/ControllerBus.h"

namespace tervo::emu {

struct BusOptions {
    std::string linkPath;          // where the pseudo-terminal's device is linked
    std::vector<int> addresses;    // controllers on this bus, 0..99
    uint32_t baud = 9600;          // the controllers' line rate
    double speed = 1.0;            // plant seconds per wall-clock second
    int turnaroundMs = 5;          // from the end of a request to the first reply byte
    std::map<int, Faults> faults;  // per address
};

// Controllers sharing one RS-485 line, served on a pseudo-terminal whose device is linked at
// BusOptions::linkPath. The bus hears only frames sent at its baud rate (it reads the line
// settings the other side applied), sees a request only after its line time, and paces its
// replies at the character time of the baud (ten bits per character). One thread serves the
// line; the methods below may be called from any thread.
class PtyBus {
public:
    explicit PtyBus(BusOptions options);
    ~PtyBus();
    PtyBus(const PtyBus&) = delete;
    PtyBus& operator=(const PtyBus&) = delete;

    // Creates the pseudo-terminal, links it and starts serving. False with `error` set when
    // it cannot.
    bool start(std::string* error = nullptr);
    // Stops serving, removes the link and closes the pseudo-terminal.
    void stop();

    const std::string& devicePath() const { return m_devicePath; }
    const BusOptions& options() const { return m_options; }

    void setFaults(int address, const Faults& faults);
    double value(int address, int index);
    void setValue(int address, int index, double value);
    Controller::ProgramState programState(int address);
    // Complete frames addressed to `address` that the bus has heard at its baud.
    uint64_t framesHeard(int address);

private:
    using Clock = std::chrono::steady_clock;

    void serve();
    void onByte(uint8_t byte, Clock::time_point at);
    void handleFrame(Clock::time_point lastByteAt);
    bool lineMatchesBaud();
    void advancePlants(Clock::time_point now);
    void sendPaced(const std::vector<uint8_t>& bytes);

    BusOptions m_options;
    std::string m_devicePath;
    int m_master = -1;
    int m_slave = -1;  // held open so the line stays up between the other side's opens
    std::thread m_thread;
    std::atomic<bool> m_running{false};

    std::mutex m_mutex;  // guards the controllers, their faults and counters
    ControllerBus m_bus;
    Clock::time_point m_plantTime;

    std::vector<uint8_t> m_frame;  // the request being received
    Clock::time_point m_frameStart;
    Clock::time_point m_lastByte;
    std::chrono::microseconds m_charTime;
    std::vector<uint8_t> m_reply;  // the answer to the frame just completed
    Clock::time_point m_replyAt;
};

}  // namespace tervo::emu
