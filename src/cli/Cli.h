#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tervo::cli {

// Exit statuses of tervo-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the controller refused or did not answer
constexpr int kExitUsage = 2;

// Runs one tervo-cli command line (without the program name).
int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace tervo::cli
