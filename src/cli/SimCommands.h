#pragma once

#include <ostream>

#include "cli/CliCommon.h"

namespace tervo::cli {

// search [--port COMn|auto] [--baud B|auto] [--addr A|auto]: the automatic search of the bus,
// one result line per controller that answered, as the search dialog lists them.
int commandSearch(const Options& options, std::ostream& out, std::ostream& err);
// Whether `path` names an instrument template (.sim in any case).
bool isTemplatePath(const std::string& path);
// dump FILE.sim: the panels of an instrument template.
int dumpTemplate(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace tervo::cli
