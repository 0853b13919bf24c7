#pragma once

#include <bit>
#include <cstdint>

namespace tervo {

// A failed reading or write, as the engine, the record file and the curves store it. Compared
// by bit pattern, never by value.
constexpr double kNoValue = -9999999.0;
constexpr uint64_t kNoValueBits = 0xC16312CFE0000000ull;
static_assert(std::bit_cast<uint64_t>(kNoValue) == kNoValueBits);
inline bool isNoValue(double v) {
    return std::bit_cast<uint64_t>(v) == kNoValueBits;
}

}  // namespace tervo
