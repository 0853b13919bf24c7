#pragma once

#include <string>
#include <vector>

#include "emu/PtyBus.h"

namespace tervo::emu {

// The qt570-emu command line into bus options; false with `error` set for a usage error.
bool parseEmuArguments(const std::vector<std::string>& arguments, BusOptions& options,
                       std::string& error);

extern const char* const kEmuUsage;

}  // namespace tervo::emu
