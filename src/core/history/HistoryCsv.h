#pragma once

#include <ostream>
#include <string>

#include "work/WorkFiles.h"

namespace tervo {

// The rows as UTF-8 CSV: "时间" and the channel names, then per row its time stamp and each
// value in the shortest text that reads back as the same double (empty for a failed reading).
void writeRowsCsv(std::ostream& out, const Recording& recording);
// The occurrences: "时间,事件", then the time stamp and the event's name ("#k" for an index
// that names no event).
void writeEventsCsv(std::ostream& out, const Recording& recording);
// "FILE.csv" -> "FILE_events.csv".
std::string eventsCsvPath(const std::string& csvPath);
// Writes the rows to `csvPath` and the occurrences to eventsCsvPath(csvPath), each starting
// with the UTF-8 byte order mark so spreadsheets read the Chinese names. Both are streamed
// into temporaries beside their targets and put in place only when both could be written, so
// a failure leaves the old files. Returns the path that could not be written, empty when both
// were.
std::string exportHistoryCsv(const std::string& csvPath, const Recording& recording);

}  // namespace tervo
