#include "cli/WorkCommands.h"

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/Clock.h"
#include "core/alarms/AlarmSettings.h"
#include "core/curves/TrackingCurve.h"
#include "core/history/HistoryCsv.h"
#include "core/history/HistoryRules.h"
#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"
#include "core/text/Gbk.h"
#include "core/text/TimeText.h"
#include "core/text/Translation.h"
#include "core/text/ValueText.h"
#include "core/work/RecordWriter.h"
#include "core/work/SamplingEngine.h"
#include "core/work/WorkFiles.h"
#include "net/Credentials.h"
#include "net/RecordServices.h"

namespace tervo::cli {

namespace {

std::string cellText(double v) {
    return isNoValue(v) ? "ERR_VAL" : valueText(v);
}

bool hasExtension(const std::string& path, const char* extension) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == extension;
}

// A colour held as 0x00BBGGRR, written as web pages and drawing programs write it.
std::string hex6(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return text;
}

std::string number(double v) {
    return formatDouble("%g", v);
}

std::string channelLabel(const WorkDefinition& work, int64_t index) {
    if (index < 0 || static_cast<size_t>(index) >= work.channels.size()) {
        return filled(TERVO_TR("cli", "通道%1（无此通道）"), {std::to_string(index)});
    }
    return filled(
        TERVO_TR("cli", "通道%1「%2」"),
        {std::to_string(index), gbkToUtf8(work.channels[static_cast<size_t>(index)].nameGbk())});
}

std::string operandText(const WorkDefinition& work, int32_t selector, double constant) {
    if (selector == 0 || selector == 255) {
        return valueText(constant);
    }
    return channelLabel(work, int64_t{selector} - 1);
}

// An event in words: "通道0「炉温」 - 通道1「炉壁」 大于 5.00".
std::string eventWords(const WorkDefinition& work, const EventInfo& e) {
    const std::string v = channelLabel(work, e.data1);
    const std::string b = operandText(work, e.data2, e.data2Constant);
    const std::string c = operandText(work, e.data3, e.data3Constant);
    std::string left;
    std::string right = c;
    switch (e.type) {
        case 0:
            left = v, right = b;
            break;
        case 1:
            left = filled(TERVO_TR("cli", "%1的差分"), {v}), right = b;
            break;
        case 2:
            left = filled(TERVO_TR("cli", "%1的积分"), {v}), right = b;
            break;
        case 3:
            left = b + " + " + v;
            break;
        case 4:
            left = v + " - " + b;
            break;
        case 5:
            left = b + " × " + v;
            break;
        default:
            left = v + " ÷ " + b;
            break;
    }
    const std::string compare = translated("core", compareTypeText(e.compare));
    return translated("core", eventTypeText(e.type)) + TERVO_TR("cli", "：") + left + " " +
           (compare.empty()
                ? filled(TERVO_TR("cli", "（比较类型%1，永不触发）"), {std::to_string(e.compare)})
                : compare) +
           " " + right;
}

void dumpDefinition(const WorkDefinition& w, std::ostream& out) {
    out << TERVO_TR("cli", "数值范围：") << valueText(w.valueMin) << " .. " << valueText(w.valueMax)
        << '\n';
    out << TERVO_TR("cli", "采样周期(s)：") << w.timing.samplingPeriod
        << TERVO_TR("cli", "  显示周期(s)：") << w.timing.displayPeriod << '\n';
    out << TERVO_TR("cli", "背景色 ") << hex6(w.backgroundColour)
        << TERVO_TR("cli", "  时间坐标色 ") << hex6(w.timeAxisColour)
        << TERVO_TR("cli", "  时间标尺色 ") << hex6(w.timeRulerColour)
        << TERVO_TR("cli", "  值坐标色 ") << hex6(w.valueAxisColour)
        << TERVO_TR("cli", "  值标尺色 ") << hex6(w.valueRulerColour) << '\n';
    out << TERVO_TR("cli", "通道 ") << w.channels.size() << '\n';
    for (size_t i = 0; i < w.channels.size(); ++i) {
        const ChannelInfo& c = w.channels[i];
        out << "  " << i << " " << filled(TERVO_TR("cli", "「%1」"), {gbkToUtf8(c.nameGbk())})
            << " "
            << translated("core",
                          parameterCodeDisplayUtf8(static_cast<uint32_t>(c.parameterCode)).c_str())
            << "  "
            << (c.port < kPortCount ? portName(c.port)
                                    : filled(TERVO_TR("cli", "端口%1"), {std::to_string(c.port)}))
            << " " << (c.baud < kBaudCount ? baudText(c.baud) : "?") << TERVO_TR("cli", " 地址 ")
            << int{c.address} << TERVO_TR("cli", "  显示系数：") << number(c.displayCoefficient)
            << TERVO_TR("cli", "  平移系数：") << number(c.offsetCoefficient)
            << TERVO_TR("cli", "  颜色 ") << hex6(w.styles[i].colour) << TERVO_TR("cli", " 线宽 ")
            << w.styles[i].penWidth;
        if (c.isCurveChannel()) {
            out << TERVO_TR("cli", "  跟踪曲线：") << gbkToUtf8(c.curvePathText());
        }
        out << '\n';
    }
    out << TERVO_TR("cli", "事件 ") << w.events.size() << '\n';
    for (size_t i = 0; i < w.events.size(); ++i) {
        out << "  " << i << " "
            << filled(TERVO_TR("cli", "「%1」"), {gbkToUtf8(w.events[i].nameGbk())}) << " "
            << eventWords(w, w.events[i]) << '\n';
    }
}

void dumpRow(const Recording& rec, size_t row, std::ostream& out) {
    out << "  " << row << "  " << timeStampText(rec.times[row]);
    for (size_t c = 0; c < rec.channelCount(); ++c) {
        out << "  " << cellText(rec.value(row, c));
    }
    out << '\n';
}

// A journal that a recorder's crash left (read laid over the file) goes into the file once
// what was read is printed, so the answer does not wait for it.
void replayLeftJournal(const std::string& path, const Recording& rec, std::ostream& out) {
    if (rec.journalLeft) {
        out.flush();
        recoverRecordFile(path);
    }
}

int reportFile(FileStatus status, const std::string& path, std::ostream& err) {
    err << (status == FileStatus::CannotOpen
                ? filled(TERVO_TR("cli", "无法打开文件：%1"), {printableUtf8(path)})
            : status == FileStatus::Busy ? translated("core", kFileBusyText)
                                         : translated("cli", kFileError))
        << '\n';
    return 1;
}

int dumpCurve(const std::string& path, std::ostream& out, std::ostream& err) {
    // Read as the recorder reads it, so a file it would not follow (bytes after the last
    // segment) is reported rather than shown as if it were sound.
    TrackingCurve curve;
    const CurveStatus status = curve.load(path, true);
    if (status != CurveStatus::Ok) {
        err << (status == CurveStatus::CannotOpen
                    ? filled(TERVO_TR("cli", "无法打开文件：%1"), {printableUtf8(path)})
                    : translated("cli", kFileError))
            << '\n';
        return 1;
    }
    out << TERVO_TR("cli", "跟踪曲线 ") << printableUtf8(path) << '\n'
        << TERVO_TR("cli", "段数 ") << curve.count() << '\n';
    for (int i = 0; i < curve.count(); ++i) {
        const CurveSegment& s = curve.segments()[static_cast<size_t>(i)];
        out << "  " << i + 1 << TERVO_TR("cli", "  斜率值 ") << number(s.rate)
            << TERVO_TR("cli", "  设定值 ") << number(s.level) << TERVO_TR("cli", "  平台时间 ")
            << number(s.dwell) << '\n';
    }
    out << filled(TERVO_TR("cli", "总时间（起始值 0）：%1 分钟"), {number(curve.totalMinutes(0.0))})
        << '\n';
    return 0;
}

// Refuses an output that is one of the command's own inputs (the same file by any name).
void refuseOverwritingInput(const std::string& output, const std::string& input) {
    std::error_code ec;
    if (std::filesystem::equivalent(output, input, ec)) {
        throw UsageError("the output would overwrite the input " + input + ": " + output);
    }
}

net::PublishSettings publishSettings(const Options& o) {
    net::PublishSettings settings;
    if (auto it = o.flags.find("--mqtt"); it != o.flags.end()) {
        settings.mqtt = parseMqttUrl(it->second);
        if (!settings.mqtt) {
            throw UsageError("bad broker URL (mqtt://[user@]host[:port] or mqtts://...): " +
                             it->second);
        }
        if (settings.mqtt->hasPassword) {
            throw UsageError(
                "no password in the broker URL: every local user can read the command line. "
                "Give it in --mqtt-password-file FILE, in TERVO_MQTT_PASSWORD or as the "
                "systemd credential mqtt-password");
        }
    }
    const auto passwordFile = o.flags.find("--mqtt-password-file");
    net::PasswordLookup password = net::lookUpMqttPassword(
        passwordFile != o.flags.end() ? std::optional<std::string>(passwordFile->second)
                                      : std::nullopt);
    if (!password.error.empty()) {
        throw UsageError(password.error);
    }
    if (password.password && settings.mqtt) {
        if (settings.mqtt->user.empty()) {
            throw UsageError("a broker password needs a user in the URL (mqtt://USER@host)");
        }
        settings.mqtt->password = std::move(*password.password);
        settings.mqtt->hasPassword = true;
    }
    if (auto it = o.flags.find("--metrics"); it != o.flags.end()) {
        settings.metrics = parseListenAddress(it->second);
        if (!settings.metrics) {
            throw UsageError("bad metrics address (HOST:PORT): " + it->second);
        }
    }
    if (auto it = o.flags.find("--web-config"); it != o.flags.end()) {
        std::string error;
        const auto web = net::loadWebConfig(it->second, error);
        if (!web) {
            throw UsageError("bad web configuration: " + error);
        }
        settings.web = *web;
    }
    return settings;
}

std::string replaceExtension(const std::string& path, const std::string& extension) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return path.substr(0, dot) + extension;
    }
    return path + extension;
}

// "2026/12/08 07:15:02 炉温 高限：报警 81.2", for the recorder's journal.
std::string alarmChangeText(const AlarmChange& c, const WorkDefinition& work) {
    const size_t index = static_cast<size_t>(c.channel - 1);
    std::string name =
        index < work.channels.size() ? gbkToUtf8(work.channels[index].nameGbk()) : std::string();
    if (name.empty()) {
        name = filled(TERVO_TR("cli", "通道%1"), {std::to_string(c.channel)});
    }
    std::string text = timeStampText(c.time) + " " + printableUtf8(name) + " " +
                       translated("core", alarmKindText(c.kind)) + TERVO_TR("cli", "：") +
                       translated("core", alarmStateText(c.state));
    if (!isNoValue(c.value)) {
        text += " " + valueText(c.value);
    }
    return text;
}

}  // namespace

int commandRecord(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        throw UsageError("record needs one WORK.awt");
    }
    auto outPath = o.flags.find("--out");
    if (outPath == o.flags.end()) {
        throw UsageError("record needs --out FILE.alt");
    }
    const bool byCycles = o.flags.count("--cycles") != 0;
    const bool bySeconds = o.flags.count("--seconds") != 0;
    if (byCycles && bySeconds) {
        throw UsageError("give --cycles or --seconds, not both");
    }
    const int cycles = byCycles ? parseInt(o.flags.at("--cycles"), "cycle count") : 0;
    if (byCycles && cycles <= 0) {
        throw UsageError("bad cycle count: " + o.flags.at("--cycles"));
    }
    const double seconds = bySeconds ? parseSeconds(o.flags.at("--seconds"), "seconds") : 0.0;
    const net::PublishSettings publishing = publishSettings(o);

    WorkDefinition work;
    if (FileStatus s = loadWorkTemplate(o.positional[0], work); s != FileStatus::Ok) {
        return reportFile(s, o.positional[0], err);
    }
    refuseOverwritingInput(outPath->second, o.positional[0]);
    for (const ChannelInfo& channel : work.channels) {
        if (channel.isCurveChannel()) {
            refuseOverwritingInput(outPath->second, gbkToUtf8(channel.curvePathText()));
        }
    }
    // A recording is never overwritten by mistake: replacing one is asked for by name.
    std::error_code ec;
    if (o.switches.count("--force") == 0 && std::filesystem::exists(outPath->second, ec)) {
        throw UsageError("the output exists (--force replaces it): " + outPath->second);
    }
    // The command ends once the broker has the last rows and "offline" (or the publisher gave
    // up on it): before the process's exit handlers take the TLS library down.
    struct FinishPublishing {
        ~FinishPublishing() { net::finishStoppedPublishers(); }
    } finishPublishing;
    net::RecordServices services(
        publishing, printableUtf8(std::filesystem::path(o.positional[0]).stem().string()), work);
    // Settings the rules refuse are said, and the work records without alarms.
    const AlarmSettingsLoad alarms =
        loadAlarmSettings(alarmSettingsPath(o.positional[0]), work.channels.size());
    if (alarms.status == AlarmSettingsLoad::Status::Refused) {
        err << printableUtf8(alarms.message) << '\n';
    }
    services.setAlarms(alarms.settings);
    if (std::string failed = services.start(); !failed.empty()) {
        err << printableUtf8(failed) << '\n';
        return 1;
    }
    SamplingEngine engine(work, systemClock());
    StopSignals signals;
    CommandOutcome started = engine.startSampling();
    if (started.ask == Ask::CurveStartValue) {
        started = engine.startSampling(engine.performNow(*started.exchange));
    }
    for (const std::string& m : started.messages) {
        err << printableUtf8(m) << '\n';
    }
    if (!started.running) {
        return 1;
    }
    CommandOutcome recording = engine.startRecording(outPath->second);
    if (recording.ask == Ask::CurveStartValue) {
        recording = engine.startRecording(outPath->second, engine.performNow(*recording.exchange));
    }
    if (engine.recordWriteFailed()) {
        // Nothing recorded yet and the file cannot be written: stop here and say so.
        err << filled(TERVO_TR("cli", "记录文件无法写入：%1，记录未开始！！！"),
                      {printableUtf8(outPath->second)})
            << '\n';
        return 1;
    }
    for (const std::string& m : recording.messages) {
        err << printableUtf8(m) << '\n';
    }
    if (!recording.messages.empty()) {
        return 1;  // another recorder has the file
    }
    services.recordingStarted();

    const auto begin = std::chrono::steady_clock::now();
    auto nextTick = begin + std::chrono::milliseconds(started.startTimerMs);
    size_t reported = 0;
    while (!g_stopRequested) {
        if (bySeconds &&
            std::chrono::steady_clock::now() - begin >= std::chrono::duration<double>(seconds)) {
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now < nextTick) {
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                nextTick - now, std::chrono::milliseconds(20)));
            continue;
        }
        const TickOutcome tick = services.tick(engine, systemClock());
        for (const std::string& m : tick.messages) {
            err << printableUtf8(m) << '\n';
        }
        for (const AlarmChange& c : services.takeAlarmChanges()) {
            err << alarmChangeText(c, work) << std::endl;
        }
        const RowStore& rows = engine.rows();
        if (reported == 0 && rows.rows() > 0) {
            // The columns named once, before the first row: the time, then each channel.
            out << TERVO_TR("cli", "时间");
            for (const ChannelInfo& channel : work.channels) {
                out << '\t' << printableUtf8(gbkToUtf8(channel.nameGbk()));
            }
            out << '\n';
        }
        for (; reported < rows.rows(); ++reported) {
            out << timeStampText(rows.times()[reported]);
            for (size_t c = 0; c < rows.channels(); ++c) {
                out << '\t' << cellText(rows.value(reported, c));
            }
            out << std::endl;
        }
        if (byCycles && reported >= static_cast<size_t>(cycles)) {
            break;
        }
        nextTick =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(tick.nextIntervalMs);
    }
    // Every completed cycle is already in the file unless the last write failed; stopping
    // writes nothing more.
    const bool lastWriteFailed = engine.recordWriteFailed();
    engine.stopRecording(true, true);
    engine.stopSampling(true);
    if (lastWriteFailed) {
        // Say what the disk really holds: the file of the last good write, or nothing at all
        // when it went with its folder.
        Recording onDisk;
        const size_t kept =
            readRecording(outPath->second, onDisk) == FileStatus::Ok ? onDisk.rowCount() : 0;
        err << filled(TERVO_TR("cli", "记录文件写入失败：已采集 %1 行，文件中有 %2 行：%3"),
                      {std::to_string(engine.rows().rows()), std::to_string(kept),
                       printableUtf8(outPath->second)})
            << '\n';
        return 1;
    }
    err << filled(TERVO_TR("cli", "已记录 %1 行：%2"),
                  {std::to_string(engine.rows().rows()), printableUtf8(outPath->second)})
        << '\n';
    return 0;
}

int commandDump(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        throw UsageError("dump needs one FILE");
    }
    const std::string& path = o.positional[0];
    if (hasExtension(path, "lin")) {
        return dumpCurve(path, out, err);
    }
    if (hasExtension(path, "awt")) {
        WorkDefinition work;
        if (FileStatus s = loadWorkTemplate(path, work); s != FileStatus::Ok) {
            return reportFile(s, path, err);
        }
        out << TERVO_TR("cli", "工作模板 ") << printableUtf8(path) << '\n';
        dumpDefinition(work, out);
        return 0;
    }
    Recording rec;
    if (FileStatus s = readRecording(path, rec); s != FileStatus::Ok) {
        return reportFile(s, path, err);
    }
    if (rec.occurrencesCutShort) {
        err << translated("core", kOccurrencesCutShortText) << '\n';
    }
    if (rec.foreignJournal) {
        err << translated("core", kForeignJournalText) << '\n';
    }
    out << TERVO_TR("cli", "记录文件 ") << printableUtf8(path) << '\n';
    dumpDefinition(rec.definition, out);
    out << filled(TERVO_TR("cli", "记录 %1 行"), {std::to_string(rec.rowCount())}) << '\n';
    if (rec.rowCount() > 0) {
        dumpRow(rec, 0, out);
        if (rec.rowCount() > 1) {
            dumpRow(rec, rec.rowCount() - 1, out);
        }
    }
    out << filled(TERVO_TR("cli", "事件发生 %1 次"), {std::to_string(rec.occurrences.size())})
        << '\n';
    for (const EventOccurrence& occurrence : rec.occurrences) {
        out << "  " << timeStampText(occurrence.time) << "  "
            << gbkToUtf8(occurrenceEventText(rec.definition, occurrence.event)) << '\n';
    }
    replayLeftJournal(path, rec, out);
    return 0;
}

int commandExport(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        throw UsageError("export needs one FILE.alt");
    }
    const std::string& path = o.positional[0];
    Recording rec;
    if (FileStatus s = readRecording(path, rec); s != FileStatus::Ok) {
        return reportFile(s, path, err);
    }
    if (rec.occurrencesCutShort) {
        err << translated("core", kOccurrencesCutShortText) << '\n';
    }
    if (rec.foreignJournal) {
        err << translated("core", kForeignJournalText) << '\n';
    }
    const auto given = o.flags.find("--out");
    const std::string csvPath =
        given != o.flags.end() ? given->second : replaceExtension(path, ".csv");
    const std::string eventsPath = eventsCsvPath(csvPath);
    refuseOverwritingInput(csvPath, path);
    refuseOverwritingInput(eventsPath, path);
    if (const CsvExportOutcome done = exportHistoryCsv(csvPath, rec);
        done.status != CsvExportStatus::Written) {
        err << filled(TERVO_TR("cli", "无法写入：%1"), {printableUtf8(done.failedPath)}) << '\n';
        return 1;
    }
    out << printableUtf8(csvPath) << '\n' << printableUtf8(eventsPath) << '\n';
    replayLeftJournal(path, rec, out);
    return 0;
}

}  // namespace tervo::cli
