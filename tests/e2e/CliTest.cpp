#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <regex>
#include <thread>

#include "support/Process.h"
#include "support/RawPty.h"

using tervo::testing::Child;
using tervo::testing::RawPty;
using tervo::testing::run;
using tervo::testing::RunResult;
using tervo::testing::TempDir;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

RunResult cli(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), TERVO_CLI);
    return run(args, dir.path());
}

// qt570-emu as its own process with four controllers, 3 silent, linked as COM1.
class EmulatedBus : public ::testing::Test {
protected:
    void SetUp() override {
        m_emu = std::make_unique<Child>(
            std::vector<std::string>{QT570_EMU, "--link", m_dir / "com1", "--addresses", "0-3",
                                     "--speed", "60", "--fault", "3:silent"},
            m_dir.path());
        ASSERT_TRUE(m_emu->started());
        ASSERT_TRUE(m_emu->waitForOutput("qt570-emu: controllers")) << m_emu->err();
        setenv("TERVO_COM1", (m_dir / "com1").c_str(), 1);
    }
    void TearDown() override { unsetenv("TERVO_COM1"); }

    TempDir m_dir;
    std::unique_ptr<Child> m_emu;
};

}  // namespace

TEST_F(EmulatedBus, ReadWriteAndTheirExitStatuses) {
    RunResult r =
        cli(m_dir, {"read", "--port", "COM1", "--baud", "9600", "--addr", "0", "SL", "PV", "HB"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("SL 25\\.00\nPV -?\\d+\\.\\d\\d\nHB 20\\.00\n")))
        << r.out;

    r = cli(m_dir, {"write", "--addr", "2", "SL", "80"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "修改成功！！！\n");
    r = cli(m_dir, {"read", "--addr", "2", "SL"});
    EXPECT_EQ(r.out, "SL 80.00\n");

    r = cli(m_dir, {"write", "--addr", "2", "PV", "-12.5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "修改失败！！！\n");

    r = cli(m_dir, {"write", "--addr", "3", "SL", "80"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "通信错误！！！（无应答）\n");

    r = cli(m_dir, {"read", "--addr", "3", "PV", "SL"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "PV 通信错误！！！（无应答）\nSL 通信错误！！！（无应答）\n");

    // With --literal two characters the table lacks go out as typed; this controller does not
    // know "pv" and says so with EOT.
    r = cli(m_dir, {"read", "--addr", "1", "--literal", "pv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pv 通信错误！！！（仪表无此参数）\n");
}

// A name outside the table is refused before anything goes out, with the name meant when it
// differs only in case or is another maker's name for a table parameter.
TEST_F(EmulatedBus, UnknownNamesAreRefusedWithTheNameMeant) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"read", "SV"}, "未知参数：SV（`tervo-cli params` 列出全部）\n是否指 SL？\n"},
        {{"read", "PV", "L1"}, "未知参数：L1（`tervo-cli params` 列出全部）\n是否指 l1？\n"},
        {{"write", "hb", "5"}, "未知参数：hb（`tervo-cli params` 列出全部）\n是否指 HB 或 Hb？\n"},
        {{"watch", "--count", "1", "QQ"}, "未知参数：QQ（`tervo-cli params` 列出全部）\n"},
    };
    for (const auto& [args, err] : cases) {
        const RunResult r = cli(m_dir, args);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(r.out, "") << "nothing read before the refusal";
    }

    const RunResult params = cli(m_dir, {"params"});
    EXPECT_EQ(params.status, 0);
    EXPECT_EQ(std::count(params.out.begin(), params.out.end(), '\n'), 49);
    EXPECT_TRUE(params.out.starts_with("PV  测量值（只读）\nOP  输出功率（只读）\n")) << params.out;
    EXPECT_NE(params.out.find("\nHB  PID上分离带\n"), std::string::npos);
    EXPECT_TRUE(params.out.ends_with("\nt8  平台8的运行时间\n"));
}

TEST_F(EmulatedBus, SearchTakesAddressListsAndSaysWhyTheRestFailed) {
    const RunResult r = cli(m_dir, {"search", "--addr", "3,1-2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "串口： COM1 , 波特率： 9600 , 仪表地址： 1\n串口： COM1 , 波特率： 9600 , 仪表地址： "
        "2\n搜索完毕！！！\n");
    EXPECT_EQ(r.err, "失败次数：无应答 1\n") << "no progress line: stderr is no terminal";
}

TEST_F(EmulatedBus, WatchStoppedByCtrlCCountsItsFailures) {
    Child watch({TERVO_CLI, "watch", "--addr", "3", "--interval", "0.1", "PV"}, m_dir.path());
    ASSERT_TRUE(watch.waitForOutput("Err(无应答)\n", 10s)) << watch.out();
    watch.signal(SIGINT);
    EXPECT_EQ(watch.waitFor(10s), std::optional<int>(1));
    EXPECT_TRUE(std::regex_search(watch.out(), std::regex("\n失败次数：无应答 \\d+\n$")))
        << watch.out();
}

TEST_F(EmulatedBus, RawExchangeAndWatch) {
    RunResult r = cli(m_dir, {"raw", "04 30 30 30 30 53 4C 05"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "02 53 4C 20 32 35 2E 30 03 25\n");

    r = cli(m_dir, {"raw", "--format", "8N1", "04 30 30 30 30 53 4C 05"});
    EXPECT_EQ(r.out, "02 53 4C 20 32 35 2E 30 03 25\n");

    r = cli(m_dir, {"raw", "04 33 33 33 33 53 4C 05"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "link status 5: no reply within the timeouts\n");

    r = cli(m_dir, {"raw", "--port", "COM6", "04"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("link status 4"), std::string::npos) << r.err;

    r = cli(m_dir, {"watch", "--addr", "0-1,3", "--count", "2", "--interval", "0.2", "PV", "SL"});
    EXPECT_EQ(r.status, 1) << "address 3 never answered";
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("地址 +PV +SL\n   0 +-?\\d+\\.\\d\\d +25\\.00\n   1 .*\n   3 +"
                          "Err\\(无应答\\) +Err\\(无应答\\)\n\n")))
        << r.out;
    EXPECT_TRUE(r.out.ends_with("\n失败次数：无应答 4\n")) << r.out;
}

TEST_F(EmulatedBus, SaysNoInsteadOfSendingSomethingElse) {
    RunResult r = cli(m_dir, {"write", "--addr", "1", "SL", "1000.5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("one to 5 characters"), std::string::npos) << r.err;
    EXPECT_EQ(cli(m_dir, {"write", "--addr", "1", "SL", "123456789"}).status, 2);
    EXPECT_EQ(cli(m_dir, {"write", "--addr", "1", "SL", ""}).status, 2);
    EXPECT_EQ(cli(m_dir, {"read", "--addr", "1", "SL"}).out, "SL 25.00\n") << "nothing was written";
    r = cli(m_dir, {"write", "--addr", "1", "SL", "999.5"});
    EXPECT_EQ(r.out, "修改成功！！！\n") << "five characters fit";
    EXPECT_EQ(cli(m_dir, {"read", "--addr", "1", "SL"}).out, "SL 999.50\n");

    std::string tooLong;
    for (int i = 0; i < 105; ++i) {
        tooLong += "04 ";
    }
    r = cli(m_dir, {"raw", tooLong});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("at most 104 bytes"), std::string::npos) << r.err;
    r = cli(m_dir, {"raw", "zz"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not 'z'"), std::string::npos) << r.err;
    EXPECT_EQ(cli(m_dir, {"raw", "04 30 3G"}).status, 2);
    EXPECT_EQ(cli(m_dir, {"raw", ""}).status, 2);
    EXPECT_EQ(cli(m_dir, {"raw", "  "}).status, 2);
}

TEST_F(EmulatedBus, StoppingTheEmulatorRemovesItsLink) {
    m_emu->signal(SIGTERM);
    EXPECT_EQ(m_emu->wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(m_dir / "com1")));
}

// A stop that comes the moment the link appears, before the emulator has said it is ready,
// still ends it cleanly: the link never outlives the emulator.
TEST(EmulatorStart, AStopAsSoonAsTheLinkAppearsRemovesIt) {
    TempDir dir;
    for (int i = 0; i < 30; ++i) {
        const std::filesystem::path link = dir / ("com" + std::to_string(i));
        Child emu({QT570_EMU, "--link", link, "--addresses", "0"}, dir.path());
        ASSERT_TRUE(emu.started());
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (!std::filesystem::exists(std::filesystem::symlink_status(link)) &&
               std::chrono::steady_clock::now() < until) {
        }
        emu.signal(SIGTERM);
        EXPECT_EQ(emu.wait(), 0) << "run " << i;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "run " << i;
    }
}

TEST(CliUsage, ErrorsExitTwo) {
    TempDir dir;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"fly"},
        {"read"},
        {"read", "--port", "COM7", "PV"},
        {"read", "--baud", "1000", "PV"},
        {"read", "--addr", "100", "PV"},
        {"read", "PVX"},
        {"write", "SL"},
        {"raw", "--format", "9N1", "04"},
        {"watch", "--addr", "5-1"},
        {"read", "--port"},
        {"read", "--colour", "red", "PV"},
    };
    for (const auto& args : bad) {
        RunResult r = cli(dir, args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
        if (args.empty()) {
            EXPECT_NE(r.err.find("usage: tervo-cli"), std::string::npos) << "the whole usage";
        } else {
            EXPECT_TRUE(r.err.starts_with("tervo-cli: ")) << r.err;
            EXPECT_TRUE(r.err.ends_with("\n用法：tervo-cli --help\n")) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        }
    }
    EXPECT_EQ(cli(dir, {"--help"}).status, 0);
}

// The far end of the line played by the test itself: what tervo-cli puts on the wire, byte
// for byte, and how often and how far apart it tries.
class IndependentPeer : public ::testing::Test {
protected:
    void SetUp() override { setenv("TERVO_COM2", m_pty.path().c_str(), 1); }
    void TearDown() override { unsetenv("TERVO_COM2"); }

    // Serves frames until the child exits: each frame is logged with its arrival time and
    // answered by `answer` (an empty answer is silence).
    template <typename Answer>
    RunResult serve(std::vector<std::string> args, Answer answer) {
        args.insert(args.begin(), TERVO_CLI);
        Child child(args, m_dir.path());
        const auto start = std::chrono::steady_clock::now();
        std::thread peer([&] {
            while (std::chrono::steady_clock::now() - start < 5s) {
                Bytes frame = m_pty.receive(5ms);
                if (frame.empty()) {
                    if (m_stop) {
                        return;
                    }
                    continue;
                }
                m_frames.push_back(frame);
                m_times.push_back(std::chrono::steady_clock::now());
                m_pty.send(answer(frame));
            }
        });
        const int status = child.wait();
        m_stop = true;
        peer.join();
        return {status, child.out(), child.err()};
    }

    TempDir m_dir;
    RawPty m_pty;
    std::atomic<bool> m_stop{false};
    std::vector<Bytes> m_frames;
    std::vector<std::chrono::steady_clock::time_point> m_times;
};

TEST_F(IndependentPeer, SilenceIsTriedFiveTimesAtTheReadTimeout) {
    RunResult r = serve({"read", "--port", "COM2", "--addr", "12", "SL"},
                        [](const Bytes&) { return Bytes{}; });
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(m_frames.size(), 5u);
    for (size_t i = 0; i < m_frames.size(); ++i) {
        EXPECT_EQ(m_frames[i], bytesOf("\x04"
                                       "1122SL\x05"));
        if (i > 0) {
            // The read waits 70 ms; the peer sees each frame when it is scheduled, so a busy
            // machine can shorten one gap by lengthening the one before.
            EXPECT_GE(m_times[i] - m_times[i - 1], 40ms) << "each attempt waits out the read";
        }
    }
}

TEST_F(IndependentPeer, BadRepliesAreRetriedAndAGoodOneIsParsed) {
    int count = 0;
    RunResult r = serve({"read", "--port", "COM2", "--addr", "5", "TI"}, [&](const Bytes&) {
        ++count;
        if (count == 1) {
            return bytesOf("\x02TI 12.5\x03");  // nine bytes
        }
        Bytes reply = bytesOf("\x02TI-12.5\x03");
        uint8_t bcc = 0;
        for (size_t i = 1; i <= 8; ++i) {
            bcc ^= reply[i];
        }
        reply.push_back(count == 2 ? bcc ^ 1 : bcc);
        return reply;
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "TI -12.50\n");
    ASSERT_EQ(m_frames.size(), 3u);
    EXPECT_EQ(m_frames[2], bytesOf("\x04"
                                   "0055TI\x05"));
}

TEST_F(IndependentPeer, RawSendsUpTo104BytesWhole) {
    std::string text;
    for (int i = 0; i < 104; ++i) {
        text += "5a ";
    }
    const RunResult r =
        serve({"raw", "--port", "COM2", text}, [](const Bytes&) { return Bytes{}; });
    EXPECT_EQ(r.status, 1) << "nobody answers";
    Bytes all;
    for (const Bytes& frame : m_frames) {
        all.insert(all.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(all, Bytes(104, 0x5A));
}

TEST_F(IndependentPeer, WriteFramesNakAndSilence) {
    RunResult r = serve({"write", "--port", "COM2", "--addr", "1", "SL", "100.0"},
                        [](const Bytes&) { return Bytes{0x15}; });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "修改失败！！！\n");
    ASSERT_EQ(m_frames.size(), 1u) << "a refusal is final";
    Bytes expected = bytesOf(
        "\x04"
        "0011\x02SL100.0\x03");
    uint8_t bcc = 0;
    for (size_t i = 6; i <= 13; ++i) {
        bcc ^= expected[i];
    }
    expected.push_back(bcc);
    EXPECT_EQ(m_frames[0], expected);

    m_frames.clear();
    m_stop = false;
    r = serve({"write", "--port", "COM2", "--addr", "1", "SL", "7"},
              [](const Bytes&) { return Bytes{}; });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "通信错误！！！（无应答）\n");
    ASSERT_EQ(m_frames.size(), 5u);
    EXPECT_EQ(Bytes(m_frames[4].begin() + 8, m_frames[4].begin() + 13), bytesOf("7    "));
}
