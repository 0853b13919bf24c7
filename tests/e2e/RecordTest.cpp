// tervo-cli record, dump and export checked against files built and read here from the byte
// layouts alone, without Tervo's own readers and writers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "support/FileBytes.h"
#include "support/Process.h"
#include "support/RawPty.h"

using tervo::testing::Child;
using tervo::testing::run;
using tervo::testing::RunResult;
using tervo::testing::TempDir;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

// The rows `record` printed: its output after the header line naming the columns.
std::string printedRows(const std::string& out) {
    return out.starts_with("时间\t") ? out.substr(out.find('\n') + 1) : out;
}

constexpr uint64_t kMarkerBits = 0xC16312CFE0000000ull;

using tervo::testing::ByteReader;
using tervo::testing::ByteWriter;
using tervo::testing::gbk;
using tervo::testing::writeWorkHead;

void channel(ByteWriter& o, const std::string& name, int32_t code, int address, bool curve,
             const std::string& path) {
    o.text(gbk(name), 12);
    o.i32(code);
    o.b.push_back(0);  // COM1
    o.b.push_back(5);  // 9600
    o.b.push_back(static_cast<uint8_t>(address));
    o.raw("\x11\x22\x33\x44\x55", 5);  // reserved, kept as they are
    o.f64(1.0);
    o.f64(0.0);
    o.b.push_back(curve ? 1 : 0);
    o.text(path, 50);
    o.raw("\x66\x77\x88\x99\xAA", 5);
}

// A one-second work of four channels on COM1: PV of 0, SL of 1, SL of the silent 3, and a
// curve channel writing SL of 2; one event "SL of 1 above 20".
Bytes workTemplate(const std::string& curvePath) {
    ByteWriter o;
    writeWorkHead(o);
    for (int i = 0; i < 20; ++i) {
        o.le(0x010101u * static_cast<uint32_t>(i), 4);
        o.i32(i % 3);
    }
    o.i32(4);
    o.i32(1);
    channel(o, "炉温", 0, 0, false, "");
    channel(o, "设定", 3, 1, false, "");
    channel(o, "无应答", 3, 3, false, "");
    channel(o, "曲线", 3, 2, true, curvePath);
    o.text(gbk("超温"), 16);
    o.i32(0);    // 数值比较
    o.i32(0);    // 大于
    o.i32(1);    // channel 1
    o.i32(255);  // constant
    o.f64(20.0);
    o.i32(0);
    o.raw("\0\0\0\0", 4);
    o.f64(0.0);
    return o.b;
}

Bytes curveFile() {
    ByteWriter o;
    o.raw(gbk("Quorvex5曲线").data(), 12);
    o.i32(1);
    o.f64(2.0);
    o.f64(30.0);
    o.f64(10.0);
    return o.b;
}

void put(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Parsed {
    bool ok = false;
    uint32_t n = 0, e = 0, s = 0, k = 0;
    std::vector<int32_t> times;
    std::vector<std::vector<uint64_t>> bits;  // per row, per channel
    std::vector<std::pair<int32_t, int32_t>> occurrences;
};

Parsed parseRecord(const Bytes& b) {
    Parsed p;
    if (b.size() < 236) {
        return p;
    }
    ByteReader in{b, 220};
    p.n = static_cast<uint32_t>(in.i32());
    p.e = static_cast<uint32_t>(in.i32());
    p.s = static_cast<uint32_t>(in.i32());
    p.k = static_cast<uint32_t>(in.i32());
    if (b.size() != 236 + 96 * p.n + 56 * p.e + p.s * (4 + 8 * p.n) + 8 * p.k) {
        return p;
    }
    in.at = 236 + 96 * p.n + 56 * p.e;
    for (uint32_t r = 0; r < p.s; ++r) {
        p.times.push_back(in.i32());
        p.bits.emplace_back();
        for (uint32_t c = 0; c < p.n; ++c) {
            p.bits.back().push_back(in.le(8));
        }
    }
    for (uint32_t i = 0; i < p.k; ++i) {
        const int32_t t = in.i32();
        p.occurrences.emplace_back(t, in.i32());
    }
    p.ok = true;
    return p;
}

std::string stamp(int32_t t) {
    const time_t tt = t;
    std::tm tm{};
    localtime_r(&tt, &tm);
    char text[32];
    std::snprintf(text, sizeof text, "20%02d/%02d/%02d %02d:%02d:%02d", tm.tm_year % 100,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

class Recorder : public ::testing::Test {
protected:
    void SetUp() override {
        m_emu = std::make_unique<Child>(
            std::vector<std::string>{QT570_EMU, "--link", m_dir / "com1", "--addresses", "0-3",
                                     "--fault", "3:silent"},
            m_dir.path());
        ASSERT_TRUE(m_emu->waitForOutput("qt570-emu: controllers")) << m_emu->err();
        setenv("TERVO_COM1", (m_dir / "com1").c_str(), 1);
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
        put(m_dir / "c.lin", curveFile());
        m_template = workTemplate((m_dir / "c.lin").string());
        put(m_dir / "w.awt", m_template);
    }
    void TearDown() override { unsetenv("TERVO_COM1"); }

    RunResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), TERVO_CLI);
        return run(args, m_dir.path());
    }

    TempDir m_dir;
    std::unique_ptr<Child> m_emu;
    Bytes m_template;
};

}  // namespace

TEST_F(Recorder, RecordsDumpsAndExportsWhatTheLayoutSays) {
    const RunResult r = cli({"record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--cycles", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes file = get(m_dir / "r.alt");
    const Parsed p = parseRecord(file);
    ASSERT_TRUE(p.ok) << file.size();
    EXPECT_EQ(std::string(file.begin(), file.begin() + 16), gbk("Quorvex5控制软件"));
    // The definition is the template's, byte for byte, channels and reserved bytes included.
    EXPECT_TRUE(std::equal(file.begin() + 16, file.begin() + 228, m_template.begin() + 16));
    EXPECT_TRUE(
        std::equal(file.begin() + 236, file.begin() + 236 + 4 * 96 + 56, m_template.begin() + 228));
    ASSERT_EQ(p.s, 3u);
    ASSERT_EQ(p.k, 3u) << "SL 25 > 20 in every cycle";

    std::istringstream lines(r.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "时间\t炉温\t设定\t无应答\t曲线") << "the channels named before the first row";
    for (uint32_t row = 0; row < p.s; ++row) {
        if (row > 0) {
            EXPECT_GE(p.times[row], p.times[row - 1]);
        }
        EXPECT_EQ(std::bit_cast<double>(p.bits[row][1]), 25.0);
        EXPECT_EQ(p.bits[row][2], kMarkerBits) << "the silent controller";
        // The curve starts from SL of its controller (25) and climbs 2 per minute.
        EXPECT_DOUBLE_EQ(std::bit_cast<double>(p.bits[row][3]), 25.0 + 2.0 * row / 60.0);
        EXPECT_EQ(p.occurrences[row].second, 0);

        ASSERT_TRUE(std::getline(lines, line));
        char expected[256];
        std::snprintf(expected, sizeof expected, "%s\t%0.2f\t25.00\tERR_VAL\t%0.2f",
                      stamp(p.times[row]).c_str(), std::bit_cast<double>(p.bits[row][0]),
                      std::bit_cast<double>(p.bits[row][3]));
        EXPECT_EQ(line, expected);
    }

    const RunResult dump = cli({"dump", m_dir / "r.alt"});
    EXPECT_EQ(dump.status, 0);
    EXPECT_NE(dump.out.find("  3 「曲线」 SL 基本设定值  COM1 9600 地址 2"), std::string::npos)
        << dump.out;
    EXPECT_NE(dump.out.find("0 「超温」 数值比较：通道1「设定」 大于 20.00"), std::string::npos);
    EXPECT_NE(dump.out.find("记录 3 行\n"), std::string::npos);
    EXPECT_NE(dump.out.find("  " + stamp(p.occurrences[2].first) + "  超温\n"), std::string::npos);

    const RunResult exported = cli({"export", m_dir / "r.alt", "--out", m_dir / "x.csv"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::ifstream csv(m_dir / "x.csv");
    std::getline(csv, line);
    // UTF-8 with a byte order mark, so spreadsheets read the Chinese names.
    EXPECT_EQ(line, "\xEF\xBB\xBF时间,炉温,设定,无应答,曲线");
    for (uint32_t row = 0; row < p.s; ++row) {
        ASSERT_TRUE(std::getline(csv, line));
        std::vector<std::string> cells;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');) {
            cells.push_back(cell);
        }
        cells.resize(5);
        EXPECT_EQ(cells[0], stamp(p.times[row]));
        EXPECT_EQ(std::strtod(cells[1].c_str(), nullptr), std::bit_cast<double>(p.bits[row][0]))
            << "full precision";
        EXPECT_EQ(cells[3], "") << "the marker is an empty cell";
        EXPECT_EQ(std::strtod(cells[4].c_str(), nullptr), std::bit_cast<double>(p.bits[row][3]));
    }
    std::ifstream events(m_dir / "x_events.csv");
    std::getline(events, line);
    EXPECT_EQ(line, "\xEF\xBB\xBF时间,事件");
    std::getline(events, line);
    EXPECT_EQ(line, stamp(p.occurrences[0].first) + ",超温");

    const RunResult work = cli({"dump", m_dir / "w.awt"});
    EXPECT_EQ(work.status, 0);
    EXPECT_NE(work.out.find("采样周期(s)：1  显示周期(s)：360"), std::string::npos) << work.out;
    EXPECT_NE(work.out.find("背景色 #D1FFFF"), std::string::npos) << "0x00BBGGRR as #RRGGBB";
    const RunResult curve = cli({"dump", m_dir / "c.lin"});
    EXPECT_NE(curve.out.find("总时间（起始值 0）：25 分钟"), std::string::npos) << curve.out;
}

TEST_F(Recorder, CtrlCStopsCleanlyAndSigkillLeavesALoadableFile) {
    Child recorder({TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "r.alt"}, m_dir.path());
    // Wait for two completed cycles on file, then interrupt.
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (parseRecord(get(m_dir / "r.alt")).s < 2 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(50ms);
    }
    recorder.signal(SIGINT);
    EXPECT_EQ(recorder.wait(), 0);
    const Parsed interrupted = parseRecord(get(m_dir / "r.alt"));
    ASSERT_TRUE(interrupted.ok);
    EXPECT_GE(interrupted.s, 2u);
    const std::string out = printedRows(recorder.out());
    EXPECT_EQ(static_cast<uint32_t>(std::count(out.begin(), out.end(), '\n')), interrupted.s)
        << "every completed cycle printed is in the file";

    Child killed({TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "k.alt"}, m_dir.path());
    const auto until2 = std::chrono::steady_clock::now() + 20s;
    while (parseRecord(get(m_dir / "k.alt")).s < 2 && std::chrono::steady_clock::now() < until2) {
        std::this_thread::sleep_for(37ms);
    }
    killed.signal(SIGKILL);
    killed.wait();
    const Parsed afterKill = parseRecord(get(m_dir / "k.alt"));
    EXPECT_TRUE(afterKill.ok) << "never a torn file";
    EXPECT_GE(afterKill.s, 2u);
    EXPECT_EQ(cli({"dump", m_dir / "k.alt"}).status, 0);
}

// Two Tervo processes on one port take turns: a watch beside a recording that polls a silent
// controller (five attempts back to back) loses no reading, and neither does the recording.
TEST_F(Recorder, AWatchBesideARecordingTakesTurns) {
    Child recorder(
        {TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--cycles", "6"},
        m_dir.path());
    const RunResult watch =
        cli({"watch", "--addr", "0-2", "--count", "10", "--interval", "0.3", "PV", "SL"});
    EXPECT_EQ(watch.status, 0) << watch.out;
    EXPECT_EQ(watch.out.find("Err"), std::string::npos) << watch.out;
    ASSERT_EQ(recorder.wait(), 0) << recorder.err();
    const Parsed p = parseRecord(get(m_dir / "r.alt"));
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.s, 6u);
    for (uint32_t row = 0; row < p.s; ++row) {
        for (uint32_t c : {0u, 1u, 3u}) {
            EXPECT_NE(p.bits[row][c], kMarkerBits) << "row " << row << " channel " << c;
        }
        EXPECT_EQ(p.bits[row][2], kMarkerBits) << "the silent controller";
    }
}

TEST_F(Recorder, AFailedLastWriteIsReportedWithWhatTheFileHolds) {
    std::filesystem::create_directory(m_dir / "out");
    Child recorder({TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "out" / "r.alt"},
                   m_dir.path());
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (parseRecord(get(m_dir / "out" / "r.alt")).s < 2 &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(20ms);
    }
    std::filesystem::remove_all(m_dir / "out");
    // Two more cycles fail to be written, then the operator stops.
    const auto printed = [&] {
        const std::string out = printedRows(recorder.out());
        return std::count(out.begin(), out.end(), '\n');
    };
    const auto removedAt = printed();
    while (printed() < removedAt + 2 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(20ms);
    }
    recorder.signal(SIGINT);
    EXPECT_EQ(recorder.wait(), 1) << "not a success";
    const std::string err = recorder.err();
    EXPECT_NE(err.find("记录文件无法写入：" + (m_dir / "out" / "r.alt").string()),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("记录文件写入失败：已采集 " + std::to_string(printed()) +
                       " 行，文件中有 0 行：" + (m_dir / "out" / "r.alt").string() + "\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("已记录"), std::string::npos) << err;
}

TEST_F(Recorder, RefusesToOverwriteItsInputs) {
    RunResult r = cli({"record", m_dir / "w.awt", "--out", m_dir / "w.awt", "--cycles", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("would overwrite the input"), std::string::npos) << r.err;
    EXPECT_EQ(get(m_dir / "w.awt"), m_template);
    std::filesystem::create_symlink(m_dir / "c.lin", m_dir / "curve-link");
    r = cli({"record", m_dir / "w.awt", "--out", m_dir / "curve-link", "--cycles", "1"});
    EXPECT_EQ(r.status, 2) << "the curve file the work reads is an input too";
    EXPECT_EQ(get(m_dir / "c.lin"), curveFile());

    ASSERT_EQ(cli({"record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--cycles", "1"}).status,
              0);
    const Bytes recorded = get(m_dir / "r.alt");
    r = cli({"export", m_dir / "r.alt", "--out", m_dir / "r.alt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(get(m_dir / "r.alt"), recorded);
    std::filesystem::copy(m_dir / "r.alt", m_dir / "x_events.csv");
    r = cli({"export", m_dir / "x_events.csv", "--out", m_dir / "x.csv"});
    EXPECT_EQ(r.status, 2) << "nor may the events file";
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x.csv"));

    // An export that cannot be written leaves nothing behind.
    std::filesystem::create_directory(m_dir / "folder");
    r = cli({"export", m_dir / "r.alt", "--out", m_dir / "folder"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "无法写入：" + (m_dir / "folder").string() + "\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "folder_events.csv"));
    EXPECT_TRUE(std::filesystem::is_empty(m_dir / "folder"));
}

// A recording is replaced only when --force asks for it, and never while it is being
// recorded: a second recorder on the same file is refused at once and the first goes on.
TEST_F(Recorder, AnExistingRecordingIsReplacedOnlyWhenToldAndNeverTwiceAtOnce) {
    const std::string path = m_dir / "r.alt";
    ASSERT_EQ(cli({"record", m_dir / "w.awt", "--out", path, "--cycles", "2"}).status, 0);
    const Bytes first = get(path);
    RunResult r = cli({"record", m_dir / "w.awt", "--out", path, "--cycles", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("the output exists (--force replaces it): " + path), std::string::npos)
        << r.err;
    EXPECT_EQ(get(path), first);

    Child recorder({TERVO_CLI, "record", m_dir / "w.awt", "--out", path, "--force"}, m_dir.path());
    ASSERT_TRUE(recorder.waitForOutput("\n", 20s)) << recorder.err();
    r = cli({"record", m_dir / "w.awt", "--out", path, "--force", "--cycles", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "记录文件正被另一记录占用：" + path + "！！！\n");
    recorder.signal(SIGINT);
    EXPECT_EQ(recorder.wait(), 0);
    const Parsed p = parseRecord(get(path));
    ASSERT_TRUE(p.ok);
    const std::string out = printedRows(recorder.out());
    EXPECT_EQ(static_cast<uint32_t>(std::count(out.begin(), out.end(), '\n')), p.s)
        << "the file holds the first recorder's rows";

    ASSERT_EQ(cli({"record", m_dir / "w.awt", "--out", path, "--force", "--cycles", "1"}).status,
              0);
    EXPECT_EQ(parseRecord(get(path)).s, 1u) << "replaced once the recording has stopped";
}

TEST_F(Recorder, NeverHangsOnNorReplacesWhatIsNotAFile) {
    const std::string fifo = m_dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const auto quick = [&](std::vector<std::string> args) {
        args.insert(args.begin(), TERVO_CLI);
        Child child(args, m_dir.path());
        const std::optional<int> status = child.waitFor(5s);
        if (!status) {
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // set it free
            child.signal(SIGKILL);
        }
        return RunResult{status.value_or(-1), child.out(), child.err()};
    };
    for (const char* command : {"dump", "export"}) {
        const RunResult r = quick({command, fifo});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err, "无法打开文件：" + fifo + "\n") << command;
    }
    EXPECT_EQ(quick({"dump", fifo + ".awt"}).status, 1);
    EXPECT_EQ(quick({"record", fifo, "--out", m_dir / "r.alt", "--cycles", "1"}).status, 1);

    RunResult r = quick({"record", m_dir / "w.awt", "--out", fifo, "--force", "--cycles", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("记录文件无法写入：" + fifo), std::string::npos) << r.err;
    EXPECT_EQ(quick({"export", m_dir / "missing.alt", "--out", fifo}).status, 1);
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "still the FIFO it was";

    // A curve channel whose file is a FIFO records the marker and says so once; the
    // recording itself goes on.
    put(m_dir / "fifo-curve.awt", workTemplate(fifo));
    r = quick({"record", m_dir / "fifo-curve.awt", "--out", m_dir / "f.alt", "--cycles", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("曲线文件无法打开：" + fifo), std::string::npos) << r.err;
    const Parsed p = parseRecord(get(m_dir / "f.alt"));
    ASSERT_EQ(p.s, 2u);
    EXPECT_EQ(p.bits[1][3], kMarkerBits);
    EXPECT_EQ(std::bit_cast<double>(p.bits[1][1]), 25.0);
}

TEST_F(Recorder, HugeNumbersPrintWhole) {
    Bytes huge = m_template;
    const uint64_t bits = std::bit_cast<uint64_t>(1e300);
    for (int i = 0; i < 8; ++i) {
        huge[24 + i] = static_cast<uint8_t>(bits >> (8 * i));  // the value maximum
    }
    put(m_dir / "huge.awt", huge);
    const RunResult r = cli({"dump", m_dir / "huge.awt"});
    EXPECT_EQ(r.status, 0);
    char whole[400];
    std::snprintf(whole, sizeof whole, "数值范围：0.00 .. %0.2f\n", 1e300);
    EXPECT_NE(r.out.find(whole), std::string::npos) << r.out;
}

TEST_F(Recorder, RefusesWhatItCannotDo) {
    put(m_dir / "bad.awt", Bytes(10, 0));
    RunResult r = cli({"record", m_dir / "bad.awt", "--out", m_dir / "r.alt", "--cycles", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "文件错误！！！\n");

    // A recording whose first write fails stops at once and says so.
    for (const std::string& out :
         {(m_dir / "nowhere" / "r.alt").string(), std::string("/dev/full")}) {
        r = cli({"record", m_dir / "w.awt", "--out", out, "--force", "--cycles", "1"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "记录文件无法写入：" + out + "，记录未开始！！！\n");
    }

    Bytes empty = workTemplate("");
    empty[220] = 0;
    empty[224] = 0;
    empty.resize(228);
    put(m_dir / "empty.awt", empty);
    r = cli({"record", m_dir / "empty.awt", "--out", m_dir / "r.alt", "--cycles", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "无记录项！！！\n");

    EXPECT_EQ(cli({"record", m_dir / "w.awt", "--cycles", "1"}).status, 2) << "no --out";
    EXPECT_EQ(
        cli({"record", m_dir / "w.awt", "--out", "x", "--cycles", "1", "--seconds", "2"}).status,
        2);
    EXPECT_EQ(cli({"dump", m_dir / "missing.alt"}).status, 1);
    EXPECT_EQ(cli({"export", m_dir / "w.awt"}).err, "文件错误！！！\n")
        << "a template is no record file";
}

TEST_F(Recorder, KilledAtRandomMomentsTheFileHoldsEveryCompletedCycle) {
    std::random_device seedSource;
    const unsigned seed = seedSource();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> moment(300, 2300);
    for (int kill = 0; kill < 20; ++kill) {
        const int afterMs = moment(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", kill " + std::to_string(kill) + " after " +
                     std::to_string(afterMs) + " ms");
        const std::string path = m_dir / ("k" + std::to_string(kill) + ".alt");
        Child recorder({TERVO_CLI, "record", m_dir / "w.awt", "--out", path}, m_dir.path());
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        recorder.signal(SIGKILL);
        recorder.wait();
        if (!std::filesystem::exists(path)) {
            EXPECT_TRUE(recorder.out().empty()) << "a cycle was reported but never written";
            continue;
        }
        // Reading recovers an update the kill cut short; the file is then whole on disk.
        ASSERT_EQ(cli({"dump", path}).status, 0);
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
        const Parsed p = parseRecord(get(path));
        ASSERT_TRUE(p.ok) << "never a torn file";
        const std::string out = printedRows(recorder.out());
        const auto printed = static_cast<uint32_t>(std::count(out.begin(), out.end(), '\n'));
        EXPECT_GE(p.s, printed) << "every cycle reported is in the file";
        EXPECT_LE(p.s, printed + 1) << "at most the cycle being reported when killed";
        std::istringstream lines(out);
        std::string line;
        for (uint32_t r = 0; r < printed && std::getline(lines, line); ++r) {
            EXPECT_EQ(line.substr(0, 19), stamp(p.times[r])) << "row " << r;
        }
    }
}
