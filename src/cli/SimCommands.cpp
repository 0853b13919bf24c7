#include "cli/SimCommands.h"

#include "cli/Cli.h"

#include <cctype>

#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "sim/SimTemplate.h"
#include "text/Gbk.h"
#include "tools/AutoSearch.h"

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
    if (!choice.sweepAddress) {
        choice.address = parseInt(o.flags.at("--addr"), "address");
    }
    AutoSearch search;
    const SearchStart start = search.start(choice);
    if (!start.started) {
        err << start.message << '\n';
        return kExitUsage;
    }
    while (const std::optional<LinkRequest> poll = search.beginTick()) {
        const SearchStepOutcome outcome = search.finishTick(perform(*poll));
        if (outcome.line) {
            out << *outcome.line << std::endl;
        }
        if (outcome.finished) {
            out << kSearchDoneText << '\n';
        }
    }
    return search.found().empty() ? kExitFailed : kExitOk;
}

int dumpTemplate(const std::string& path, std::ostream& out, std::ostream& err) {
    SimTemplate simTemplate;
    const SimStatus status = simTemplate.load(path);
    if (status != SimStatus::Ok) {
        err << (status == SimStatus::CannotOpen ? "无法打开文件：" + printableUtf8(path)
                                                : std::string(kFileError))
            << '\n';
        return 1;
    }
    out << "仪表模板 " << printableUtf8(path) << '\n' << "仪表 " << simTemplate.count() << " 台\n";
    for (int i = 0; i < simTemplate.count(); ++i) {
        const SimInstrument& p = simTemplate.panel(i);
        out << "  " << i + 1 << "  x " << p.x << "  y " << p.y << "  "
            << (p.port < kPortCount ? portName(p.port) : "端口" + std::to_string(p.port)) << "  "
            << (p.baud < kBaudCount ? baudText(p.baud) : "?") << " bps  地址 "
            << static_cast<int>(p.address) << '\n';
    }
    return 0;
}

}  // namespace tervo::cli
