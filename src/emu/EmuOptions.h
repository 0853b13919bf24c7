#pragma once

#include <map>
#include <string>
#include <vector>

#include "emu/PtyBus.h"

namespace tervo::emu {

// The qt570-emu command line into bus options; false with `error` set for a usage error.
// `faultFile` receives the --fault-file path, if any.
bool parseEmuArguments(const std::vector<std::string>& arguments, BusOptions& options,
                       std::string& error, std::string* faultFile = nullptr);

// ADDR:KIND words separated by blanks or line ends, every ADDR one of `addresses`; the kinds
// of one address add up. False with `error` naming the first bad word, `faults` then as given.
bool parseFaultList(const std::string& text, const std::vector<int>& addresses,
                    std::map<int, Faults>& faults, std::string& error);
// The faults as ADDR:KIND words in address order, "none" when no controller has any.
std::string faultListText(const std::map<int, Faults>& faults);

extern const char* const kEmuUsage;

}  // namespace tervo::emu
