#include "cli/SimCommands.h"

#include "cli/Cli.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <iostream>

#include "core/link/AddressList.h"
#include "core/link/PortMap.h"
#include "core/link/SerialLink.h"
#include "core/sim/SimTemplate.h"
#include "core/text/Gbk.h"
#include "core/text/Translation.h"
#include "core/tools/AutoSearch.h"

namespace tervo::cli {

namespace {

bool isAuto(const Options& o, const char* flag) {
    auto it = o.flags.find(flag);
    return it != o.flags.end() && it->second == "auto";
}

// The entry a combo of the search dialog would have selected: 0 sweeps, n is value n - 1.
int portEntry(const Options& o) {
    auto it = o.flags.find("--port");
    if (it == o.flags.end()) {
        return 1;
    }
    if (it->second == "auto") {
        return 0;
    }
    const int index = portIndexOfName(it->second);
    if (index < 0) {
        throw UsageError("bad port (COM1..COM6 or auto): " + it->second);
    }
    return index + 1;
}

int baudEntry(const Options& o) {
    auto it = o.flags.find("--baud");
    if (it == o.flags.end()) {
        return kDefaultBaudIndex + 1;
    }
    if (it->second == "auto") {
        return 0;
    }
    const int index = baudIndexOf(static_cast<uint32_t>(parseInt(it->second, "baud rate")));
    if (index < 0) {
        throw UsageError("bad baud rate: " + it->second);
    }
    return index + 1;
}

}  // namespace

bool isTemplatePath(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == ".sim";
}

int commandSearch(const Options& o, std::ostream& out, std::ostream& err) {
    if (!o.positional.empty()) {
        throw UsageError("search takes no NAME");
    }
    SearchChoice choice;
    choice.portEntry = portEntry(o);
    choice.baudEntry = baudEntry(o);
    choice.sweepAddress = !o.flags.contains("--addr") || isAuto(o, "--addr");
    // One number is the search's fixed address as the dialog takes it; a list or ranges
    // ("0-9,12") are searched one fixed address after another.
    std::vector<int> addresses;
    if (!choice.sweepAddress) {
        const std::string& text = o.flags.at("--addr");
        const bool list =
            text.find(',') != std::string::npos || text.find('-', 1) != std::string::npos;
        if (!list) {
            addresses.push_back(parseInt(text, "address"));
        } else if (!parseAddressList(text, addresses)) {
            throw UsageError("bad address list (like 0-9,12 or auto): " + text);
        }
    }
    const int runs = choice.sweepAddress ? 1 : static_cast<int>(addresses.size());
    const int perRun = (choice.portEntry == 0 ? AutoSearch::kSweptPorts : 1) *
                       (choice.baudEntry == 0 ? kBaudCount : 1) *
                       (choice.sweepAddress ? AutoSearch::kAddresses : 1);
    const int total = runs * perRun;
    const bool progress = &err == &std::cerr && isatty(STDERR_FILENO);
    const auto began = std::chrono::steady_clock::now();
    int done = 0;
    size_t found = 0;
    ReasonCounts failures;
    StopSignals signals;
    for (int run = 0; run < runs && !g_stopRequested; ++run) {
        if (!choice.sweepAddress) {
            choice.address = addresses[static_cast<size_t>(run)];
        }
        AutoSearch search;
        const SearchStart start = search.start(choice);
        if (!start.started) {
            err << translated("core", start.message.c_str()) << '\n';
            return kExitUsage;
        }
        while (const std::optional<LinkRequest> poll = search.beginTick()) {
            if (g_stopRequested) {
                break;
            }
            const LinkResult result = perform(*poll);
            failures.add(result.reason);
            const SearchStepOutcome outcome = search.finishTick(result);
            ++done;
            if (progress) {
                // "已搜索 120/1400，找到 2 台，剩余约 90 秒" on one line, rewritten as it goes.
                const double elapsed =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
                const auto left = static_cast<long>(elapsed / done * (total - done) + 0.5);
                err << "\r\x1b[K"
                    << filled(TERVO_TR("cli", "已搜索 %1/%2，找到 %3 台，剩余约 %4 秒"),
                              {std::to_string(done), std::to_string(total),
                               std::to_string(found + search.found().size()), std::to_string(left)})
                    << std::flush;
            }
            if (outcome.line) {
                if (progress) {
                    err << "\r\x1b[K" << std::flush;
                }
                out << *outcome.line << std::endl;
            }
        }
        found += search.found().size();
    }
    if (progress) {
        err << "\r\x1b[K" << std::flush;
    }
    out << translated("core", g_stopRequested ? kSearchStoppedText : kSearchDoneText) << '\n';
    if (!failures.empty()) {
        err << failures.line() << '\n';
    }
    return found == 0 ? kExitFailed : kExitOk;
}

int dumpTemplate(const std::string& path, std::ostream& out, std::ostream& err) {
    SimTemplate simTemplate;
    const SimStatus status = simTemplate.load(path);
    if (status != SimStatus::Ok) {
        err << (status == SimStatus::CannotOpen
                    ? filled(TERVO_TR("cli", "无法打开文件：%1"), {printableUtf8(path)})
                    : translated("cli", kFileError))
            << '\n';
        return 1;
    }
    out << filled(TERVO_TR("cli", "仪表模板 %1"), {printableUtf8(path)}) << '\n'
        << filled(TERVO_TR("cli", "仪表 %1 台"), {std::to_string(simTemplate.count())}) << '\n';
    for (int i = 0; i < simTemplate.count(); ++i) {
        const SimInstrument& p = simTemplate.panel(i);
        out << "  " << i + 1 << "  x " << p.x << "  y " << p.y << "  "
            << (p.port < kPortCount ? portName(p.port)
                                    : filled(TERVO_TR("cli", "端口%1"), {std::to_string(p.port)}))
            << "  " << (p.baud < kBaudCount ? baudText(p.baud) : "?") << " bps  "
            << filled(TERVO_TR("cli", "地址 %1"), {std::to_string(p.address)}) << '\n';
    }
    return 0;
}

}  // namespace tervo::cli
