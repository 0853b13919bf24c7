// tervo-cli record against qt570-emu, both real processes on a pseudo-terminal, while the line
// misbehaves: the port goes away and comes back, controllers answer with noise or refusals,
// answers come just inside or just outside the read timeout. The recorder must go on without
// a restart, record exactly the rows its cycles produced (a failed reading as the no-value
// marker) and leave a file that loads.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "core/curves/TrackingCurve.h"
#include "core/link/LinkRequest.h"
#include "core/link/ParameterTable.h"
#include "core/link/PortMap.h"
#include "core/publish/Publish.h"
#include "core/text/TimeText.h"
#include "core/text/ValueText.h"
#include "core/work/WorkFiles.h"
#include "support/Process.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::Child;
using tervo::testing::run;
using tervo::testing::RunResult;
using tervo::testing::TempDir;
using namespace std::chrono_literals;

namespace {

using Row = std::vector<std::string>;  // the time stamp, then one cell per channel

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

ChannelInfo readChannel(int32_t code, uint8_t address) {
    ChannelInfo c;
    c.parameterCode = code;
    c.address = address;
    return c;
}

class FaultRun : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TERVO_COM1", link().c_str(), 1);
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
    }
    void TearDown() override { unsetenv("TERVO_COM1"); }

    std::string link() const { return m_dir / "com1"; }

    // qt570-emu for `addresses` on the link path, taking its faults from the fault file (none
    // while there is no file).
    std::unique_ptr<Child> startEmulator(const std::string& addresses) {
        m_faultSets = 0;
        auto emu = std::make_unique<Child>(
            std::vector<std::string>{QT570_EMU, "--link", link(), "--addresses", addresses,
                                     "--fault-file", m_dir / "faults"},
            m_dir.path());
        EXPECT_TRUE(emu->waitForOutput("qt570-emu: controllers")) << emu->err();
        return emu;
    }

    void writeFaults(const std::string& faults) { std::ofstream(m_dir / "faults") << faults; }

    // Switches the faults of a running emulator and waits until it has taken them.
    void switchFaults(Child& emu, const std::string& faults, const std::string& taken) {
        writeFaults(faults);
        emu.signal(SIGUSR1);
        const std::string line =
            "qt570-emu: faults #" + std::to_string(++m_faultSets) + ": " + taken + "\n";
        ASSERT_TRUE(emu.waitForOutput(line, 10s)) << emu.out() << emu.err();
    }

    void saveWork(std::vector<ChannelInfo> channels) {
        WorkDefinition work;
        work.timing.samplingPeriod = 1;
        work.channels = std::move(channels);
        ASSERT_EQ(saveWorkTemplate(m_dir / "w.awt", work), FileStatus::Ok);
    }

    std::unique_ptr<Child> startRecorder() {
        return std::make_unique<Child>(
            std::vector<std::string>{TERVO_CLI, "record", m_dir / "w.awt", "--out",
                                     m_dir / "r.alt"},
            m_dir.path());
    }

    // The rows the recorder has printed so far, one per completed cycle, after the header line
    // naming the columns.
    static std::vector<Row> printed(const Child& recorder) {
        std::vector<Row> rows;
        const std::string out = recorder.out();
        size_t at = out.starts_with("时间\t") ? out.find('\n') + 1 : 0;
        for (size_t end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
            Row row;
            std::stringstream line(out.substr(at, end - at));
            for (std::string cell; std::getline(line, cell, '\t');) {
                row.push_back(cell);
            }
            rows.push_back(row);
        }
        return rows;
    }

    // Waits until the recorder has printed `rows` rows in all.
    static bool waitForRows(const Child& recorder, size_t rows) {
        return waitUntil([&] { return printed(recorder).size() >= rows; });
    }

    // Stops the recorder as an operator would and checks what it leaves: a file that loads
    // and holds exactly the rows it printed, nothing more, nothing less.
    Recording stopAndLoad(Child& recorder) {
        recorder.signal(SIGINT);
        const std::optional<int> status = recorder.waitFor(10s);
        EXPECT_TRUE(status.has_value()) << "the recorder hangs";
        EXPECT_EQ(status.value_or(-1), 0) << recorder.err();
        Recording file;
        EXPECT_EQ(readRecording(m_dir / "r.alt", file), FileStatus::Ok);
        EXPECT_FALSE(std::filesystem::exists(m_dir / "r.alt-journal"));
        const std::vector<Row> rows = printed(recorder);
        EXPECT_EQ(file.rowCount(), rows.size());
        for (size_t r = 0; r < std::min(file.rowCount(), rows.size()); ++r) {
            Row expected{timeStampText(file.times[r])};
            for (size_t c = 0; c < file.channelCount(); ++c) {
                const double v = file.value(r, c);
                expected.push_back(isNoValue(v) ? "ERR_VAL" : valueText(v));
            }
            EXPECT_EQ(rows[r], expected) << "row " << r;
            if (r > 0) {
                EXPECT_GE(file.times[r], file.times[r - 1]);
            }
        }
        return file;
    }

    TempDir m_dir;
    int m_faultSets = 0;
};

}  // namespace

// The controllers' bus goes away twice while recording and comes back at the same path: once
// its link is removed and the emulator killed without a word (an adapter pulled out), once
// stopped politely. The silent controller polled first holds the port for five attempts each
// cycle, so the line often goes in the middle of an exchange.
TEST_F(FaultRun, PortGoneAndBackWhileRecording) {
    writeFaults("3:silent");
    auto emu = startEmulator("0-3");
    // Parameters whose values differ, so that an answer taken for another's would show.
    saveWork({readChannel(kSL, 3), readChannel(kSL, 0), readChannel(4, 1), readChannel(15, 2)});
    const double values[] = {0.0, 25.0, 200.0, 400.0};  // SL, HA and HS as the bus starts
    auto recorder = startRecorder();

    const auto good = [](const Row& row) {
        return row.size() == 5 && row[2] == "25.00" && row[3] == "200.00" && row[4] == "400.00";
    };
    const auto gone = [](const Row& row) {
        return row.size() == 5 && row[2] == "ERR_VAL" && row[3] == "ERR_VAL" && row[4] == "ERR_VAL";
    };
    // Waits for `count` rows in a row that `kind` says, after the ones printed so far.
    const auto more = [&](const std::function<bool(const Row&)>& kind, size_t count = 2) {
        const size_t from = printed(*recorder).size();
        return waitUntil([&] {
            const std::vector<Row> rows = printed(*recorder);
            size_t run = 0;
            for (size_t r = from; r < rows.size() && run < count; ++r) {
                run = kind(rows[r]) ? run + 1 : 0;
            }
            return run == count;
        });
    };

    ASSERT_TRUE(more(good)) << recorder->err();
    std::filesystem::remove(link());
    emu->signal(SIGKILL);
    emu->wait();
    ASSERT_TRUE(more(gone)) << recorder->err();
    emu = startEmulator("0-3");
    ASSERT_TRUE(more(good)) << "readings resume without a restart";

    emu->signal(SIGTERM);
    EXPECT_EQ(emu->wait(), 0);
    ASSERT_TRUE(more(gone));
    emu = startEmulator("0-3");
    ASSERT_TRUE(more(good));

    // The bus hangs with the port still there (a stuck adapter): the requests the recorder
    // sends meanwhile pile up unread, and none of them may be answered into a later exchange.
    emu->signal(SIGSTOP);
    ASSERT_TRUE(more(gone, 1));
    emu->signal(SIGCONT);
    ASSERT_TRUE(more(good));

    const Recording file = stopAndLoad(*recorder);
    // Each row all good (G), all failed (X), or the one cycle under way at a change (M).
    std::string kinds;
    for (size_t r = 0; r < file.rowCount(); ++r) {
        EXPECT_TRUE(isNoValue(file.value(r, 0))) << "the silent controller, row " << r;
        int failed = 0;
        for (size_t c = 1; c < 4; ++c) {
            const double v = file.value(r, c);
            failed += isNoValue(v) ? 1 : 0;
            EXPECT_TRUE(isNoValue(v) || v == values[c]) << "row " << r;
        }
        kinds += failed == 0 ? 'G' : failed == 3 ? 'X' : 'M';
    }
    EXPECT_TRUE(std::regex_match(kinds, std::regex("G{2,}(M?X+M?G{2,}){3}"))) << kinds;
}

// Noise and refusals switched on and off while recording: a controller whose answers come with
// bytes of noise before, instead of or after them, and a curve channel's controller refusing
// every write. Their readings fail, the others' never do, and all come back when the line is
// clean again.
TEST_F(FaultRun, GarbageAndNakBurstsWhileRecording) {
    TrackingCurve curve;
    curve.addSegment();
    curve.setSegment(0, 2.0, 30.0, 10.0);
    ASSERT_EQ(curve.save(m_dir / "c.lin"), CurveStatus::Ok);
    ChannelInfo curveChannel = readChannel(kSL, 2);
    curveChannel.downloadFlag = 1;
    curveChannel.setCurvePath((m_dir / "c.lin").string());
    saveWork({readChannel(kSL, 0), readChannel(4, 1), curveChannel});  // SL 25, HA 200
    auto emu = startEmulator("0-2");
    auto recorder = startRecorder();

    ASSERT_TRUE(waitForRows(*recorder, 2)) << recorder->err();
    const size_t burstAsked = printed(*recorder).size();
    switchFaults(*emu, "0:garbage\n2:nak\n", "0:garbage 2:nak");
    const size_t burstTaken = printed(*recorder).size();
    ASSERT_TRUE(waitForRows(*recorder, burstTaken + 4));
    const size_t cleanAsked = printed(*recorder).size();
    switchFaults(*emu, "", "none");
    const size_t cleanTaken = printed(*recorder).size();
    ASSERT_TRUE(waitForRows(*recorder, cleanTaken + 3));

    const Recording file = stopAndLoad(*recorder);
    ASSERT_GE(file.rowCount(), cleanTaken + 3);
    int burstReadings = 0;
    for (size_t r = 0; r < file.rowCount(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        // Only the cycle under way while a switch was asked for may see either.
        const bool clean = r < burstAsked || r > cleanTaken;
        const bool burst = r > burstTaken && r < cleanAsked;
        const double curveValue = 25.0 + 2.0 * static_cast<double>(r) / 60.0;
        EXPECT_EQ(file.value(r, 1), 200.0) << "a clean controller beside the noise";
        if (clean) {
            EXPECT_EQ(file.value(r, 0), 25.0);
            EXPECT_DOUBLE_EQ(file.value(r, 2), curveValue);
        } else if (burst) {
            // Noise is never a reading. Only an emulator stalled for the 20 ms character gap
            // between its answer and the noise after it could split off a good answer.
            EXPECT_TRUE(isNoValue(file.value(r, 0)) || file.value(r, 0) == 25.0);
            burstReadings += isNoValue(file.value(r, 0)) ? 0 : 1;
            EXPECT_TRUE(isNoValue(file.value(r, 2))) << "a refused write";
        } else {
            EXPECT_TRUE(isNoValue(file.value(r, 0)) || file.value(r, 0) == 25.0);
            EXPECT_TRUE(isNoValue(file.value(r, 2)) || file.value(r, 2) == curveValue);
        }
    }
    EXPECT_LE(burstReadings, 1) << "a third of the answers have their noise after them";
}

// The link reads for 50 ms + 1 ms per byte asked (20): 70 ms. At 9600 baud the request is
// heard 8 ms after it went, the emulator turns around in 5 ms and its ten bytes take 10 ms, so
// an extra delay of 25 ms ends the answer about 48 ms into the read (inside) and one of 100 ms
// starts it about 113 ms in (outside); 50 ms puts the answer across the end of the read. An
// answer that comes too late must never be taken for the answer to a later question: the
// silent controller polled next would show the delayed controller's value.
TEST_F(FaultRun, AnswersJustInsideAndJustOutsideTheReadTimeout) {
    auto emu = startEmulator("0-2");
    const auto written = run({TERVO_CLI, "write", "--addr", "0", "SL", "61.5"}, m_dir.path());
    ASSERT_EQ(written.status, 0) << written.out << written.err;
    saveWork({readChannel(kSL, 0), readChannel(kSL, 1), readChannel(kSL, 2)});
    switchFaults(*emu, "0:delay=25", "0:delay=25");
    auto recorder = startRecorder();
    ASSERT_TRUE(waitForRows(*recorder, 2)) << recorder->err();

    const size_t outsideAsked = printed(*recorder).size();
    switchFaults(*emu, "0:delay=100 1:silent", "0:delay=100 1:silent");
    const size_t outsideTaken = printed(*recorder).size();
    ASSERT_TRUE(waitForRows(*recorder, outsideTaken + 3));
    const size_t acrossAsked = printed(*recorder).size();
    switchFaults(*emu, "0:delay=50 1:silent", "0:delay=50 1:silent");
    const size_t acrossTaken = printed(*recorder).size();
    ASSERT_TRUE(waitForRows(*recorder, acrossTaken + 2));

    const Recording file = stopAndLoad(*recorder);
    for (size_t r = 0; r < file.rowCount(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        const double delayed = file.value(r, 0);
        const double next = file.value(r, 1);
        EXPECT_EQ(file.value(r, 2), 25.0) << "the controller after them is never disturbed";
        EXPECT_TRUE(isNoValue(delayed) || delayed == 61.5);
        EXPECT_TRUE(isNoValue(next) || next == 25.0) << "never the delayed controller's answer";
        if (r < outsideAsked) {
            EXPECT_EQ(delayed, 61.5) << "inside the timeout";
            EXPECT_EQ(next, 25.0);
        } else if (r > outsideTaken && r < acrossAsked) {
            EXPECT_TRUE(isNoValue(delayed)) << "outside the timeout";
            EXPECT_TRUE(isNoValue(next));
        } else if (r > acrossTaken) {
            EXPECT_TRUE(isNoValue(next));
        }
    }
}

// Each fault of the emulator, a missing device and a held port, with the reason they give: in
// the link's result (every attempt), in `watch`'s cells and count line, and on the metrics page.
TEST_F(FaultRun, EachFaultGivesItsReasonInTheResultWatchAndMetrics) {
    using R = LinkReason;
    writeFaults("2:silent 3:nak 4:bcc 5:short 6:long 7:garbage 8:other");
    const auto emu = startEmulator("1-8");
    // COM2 names no device; COM3 is a line held by another program's lock file (this test's
    // parent process, which runs as long as the test does).
    TempDir locks;
    tervo::testing::RawPty held;
    setenv("TERVO_LOCK_DIR", locks.path().c_str(), 1);
    setenv("TERVO_COM2", (m_dir / "absent").c_str(), 1);
    setenv("TERVO_COM3", held.path().c_str(), 1);
    std::ofstream(locks / ("LCK.." + held.path().substr(5).replace(3, 1, "_")))
        << std::setw(10) << getppid() << "\n";
    std::string parent;
    std::getline(std::ifstream("/proc/" + std::to_string(getppid()) + "/comm"), parent);
    const std::string holder = parent + " " + std::to_string(getppid());

    const struct {
        uint8_t port;
        uint8_t address;
        bool write;
        std::set<R> reasons;  // garbage gives one of several
        std::string metricsKey;
    } cases[] = {
        {0, 1, false, {R::None}, ""},
        {0, 2, false, {R::NoReply}, "no_reply"},
        {0, 3, true, {R::Nak}, "nak"},
        {0, 4, false, {R::BadBlockCheck}, "bad_block_check"},
        {0, 5, false, {R::ReplyTooShort}, "reply_too_short"},
        {0, 6, false, {R::ReplyTooLong}, "reply_too_long"},
        {0, 7, false, {R::Garbled, R::ReplyTooLong, R::ReplyTooShort, R::BadBlockCheck}, ""},
        {0, 8, false, {R::OtherParameter}, ""},
        {1, 1, false, {R::NoDevice}, "no_device"},
        {2, 1, false, {R::PortHeld}, "port_held"},
    };
    Metrics metrics;
    for (const auto& c : cases) {
        const LinkRequest request = c.write
                                        ? LinkRequest::write(c.port, 5, c.address, 3, "1    ")
                                        : LinkRequest::read(ReadRequest{0, c.port, 5, c.address});
        const LinkResult result = perform(request);
        metrics.countExchange(request, result);
        const std::string label = portName(c.port) + " 地址 " + std::to_string(c.address);
        ASSERT_FALSE(result.exchanges.empty()) << label;
        EXPECT_EQ(result.exchanges.size(), isFailure(result.reason) && !c.write ? 5u : 1u) << label;
        for (const ExchangeRecord& e : result.exchanges) {
            EXPECT_TRUE(c.reasons.count(e.reason)) << label << ": " << reasonKey(e.reason);
        }
        if (c.reasons.count(R::PortHeld)) {
            EXPECT_EQ(result.reasonLine(), "端口被占用（" + holder + "）");
        }
        if (!c.metricsKey.empty()) {
            const std::string line = "tervo_exchange_failures_total{port=\"" + portName(c.port) +
                                     "\",address=\"" + std::to_string(c.address) + "\",reason=\"" +
                                     c.metricsKey + "\"} " + (c.write ? "1" : "5") + "\n";
            EXPECT_NE(metricsText(metrics).find(line), std::string::npos) << line;
        }
    }

    // watch: each cell names its reason; the failed readings counted by reason close it.
    RunResult r =
        run({TERVO_CLI, "watch", "--addr", "1-2,4-6,8", "--count", "1", "PV"}, m_dir.path());
    EXPECT_EQ(r.status, 1);
    for (const char* row : {"1 +-?\\d+\\.\\d\\d", "2 +Err\\(无应答\\)", "4 +Err\\(校验错误\\)",
                            "5 +Err\\(应答过短\\)", "6 +Err\\(应答过长\\)", "8 +-?\\d+\\.\\d\\d"}) {
        EXPECT_TRUE(std::regex_search(r.out, std::regex(std::string("\n +") + row + "\n")))
            << row << " in\n"
            << r.out;
    }
    EXPECT_TRUE(r.out.ends_with("失败次数：无应答 1，应答过短 1，应答过长 1，校验错误 1\n"))
        << r.out;
    r = run({TERVO_CLI, "watch", "--port", "COM2", "--addr", "1", "--count", "1", "PV"},
            m_dir.path());
    EXPECT_NE(r.out.find("   1 Err(无此设备)\n"), std::string::npos) << r.out;
    r = run({TERVO_CLI, "read", "--port", "COM3", "--addr", "1", "PV"}, m_dir.path());
    EXPECT_EQ(r.err, "PV 通信错误！！！（端口被占用（" + holder + "））\n");
    r = run({TERVO_CLI, "write", "--addr", "3", "SL", "30"}, m_dir.path());
    EXPECT_EQ(r.err, "修改失败！！！\n");
    unsetenv("TERVO_LOCK_DIR");
    unsetenv("TERVO_COM2");
    unsetenv("TERVO_COM3");
}
