#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tervo {

// Bytes typed as hexadecimal text, read left to right with a pending nibble: a hex digit
// starts a byte or completes the pending one; any other character emits a pending digit on its
// own. "04 30" gives 04 30, "4 30" gives 04 30, "123" gives 12 03, "" gives nothing.
std::vector<uint8_t> parseHexText(std::string_view text);

// "02 50 56" — upper-case pairs separated by single spaces.
std::string hexBytes(const std::vector<uint8_t>& bytes);

}  // namespace tervo
