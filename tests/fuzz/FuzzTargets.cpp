#include "fuzz/FuzzTargets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "curves/TrackingCurve.h"
#include "link/LinkRequest.h"
#include "sim/PanelRules.h"
#include "sim/SimTemplate.h"
#include "support/FakeSerial.h"
#include "text/HexText.h"
#include "work/WorkFiles.h"

namespace tervo::fuzz {

namespace {

void expect(bool held, const char* promise) {
    if (!held) {
        std::fprintf(stderr, "fuzz: broken promise: %s\n", promise);
        std::abort();
    }
}

constexpr size_t kRecordHeaderBytes = 16;
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
    // Any header is accepted and the writer puts its own; the rest comes back unchanged.
    const std::vector<uint8_t> written = recordFileBytes(
        recording.definition, recording.times.data(), recording.values.data(), recording.rowCount(),
        recording.occurrences.data(), recording.occurrences.size());
    expect(written.size() == size && std::equal(written.begin() + kRecordHeaderBytes, written.end(),
                                                data + kRecordHeaderBytes),
           "a record file is written back unchanged");
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
        expect(!strict || written.size() == size, "the strict reader takes no trailing bytes");
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

}  // namespace tervo::fuzz
