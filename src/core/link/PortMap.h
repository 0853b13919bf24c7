#pragma once

#include <string>

namespace tervo {

// "COM1".."COM6" stay the port names everywhere; this map gives each a device path. The
// environment (TERVO_COM1..TERVO_COM6) wins over a path set by the application (the settings,
// demo mode), which wins over the default /dev/ttyUSB0../dev/ttyUSB5. Indices run 0..5.
constexpr int kPortCount = 6;

std::string portName(int portIndex);           // "COM1".."COM6"
int portIndexOfName(const std::string& name);  // 0..5, or -1 when it is not "COM1".."COM6"
std::string defaultPortPath(int portIndex);
std::string portPath(int portIndex);
// An empty path forgets the application's choice.
void setPortPath(int portIndex, const std::string& path);

}  // namespace tervo
