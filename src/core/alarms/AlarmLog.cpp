#include "core/alarms/AlarmLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "core/NoValue.h"
#include "core/text/TimeText.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr char kHeader[] = "时间,通道,类型,状态,值\n";

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// Six significant digits, the shortest text of that, '.' whatever the locale.
std::string valueText(double v) {
    if (isNoValue(v) || v != v) {
        return {};
    }
    char buffer[32];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 6);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::string alarmLogPath(const std::string& recordPath) {
    return recordPath + "-alarms.csv";
}

std::string alarmLogFailedText(const std::string& path) {
    return TERVO_TR("core", "无法写入报警记录 ") + path;
}

AlarmLog::AlarmLog(const std::string& path, std::vector<std::string> channelNames)
    : m_path(path), m_channelNames(std::move(channelNames)) {
    // Never through a link another user planted beside the record, never into their file.
    m_fd = ::open(path.c_str(),
                  O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY,
                  0644);
    if (m_fd < 0) {
        return;
    }
    struct stat st {};
    if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        ::close(m_fd);  // a FIFO or device could block the owner's thread
        m_fd = -1;
        return;
    }
    m_ok = true;
    if (st.st_size == 0) {
        writeAll(std::string(kBom) + kHeader);
        return;
    }
    // A line a crash left torn is ended, so the next one starts on a line of its own.
    char last = '\n';
    const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (reader >= 0) {
        if (pread(reader, &last, 1, st.st_size - 1) != 1) {
            last = '\n';
        }
        ::close(reader);
    }
    if (last != '\n') {
        writeAll("\n");
    }
}

AlarmLog::~AlarmLog() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool AlarmLog::writeAll(const std::string& text) {
    if (m_fd < 0) {
        m_ok = false;
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            m_ok = false;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string AlarmLog::line(const AlarmChange& change, const std::string& channelName,
                           const std::tm& local) {
    return timeStampText(local) + "," +
           csvField(channelName.empty() ? std::to_string(change.channel) : channelName) + "," +
           alarmKindKey(change.kind) + "," + alarmStateKey(change.state) + "," +
           valueText(change.value) + "\n";
}

bool AlarmLog::append(const AlarmChange& change, Clock& clock) {
    const size_t index = static_cast<size_t>(change.channel - 1);
    const std::string name = index < m_channelNames.size() ? m_channelNames[index] : "";
    return writeAll(line(change, name, clock.localTime(change.time)));
}

bool AlarmLog::append(const std::vector<AlarmChange>& changes, Clock& clock) {
    bool all = true;
    for (const AlarmChange& c : changes) {
        all = append(c, clock) && all;
    }
    return all;
}

}  // namespace tervo
