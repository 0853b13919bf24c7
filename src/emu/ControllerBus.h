#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "emu/Controller.h"

namespace tervo::emu {

// What goes back on the line for one request, and how much later than usual.
struct Answer {
    std::vector<uint8_t> bytes;
    int extraDelayMs = 0;
};

// Controllers sharing one line, answering complete request frames. Not synchronised: the
// owner serialises access.
class ControllerBus {
public:
    explicit ControllerBus(const std::vector<int>& addresses,
                           const std::map<int, Faults>& faults = {});

    // The answer to one complete frame (a poll of 8 bytes or a select of 15), or nothing: a
    // frame for another address, a malformed one, or a silent controller.
    std::optional<Answer> answer(const std::vector<uint8_t>& frame);
    void advance(double plantSeconds);

    Controller* controller(int address);
    void setFaults(int address, const Faults& faults) { m_faults[address] = faults; }
    uint64_t framesHeard(int address) const;

private:
    // Line noise around `bytes`, never an answer the link could take for a good one.
    void addGarbage(std::vector<uint8_t>& bytes);

    std::map<int, Controller> m_controllers;
    std::map<int, Faults> m_faults;
    std::map<int, uint64_t> m_heard;
    std::mt19937 m_random{570};  // the same noise in every run
};

}  // namespace tervo::emu
