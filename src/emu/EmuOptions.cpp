#include "emu/EmuOptions.h"

#include "link/AddressList.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace tervo::emu {

const char* const kEmuUsage =
    "usage: qt570-emu --link PATH --addresses LIST [--baud B] [--speed N] [--turnaround MS]\n"
    "                 [--fault ADDR:KIND]...\n"
    "  LIST   addresses 0..99: 0-3, 5 or 0,2,7\n"
    "  B      300, 600, 1200, 2400, 4800, 9600 (default) or 19200\n"
    "  N      plant seconds per second, e.g. 60 for a minute a second (default 1)\n"
    "  MS     turnaround before replying, milliseconds (default 5)\n"
    "  KIND   silent, nak, bcc, short, long, delay=MS\n";

namespace {

template <typename T>
bool parseNumber(const std::string& text, T& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool parseEmuArguments(const std::vector<std::string>& arguments, BusOptions& options,
                       std::string& error) {
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
            options.speed = std::strtod(value.c_str(), &end);
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
        const size_t colon = fault.find(':');
        int address = -1;
        if (colon == std::string::npos || !parseNumber(fault.substr(0, colon), address) ||
            std::find(options.addresses.begin(), options.addresses.end(), address) ==
                options.addresses.end() ||
            !applyFaultKind(fault.substr(colon + 1), options.faults[address])) {
            error = "bad fault (ADDR:KIND with ADDR on the bus): " + fault;
            return false;
        }
    }
    return true;
}

}  // namespace tervo::emu
