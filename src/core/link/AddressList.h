#pragma once

#include <string>
#include <vector>

namespace tervo {

// Station addresses as typed: "0-3", "5", "0,2,7" or a mix ("0-3,9"). Addresses run 0..99;
// the list keeps the typed order without repeats. False for anything else.
bool parseAddressList(const std::string& text, std::vector<int>& addresses);

}  // namespace tervo
