#include "fuzz/FuzzTargets.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/alarms/AlarmSettings.h"
#include "core/curves/TrackingCurve.h"
#include "core/io/FileIo.h"
#include "core/link/LinkRequest.h"
#include "core/sim/PanelRules.h"
#include "core/sim/SimTemplate.h"
#include "core/text/HexText.h"
#include "core/work/RecordWriter.h"
#include "core/work/WorkFiles.h"
#include "support/FakeSerial.h"

namespace tervo::fuzz {

namespace {

void expect(bool held, const char* promise) {
    if (!held) {
        std::fprintf(stderr, "fuzz: broken promise: %s\n", promise);
        std::abort();
    }
}

constexpr size_t kRecordHeaderBytes = 16;
constexpr size_t kOccurrenceCount = 232;  // K in a record file's head
constexpr size_t kCurveHeaderBytes = 12;

}  // namespace

void fuzzWorkTemplate(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    WorkDefinition work;
    if (parseWorkTemplate(bytes, work) != FileStatus::Ok) {
        return;
    }
    expect(work.channels.size() <= 20 && work.events.size() <= 20, "at most 20 of each");
    // The template reader ignores what follows the events; everything before comes back.
    const std::vector<uint8_t> written = workTemplateBytes(work);
    expect(written.size() <= size && std::equal(written.begin(), written.end(), data),
           "a template that was read is written back byte for byte");
}

void fuzzRecordFile(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    Recording recording;
    if (parseRecording(bytes, recording) != FileStatus::Ok) {
        return;
    }
    expect(recording.values.size() == recording.rowCount() * recording.channelCount(),
           "N values per row");
    // Any header is accepted and the writer puts its own; the rest comes back unchanged, up
    // to the last whole occurrence of a block cut short, whose count then says what was read.
    const std::vector<uint8_t> written = recordFileBytes(
        recording.definition, recording.times.data(), recording.values.data(), recording.rowCount(),
        recording.occurrences.data(), recording.occurrences.size());
    const bool cut = recording.occurrencesCutShort;
    expect(cut ? written.size() <= size && size - written.size() < 8 : written.size() == size,
           "of a file, at most a torn last occurrence is left out");
    expect(std::equal(written.begin() + kRecordHeaderBytes, written.begin() + kOccurrenceCount,
                      data + kRecordHeaderBytes) &&
               std::equal(written.begin() + kOccurrenceCount + 4, written.end(),
                          data + kOccurrenceCount + 4),
           "a record file is written back unchanged");
    expect(cut || std::equal(written.begin() + kOccurrenceCount,
                             written.begin() + kOccurrenceCount + 4, data + kOccurrenceCount),
           "the occurrence count of a whole file is kept");
}

namespace {

void putU64At(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint64_t u64At(const std::vector<uint8_t>& b, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = v << 8 | b[at + static_cast<size_t>(i)];
    }
    return v;
}

uint64_t fnv1a(const uint8_t* data, size_t size) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        h = (h ^ data[i]) * 1099511628211ull;
    }
    return h;
}

// Makes a journal name the file of `st` and gives its head and every entry its size claims
// the right checksum, so the fuzzer reaches what lies behind them.
void seal(std::vector<uint8_t>& journal, const struct stat& st) {
    constexpr size_t kHead = 40;
    constexpr size_t kEntryHead = 40;
    if (journal.size() < kHead) {
        return;
    }
    putU64At(journal, 8, static_cast<uint64_t>(st.st_dev));
    putU64At(journal, 16, static_cast<uint64_t>(st.st_ino));
    putU64At(journal, 32, fnv1a(journal.data(), 32));
    for (size_t at = kHead; journal.size() - at >= kEntryHead + 8;) {
        const uint64_t size = u64At(journal, at);
        if (size < kEntryHead + 8 || size > journal.size() - at) {
            break;
        }
        putU64At(journal, at + size - 8, fnv1a(journal.data() + at, size - 8));
        at += size;
    }
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    expect(f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() &&
               std::fclose(f) == 0,
           "the scratch files can be written");
}

}  // namespace

// A journal beside a record file of two channels, one event, three rows and two occurrences
// (560 bytes; the rows end at 544). The first byte says whether the rest is to be sealed
// (made to name the file, with right checksums); the rest is the journal. Whatever it holds,
// the reader's image and the file recovery leaves are the same, and a journal recovery could
// not apply stays with the file untouched.
void fuzzRecordJournal(const uint8_t* data, size_t size) {
    if (size == 0) {
        return;
    }
    static const std::string dir = [] {
        std::string name = (std::filesystem::temp_directory_path() / "tervo-fuzz-XXXXXX").string();
        expect(mkdtemp(name.data()) != nullptr, "a scratch folder");
        return name;
    }();
    const std::string path = dir + "/r.alt";
    const std::string journalPath = recordJournalPath(path);
    Recording rec;
    rec.definition.channels.resize(2);
    rec.definition.events.resize(1);
    rec.times = {1, 2, 3};
    rec.values = {1.0, 2.0, 3.0, 4.0, 5.0, 6.0};
    rec.occurrences = {{1, 0}, {3, 0}};
    const std::vector<uint8_t> file =
        recordFileBytes(rec.definition, rec.times.data(), rec.values.data(), rec.rowCount(),
                        rec.occurrences.data(), rec.occurrences.size());
    std::filesystem::remove(path);
    writeFile(path, file);
    std::vector<uint8_t> journal(data + 1, data + size);
    struct stat st {};
    expect(::stat(path.c_str(), &st) == 0, "the scratch file is there");
    if (data[0] & 1) {
        seal(journal, st);
    }
    writeFile(journalPath, journal);

    std::vector<uint8_t> image;
    expect(readRecordImage(path, image), "a record file with any journal reads");
    Recording read;
    (void)parseRecording(image, read);
    const bool recovered = recoverRecordFile(path);
    std::vector<uint8_t> onDisk;
    expect(readWholeFile(path, onDisk), "the file is still there");
    if (recovered) {
        expect(onDisk == image, "recovery leaves the image the reader showed");
        expect(!std::filesystem::exists(journalPath), "a recovered journal is removed");
    } else {
        expect(onDisk == file, "a journal recovery cannot apply leaves the file alone");
        expect(std::filesystem::exists(journalPath), "and stays beside it");
        std::vector<uint8_t> again;
        expect(readRecordImage(path, again) && again == image, "readers still lay it over");
    }
    std::filesystem::remove(journalPath);
}

void fuzzCurveFile(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    for (const bool strict : {false, true}) {
        TrackingCurve curve;
        if (curve.parse(bytes, strict) != CurveStatus::Ok) {
            continue;
        }
        expect(curve.count() <= TrackingCurve::kMaxSegments, "at most 100 segments");
        const std::vector<uint8_t> written = curve.bytes();
        expect(written.size() <= size && std::equal(written.begin() + kCurveHeaderBytes,
                                                    written.end(), data + kCurveHeaderBytes),
               "a curve that was read is written back byte for byte");
        expect(!strict || size < written.size() + 4,
               "the strict reader takes no room for another value after the last segment");
        // What the views and the acquisition compute from any curve.
        const double start = curve.count() > 0 ? curve.segments()[0].level : 0.0;
        (void)curve.valueAt(start, 3600);
        (void)curve.valueAtSkipping(start, 3600);
        (void)curve.totalMinutes(start);
        (void)curve.valueRange(start);
        (void)curve.points(start);
    }
}

// The first byte picks the operation and the parameter, the rest is the controller's reply to
// the first attempt; later attempts hear nothing.
void fuzzReplyCheck(const uint8_t* data, size_t size) {
    if (size == 0) {
        return;
    }
    const uint8_t selector = data[0];
    const std::vector<uint8_t> reply(data + 1, data + size);
    testing::FakeOpener opener;
    opener.replies.push_back(reply);
    const uint32_t code = selector % 49;
    const uint8_t address = selector % 100;
    const size_t heard = std::min(reply.size(), SerialLink::kReadSize);
    switch (selector % 3) {
        case 0: {
            const LinkResult result = perform(
                LinkRequest::read(ReadRequest{code, 0, kDefaultBaudIndex, address}), opener);
            uint8_t bcc = 0;
            for (size_t i = 1; i <= 8 && i < heard; ++i) {
                bcc ^= reply[i];
            }
            const bool good = heard == 10 && bcc == reply[9];
            expect(result.value.has_value() == good,
                   "a value exactly when ten bytes came with their block check");
            expect(!result.value || std::fabs(*result.value) <= 99999.0,
                   "five characters give at most 99999");
            break;
        }
        case 1: {
            const LinkResult result = perform(
                LinkRequest::write(0, kDefaultBaudIndex, address, code, "1.00      "), opener);
            expect(result.writeReply == (reply.empty() ? 0 : reply[0]),
                   "the write answer is the first reply byte");
            break;
        }
        default: {
            const LinkResult result = perform(
                LinkRequest::poll(0, kDefaultBaudIndex, address, static_cast<int>(code)), opener);
            expect(result.exchange.reply.size() == heard &&
                       std::equal(result.exchange.reply.begin(), result.exchange.reply.end(),
                                  reply.begin()),
                   "a poll hands back the reply as it came, at most 20 bytes");
            break;
        }
    }
}

void fuzzHexText(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<uint8_t> bytes = parseHexText(text);
    expect(bytes.size() <= size, "no more bytes than characters");
    // The hex form the screen shows reads back as the same bytes.
    expect(parseHexText(hexBytes(bytes)) == bytes, "hexBytes reads back unchanged");
}

// An instrument template, and what the simulation view does with whatever it holds: draw
// every panel's displays, rearrange, hit-test, step a set value, remove every panel.
void fuzzSimTemplate(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    SimTemplate simTemplate;
    if (simTemplate.parse(bytes) != SimStatus::Ok) {
        return;
    }
    expect(size == SimTemplate::kHeadBytes + simTemplate.panels().size() * SimInstrument::kBytes,
           "a template is exactly its counted panels");
    // Origins and links come back as read; the header, reserved bytes and texts are the
    // writer's own.
    const std::vector<uint8_t> written = simTemplate.bytes();
    expect(written.size() == size, "a template is written back at its size");
    for (size_t at = SimTemplate::kHeadBytes; at < size; at += SimInstrument::kBytes) {
        expect(std::equal(data + at, data + at + 11, written.begin() + static_cast<long>(at)),
               "origins and links are written back unchanged");
    }
    for (const SimInstrument& panel : simTemplate.panels()) {
        for (const DisplayText& text : {panel.pvText, panel.svText}) {
            expect(toString(text) == kUnpolledText, "every display starts at 8888.");
        }
    }
    PanelRules rules(simTemplate);
    for (int i = 0; i < rules.simTemplate().count(); ++i) {
        const SimInstrument& panel = rules.simTemplate().panel(i);
        // Points near the panel's corners, kept inside the int range.
        const int x = static_cast<int>(std::clamp<int64_t>(panel.x, -100000, 100000));
        const int y = static_cast<int>(std::clamp<int64_t>(panel.y, -100000, 100000));
        (void)rules.simTemplate().hitPanel(x, y);
        (void)keyAt(panel, x + 120, y + 140);
    }
    rules.rearrange();
    const SimTemplate& arranged = rules.simTemplate();
    for (int i = 1; i < arranged.count(); ++i) {
        expect(arranged.panel(i - 1).address <= arranged.panel(i).address,
               "rearranged panels ascend by address");
    }
    // The display texts of any reply: every glyph followed by one point cell.
    for (size_t at = 0; at + 5 <= size && at < 200; at += 5) {
        DisplayText text{};
        std::copy(data + at, data + at + 5, text.begin());
        for (const DisplayKind kind : {DisplayKind::Red, DisplayKind::Green}) {
            const std::vector<DisplayCell> cells = displayCells(text, kind);
            expect(cells.size() >= 5 && cells.size() <= 10, "five characters take 5..10 cells");
        }
        (void)stepSetValue(text, data[at] & 1);
    }
    while (rules.simTemplate().count() > 0) {
        rules.mouseDown(0, 0);
        rules.mouseUp(0, 0);
        rules.removeCurrent();
    }
}

void fuzzAlarmSettings(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const AlarmSettingsLoad load = parseAlarmSettings(text, 8, "f");
    if (load.status != AlarmSettingsLoad::Status::Ok) {
        expect(load.status == AlarmSettingsLoad::Status::Refused && !load.message.empty() &&
                   load.settings.channels.empty(),
               "a sidecar is taken or refused with a message, never half taken");
        return;
    }
    for (const ChannelAlarmSettings& c : load.settings.channels) {
        expect(!checkChannelAlarms(c, 8), "what is taken obeys the rules");
    }
    // What the dialog would save reads back as the same settings.
    AlarmSettings kept;
    for (const ChannelAlarmSettings& c : load.settings.channels) {
        if (c.hasAlarm()) {
            kept.channels.push_back(c);
        }
    }
    const AlarmSettingsLoad again = parseAlarmSettings(alarmSettingsJson(kept), 8, "f");
    expect(again.status == AlarmSettingsLoad::Status::Ok && again.settings == kept,
           "saved settings read back unchanged");
}

}  // namespace tervo::fuzz
