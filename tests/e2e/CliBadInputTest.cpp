// tervo-cli against what an operator may hand it by mistake: things that are not files, files
// that hold nothing or two gigabytes of nothing, names in another encoding, numbers out of any
// range. Each gets a clear message and a non-zero exit at once, without reading more than it
// needs.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/text/Gbk.h"
#include "core/work/RecordWriter.h"
#include "core/work/WorkDefinition.h"
#include "core/work/WorkFiles.h"
#include "support/Process.h"
#include "support/RawPty.h"

using tervo::testing::Child;
using tervo::testing::TempDir;
using namespace std::chrono_literals;

namespace {

struct Timed {
    int status = -1;
    std::string out;
    std::string err;
    std::chrono::duration<double> took{};
};

// Sanitized builds start slowly; the plain build answers each of these in milliseconds.
constexpr auto kAtOnce = 5s;

Timed cli(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), TERVO_CLI);
    const auto start = std::chrono::steady_clock::now();
    Child child(args, dir.path());
    const std::optional<int> status = child.waitFor(std::chrono::milliseconds(30'000));
    Timed t{status.value_or(-1), child.out(), child.err(),
            std::chrono::steady_clock::now() - start};
    return t;
}

std::string describe(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) {
        text += a + " ";
    }
    return text;
}

// Every byte sequence tervo-cli prints is well-formed UTF-8.
bool isUtf8(const std::string& text) {
    return tervo::printableUtf8(text) == text;
}

long childPeakKb() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

void makeFile(const std::filesystem::path& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(ftruncate(fd, size), 0) << path;
    ::close(fd);
}

}  // namespace

TEST(CliBadInput, WhatIsNoFileOrHoldsNothingIsRefusedAtOnce) {
    TempDir dir;
    constexpr off_t kTwoGigabytes = off_t{2} << 30;
    const std::string cannotOpen = "无法打开文件：";
    const std::string bad = "文件错误！！！\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    std::vector<Case> cases;
    for (const std::string ext : {".alt", ".awt", ".lin", ".sim"}) {
        const std::string folder = dir / ("folder" + ext);
        const std::string fifo = dir / ("fifo" + ext);
        const std::string zero = dir / ("zero" + ext);
        const std::string empty = dir / ("empty" + ext);
        const std::string sparse = dir / ("sparse" + ext);
        std::filesystem::create_directory(folder);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        std::filesystem::create_symlink("/dev/zero", zero);
        makeFile(empty, 0);
        makeFile(sparse, kTwoGigabytes);
        std::vector<std::string> commands{"dump"};
        if (ext == ".alt") {
            commands.push_back("export");
        }
        if (ext == ".awt") {
            commands.push_back("record");
        }
        for (const std::string& command : commands) {
            const auto withArgs = [&](const std::string& path) {
                std::vector<std::string> args{command, path};
                if (command == "record") {
                    args.insert(args.end(), {"--out", dir / "r.alt", "--cycles", "1"});
                }
                if (command == "export") {
                    args.insert(args.end(), {"--out", dir / "r.csv"});
                }
                return args;
            };
            for (const std::string& path : {folder, fifo, zero}) {
                cases.push_back({withArgs(path), cannotOpen + path + "\n"});
            }
            cases.push_back({withArgs(empty), bad});
            cases.push_back({withArgs(sparse), bad});
        }
    }
    cases.push_back({{"dump", "/dev/zero"}, cannotOpen + "/dev/zero\n"});
    cases.push_back({{"export", "/dev/zero"}, cannotOpen + "/dev/zero\n"});

    for (const Case& c : cases) {
        const Timed r = cli(dir, c.args);
        EXPECT_EQ(r.status, 1) << describe(c.args);
        EXPECT_EQ(r.err, c.err) << describe(c.args);
        EXPECT_EQ(r.out, "") << describe(c.args);
        EXPECT_LT(r.took, kAtOnce) << describe(c.args);
    }
    // Nothing was read whole: two gigabytes of zeros cost no more memory than a small file.
    EXPECT_LT(childPeakKb(), 100 * 1024);
    for (const char* output : {"r.alt", "r.csv", "r_events.csv"}) {
        EXPECT_FALSE(std::filesystem::exists(dir / output)) << output;
    }
}

// File names are bytes: a name that is not UTF-8 is read and written as it is, and shown with
// its odd bytes as \xHH so that every message stays readable text.
TEST(CliBadInput, NamesInAnotherEncodingWorkAndAreShownReadably) {
    TempDir dir;
    const std::string odd = "\xff\xfe";
    const std::string shown = "\\xFF\\xFE";
    // A one-channel work on a port that leads nowhere: every reading fails, the rows record
    // the marker, and no controller is needed.
    setenv("TERVO_COM1", (dir / "no-such-port").c_str(), 1);
    tervo::WorkDefinition work;
    work.channels.resize(1);
    work.timing.samplingPeriod = 1;
    ASSERT_EQ(tervo::saveWorkTemplate(dir / (odd + ".awt"), work), tervo::FileStatus::Ok);

    Timed r = cli(dir, {"dump", dir / (odd + "-missing.alt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "无法打开文件：" + (dir / (shown + "-missing.alt")).string() + "\n");

    r = cli(dir, {"record", dir / (odd + ".awt"), "--out", dir / (odd + ".alt"), "--cycles", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("已记录 1 行：" + (dir / (shown + ".alt")).string()), std::string::npos)
        << r.err;
    EXPECT_TRUE(isUtf8(r.err));
    tervo::Recording recording;
    ASSERT_EQ(tervo::readRecording(dir / (odd + ".alt"), recording), tervo::FileStatus::Ok);
    EXPECT_EQ(recording.rowCount(), 1u);

    r = cli(dir, {"dump", dir / (odd + ".alt")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("记录文件 " + (dir / (shown + ".alt")).string() + "\n", 0), 0u) << r.out;
    EXPECT_TRUE(isUtf8(r.out));
    r = cli(dir, {"dump", dir / (odd + ".awt")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("工作模板 " + (dir / (shown + ".awt")).string() + "\n", 0), 0u) << r.out;

    r = cli(dir, {"export", dir / (odd + ".alt"), "--out", dir / (odd + "x.csv")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / (shown + "x.csv")).string() + "\n" +
                         (dir / (shown + "x_events.csv")).string() + "\n");
    EXPECT_TRUE(std::filesystem::exists(dir / (odd + "x.csv")));
    EXPECT_TRUE(std::filesystem::exists(dir / (odd + "x_events.csv")));

    std::filesystem::create_directory(dir / (odd + "folder"));
    r = cli(dir, {"export", dir / (odd + ".alt"), "--out", dir / (odd + "folder")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "无法写入：" + (dir / (shown + "folder")).string() + "\n");
    r = cli(dir, {"read", "--addr", odd, "PV"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bad address: " + shown), std::string::npos) << r.err;
    EXPECT_TRUE(isUtf8(r.err));
    unsetenv("TERVO_COM1");
}

// Every number an option takes, given too large, negative, beyond a double or followed by
// letters: a usage error naming it, before anything touches a port or a file.
TEST(CliBadInput, NumbersOutOfRangeAreRefusedByName) {
    TempDir dir;
    setenv("TERVO_COM1", (dir / "no-such-port").c_str(), 1);
    const std::vector<std::string> numbers = {"99999999999999999999", "-1", "1e309", "12abc"};
    struct Option {
        std::vector<std::string> args;  // "{}" stands for the number
        std::string message;            // what the error says before it
    };
    const std::string awt = dir / "w.awt";
    const std::string out = dir / "r.alt";
    const std::vector<Option> options = {
        {{"read", "--addr", "{}", "PV"}, "bad address"},
        {{"read", "--baud", "{}", "PV"}, "bad baud rate"},
        {{"write", "--addr", "{}", "SL", "25"}, "bad address"},
        {{"write", "--baud", "{}", "SL", "25"}, "bad baud rate"},
        {{"watch", "--addr", "{}", "--count", "1"}, "bad address list"},
        {{"watch", "--baud", "{}", "--count", "1"}, "bad baud rate"},
        {{"watch", "--interval", "{}", "--count", "1"}, "bad interval"},
        {{"watch", "--count", "{}"}, "bad count"},
        {{"raw", "--baud", "{}", "04"}, "bad baud rate"},
        {{"raw", "--format", "{}", "04"}, "bad line format"},
        {{"raw", "--format", "8N{}", "04"}, "bad line format"},
        {{"search", "--baud", "{}"}, "bad baud rate"},
        {{"record", awt, "--out", out, "--cycles", "{}"}, "bad cycle count"},
        {{"record", awt, "--out", out, "--seconds", "{}"}, "bad seconds"},
        {{"record", awt, "--out", out, "--metrics", "{}"}, "bad metrics address"},
        {{"record", awt, "--out", out, "--metrics", "127.0.0.1:{}"}, "bad metrics address"},
        {{"record", awt, "--out", out, "--mqtt", "mqtt://broker:{}"}, "bad broker URL"},
    };
    for (const Option& option : options) {
        for (const std::string& number : numbers) {
            std::vector<std::string> args = option.args;
            for (std::string& a : args) {
                if (const size_t at = a.find("{}"); at != std::string::npos) {
                    a.replace(at, 2, number);
                }
            }
            const Timed r = cli(dir, args);
            EXPECT_EQ(r.status, 2) << describe(args);
            EXPECT_NE(r.err.find("tervo-cli: " + option.message), std::string::npos)
                << describe(args) << "\n"
                << r.err;
            EXPECT_NE(r.err.find(number), std::string::npos) << describe(args) << "\n" << r.err;
            EXPECT_LT(r.took, kAtOnce) << describe(args);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "r.alt"));

    // A value goes to the controller as typed, and the controller skips what is not a digit,
    // a point or a minus: "1e309" would arrive as 1309. Only plain decimal numbers go out.
    for (const std::string value : {"1e309", "12abc", "0x10", "1.2.3", "-", "."}) {
        const Timed r = cli(dir, {"write", "SL", value});
        EXPECT_EQ(r.status, 2) << value;
        EXPECT_NE(r.err.find("a value is a decimal number"), std::string::npos) << r.err;
    }
    EXPECT_NE(cli(dir, {"write", "SL", "99999999999999999999"}).err.find("one to 5 characters"),
              std::string::npos);
    for (const std::string value : {"-1", "-12.5", "0.125", "1234.", ".5"}) {
        const Timed r = cli(dir, {"write", "SL", value});
        EXPECT_EQ(r.status, 1) << value << ": sent, and the port leads nowhere";
        EXPECT_EQ(r.err, "通信错误！！！（无此设备）\n") << value;
    }
    // The search's fixed address is checked by the search itself.
    for (const std::string number : {"99999999999999999999", "12abc"}) {
        const Timed r = cli(dir, {"search", "--addr", number});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("bad address: " + number), std::string::npos) << r.err;
    }
    const Timed r = cli(dir, {"search", "--addr", "-1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "仪表地址设置错误！！！\n");
    unsetenv("TERVO_COM1");
}

// A record file whose recorder died with its last cycle in the journal: dump and export print
// every cycle (the journal laid over the file), and the journal is in the file once they end.
TEST(CliBadInput, ACrashsJournalIsPrintedThenReplayed) {
    TempDir dir;
    tervo::WorkDefinition work;
    work.channels.resize(2);
    std::vector<int32_t> times(30);
    std::vector<double> values(60);
    for (size_t r = 0; r < times.size(); ++r) {
        times[r] = 1'700'000'000 + 5 * static_cast<int32_t>(r);
        values[2 * r] = values[2 * r + 1] = static_cast<double>(r);
    }
    for (const char* command : {"dump", "export"}) {
        const std::string path = dir / (std::string(command) + ".alt");
        {
            tervo::RecordWriter writer(path);
            ASSERT_EQ(writer.write(work, times.data(), values.data(), 29, nullptr, 0),
                      tervo::FileStatus::Ok);
            ASSERT_EQ(writer.write(work, times.data(), values.data(), 29, nullptr, 0),
                      tervo::FileStatus::Ok);
            writer.stopAfterStep(2);
            ASSERT_EQ(writer.write(work, times.data(), values.data(), 30, nullptr, 0),
                      tervo::FileStatus::CannotWrite);
        }
        const std::string journal = tervo::recordJournalPath(path);
        ASSERT_TRUE(std::filesystem::exists(journal));
        const Timed r = cli(dir, {command, path});
        EXPECT_EQ(r.status, 0) << r.err;
        if (std::string(command) == "dump") {
            EXPECT_NE(r.out.find("记录 30 行"), std::string::npos) << r.out;
        }
        EXPECT_FALSE(std::filesystem::exists(journal)) << command;
        tervo::Recording recording;
        ASSERT_EQ(tervo::readRecording(path, recording), tervo::FileStatus::Ok);
        EXPECT_EQ(recording.rowCount(), 30u);
        EXPECT_FALSE(recording.journalLeft);
    }
}
