#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/curves/TrackingCurve.h"
#include "core/io/FileIo.h"
#include "core/link/ParameterTable.h"
#include "core/work/RecordWriter.h"
#include "core/work/SamplingEngine.h"
#include "core/work/WorkFiles.h"
#include "support/InstantBus.h"
#include "support/RawPty.h"
#include "support/TestDisk.h"

using namespace tervo;
using tervo::testing::FakeClock;
using tervo::testing::InstantBus;
using tervo::testing::TempDir;
using tervo::testing::TestDisk;

namespace {

constexpr int64_t k20040304_153000 = 1078414200;  // UTC

// Calendar breakdown in UTC, whatever the machine's zone.
class UtcClock : public FakeClock {
public:
    std::tm localTime(int64_t seconds) override {
        const time_t t = static_cast<time_t>(seconds);
        std::tm out{};
        gmtime_r(&t, &out);
        return out;
    }
};

ChannelInfo readChannel(int32_t code, uint8_t address) {
    ChannelInfo c;
    c.parameterCode = code;
    c.address = address;
    return c;
}

// A work on emulated controllers (COM1, addresses 0..9) that answer at once, driven the way
// the view drives it: the timer fires after each outcome's interval.
class Engine : public ::testing::Test {
protected:
    Engine() {
        clock.seconds = k20040304_153000;
        bus.addPort("COM1", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    }

    emu::Controller& controller(int address) { return *bus.port("COM1").controller(address); }

    // A curve channel writing SL of `address` from a curve file of `segments`.
    ChannelInfo curveChannel(uint8_t address, std::initializer_list<CurveSegment> segments) {
        TrackingCurve curve;
        for (const CurveSegment& s : segments) {
            curve.addSegment();
            curve.setSegment(curve.count() - 1, s.rate, s.level, s.dwell);
        }
        const std::string path = (curveDir / ("c" + std::to_string(++m_curves) + ".lin")).string();
        curve.save(path);
        ChannelInfo c = readChannel(kSL, address);
        c.downloadFlag = 1;
        c.setCurvePath(path);
        return c;
    }

    SamplingEngine& engine(SamplingEngine::Limits limits = {}) {
        if (!m_engine) {
            m_engine = std::make_unique<SamplingEngine>(work, clock, bus, limits);
        }
        return *m_engine;
    }

    // Runs ticks until `ms` of engine time have passed, collecting what the view would see.
    void run(uint32_t ms) {
        const uint32_t until = clock.tick + ms;
        while (clock.tick + m_interval <= until) {
            clock.advance(static_cast<uint32_t>(m_interval));
            ++ticks;
            TickOutcome out = engine().tick();
            m_interval = out.nextIntervalMs;
            if (out.secondChanged) {
                captions.push_back(out.caption);
            }
            if (out.cycleCompleted) {
                rowTicks.push_back(ticks);
            }
            messages.insert(messages.end(), out.messages.begin(), out.messages.end());
        }
    }

    // Starts sampling the way the view does: a work with a curve channel first has the curve
    // start value read, then the command is given again with the result.
    void start() {
        CommandOutcome out = engine().startSampling();
        if (out.ask == Ask::CurveStartValue) {
            ASSERT_FALSE(out.running);
            ASSERT_TRUE(out.exchange.has_value());
            out = engine().startSampling(perform(*out.exchange, bus));
        }
        ASSERT_TRUE(out.running);
        ASSERT_EQ(out.startTimerMs, 225);
        m_interval = out.startTimerMs;
    }

    std::vector<std::string> selectFieldsTo(int address) {
        std::vector<std::string> fields;
        for (const auto& frame : bus.written["COM1"]) {
            if (frame.size() == 15 && frame[4] == '0' + address % 10) {
                fields.emplace_back(frame.begin() + 8, frame.begin() + 13);
            }
        }
        return fields;
    }

    // Runs until the row store holds `rows` rows.
    void runUntilRows(size_t rows) {
        for (int guard = 0; engine().rows().rows() < rows && guard < 1000; ++guard) {
            run(250);
        }
    }

    // Runs while `done` says no, giving the writer thread real time between the ticks (up to
    // 20 s of it).
    template <typename Done>
    void runUntil(Done done) {
        for (int guard = 0; !done() && guard < 20'000; ++guard) {
            run(250);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // The record file the engine's memory makes.
    std::vector<uint8_t> imageInMemory() {
        return recordFileBytes(work, engine().rows().times(), engine().rows().values(),
                               engine().rows().rows(), engine().occurrences().data(),
                               engine().occurrences().count());
    }

    // The event indices of the occurrences stored so far.
    std::vector<int32_t> occurred() {
        std::vector<int32_t> events;
        for (size_t i = 0; i < engine().occurrences().count(); ++i) {
            events.push_back(engine().occurrences()[i].event);
        }
        return events;
    }

    TempDir curveDir;
    WorkDefinition work;
    UtcClock clock;
    InstantBus bus;
    int64_t ticks = 0;
    std::vector<int64_t> rowTicks;
    std::vector<std::string> captions;
    std::vector<std::string> messages;

private:
    std::unique_ptr<SamplingEngine> m_engine;
    int m_interval = 0;
    int m_curves = 0;
};

}  // namespace

TEST_F(Engine, ThreeChannelsAtFiveSecondsGiveARowEveryFiveSeconds) {
    work.channels = {readChannel(kSL, 0), readChannel(kSL, 1), readChannel(kPV, 2)};
    controller(1).setValue(kSL, 40.0);
    start();
    run(60'000);
    const RowStore& rows = engine().rows();
    ASSERT_EQ(rows.rows(), 12u);
    for (size_t r = 0; r < rows.rows(); ++r) {
        EXPECT_EQ(rows.times()[r], k20040304_153000 + 5 * static_cast<int64_t>(r)) << r;
        EXPECT_EQ(rows.value(r, 0), 25.0);
        EXPECT_EQ(rows.value(r, 1), 40.0);
        EXPECT_EQ(rows.value(r, 2), 20.0);
    }
    // The first row completes on the third tick (225 + 2 x 125 ms), each later one 5 s on.
    EXPECT_EQ(rowTicks[0], 3);
    EXPECT_EQ(rowTicks[1] - rowTicks[0], 40);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Engine, TwentyChannelsAtOneSecondRunBackToBack) {
    for (int i = 0; i < 20; ++i) {
        work.channels.push_back(readChannel(kPV, static_cast<uint8_t>(i % 10)));
    }
    work.timing.samplingPeriod = 1;
    start();
    run(30'000);
    ASSERT_GE(rowTicks.size(), 10u);
    for (size_t i = 1; i < rowTicks.size(); ++i) {
        EXPECT_EQ(rowTicks[i] - rowTicks[i - 1], 20) << "one channel per tick, no pause";
    }
}

TEST_F(Engine, FailuresHoldTheMarkerWithoutDisturbingOthers) {
    work.channels = {readChannel(kSL, 0), readChannel(kSL, 3), curveChannel(4, {{2, 30, 10}}),
                     readChannel(kSL, 42)};
    bus.port("COM1").setFaults(3, emu::Faults{.silent = true});
    bus.port("COM1").setFaults(4, emu::Faults{.nakWrites = true});
    start();
    run(20'000);
    const RowStore& rows = engine().rows();
    ASSERT_EQ(rows.rows(), 4u);
    for (size_t r = 0; r < rows.rows(); ++r) {
        EXPECT_EQ(rows.value(r, 0), 25.0);
        EXPECT_TRUE(isNoValue(rows.value(r, 1))) << "silent";
        EXPECT_TRUE(isNoValue(rows.value(r, 2))) << "curve write refused";
        EXPECT_TRUE(isNoValue(rows.value(r, 3))) << "nobody at 42";
    }
    EXPECT_EQ(bus.port("COM1").framesHeard(3), 5u * 4) << "five attempts a cycle";
}

TEST_F(Engine, CurveChannelFollowsItsProgram) {
    work.channels = {readChannel(kPV, 0), curveChannel(5, {{2, 30, 10}})};
    controller(5).setValue(kSL, 20.0);
    start();
    EXPECT_EQ(engine().curveStartValue(), 20.0) << "read from the first curve channel";
    run(5000 * 200 + 1000);
    const RowStore& rows = engine().rows();
    ASSERT_GE(rows.rows(), 200u);
    const std::vector<std::string> fields = selectFieldsTo(5);
    ASSERT_GE(fields.size(), 200u);
    EXPECT_EQ(fields[0], "20.00");
    EXPECT_EQ(fields[30], "25.00") << "t = 150 s";
    EXPECT_EQ(rows.value(30, 1), 25.0);
    for (size_t r = 60; r <= 199; ++r) {
        EXPECT_EQ(fields[r], "30.00") << r;
        EXPECT_EQ(rows.value(r, 1), 30.0) << r;
    }
    EXPECT_EQ(controller(5).value(kSL), 30.0);
}

TEST_F(Engine, FirstSegmentWithZeroRateIsPassedOver) {
    work.channels = {curveChannel(5, {{0, 80, 1}, {1, 25, 0}})};
    controller(5).setValue(kSL, 20.0);
    start();
    run(5000 * 4 + 500);
    const std::vector<std::string> fields = selectFieldsTo(5);
    ASSERT_GE(fields.size(), 4u);
    EXPECT_EQ(fields[0], "20.00");
    EXPECT_EQ(fields[1], "20.08") << "the later ramp moves it: 1 per minute";
}

TEST_F(Engine, CaptionOncePerSecond) {
    work.channels = {readChannel(kPV, 0)};
    start();
    run(3000);
    ASSERT_GE(captions.size(), 3u);
    EXPECT_EQ(captions[0], "采集工作 - 2004/03/04 15:30:00");
    EXPECT_EQ(captions[1], "采集工作 - 2004/03/04 15:30:01");
    EXPECT_EQ(captions.size(), 3u);
}

TEST_F(Engine, CommandsAndTheirMessages) {
    CommandOutcome out = engine().startSampling();
    EXPECT_EQ(out.messages, std::vector<std::string>{"无记录项！！！"});
    EXPECT_FALSE(out.running);
    EXPECT_EQ(out.startTimerMs, 0);

    work.channels = {readChannel(kPV, 0)};
    out = engine().startRecording("/tmp/never.alt");
    EXPECT_EQ(out.messages, std::vector<std::string>{"未打开记录，须先开始记录！！！"});
    EXPECT_FALSE(out.recording);

    start();
    out = engine().startRecording();
    EXPECT_EQ(out.ask, Ask::RecordPath);
    EXPECT_EQ(out.proposedRecordName, "T040304153000.alt");
    EXPECT_FALSE(out.recording) << "Cancel leaves the toolbar not recording";

    TempDir dir;
    out = engine().startRecording(dir / "r.alt");
    EXPECT_TRUE(out.recording && out.running);
    EXPECT_TRUE(out.messages.empty());

    out = engine().stopSampling();
    EXPECT_EQ(out.messages, std::vector<std::string>{"此时正在工作中，须先结束保存！！！"});
    EXPECT_TRUE(out.running);
    EXPECT_FALSE(out.stopTimer);

    out = engine().stopRecording();
    EXPECT_EQ(out.ask, Ask::StopQuestion);
    EXPECT_TRUE(out.recording) << "Cancel keeps recording";
    out = engine().stopRecording(false, true);
    EXPECT_FALSE(out.recording);
    out = engine().stopSampling();
    EXPECT_FALSE(out.running);
    EXPECT_TRUE(out.stopTimer);
    EXPECT_FALSE(engine().tick().cycleCompleted) << "ticks after stopping do nothing";
}

TEST_F(Engine, ProtectedModeAsksForThePasswordFirst) {
    work.channels = {readChannel(kPV, 0)};
    engine().setProtectedMode(true);
    start();
    TempDir dir;
    engine().startRecording(dir / "r.alt");
    CommandOutcome out = engine().stopSampling();
    EXPECT_EQ(out.ask, Ask::Password);
    EXPECT_TRUE(out.messages.empty());
    out = engine().stopSampling(true);
    EXPECT_EQ(out.messages, std::vector<std::string>{"此时正在工作中，须先结束保存！！！"})
        << "the password comes before the recording check";
    out = engine().stopRecording();
    EXPECT_EQ(out.ask, Ask::Password);
    EXPECT_TRUE(out.recording);
    out = engine().stopRecording(true);
    EXPECT_EQ(out.ask, Ask::StopQuestion);
    out = engine().stopRecording(true, true);
    EXPECT_FALSE(out.recording);
    out = engine().stopSampling(true);
    EXPECT_FALSE(out.running);
}

TEST_F(Engine, RecordingRestartsTheRowsAndWritesEachCycle) {
    TempDir dir;
    work.channels = {readChannel(kSL, 0), readChannel(kPV, 1), readChannel(kSL, 2)};
    EventInfo e;
    e.type = 0;
    e.compare = 0;
    e.data1 = 0;
    e.data2Constant = 24.0;
    work.events = {e};
    start();
    run(6000);
    ASSERT_EQ(engine().rows().rows(), 2u);
    run(4250);  // up to 10.225 s: channel 0 of the third cycle
    ASSERT_EQ(engine().currentChannel(), 1u);
    CommandOutcome out = engine().startRecording(dir / "r.alt");
    EXPECT_TRUE(out.recording);
    EXPECT_EQ(engine().rows().rows(), 0u);
    EXPECT_EQ(engine().currentChannel(), 0u) << "the half-done cycle is abandoned";
    std::vector<uint8_t> bytes;
    readWholeFile(dir / "r.alt", bytes);
    EXPECT_EQ(bytes.size(), 580u) << "written at once, with no rows";

    run(15'000);
    Recording rec;
    ASSERT_EQ(readRecording(dir / "r.alt", rec), FileStatus::Ok);
    EXPECT_EQ(rec.rowCount(), engine().rows().rows());
    EXPECT_EQ(rec.occurrences.size(), rec.rowCount()) << "25 > 24 in every cycle";
    EXPECT_EQ(rec.times, std::vector<int32_t>(engine().rows().times(),
                                              engine().rows().times() + rec.rowCount()));

    const size_t recorded = rec.rowCount();
    engine().stopRecording(false, true);
    run(15'000);
    ASSERT_EQ(readRecording(dir / "r.alt", rec), FileStatus::Ok);
    EXPECT_EQ(rec.rowCount(), recorded) << "nothing more is written";
    EXPECT_GT(engine().rows().rows(), recorded) << "while sampling goes on";
}

TEST_F(Engine, UnwritableRecordKeepsSamplingAndCatchesUp) {
    TempDir dir;
    const std::string folder = dir / "later";
    work.channels = {readChannel(kSL, 0)};
    start();
    engine().startRecording(folder + "/r.alt");
    run(12'000);
    EXPECT_TRUE(engine().recording());
    EXPECT_EQ(messages, std::vector<std::string>{}) << "the first failure came with the command";
    EXPECT_EQ(engine().rows().rows(), 3u);

    std::filesystem::create_directory(folder);
    run(5000);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], recordWriteRecoveredText(folder + "/r.alt"));
    Recording rec;
    ASSERT_EQ(readRecording(folder + "/r.alt", rec), FileStatus::Ok);
    EXPECT_EQ(rec.rowCount(), 4u) << "the whole recording, not just the last row";

    std::filesystem::remove_all(folder);
    run(10'000);
    ASSERT_EQ(messages.size(), 2u) << "reported once per change";
    EXPECT_EQ(messages[1], recordWriteFailedText(folder + "/r.alt"));
}

// The window's way: the record file is written on a thread of its own, which a disk that
// does not answer holds up without holding up a single tick.
TEST_F(Engine, WriterThreadKeepsTheTicksOffTheDiskAndEveryRowInOrder) {
    TempDir dir;
    TestDisk disk;
    work.channels = {readChannel(kPV, 0), readChannel(kPV, 1), readChannel(kSL, 2)};
    work.events.resize(1);
    work.events[0].data2Constant = -1000.0;  // PV of channel 0 above -1000: every cycle
    engine().setWriterThread(true);
    engine().setRecordDisk(disk);
    start();
    disk.hold();
    EXPECT_EQ(engine().startRecording(dir / "r.alt").messages, std::vector<std::string>{});
    run(30'000);
    EXPECT_GE(engine().rows().rows(), 5u);
    disk.release();
    // Some cycles more, written in place as they come, then the stop writes what is left.
    disk.delayMs = 2;
    runUntil([&] { return engine().rows().rows() >= 20; });
    const CommandOutcome stopped = engine().stopRecording(false, true);
    EXPECT_FALSE(disk.gaveUp()) << "a tick or command waited on the disk";
    EXPECT_EQ(messages, std::vector<std::string>{});
    EXPECT_EQ(stopped.messages, std::vector<std::string>{});
    EXPECT_FALSE(engine().recordWriteFailed());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readWholeFile(dir / "r.alt", bytes));
    EXPECT_EQ(engine().occurrences().count(), engine().rows().rows());
    EXPECT_TRUE(bytes == imageInMemory()) << "every row and occurrence, in order";
    EXPECT_FALSE(std::filesystem::exists(recordJournalPath(dir / "r.alt")));
}

TEST_F(Engine, WriterThreadSaysAFailedWriteAsTheTicksWould) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    TestDisk disk;
    disk.failing = true;
    work.channels = {readChannel(kPV, 0)};
    engine().setWriterThread(true);
    engine().setRecordDisk(disk);
    start();
    EXPECT_TRUE(engine().startRecording(path).recording);
    runUntil([&] { return !messages.empty(); });
    EXPECT_EQ(messages, std::vector<std::string>{recordWriteFailedText(path)});
    EXPECT_TRUE(engine().recordWriteFailed());

    disk.failing = false;
    runUntil([&] { return messages.size() > 1; });
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], recordWriteRecoveredText(path));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readWholeFile(path, bytes));
    Recording rec;
    ASSERT_EQ(parseRecording(bytes, rec), FileStatus::Ok);
    EXPECT_GE(rec.rowCount(), 1u) << "the whole recording, not just the last row";

    // A failure the ticks have not heard of yet comes with the stop.
    disk.failing = true;
    const size_t rows = engine().rows().rows();
    run(5000);
    ASSERT_GT(engine().rows().rows(), rows);
    const CommandOutcome stopped = engine().stopRecording(false, true);
    messages.insert(messages.end(), stopped.messages.begin(), stopped.messages.end());
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2], recordWriteFailedText(path));
    EXPECT_TRUE(engine().recordWriteFailed());
}

TEST_F(Engine, RecordingThatFailsAtOnceSaysSo) {
    TempDir dir;
    work.channels = {readChannel(kSL, 0)};
    start();
    CommandOutcome out = engine().startRecording(dir / "no" / "r.alt");
    EXPECT_TRUE(out.recording);
    EXPECT_EQ(out.messages, std::vector<std::string>{recordWriteFailedText(dir / "no" / "r.alt")});
}

TEST_F(Engine, MissingCurveFileIsReportedOnce) {
    TempDir dir;
    ChannelInfo c = readChannel(kSL, 5);
    c.downloadFlag = 1;
    c.setCurvePath((dir / "later.lin").string());
    work.channels = {c};
    start();
    run(11'000);
    ASSERT_EQ(messages, std::vector<std::string>{curveFileFailedText(dir / "later.lin")});
    EXPECT_TRUE(isNoValue(engine().rows().value(0, 0)));
    TrackingCurve flat;
    flat.save(dir / "later.lin");
    run(10'000);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(engine().rows().value(engine().rows().rows() - 1, 0), 25.0)
        << "an empty program holds the start value";
    std::filesystem::remove(dir / "later.lin");
    run(5000);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(Engine, RowsBeyondMemoryAreDroppedWithASystemError) {
    work.channels = {readChannel(kSL, 0)};
    work.timing.samplingPeriod = 0;
    engine(SamplingEngine::Limits{.maxRows = 1000});
    start();
    run(125 * 1003);
    EXPECT_EQ(engine().rows().rows(), 1000u);
    EXPECT_EQ(engine().rows().capacity(), 1000u);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "系统错误！！！");
    EXPECT_TRUE(engine().running()) << "sampling goes on";
}

TEST_F(Engine, StoreFollowsTheChannelCountBetweenRuns) {
    work.channels = {readChannel(kSL, 0), readChannel(kSL, 1), readChannel(kSL, 2)};
    start();
    run(20'000);
    engine().stopSampling();
    work.channels.push_back(readChannel(kPV, 3));
    work.channels.push_back(readChannel(kSL, 4));
    controller(4).setValue(kSL, 77.0);
    start();
    run(20'000);
    ASSERT_EQ(engine().rows().channels(), 5u);
    EXPECT_EQ(engine().rows().value(3, 4), 77.0);
    engine().stopSampling();
    work.channels.resize(1);
    start();
    run(10'000);
    EXPECT_EQ(engine().rows().value(1, 0), 25.0);
}

TEST_F(Engine, HoursOfSamplingInMilliseconds) {
    work.channels = {readChannel(kSL, 0), readChannel(kPV, 1), readChannel(kSL, 2)};
    start();
    run(2 * 3600 * 1000);
    EXPECT_EQ(engine().rows().rows(), 2u * 3600 / 5);
    EXPECT_EQ(engine().rows().capacity(), 2000u);
}

TEST_F(Engine, CurveStartValueIsAskedForBeforeTheCurvesStart) {
    work.channels = {readChannel(kPV, 0), curveChannel(5, {{2, 30, 10}}),
                     curveChannel(6, {{2, 30, 10}})};
    controller(5).setValue(kSL, 20.0);
    controller(6).setValue(kSL, 70.0);
    CommandOutcome out = engine().startSampling();
    EXPECT_EQ(out.ask, Ask::CurveStartValue);
    EXPECT_FALSE(out.running);
    EXPECT_EQ(out.startTimerMs, 0) << "nothing starts before the value is in";
    ASSERT_TRUE(out.exchange.has_value());
    EXPECT_EQ(out.exchange->kind, LinkRequest::Kind::Read);
    EXPECT_EQ(out.exchange->address, 5) << "only the first curve channel is read";
    EXPECT_EQ(out.exchange->parameterCode, static_cast<uint32_t>(kSL));
    EXPECT_TRUE(bus.written["COM1"].empty()) << "the engine itself put nothing on the line";

    out = engine().startSampling(LinkResult{});
    EXPECT_TRUE(out.running);
    EXPECT_EQ(engine().curveStartValue(), 0.0) << "a failed read starts the curves from 0";
}

TEST_F(Engine, ATickSplitsIntoItsExchangeAndItsResult) {
    work.channels = {readChannel(kPV, 0), readChannel(kPV, 1)};
    work.timing.samplingPeriod = 1;
    start();
    clock.advance(225);
    TickPlan plan = engine().beginTick();
    ASSERT_TRUE(plan.exchange.has_value());
    EXPECT_EQ(plan.exchange->address, 0);
    EXPECT_TRUE(bus.written["COM1"].empty());
    LinkResult reading;
    reading.value = 12.5;
    TickOutcome out = engine().finishTick(plan.id, reading);
    EXPECT_FALSE(out.discarded);
    EXPECT_FALSE(out.cycleCompleted);
    EXPECT_EQ(out.nextIntervalMs, 125);

    // The operator stops and starts again while the second channel's exchange is under way:
    // its result belongs to the old run and must not land in the new one.
    plan = engine().beginTick();
    ASSERT_TRUE(plan.exchange.has_value());
    EXPECT_EQ(plan.exchange->address, 1);
    engine().stopSampling();
    start();
    out = engine().finishTick(plan.id, reading);
    EXPECT_TRUE(out.discarded);
    EXPECT_EQ(engine().currentChannel(), 0u);

    clock.advance(225);
    plan = engine().beginTick();
    EXPECT_EQ(plan.exchange->address, 0);
    EXPECT_FALSE(engine().finishTick(plan.id, LinkResult{}).discarded);
    plan = engine().beginTick();
    reading.value = 7.0;
    out = engine().finishTick(plan.id, reading);
    EXPECT_TRUE(out.cycleCompleted);
    ASSERT_EQ(engine().rows().rows(), 1u);
    EXPECT_TRUE(isNoValue(engine().rows().value(0, 0))) << "a failed reading is the marker";
    EXPECT_EQ(engine().rows().value(0, 1), 7.0);
    EXPECT_TRUE(engine().finishTick(plan.id, reading).discarded) << "a result counts once";
}

TEST_F(Engine, TwoCurveChannelsStartFromTheFirstOnesValue) {
    work.channels = {readChannel(kPV, 0), curveChannel(5, {{2, 30, 10}}),
                     curveChannel(6, {{1, 90, 10}})};
    controller(5).setValue(kSL, 20.0);
    controller(6).setValue(kSL, 70.0);
    start();
    run(5000 * 2 + 500);
    EXPECT_EQ(engine().curveStartValue(), 20.0);
    const std::vector<std::string> five = selectFieldsTo(5);
    const std::vector<std::string> six = selectFieldsTo(6);
    ASSERT_GE(six.size(), 2u);
    EXPECT_EQ(five[0], "20.00");
    EXPECT_EQ(six[0], "20.00") << "the second curve starts from the first one's value, not 70";
    EXPECT_EQ(six[1], "20.08") << "and climbs 1 a minute";
    for (const auto& frame : bus.written["COM1"]) {
        EXPECT_FALSE(frame.size() == 8 && frame[4] == '6') << "the second is never read";
    }

    // Starting a recording takes the value again, from the first curve channel.
    TempDir dir;
    CommandOutcome out = engine().startRecording(dir / "r.alt");
    ASSERT_EQ(out.ask, Ask::CurveStartValue);
    EXPECT_EQ(out.exchange->address, 5);
    LinkResult reading;
    reading.value = 33.0;
    out = engine().startRecording(dir / "r.alt", reading);
    EXPECT_TRUE(out.recording);
    const size_t before = selectFieldsTo(6).size();
    run(1000);
    ASSERT_GT(selectFieldsTo(6).size(), before);
    EXPECT_EQ(selectFieldsTo(6)[before], "33.00");
    EXPECT_EQ(selectFieldsTo(5).back(), "33.00");
}

TEST_F(Engine, EventMemoryStartsAfreshWithEachRunButNotWithEachRecording) {
    TempDir dir;
    work.channels = {readChannel(kSL, 0)};  // 25 in every cycle
    work.timing.samplingPeriod = 1;
    EventInfo integral;  // the running integral above 60: the third cycle of a fresh run
    integral.type = 2;
    integral.data2Constant = 60.0;
    EventInfo rise;  // a rise above 20 from the previous value: the first cycle of a fresh run
    rise.type = 1;
    rise.data2Constant = 20.0;
    work.events = {integral, rise};

    for (int runIndex = 0; runIndex < 2; ++runIndex) {
        start();
        engine().startRecording(dir / "r.alt");
        runUntilRows(3);
        EXPECT_EQ(occurred(), (std::vector<int32_t>{1, 0})) << "run " << runIndex;
        engine().stopRecording(false, true);
        engine().stopSampling();
    }

    // A new recording within the same run keeps adding to the integral.
    start();
    engine().startRecording(dir / "r.alt");
    runUntilRows(2);
    engine().stopRecording(false, true);
    engine().startRecording(dir / "r.alt");
    runUntilRows(1);
    EXPECT_EQ(occurred(), (std::vector<int32_t>{0})) << "50 already, and 25 more";
}
