#include "emu/Controller.h"

#include <algorithm>
#include <cmath>

#include "core/link/SerialLink.h"
#include "emu/ValueField.h"

namespace tervo::emu {

namespace {

constexpr double kStep = 0.25;                // plant integration step, seconds
constexpr double kPlantGain = 3.8;            // degrees above ambient per percent of output power
constexpr double kPlantTimeConstant = 120.0;  // seconds

bool isStatusParameter(int index) {
    return index == 22 || index == 23 || index == kOS;
}
bool isReadOnly(int index) {
    return index == kPV || index == kOP || index == kSP;
}

}  // namespace

bool applyFaultKind(const std::string& kind, Faults& faults) {
    if (kind == "none") {
        faults = Faults{};
    } else if (kind == "silent") {
        faults.silent = true;
    } else if (kind == "nak") {
        faults.nakWrites = true;
    } else if (kind == "bcc") {
        faults.corruptBcc = true;
    } else if (kind == "short") {
        faults.lengthDelta = -1;
    } else if (kind == "long") {
        faults.lengthDelta = 1;
    } else if (kind == "garbage") {
        faults.garbage = true;
    } else if (kind == "other") {
        faults.otherParameter = true;
    } else if (kind.rfind("delay=", 0) == 0 && kind.size() > 6 &&
               kind.find_first_not_of("0123456789", 6) == std::string::npos && kind.size() <= 11) {
        faults.extraDelayMs = std::stoi(kind.substr(6));
    } else {
        return false;
    }
    return true;
}

Controller::Controller() {
    m_values[kPV] = kAmbient;
    m_values[kSL] = 25.0;
    m_values[4] = 200.0;   // HA
    m_values[5] = 0.0;     // LA
    m_values[6] = 10.0;    // DA
    m_values[7] = 10.0;    // XP, degrees
    m_values[8] = 240.0;   // TI, seconds
    m_values[9] = 10.0;    // TD, seconds
    m_values[10] = 20.0;   // HB
    m_values[11] = 20.0;   // LB
    m_values[12] = 2.0;    // CH
    m_values[13] = 2.0;    // CC
    m_values[14] = 1.0;    // RG
    m_values[15] = 400.0;  // HS
    m_values[16] = 0.0;    // LS
    m_values[17] = 0.0;    // BP
    m_values[18] = 100.0;  // HO
    m_values[19] = 0.0;    // SR
    m_values[20] = 0.0;    // Hb, automatic hold band
    m_values[21] = 1.0;    // Lc
    // A small program so that "run" does something visible: up to 50 in 5/min, hold 10 min,
    // up to 80 in 2/min, hold 20 min, down to 30 as fast as it goes, hold 5 min.
    const double program[][3] = {{5.0, 50.0, 10.0}, {2.0, 80.0, 20.0}, {0.0, 30.0, 5.0}};
    for (int n = 1; n <= 3; ++n) {
        m_values[segmentRampIndex(n)] = program[n - 1][0];
        m_values[segmentLevelIndex(n)] = program[n - 1][1];
        m_values[segmentDwellIndex(n)] = program[n - 1][2];
    }
    m_values[kSP] = m_values[kSL];
}

void Controller::setValue(int index, double value) {
    if (index == kOS) {
        command(static_cast<int>(value));
        return;
    }
    m_values[index] = value;
    if (index == kSL && m_program == ProgramState::Stopped) {
        m_values[kSP] = value;
    }
}

void Controller::command(int status) {
    m_values[kOS] = status;
    switch (status) {
        case 2:
            if (m_program == ProgramState::Stopped) {
                m_segment = 0;
                m_dwelling = false;
                m_dwellElapsed = 0.0;
                m_cyclesDone = 0;
                m_programSp = m_values[kPV];
            }
            m_program = ProgramState::Running;
            break;
        case 3:
            if (m_program == ProgramState::Running) {
                m_program = ProgramState::Held;
            }
            break;
        default:
            finishProgram();
            break;
    }
}

void Controller::finishProgram() {
    m_program = ProgramState::Stopped;
    m_values[kOS] = 0;
    m_values[kSP] = m_values[kSL];
}

void Controller::runProgram(double seconds) {
    // A segment whose rate, level and time are all zero ends the program, as does the eighth.
    while (seconds > 0.0 && m_program == ProgramState::Running) {
        const int n = m_segment + 1;
        const double rate = m_values[segmentRampIndex(n)];
        const double level = m_values[segmentLevelIndex(n)];
        const double dwell = m_values[segmentDwellIndex(n)] * 60.0;
        if (rate == 0.0 && level == 0.0 && dwell == 0.0) {
            m_segment = 8;
        } else if (!m_dwelling) {
            const double gap = level - m_programSp;
            const double perSecond = std::abs(rate) / 60.0;
            if (rate == 0.0 || std::abs(gap) <= perSecond * seconds) {
                seconds -= rate == 0.0 ? 0.0 : std::abs(gap) / perSecond;
                m_programSp = level;
                m_dwelling = true;
                m_dwellElapsed = 0.0;
            } else {
                m_programSp += std::copysign(perSecond * seconds, gap);
                seconds = 0.0;
            }
            continue;
        } else if (m_dwellElapsed + seconds < dwell) {
            m_dwellElapsed += seconds;
            seconds = 0.0;
            continue;
        } else {
            seconds -= dwell - m_dwellElapsed;
            m_dwelling = false;
            ++m_segment;
        }
        if (m_segment >= 8) {
            ++m_cyclesDone;
            if (m_cyclesDone >= std::max(1.0, m_values[21])) {
                finishProgram();
                return;
            }
            m_segment = 0;
        }
    }
}

double Controller::workingSetPoint() const {
    return m_program == ProgramState::Stopped ? m_values[kSL] : m_programSp;
}

void Controller::advance(double seconds) {
    // Output power OP from a PID loop (derivative on the measurement) heats a first-order plant
    // toward ambient + gain * OP. Each step is solved implicitly so that any band, integral or
    // derivative time an operator writes gives a stable, if perhaps sluggish, loop.
    while (seconds > 0.0) {
        const double dt = std::min(seconds, kStep);
        seconds -= dt;
        if (m_program == ProgramState::Running) {
            runProgram(dt);
        }
        const double sp = workingSetPoint();
        m_values[kSP] = sp;

        const double pv = m_values[kPV];
        const double gain = 100.0 / std::max(0.1, m_values[7]);
        const double ti = m_values[8];
        const double td = std::max(0.0, m_values[9]);
        const double limit = std::clamp(m_values[18], 0.0, 100.0);

        const double lag = kPlantTimeConstant + kPlantGain * gain * td;
        const double drive = kAmbient + kPlantGain * (gain * sp + m_integral);
        double next = (pv + dt * drive / lag) / (1.0 + dt * (1.0 + kPlantGain * gain) / lag);
        double output = gain * (sp - next) + m_integral - gain * td * (next - pv) / dt;
        if (output < 0.0 || output > limit) {
            output = std::clamp(output, 0.0, limit);
            next = (pv + dt * (kAmbient + kPlantGain * output) / kPlantTimeConstant) /
                   (1.0 + dt / kPlantTimeConstant);
        }
        const double error = sp - next;
        // Integrate only while the output is not pinned against the side the error pushes to.
        if (ti > 0.0 && !((output >= limit && error > 0.0) || (output <= 0.0 && error < 0.0))) {
            m_integral = std::clamp(m_integral + gain * error * dt / ti, 0.0, limit);
        }
        m_values[kOP] = output;
        m_values[kPV] = next;
    }
}

std::string Controller::fieldOf(int index) const {
    return isStatusParameter(index) ? formatStatusField(static_cast<int>(m_values[index]))
                                    : formatValueField(m_values[index]);
}

std::vector<uint8_t> Controller::answerPoll(const std::string& mnemonic) const {
    const int index = parameterIndexOfMnemonic(mnemonic);
    if (index < 0) {
        return {kEOT};
    }
    std::vector<uint8_t> reply{kSTX, static_cast<uint8_t>(mnemonic[0]),
                               static_cast<uint8_t>(mnemonic[1])};
    for (char c : fieldOf(index)) {
        reply.push_back(static_cast<uint8_t>(c));
    }
    reply.push_back(kETX);
    uint8_t bcc = 0;
    for (size_t i = 1; i <= 8; ++i) {
        bcc ^= reply[i];
    }
    reply.push_back(bcc);
    return reply;
}

uint8_t Controller::answerSelect(const std::string& mnemonic, const std::string& field,
                                 bool bccOk) {
    const int index = parameterIndexOfMnemonic(mnemonic);
    if (!bccOk || index < 0 || isReadOnly(index)) {
        return kNAK;
    }
    double value = 0.0;
    if (!parseWrittenValue(field, isStatusParameter(index), value)) {
        return kNAK;
    }
    setValue(index, value);
    return kACK;
}

}  // namespace tervo::emu
