#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/link/LinkRequest.h"
#include "core/text/Translation.h"
#include "core/work/Events.h"
#include "core/work/WorkDefinition.h"

namespace tervo {

class RecordDisk;
class RecordWriter;
class RecordWriterThread;

// Texts the engine hands its caller to show, each in a box captioned "提示" with the
// exclamation icon.
inline constexpr const char* kNoChannelsText = TERVO_TR_NOOP("core", "无记录项！！！");
inline constexpr const char* kStopWhileRecordingText =
    TERVO_TR_NOOP("core", "此时正在工作中，须先结束保存！！！");
inline constexpr const char* kNotRunningText =
    TERVO_TR_NOOP("core", "未打开记录，须先开始记录！！！");
inline constexpr const char* kStopQuestionText =
    TERVO_TR_NOOP("core", "确实要停止工作？？？");  // OK and Cancel
inline constexpr const char* kSystemErrorText = TERVO_TR_NOOP("core", "系统错误！！！");
std::string recordWriteFailedText(const std::string& path);
std::string recordWriteRecoveredText(const std::string& path);
// Another window or process is recording into the file: the recording does not start.
std::string recordFileBusyText(const std::string& path);
std::string curveFileFailedText(const std::string& path);

// The rows of a run: time stamps and N values per row, in arrays that grow by 1000 rows and
// keep their capacity from run to run, always sized for the current N.
class RowStore {
public:
    static constexpr size_t kGrowth = 1000;

    explicit RowStore(size_t maxRows = SIZE_MAX) : m_maxRows(maxRows) {}

    // Empties the store for a run with `channels` values per row.
    void reset(size_t channels);
    // False when the store could not grow: the row is dropped, the store is unchanged.
    bool append(int32_t time, const double* values);

    size_t rows() const { return m_rows; }
    size_t channels() const { return m_channels; }
    size_t capacity() const { return m_capacity; }
    const int32_t* times() const { return m_times.get(); }
    const double* values() const { return m_values.get(); }
    double value(size_t row, size_t channel) const { return m_values[row * m_channels + channel]; }

private:
    bool allocate(size_t capacity);

    std::unique_ptr<int32_t[]> m_times;
    std::unique_ptr<double[]> m_values;
    size_t m_rows = 0;
    size_t m_channels = 0;
    size_t m_capacity = 0;
    size_t m_maxRows;
};

// What the caller must ask the operator before the command can go on. It asks, then calls the
// same command again with the answer; a refusal or Cancel leaves the states as reported.
enum class Ask {
    Nothing,
    Password,      // the entry password check (protected mode)
    RecordPath,    // the record-file save dialog, proposing `proposedRecordName`
    StopQuestion,  // kStopQuestionText with OK and Cancel
    // The first curve channel's controller value, read before the curves start: carry out
    // `exchange` and call again with its result.
    CurveStartValue,
};

struct CommandOutcome {
    Ask ask = Ask::Nothing;
    std::vector<std::string> messages;    // to show, in order
    std::string proposedRecordName;       // "T040304153000.alt"
    std::optional<LinkRequest> exchange;  // with Ask::CurveStartValue
    bool running = false;    // the toolbar shows "开始运行" pressed, else "停止运行"
    bool recording = false;  // "开始保存" pressed, else "结束保存"
    int startTimerMs = 0;    // arm timer 1 with this interval when above 0
    bool stopTimer = false;
};

struct TickOutcome {
    int nextIntervalMs = 125;
    bool secondChanged = false;   // refresh the time labels and show `caption`
    std::string caption;          // "采集工作 - 2004/03/04 15:30:00"
    bool cycleCompleted = false;  // a row was appended: redraw the chart area
    std::vector<std::string> messages;
    // The result belonged to a tick of an earlier run (sampling was stopped or restarted while
    // its exchange was under way): nothing was done and no timer is to be armed for it.
    bool discarded = false;
};

// The first half of a tick: the exchange it needs, nullopt when it needs none (not running,
// the cycle already complete, a curve channel whose file gives no value).
struct TickPlan {
    uint64_t id = 0;  // hand back to finishTick
    std::optional<LinkRequest> exchange;
};

// The sampling engine of a live work: one channel per tick, a row per completed cycle, events
// and a rewrite of the record file after each cycle while recording. It has no timer of its
// own and never waits on the line itself: the caller arms its timer as the outcomes say, and
// each tick is beginTick(), the exchange it names carried out wherever the caller likes, then
// finishTick() with the result. The next tick is armed only once the result is in, so a
// silent controller stretches a tick by its attempts as it would on the line directly.
class SamplingEngine {
public:
    static constexpr int kFirstIntervalMs = 225;
    static constexpr int kIntervalMs = 125;

    // A ceiling on the rows and occurrences held; beyond it growing fails as an allocation
    // would. Memory is the only limit otherwise.
    struct Limits {
        size_t maxRows = SIZE_MAX;
        size_t maxOccurrences = SIZE_MAX;
    };

    SamplingEngine(WorkDefinition& work, Clock& clock,
                   SerialOpener& opener = defaultSerialOpener());
    SamplingEngine(WorkDefinition& work, Clock& clock, SerialOpener& opener, Limits limits);
    ~SamplingEngine();

    void setProtectedMode(bool on) { m_protectedMode = on; }
    // From the next recording on, its file work runs on a writer thread of its own (the
    // window's way): a tick never waits on the disk, and what a write found comes with the
    // outcome of a later tick, or of stopRecording, which waits until everything handed over is
    // written. Otherwise each write is made in the tick that completed its cycle (the command
    // line, tests).
    void setWriterThread(bool on) { m_writerThreadOn = on; }
    // The disk under the record file from the next recording on (tests slow it down or make it
    // fail).
    void setRecordDisk(RecordDisk& disk) { m_disk = &disk; }

    // With a curve channel the commands first ask for the curve start value.
    CommandOutcome startSampling(const std::optional<LinkResult>& curveStart = std::nullopt);
    CommandOutcome stopSampling(bool passwordChecked = false);
    CommandOutcome startRecording(const std::optional<std::string>& recordPath = std::nullopt,
                                  const std::optional<LinkResult>& curveStart = std::nullopt);
    CommandOutcome stopRecording(bool passwordChecked = false, bool confirmed = false);

    TickPlan beginTick();
    // A result for any id but the open tick's is discarded.
    TickOutcome finishTick(uint64_t id, const LinkResult& result);
    // Both halves, the exchange carried out here on the engine's opener: for callers that may
    // wait on the line (the command line, tests).
    TickOutcome tick();
    // Answers a CurveStartValue question here on the engine's opener, for the same callers.
    LinkResult performNow(const LinkRequest& request) { return perform(request, m_opener); }

    bool running() const { return m_running; }
    bool recording() const { return m_recording; }
    const RowStore& rows() const { return m_rows; }
    const OccurrenceStore& occurrences() const { return m_occurrences; }
    double curveStartValue() const { return m_curveStart; }
    const std::string& recordPath() const { return m_recordPath; }
    // The last write of the record file failed: the file lacks rows the memory holds. With the
    // writer thread, the last write whose outcome has come back.
    bool recordWriteFailed() const { return m_recordFailed; }
    int32_t elapsedSeconds() const { return m_elapsed; }
    size_t currentChannel() const { return m_currentChannel; }
    const WorkDefinition& work() const { return m_work; }

private:
    CommandOutcome states() const;
    const ChannelInfo* firstCurveChannel() const;
    // Asks for the curve start value when the work has a curve channel and no reading came.
    bool needsCurveStart(const std::optional<LinkResult>& curveStart,
                         CommandOutcome& outcome) const;
    void takeCurveStartValue(const std::optional<LinkResult>& curveStart);
    void restartCycle(uint32_t now);
    // The exchange for `channel`, or nullopt with the value already stored in m_current.
    std::optional<LinkRequest> channelExchange(size_t channel, std::vector<std::string>& messages);
    double channelValue(size_t channel, const LinkResult& result) const;
    void completeCycle(std::vector<std::string>& messages);
    void writeRecord(std::vector<std::string>& messages);
    // A write's status: the message when the file stops or starts again being written.
    void noteRecordWrite(FileStatus status, std::vector<std::string>& messages);
    void takeRecordWrites(std::vector<std::string>& messages);

    WorkDefinition& m_work;
    Clock& m_clock;
    SerialOpener& m_opener;
    bool m_protectedMode = false;

    bool m_running = false;
    bool m_recording = false;
    uint32_t m_startTick = 0;
    int32_t m_elapsed = 0;
    int m_lastSecondDigit = -1;
    uint32_t m_cycleStartTick = 0;
    bool m_cycleDue = false;
    bool m_cycleDone = false;
    size_t m_currentChannel = 0;
    // The open tick: its id (0 when none), its start time and what it has found so far.
    uint64_t m_openTick = 0;
    uint64_t m_lastTickId = 0;
    uint32_t m_tickNow = 0;
    bool m_tickPolls = false;
    double m_curveValue = 0.0;  // what a curve channel's write sends, stored on ACK
    TickOutcome m_tickOutcome;
    std::vector<double> m_current;
    EventMemory m_eventMemory;
    RowStore m_rows;
    OccurrenceStore m_occurrences;
    double m_curveStart = 0.0;
    std::string m_recordPath;
    bool m_writerThreadOn = false;
    RecordDisk* m_disk = nullptr;
    // While recording, one of the two: the writer itself, or the thread it runs on with the
    // rows and occurrences handed over to it so far.
    std::unique_ptr<RecordWriter> m_recordWriter;
    std::unique_ptr<RecordWriterThread> m_writerThread;
    size_t m_rowsHandedOver = 0;
    size_t m_occurrencesHandedOver = 0;
    bool m_recordFailed = false;
    std::vector<bool> m_curveFailed;
};

}  // namespace tervo
