#pragma once

#include <fstream>
#include <string>

namespace tervo::testing {

// A field of this process's /proc/self/status in kB ("VmRSS:", "VmHWM:"), -1 when it is not
// there.
inline long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size() + 1));
        }
    }
    return -1;
}

}  // namespace tervo::testing
