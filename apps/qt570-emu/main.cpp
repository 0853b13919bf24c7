#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "emu/EmuOptions.h"
#include "emu/PtyBus.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) {
    g_stop = 1;
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::fputs(tervo::emu::kEmuUsage, stdout);
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::puts("qt570-emu " TERVO_VERSION);
        return 0;
    }
    tervo::emu::BusOptions options;
    std::string error;
    if (!tervo::emu::parseEmuArguments(arguments, options, error)) {
        std::fprintf(stderr, "qt570-emu: %s\n%s", error.c_str(), tervo::emu::kEmuUsage);
        return 2;
    }
    // Handlers first: the link appears as the bus starts, and whoever sees it may stop the
    // emulator at once; that must still remove the link.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    tervo::emu::PtyBus bus(options);
    if (!bus.start(&error)) {
        std::fprintf(stderr, "qt570-emu: %s\n", error.c_str());
        return 1;
    }
    std::string list;
    for (int a : options.addresses) {
        list += (list.empty() ? "" : ",") + std::to_string(a);
    }
    std::printf("qt570-emu: controllers %s at %u baud on %s -> %s\n", list.c_str(), options.baud,
                options.linkPath.c_str(), bus.devicePath().c_str());
    std::fflush(stdout);
    while (!g_stop) {
        usleep(100000);
    }
    bus.stop();
    return 0;
}
