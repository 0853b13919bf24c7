#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/curves/CurveChart.h"
#include "core/curves/CurveRules.h"
#include "core/curves/CurveUpload.h"
#include "core/link/ParameterTable.h"
#include "core/text/ValueText.h"
#include "core/work/WorkDefinition.h"
#include "support/FakeSerial.h"
#include "support/InstantBus.h"

using namespace tervo;
using tervo::testing::FakeClock;
using tervo::testing::InstantBus;

namespace {

TrackingCurve curveOf(std::initializer_list<CurveSegment> segments) {
    TrackingCurve c;
    for (const CurveSegment& s : segments) {
        c.addSegment();
        c.setSegment(c.count() - 1, s.rate, s.level, s.dwell);
    }
    return c;
}

// A select frame as "address mnemonic field", e.g. "01 SL20.00".
std::string describeWrite(const std::vector<uint8_t>& frame) {
    if (frame.size() != 15 || frame[0] != kEOT || frame[5] != kSTX) {
        return "(not a write)";
    }
    return std::string{char(frame[1]), char(frame[3]), ' '} +
           std::string(frame.begin() + 6, frame.begin() + 13);
}

// Every write on COM1 since the last call, as text.
std::vector<std::string> takeWrites(InstantBus& bus) {
    std::vector<std::string> out;
    for (const auto& frame : bus.written["COM1"]) {
        if (frame.size() == 15) {
            out.push_back(describeWrite(frame));
        }
    }
    bus.written["COM1"].clear();
    return out;
}

// Carries out every exchange the rules have queued, as the link thread would, and returns the
// outcomes of their results in order.
std::vector<CurveOutcome> pump(CurveRules& rules, SerialOpener& opener) {
    std::vector<CurveOutcome> outcomes;
    while (auto request = rules.nextRequest()) {
        outcomes.push_back(rules.finishRequest(perform(*request, opener)));
    }
    return outcomes;
}

LinkResult reply(uint8_t byte) {
    LinkResult r;
    r.writeReply = byte;
    return r;
}

CurveBoxes boxes(const std::string& addresses, const std::string& interval = "1秒") {
    return CurveBoxes{0, kDefaultBaudIndex, addresses, interval};
}

}  // namespace

TEST(CurveRules, AddressListAndNumbers) {
    EXPECT_EQ(curveAddressList("1, 2,3"), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(curveAddressList("12,,34"), (std::vector<int>{12, 34}));
    EXPECT_EQ(curveAddressList("101"), (std::vector<int>{1}));
    EXPECT_EQ(curveAddressList("99999999999999999999"), (std::vector<int>{99}));
    EXPECT_TRUE(curveAddressList("可输入多地址,由逗号隔开").empty());
    EXPECT_EQ(curveAddressList("地址7"), (std::vector<int>{7}));
    // Only the first 99 characters count.
    EXPECT_EQ(curveAddressList(std::string(98, ' ') + "123"), (std::vector<int>{1}));

    EXPECT_EQ(leadingNumber("12.5abc"), 12.5);
    EXPECT_EQ(leadingNumber("  -3"), -3.0);
    EXPECT_EQ(leadingNumber("+.5"), 0.5);
    EXPECT_EQ(leadingNumber("abc"), 0.0);
    EXPECT_EQ(leadingNumber("inf"), 0.0);
    EXPECT_EQ(leadingNumber("1e999"), 0.0);
    EXPECT_EQ(leadingNumber("1234567890123", 9), 123456789.0);
    EXPECT_EQ(leadingInteger("10秒"), 10);
    EXPECT_EQ(leadingInteger("秒"), 0);
    EXPECT_EQ(leadingInteger(" -5秒"), -5);
}

TEST(CurveRules, Editing) {
    CurveRules rules;
    rules.selectNext();
    EXPECT_EQ(rules.selected(), -1) << "nothing to select in an empty curve";
    rules.deleteSegment();
    rules.modifySegment("5", "5", "5");
    EXPECT_EQ(rules.curve().count(), 0);

    rules.addSegment();
    rules.addSegment();
    rules.selectNext();
    rules.selectNext();
    EXPECT_EQ(rules.selected(), 1);
    rules.selectNext();
    EXPECT_EQ(rules.selected(), 0) << "wraps after the last";
    rules.modifySegment("12.3456789xyz", "abc", "-2.5分钟");
    EXPECT_EQ(rules.curve().segments()[0].rate, 12.345678) << "nine characters";
    EXPECT_EQ(rules.curve().segments()[0].level, 0.0);
    EXPECT_EQ(rules.curve().segments()[0].dwell, -2.5);

    rules.deleteSegment();
    rules.deleteSegment();
    EXPECT_EQ(rules.curve().count(), 0);
    EXPECT_EQ(rules.selected(), 0) << "the selection stays 0 after the last one went";
    rules.selectNext();
    EXPECT_EQ(rules.selected(), -1);

    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(rules.addSegment().message.empty());
    }
    EXPECT_EQ(rules.addSegment().message, "曲线最多100段！！！");
    EXPECT_EQ(rules.curve().count(), 100);
}

TEST(CurveRules, DownloadWritesEachAddressSegmentBySegment) {
    InstantBus bus;
    bus.addPort("COM1", {1, 2, 3});
    CurveRules rules(curveOf({{5, 123.456, 0.5}, {-1, 2, 3}}));

    EXPECT_EQ(rules.download(CurveBoxes{-1, 5, "1", ""}).message, "输入错误！！！");
    EXPECT_EQ(rules.download(CurveBoxes{0, -1, "1", ""}).message, "输入错误！！！");
    EXPECT_EQ(rules.download(boxes("可输入多地址,由逗号隔开")).message, "无有效地址");
    EXPECT_TRUE(rules.idle()) << "nothing sent after a refusal";

    EXPECT_TRUE(rules.download(boxes("1, 2,3")).message.empty());
    const std::vector<CurveOutcome> outcomes = pump(rules, bus);
    ASSERT_EQ(outcomes.size(), 18u);
    EXPECT_EQ(outcomes.back().message, "修改成功！！！");
    const std::vector<std::string> one{"01 r15.00 ", "01 l1123.4", "01 t10.50 ",
                                       "01 r2-1.00", "01 l22.00 ", "01 t23.00 "};
    std::vector<std::string> expected = one;
    for (char a : {'2', '3'}) {
        for (std::string w : one) {
            w[1] = a;
            expected.push_back(w);
        }
    }
    EXPECT_EQ(takeWrites(bus), expected);
    EXPECT_EQ(bus.port("COM1").controller(3)->value(26), 123.4);

    // A refusal stops the whole download; values already written stay.
    emu::Faults nak;
    nak.nakWrites = true;
    bus.port("COM1").setFaults(2, nak);
    rules.download(boxes("1,2,3"));
    std::vector<CurveOutcome> refused = pump(rules, bus);
    ASSERT_EQ(refused.size(), 7u);
    EXPECT_EQ(refused.back().message, "修改失败！！！");
    EXPECT_EQ(takeWrites(bus).size(), 7u);

    emu::Faults silent;
    silent.silent = true;
    bus.port("COM1").setFaults(2, silent);
    rules.download(boxes("2,1"));
    std::vector<CurveOutcome> failed = pump(rules, bus);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed.back().message, "通信错误！！！");

    CurveRules empty;
    EXPECT_EQ(empty.download(boxes("1")).message, "修改成功！！！");
    EXPECT_FALSE(empty.nextRequest()) << "an empty curve writes nothing";

    // A controller holds eight segments: "r8", "l8", "t8" are the last it takes.
    CurveRules eight;
    for (int i = 0; i < 8; ++i) {
        eight.addSegment();
    }
    takeWrites(bus);
    ASSERT_TRUE(eight.download(boxes("1")).message.empty());
    EXPECT_EQ(pump(eight, bus).back().message, "修改成功！！！");
    const std::vector<std::string> written = takeWrites(bus);
    ASSERT_EQ(written.size(), 24u);
    EXPECT_EQ(written.back(), "01 t81.00 ");
    eight.addSegment();
    EXPECT_EQ(eight.download(boxes("1")).message, "仪表最多8段曲线！！！");
    EXPECT_TRUE(eight.idle());
}

// Start 20 typed, "1秒", one segment (r 60, L 80, t 1): SL 20, 21, 22 ... one per second, 80
// from elapsed 60, and the run pauses when the elapsed time passes 120 s.
TEST(CurveRules, PcControlRunAgainstTheEmulator) {
    InstantBus bus;
    bus.addPort("COM1", {1, 2});
    CurveRules rules(curveOf({{60, 80, 1}}));
    EXPECT_EQ(rules.currentValue(), kNoValue);

    EXPECT_EQ(rules.run(boxes("1,2", "秒")).message, "发送间隔错误！！！");
    EXPECT_EQ(rules.run(boxes("1,2", "0秒")).message, "发送间隔错误！！！");
    EXPECT_EQ(rules.run(boxes("1,2", "99999999秒")).message, "发送间隔错误！！！");
    EXPECT_EQ(rules.state(), CurveRunState::Stopped);

    const CurveOutcome asked = rules.run(boxes("1,2"));
    EXPECT_TRUE(asked.askStartPoint);
    const CurveOutcome started = rules.startRun(StartChoice::Typed, 20.0);
    EXPECT_EQ(started.timer, TimerAction::Start);
    EXPECT_EQ(started.intervalMs, 1000);
    EXPECT_EQ(rules.state(), CurveRunState::Running);
    EXPECT_TRUE(rules.idle()) << "the first tick comes one interval after the start";

    std::vector<double> sent;
    int ticks = 0;
    while (rules.state() == CurveRunState::Running && ticks < 1000) {
        ASSERT_EQ(rules.tick().timer, TimerAction::Start);
        const std::vector<CurveOutcome> outcomes = pump(rules, bus);
        ++ticks;
        sent.push_back(bus.port("COM1").controller(2)->value(kSL));
        ASSERT_EQ(takeWrites(bus).size(), 2u);
        EXPECT_EQ(outcomes.back().timer,
                  rules.state() == CurveRunState::Running ? TimerAction::Keep : TimerAction::Stop);
    }
    EXPECT_EQ(rules.state(), CurveRunState::Paused);
    EXPECT_EQ(rules.elapsedSeconds(), 121);
    ASSERT_EQ(ticks, 121);
    EXPECT_EQ(sent[0], 20.0);
    EXPECT_EQ(sent[1], 21.0);
    EXPECT_EQ(sent[2], 22.0);
    EXPECT_EQ(sent[30], 50.0);
    EXPECT_EQ(sent[60], 80.0);
    EXPECT_EQ(sent[120], 80.0);
    EXPECT_EQ(rules.currentValue(), 80.0);

    // The "%f" text: five characters of it go out.
    rules.stop();
    CurveRules fraction(curveOf({{7, 10, 1}}));
    fraction.run(boxes("1"));
    fraction.startRun(StartChoice::Typed, 123.456);
    fraction.tick();
    pump(fraction, bus);
    EXPECT_EQ(takeWrites(bus), (std::vector<std::string>{"01 SL123.4"}));
}

// The view's loop under PC control on a clock that moves only here: timer 1 as the outcomes arm
// it and the link thread's writes, one at a time, each taking `writeMs`.
class PcRunLoop {
public:
    explicit PcRunLoop(CurveRules& rules, FakeClock& clock)
        : m_rules(rules), m_clock(clock), m_start(clock.tick) {}

    void apply(const CurveOutcome& outcome) {
        if (outcome.timer == TimerAction::Start) {
            m_due = now() + static_cast<uint32_t>(outcome.intervalMs);
        } else if (outcome.timer == TimerAction::Stop) {
            m_due.reset();
        }
    }
    uint32_t now() const { return m_clock.tick - m_start; }  // ms since the loop began

    // Runs until `until`; every write is recorded as (ms when it went out, first five
    // characters of its value).
    void runUntil(uint32_t until, uint32_t writeMs) {
        for (;;) {
            if (!m_writing) {
                if (std::optional<LinkRequest> request = m_rules.nextRequest()) {
                    m_writing = now() + writeMs;
                    writes.emplace_back(now(), request->valueText.substr(0, 5));
                }
            }
            const uint32_t next =
                std::min(m_due.value_or(UINT32_MAX), m_writing.value_or(UINT32_MAX));
            if (next > until) {
                m_clock.advance(until - now());
                return;
            }
            m_clock.advance(next - now());
            if (m_writing && *m_writing == next) {
                m_writing.reset();
                apply(m_rules.finishRequest(reply(kACK)));
            } else {
                m_due.reset();
                apply(m_rules.tick());
            }
        }
    }

    std::vector<std::pair<uint32_t, std::string>> writes;

private:
    CurveRules& m_rules;
    FakeClock& m_clock;
    uint32_t m_start;
    std::optional<uint32_t> m_due;
    std::optional<uint32_t> m_writing;
};

// PC control keeps the clock's time: the ticks lie on the send interval's grid from the start
// (or the resumption) however long their writes take, a tick that finds the last one's writes
// still going out is skipped, not made up, and the elapsed time is the program's by the clock.
TEST(CurveRules, PcControlTicksOnTheClocksGrid) {
    const TrackingCurve curve = curveOf({{60, 200, 0}});  // one degree a second from 20
    const auto firstOfEachTick = [](const PcRunLoop& loop) {
        std::vector<std::pair<uint32_t, std::string>> first;
        for (size_t i = 0; i < loop.writes.size(); i += 3) {
            first.push_back(loop.writes[i]);
        }
        return first;
    };

    // Three writes of 100 ms a tick: one a second, on the second, for a minute.
    FakeClock clock;
    clock.tick = UINT32_MAX - 30'000;  // the tick count wraps meanwhile
    CurveRules rules(curve, 0, kDefaultBaudIndex, 0, clock);
    PcRunLoop loop(rules, clock);
    rules.run(boxes("1,2,3"));
    loop.apply(rules.startRun(StartChoice::Typed, 20));
    loop.runUntil(60'500, 100);
    std::vector<std::pair<uint32_t, std::string>> expected;
    for (uint32_t k = 1; k <= 60; ++k) {
        expected.emplace_back(k * 1000, formatDouble("%f", 19.0 + k).substr(0, 5));
    }
    EXPECT_EQ(firstOfEachTick(loop), expected);
    EXPECT_EQ(loop.writes.size(), 180u);
    EXPECT_EQ(rules.elapsedSeconds(), 60);

    // Paused at 60.5 s and run again at 70.2 s: the grid starts again from there.
    loop.apply(rules.pause());
    loop.runUntil(70'200, 100);
    loop.apply(rules.run(boxes("1,2,3")));
    loop.writes.clear();
    loop.runUntil(72'500, 100);
    EXPECT_EQ(firstOfEachTick(loop), (std::vector<std::pair<uint32_t, std::string>>{
                                         {71'200, "80.00"}, {72'200, "81.00"}}));
    EXPECT_EQ(rules.elapsedSeconds(), 62);

    // Three writes of 700 ms a tick (a silent controller's retries): the ticks at 2 and 3 s
    // find the first tick's writes still going out and are skipped; the next tick sends the
    // value of its own time, and the program keeps the clock's.
    CurveRules slow(curve, 0, kDefaultBaudIndex, 0, clock);
    PcRunLoop slowLoop(slow, clock);
    slow.run(boxes("1,2,3"));
    slowLoop.apply(slow.startRun(StartChoice::Typed, 20));
    slowLoop.runUntil(6'000, 700);
    EXPECT_EQ(slow.elapsedSeconds(), 1);
    slowLoop.runUntil(6'200, 700);
    EXPECT_EQ(slow.elapsedSeconds(), 4);
    slowLoop.runUntil(10'500, 700);
    EXPECT_EQ(slowLoop.writes, (std::vector<std::pair<uint32_t, std::string>>{
                                   {1000, "20.00"},
                                   {1700, "20.00"},
                                   {2400, "20.00"},
                                   {4000, "23.00"},
                                   {4700, "23.00"},
                                   {5400, "23.00"},
                                   {7000, "26.00"},
                                   {7700, "26.00"},
                                   {8400, "26.00"},
                                   {10'000, "29.00"},
                               }));
}

TEST(CurveRules, PauseResumeStopAndStartPoints) {
    InstantBus bus;
    bus.addPort("COM1", {1, 2});
    bus.port("COM1").controller(1)->setValue(kSL, 33.0);
    CurveRules rules(curveOf({{1, 100, 10}}));

    rules.run(boxes("1"));
    rules.startRun(StartChoice::SetValue, 0);
    EXPECT_EQ(rules.state(), CurveRunState::Stopped) << "until the start value is in";
    const std::vector<CurveOutcome> read = pump(rules, bus);
    EXPECT_EQ(rules.state(), CurveRunState::Running);
    EXPECT_EQ(rules.startValue(), 33.0);
    EXPECT_EQ(read.back().timer, TimerAction::Start);
    for (int i = 0; i < 5; ++i) {
        rules.tick();
        pump(rules, bus);
    }
    EXPECT_EQ(rules.elapsedSeconds(), 5);

    EXPECT_EQ(rules.pause().timer, TimerAction::Stop);
    EXPECT_EQ(rules.state(), CurveRunState::Paused);
    EXPECT_TRUE(rules.tick().message.empty());
    EXPECT_TRUE(rules.idle()) << "no tick while paused";
    const CurveOutcome resumed = rules.run(boxes("", "5秒"));
    EXPECT_EQ(resumed.intervalMs, 5000) << "the interval is read again";
    EXPECT_EQ(rules.elapsedSeconds(), 5);
    EXPECT_EQ(rules.startValue(), 33.0);
    rules.tick();
    pump(rules, bus);
    EXPECT_EQ(rules.elapsedSeconds(), 10);

    EXPECT_EQ(rules.stop().timer, TimerAction::Stop);
    EXPECT_EQ(rules.state(), CurveRunState::Stopped);
    EXPECT_EQ(rules.elapsedSeconds(), 10) << "kept until the next start";
    takeWrites(bus);

    // A silent controller: the start value is 0, without a message.
    emu::Faults silent;
    silent.silent = true;
    bus.port("COM1").setFaults(2, silent);
    rules.run(boxes("2,1"));
    rules.startRun(StartChoice::ProcessValue, 0);
    const std::vector<CurveOutcome> failed = pump(rules, bus);
    EXPECT_TRUE(failed.back().message.empty());
    EXPECT_EQ(rules.startValue(), 0.0);
    EXPECT_EQ(rules.elapsedSeconds(), 0) << "a new run starts at 0";
    EXPECT_EQ(rules.firstAddress(), 2);

    // A stop while the start value is being read cancels the start.
    rules.stop();
    rules.run(boxes("1"));
    rules.startRun(StartChoice::ProcessValue, 0);
    auto request = rules.nextRequest();
    ASSERT_TRUE(request);
    rules.stop();
    rules.finishRequest(perform(*request, bus));
    EXPECT_EQ(rules.state(), CurveRunState::Stopped);

    // A stop and a new run while a tick's writes are under way: the old tick moves nothing.
    rules.run(boxes("1"));
    rules.startRun(StartChoice::Typed, 50);
    rules.tick();
    request = rules.nextRequest();
    rules.stop();
    rules.run(boxes("1"));
    rules.startRun(StartChoice::Typed, 60);
    EXPECT_EQ(rules.finishRequest(perform(*request, bus)).timer, TimerAction::Keep);
    EXPECT_EQ(rules.elapsedSeconds(), 0);
    EXPECT_EQ(rules.startValue(), 60.0);
}

TEST(CurveRules, InstrumentControlCommands) {
    InstantBus bus;
    bus.addPort("COM1", {1, 2});
    CurveRules rules(curveOf({{1, 100, 10}}));
    EXPECT_EQ(rules.setPcControl(false).message, "进入下位机控制模式！");
    rules.download(boxes("1,2"));
    pump(rules, bus);
    takeWrites(bus);

    const CurveOutcome run = rules.run(boxes("1, 2"));
    EXPECT_FALSE(run.askStartPoint);
    EXPECT_EQ(run.timer, TimerAction::Keep) << "no timer";
    EXPECT_EQ(rules.state(), CurveRunState::Running);
    EXPECT_TRUE(rules.setPcControl(true).message.empty()) << "the mode changes only stopped";
    pump(rules, bus);
    EXPECT_EQ(takeWrites(bus), (std::vector<std::string>{"01 OS>0002", "02 OS>0002"}));
    EXPECT_EQ(bus.port("COM1").controller(2)->programState(),
              emu::Controller::ProgramState::Running);

    rules.pause();
    EXPECT_EQ(rules.state(), CurveRunState::Running) << "the controllers hold, the view runs";
    pump(rules, bus);
    EXPECT_EQ(takeWrites(bus), (std::vector<std::string>{"01 OS>0003", "02 OS>0003"}));
    EXPECT_EQ(bus.port("COM1").controller(1)->programState(), emu::Controller::ProgramState::Held);

    rules.stop();
    pump(rules, bus);
    EXPECT_EQ(takeWrites(bus), (std::vector<std::string>{"01 OS>0000", "02 OS>0000"}));
    EXPECT_EQ(rules.state(), CurveRunState::Stopped);
    rules.stop();
    pump(rules, bus);
    EXPECT_EQ(takeWrites(bus).size(), 2u) << "stop writes whatever the state";
    EXPECT_EQ(rules.setPcControl(true).message, "进入PC机控制模式！");
}

// The end of a program pauses only a PC-controlled run: a stopped window and a run of the
// controllers' own programs keep their state whatever elapsed time the last PC run left.
TEST(CurveRules, OnlyARunningPcProgramEnds) {
    CurveRules rules(curveOf({{0, 50, 0}}));
    rules.run(boxes("1", "60秒"));
    rules.startRun(StartChoice::Typed, 20);
    rules.tick();
    while (rules.nextRequest()) {
        rules.finishRequest(reply(kACK));
    }
    EXPECT_EQ(rules.state(), CurveRunState::Paused);
    EXPECT_TRUE(rules.programOver());
    rules.stop();
    EXPECT_EQ(rules.state(), CurveRunState::Stopped);
    rules.setPcControl(false);
    rules.run(boxes("1"));
    while (rules.nextRequest()) {
        rules.finishRequest(reply(kACK));
    }
    EXPECT_EQ(rules.state(), CurveRunState::Running);
    EXPECT_EQ(rules.pause().timer, TimerAction::Keep);
    EXPECT_EQ(rules.state(), CurveRunState::Running);
}

TEST(CurveRules, ProgramsThatNeverEnd) {
    for (const TrackingCurve& curve : {TrackingCurve(), curveOf({{-1, 80, 1}, {1, 90, 1}})}) {
        CurveRules rules(curve);
        rules.run(boxes("1", "60秒"));
        rules.startRun(StartChoice::Typed, 20);
        for (int i = 0; i < 10; ++i) {
            rules.tick();
            while (auto request = rules.nextRequest()) {
                rules.finishRequest(reply(0));
            }
        }
        EXPECT_EQ(rules.state(), CurveRunState::Running);
        EXPECT_EQ(rules.elapsedSeconds(), 600);
        EXPECT_EQ(rules.currentValue(), 20.0);
    }
}

TEST(CurveUpload, ReadsSegmentsInOrder) {
    InstantBus bus;
    bus.addPort("COM1", {4});
    emu::Controller& c = *bus.port("COM1").controller(4);
    const double values[6] = {1.5, 80, 10, 2, 30, 0};
    for (int i = 0; i < 6; ++i) {
        c.setValue(25 + i, values[i]);
    }
    EXPECT_FALSE(isUploadSegmentCount(0));
    EXPECT_FALSE(isUploadSegmentCount(9));
    EXPECT_TRUE(isUploadSegmentCount(8));

    CurveUpload upload(2, 0, kDefaultBaudIndex, 4);
    EXPECT_EQ(upload.progressMaximum(), 6);
    std::vector<int> progress;
    std::vector<std::string> lines;
    UploadOutcome outcome;
    do {
        const std::optional<UploadStep> step = upload.tick().step;
        ASSERT_TRUE(step);
        progress.push_back(step->progress);
        outcome = upload.finishTick(perform(step->read, bus));
        if (!outcome.listLine.empty()) {
            lines.push_back(outcome.listLine);
        }
    } while (!outcome.done && !outcome.failed);
    EXPECT_TRUE(outcome.done);
    EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    std::vector<std::string> polled;
    for (const auto& frame : bus.written["COM1"]) {
        polled.emplace_back(frame.begin() + 5, frame.begin() + 7);
    }
    EXPECT_EQ(polled, (std::vector<std::string>{"r1", "l1", "t1", "r2", "l2", "t2"}));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "第1条曲线  斜率：  1.50     设定值： 80.00     平台运行时间： 10.00",
                         "第2条曲线  斜率：  2.00     设定值： 30.00     平台运行时间：  0.00"}));
    ASSERT_EQ(upload.curve().count(), 2);
    EXPECT_EQ(upload.curve().segments()[0].level, 80.0);

    // A controller that stops answering at l2.
    CurveUpload broken(2, 0, kDefaultBaudIndex, 4);
    lines.clear();
    for (int tick = 0;; ++tick) {
        if (tick == 4) {
            emu::Faults silent;
            silent.silent = true;
            bus.port("COM1").setFaults(4, silent);
        }
        outcome = broken.finishTick(perform(broken.tick().step->read, bus));
        if (!outcome.listLine.empty()) {
            lines.push_back(outcome.listLine);
        }
        if (outcome.done || outcome.failed) {
            break;
        }
    }
    EXPECT_TRUE(outcome.failed);
    EXPECT_FALSE(outcome.done);
    EXPECT_EQ(lines.size(), 1u) << "segment 1 was listed";
}

// The reads go out 200 ms apart on the clock however long each takes; a tick that comes while
// a read is under way is skipped.
TEST(CurveUpload, ReadsOnA200MsGrid) {
    InstantBus bus;
    bus.addPort("COM1", {4});
    FakeClock clock;
    CurveUpload upload(2, 0, kDefaultBaudIndex, 4, clock);
    uint32_t now = 0;
    const auto at = [&](uint32_t ms) {
        clock.advance(ms - now);
        now = ms;
    };
    EXPECT_EQ(upload.start(), 200);
    // The reads at 200 and 400 ms take 13 ms, the one at 600 takes 300: the tick at 800 finds
    // it under way.
    for (uint32_t tickAt : {200u, 400u, 600u}) {
        at(tickAt);
        const UploadTick tick = upload.tick();
        EXPECT_EQ(tick.nextMs, 200);
        ASSERT_TRUE(tick.step);
        if (tickAt == 600) {
            at(800);
            const UploadTick skipped = upload.tick();
            EXPECT_FALSE(skipped.step) << "a read is under way";
            EXPECT_EQ(skipped.nextMs, 200);
        }
        at(tickAt + (tickAt == 600 ? 300 : 13));
        upload.finishTick(perform(tick.step->read, bus));
    }
    // The timer comes 5 ms late, which the next tick makes good.
    at(1005);
    UploadTick tick = upload.tick();
    EXPECT_EQ(tick.nextMs, 195);
    ASSERT_TRUE(tick.step);
    EXPECT_EQ(tick.step->progress, 3);
    while (!upload.finishTick(perform(tick.step->read, bus)).done) {
        at(now + static_cast<uint32_t>(tick.nextMs));
        tick = upload.tick();
        ASSERT_TRUE(tick.step);
    }
    EXPECT_EQ(upload.curve().count(), 2);
}

TEST(CurveChart, PensScalesAndDegenerateRanges) {
    // Start 20, (r 60, L 80, t 1): ramp 0..1 min, dwell 1..2 min; total 2 minutes.
    const TrackingCurve curve = curveOf({{60, 80, 1}});
    CurveChart chart = layoutCurveChart(curve, 20, 0, -1);
    ASSERT_EQ(chart.program.size(), 2u);
    EXPECT_EQ(chart.program[0], (ChartLine{15, 510, 495, 10, ChartPen::NotRun}));
    EXPECT_EQ(chart.program[1], (ChartLine{495, 10, 975, 10, ChartPen::NotRun}));
    EXPECT_EQ(chart.grid.front(), (ChartLine{15, 510, 975, 510, ChartPen::LevelGrid}));
    ASSERT_EQ(chart.labels.size(), 3u);
    EXPECT_EQ(chart.labels[0].text, "80.00");
    EXPECT_EQ(chart.labels[1].text, "1.0");
    EXPECT_EQ(chart.labels[1].x, 485);
    EXPECT_EQ(chart.labels[1].y, 530) << "a ramp end";
    EXPECT_EQ(chart.labels[2].y, 515) << "a dwell end";

    // Half way up the ramp: red to x 255, the rest blue; selected: green.
    chart = layoutCurveChart(curve, 20, 30, 0);
    ASSERT_EQ(chart.program.size(), 3u);
    EXPECT_EQ(chart.program[0], (ChartLine{15, 510, 255, 260, ChartPen::Run}));
    EXPECT_EQ(chart.program[1], (ChartLine{255, 260, 495, 10, ChartPen::NotRunSelected}));
    EXPECT_EQ(chart.program[2].pen, ChartPen::NotRunSelected);
    chart = layoutCurveChart(curve, 20, 120, 0);
    EXPECT_EQ(chart.program[0].pen, ChartPen::Run);
    EXPECT_EQ(chart.program[1].pen, ChartPen::Run);

    // All levels at the start value, and a program of no duration, draw inside the area.
    chart = layoutCurveChart(curveOf({{0, 20, 0}}), 20, 0, -1);
    for (const ChartLine& line : chart.program) {
        EXPECT_EQ(line.y1, 260);
        EXPECT_EQ(line.x1, 15);
    }
    chart = layoutCurveChart(TrackingCurve(), 20, 0, -1);
    EXPECT_TRUE(chart.program.empty());
    EXPECT_EQ(chart.grid.size(), 1u);
}
