#pragma once

#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/alarms/AlarmEvaluator.h"

namespace tervo {

// "T040304153000.alt" -> "T040304153000.alt-alarms.csv": the alarm log beside a record file.
std::string alarmLogPath(const std::string& recordPath);

// The alarm log of a recording: every activation, clearing and acknowledgement appended as a
// CSV line "时间,通道,类型,状态,值" (UTF-8 with a byte order mark, written with the header
// when the file is new), e.g. "2026/12/08 07:15:02,炉温,high,active,81.2". The kind and state
// are the keys MQTT uses (alarmKindKey, alarmStateKey); the value is empty for a failed
// reading. Each line goes to the file in one write() as it comes, with no buffer of our own,
// so a killed process loses nothing written and at most the line being written; a line a
// crash left torn is ended before the next one. No sync to the disk (the caller may be the
// window's thread): what the kernel has survives the process, not a power cut.
//
// Not thread-safe; one owner. Appending never throws; ok() turns false at the first failure
// (and the owner says so once), later lines are still tried.
class AlarmLog {
public:
    // Opens (creates) the log for appending. `channelNames`: UTF-8, channel 1 first; a channel
    // without a name is written by its number.
    AlarmLog(const std::string& path, std::vector<std::string> channelNames);
    ~AlarmLog();
    AlarmLog(const AlarmLog&) = delete;
    AlarmLog& operator=(const AlarmLog&) = delete;

    bool ok() const { return m_ok; }
    const std::string& path() const { return m_path; }
    // Appends one line per change, its time as `clock` breaks change.time down.
    bool append(const std::vector<AlarmChange>& changes, Clock& clock);
    bool append(const AlarmChange& change, Clock& clock);

    // One line as append writes it, line end included.
    static std::string line(const AlarmChange& change, const std::string& channelName,
                            const std::tm& local);

private:
    bool writeAll(const std::string& text);

    std::string m_path;
    std::vector<std::string> m_channelNames;
    int m_fd = -1;
    bool m_ok = false;
};

// "无法写入报警记录 PATH": said once when the alarm log stops being written.
std::string alarmLogFailedText(const std::string& path);

}  // namespace tervo
