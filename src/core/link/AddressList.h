#pragma once

#include <string>
#include <vector>

namespace tervo {

// A controller answers at a bus address from 0 to 99.
constexpr bool isStationAddress(int address) {
    return address >= 0 && address <= 99;
}

// Station addresses as typed: "0-3", "5", "0,2,7" or a mix ("0-3,9"). Addresses run 0..99;
// the list keeps the typed order without repeats. False for anything else.
bool parseAddressList(const std::string& text, std::vector<int>& addresses);

}  // namespace tervo
