#include "core/link/PortMap.h"

#include <array>
#include <cstdlib>
#include <mutex>

namespace tervo {

namespace {

// Set on the user-interface thread (settings, demo mode) and read wherever a port is opened
// (the link threads among them).
std::mutex g_pathsMutex;
std::array<std::string, kPortCount> g_paths;

bool inRange(int portIndex) {
    return portIndex >= 0 && portIndex < kPortCount;
}

}  // namespace

std::string portName(int portIndex) {
    return "COM" + std::to_string(portIndex + 1);
}

int portIndexOfName(const std::string& name) {
    for (int i = 0; i < kPortCount; ++i) {
        if (name == portName(i)) {
            return i;
        }
    }
    return -1;
}

std::string defaultPortPath(int portIndex) {
    return "/dev/ttyUSB" + std::to_string(portIndex);
}

std::string portPath(int portIndex) {
    if (!inRange(portIndex)) {
        return {};
    }
    const std::string variable = "TERVO_COM" + std::to_string(portIndex + 1);
    if (const char* fromEnvironment = std::getenv(variable.c_str());
        fromEnvironment != nullptr && *fromEnvironment != '\0') {
        return fromEnvironment;
    }
    std::string chosen;
    {
        const std::lock_guard<std::mutex> lock(g_pathsMutex);
        chosen = g_paths[static_cast<size_t>(portIndex)];
    }
    return chosen.empty() ? defaultPortPath(portIndex) : chosen;
}

void setPortPath(int portIndex, const std::string& path) {
    if (inRange(portIndex)) {
        const std::lock_guard<std::mutex> lock(g_pathsMutex);
        g_paths[static_cast<size_t>(portIndex)] = path;
    }
}

}  // namespace tervo
