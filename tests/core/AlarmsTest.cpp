// Alarm settings (the sidecar), evaluation (delay, deadband, comm loss, acknowledgement) and
// the alarm log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "core/NoValue.h"
#include "core/alarms/AlarmEvaluator.h"
#include "core/alarms/AlarmLog.h"
#include "core/alarms/AlarmSettings.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::TempDir;

namespace {

constexpr double X = kNoValue;

// time, channel, kind, state, listed, published
using Seen = std::tuple<int64_t, int, std::string, std::string, bool, bool>;

std::vector<Seen> seen(const std::vector<AlarmChange>& changes) {
    std::vector<Seen> out;
    for (const AlarmChange& c : changes) {
        out.emplace_back(c.time, c.channel, alarmKindKey(c.kind), alarmStateKey(c.state), c.listed,
                         c.published);
    }
    return out;
}

// Feeds one value per second from t = 0 to channel 1 (channel 2 stays at 50).
std::vector<Seen> run(AlarmEvaluator& e, const std::vector<double>& series, int64_t start = 0) {
    std::vector<AlarmChange> all;
    for (size_t i = 0; i < series.size(); ++i) {
        for (AlarmChange& c : e.evaluate(start + static_cast<int64_t>(i), {series[i], 50.0})) {
            all.push_back(c);
        }
    }
    return seen(all);
}

ChannelAlarmSettings channel(int n, std::optional<double> high, std::optional<double> low,
                             double deadband, double delay, int commLoss) {
    ChannelAlarmSettings s;
    s.channel = n;
    s.high = high;
    s.low = low;
    s.deadband = deadband;
    s.delaySeconds = delay;
    s.commLoss = commLoss;
    return s;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class UtcClock : public Clock {
public:
    uint32_t tickMs() override { return 0; }
    int64_t calendarSeconds() override { return 0; }
    std::tm localTime(int64_t seconds) override {
        const time_t t = static_cast<time_t>(seconds);
        std::tm out{};
        gmtime_r(&t, &out);
        return out;
    }
};

}  // namespace

TEST(AlarmEvaluator, DelayAndDeadbandOverAScriptedSeries) {
    // High 80 and low 10, a deadband of 0.5 and a 5 s delay for both.
    AlarmEvaluator e({{channel(1, 80.0, 10.0, 0.5, 5, 0)}}, 2);
    const std::vector<double> series = {
        79,                               // 0 inside
        81,   82,   81,                   // 1-3 out for less than the delay
        80,                               // 4 at the limit is inside: the wait starts anew
        81,   81,   X,    81,  81,        // 5-9 a failed reading neither ends nor completes it
        81,                               // 10: out for 5 s: active, once
        85,   79.9, 79.6,                 // 11-13 back inside by less than the deadband
        79.5,                             // 14 back by the deadband: cleared
        79,                               // 15 inside
        9.5,  9.5,  9.5,  9.5, 9.5, 9.5,  // 16-21 below low for 5 s: active at 21
        10.4, 10.5,                       // 22 inside by less than the deadband; 23 cleared
    };
    EXPECT_EQ(run(e, series), (std::vector<Seen>{
                                  {10, 1, "high", "active", true, true},
                                  {14, 1, "high", "cleared", true, true},
                                  {21, 1, "low", "active", true, true},
                                  {23, 1, "low", "cleared", true, true},
                              }));
    EXPECT_TRUE(e.anyUnacknowledged());  // both cleared, neither acknowledged
    ASSERT_EQ(e.alarms().size(), 2u);
    EXPECT_EQ(e.alarms()[0].activatedAt, 10);
    EXPECT_EQ(e.alarms()[0].value, 79.5);  // the reading that cleared it

    // Delay 0 activates on the first reading out; a cleared, unacknowledged alarm that comes
    // back is a new activation. Channels without settings and beyond the row are ignored.
    AlarmEvaluator now({{channel(1, 80.0, std::nullopt, 0, 0, 0), channel(5, 1.0, {}, 0, 0, 0)}},
                       2);
    EXPECT_EQ(run(now, {81, 79, 81}), (std::vector<Seen>{
                                          {0, 1, "high", "active", true, true},
                                          {1, 1, "high", "cleared", true, true},
                                          {2, 1, "high", "active", true, true},
                                      }));
    EXPECT_EQ(now.configured().size(), 1u);
}

TEST(AlarmEvaluator, CommLossAfterConsecutiveFailures) {
    AlarmEvaluator e({{channel(1, 80.0, std::nullopt, 0, 0, 3)}}, 2);
    EXPECT_EQ(run(e, {X, X, 70, X, X, X}).size(), 1u);
    EXPECT_TRUE(isNoValue(e.alarms()[0].value));
    EXPECT_EQ(run(e, {X, X, 90, 70}, 6),
              (std::vector<Seen>{
                  // active at the third failure in a row (t 5), not again after it
                  {8, 1, "high", "active", true, true},   // the next good reading is out
                  {8, 1, "comm", "cleared", true, true},  // and ends the comm loss
                  {9, 1, "high", "cleared", true, true},
              }));
}

TEST(AlarmEvaluator, AcknowledgeBeforeAndAfterClearing) {
    AlarmEvaluator e(
        {{channel(1, 80.0, std::nullopt, 0, 0, 0), channel(2, std::nullopt, 60.0, 0, 0, 0)}}, 2);
    auto feed = [&](int64_t t, double a, double b) { return seen(e.evaluate(t, {a, b})); };
    feed(0, 81, 50);  // both active
    EXPECT_EQ(e.alarms().size(), 2u);

    // Before clearing: acknowledged, still listed, published; a second time does nothing.
    EXPECT_EQ(seen(e.acknowledge(1, AlarmKind::High, 3)),
              (std::vector<Seen>{{3, 1, "high", "acknowledged", true, true}}));
    EXPECT_TRUE(e.acknowledge(1, AlarmKind::High, 4).empty());
    EXPECT_TRUE(e.isActive(1, AlarmKind::High));
    EXPECT_TRUE(e.anyUnacknowledged());  // channel 2 still is not

    // Clearing an acknowledged alarm makes it normal; an unacknowledged one stays, Cleared.
    EXPECT_EQ(feed(5, 70, 70), (std::vector<Seen>{{5, 1, "high", "cleared", false, true},
                                                  {5, 2, "low", "cleared", true, true}}));
    ASSERT_EQ(e.alarms().size(), 1u);
    EXPECT_EQ(e.alarms()[0].state, AlarmState::Cleared);
    EXPECT_FALSE(e.isActive(2, AlarmKind::Low));

    // After clearing: the acknowledgement is logged but its plant state stays "cleared".
    EXPECT_EQ(seen(e.acknowledgeAll(6)),
              (std::vector<Seen>{{6, 2, "low", "acknowledged", false, false}}));
    EXPECT_TRUE(e.alarms().empty());
    EXPECT_FALSE(e.anyUnacknowledged());

    // acknowledgeAll takes every unacknowledged alarm and leaves acknowledged ones be.
    feed(7, 81, 50);
    e.acknowledge(2, AlarmKind::Low, 8);
    EXPECT_EQ(seen(e.acknowledgeAll(9)),
              (std::vector<Seen>{{9, 1, "high", "acknowledged", true, true}}));
}

TEST(AlarmSettings, RoundTripThroughTheSidecar) {
    TempDir dir;
    const std::string path = (dir / "W.alarms.json").string();
    EXPECT_EQ(alarmSettingsPath("/etc/tervo/W.awt"), "/etc/tervo/W.alarms.json");
    EXPECT_EQ(alarmSettingsPath("/a.b/W"), "/a.b/W.alarms.json");

    const AlarmSettings settings{{channel(1, 80.0, std::nullopt, 0.5, 5, 3),
                                  channel(3, std::nullopt, -12.25, 0, 1.5, 0),
                                  channel(2, std::nullopt, std::nullopt, 1, 1, 0)}};  // none
    ASSERT_TRUE(saveAlarmSettings(path, settings));
    EXPECT_EQ(readFile(path),
              "{\n  \"version\": 1,\n  \"channels\": [\n"
              "    {\"channel\": 1, \"high\": 80.0, \"low\": null, \"deadband\": 0.5, "
              "\"delay_s\": 5, \"comm_loss\": 3},\n"
              "    {\"channel\": 3, \"high\": null, \"low\": -12.25, \"deadband\": 0.0, "
              "\"delay_s\": 1.5, \"comm_loss\": 0}\n  ]\n}\n");
    const AlarmSettingsLoad load = loadAlarmSettings(path, 3);
    ASSERT_EQ(load.status, AlarmSettingsLoad::Status::Ok) << load.message;
    EXPECT_EQ(load.settings, (AlarmSettings{{settings.channels[0], settings.channels[1]}}));

    // Missing members take their defaults; a missing file is no alarms and no message.
    writeFile(path, "{\"version\": 1, \"channels\": [{\"channel\": 2, \"low\": 5}]}");
    const AlarmSettingsLoad sparse = loadAlarmSettings(path, 3);
    ASSERT_EQ(sparse.status, AlarmSettingsLoad::Status::Ok) << sparse.message;
    EXPECT_EQ(sparse.settings.channels, (std::vector{channel(2, std::nullopt, 5.0, 0, 0, 0)}));

    ASSERT_TRUE(saveAlarmSettings(path, AlarmSettings{}));  // nothing left: the file goes
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(loadAlarmSettings(path, 3).status, AlarmSettingsLoad::Status::Missing);
}

TEST(AlarmSettings, RefusesBadSettingsNamingFieldAndLine) {
    TempDir dir;
    const std::string path = (dir / "W.alarms.json").string();
    auto entry = [](const std::string& members) {
        return "{\n  \"version\": 1,\n  \"channels\": [\n    {\"channel\": 1},\n    {" + members +
               "}\n  ]\n}\n";  // the entry is on line 5
    };
    struct Case {
        std::string text;
        int line;
        std::string field;
        std::string problem;
    };
    const Case cases[] = {
        {entry("\"channel\": 2, \"high\": 10, \"low\": 20"), 5, "low", "低限高于高限"},
        {entry("\"channel\": 2, \"deadband\": -0.1"), 5, "deadband", "死区不能为负数"},
        {entry("\"channel\": 2,\n \"delay_s\": -1"), 6, "delay_s", "延时不能为负数"},
        {entry("\"channel\": 2, \"comm_loss\": 2.5"), 5, "comm_loss", "须为整数"},
        {entry("\"channel\": 2, \"high\": \"80\""), 5, "high", "须为数值或 null"},
        {entry("\"channel\": 2, \"hihg\": 80"), 5, "hihg", "未知字段"},
        {entry("\"channel\": 4"), 5, "channel", "通道须在 1 到 3 之间"},
        {entry("\"channel\": 1"), 5, "channel", "通道 1 重复"},
        {entry("\"high\": 1"), 5, "channel", "缺少通道号"},
        {entry("\"channel\": 2, \"high\": 80,"), 5, "", "不是有效的 JSON"},
        {"{\"version\": 2}", 1, "version", "版本须为 1"},
        {"[]", 1, "", "须为一个对象"},
        // Nested deeper than any sidecar is: refused, never walked for ever.
        {"{\"version\": 1, \"channels\": [{\"channel\": 1, \"high\": " + std::string(100, '[') +
             std::string(100, ']') + "}]}",
         1, "high", "须为数值或 null"},
    };
    writeFile(path, "{\"version\": 2}");
    EXPECT_EQ(loadAlarmSettings(path, 3).message,
              "报警设置文件 " + path + " 第 1 行：字段 version：版本须为 1，本工作不报警");
    for (const Case& c : cases) {
        writeFile(path, c.text);
        const AlarmSettingsLoad load = loadAlarmSettings(path, 3);
        EXPECT_EQ(load.status, AlarmSettingsLoad::Status::Refused) << c.text;
        EXPECT_EQ(load.line, c.line) << c.text;
        EXPECT_EQ(load.field, c.field) << c.text;
        EXPECT_TRUE(load.settings.channels.empty()) << c.text;
        EXPECT_NE(load.message.find(c.problem), std::string::npos) << load.message;
        EXPECT_NE(load.message.find("第 " + std::to_string(c.line) + " 行"), std::string::npos)
            << load.message;
    }
    // A number beyond a double's range is refused too, not thrown at the caller.
    writeFile(path, entry("\"channel\": 2, \"high\": 1e400"));
    EXPECT_EQ(loadAlarmSettings(path, 3).message,
              "报警设置文件 " + path + "：不是有效的 JSON，本工作不报警");
    // A sidecar that cannot be read (here a folder) is refused too, without a line.
    std::filesystem::create_directory(path + ".d");
    const AlarmSettingsLoad unreadable = loadAlarmSettings(path + ".d", 3);
    EXPECT_EQ(unreadable.status, AlarmSettingsLoad::Status::Refused);
    EXPECT_EQ(unreadable.message, "报警设置文件 " + path + ".d 无法读取，本工作不报警");
    writeFile(path, std::string(2 << 20, ' ') + "{\"version\": 1}");
    EXPECT_EQ(loadAlarmSettings(path, 3).message, "报警设置文件 " + path + " 过大，本工作不报警");
}

TEST(AlarmLog, AppendsLinesThatSurviveAndEndsATornOne) {
    TempDir dir;
    const std::string record = (dir / "T261208070000.alt").string();
    const std::string path = alarmLogPath(record);
    EXPECT_EQ(path, record + "-alarms.csv");
    UtcClock clock;
    const int64_t t = 1796713200;  // 2026/12/08 07:00:00 UTC
    {
        AlarmLog log(path, {"炉温", "", "a,\"b\""});
        ASSERT_TRUE(log.ok());
        EXPECT_TRUE(log.append({{1, AlarmKind::High, AlarmState::Active, 81.2, t},
                                {2, AlarmKind::Comm, AlarmState::Active, kNoValue, t + 1},
                                {3, AlarmKind::Low, AlarmState::Acknowledged, -0.5, t + 2}},
                               clock));
        // Written at once, before the log goes away (what a killed process leaves).
        EXPECT_EQ(readFile(path),
                  "\xEF\xBB\xBF时间,通道,类型,状态,值\n"
                  "2026/12/08 07:00:00,炉温,high,active,81.2\n"
                  "2026/12/08 07:00:01,2,comm,active,\n"
                  "2026/12/08 07:00:02,\"a,\"\"b\"\"\",low,acknowledged,-0.5\n");
    }
    std::ofstream(path, std::ios::app) << "2026/12/08 07:00";  // torn by a crash
    AlarmLog again(path, {"炉温"});
    again.append({1, AlarmKind::High, AlarmState::Cleared, 79.5, t + 3}, clock);
    const std::string text = readFile(path);
    const std::string tail = "2026/12/08 07:00\n2026/12/08 07:00:03,炉温,high,cleared,79.5\n";
    EXPECT_TRUE(text.ends_with(tail)) << text;
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF"), 0u);  // one header only

    // A link planted in the log's place is never followed into the file it names.
    const std::string planted = (dir / "planted.alt-alarms.csv").string();
    writeFile((dir / "victim").string(), "kept");
    std::filesystem::create_symlink(dir / "victim", planted);
    EXPECT_FALSE(AlarmLog(planted, {}).ok());
    EXPECT_EQ(readFile((dir / "victim").string()), "kept");

    AlarmLog nowhere((dir / "missing" / "x.csv").string(), {});
    EXPECT_FALSE(nowhere.ok());
    EXPECT_FALSE(nowhere.append({1, AlarmKind::High, AlarmState::Active, 1, t}, clock));
}
