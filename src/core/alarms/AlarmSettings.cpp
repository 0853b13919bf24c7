#include "core/alarms/AlarmSettings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include <sys/stat.h>

#include "core/io/FileIo.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

using nlohmann::json;

constexpr int kMaxCommLoss = 1000;
constexpr size_t kMaxSidecarBytes = 1 << 20;

// The line each member and element of a JSON text begins on, by path ("channels[1].high"),
// for messages about a document nlohmann has already taken as valid (it keeps no positions).
class LineMap {
public:
    static constexpr int kMaxDepth = 16;

    explicit LineMap(const std::string& text) : m_text(text) {
        if (m_text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            m_pos = 3;
        }
        value("", 0);
    }

    int line(const std::string& path) const {
        const auto it = m_lines.find(path);
        return it == m_lines.end() ? 0 : it->second;
    }

private:
    void space() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\r' || m_text[m_pos] == '\n')) {
            if (m_text[m_pos] == '\n') {
                ++m_line;
            }
            ++m_pos;
        }
    }

    std::string string() {
        std::string out;
        ++m_pos;  // the opening quote
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            if (m_text[m_pos] == '\\') {
                ++m_pos;
            }
            if (m_pos < m_text.size()) {
                out += m_text[m_pos++];
            }
        }
        ++m_pos;
        return out;
    }

    void value(const std::string& path, int depth) {
        space();
        if (depth > kMaxDepth) {
            m_pos = m_text.size();  // what lies deeper has no line to give: the walk ends
        }
        if (m_pos >= m_text.size()) {
            return;
        }
        m_lines.emplace(path, m_line);
        const char c = m_text[m_pos];
        if (c == '{') {
            ++m_pos;
            for (;;) {
                space();
                if (m_pos >= m_text.size() || m_text[m_pos] == '}') {
                    ++m_pos;
                    return;
                }
                if (m_text[m_pos] == ',') {
                    ++m_pos;
                    continue;
                }
                const int keyLine = m_line;
                const std::string key = string();
                const std::string member = path.empty() ? key : path + "." + key;
                space();
                ++m_pos;  // ':'
                value(member, depth + 1);
                m_lines[member] = keyLine;
            }
        } else if (c == '[') {
            ++m_pos;
            for (size_t i = 0;; ++i) {
                space();
                if (m_pos >= m_text.size() || m_text[m_pos] == ']') {
                    ++m_pos;
                    return;
                }
                if (m_text[m_pos] == ',') {
                    ++m_pos;
                    space();
                }
                value(path + "[" + std::to_string(i) + "]", depth + 1);
            }
        } else if (c == '"') {
            string();
        } else {
            while (m_pos < m_text.size() &&
                   std::string_view(",]} \t\r\n").find(m_text[m_pos]) == std::string_view::npos) {
                ++m_pos;
            }
        }
    }

    const std::string& m_text;
    size_t m_pos = 0;
    int m_line = 1;
    std::map<std::string, int> m_lines;
};

std::string refusedText(const std::string& path, int line, const std::string& field,
                        const std::string& problem) {
    std::string text = TERVO_TR("core", "报警设置文件 ") + path;
    if (line > 0) {
        text += TERVO_TR("core", " 第 ") + std::to_string(line) + TERVO_TR("core", " 行");
    }
    text += TERVO_TR("core", "：");
    if (!field.empty()) {
        text += TERVO_TR("core", "字段 ") + field + TERVO_TR("core", "：");
    }
    return text + problem + TERVO_TR("core", "，本工作不报警");
}

// A refusal found while taking the parsed document apart.
struct Refusal {
    std::string path;   // where in the document, for the line
    std::string field;  // as the sidecar spells it
    std::string message;
};

std::optional<Refusal> takeNumber(const json& object, const std::string& key,
                                  const std::string& path, bool nullable, bool integral,
                                  std::optional<double>& out) {
    const auto it = object.find(key);
    if (it == object.end() || (nullable && it->is_null())) {
        return std::nullopt;
    }
    if (!it->is_number()) {
        return Refusal{path + "." + key, key,
                       integral ? TERVO_TR("core", "须为整数")
                                : (nullable ? TERVO_TR("core", "须为数值或 null")
                                            : TERVO_TR("core", "须为数值"))};
    }
    const double v = it->get<double>();
    if (integral && (!std::isfinite(v) || v != std::floor(v))) {
        return Refusal{path + "." + key, key, TERVO_TR("core", "须为整数")};
    }
    out = v;
    return std::nullopt;
}

std::optional<Refusal> takeChannel(const json& entry, const std::string& path, size_t channelCount,
                                   ChannelAlarmSettings& out) {
    static const std::set<std::string> known = {"channel",  "high",    "low",
                                                "deadband", "delay_s", "comm_loss"};
    if (!entry.is_object()) {
        return Refusal{path, "channels", TERVO_TR("core", "每一项须为对象")};
    }
    for (const auto& [key, value] : entry.items()) {
        if (!known.contains(key)) {
            return Refusal{path + "." + key, key, TERVO_TR("core", "未知字段")};
        }
    }
    std::optional<double> channel;
    std::optional<double> deadband;
    std::optional<double> delay;
    std::optional<double> commLoss;
    if (auto r = takeNumber(entry, "channel", path, false, true, channel)) {
        return r;
    }
    if (!channel) {
        return Refusal{path, "channel", TERVO_TR("core", "缺少通道号")};
    }
    for (auto r : {takeNumber(entry, "high", path, true, false, out.high),
                   takeNumber(entry, "low", path, true, false, out.low),
                   takeNumber(entry, "deadband", path, false, false, deadband),
                   takeNumber(entry, "delay_s", path, false, false, delay),
                   takeNumber(entry, "comm_loss", path, false, true, commLoss)}) {
        if (r) {
            return r;
        }
    }
    // Out of int's range the checks below refuse them all the same.
    out.channel = static_cast<int>(std::clamp(*channel, -1.0, 1e6));
    out.deadband = deadband.value_or(0.0);
    out.delaySeconds = delay.value_or(0.0);
    out.commLoss = static_cast<int>(std::clamp(commLoss.value_or(0.0), -1.0, 1e6));
    if (auto problem = checkChannelAlarms(out, channelCount)) {
        return Refusal{path + "." + problem->field, problem->field, problem->message};
    }
    return std::nullopt;
}

}  // namespace

const ChannelAlarmSettings* AlarmSettings::find(int channel) const {
    for (const ChannelAlarmSettings& c : channels) {
        if (c.channel == channel) {
            return &c;
        }
    }
    return nullptr;
}

std::optional<AlarmSettingProblem> checkChannelAlarms(const ChannelAlarmSettings& s,
                                                      size_t channelCount) {
    if (s.channel < 1 || (channelCount > 0 && static_cast<size_t>(s.channel) > channelCount)) {
        return AlarmSettingProblem{"channel", channelCount > 0
                                                  ? TERVO_TR("core", "通道须在 1 到 ") +
                                                        std::to_string(channelCount) +
                                                        TERVO_TR("core", " 之间")
                                                  : std::string(TERVO_TR("core", "通道须从 1 起"))};
    }
    if (s.high && !std::isfinite(*s.high)) {
        return AlarmSettingProblem{"high", TERVO_TR("core", "须为有限数值")};
    }
    if (s.low && !std::isfinite(*s.low)) {
        return AlarmSettingProblem{"low", TERVO_TR("core", "须为有限数值")};
    }
    if (s.high && s.low && *s.low > *s.high) {
        return AlarmSettingProblem{"low", TERVO_TR("core", "低限高于高限")};
    }
    if (!std::isfinite(s.deadband) || s.deadband < 0) {
        return AlarmSettingProblem{"deadband", TERVO_TR("core", "死区不能为负数")};
    }
    if (!std::isfinite(s.delaySeconds) || s.delaySeconds < 0) {
        return AlarmSettingProblem{"delay_s", TERVO_TR("core", "延时不能为负数")};
    }
    if (s.commLoss < 0 || s.commLoss > kMaxCommLoss) {
        return AlarmSettingProblem{"comm_loss", TERVO_TR("core", "通信中断次数须在 0 到 ") +
                                                    std::to_string(kMaxCommLoss) +
                                                    TERVO_TR("core", " 之间")};
    }
    return std::nullopt;
}

std::string alarmSettingsPath(const std::string& templatePath) {
    const size_t slash = templatePath.find_last_of('/');
    const size_t dot = templatePath.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) {
        return templatePath.substr(0, dot) + ".alarms.json";
    }
    return templatePath + ".alarms.json";
}

AlarmSettingsLoad loadAlarmSettings(const std::string& path, size_t channelCount) {
    AlarmSettingsLoad load;
    std::vector<uint8_t> bytes;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
        return load;  // Missing
    }
    // A sidecar is a few hundred bytes; one far beyond any work's channels is not read whole.
    uint64_t size = 0;
    if (!readFileHead(path, kMaxSidecarBytes, bytes, &size)) {
        load.status = AlarmSettingsLoad::Status::Refused;
        load.message =
            TERVO_TR("core", "报警设置文件 ") + path + TERVO_TR("core", " 无法读取，本工作不报警");
        return load;
    }
    if (size > kMaxSidecarBytes) {
        load.status = AlarmSettingsLoad::Status::Refused;
        load.message =
            TERVO_TR("core", "报警设置文件 ") + path + TERVO_TR("core", " 过大，本工作不报警");
        return load;
    }
    return parseAlarmSettings(std::string(bytes.begin(), bytes.end()), channelCount, path);
}

AlarmSettingsLoad parseAlarmSettings(const std::string& text, size_t channelCount,
                                     const std::string& path) {
    AlarmSettingsLoad load;
    auto refuse = [&](int line, const std::string& field, const std::string& problem) {
        load.status = AlarmSettingsLoad::Status::Refused;
        load.settings = {};
        load.line = line;
        load.field = field;
        load.message = refusedText(path, line, field, problem);
        return load;
    };

    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // The byte the parser stopped at gives the line.
        const size_t at = std::min<size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
        const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
        return refuse(line, "", TERVO_TR("core", "不是有效的 JSON"));
    } catch (const json::exception&) {
        // A number beyond a double's range: the parser names no byte for it.
        return refuse(0, "", TERVO_TR("core", "不是有效的 JSON"));
    }
    const LineMap lines(text);
    auto refuseAt = [&](const Refusal& r) {
        return refuse(lines.line(r.path), r.field, r.message);
    };

    if (!doc.is_object()) {
        return refuseAt(
            {"", "", TERVO_TR("core", "须为一个对象 {\"version\": 1, \"channels\": [...]}")});
    }
    for (const auto& [key, value] : doc.items()) {
        if (key != "version" && key != "channels") {
            return refuseAt({key, key, TERVO_TR("core", "未知字段")});
        }
    }
    const auto version = doc.find("version");
    if (version == doc.end()) {
        return refuseAt({"", "version", TERVO_TR("core", "缺少版本号")});
    }
    if (!version->is_number() || version->get<double>() != 1.0) {
        return refuseAt({"version", "version", TERVO_TR("core", "版本须为 1")});
    }
    const auto channels = doc.find("channels");
    if (channels == doc.end() || channels->is_null()) {
        load.status = AlarmSettingsLoad::Status::Ok;
        return load;
    }
    if (!channels->is_array()) {
        return refuseAt({"channels", "channels", TERVO_TR("core", "须为数组")});
    }
    std::set<int> seen;
    for (size_t i = 0; i < channels->size(); ++i) {
        const std::string at = "channels[" + std::to_string(i) + "]";
        ChannelAlarmSettings settings;
        if (auto r = takeChannel((*channels)[i], at, channelCount, settings)) {
            return refuseAt(*r);
        }
        if (!seen.insert(settings.channel).second) {
            return refuseAt({at + ".channel", "channel",
                             TERVO_TR("core", "通道 ") + std::to_string(settings.channel) +
                                 TERVO_TR("core", " 重复")});
        }
        load.settings.channels.push_back(settings);
    }
    std::sort(load.settings.channels.begin(), load.settings.channels.end(),
              [](const auto& a, const auto& b) { return a.channel < b.channel; });
    load.status = AlarmSettingsLoad::Status::Ok;
    return load;
}

std::string alarmSettingsJson(const AlarmSettings& settings) {
    std::vector<ChannelAlarmSettings> kept;
    for (const ChannelAlarmSettings& c : settings.channels) {
        if (c.hasAlarm()) {
            kept.push_back(c);
        }
    }
    std::sort(kept.begin(), kept.end(),
              [](const auto& a, const auto& b) { return a.channel < b.channel; });
    // Written by hand so the members keep their documented order, one channel a line.
    auto number = [](double v) {
        json j = v;
        return j.dump();
    };
    auto limit = [&](const std::optional<double>& v) { return v ? number(*v) : "null"; };
    std::string out = "{\n  \"version\": 1,\n  \"channels\": [";
    for (size_t i = 0; i < kept.size(); ++i) {
        const ChannelAlarmSettings& c = kept[i];
        out += std::string(i ? "," : "") + "\n    {\"channel\": " + std::to_string(c.channel) +
               ", \"high\": " + limit(c.high) + ", \"low\": " + limit(c.low) +
               ", \"deadband\": " + number(c.deadband) + ", \"delay_s\": " +
               (c.delaySeconds == std::floor(c.delaySeconds) && c.delaySeconds < 1e9
                    ? std::to_string(static_cast<int64_t>(c.delaySeconds))
                    : number(c.delaySeconds)) +
               ", \"comm_loss\": " + std::to_string(c.commLoss) + "}";
    }
    out += kept.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

bool saveAlarmSettings(const std::string& path, const AlarmSettings& settings) {
    const bool any = std::any_of(settings.channels.begin(), settings.channels.end(),
                                 [](const ChannelAlarmSettings& c) { return c.hasAlarm(); });
    if (!any) {
        return std::remove(path.c_str()) == 0 || errno == ENOENT;
    }
    const std::string text = alarmSettingsJson(settings);
    return writeFileAtomically(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace tervo
