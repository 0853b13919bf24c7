#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

#include "core/work/WorkFiles.h"

namespace tervo {

// Told how many rows are written so far, while an export runs; returns whether to go on. It is
// called every kCsvProgressRows rows and once more with all the rows when both files are
// written, before either is put in place, so a false then still leaves no file.
using CsvProgress = std::function<bool(size_t rowsWritten)>;
inline constexpr size_t kCsvProgressRows = 4096;

// The rows as UTF-8 CSV: "时间" and the channel names, then per row its time stamp and each
// value in the shortest text that reads back as the same double (empty for a failed reading).
// False when `progress` said to stop (the text then ends at a row boundary).
bool writeRowsCsv(std::ostream& out, const Recording& recording, const CsvProgress& progress = {});
// The occurrences: "时间,事件", then the time stamp and the event's name ("#k" for an index
// that names no event).
void writeEventsCsv(std::ostream& out, const Recording& recording);
// "FILE.csv" -> "FILE_events.csv".
std::string eventsCsvPath(const std::string& csvPath);
enum class CsvExportStatus { Written, Failed, Cancelled };
struct CsvExportOutcome {
    CsvExportStatus status = CsvExportStatus::Written;
    std::string failedPath;  // the file that could not be written, when Failed
};

// Writes the rows to `csvPath` and the occurrences to eventsCsvPath(csvPath), each starting
// with the UTF-8 byte order mark so spreadsheets read the Chinese names. Both are streamed
// into temporaries beside their targets and put in place only when both could be written, so
// a failure or a stop asked by `progress` leaves the old files and no temporary.
CsvExportOutcome exportHistoryCsv(const std::string& csvPath, const Recording& recording,
                                  const CsvProgress& progress = {});

}  // namespace tervo
