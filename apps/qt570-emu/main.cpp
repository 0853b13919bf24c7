#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "../VersionNote.h"
#include "emu/EmuOptions.h"
#include "emu/PtyBus.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_reread = 0;
void onSignal(int) {
    g_stop = 1;
}
void onReread(int) {
    g_reread = 1;
}

// The faults the fault file names; a missing file names none. False with `error` set when the
// file cannot be read or holds a bad word.
bool readFaultFile(const std::string& path, const tervo::emu::BusOptions& options,
                   std::map<int, tervo::emu::Faults>& faults, std::string& error) {
    faults.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return true;
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    return tervo::emu::parseFaultList(text.str(), options.addresses, faults, error);
}

void applyFaults(tervo::emu::PtyBus& bus, const std::map<int, tervo::emu::Faults>& faults) {
    for (int address : bus.options().addresses) {
        const auto it = faults.find(address);
        bus.setFaults(address, it == faults.end() ? tervo::emu::Faults{} : it->second);
    }
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::fputs(tervo::emu::kEmuUsage, stdout);
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::fputs("qt570-emu " TERVO_VERSION "\n" TERVO_LICENCE_NOTE, stdout);
        return 0;
    }
    tervo::emu::BusOptions options;
    std::string error;
    std::string faultFile;
    if (!tervo::emu::parseEmuArguments(arguments, options, error, &faultFile)) {
        std::fprintf(stderr, "qt570-emu: %s\n%s", error.c_str(), tervo::emu::kEmuUsage);
        return 2;
    }
    if (!faultFile.empty() && std::filesystem::exists(faultFile)) {
        std::map<int, tervo::emu::Faults> faults;
        if (!readFaultFile(faultFile, options, faults, error)) {
            std::fprintf(stderr, "qt570-emu: %s: %s\n", faultFile.c_str(), error.c_str());
            return 2;
        }
        options.faults = faults;
    }
    // Handlers first: the link appears as the bus starts, and whoever sees it may stop the
    // emulator at once; that must still remove the link.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    std::signal(SIGUSR1, onReread);
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
    int faultSets = 0;
    while (!g_stop) {
        usleep(20000);
        if (!g_reread) {
            continue;
        }
        g_reread = 0;
        std::map<int, tervo::emu::Faults> faults;
        if (faultFile.empty()) {
            std::fputs("qt570-emu: no --fault-file to read faults from\n", stderr);
        } else if (!readFaultFile(faultFile, options, faults, error)) {
            std::fprintf(stderr, "qt570-emu: %s: %s; the faults stay as they were\n",
                         faultFile.c_str(), error.c_str());
        } else {
            applyFaults(bus, faults);
            std::printf("qt570-emu: faults #%d: %s\n", ++faultSets,
                        tervo::emu::faultListText(faults).c_str());
            std::fflush(stdout);
        }
    }
    bus.stop();
    return 0;
}
