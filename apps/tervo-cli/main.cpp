#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "tervo-cli " TERVO_VERSION "\n";
        return 0;
    }
    return tervo::cli::runCli(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
}
