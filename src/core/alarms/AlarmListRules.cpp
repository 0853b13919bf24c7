#include "core/alarms/AlarmListRules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/NoValue.h"
#include "core/alarms/AlarmEvaluator.h"
#include "core/text/TimeText.h"
#include "core/text/Translation.h"
#include "core/text/ValueText.h"

namespace tervo {

namespace {

bool sameAlarm(const AlarmListRow& row, int source, int channel, AlarmKind kind) {
    return row.source == source && row.channel == channel && row.kind == kind;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A whole number of the text, nothing before or after it; nullopt otherwise.
std::optional<double> number(const std::string& text) {
    const std::string t = trimmed(text);
    if (t.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = parseDouble(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* const kAlarmSettingColumns[5] = {
    TERVO_TR_NOOP("core", "高限"), TERVO_TR_NOOP("core", "低限"), TERVO_TR_NOOP("core", "死区"),
    TERVO_TR_NOOP("core", "延时(s)"), TERVO_TR_NOOP("core", "通信中断(次)")};

bool AlarmListRules::apply(const AlarmListUpdate& update) {
    auto found = std::find_if(m_rows.begin(), m_rows.end(), [&](const AlarmListRow& row) {
        return sameAlarm(row, update.source, update.channel, update.kind) && !row.finished();
    });
    bool raised = false;
    if (found != m_rows.end()) {
        raised = update.active && !found->active;
        if (raised) {
            found->raisedAt = update.time;
        }
        found->active = update.active;
        found->acknowledged = update.acknowledged;
        found->value = update.value;
        found->changedAt = update.time;
    } else {
        if (!update.active && update.acknowledged) {
            return false;  // over before it was ever shown
        }
        AlarmListRow row;
        row.source = update.source;
        row.work = update.work;
        row.channel = update.channel;
        row.channelName = update.channelName;
        row.kind = update.kind;
        row.value = update.value;
        row.active = update.active;
        row.acknowledged = update.acknowledged;
        row.raisedAt = update.time;
        row.changedAt = update.time;
        m_rows.push_back(row);
        raised = update.active;
    }
    order();
    return raised;
}

void AlarmListRules::unwatch(int source) {
    for (AlarmListRow& row : m_rows) {
        if (row.source == source && !row.finished()) {
            row.unwatched = true;
        }
    }
    order();
}

void AlarmListRules::order() {
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const AlarmListRow& a, const AlarmListRow& b) {
                         if (a.finished() != b.finished()) {
                             return !a.finished();
                         }
                         return a.raisedAt > b.raisedAt;
                     });
    size_t finished = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].finished() && ++finished > kRecentKept) {
            m_rows.resize(i);
            break;
        }
    }
}

size_t AlarmListRules::openCount() const {
    return static_cast<size_t>(std::count_if(m_rows.begin(), m_rows.end(),
                                             [](const AlarmListRow& row) { return row.open(); }));
}

std::string AlarmListRules::statusLine() const {
    const size_t count = openCount();
    if (count == 0) {
        return std::string();
    }
    // Rows are newest first, so the first open one is the newest.
    const auto newest = std::find_if(m_rows.begin(), m_rows.end(),
                                     [](const AlarmListRow& row) { return row.open(); });
    const std::string what =
        channelText(*newest) + " " + kindText(newest->kind) + " " + valueText(*newest);
    if (count == 1) {
        return TERVO_TR("core", "报警未确认：") + what;
    }
    return TERVO_TR("core", "报警未确认 ") + std::to_string(count) +
           TERVO_TR("core", " 条，最新：") + what;
}

std::vector<AlarmListKey> AlarmListRules::toAcknowledge(
    const std::vector<size_t>& selectedRows) const {
    std::vector<AlarmListKey> keys;
    auto take = [&keys](const AlarmListRow& row) {
        if (row.open()) {
            keys.push_back({row.source, row.channel, row.kind});
        }
    };
    if (selectedRows.empty()) {
        for (const AlarmListRow& row : m_rows) {
            take(row);
        }
    } else {
        for (size_t index : selectedRows) {
            if (index < m_rows.size()) {
                take(m_rows[index]);
            }
        }
    }
    return keys;
}

std::string AlarmListRules::timeText(const AlarmListRow& row) {
    return timeStampText(row.raisedAt);
}

std::string AlarmListRules::channelText(const AlarmListRow& row) {
    const std::string name = trimmed(row.channelName);
    return name.empty() ? TERVO_TR("core", "通道") + std::to_string(row.channel) : name;
}

std::string AlarmListRules::kindText(AlarmKind kind) {
    return translated("core", alarmKindText(kind));
}

std::string AlarmListRules::valueText(const AlarmListRow& row) {
    return isNoValue(row.value) ? "ERR_VAL" : formatDouble("%0.2f", row.value);
}

std::string AlarmListRules::stateText(const AlarmListRow& row) {
    if (row.unwatched) {
        return TERVO_TR("core", "停止监视");
    }
    if (row.active) {
        return translated("core", alarmStateText(row.acknowledged ? AlarmState::Acknowledged
                                                                  : AlarmState::Active));
    }
    return row.acknowledged ? TERVO_TR("core", "已结束")
                            : translated("core", alarmStateText(AlarmState::Cleared));
}

AlarmListUpdate alarmListUpdate(const AlarmChange& change) {
    AlarmListUpdate update;
    update.channel = change.channel;
    update.kind = change.kind;
    update.value = change.value;
    update.time = change.time;
    // An alarm no longer listed is normal again: over, nothing left to acknowledge.
    update.active = change.listed && change.state != AlarmState::Cleared;
    update.acknowledged = !change.listed || change.state == AlarmState::Acknowledged;
    return update;
}

AlarmSettings alarmSettingsFollowingChannels(const AlarmSettings& settings,
                                             const std::vector<std::string>& before,
                                             const std::vector<std::string>& after) {
    AlarmSettings moved;
    size_t old = 0;
    for (size_t now = 0; now < after.size(); ++now) {
        while (old < before.size() && before[old] != after[now]) {
            ++old;  // deleted
        }
        if (old == before.size()) {
            break;  // added: no settings
        }
        if (const ChannelAlarmSettings* found = settings.find(static_cast<int>(old + 1))) {
            ChannelAlarmSettings channel = *found;
            channel.channel = static_cast<int>(now + 1);
            moved.channels.push_back(channel);
        }
        ++old;
    }
    return moved;
}

AlarmSettingsReading readAlarmSettings(const std::vector<AlarmSettingTexts>& rows) {
    AlarmSettingsReading reading;
    auto refuse = [&reading](size_t row, int column, const std::string& what) {
        reading.settings.channels.clear();
        reading.errorRow = static_cast<int>(row);
        reading.errorColumn = column;
        reading.error =
            TERVO_TR("core", "通道") + std::to_string(row + 1) + what + TERVO_TR("core", "！！！");
        return reading;
    };
    auto cell = [](int column) {
        return TERVO_TR("core", "的“") + translated("core", kAlarmSettingColumns[column]) +
               TERVO_TR("core", "”");
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const AlarmSettingTexts& texts = rows[i];
        const std::string* cells[5] = {&texts.high, &texts.low, &texts.deadband, &texts.delay,
                                       &texts.commLoss};
        std::optional<double> numbers[5];
        for (int column = 0; column < 5; ++column) {
            if (trimmed(*cells[column]).empty()) {
                continue;
            }
            numbers[column] = number(*cells[column]);
            if (!numbers[column]) {
                return refuse(i, column, cell(column) + TERVO_TR("core", "不是数值"));
            }
        }
        ChannelAlarmSettings channel;
        channel.channel = static_cast<int>(i + 1);
        channel.high = numbers[0];
        channel.low = numbers[1];
        channel.deadband = numbers[2].value_or(0.0);
        channel.delaySeconds = numbers[3].value_or(0.0);
        if (numbers[4]) {
            if (std::floor(*numbers[4]) != *numbers[4]) {
                return refuse(i, 4, cell(4) + TERVO_TR("core", "应为整数"));
            }
            // Far out of range stays out of range as an int.
            channel.commLoss = static_cast<int>(std::clamp(*numbers[4], -1.0, 1e6));
        }
        if (const auto problem = checkChannelAlarms(channel)) {
            static const char* const fields[5] = {"high", "low", "deadband", "delay_s",
                                                  "comm_loss"};
            int column = 0;
            for (int c = 0; c < 5; ++c) {
                column = problem->field == fields[c] ? c : column;
            }
            return refuse(i, column, TERVO_TR("core", "：") + problem->message);
        }
        if (channel.hasAlarm()) {
            reading.settings.channels.push_back(channel);
        }
    }
    return reading;
}

AlarmSettingTexts alarmSettingTexts(const AlarmSettings& settings, int channel) {
    AlarmSettingTexts texts;
    const ChannelAlarmSettings* found = settings.find(channel);
    const ChannelAlarmSettings values = found != nullptr ? *found : ChannelAlarmSettings{};
    if (values.high) {
        texts.high = formatDouble("%.10g", *values.high);
    }
    if (values.low) {
        texts.low = formatDouble("%.10g", *values.low);
    }
    texts.deadband = formatDouble("%.10g", values.deadband);
    texts.delay = formatDouble("%.10g", values.delaySeconds);
    texts.commLoss = std::to_string(values.commLoss);
    return texts;
}

}  // namespace tervo
