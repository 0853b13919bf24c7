#include "core/alarms/AlarmListRules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/NoValue.h"
#include "core/text/TimeText.h"
#include "core/text/ValueText.h"

namespace tervo {

namespace {

bool sameAlarm(const AlarmListRow& row, int source, int channel, AlarmListKind kind) {
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

const char* const kAlarmSettingColumns[5] = {"高限", "低限", "回差", "延时(s)", "通信中断(次)"};

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
        return "报警未确认：" + what;
    }
    return "报警未确认 " + std::to_string(count) + " 条，最新：" + what;
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
    return name.empty() ? "通道" + std::to_string(row.channel) : name;
}

std::string AlarmListRules::kindText(AlarmListKind kind) {
    switch (kind) {
        case AlarmListKind::High:
            return "高限";
        case AlarmListKind::Low:
            return "低限";
        case AlarmListKind::Comm:
            return "通信中断";
    }
    return std::string();
}

std::string AlarmListRules::valueText(const AlarmListRow& row) {
    return isNoValue(row.value) ? "ERR_VAL" : formatDouble("%0.2f", row.value);
}

std::string AlarmListRules::stateText(const AlarmListRow& row) {
    if (row.unwatched) {
        return "停止监视";
    }
    if (row.active) {
        return row.acknowledged ? "已确认" : "报警";
    }
    return row.acknowledged ? "已恢复" : "已恢复，未确认";
}

AlarmSettingsReading readAlarmSettings(const std::vector<AlarmSettingTexts>& rows) {
    AlarmSettingsReading reading;
    auto refuse = [&reading](size_t row, int column, const std::string& what) {
        reading.channels.clear();
        reading.errorRow = static_cast<int>(row);
        reading.errorColumn = column;
        reading.error = "通道" + std::to_string(row + 1) + "的“" + kAlarmSettingColumns[column] +
                        "”" + what + "！！！";
        return reading;
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const AlarmSettingTexts& texts = rows[i];
        AlarmSettingValues values;
        const std::string* limits[2] = {&texts.high, &texts.low};
        for (int column = 0; column < 2; ++column) {
            if (trimmed(*limits[column]).empty()) {
                continue;
            }
            const std::optional<double> limit = number(*limits[column]);
            if (!limit) {
                return refuse(i, column, "不是数值");
            }
            (column == 0 ? values.high : values.low) = *limit;
        }
        if (values.high && values.low && *values.low > *values.high) {
            return refuse(i, 1, "高于“高限”");
        }
        if (!trimmed(texts.deadband).empty()) {
            const std::optional<double> deadband = number(texts.deadband);
            if (!deadband) {
                return refuse(i, 2, "不是数值");
            }
            if (*deadband < 0) {
                return refuse(i, 2, "不能为负数");
            }
            values.deadband = *deadband;
        }
        struct Whole {
            const std::string* text;
            int column;
            int limit;
            int* into;
        };
        const Whole wholes[2] = {{&texts.delay, 3, 86400, &values.delaySeconds},
                                 {&texts.commLoss, 4, 10000, &values.commLoss}};
        for (const Whole& whole : wholes) {
            if (trimmed(*whole.text).empty()) {
                continue;
            }
            const std::optional<double> n = number(*whole.text);
            if (!n || *n < 0 || *n > whole.limit || std::floor(*n) != *n) {
                return refuse(i, whole.column, "应为0～" + std::to_string(whole.limit) + "的整数");
            }
            *whole.into = static_cast<int>(*n);
        }
        reading.channels.push_back(values);
    }
    return reading;
}

AlarmSettingTexts alarmSettingTexts(const AlarmSettingValues& values) {
    AlarmSettingTexts texts;
    if (values.high) {
        texts.high = formatDouble("%.10g", *values.high);
    }
    if (values.low) {
        texts.low = formatDouble("%.10g", *values.low);
    }
    texts.deadband = formatDouble("%.10g", values.deadband);
    texts.delay = std::to_string(values.delaySeconds);
    texts.commLoss = std::to_string(values.commLoss);
    return texts;
}

}  // namespace tervo
