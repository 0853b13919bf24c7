#include "cli/Cli.h"

#include "cli/CliCommon.h"
#include "cli/SimCommands.h"
#include "cli/WorkCommands.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <optional>
#include <thread>

#include "link/AddressList.h"
#include "link/ParameterTable.h"
#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "text/Gbk.h"
#include "text/HexText.h"
#include "text/TimeText.h"
#include "text/ValueText.h"

namespace tervo::cli {

namespace {

const char* const kUsage =
    "usage: tervo-cli COMMAND [OPTIONS]\n"
    "  read  [--port COMn] [--baud B] [--addr A] NAME...\n"
    "  write [--port COMn] [--baud B] [--addr A] NAME VALUE\n"
    "  raw   [--port COMn] [--baud B] [--format 7E1|8N1|8N2|...] HEXTEXT\n"
    "  watch [--port COMn] [--baud B] [--addr A[-B|,C...]] [--interval S] [--count N] [NAME...]\n"
    "Ports COM1..COM6 map to /dev/ttyUSB0..5 unless TERVO_COM1..TERVO_COM6 name another path.\n"
    "B is 300, 600, 1200, 2400, 4800, 9600 (default) or 19200; A is 0..99 (default 0).\n"
    "  record WORK.awt --out FILE.alt [--force] [--cycles N | --seconds S]\n"
    "         [--mqtt mqtt://[user@]host[:port] [--mqtt-password-file FILE]]\n"
    "         [--metrics 127.0.0.1:9570 [--web-config FILE]]\n"
    "         (the broker password: FILE, TERVO_MQTT_PASSWORD or the systemd credential\n"
    "         mqtt-password, never in the URL)\n"
    "         (an existing FILE.alt is replaced only with --force)\n"
    "  dump   FILE.awt | FILE.alt | FILE.lin | FILE.sim\n"
    "  export FILE.alt [--out FILE.csv]\n"
    "  search [--port COMn|auto] [--baud B|auto] [--addr A|auto]\n"
    "         (defaults COM1, 9600, auto; auto ports are COM1 and COM2)\n"
    "NAME is a two-character mnemonic (PV, SL, r1 ...).\n";

constexpr size_t kValueFieldSize = 5;

uint8_t portOf(const Options& o) {
    auto it = o.flags.find("--port");
    if (it == o.flags.end()) {
        return 0;
    }
    const int index = portIndexOfName(it->second);
    if (index < 0) {
        throw UsageError("bad port (COM1..COM6): " + it->second);
    }
    return static_cast<uint8_t>(index);
}

uint8_t baudOf(const Options& o) {
    auto it = o.flags.find("--baud");
    if (it == o.flags.end()) {
        return kDefaultBaudIndex;
    }
    const int index = baudIndexOf(static_cast<uint32_t>(parseInt(it->second, "baud rate")));
    if (index < 0) {
        throw UsageError("bad baud rate: " + it->second);
    }
    return static_cast<uint8_t>(index);
}

uint8_t addressOf(const Options& o) {
    auto it = o.flags.find("--addr");
    if (it == o.flags.end()) {
        return 0;
    }
    const int address = parseInt(it->second, "address");
    if (!isStationAddress(address)) {
        throw UsageError("bad address (0..99): " + it->second);
    }
    return static_cast<uint8_t>(address);
}

// A table mnemonic names its index; any other two characters go out literally. The bytes on
// the wire are the same either way.
uint32_t codeOfName(const std::string& name) {
    if (name.size() != 2) {
        throw UsageError("a parameter name has two characters: " + name);
    }
    const int index = parameterIndexOfMnemonic(name);
    return index >= 0 ? static_cast<uint32_t>(index) : literalCode(name[0], name[1]);
}

int commandRead(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.empty()) {
        throw UsageError("read needs at least one NAME");
    }
    ReadRequest request;
    request.port = portOf(o);
    request.baud = baudOf(o);
    request.address = addressOf(o);
    std::vector<uint32_t> codes;
    for (const std::string& name : o.positional) {
        codes.push_back(codeOfName(name));
    }
    int status = kExitOk;
    for (size_t i = 0; i < codes.size(); ++i) {
        request.parameterCode = codes[i];
        if (const std::optional<double> value = SerialLink(0).readParam(request)) {
            out << printableUtf8(o.positional[i]) << ' ' << valueText(*value) << '\n';
        } else {
            err << printableUtf8(o.positional[i]) << ' ' << kCommError << '\n';
            status = kExitFailed;
        }
    }
    return status;
}

// A number as the controller's value field reads it: an optional '-', digits and at most one
// '.'. The controller skips any other character, so "1e30" would arrive as 130 and "12abc" as
// 12: another value than the one typed.
bool isValueFieldNumber(const std::string& text) {
    const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::string digits = text.substr(start);
    return std::count(digits.begin(), digits.end(), '.') <= 1 &&
           std::any_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::all_of(digits.begin(), digits.end(),
                       [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

int commandWrite(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 2) {
        throw UsageError("write needs NAME and VALUE");
    }
    const uint32_t code = codeOfName(o.positional[0]);
    // The controller's value field is five characters wide; the link would send only the
    // first five of a longer text, which is another value ("1000.5" would go out as "1000.").
    const std::string& value = o.positional[1];
    if (value.empty() || value.size() > kValueFieldSize) {
        throw UsageError("a value is one to " + std::to_string(kValueFieldSize) +
                         " characters (the controller's value field): \"" + value + "\"");
    }
    if (!isValueFieldNumber(value)) {
        throw UsageError("a value is a decimal number like 25, -12.5 or 0.125: \"" + value + "\"");
    }
    SerialLink link(0);
    const uint8_t reply =
        link.writeParam(portOf(o), baudOf(o), addressOf(o), code, padValueText(value));
    if (reply == kACK) {
        out << "修改成功！！！\n";
        return kExitOk;
    }
    err << (reply == kNAK ? "修改失败！！！" : kCommError) << '\n';
    return kExitFailed;
}

// "7E1", "8N1", "8N2", "7O1.5": data bits 4..8, parity N/O/E/M/S, stop bits 1, 1.5 or 2.
void applyFormat(const std::string& format, LineFormat& line) {
    const std::string bad = "bad line format (like 7E1, 8N1, 8N2): " + format;
    if (format.size() < 3 || format[0] < '4' || format[0] > '8') {
        throw UsageError(bad);
    }
    static const std::string parities = "NOEMS";
    const size_t parity = parities.find(static_cast<char>(std::toupper(format[1])));
    const std::string stop = format.substr(2);
    if (parity == std::string::npos || (stop != "1" && stop != "1.5" && stop != "2")) {
        throw UsageError(bad);
    }
    line.dataBits = static_cast<uint8_t>(format[0] - '0');
    line.parity = static_cast<uint8_t>(parity);
    line.stopBits = stop == "1" ? 0 : stop == "1.5" ? 1 : 2;
}

int commandRaw(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() > 1) {
        throw UsageError("raw takes one HEXTEXT (quote it)");
    }
    LineFormat format{baudOf(o)};
    if (auto it = o.flags.find("--format"); it != o.flags.end()) {
        applyFormat(it->second, format);
    }
    const std::string text = o.positional.empty() ? std::string() : o.positional[0];
    const size_t bad = text.find_first_not_of("0123456789abcdefABCDEF \t");
    if (bad != std::string::npos) {
        throw UsageError("HEXTEXT holds hexadecimal digits and blanks only, not '" +
                         text.substr(bad, 1) + "': " + text);
    }
    const std::vector<uint8_t> bytes = parseHexText(text);
    if (bytes.empty()) {
        throw UsageError("raw needs at least one byte to send");
    }
    if (bytes.size() > SerialLink::kBufferSize) {
        throw UsageError("raw sends at most " + std::to_string(SerialLink::kBufferSize) +
                         " bytes in one exchange, not " + std::to_string(bytes.size()));
    }
    const ExchangeResult result = SerialLink(0).exchange(portOf(o), format, bytes);
    if (result.status != LinkStatus::Ok) {
        err << "link status " << statusNumber(result.status) << ": " << statusMeaning(result.status)
            << '\n';
        return kExitFailed;
    }
    out << hexBytes(result.reply) << '\n';
    return kExitOk;
}

std::string rightAligned(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

int commandWatch(const Options& o, std::ostream& out, std::ostream&) {
    std::vector<int> addresses{0};
    if (auto it = o.flags.find("--addr"); it != o.flags.end()) {
        if (!parseAddressList(it->second, addresses)) {
            throw UsageError("bad address list (like 0-3 or 0,2,5): " + it->second);
        }
    }
    double interval = 1.0;
    if (auto it = o.flags.find("--interval"); it != o.flags.end()) {
        interval = parseSeconds(it->second, "interval");
    }
    int count = 0;
    if (auto it = o.flags.find("--count"); it != o.flags.end()) {
        count = parseInt(it->second, "count");
        if (count < 0) {
            throw UsageError("bad count: " + it->second);
        }
    }
    std::vector<std::string> names = o.positional;
    if (names.empty()) {
        names = {"PV", "SP", "OP"};
    }
    std::vector<uint32_t> codes;
    for (const std::string& name : names) {
        codes.push_back(codeOfName(name));
    }
    ReadRequest request;
    request.port = portOf(o);
    request.baud = baudOf(o);

    const bool terminal = &out == &std::cout && isatty(STDOUT_FILENO);
    bool anyFailed = false;
    for (int refresh = 0; count == 0 || refresh < count; ++refresh) {
        const auto started = std::chrono::steady_clock::now();
        std::string table = portName(request.port) + "  " + baudText(request.baud) + " bps  " +
                            timeStampText(std::time(nullptr)) + "\n地址";
        for (const std::string& name : names) {
            table += rightAligned(printableUtf8(name), 10);
        }
        table += '\n';
        anyFailed = false;
        for (int address : addresses) {
            request.address = static_cast<uint8_t>(address);
            table += rightAligned(std::to_string(address), 4);
            for (uint32_t code : codes) {
                request.parameterCode = code;
                const std::optional<double> value = SerialLink(0).readParam(request);
                anyFailed = anyFailed || !value;
                table += rightAligned(value ? valueText(*value) : "Err", 10);
            }
            table += '\n';
        }
        if (terminal) {
            out << "\x1b[H\x1b[2J";
        } else if (refresh > 0) {
            out << '\n';
        }
        out << table << std::flush;
        if (count != 0 && refresh + 1 >= count) {
            break;
        }
        std::this_thread::sleep_until(started + std::chrono::duration<double>(interval));
    }
    return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace

int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h" ||
        arguments[0] == "help") {
        (arguments.empty() ? err : out) << kUsage;
        return arguments.empty() ? kExitUsage : kExitOk;
    }
    const std::string& command = arguments[0];
    try {
        if (command == "read") {
            return commandRead(parseOptions(arguments, 1, {"--port", "--baud", "--addr"}), out,
                               err);
        }
        if (command == "write") {
            return commandWrite(parseOptions(arguments, 1, {"--port", "--baud", "--addr"}), out,
                                err);
        }
        if (command == "raw") {
            return commandRaw(parseOptions(arguments, 1, {"--port", "--baud", "--format"}), out,
                              err);
        }
        if (command == "watch") {
            return commandWatch(
                parseOptions(arguments, 1, {"--port", "--baud", "--addr", "--interval", "--count"}),
                out, err);
        }
        if (command == "record") {
            return commandRecord(parseOptions(arguments, 1,
                                              {"--out", "--cycles", "--seconds", "--mqtt",
                                               "--mqtt-password-file", "--metrics", "--web-config"},
                                              {"--force"}),
                                 out, err);
        }
        if (command == "dump") {
            const Options options = parseOptions(arguments, 1, {});
            if (options.positional.size() == 1 && isTemplatePath(options.positional[0])) {
                return dumpTemplate(options.positional[0], out, err);
            }
            return commandDump(options, out, err);
        }
        if (command == "search") {
            return commandSearch(parseOptions(arguments, 1, {"--port", "--baud", "--addr"}), out,
                                 err);
        }
        if (command == "export") {
            return commandExport(parseOptions(arguments, 1, {"--out"}), out, err);
        }
        throw UsageError("unknown command " + command);
    } catch (const UsageError& e) {
        err << "tervo-cli: " << printableUtf8(e.message()) << '\n' << kUsage;
        return kExitUsage;
    }
}

}  // namespace tervo::cli
