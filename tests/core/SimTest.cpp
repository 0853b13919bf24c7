#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/io/FileIo.h"
#include "core/link/ParameterTable.h"
#include "core/sim/PanelRules.h"
#include "core/sim/SimTemplate.h"
#include "core/text/Gbk.h"
#include "support/InstantBus.h"
#include "support/ProcStatus.h"

using namespace tervo;
using tervo::testing::InstantBus;

namespace {

std::vector<std::pair<int, int>> origins(const SimTemplate& t) {
    std::vector<std::pair<int, int>> out;
    for (const SimInstrument& p : t.panels()) {
        out.emplace_back(p.x, p.y);
    }
    return out;
}

std::vector<int> addresses(const SimTemplate& t) {
    std::vector<int> out;
    for (const SimInstrument& p : t.panels()) {
        out.push_back(p.address);
    }
    return out;
}

SimTemplate withAddresses(std::initializer_list<int> list) {
    SimTemplate t;
    for (int a : list) {
        t.addInstrument({0, 5, static_cast<uint8_t>(a)});
    }
    return t;
}

std::filesystem::path tempFile(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("tervo-sim-" + std::to_string(::getpid()) + "-" + name);
}

LinkResult pollReply(std::vector<uint8_t> reply) {
    LinkResult r;
    r.exchange.status = LinkStatus::Ok;
    r.exchange.reply = std::move(reply);
    return r;
}

LinkResult silence() {
    LinkResult r;
    r.exchange.status = LinkStatus::NoReply;
    return r;
}

std::vector<uint8_t> replyWithField(const std::string& field) {
    std::vector<uint8_t> r{kSTX, 'S', 'P'};
    for (char c : field) {
        r.push_back(static_cast<uint8_t>(c));
    }
    r.push_back(kETX);
    r.push_back(0);
    return r;
}

// Presses and holds a key of `panel` (its sensitive area's top left corner).
void press(PanelRules& rules, int panel, PanelKey key) {
    const SimInstrument& p = rules.simTemplate().panel(panel);
    rules.mouseDown(p.x + keyArea(key).left, p.y + keyArea(key).top);
}

}  // namespace

TEST(SimTemplate, AddingPlacesPanelsInRowsOfFiveWithTheNextSettings) {
    SimTemplate t;
    for (int i = 0; i < 7; ++i) {
        t.addInstrument(t.nextLink());
        EXPECT_EQ(t.current(), i);
    }
    EXPECT_EQ(origins(t),
              (std::vector<std::pair<int, int>>{
                  {0, 0}, {200, 0}, {400, 0}, {600, 0}, {800, 0}, {0, 180}, {200, 180}}));
    EXPECT_EQ(addresses(t), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    for (const SimInstrument& p : t.panels()) {
        EXPECT_EQ(p.port, 0);
        EXPECT_EQ(p.baud, 5);
        EXPECT_EQ(toString(p.pvText), "8888.");
        EXPECT_EQ(toString(p.svText), "8888.");
    }
    // The next settings follow the last panel, the address wrapping after 99.
    SimTemplate wrap;
    wrap.addInstrument({3, 6, 99});
    EXPECT_EQ(wrap.nextLink(), (PanelLink{3, 6, 0}));
    // A panel dragged beyond x 700 makes the next one start a row below it.
    wrap.panel(0).x = 701;
    wrap.panel(0).y = 33;
    wrap.addInstrument(wrap.nextLink());
    EXPECT_EQ(origins(wrap).back(), (std::pair<int, int>{0, 213}));
}

TEST(SimTemplate, RemovingAndRearranging) {
    SimTemplate t = withAddresses({7, 3, 5});
    t.rearrange();
    EXPECT_EQ(addresses(t), (std::vector<int>{3, 5, 7}));
    EXPECT_EQ(origins(t), (std::vector<std::pair<int, int>>{{0, 0}, {202, 0}, {404, 0}}));

    // Equal addresses are never exchanged with each other.
    SimTemplate equal;
    for (uint8_t port : {0, 1, 2}) {
        equal.addInstrument({port, 5, 4});
    }
    equal.addInstrument({5, 5, 1});
    equal.rearrange();
    std::vector<int> ports;
    for (const SimInstrument& p : equal.panels()) {
        ports.push_back(p.port);
    }
    // Exchange sort: position 0 takes the 1 (port 5), the first 4 goes to the back.
    EXPECT_EQ(ports, (std::vector<int>{5, 1, 2, 0}));

    SimTemplate many;
    for (int i = 0; i < 20; ++i) {
        many.addInstrument(many.nextLink());
    }
    many.rearrange();
    EXPECT_EQ(origins(many)[5], (std::pair<int, int>{0, 135}));
    EXPECT_EQ(origins(many)[19], (std::pair<int, int>{808, 405}));
    SimTemplate fifteen;
    for (int i = 0; i < 15; ++i) {
        fifteen.addInstrument(fifteen.nextLink());
    }
    fifteen.rearrange();
    EXPECT_EQ(origins(fifteen)[14], (std::pair<int, int>{808, 392}));

    SimTemplate three = withAddresses({0, 1, 2});
    EXPECT_EQ(three.current(), 2);
    three.removeCurrent();
    EXPECT_EQ(three.count(), 2);
    EXPECT_EQ(three.current(), 0);
    three.setCurrent(0);
    three.removeCurrent();
    EXPECT_EQ(addresses(three), (std::vector<int>{1}));
    three.removeCurrent();
    three.removeCurrent();  // empty: nothing happens
    EXPECT_EQ(three.count(), 0);
}

TEST(SimTemplate, HitTestPrefersTheCurrentPanelWithItsEdges) {
    SimTemplate t = withAddresses({0, 1});
    t.panel(1).x = 100;  // overlaps panel 0 from x 100 to 200
    t.setCurrent(0);
    EXPECT_EQ(t.hitPanel(150, 50), 0);
    EXPECT_EQ(t.hitPanel(200, 180), 0);  // the current panel's corner counts
    t.setCurrent(1);
    EXPECT_EQ(t.hitPanel(150, 50), 1);
    t.setCurrent(-1);
    EXPECT_EQ(t.hitPanel(150, 50), 1);  // the later panel is drawn over the earlier
    EXPECT_EQ(t.hitPanel(0, 50), -1);   // other panels' edges do not count
    EXPECT_EQ(t.hitPanel(50, 0), -1);
    EXPECT_EQ(t.hitPanel(50, 50), 0);
    EXPECT_EQ(t.hitPanel(400, 50), -1);

    // Origins from a file may lie at the ends of the 32-bit range.
    t.panel(0).x = 0x7FFFFFFF;
    t.panel(0).y = 0x7FFFFFFF;
    t.setCurrent(0);
    EXPECT_EQ(t.hitPanel(0x7FFFFFFF, 0x7FFFFFFF), 0);
    EXPECT_EQ(t.hitPanel(-0x7FFFFFFF - 1, 0), -1);
    t.panel(1).x = 800;
    t.panel(1).y = 0x7FFFFFF0;
    t.addInstrument({0, 5, 9});
    EXPECT_EQ(t.panel(2).y, 0x7FFFFFFF);  // a row below the last, as far as there is room
    PanelRules rules(t);
    rules.mouseDown(10, 0x7FFFFFFF);  // panel 2, current, by its edge
    rules.mouseMove(-0x7FFFFFFF - 1, 5);
    EXPECT_EQ(rules.simTemplate().panel(2).x, -0x7FFFFFFF - 1);
    EXPECT_EQ(rules.simTemplate().panel(2).y, 5);
}

TEST(SimTemplate, FileLayoutAndItsChecks) {
    SimTemplate empty;
    const std::vector<uint8_t> head = empty.bytes();
    ASSERT_EQ(head.size(), 28u);
    EXPECT_EQ(std::string(head.begin(), head.begin() + 24), utf8ToGbk("Quorvex5控制软件模板文件"));
    EXPECT_EQ(std::vector<uint8_t>(head.begin() + 24, head.end()),
              (std::vector<uint8_t>{0, 0, 0, 0}));

    SimTemplate t = withAddresses({7, 3, 5});
    t.panel(1).x = -30;  // dragged partly off the canvas
    t.panel(1).y = 0x01020304;
    t.panel(1).port = 1;
    t.panel(1).baud = 6;
    t.panel(1).pvText = displayText(" 25.4");
    t.panel(1).svText = displayText(" Err.");
    const std::vector<uint8_t> bytes = t.bytes();
    ASSERT_EQ(bytes.size(), 28u + 3 * 28);
    const std::vector<uint8_t> record(bytes.begin() + 56, bytes.begin() + 84);
    const std::vector<uint8_t> expected{0xE2, 0xFF, 0xFF, 0xFF, 4,   3,   2,   1,   1,   6,
                                        3,    0,    0,    0,    0,   0,   ' ', '2', '5', '.',
                                        '4',  ' ',  'E',  'r',  'r', '.', 0,   0};
    EXPECT_EQ(record, expected);
    EXPECT_EQ(bytes[24], 3);

    // Read back: positions and settings as saved, every display back to "8888.".
    std::vector<uint8_t> dirty = bytes;
    dirty[56 + 11] = 0x55;  // reserved bytes are ignored
    dirty[56 + 26] = 0x66;
    SimTemplate loaded;
    ASSERT_EQ(loaded.parse(dirty), SimStatus::Ok);
    EXPECT_EQ(loaded.count(), 3);
    EXPECT_EQ(loaded.current(), 0);
    EXPECT_EQ(loaded.panel(1).x, -30);
    EXPECT_EQ(loaded.panel(1).y, 0x01020304);
    EXPECT_EQ(loaded.panel(1).port, 1);
    EXPECT_EQ(loaded.panel(1).baud, 6);
    EXPECT_EQ(addresses(loaded), (std::vector<int>{7, 3, 5}));
    for (const SimInstrument& p : loaded.panels()) {
        EXPECT_EQ(toString(p.pvText), "8888.");
        EXPECT_EQ(toString(p.svText), "8888.");
    }

    // One byte more, one byte less, a head cut short, counts below 0 or beyond the file.
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_EQ(loaded.parse(longer), SimStatus::Bad);
    EXPECT_EQ(loaded.count(), 3);  // a refused file changes nothing
    EXPECT_EQ(loaded.parse(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1)), SimStatus::Bad);
    EXPECT_EQ(loaded.parse(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 27)),
              SimStatus::Bad);
    for (uint32_t count : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x09249249u, 4u}) {
        std::vector<uint8_t> bad = bytes;
        bad[24] = static_cast<uint8_t>(count);
        bad[25] = static_cast<uint8_t>(count >> 8);
        bad[26] = static_cast<uint8_t>(count >> 16);
        bad[27] = static_cast<uint8_t>(count >> 24);
        EXPECT_EQ(loaded.parse(bad), SimStatus::Bad) << count;
    }
    std::vector<uint8_t> anyHead = bytes;
    anyHead[0] = 'X';
    EXPECT_EQ(loaded.parse(anyHead), SimStatus::Ok);

    const std::filesystem::path path = tempFile("t.sim");
    ASSERT_EQ(t.save(path.string()), SimStatus::Ok);
    std::vector<uint8_t> onDisk;
    ASSERT_TRUE(readWholeFile(path.string(), onDisk));
    EXPECT_EQ(onDisk, bytes);
    SimTemplate fromDisk;
    EXPECT_EQ(fromDisk.load(path.string()), SimStatus::Ok);
    EXPECT_EQ(fromDisk.count(), 3);
    std::filesystem::remove(path);
    EXPECT_EQ(fromDisk.load(path.string()), SimStatus::CannotOpen);
    EXPECT_EQ(t.save((path / "no-such-dir" / "x.sim").string()), SimStatus::CannotWrite);
}

// A file far longer than its count says is refused without being taken into memory.
TEST(SimTemplate, ALongFileIsReadNoFurtherThanItsCount) {
    const std::filesystem::path path = tempFile("long.sim");
    ASSERT_EQ(withAddresses({1, 2, 3}).save(path.string()), SimStatus::Ok);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) + (uintmax_t{1} << 29));
    const bool peakReset =
        static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5" << std::flush);
    const long before = tervo::testing::statusKb("VmRSS:");
    SimTemplate loaded;
    EXPECT_EQ(loaded.load(path.string()), SimStatus::Bad);
    if (peakReset && before > 0) {
        EXPECT_LT(tervo::testing::statusKb("VmHWM:") - before, 50 * 1024) << "kB";
    }
    std::filesystem::remove(path);
}

TEST(PanelDisplay, GlyphsAndPointCells) {
    using C = DisplayCell;
    // Every glyph is followed by one point cell.
    EXPECT_EQ(
        displayCells(displayText("8888."), DisplayKind::Red),
        (std::vector<C>{
            {208, 26}, {321, 9}, {208, 26}, {321, 9}, {208, 26}, {321, 9}, {208, 26}, {312, 9}}));
    EXPECT_EQ(displayCells(displayText(" 25.0"), DisplayKind::Green),
              (std::vector<C>{
                  {209, 19}, {234, 6}, {38, 19}, {234, 6}, {95, 19}, {228, 6}, {0, 19}, {234, 6}}));
    EXPECT_EQ(
        displayCells(displayText(" Err."), DisplayKind::Red),
        (std::vector<C>{
            {286, 26}, {321, 9}, {330, 26}, {321, 9}, {356, 26}, {321, 9}, {356, 26}, {312, 9}}));
    // On the green strip "E" and "r" have no glyphs of their own: the low four bits choose.
    EXPECT_EQ(
        displayCells(displayText("-Er.."), DisplayKind::Green),
        (std::vector<C>{{190, 19}, {234, 6}, {95, 19}, {234, 6}, {38, 19}, {228, 6}, {228, 6}}));
    // A text with no point at all still ends in a point cell; a leading point is one cell.
    EXPECT_EQ(displayCells(displayText(".1234"), DisplayKind::Red).size(), 9u);
    EXPECT_EQ(displayCells(displayText("12345"), DisplayKind::Red).size(), 10u);
}

TEST(PanelDisplay, KeyRepeatStepsTheSetValueText) {
    DisplayText t = displayText(" 25.0");
    for (int i = 0; i < 3; ++i) {
        t = stepSetValue(t, true);
    }
    EXPECT_EQ(toString(t), " 25.3");
    EXPECT_EQ(toString(stepSetValue(displayText("000.0"), false)), "999.9");
    EXPECT_EQ(toString(stepSetValue(displayText(" 99.9"), true)), "100.0");
    EXPECT_EQ(toString(stepSetValue(displayText("  0.0"), false)), "999.9");
    EXPECT_EQ(toString(stepSetValue(displayText("-12.0"), false)), "-11.9");
    EXPECT_EQ(toString(stepSetValue(displayText("999.9"), true)), "000.0");
    EXPECT_EQ(toString(stepSetValue(displayText("  1  "), true)), "  1 1");
}

TEST(PanelRules, PollsEveryPanelInTurnAgainstTheEmulator) {
    InstantBus bus;
    bus.addPort("COM1", {0, 1, 2});
    bus.port("COM1").controller(0)->setValue(kPV, 21.5);
    bus.port("COM1").controller(0)->setValue(kSL, 30.0);
    PanelRules rules(withAddresses({0, 1, 2}));
    std::vector<std::pair<int, int>> order;  // (address, table index)
    for (int i = 0; i < 7; ++i) {
        std::optional<PollPlan> plan = rules.beginPoll();
        ASSERT_TRUE(plan);
        EXPECT_FALSE(rules.beginPoll());  // one poll at a time
        EXPECT_EQ(plan->poll.kind, LinkRequest::Kind::Poll);
        order.emplace_back(plan->poll.address, plan->poll.parameterCode);
        const PollOutcome outcome = rules.finishPoll(perform(plan->poll, bus));
        EXPECT_EQ(outcome.panel, plan->poll.address);
        EXPECT_TRUE(outcome.armTimer);
    }
    EXPECT_EQ(order, (std::vector<std::pair<int, int>>{
                         {0, 0}, {0, 2}, {1, 0}, {1, 2}, {2, 0}, {2, 2}, {0, 0}}));
    // The frames on the wire: "PV" and "SP" polls of addresses 00, 11 ...
    const auto& frames = bus.written["COM1"];
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_EQ(frames[1], (std::vector<uint8_t>{kEOT, '0', '0', '0', '0', 'S', 'P', kENQ}));
    EXPECT_EQ(frames[2], (std::vector<uint8_t>{kEOT, '0', '0', '1', '1', 'P', 'V', kENQ}));
    EXPECT_EQ(toString(rules.simTemplate().panel(0).svText), " 30.0");
    EXPECT_EQ(toString(rules.simTemplate().panel(0).pvText), " 21.5");

    // A silent controller: " Err." on PV, SV keeps its text; a short reply shows the same.
    bus.port("COM1").setFaults(0, emu::Faults{.silent = true});
    rules.finishPoll(silence());  // nothing under way: ignored
    for (int i = 0; i < 5; ++i) {
        std::optional<PollPlan> plan = rules.beginPoll();
        ASSERT_TRUE(plan);
        rules.finishPoll(perform(plan->poll, bus));
    }
    EXPECT_EQ(toString(rules.simTemplate().panel(0).pvText), " Err.");
    EXPECT_EQ(toString(rules.simTemplate().panel(0).svText), " 30.0");
    std::optional<PollPlan> plan = rules.beginPoll();  // panel 0 "PV" again
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->panel, 0);
    EXPECT_EQ(plan->poll.parameterCode, static_cast<uint32_t>(kPV));
    rules.finishPoll(pollReply({kSTX, 'P', 'V', '1', '2', '3', '4'}));
    EXPECT_EQ(toString(rules.simTemplate().panel(0).pvText), " Err.");
    EXPECT_EQ(toString(rules.simTemplate().panel(0).svText), " 30.0");
    // Any eight bytes carry a field, taken exactly as received.
    plan = rules.beginPoll();
    EXPECT_EQ(plan->poll.parameterCode, static_cast<uint32_t>(kSP));
    rules.finishPoll(pollReply({0, 0, 0, 'a', 'b', 'c', 'd', 'e'}));
    EXPECT_EQ(toString(rules.simTemplate().panel(0).svText), "abcde");

    PanelRules none;
    EXPECT_FALSE(none.beginPoll());
}

TEST(PanelRules, HeldKeysStepWriteOnReleaseAndRestartAtThePanel) {
    PanelRules rules(withAddresses({0, 4, 9}));
    // Poll panel 1's "SP" to show " 25.0" there.
    for (int i = 0; i < 4; ++i) {
        std::optional<PollPlan> plan = rules.beginPoll();
        rules.finishPoll(i == 3 ? pollReply(replyWithField(" 25.0")) : silence());
    }
    ASSERT_EQ(toString(rules.simTemplate().panel(1).svText), " 25.0");

    const SimInstrument& p1 = rules.simTemplate().panel(1);
    const MouseOutcome down = rules.mouseDown(p1.x + 120, p1.y + 140);
    EXPECT_TRUE(down.stopPolling);
    EXPECT_TRUE(down.startRepeat);
    EXPECT_EQ(rules.heldKey(), PanelKey::Up);
    EXPECT_EQ(rules.activePanel(), 1);
    EXPECT_EQ(rules.simTemplate().current(), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rules.repeatStep(), panelRect(p1));
    }
    EXPECT_EQ(toString(rules.simTemplate().panel(1).svText), " 25.3");
    ReleaseOutcome up = rules.mouseUp(p1.x + 134, p1.y + 153);  // the key's far corner
    EXPECT_EQ(up.action, KeyAction::WriteSetValue);
    ASSERT_TRUE(up.write);
    EXPECT_EQ(up.write->kind, LinkRequest::Kind::Write);
    EXPECT_EQ(up.write->address, 4);
    EXPECT_EQ(up.write->parameterCode, static_cast<uint32_t>(kSL));
    EXPECT_EQ(up.write->valueText, " 25.3     ");
    EXPECT_EQ(up.redraw, panelRect(p1));
    EXPECT_FALSE(rules.repeatStep());
    // Polling waits for the write's result, then a whole interval.
    EXPECT_FALSE(up.armTimer);
    EXPECT_FALSE(rules.beginPoll());
    EXPECT_TRUE(rules.writeDone());
    EXPECT_FALSE(rules.writeDone());
    std::optional<PollPlan> next = rules.beginPoll();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->panel, 1);
    EXPECT_EQ(next->poll.parameterCode, static_cast<uint32_t>(kPV));

    // An "SP" poll under way while the key goes down neither restarts polling nor overwrites
    // the stepped text; the release still makes that panel's "PV" the next poll.
    rules.finishPoll(silence());
    ASSERT_EQ(rules.beginPoll()->poll.parameterCode, static_cast<uint32_t>(kSP));
    press(rules, 1, PanelKey::Down);
    rules.repeatStep();
    EXPECT_EQ(toString(rules.simTemplate().panel(1).svText), " 25.2");
    EXPECT_FALSE(rules.finishPoll(pollReply(replyWithField(" 25.0"))).armTimer);
    EXPECT_EQ(toString(rules.simTemplate().panel(1).svText), " 25.2");
    // Released away from the key: nothing is written.
    up = rules.mouseUp(p1.x + 150, p1.y + 140);
    EXPECT_EQ(up.action, KeyAction::None);
    EXPECT_FALSE(up.write);
    EXPECT_EQ(rules.beginPoll()->poll.parameterCode, static_cast<uint32_t>(kPV));
    const MouseOutcome link = rules.mouseDown(p1.x + 20, p1.y + 120);  // 通信
    EXPECT_TRUE(link.stopPolling);
    EXPECT_FALSE(link.startRepeat);
    EXPECT_FALSE(rules.finishPoll(silence()).armTimer);
    EXPECT_FALSE(rules.beginPoll());  // no polls while a key is held
    EXPECT_FALSE(rules.repeatStep());
    EXPECT_EQ(rules.mouseUp(p1.x + 50, p1.y + 127).action, KeyAction::LinkSettings);
    EXPECT_EQ(rules.beginPoll()->panel, 1);
    rules.finishPoll(silence());
    press(rules, 2, PanelKey::Parameters);
    const SimInstrument& p2 = rules.simTemplate().panel(2);
    ReleaseOutcome params = rules.mouseUp(p2.x + 14, p2.y + 145);
    EXPECT_EQ(params.action, KeyAction::Parameters);
    EXPECT_EQ(params.panel, 2);
}

TEST(PanelRules, DragHoverAndTemplateCommandsKeepTheActivePanelValid) {
    PanelRules rules(withAddresses({0, 1, 2}));
    // Hover: the key under the cursor on the panel under it; moves over nothing change nothing.
    MouseOutcome move = rules.mouseMove(400 + 20, 120);
    EXPECT_EQ(rules.activePanel(), 2);
    EXPECT_EQ(rules.hoveredKey(), PanelKey::Link);
    EXPECT_TRUE(move.redrawAll);
    move = rules.mouseMove(400 + 21, 120);
    EXPECT_FALSE(move.redrawAll || move.redraw);
    move = rules.mouseMove(400 + 60, 120);
    EXPECT_EQ(move.redraw, (CanvasRect{400, 0, 200, 180}));
    EXPECT_EQ(rules.hoveredKey(), PanelKey::None);
    rules.mouseMove(1000, 700);
    EXPECT_EQ(rules.activePanel(), 2);

    // Drag panel 0 off the left edge: no limits.
    rules.mouseDown(100, 50);
    EXPECT_EQ(rules.mouseMode(), MouseMode::Dragging);
    EXPECT_EQ(rules.simTemplate().current(), 0);
    EXPECT_TRUE(rules.mouseMove(30, 60).redrawAll);
    EXPECT_EQ(rules.simTemplate().panel(0).x, -70);
    EXPECT_EQ(rules.simTemplate().panel(0).y, 10);
    EXPECT_EQ(rules.mouseUp(30, 60).action, KeyAction::None);
    EXPECT_EQ(rules.beginPoll()->panel, 2);  // the active panel's "PV"
    rules.finishPoll(silence());

    // Removing the active last panel while it is current: panel 0 becomes current and active.
    rules.mouseDown(450, 50);
    rules.mouseUp(450, 50);
    ASSERT_EQ(rules.simTemplate().current(), 2);
    rules.removeCurrent();
    EXPECT_EQ(rules.simTemplate().count(), 2);
    EXPECT_EQ(rules.simTemplate().current(), 0);
    EXPECT_EQ(rules.activePanel(), 0);
    // A poll under way for a panel that goes changes no display.
    std::optional<PollPlan> plan = rules.beginPoll();
    ASSERT_EQ(plan->panel, 0);
    rules.removeCurrent();
    const PollOutcome late = rules.finishPoll(pollReply(replyWithField("123.4")));
    EXPECT_EQ(late.panel, -1);
    EXPECT_EQ(toString(rules.simTemplate().panel(0).pvText), "8888.");
    rules.removeCurrent();
    rules.removeCurrent();
    EXPECT_EQ(rules.simTemplate().count(), 0);
    EXPECT_EQ(rules.mouseUp(10, 10).action, KeyAction::None);
    EXPECT_FALSE(rules.beginPoll());

    rules.addPanel();
    rules.addPanel();
    EXPECT_EQ(addresses(rules.simTemplate()), (std::vector<int>{0, 1}));
    rules.replacePanels({{1, 6, 5}, {0, 5, 2}});
    EXPECT_EQ(rules.simTemplate().count(), 2);
    EXPECT_EQ(rules.simTemplate().panel(0).port, 1);
    EXPECT_EQ(origins(rules.simTemplate()), (std::vector<std::pair<int, int>>{{0, 0}, {200, 0}}));
    EXPECT_EQ(rules.activePanel(), 0);
    rules.setLink(1, {2, 3, 44});
    EXPECT_EQ(rules.simTemplate().panel(1).address, 44);
    rules.rearrange();
    EXPECT_EQ(addresses(rules.simTemplate()), (std::vector<int>{5, 44}));
}
