#pragma once

#include <string>

#include "core/work/WorkFileLayout.h"

namespace tervo {

// Reads a record file as its last complete image: a journal that a recorder's crash left
// beside it is replayed first where the file may be written, and the entries of one a live
// recorder holds are laid over what is read. The file is parsed as parseRecording says.
// CannotOpen: the file cannot be opened or is not a regular file.
FileStatus readRecording(const std::string& path, Recording& out);

}  // namespace tervo
