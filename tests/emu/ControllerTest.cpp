#include <gtest/gtest.h>

#include "emu/Controller.h"
#include "emu/EmuOptions.h"
#include "emu/ValueField.h"
#include "link/SerialLink.h"

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
        {"--link", "/tmp/x", "--addresses", "0-3", "--baud", "19200", "--speed", "60",
         "--turnaround", "2", "--fault", "1:silent", "--fault", "2:delay=150", "--fault", "2:nak"},
        o, error))
        << error;
    EXPECT_EQ(o.linkPath, "/tmp/x");
    EXPECT_EQ(o.addresses, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(o.baud, 19200u);
    EXPECT_EQ(o.speed, 60.0);
    EXPECT_EQ(o.turnaroundMs, 2);
    EXPECT_TRUE(o.faults[1].silent);
    EXPECT_EQ(o.faults[2].extraDelayMs, 150);
    EXPECT_TRUE(o.faults[2].nakWrites);

    const std::vector<std::vector<std::string>> bad = {
        {"--addresses", "0"},
        {"--link", "/tmp/x"},
        {"--link", "/tmp/x", "--addresses", "0", "--baud", "1000"},
        {"--link", "/tmp/x", "--addresses", "0", "--fault", "5:silent"},
        {"--link", "/tmp/x", "--addresses", "0", "--fault", "0:melt"},
        {"--link", "/tmp/x", "--addresses", "0", "--speed", "0"},
        {"--link", "/tmp/x", "--addresses", "0", "--bogus", "1"},
        {"--link", "/tmp/x", "--addresses"},
    };
    for (const auto& args : bad) {
        BusOptions b;
        EXPECT_FALSE(parseEmuArguments(args, b, error)) << args.back();
    }
}
