#include <iostream>
#include <string>
#include <vector>

#include "../VersionNote.h"
#include "cli/Cli.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "tervo-cli " TERVO_VERSION "\n" TERVO_LICENCE_NOTE;
        return 0;
    }
    return tervo::cli::runCli(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
}
