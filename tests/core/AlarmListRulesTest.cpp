#include <gtest/gtest.h>

#include "core/NoValue.h"
#include "core/alarms/AlarmListRules.h"
#include "core/text/TimeText.h"

namespace tervo {
namespace {

AlarmListUpdate update(int source, int channel, AlarmListKind kind, double value, bool active,
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

// An alarm's life in the list: raised (announced once), acknowledged, cleared; the status line
// counts what waits for "确认", and "确认" takes the selected rows' open alarms or all of them.
TEST(AlarmListRules, RowsStatesStatusLineAndAcknowledgement) {
    AlarmListRules rules;
    EXPECT_EQ(rules.statusLine(), "");
    EXPECT_TRUE(rules.apply(update(1, 1, AlarmListKind::High, 81.2, true, false, 100)));
    EXPECT_EQ(rules.statusLine(), "报警未确认：炉温 高限 81.20");
    EXPECT_EQ(AlarmListRules::timeText(rules.rows()[0]), timeStampText(int64_t{100}));
    // A later report of the same active alarm is no new alarm.
    EXPECT_FALSE(rules.apply(update(1, 1, AlarmListKind::High, 82.0, true, false, 101)));
    EXPECT_TRUE(rules.apply(update(1, 2, AlarmListKind::Comm, kNoValue, true, false, 110)));
    EXPECT_EQ(states(rules),
              (std::vector<std::string>{"通道2 通信中断 ERR_VAL 报警", "炉温 高限 82.00 报警"}));
    EXPECT_EQ(rules.statusLine(), "报警未确认 2 条，最新：通道2 通信中断 ERR_VAL");

    EXPECT_EQ(rules.toAcknowledge({1}), (std::vector<AlarmListKey>{{1, 1, AlarmListKind::High}}));
    EXPECT_EQ(rules.toAcknowledge({}).size(), 2u);
    rules.apply(update(1, 1, AlarmListKind::High, 82.0, true, true, 120));
    EXPECT_TRUE(rules.toAcknowledge({1}).empty());  // already acknowledged
    rules.apply(update(1, 2, AlarmListKind::Comm, 20.0, false, false, 130));
    EXPECT_EQ(states(rules), (std::vector<std::string>{"通道2 通信中断 20.00 已恢复，未确认",
                                                       "炉温 高限 82.00 已确认"}));
    EXPECT_EQ(rules.openCount(), 1u);
    // Cleared and acknowledged: over, below the alarms that are not.
    rules.apply(update(1, 2, AlarmListKind::Comm, 20.0, false, true, 140));
    EXPECT_EQ(states(rules),
              (std::vector<std::string>{"炉温 高限 82.00 已确认", "通道2 通信中断 20.00 已恢复"}));
    EXPECT_EQ(rules.statusLine(), "");
    // The same alarm again is a new row; the work stopping leaves it unwatched.
    EXPECT_TRUE(rules.apply(update(1, 2, AlarmListKind::Comm, kNoValue, true, false, 150)));
    EXPECT_EQ(rules.rows().size(), 3u);
    EXPECT_TRUE(rules.apply(update(2, 1, AlarmListKind::Low, 3.0, true, false, 160)));
    rules.unwatch(1);
    EXPECT_EQ(rules.openCount(), 1u);
    EXPECT_EQ(rules.statusLine(), "报警未确认：炉温 低限 3.00");
    EXPECT_EQ(AlarmListRules::stateText(rules.rows().back()), "停止监视");
    EXPECT_EQ(rules.toAcknowledge({}), (std::vector<AlarmListKey>{{2, 1, AlarmListKind::Low}}));
    rules.unwatch(2);

    // Finished alarms are kept up to a limit, newest first.
    for (int i = 0; i < int(AlarmListRules::kRecentKept) + 10; ++i) {
        rules.apply(update(3, 1, AlarmListKind::High, 90, true, false, 1000 + i));
        rules.apply(update(3, 1, AlarmListKind::High, 70, false, true, 1000 + i));
    }
    ASSERT_EQ(rules.rows().size(), AlarmListRules::kRecentKept);
    EXPECT_EQ(rules.rows().front().raisedAt, 1000 + int(AlarmListRules::kRecentKept) + 9);
}

// The settings dialog's texts: empty limits are off; each refusal names the channel and the
// column; values written back read the same.
TEST(AlarmListRules, SettingsTextsReadAndRefused) {
    const AlarmSettingsReading good = readAlarmSettings(
        {{"80", "", "0.5", "5", "3"}, {" ", "-10.25", "", "", ""}, {"", "", "", "", ""}});
    ASSERT_EQ(good.error, "");
    ASSERT_EQ(good.channels.size(), 3u);
    EXPECT_EQ(good.channels[0].high, 80.0);
    EXPECT_FALSE(good.channels[0].low);
    EXPECT_EQ(good.channels[0].deadband, 0.5);
    EXPECT_EQ(good.channels[0].delaySeconds, 5);
    EXPECT_EQ(good.channels[0].commLoss, 3);
    EXPECT_FALSE(good.channels[1].high);
    EXPECT_EQ(good.channels[1].low, -10.25);
    for (const AlarmSettingValues& values : good.channels) {
        const AlarmSettingsReading again = readAlarmSettings({alarmSettingTexts(values)});
        ASSERT_EQ(again.channels.size(), 1u);
        EXPECT_EQ(again.channels[0].high, values.high);
        EXPECT_EQ(again.channels[0].low, values.low);
        EXPECT_EQ(again.channels[0].deadband, values.deadband);
        EXPECT_EQ(again.channels[0].delaySeconds, values.delaySeconds);
        EXPECT_EQ(again.channels[0].commLoss, values.commLoss);
    }

    struct Refused {
        AlarmSettingTexts texts;
        int column;
        std::string message;
    };
    const Refused refused[] = {
        {{"8O", "", "", "", ""}, 0, "通道2的“高限”不是数值！！！"},
        {{"", "nan", "", "", ""}, 1, "通道2的“低限”不是数值！！！"},
        {{"50", "60", "", "", ""}, 1, "通道2的“低限”高于“高限”！！！"},
        {{"", "", "-0.1", "", ""}, 2, "通道2的“回差”不能为负数！！！"},
        {{"", "", "", "1.5", ""}, 3, "通道2的“延时(s)”应为0～86400的整数！！！"},
        {{"", "", "", "-1", ""}, 3, "通道2的“延时(s)”应为0～86400的整数！！！"},
        {{"", "", "", "", "99999"}, 4, "通道2的“通信中断(次)”应为0～10000的整数！！！"},
    };
    for (const Refused& r : refused) {
        const AlarmSettingsReading reading = readAlarmSettings({{"", "", "", "", ""}, r.texts});
        EXPECT_EQ(reading.error, r.message);
        EXPECT_EQ(reading.errorRow, 1);
        EXPECT_EQ(reading.errorColumn, r.column);
        EXPECT_TRUE(reading.channels.empty());
    }
}

}  // namespace
}  // namespace tervo
