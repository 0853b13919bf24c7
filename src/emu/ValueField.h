#pragma once

#include <string>

namespace tervo::emu {

// The five characters a controller display shows for a value: right-aligned, with as many
// decimals as fit but no trailing zeros beyond the first (" 25.0", "23.46", "0.125", "1234.",
// "12345"). Values beyond what five characters hold are shown at the display's limits.
std::string formatValueField(double value);

// A written value field as the controller accepts it: optional blanks, an optional '-', digits
// with at most one '.', at least one digit. A status parameter also takes ">nnnn".
bool parseWrittenValue(const std::string& field, bool statusParameter, double& value);

// The status form of a status parameter: ">0002".
std::string formatStatusField(int status);

}  // namespace tervo::emu
