#include "link/PortMap.h"

#include <array>
#include <cstdlib>

namespace tervo {

namespace {

std::array<std::string, kPortCount>& applicationPaths() {
    static std::array<std::string, kPortCount> paths;
    return paths;
}

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
    const std::string& chosen = applicationPaths()[portIndex];
    return chosen.empty() ? defaultPortPath(portIndex) : chosen;
}

void setPortPath(int portIndex, const std::string& path) {
    if (inRange(portIndex)) {
        applicationPaths()[portIndex] = path;
    }
}

}  // namespace tervo
