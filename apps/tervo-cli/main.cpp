#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
    return tervo::cli::runCli(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
}
