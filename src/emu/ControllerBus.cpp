#include "emu/ControllerBus.h"

#include <string>

#include "core/link/SerialLink.h"

namespace tervo::emu {

namespace {

bool addressOf(const std::vector<uint8_t>& frame, int& address) {
    auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
    if (!digit(frame[1]) || frame[1] != frame[2] || !digit(frame[3]) || frame[3] != frame[4]) {
        return false;
    }
    address = (frame[1] - '0') * 10 + (frame[3] - '0');
    return true;
}

}  // namespace

ControllerBus::ControllerBus(const std::vector<int>& addresses, const std::map<int, Faults>& faults)
    : m_faults(faults) {
    for (int address : addresses) {
        m_controllers[address];
    }
}

Controller* ControllerBus::controller(int address) {
    auto it = m_controllers.find(address);
    return it == m_controllers.end() ? nullptr : &it->second;
}

uint64_t ControllerBus::framesHeard(int address) const {
    auto it = m_heard.find(address);
    return it == m_heard.end() ? 0 : it->second;
}

void ControllerBus::advance(double plantSeconds) {
    for (auto& [address, controller] : m_controllers) {
        controller.advance(plantSeconds);
    }
}

std::optional<Answer> ControllerBus::answer(const std::vector<uint8_t>& frame) {
    const bool select = frame.size() == 15 && frame[0] == kEOT && frame[5] == kSTX;
    const bool poll = frame.size() == 8 && frame[0] == kEOT && frame[7] == kENQ;
    int address = 0;
    if ((!select && !poll) || !addressOf(frame, address)) {
        return std::nullopt;
    }
    Controller* c = controller(address);
    if (c == nullptr) {
        return std::nullopt;
    }
    ++m_heard[address];
    const Faults faults = m_faults[address];
    if (faults.silent) {
        return std::nullopt;
    }
    Answer answer;
    answer.extraDelayMs = faults.extraDelayMs;
    if (select) {
        const std::string mnemonic(frame.begin() + 6, frame.begin() + 8);
        const std::string field(frame.begin() + 8, frame.begin() + 13);
        uint8_t bcc = 0;
        for (size_t i = 6; i <= 13; ++i) {
            bcc ^= frame[i];
        }
        answer.bytes.push_back(
            faults.nakWrites ? kNAK : c->answerSelect(mnemonic, field, bcc == frame[14]));
        if (faults.garbage) {
            addGarbage(answer.bytes);
        }
        return answer;
    }
    std::string mnemonic(frame.begin() + 5, frame.begin() + 7);
    if (faults.otherParameter) {
        // The answer to another poll, as a controller that mixes up its requests gives it.
        mnemonic = mnemonic == "PV" ? "SP" : "PV";
    }
    answer.bytes = c->answerPoll(mnemonic);
    if (answer.bytes.size() == 10) {
        if (faults.corruptBcc) {
            answer.bytes[9] ^= 0x5A;
        }
        if (faults.lengthDelta < 0) {
            answer.bytes.pop_back();
        } else if (faults.lengthDelta > 0) {
            answer.bytes.push_back(kETX);
        }
    }
    if (faults.garbage) {
        addGarbage(answer.bytes);
    }
    return answer;
}

void ControllerBus::addGarbage(std::vector<uint8_t>& bytes) {
    // Before, instead of or after the answer; all of it fits one read of the link (20 bytes),
    // so nothing is left on the line for the next exchange. A read reply is good only at
    // exactly ten bytes and a write's only when its first byte is ACK, so the noise never
    // comes to ten bytes in all and never holds ACK: garbage is always a failed answer (a
    // write answer with its ACK first excepted).
    enum { kBefore, kInstead, kAfter };
    const int where = std::uniform_int_distribution<int>(kBefore, kAfter)(m_random);
    const size_t kept = where == kInstead ? 0 : bytes.size();
    const size_t room = kept < 19 ? 20 - kept : 1;
    size_t count = std::uniform_int_distribution<size_t>(1, room)(m_random);
    if (kept + count == 10) {
        count = count > 1 ? count - 1 : count + 1;
    }
    std::vector<uint8_t> noise(count);
    std::uniform_int_distribution<int> byte(0, 254);
    for (uint8_t& b : noise) {
        const int value = byte(m_random);
        b = static_cast<uint8_t>(value >= kACK ? value + 1 : value);
    }
    if (where == kInstead) {
        bytes = std::move(noise);
    } else {
        bytes.insert(where == kBefore ? bytes.begin() : bytes.end(), noise.begin(), noise.end());
    }
}

}  // namespace tervo::emu
