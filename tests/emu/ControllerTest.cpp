#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/link/SerialLink.h"
#include "emu/Controller.h"
#include "emu/ControllerBus.h"
#include "emu/EmuOptions.h"
#include "emu/ValueField.h"

using namespace tervo;
using namespace tervo::emu;
using Bytes = std::vector<uint8_t>;

TEST(ValueField, ShownAsTheDisplayShowsIt) {
    const std::pair<double, const char*> cases[] = {
        {25.0, " 25.0"},    {100.0, "100.0"},   {-12.5, "-12.5"}, {1234.0, "1234."},
        {0.125, "0.125"},   {23.4567, "23.46"}, {0.0, "  0.0"},   {12345.0, "12345"},
        {-0.0001, "  0.0"}, {1e9, "99999"},     {-1e9, "-9999"},  {99.999, "100.0"},
    };
    for (auto [value, field] : cases) {
        EXPECT_EQ(formatValueField(value), field) << value;
        const auto parsed = SerialLink::parseValueField(
            reinterpret_cast<const uint8_t*>(formatValueField(value).c_str()));
        EXPECT_NEAR(parsed, value, std::abs(value) < 1e5 ? 0.06 : 1e10) << value;
    }
    EXPECT_EQ(formatStatusField(2), ">0002");
}

TEST(ValueField, WrittenValuesTheControllerAccepts) {
    double v = 0;
    EXPECT_TRUE(parseWrittenValue("100.0", false, v));
    EXPECT_EQ(v, 100.0);
    EXPECT_TRUE(parseWrittenValue("-5.00", false, v));
    EXPECT_EQ(v, -5.0);
    EXPECT_TRUE(parseWrittenValue("  7  ", false, v));
    EXPECT_EQ(v, 7.0);
    EXPECT_TRUE(parseWrittenValue(".5   ", false, v));
    EXPECT_EQ(v, 0.5);
    for (const char* bad : {"     ", "abcde", "1.2.3", "--1  ", "1 2  ", "-    ", ">0002"}) {
        EXPECT_FALSE(parseWrittenValue(bad, false, v)) << bad;
    }
    EXPECT_TRUE(parseWrittenValue(">0003", true, v));
    EXPECT_EQ(v, 3.0);
    EXPECT_FALSE(parseWrittenValue(">   ", true, v));
}

TEST(Controller, AnswersPollsAndSelects) {
    Controller c;
    Bytes reply = c.answerPoll("SL");
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(std::string(reply.begin(), reply.end() - 1), "\x02SL 25.0\x03");
    uint8_t bcc = 0;
    for (int i = 1; i <= 8; ++i) {
        bcc ^= reply[i];
    }
    EXPECT_EQ(reply[9], bcc);
    EXPECT_EQ(c.answerPoll("zz"), Bytes{kEOT});
    EXPECT_EQ(c.answerPoll("LC"), Bytes{kEOT}) << "mnemonics are case-sensitive";

    EXPECT_EQ(c.answerSelect("SL", "60.0 ", true), kACK);
    EXPECT_EQ(c.value(kSL), 60.0);
    EXPECT_EQ(c.value(kSP), 60.0) << "SP follows SL while no program runs";
    EXPECT_EQ(c.answerSelect("SL", "70.0 ", false), kNAK) << "bad block check";
    EXPECT_EQ(c.answerSelect("SL", "abcde", true), kNAK);
    EXPECT_EQ(c.answerSelect("zz", "1.0  ", true), kNAK);
    for (const char* readOnly : {"PV", "OP", "SP"}) {
        EXPECT_EQ(c.answerSelect(readOnly, "1.0  ", true), kNAK) << readOnly;
    }
    EXPECT_EQ(c.value(kSL), 60.0);
    EXPECT_EQ(c.answerSelect("HB", "3.0  ", true), kACK);
    EXPECT_EQ(c.answerSelect("Hb", "4.0  ", true), kACK);
    EXPECT_EQ(c.value(10), 3.0);
    EXPECT_EQ(c.value(20), 4.0);
}

// Line noise is never an answer the link could take for a good one: a read reply is good at
// exactly ten bytes, a write's when its first byte is ACK. All of it fits one 20-byte read.
TEST(ControllerBus, GarbageBeforeInsteadOfOrAfterEachAnswer) {
    ControllerBus bus({0});
    bus.setFaults(0, Faults{.garbage = true});
    const Bytes poll{kEOT, '0', '0', '0', '0', 'S', 'L', kENQ};
    const Bytes good = Controller().answerPoll("SL");
    std::set<std::string> placements;
    std::set<size_t> lengths;
    for (int i = 0; i < 600; ++i) {
        const Bytes reply = bus.answer(poll).value().bytes;
        lengths.insert(reply.size());
        EXPECT_NE(reply.size(), 10u) << i;
        EXPECT_LE(reply.size(), 20u) << i;
        const auto at = std::search(reply.begin(), reply.end(), good.begin(), good.end());
        const bool first = at == reply.begin(), last = at + 10 == reply.end();
        placements.insert(at == reply.end() ? "instead" : first ? "before" : "after");
        EXPECT_TRUE(at == reply.end() || first || last) << "noise on one side only";
        Bytes noise(reply);
        if (at != reply.end()) {
            noise.erase(noise.begin() + (at - reply.begin()),
                        noise.begin() + (at - reply.begin()) + 10);
        }
        EXPECT_FALSE(noise.empty());
        EXPECT_EQ(std::count(noise.begin(), noise.end(), kACK), 0);
    }
    EXPECT_EQ(placements, (std::set<std::string>{"after", "before", "instead"}));
    EXPECT_GE(lengths.size(), 15u) << "bursts of every length";

    const Bytes select{
        kEOT, '0', '0', '0',  '0',
        kSTX, 'S', 'L', '3',  '0',
        '.',  '0', ' ', kETX, static_cast<uint8_t>('S' ^ 'L' ^ '3' ^ '0' ^ '.' ^ '0' ^ ' ' ^ kETX)};
    int accepted = 0;
    for (int i = 0; i < 300; ++i) {
        const Bytes reply = bus.answer(select).value().bytes;
        ASSERT_FALSE(reply.empty());
        EXPECT_LE(reply.size(), 20u);
        if (reply[0] == kACK) {
            ++accepted;
            EXPECT_EQ(std::count(reply.begin(), reply.end(), kACK), 1) << "its own ACK only";
        }
    }
    EXPECT_GT(accepted, 50) << "noise after the ACK leaves the write accepted";
    EXPECT_LT(accepted, 150);

    bus.setFaults(0, Faults{.silent = true, .garbage = true});
    EXPECT_FALSE(bus.answer(poll)) << "a silent controller stays silent";
}

TEST(Controller, PlantSettlesOnTheSetPoint) {
    Controller c;
    EXPECT_EQ(c.value(kPV), 20.0);
    c.advance(1800.0);
    EXPECT_NEAR(c.value(kPV), 25.0, 0.3);
    c.setValue(kSL, 150.0);
    c.advance(60.0);
    EXPECT_GT(c.value(kOP), 30.0) << "heating hard toward a far set point";
    c.advance(3600.0);
    EXPECT_NEAR(c.value(kPV), 150.0, 0.5);
    c.setValue(18, 20.0);  // HO limits the output power
    c.setValue(kSL, 300.0);
    c.advance(3600.0);
    EXPECT_LE(c.value(kOP), 20.0);
    EXPECT_LT(c.value(kPV), 20.0 + 3.8 * 20.0 + 1.0);
}

TEST(Controller, RampSoakProgramRunsHoldsAndStops) {
    Controller c;
    for (int n = 1; n <= 8; ++n) {
        c.setValue(segmentRampIndex(n), 0);
        c.setValue(segmentLevelIndex(n), 0);
        c.setValue(segmentDwellIndex(n), 0);
    }
    c.setValue(segmentRampIndex(1), 10.0);  // 10 per minute up to 60, hold 5 minutes
    c.setValue(segmentLevelIndex(1), 60.0);
    c.setValue(segmentDwellIndex(1), 5.0);
    c.setValue(segmentRampIndex(2), 0.0);  // then straight to 40 for 2 minutes
    c.setValue(segmentLevelIndex(2), 40.0);
    c.setValue(segmentDwellIndex(2), 2.0);

    EXPECT_EQ(c.answerSelect("OS", ">0002", true), kACK);
    EXPECT_EQ(c.programState(), Controller::ProgramState::Running);
    c.advance(60.0);
    EXPECT_NEAR(c.value(kSP), 30.0, 0.01) << "from PV 20 at 10 per minute";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.answerPoll("OS").data()) + 3, 5),
              ">0002");

    EXPECT_EQ(c.answerSelect("OS", ">0003", true), kACK);
    c.advance(600.0);
    EXPECT_NEAR(c.value(kSP), 30.0, 0.01) << "held";
    c.answerSelect("OS", ">0002", true);
    c.advance(180.0 + 290.0);  // reach 60, then most of the 5-minute dwell
    EXPECT_NEAR(c.value(kSP), 60.0, 0.01);
    c.advance(30.0);
    EXPECT_NEAR(c.value(kSP), 40.0, 0.01);
    c.advance(120.0);
    EXPECT_EQ(c.programState(), Controller::ProgramState::Stopped) << "ends after segment 2";
    EXPECT_EQ(c.value(kSP), 25.0) << "back on SL";

    c.answerSelect("OS", ">0002", true);
    c.advance(30.0);
    c.answerSelect("OS", ">0000", true);
    EXPECT_EQ(c.programState(), Controller::ProgramState::Stopped);
    EXPECT_EQ(c.value(kSP), 25.0);
}

TEST(EmuOptions, CommandLine) {
    BusOptions o;
    std::string error;
    ASSERT_TRUE(parseEmuArguments(
        {"--link", "/tmp/x", "--addresses", "0-3", "--baud", "19200", "--speed", "60.5",
         "--turnaround", "2", "--fault", "1:silent", "--fault", "2:delay=150", "--fault", "2:nak"},
        o, error))
        << error;
    EXPECT_EQ(o.linkPath, "/tmp/x");
    EXPECT_EQ(o.addresses, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(o.baud, 19200u);
    EXPECT_EQ(o.speed, 60.5);
    EXPECT_EQ(o.turnaroundMs, 2);
    EXPECT_TRUE(o.faults[1].silent);
    EXPECT_EQ(o.faults[2].extraDelayMs, 150);
    EXPECT_TRUE(o.faults[2].nakWrites);
    std::string faultFile;
    ASSERT_TRUE(parseEmuArguments(
        {"--link", "/tmp/x", "--addresses", "0", "--fault-file", "/tmp/f"}, o, error, &faultFile));
    EXPECT_EQ(faultFile, "/tmp/f");

    // The fault file's words, and the text the emulator prints for them.
    std::map<int, Faults> faults;
    ASSERT_TRUE(parseFaultList(" 0:garbage\n3:delay=90 0:nak\t", {0, 1, 3}, faults, error));
    EXPECT_EQ(faultListText(faults), "0:nak 0:garbage 3:delay=90");
    EXPECT_TRUE(faults[0].garbage && faults[0].nakWrites);
    faults.clear();
    EXPECT_TRUE(parseFaultList("\n", {0}, faults, error));
    EXPECT_EQ(faultListText(faults), "none");
    EXPECT_FALSE(parseFaultList("0:silent 2:silent", {0, 1}, faults, error));
    EXPECT_EQ(error, "bad fault (ADDR:KIND with ADDR on the bus): 2:silent");
    EXPECT_FALSE(parseFaultList("0:garbage,1:nak", {0, 1}, faults, error));
    EXPECT_EQ(faultListText({{1, Faults{.silent = true, .corruptBcc = true, .lengthDelta = -1}},
                             {2, Faults{.lengthDelta = 1}}}),
              "1:silent 1:bcc 1:short 2:long");

    const std::vector<std::vector<std::string>> bad = {
        {"--addresses", "0"},
        {"--link", "/tmp/x"},
        {"--link", "/tmp/x", "--addresses", "0", "--baud", "1000"},
        {"--link", "/tmp/x", "--addresses", "0", "--fault", "5:silent"},
        {"--link", "/tmp/x", "--addresses", "0", "--fault", "0:melt"},
        {"--link", "/tmp/x", "--addresses", "0", "--speed", "0"},
        {"--link", "/tmp/x", "--addresses", "0", "--bogus", "1"},
        {"--link", "/tmp/x", "--addresses"},
        {"--link", "/tmp/x", "--addresses", "0", "--fault", ""},
        {"--link", "/tmp/x", "--addresses", "0", "--fault", "0:nak 0:bcc"},
        {"--link", "/tmp/x", "--addresses", "0", "--fault-file"},
    };
    for (const auto& args : bad) {
        BusOptions b;
        EXPECT_FALSE(parseEmuArguments(args, b, error)) << args.back();
    }
}
