#pragma once

#include <string>

#include "core/work/WorkFileLayout.h"

namespace tervo {

// Reads a record file as its last complete image: the entries of a journal beside it (one a
// live recorder holds, or one its crash left) are laid over what is read. Nothing is written:
// with `journalLeft` set, the caller replays a crash's journal into the file afterwards
// (recoverRecordFile, off any thread that must stay responsive). The file is parsed as
// parseRecording says. CannotOpen: the file cannot be opened or is not a regular file. Busy: a
// recorder changed what was read under every attempt (it is not taken as the file).
FileStatus readRecording(const std::string& path, Recording& out);

}  // namespace tervo
