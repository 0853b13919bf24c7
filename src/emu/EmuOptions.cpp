#include "emu/EmuOptions.h"

#include "core/link/AddressList.h"
#include "core/text/ValueText.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace tervo::emu {

const char* const kEmuUsage =
    "usage: qt570-emu --link PATH --addresses LIST [--baud B] [--speed N] [--turnaround MS]\n"
    "                 [--fault ADDR:KIND]... [--fault-file FILE]\n"
    "  LIST   addresses 0..99: 0-3, 5 or 0,2,7\n"
    "  B      300, 600, 1200, 2400, 4800, 9600 (default) or 19200\n"
    "  N      plant seconds per second, e.g. 60 for a minute a second (default 1)\n"
    "  MS     turnaround before replying, milliseconds (default 5)\n"
    "  KIND   silent (no answer), nak (every write refused), bcc (wrong block check),\n"
    "         short or long (read replies a byte short or long), delay=MS (answers MS\n"
    "         later), garbage (random bytes before, instead of or after each answer),\n"
    "         other (read replies answer another parameter: SP for PV, PV for the rest)\n"
    "  FILE   ADDR:KIND words separated by blanks or lines, read at start when it exists\n"
    "         and again on each SIGUSR1 (kill -USR1 PID), replacing every fault; a missing\n"
    "         file means no faults. Each set taken is printed as 'qt570-emu: faults #K: ...'\n";

namespace {

template <typename T>
bool parseNumber(const std::string& text, T& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool parseFaultList(const std::string& text, const std::vector<int>& addresses,
                    std::map<int, Faults>& faults, std::string& error) {
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t\r\n", at)) != std::string::npos) {
        const size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end;
        const size_t colon = word.find(':');
        int address = -1;
        if (colon == std::string::npos || !parseNumber(word.substr(0, colon), address) ||
            std::find(addresses.begin(), addresses.end(), address) == addresses.end() ||
            !applyFaultKind(word.substr(colon + 1), faults[address])) {
            error = "bad fault (ADDR:KIND with ADDR on the bus): " + word;
            return false;
        }
    }
    return true;
}

std::string faultListText(const std::map<int, Faults>& faults) {
    std::string text;
    auto add = [&](int address, const std::string& kind) {
        text += (text.empty() ? "" : " ") + std::to_string(address) + ":" + kind;
    };
    for (const auto& [address, f] : faults) {
        const std::pair<bool, std::string> kinds[] = {
            {f.silent, "silent"},
            {f.nakWrites, "nak"},
            {f.corruptBcc, "bcc"},
            {f.lengthDelta < 0, "short"},
            {f.lengthDelta > 0, "long"},
            {f.extraDelayMs != 0, "delay=" + std::to_string(f.extraDelayMs)},
            {f.garbage, "garbage"},
            {f.otherParameter, "other"},
        };
        for (const auto& [on, kind] : kinds) {
            if (on) {
                add(address, kind);
            }
        }
    }
    return text.empty() ? "none" : text;
}

bool parseEmuArguments(const std::vector<std::string>& arguments, BusOptions& options,
                       std::string& error, std::string* faultFile) {
    std::vector<std::string> faults;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& flag = arguments[i];
        if (i + 1 >= arguments.size()) {
            error = "missing value after " + flag;
            return false;
        }
        const std::string& value = arguments[++i];
        if (flag == "--link") {
            options.linkPath = value;
        } else if (flag == "--addresses") {
            if (!parseAddressList(value, options.addresses)) {
                error = "bad address list: " + value;
                return false;
            }
        } else if (flag == "--baud") {
            const uint32_t allowed[] = {300, 600, 1200, 2400, 4800, 9600, 19200};
            if (!parseNumber(value, options.baud) ||
                std::find(std::begin(allowed), std::end(allowed), options.baud) ==
                    std::end(allowed)) {
                error = "bad baud rate: " + value;
                return false;
            }
        } else if (flag == "--speed") {
            char* end = nullptr;
            options.speed = parseDouble(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(options.speed > 0.0) ||
                options.speed > 100000.0) {
                error = "bad speed: " + value;
                return false;
            }
        } else if (flag == "--turnaround") {
            if (!parseNumber(value, options.turnaroundMs) || options.turnaroundMs < 0 ||
                options.turnaroundMs > 10000) {
                error = "bad turnaround: " + value;
                return false;
            }
        } else if (flag == "--fault") {
            faults.push_back(value);
        } else if (flag == "--fault-file" && faultFile != nullptr) {
            *faultFile = value;
        } else {
            error = "unknown option " + flag;
            return false;
        }
    }
    if (options.linkPath.empty() || options.addresses.empty()) {
        error = "--link and --addresses are required";
        return false;
    }
    for (const std::string& fault : faults) {
        if (fault.empty() || fault.find_first_of(" \t\r\n") != std::string::npos ||
            !parseFaultList(fault, options.addresses, options.faults, error)) {
            error = "bad fault (ADDR:KIND with ADDR on the bus): " + fault;
            return false;
        }
    }
    return true;
}

}  // namespace tervo::emu
