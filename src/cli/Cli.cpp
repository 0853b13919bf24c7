#include "cli/Cli.h"

#include "cli/CliCommon.h"
#include "cli/SimCommands.h"
#include "cli/TranslationTable.h"
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

#include "core/link/AddressList.h"
#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"
#include "core/link/SerialLink.h"
#include "core/text/Gbk.h"
#include "core/text/HexText.h"
#include "core/text/TimeText.h"
#include "core/text/Translation.h"
#include "core/text/ValueText.h"

namespace tervo::cli {

namespace {

const char* const kUsage =
    "usage: tervo-cli [--lang zh|en] COMMAND [OPTIONS]\n"
    "  (--lang, else TERVO_LANG: the language of the messages; Chinese by default)\n"
    "  params\n"
    "  read  [--port COMn] [--baud B] [--addr A] [--literal] NAME...\n"
    "  write [--port COMn] [--baud B] [--addr A] [--literal] NAME VALUE\n"
    "  raw   [--port COMn] [--baud B] [--format 7E1|8N1|8N2|...] HEXTEXT\n"
    "  watch [--port COMn] [--baud B] [--addr A[-B|,C...]] [--interval S] [--count N]\n"
    "        [--literal] [NAME...]\n"
    "Ports COM1..COM6 map to /dev/ttyUSB0..5 unless TERVO_COM1..TERVO_COM6 name another path.\n"
    "B is 300, 600, 1200, 2400, 4800, 9600 (default) or 19200; A is 0..99 (default 0).\n"
    "  record WORK.awt --out FILE.alt [--force] [--cycles N | --seconds S]\n"
    "         [--mqtt mqtt://[user@]host[:port] [--mqtt-password-file FILE]]\n"
    "         [--metrics 127.0.0.1:9570 [--web-config FILE]]\n"
    "         (the broker password: FILE, TERVO_MQTT_PASSWORD or the systemd credential\n"
    "         mqtt-password, never in the URL)\n"
    "         (an existing FILE.alt is replaced only with --force)\n"
    "         (alarms as WORK.alarms.json beside WORK.awt sets them, logged to\n"
    "         FILE.alt-alarms.csv)\n"
    "  dump   FILE.awt | FILE.alt | FILE.lin | FILE.sim\n"
    "  export FILE.alt [--out FILE.csv]\n"
    "  search [--port COMn|auto] [--baud B|auto] [--addr A[-B|,C...]|auto]\n"
    "         (defaults COM1, 9600, auto; auto ports are COM1 and COM2)\n"
    "NAME is one of the 49 mnemonics `tervo-cli params` lists (PV, SL, r1 ...), letter case\n"
    "as listed; with --literal any two characters go out as they stand.\n";

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

// A table mnemonic names its index. Any other name is refused before anything goes out, with
// the table's name when it was meant (another letter case, or another maker's name for it);
// with --literal the two characters go out as they stand, for parameters the table lacks.
uint32_t codeOfName(const std::string& name, bool literal) {
    if (name.size() != 2) {
        throw UsageError("a parameter name has two characters: " + name);
    }
    if (literal) {
        return literalCode(name[0], name[1]);
    }
    const int index = parameterIndexOfMnemonic(name);
    if (index >= 0) {
        return static_cast<uint32_t>(index);
    }
    std::string message = filled(TERVO_TR("cli", "未知参数：%1（`tervo-cli params` 列出全部）"),
                                 {printableUtf8(name)});
    const std::vector<std::string> meant = suggestedMnemonics(name);
    for (size_t i = 0; i < meant.size(); ++i) {
        message += (i == 0 ? TERVO_TR("cli", "\n是否指 ") : TERVO_TR("cli", " 或 ")) + meant[i];
    }
    if (!meant.empty()) {
        message += TERVO_TR("cli", "？");
    }
    throw UsageError(message, true);
}

std::vector<uint32_t> codesOfNames(const std::vector<std::string>& names, const Options& o) {
    std::vector<uint32_t> codes;
    for (const std::string& name : names) {
        codes.push_back(codeOfName(name, o.switches.count("--literal") != 0));
    }
    return codes;
}

// "（无应答）", the reason of the link's last failure after one of the system's messages.
std::string reasonSuffix(const SerialLink& link) {
    const std::string reason = reasonLine(link.reason(), link.holder());
    return isFailure(link.reason()) ? filled(TERVO_TR("cli", "（%1）"), {reason}) : std::string();
}

int commandParams(const Options& o, std::ostream& out) {
    if (!o.positional.empty()) {
        throw UsageError("params takes no argument");
    }
    for (int i = 0; i < kParameterCount; ++i) {
        // The label's own leading name may differ in case ("Hb" for HB): the mnemonic is what
        // goes on the wire and what read and write take.
        const std::string label = translated("core", std::string(parameterLabelUtf8(i)).c_str());
        out << parameterMnemonic(i) << "  " << label.substr(label.find(' ') + 1) << '\n';
    }
    return kExitOk;
}

int commandRead(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.empty()) {
        throw UsageError("read needs at least one NAME");
    }
    ReadRequest request;
    request.port = portOf(o);
    request.baud = baudOf(o);
    request.address = addressOf(o);
    const std::vector<uint32_t> codes = codesOfNames(o.positional, o);
    int status = kExitOk;
    for (size_t i = 0; i < codes.size(); ++i) {
        request.parameterCode = codes[i];
        SerialLink link(0);
        if (const std::optional<double> value = link.readParam(request)) {
            out << printableUtf8(o.positional[i]) << ' ' << valueText(*value) << '\n';
        } else {
            err << printableUtf8(o.positional[i]) << ' ' << translated("cli", kCommError)
                << reasonSuffix(link) << '\n';
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
    const uint32_t code = codeOfName(o.positional[0], o.switches.count("--literal") != 0);
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
        out << TERVO_TR("cli", "修改成功！！！") << '\n';
        return kExitOk;
    }
    // A refusal is what "修改失败" says; anything else is a communication error and its reason.
    if (reply == kNAK) {
        err << TERVO_TR("cli", "修改失败！！！") << '\n';
    } else {
        err << translated("cli", kCommError) << reasonSuffix(link) << '\n';
    }
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

// The columns a UTF-8 text takes on a terminal: two for each Chinese character.
size_t displayWidth(const std::string& text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) {
            width += c < 0x80 ? 1 : 2;
        }
    }
    return width;
}

std::string rightAligned(const std::string& text, size_t width) {
    const size_t w = displayWidth(text);
    return w >= width ? text : std::string(width - w, ' ') + text;
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
    const std::vector<uint32_t> codes = codesOfNames(names, o);
    ReadRequest request;
    request.port = portOf(o);
    request.baud = baudOf(o);

    const bool terminal = &out == &std::cout && isatty(STDOUT_FILENO);
    // The address column is as wide as its heading ("地址" takes four columns).
    const std::string addressHeading = TERVO_TR("cli", "地址");
    const size_t addressWidth = std::max<size_t>(4, displayWidth(addressHeading));
    bool anyFailed = false;
    ReasonCounts failures;
    StopSignals signals;
    for (int refresh = 0; (count == 0 || refresh < count) && !g_stopRequested; ++refresh) {
        const auto started = std::chrono::steady_clock::now();
        // A failed reading reads "Err(无应答)"; a column is as wide as its widest cell.
        std::vector<std::vector<std::string>> cells(addresses.size());
        std::vector<size_t> widths(codes.size(), 10);
        anyFailed = false;
        for (size_t a = 0; a < addresses.size() && !g_stopRequested; ++a) {
            request.address = static_cast<uint8_t>(addresses[a]);
            for (size_t c = 0; c < codes.size(); ++c) {
                request.parameterCode = codes[c];
                SerialLink link(0);
                const std::optional<double> value = link.readParam(request);
                anyFailed = anyFailed || !value;
                failures.add(link.reason());
                cells[a].push_back(value ? valueText(*value)
                                         : "Err(" + reasonLine(link.reason(), link.holder()) + ")");
                widths[c] = std::max(widths[c], displayWidth(cells[a].back()) + 1);
            }
        }
        if (g_stopRequested) {
            break;  // a table cut short is not shown
        }
        std::string table = portName(request.port) + "  " + baudText(request.baud) + " bps  " +
                            timeStampText(std::time(nullptr)) + "\n" + addressHeading;
        for (size_t c = 0; c < names.size(); ++c) {
            table += rightAligned(printableUtf8(names[c]), widths[c]);
        }
        table += '\n';
        for (size_t a = 0; a < addresses.size(); ++a) {
            table += rightAligned(std::to_string(addresses[a]), addressWidth);
            for (size_t c = 0; c < codes.size(); ++c) {
                table += rightAligned(cells[a][c], widths[c]);
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
        const auto next = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        std::chrono::duration<double>(interval));
        while (!g_stopRequested && std::chrono::steady_clock::now() < next) {
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                next - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
        }
    }
    if (!failures.empty()) {
        out << failures.line() << '\n';
    }
    return anyFailed ? kExitFailed : kExitOk;
}

// The interface language of this run: `--lang CODE` (anywhere on the line, taken out of it),
// else TERVO_LANG, else Chinese; an unknown code is passed over with a warning. English
// installs the table's lookup as core's translate function, so core's and net's texts come out
// English too; Chinese removes it (every text as written).
std::vector<std::string> chooseLanguage(const std::vector<std::string>& given, std::ostream& err) {
    std::vector<std::string> arguments;
    std::vector<std::string> codes;
    for (size_t i = 0; i < given.size(); ++i) {
        if (given[i] == "--lang" && i + 1 < given.size()) {
            codes.push_back(given[++i]);
        } else {
            arguments.push_back(given[i]);
        }
    }
    std::reverse(codes.begin(), codes.end());  // the last --lang given counts
    if (const char* environment = std::getenv("TERVO_LANG")) {
        codes.emplace_back(environment);
    }
    CliLanguage language = CliLanguage::Chinese;
    for (const std::string& code : codes) {
        if (code.empty()) {
            continue;
        }
        if (const std::optional<CliLanguage> known = cliLanguageFromCode(code)) {
            language = *known;
            break;
        }
        err << "tervo-cli: no interface language \"" << printableUtf8(code)
            << "\" (zh or en); passed over\n";
    }
    setTranslateFunction(language == CliLanguage::English ? &translateEnglish : nullptr);
    return arguments;
}

}  // namespace

int runCli(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> arguments = chooseLanguage(given, err);
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h" ||
        arguments[0] == "help") {
        (arguments.empty() ? err : out) << kUsage;
        return arguments.empty() ? kExitUsage : kExitOk;
    }
    const std::string& command = arguments[0];
    try {
        if (std::find(arguments.begin(), arguments.end(), "--lang") != arguments.end()) {
            throw UsageError("missing value after --lang");
        }
        if (command == "params") {
            return commandParams(parseOptions(arguments, 1, {}), out);
        }
        if (command == "read") {
            return commandRead(
                parseOptions(arguments, 1, {"--port", "--baud", "--addr"}, {"--literal"}), out,
                err);
        }
        if (command == "write") {
            return commandWrite(
                parseOptions(arguments, 1, {"--port", "--baud", "--addr"}, {"--literal"}), out,
                err);
        }
        if (command == "raw") {
            return commandRaw(parseOptions(arguments, 1, {"--port", "--baud", "--format"}), out,
                              err);
        }
        if (command == "watch") {
            return commandWatch(
                parseOptions(arguments, 1, {"--port", "--baud", "--addr", "--interval", "--count"},
                             {"--literal"}),
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
        if (e.plain()) {
            err << e.message() << '\n';
        } else {
            err << "tervo-cli: " << printableUtf8(e.message()) << '\n'
                << translated("cli", kUsageHint) << '\n';
        }
        return kExitUsage;
    }
}

}  // namespace tervo::cli
