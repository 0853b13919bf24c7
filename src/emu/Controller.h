#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/link/ParameterTable.h"

namespace tervo::emu {

// How a controller misbehaves, switchable while it runs.
struct Faults {
    bool silent = false;          // answers nothing
    bool nakWrites = false;       // refuses every write
    bool corruptBcc = false;      // read replies carry a wrong block check
    int lengthDelta = 0;          // -1: read replies one byte short, +1: one byte long
    int extraDelayMs = 0;         // waits this much longer before replying
    bool garbage = false;         // random bytes before, instead of or after each answer
    bool otherParameter = false;  // read replies answer another parameter than the one asked

    bool any() const {
        return silent || nakWrites || corruptBcc || lengthDelta != 0 || extraDelayMs != 0 ||
               garbage || otherParameter;
    }
};

// Parses "silent", "nak", "bcc", "short", "long", "delay=MS", "garbage", "other" or "none" into
// `faults`.
bool applyFaultKind(const std::string& kind, Faults& faults);

// One QT570 as the bus sees it: its 49 parameters, a PI(D) loop driving a first-order thermal
// plant, and the ramp/soak program in r1/l1/t1 .. r8/l8/t8 run through "OS". Time is plant
// time in seconds, advanced by the owner; the controller has no clock of its own.
class Controller {
public:
    static constexpr double kAmbient = 20.0;

    enum class ProgramState { Stopped, Running, Held };

    Controller();

    // Integrates the plant and the program over `seconds` of plant time.
    void advance(double seconds);

    // The reply to a read poll of `mnemonic`: the 10-byte frame, or a single EOT for a
    // parameter the controller does not know.
    std::vector<uint8_t> answerPoll(const std::string& mnemonic) const;
    // ACK or NAK for a write select; `bccOk` tells whether the frame's block check was right.
    uint8_t answerSelect(const std::string& mnemonic, const std::string& field, bool bccOk);

    double value(int index) const { return m_values[index]; }
    void setValue(int index, double value);
    ProgramState programState() const { return m_program; }

private:
    void command(int status);
    void runProgram(double seconds);
    void finishProgram();
    double workingSetPoint() const;
    std::string fieldOf(int index) const;

    std::array<double, kParameterCount> m_values{};
    ProgramState m_program = ProgramState::Stopped;
    int m_segment = 0;  // 0..7 while running
    bool m_dwelling = false;
    double m_programSp = 0.0;
    double m_dwellElapsed = 0.0;  // seconds
    int m_cyclesDone = 0;
    double m_integral = 0.0;
};

}  // namespace tervo::emu
