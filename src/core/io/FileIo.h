#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervo {

// The whole file into memory; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out);

// Replaces the file at `path` with `bytes` so that a crash at any moment leaves either the old
// file or the new one, never a torn one: a sibling temporary file is written, flushed to disk
// and renamed over the target. False (with the target untouched) when any step fails.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace tervo
