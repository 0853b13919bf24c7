// tervo-cli record with a work's alarms, unattended: against the emulator (a silent controller
// for comm loss, a set value above a high limit), a real mosquitto broker (the retained alarm
// states a late subscriber sees), the metrics page, and the alarm log after kill -9.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "support/FileBytes.h"
#include "support/FreePort.h"
#include "support/Loopback.h"
#include "support/Process.h"
#include "support/RawPty.h"

using tervo::testing::Child;
using tervo::testing::freePort;
using tervo::testing::httpGet;
using tervo::testing::listening;
using tervo::testing::run;
using tervo::testing::TempDir;
using namespace std::chrono_literals;

namespace {

constexpr const char* kBroker = "/usr/sbin/mosquitto";
constexpr const char* kSub = "/usr/bin/mosquitto_sub";
constexpr const char* kPub = "/usr/bin/mosquitto_pub";

using tervo::testing::ByteWriter;
using tervo::testing::gbk;
using tervo::testing::writeWorkHead;

// A one-second work on COM1: 炉温 (PV of 0), 设定 (SL of 1: the emulator's 25) and 备用 (SL of 3).
std::vector<uint8_t> workTemplate() {
    ByteWriter o;
    writeWorkHead(o);
    writeStylesAndCounts(o, 3, 0);  // no events
    const char* const names[] = {"炉温", "设定", "备用"};
    const int codes[] = {0, 3, 3};
    const int addresses[] = {0, 1, 3};
    for (int i = 0; i < 3; ++i) {
        writeComOneChannel(o, names[i], codes[i], addresses[i]);
    }
    return o.b;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

class Alarms : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
        const auto work = workTemplate();
        std::ofstream(m_dir / "w.awt", std::ios::binary)
            .write(reinterpret_cast<const char*>(work.data()),
                   static_cast<std::streamsize>(work.size()));
        std::ofstream(m_dir / "faults") << "3:silent";
        m_emu = std::make_unique<Child>(
            std::vector<std::string>{QT570_EMU, "--link", m_dir / "com1", "--addresses", "0-3",
                                     "--fault-file", m_dir / "faults"},
            m_dir.path());
        ASSERT_TRUE(m_emu->waitForOutput("qt570-emu: controllers")) << m_emu->err();
        setenv("TERVO_COM1", (m_dir / "com1").c_str(), 1);
    }
    void TearDown() override { unsetenv("TERVO_COM1"); }

    void writeSidecar(const std::string& text) { std::ofstream(m_dir / "w.alarms.json") << text; }

    TempDir m_dir;
    std::unique_ptr<Child> m_emu;
};

}  // namespace

TEST_F(Alarms, RecorderPublishesRetainedStatesAndKeepsItsLogThroughKill9) {
    if (!std::filesystem::exists(kBroker) || !std::filesystem::exists(kSub)) {
        GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap installs it)";
    }
    const int brokerPort = freePort();
    std::ofstream(m_dir / "broker.conf")
        << "listener " << brokerPort << " 127.0.0.1\nallow_anonymous true\n";
    Child broker({kBroker, "-c", m_dir / "broker.conf"}, m_dir.path());
    ASSERT_TRUE(waitFor([&] { return listening(brokerPort); }, 10s)) << broker.err();
    const std::string p = std::to_string(brokerPort);
    // What an earlier run left retained must not stand for this one.
    char hostName[256] = {};
    gethostname(hostName, sizeof hostName - 1);
    const std::string base = std::string("tervo/") + hostName + "/w/alarms/";
    ASSERT_EQ(run({kPub, "-h", "127.0.0.1", "-p", p, "-t", base + "炉温", "-r", "-m", "stale"},
                  m_dir.path())
                  .status,
              0);

    // 设定 (25) above 20 at once; 备用 lost after two failed readings; 炉温 never.
    writeSidecar(R"({"version": 1, "channels": [
        {"channel": 1, "low": -1000},
        {"channel": 2, "high": 20, "deadband": 1, "comm_loss": 2},
        {"channel": 3, "comm_loss": 2}]})");
    const int metricsPort = freePort();
    Child recorder(
        {TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--mqtt",
         "mqtt://127.0.0.1:" + p, "--metrics", "127.0.0.1:" + std::to_string(metricsPort)},
        m_dir.path());
    const auto log = m_dir / "r.alt-alarms.csv";
    auto logHas = [&](const std::string& text) {
        return waitFor([&] { return slurp(log).find(text) != std::string::npos; }, 15s);
    };
    ASSERT_TRUE(logHas(",备用,comm,active,\n")) << slurp(log) << recorder.err();
    ASSERT_TRUE(logHas(",设定,high,active,25\n")) << slurp(log);

    // The comm alarm came with the second row, not the first: the rows the recorder printed.
    const std::vector<std::string> rows = lines(recorder.out());
    ASSERT_GE(rows.size(), 3u);
    const std::vector<std::string> logged = lines(slurp(log));
    ASSERT_EQ(logged.size(), 3u);  // the header, 设定 at the first row, 备用 at the second
    EXPECT_EQ(logged[0], "\xEF\xBB\xBF时间,通道,类型,状态,值");
    EXPECT_EQ(logged[1], rows[1].substr(0, 19) + ",设定,high,active,25");
    EXPECT_EQ(logged[2], rows[2].substr(0, 19) + ",备用,comm,active,");

    const std::string page = httpGet(metricsPort, "/metrics");
    EXPECT_NE(
        page.find("tervo_alarm_active{work=\"w\",channel=\"炉温\",index=\"0\",kind=\"low\"} 0"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("channel=\"设定\",index=\"1\",kind=\"high\"} 1"), std::string::npos);
    EXPECT_NE(page.find("channel=\"备用\",index=\"2\",kind=\"comm\"} 1"), std::string::npos);

    // A subscriber connecting now reads each channel's state at once, retained; 炉温's stale
    // message is gone.
    auto retained = [&](int count) {
        return run({kSub, "-h", "127.0.0.1", "-p", p, "-t", base + "#", "-v", "-C",
                    std::to_string(count), "-W", "3"},
                   m_dir.path())
            .out;
    };
    std::string late = retained(3);  // waits out -W: only two are there
    EXPECT_EQ(lines(late).size(), 2u) << late;
    std::string iso = logged[1].substr(0, 19) + "+08:00";  // Shanghai time
    std::replace(iso.begin(), iso.end(), '/', '-');
    iso[10] = 'T';
    EXPECT_NE(
        late.find(base + "设定 {\"kind\":\"high\",\"state\":\"active\",\"value\":25,\"time\":\"" +
                  iso + "\"}"),
        std::string::npos)
        << late;
    EXPECT_NE(late.find(base + "备用 {\"kind\":\"comm\",\"state\":\"active\",\"value\":null,"),
              std::string::npos)
        << late;
    EXPECT_EQ(late.find("stale"), std::string::npos);

    // The controller answers again: the comm alarm clears at the next reading.
    std::ofstream(m_dir / "faults", std::ios::trunc) << "";
    m_emu->signal(SIGUSR1);
    ASSERT_TRUE(logHas(",备用,comm,cleared,25\n")) << slurp(log);
    EXPECT_TRUE(waitFor(
        [&] {
            return retained(2).find("\"kind\":\"comm\",\"state\":\"cleared\"") != std::string::npos;
        },
        10s));

    // 设定 lost and back while above its limit: its topic ends with the high alarm, which
    // still holds, not with the comm alarm's clearing.
    auto switchFaults = [&](const std::string& faults) {
        std::ofstream(m_dir / "faults", std::ios::trunc) << faults;
        m_emu->signal(SIGUSR1);
    };
    switchFaults("1:silent");
    ASSERT_TRUE(logHas(",设定,comm,active,\n")) << slurp(log);
    switchFaults("");
    ASSERT_TRUE(logHas(",设定,comm,cleared,25\n")) << slurp(log);
    // (published off the recorder's thread: it may reach the broker a moment after the log)
    EXPECT_TRUE(waitFor(
        [&] {
            late = retained(2);
            return late.find(base + "设定 {\"kind\":\"high\",\"state\":\"active\",\"value\":25,") !=
                   std::string::npos;
        },
        10s))
        << late;

    // Killed outright: every line written so far is whole on disk.
    recorder.signal(SIGKILL);
    recorder.wait();
    const std::string after = slurp(log);
    EXPECT_TRUE(after.ends_with(",设定,comm,cleared,25\n")) << after;
    EXPECT_EQ(lines(after).size(), 6u) << after;
}

TEST_F(Alarms, BadSettingsAreSaidAndTheWorkRecordsWithoutAlarms) {
    writeSidecar(
        "{\"version\": 1,\n \"channels\": [\n  {\"channel\": 2, \"high\": 20,\n"
        "   \"deadband\": -1}]}\n");
    const auto r =
        run({TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--cycles", "2"},
            m_dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("报警设置文件 " + (m_dir / "w.alarms.json").string() +
                         " 第 4 行：字段 deadband：死区不能为负数，本工作不报警"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("已记录 2 行"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "r.alt-alarms.csv"));
}
