#include <gtest/gtest.h>

#include "core/NoValue.h"
#include "core/alarms/AlarmEvaluator.h"
#include "core/alarms/AlarmListRules.h"
#include "core/text/TimeText.h"

namespace tervo {
namespace {

AlarmListUpdate update(int source, int channel, AlarmKind kind, double value, bool active,
                       bool acknowledged, int64_t time) {
    AlarmListUpdate u;
    u.source = source;
    u.work = "oven";
    u.channel = channel;
    u.channelName = channel == 1 ? "炉温" : "";
    u.kind = kind;
    u.value = value;
    u.active = active;
    u.acknowledged = acknowledged;
    u.time = time;
    return u;
}

std::vector<std::string> states(const AlarmListRules& rules) {
    std::vector<std::string> out;
    for (const AlarmListRow& row : rules.rows()) {
        out.push_back(AlarmListRules::channelText(row) + " " + AlarmListRules::kindText(row.kind) +
                      " " + AlarmListRules::valueText(row) + " " + AlarmListRules::stateText(row));
    }
    return out;
}

// Reports of one work's evaluator as the list takes them.
struct Work {
    AlarmEvaluator evaluator;
    AlarmListRules& rules;
    bool raised = false;
    void take(const std::vector<AlarmChange>& changes) {
        raised = false;
        for (const AlarmChange& change : changes) {
            AlarmListUpdate u = alarmListUpdate(change);
            u.source = 1;
            u.channelName = change.channel == 1 ? "炉温" : "";
            raised = rules.apply(u) || raised;
        }
    }
    void cycle(int64_t time, double a, double b) { take(evaluator.evaluate(time, {a, b})); }
};

// An alarm's life in the list: raised (announced once), acknowledged, cleared; the status line
// counts what waits for "确认", and "确认" takes the selected rows' open alarms or all of them.
TEST(AlarmListRules, RowsStatesStatusLineAndAcknowledgement) {
    AlarmListRules rules;
    AlarmSettings settings;
    ChannelAlarmSettings oven;
    oven.channel = 1;
    oven.high = 80.0;
    oven.deadband = 1.0;
    ChannelAlarmSettings comm;
    comm.channel = 2;
    comm.commLoss = 2;
    settings.channels = {oven, comm};
    Work work{AlarmEvaluator(settings, 2), rules};
    EXPECT_EQ(rules.statusLine(), "");
    work.cycle(100, 81.2, 20);
    EXPECT_TRUE(work.raised);
    EXPECT_EQ(rules.statusLine(), "报警未确认：炉温 高限 81.20");
    EXPECT_EQ(AlarmListRules::timeText(rules.rows()[0]), timeStampText(int64_t{100}));
    work.cycle(101, 82, kNoValue);
    EXPECT_FALSE(work.raised);
    work.cycle(110, 82, kNoValue);
    EXPECT_TRUE(work.raised);
    EXPECT_EQ(states(rules),
              (std::vector<std::string>{"通道2 通信中断 ERR_VAL 报警", "炉温 高限 81.20 报警"}));
    EXPECT_EQ(rules.statusLine(), "报警未确认 2 条，最新：通道2 通信中断 ERR_VAL");

    EXPECT_EQ(rules.toAcknowledge({1}), (std::vector<AlarmListKey>{{1, 1, AlarmKind::High}}));
    EXPECT_EQ(rules.toAcknowledge({}).size(), 2u);
    work.take(work.evaluator.acknowledge(1, AlarmKind::High, 120));
    EXPECT_TRUE(rules.toAcknowledge({1}).empty());  // already acknowledged
    work.cycle(130, 82, 20);
    EXPECT_EQ(states(rules),
              (std::vector<std::string>{"通道2 通信中断 20.00 已恢复", "炉温 高限 81.20 已确认"}));
    EXPECT_EQ(rules.openCount(), 1u);
    // Acknowledged after clearing: over, below the alarms that are not; likewise cleared after
    // acknowledging (79 is still within the deadband, 78.5 is not).
    work.take(work.evaluator.acknowledge(2, AlarmKind::Comm, 140));
    EXPECT_EQ(states(rules),
              (std::vector<std::string>{"炉温 高限 81.20 已确认", "通道2 通信中断 20.00 已结束"}));
    EXPECT_EQ(rules.statusLine(), "");
    work.cycle(150, 79.5, 20);
    EXPECT_EQ(AlarmListRules::stateText(rules.rows()[0]), "已确认");
    work.cycle(151, 78.5, 20);
    EXPECT_EQ(states(rules),
              (std::vector<std::string>{"通道2 通信中断 20.00 已结束", "炉温 高限 78.50 已结束"}));
    // The same alarm again is a new row; the work stopping leaves it unwatched.
    work.cycle(160, kNoValue, kNoValue);
    work.cycle(161, kNoValue, kNoValue);
    EXPECT_TRUE(work.raised);
    EXPECT_EQ(rules.rows().size(), 3u);
    EXPECT_TRUE(rules.apply(update(2, 1, AlarmKind::Low, 3.0, true, false, 170)));
    rules.unwatch(1);
    EXPECT_EQ(rules.openCount(), 1u);
    EXPECT_EQ(rules.statusLine(), "报警未确认：炉温 低限 3.00");
    EXPECT_EQ(AlarmListRules::stateText(rules.rows()[1]), "停止监视");
    EXPECT_EQ(rules.toAcknowledge({}), (std::vector<AlarmListKey>{{2, 1, AlarmKind::Low}}));
    rules.unwatch(2);

    // Finished alarms are kept up to a limit, newest first.
    for (int i = 0; i < int(AlarmListRules::kRecentKept) + 10; ++i) {
        rules.apply(update(3, 1, AlarmKind::High, 90, true, false, 1000 + i));
        rules.apply(update(3, 1, AlarmKind::High, 70, false, true, 1000 + i));
    }
    ASSERT_EQ(rules.rows().size(), AlarmListRules::kRecentKept);
    EXPECT_EQ(rules.rows().front().raisedAt, 1000 + int(AlarmListRules::kRecentKept) + 9);
}

// The settings dialog's texts: empty limits are off; each refusal names the channel and the
// column; values written back read the same.
TEST(AlarmListRules, SettingsTextsReadAndRefused) {
    const AlarmSettingsReading good = readAlarmSettings(
        {{"80", "", "0.5", "5", "3"}, {" ", "-10.25", "", "", ""}, {"", "", "1", "2", "0"}});
    ASSERT_EQ(good.error, "");
    ASSERT_EQ(good.settings.channels.size(), 2u);  // the third has no alarm
    const ChannelAlarmSettings& first = good.settings.channels[0];
    EXPECT_EQ(first.channel, 1);
    EXPECT_EQ(first.high, 80.0);
    EXPECT_FALSE(first.low);
    EXPECT_EQ(first.deadband, 0.5);
    EXPECT_EQ(first.delaySeconds, 5.0);
    EXPECT_EQ(first.commLoss, 3);
    EXPECT_EQ(good.settings.channels[1].channel, 2);
    EXPECT_FALSE(good.settings.channels[1].high);
    EXPECT_EQ(good.settings.channels[1].low, -10.25);
    std::vector<AlarmSettingTexts> shown;
    for (int channel = 1; channel <= 3; ++channel) {
        shown.push_back(alarmSettingTexts(good.settings, channel));
    }
    EXPECT_EQ(shown[2].high, "");
    EXPECT_EQ(shown[2].commLoss, "0");
    EXPECT_EQ(readAlarmSettings(shown).settings, good.settings);

    struct Refused {
        AlarmSettingTexts texts;
        int column;
        std::string message;
    };
    const Refused refused[] = {
        {{"8O", "", "", "", ""}, 0, "通道2的“高限”不是数值！！！"},
        {{"", "nan", "", "", ""}, 1, "通道2的“低限”不是数值！！！"},
        {{"50", "60", "", "", ""}, 1, "通道2：低限高于高限！！！"},
        {{"50", "", "-0.1", "", ""}, 2, "通道2：死区不能为负数！！！"},
        {{"", "", "", "-1", ""}, 3, "通道2：延时不能为负数！！！"},
        {{"", "", "", "", "2.5"}, 4, "通道2的“通信中断(次)”应为整数！！！"},
        {{"", "", "", "", "1e12"}, 4, "通道2：通信中断次数须在 0 到 1000 之间！！！"},
    };
    for (const Refused& r : refused) {
        const AlarmSettingsReading reading = readAlarmSettings({{"1", "", "", "", ""}, r.texts});
        EXPECT_EQ(reading.error, r.message);
        EXPECT_EQ(reading.errorRow, 1);
        EXPECT_EQ(reading.errorColumn, r.column);
        EXPECT_TRUE(reading.settings.channels.empty());
    }
}

// A channel deleted in "通道设置" takes its alarms along; the later channels keep theirs.
TEST(AlarmListRules, SettingsFollowTheirChannels) {
    AlarmSettings settings;
    for (int channel = 1; channel <= 3; ++channel) {
        ChannelAlarmSettings s;
        s.channel = channel;
        s.high = 10.0 * channel;
        settings.channels.push_back(s);
    }
    const AlarmSettings afterDelete =
        alarmSettingsFollowingChannels(settings, {"a", "b", "c"}, {"a", "c"});
    ASSERT_EQ(afterDelete.channels.size(), 2u);
    EXPECT_EQ(afterDelete.channels[1].channel, 2);
    EXPECT_EQ(afterDelete.channels[1].high, 30.0);
    EXPECT_EQ(alarmSettingsFollowingChannels(settings, {"a", "b", "c"}, {"a", "b", "c", "d"}),
              settings);
}

}  // namespace
}  // namespace tervo
