#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tervo {

// The 49 controller parameters known by index. A parameter code from 0 to 48 is an index into
// this table; every list of parameters shows the labels in table order, so a list
// position is the table index.
constexpr int kParameterCount = 49;

// Codes 49..256 name nothing: they are neither table indices nor two literal characters.
constexpr uint32_t kFirstLiteralCode = 257;

// The two characters sent on the wire for table index 0..48. The mnemonic array keeps its own
// letter case: index 10 is "HB", 20 is "Hb", 21 is "Lc".
std::string_view parameterMnemonic(int index);

// The display label of index 0..48 ("PV 测量值（只读）"), as UTF-8 for the screen and as
// GBK bytes for records, files and the wire-side world. Its leading label keeps the
// label array's own case ("Hb PID上分离带" for "HB", "LC ..." for "Lc").
std::string_view parameterLabelUtf8(int index);
const std::string& parameterLabelGbk(int index);

bool isTableIndex(uint32_t code);
bool isLiteralCode(uint32_t code);
bool isValidParameterCode(uint32_t code);

// A typed two-character mnemonic as a literal code: first character in the low byte.
uint32_t literalCode(char first, char second);

// The two mnemonic characters a valid code puts on the wire; empty for codes 49..256.
std::string mnemonicOfCode(uint32_t code);

// How a parameter code is shown: above 255 its two literal characters (low byte first),
// otherwise the label of that index. Codes 49..255 name no table entry and are shown as
// "?" followed by the number, never read past the table.
std::string parameterCodeDisplayUtf8(uint32_t code);

// Ramp/soak segment n (1..8): ramp slope, level set value and dwell time indices.
constexpr int segmentRampIndex(int n) {
    return 25 + 3 * (n - 1);
}
constexpr int segmentLevelIndex(int n) {
    return 26 + 3 * (n - 1);
}
constexpr int segmentDwellIndex(int n) {
    return 27 + 3 * (n - 1);
}

// Named indices used across the system.
enum ParameterIndex : int {
    kPV = 0,
    kOP = 1,
    kSP = 2,
    kSL = 3,
    kOS = 24,
};

// The table index whose mnemonic is exactly `mnemonic` (case-sensitive), or -1.
int parameterIndexOfMnemonic(std::string_view mnemonic);

// The table mnemonics an operator who typed `name` (not in the table) most likely meant: those
// that differ only in letter case ("L1" gives "l1", "hb" gives "HB" and "Hb"), else the table's
// name for what other controllers call it ("SV", the set value, gives "SL").
std::vector<std::string> suggestedMnemonics(std::string_view name);

}  // namespace tervo
