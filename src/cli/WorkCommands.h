#pragma once

#include <ostream>

#include "cli/CliCommon.h"

namespace tervo::cli {

// record WORK.awt --out FILE.alt [--cycles N | --seconds S]: the sampling engine in real time
// on the mapped ports, one line per completed cycle; Ctrl-C stops cleanly.
int commandRecord(const Options& options, std::ostream& out, std::ostream& err);
// dump FILE: a readable summary of a work template, record file or curve file.
int commandDump(const Options& options, std::ostream& out, std::ostream& err);
// export FILE.alt [--out FILE.csv]: the rows as UTF-8 CSV, the occurrences beside them.
int commandExport(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace tervo::cli
