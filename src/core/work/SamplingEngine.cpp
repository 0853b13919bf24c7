#include "core/work/SamplingEngine.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "core/curves/TrackingCurve.h"
#include "core/text/Gbk.h"
#include "core/text/TimeText.h"
#include "core/text/Translation.h"
#include "core/text/ValueText.h"
#include "core/work/RecordWriter.h"
#include "core/work/RecordWriterThread.h"
#include "core/work/WorkFiles.h"

namespace tervo {

std::string recordWriteFailedText(const std::string& path) {
    return TERVO_TR("core", "记录文件无法写入：") + path +
           TERVO_TR("core", "。记录仍在内存中，每个采样周期后重写！！！");
}

std::string recordWriteRecoveredText(const std::string& path) {
    return TERVO_TR("core", "记录文件已重新写入：") + path + TERVO_TR("core", "！！！");
}

std::string recordFileBusyText(const std::string& path) {
    return TERVO_TR("core", "记录文件正被另一记录占用：") + path + TERVO_TR("core", "！！！");
}

std::string curveFileFailedText(const std::string& path) {
    return TERVO_TR("core", "曲线文件无法打开：") + path + TERVO_TR("core", "！！！");
}

// ---- RowStore ----

bool RowStore::allocate(size_t capacity) {
    if (capacity > m_maxRows ||
        (m_channels != 0 && capacity > SIZE_MAX / sizeof(double) / m_channels)) {
        return false;
    }
    std::unique_ptr<int32_t[]> times(new (std::nothrow) int32_t[capacity]);
    std::unique_ptr<double[]> values(new (std::nothrow) double[capacity * m_channels]);
    if (!times || !values) {
        return false;
    }
    std::copy(m_times.get(), m_times.get() + m_rows, times.get());
    std::copy(m_values.get(), m_values.get() + m_rows * m_channels, values.get());
    m_times = std::move(times);
    m_values = std::move(values);
    m_capacity = capacity;
    return true;
}

void RowStore::reset(size_t channels) {
    m_rows = 0;
    if (channels != m_channels || !m_values) {
        // The capacity carries over from the last run, but the values must fit the new N.
        m_channels = channels;
        const size_t capacity = m_capacity;
        m_capacity = 0;
        m_times.reset();
        m_values.reset();
        if (capacity > 0 && !allocate(capacity)) {
            m_capacity = 0;
        }
    }
}

bool RowStore::append(int32_t time, const double* values) {
    if (m_rows == m_capacity && !allocate(m_capacity + kGrowth)) {
        return false;
    }
    m_times[m_rows] = time;
    std::copy(values, values + m_channels, m_values.get() + m_rows * m_channels);
    ++m_rows;
    return true;
}

// ---- SamplingEngine ----

SamplingEngine::SamplingEngine(WorkDefinition& work, Clock& clock, SerialOpener& opener)
    : SamplingEngine(work, clock, opener, Limits{}) {}

SamplingEngine::SamplingEngine(WorkDefinition& work, Clock& clock, SerialOpener& opener,
                               Limits limits)
    : m_work(work),
      m_clock(clock),
      m_opener(opener),
      m_rows(limits.maxRows),
      m_occurrences(limits.maxOccurrences) {
    m_startTick = m_cycleStartTick = clock.tickMs();
}

SamplingEngine::~SamplingEngine() = default;

CommandOutcome SamplingEngine::states() const {
    CommandOutcome outcome;
    outcome.running = m_running;
    outcome.recording = m_recording;
    return outcome;
}

const ChannelInfo* SamplingEngine::firstCurveChannel() const {
    for (const ChannelInfo& channel : m_work.channels) {
        if (channel.isCurveChannel()) {
            return &channel;
        }
    }
    return nullptr;
}

bool SamplingEngine::needsCurveStart(const std::optional<LinkResult>& curveStart,
                                     CommandOutcome& outcome) const {
    const ChannelInfo* channel = firstCurveChannel();
    if (channel == nullptr || curveStart) {
        return false;
    }
    outcome.ask = Ask::CurveStartValue;
    outcome.exchange = LinkRequest::read(channel->readRequest());
    return true;
}

void SamplingEngine::takeCurveStartValue(const std::optional<LinkResult>& curveStart) {
    // Only the first curve channel is read; every curve channel starts from its value, and
    // from 0 when the read failed.
    m_curveStart = curveStart && curveStart->value ? *curveStart->value : 0.0;
}

void SamplingEngine::restartCycle(uint32_t now) {
    m_elapsed = 0;
    m_currentChannel = 0;
    m_cycleDone = false;
    m_cycleDue = false;
    m_startTick = now;
    m_cycleStartTick = now;
    m_occurrences.clear();
    m_openTick = 0;  // a result still under way belongs to the run before
}

CommandOutcome SamplingEngine::startSampling(const std::optional<LinkResult>& curveStart) {
    const size_t n = m_work.channels.size();
    if (n == 0) {
        CommandOutcome outcome = states();
        outcome.messages.push_back(kNoChannelsText);
        return outcome;
    }
    CommandOutcome outcome;
    if (!m_running) {
        if (needsCurveStart(curveStart, outcome)) {
            return outcome;
        }
        takeCurveStartValue(curveStart);
        m_running = true;
        restartCycle(m_clock.tickMs());
        m_current.assign(n, 0.0);
        m_eventMemory.reset(n);
        m_curveFailed.assign(n, false);
        m_rows.reset(n);
        outcome.startTimerMs = kFirstIntervalMs;
    }
    outcome.running = m_running;
    outcome.recording = m_recording;
    return outcome;
}

CommandOutcome SamplingEngine::stopSampling(bool passwordChecked) {
    CommandOutcome outcome = states();
    if (m_protectedMode && !passwordChecked) {
        outcome.ask = Ask::Password;
        return outcome;
    }
    if (m_recording) {
        outcome.messages.push_back(kStopWhileRecordingText);
        return outcome;
    }
    if (m_running) {
        m_running = false;
        m_openTick = 0;
        outcome.stopTimer = true;
    }
    outcome.running = false;
    return outcome;
}

CommandOutcome SamplingEngine::startRecording(const std::optional<std::string>& recordPath,
                                              const std::optional<LinkResult>& curveStart) {
    CommandOutcome outcome = states();
    if (!m_running) {
        outcome.messages.push_back(kNotRunningText);
        outcome.recording = false;
        return outcome;
    }
    if (m_work.channels.empty()) {
        outcome.messages.push_back(kNoChannelsText);
        outcome.recording = false;
        return outcome;
    }
    if (!m_recording) {
        if (!recordPath) {
            outcome.ask = Ask::RecordPath;
            outcome.proposedRecordName =
                "T" + fileStampText(m_clock.localTime(m_clock.calendarSeconds())) + ".alt";
            return outcome;
        }
        if (needsCurveStart(curveStart, outcome)) {
            outcome.recording = false;
            return outcome;
        }
        auto writer = std::make_unique<RecordWriter>(
            *recordPath, m_disk != nullptr ? *m_disk : systemRecordDisk());
        if (!writer->claim()) {
            outcome.messages.push_back(recordFileBusyText(*recordPath));
            outcome.recording = false;
            return outcome;
        }
        takeCurveStartValue(curveStart);
        m_recording = true;
        m_recordPath = *recordPath;
        m_recordFailed = false;
        if (m_writerThreadOn) {
            m_writerThread = std::make_unique<RecordWriterThread>(std::move(writer));
        } else {
            m_recordWriter = std::move(writer);
        }
        m_rowsHandedOver = 0;
        m_occurrencesHandedOver = 0;
        m_rows.reset(m_work.channels.size());
        restartCycle(m_clock.tickMs());
        writeRecord(outcome.messages);
    }
    outcome.recording = true;
    return outcome;
}

CommandOutcome SamplingEngine::stopRecording(bool passwordChecked, bool confirmed) {
    CommandOutcome outcome = states();
    if (m_protectedMode && !passwordChecked) {
        outcome.ask = Ask::Password;
        return outcome;
    }
    if (!m_recording) {
        return outcome;
    }
    if (!confirmed) {
        outcome.ask = Ask::StopQuestion;
        return outcome;
    }
    // The file keeps the last completed cycle; nothing more is written. What is still on its
    // way to the disk is waited for, and what its writes found is said now.
    m_recording = false;
    if (m_writerThread) {
        m_writerThread->finish();
        takeRecordWrites(outcome.messages);
        m_writerThread.reset();
    }
    m_recordWriter.reset();
    outcome.recording = false;
    return outcome;
}

std::optional<LinkRequest> SamplingEngine::channelExchange(size_t c,
                                                           std::vector<std::string>& messages) {
    const ChannelInfo& channel = m_work.channels[c];
    if (!channel.isCurveChannel()) {
        return LinkRequest::read(channel.readRequest());
    }
    // The value the channel's program prescribes for the nominal time of the row being built.
    const int64_t t = int64_t{m_work.timing.samplingPeriod} * static_cast<int64_t>(m_rows.rows());
    const std::string path = gbkToUtf8(channel.curvePathText());
    CurveStatus status = CurveStatus::Ok;
    const double v = curveFileValueForAcquisition(path, m_curveStart, t, status);
    const bool cannotOpen = status == CurveStatus::CannotOpen;
    if (cannotOpen && !m_curveFailed[c]) {
        messages.push_back(curveFileFailedText(path));
    }
    m_curveFailed[c] = cannotOpen;
    if (isNoValue(v)) {
        m_current[c] = kNoValue;
        return std::nullopt;
    }
    m_curveValue = v;
    return LinkRequest::write(channel.port, channel.baud, channel.address,
                              static_cast<uint32_t>(channel.parameterCode),
                              padValueText(formatDouble("%f", v)));
}

double SamplingEngine::channelValue(size_t c, const LinkResult& result) const {
    if (!m_work.channels[c].isCurveChannel()) {
        return result.value.value_or(kNoValue);
    }
    return result.writeReply == kACK ? m_curveValue : kNoValue;
}

void SamplingEngine::writeRecord(std::vector<std::string>& messages) {
    if (m_writerThread) {
        // Only what is new since the last hand-over: the thread keeps the rest.
        const size_t rows = m_rows.rows() - std::min(m_rowsHandedOver, m_rows.rows());
        const size_t occurrences =
            m_occurrences.count() - std::min(m_occurrencesHandedOver, m_occurrences.count());
        m_writerThread->submit(m_work, m_rows.times() + m_rowsHandedOver,
                               m_rows.values() + m_rowsHandedOver * m_rows.channels(), rows,
                               m_occurrences.data() + m_occurrencesHandedOver, occurrences);
        m_rowsHandedOver = m_rows.rows();
        m_occurrencesHandedOver = m_occurrences.count();
        return;
    }
    noteRecordWrite(m_recordWriter->write(m_work, m_rows.times(), m_rows.values(), m_rows.rows(),
                                          m_occurrences.data(), m_occurrences.count()),
                    messages);
}

void SamplingEngine::takeRecordWrites(std::vector<std::string>& messages) {
    if (m_writerThread) {
        for (const FileStatus status : m_writerThread->takeResults()) {
            noteRecordWrite(status, messages);
        }
    }
}

void SamplingEngine::noteRecordWrite(FileStatus status, std::vector<std::string>& messages) {
    const bool failed = status != FileStatus::Ok;
    if (failed != m_recordFailed) {
        messages.push_back(failed ? recordWriteFailedText(m_recordPath)
                                  : recordWriteRecoveredText(m_recordPath));
    }
    m_recordFailed = failed;
}

void SamplingEngine::completeCycle(std::vector<std::string>& messages) {
    const int32_t now = static_cast<int32_t>(m_clock.calendarSeconds());
    if (!m_rows.append(now, m_current.data())) {
        messages.push_back(kSystemErrorText);
    }
    if (m_recording) {
        if (!evaluateEvents(m_work.events, m_current.data(), m_current.size(), m_eventMemory,
                            static_cast<int32_t>(m_clock.calendarSeconds()), m_occurrences)) {
            messages.push_back(kSystemErrorText);
        }
        writeRecord(messages);
    }
}

TickPlan SamplingEngine::beginTick() {
    TickPlan plan;
    m_tickOutcome = TickOutcome{};
    m_tickOutcome.nextIntervalMs = kIntervalMs;
    m_tickPolls = false;
    plan.id = m_openTick = ++m_lastTickId;
    if (!m_running) {
        return plan;
    }
    const uint32_t now = m_tickNow = m_clock.tickMs();
    m_elapsed = static_cast<int32_t>((now - m_startTick) / 1000);
    if (m_elapsed % 10 != m_lastSecondDigit) {
        m_lastSecondDigit = m_elapsed % 10;
        m_tickOutcome.secondChanged = true;
        m_tickOutcome.caption = TERVO_TR("core", "采集工作 - ") +
                                timeStampText(m_clock.localTime(m_clock.calendarSeconds()));
    }
    if (!m_cycleDue &&
        static_cast<int64_t>((now - m_cycleStartTick) / 1000) >= m_work.timing.samplingPeriod) {
        m_cycleDue = true;
    }
    const size_t n = std::min(m_current.size(), m_work.channels.size());
    if (!m_cycleDone && m_currentChannel < n) {
        plan.exchange = channelExchange(m_currentChannel, m_tickOutcome.messages);
        m_tickPolls = plan.exchange.has_value();
    }
    return plan;
}

TickOutcome SamplingEngine::finishTick(uint64_t id, const LinkResult& result) {
    if (id == 0 || id != m_openTick) {
        TickOutcome stale;
        stale.discarded = true;
        return stale;
    }
    m_openTick = 0;
    TickOutcome outcome = std::move(m_tickOutcome);
    if (!m_running) {
        return outcome;
    }
    const size_t n = std::min(m_current.size(), m_work.channels.size());
    if (!m_cycleDone) {
        if (m_tickPolls && m_currentChannel < n) {
            m_current[m_currentChannel] = channelValue(m_currentChannel, result);
        }
        if (++m_currentChannel >= n) {
            m_cycleDone = true;
            outcome.cycleCompleted = true;
            completeCycle(outcome.messages);
        }
    }
    if (m_cycleDue && m_cycleDone) {
        m_cycleDue = false;
        m_cycleDone = false;
        m_currentChannel = 0;
        m_cycleStartTick = m_tickNow;
    }
    takeRecordWrites(outcome.messages);
    return outcome;
}

TickOutcome SamplingEngine::tick() {
    const TickPlan plan = beginTick();
    return finishTick(plan.id, plan.exchange ? perform(*plan.exchange, m_opener) : LinkResult{});
}

}  // namespace tervo
