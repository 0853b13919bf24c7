#include "core/history/HistoryRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/text/Gbk.h"
#include "core/text/TimeText.h"
#include "core/text/Translation.h"
#include "core/text/ValueText.h"

namespace tervo {

void widenRange(DataRange& range, const double* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const double v = values[i];
        if (isNoValue(v)) {
            continue;
        }
        range.maximum = std::max(range.maximum, v);
        range.minimum = std::min(range.minimum, v);
    }
}

DataRange roundedRange(DataRange range) {
    DataRange out;
    out.minimum = std::trunc(range.minimum - 1.0);
    const double raised = range.maximum + 1.0;
    out.maximum = out.minimum + 5.0 * std::trunc((raised - out.minimum) / 5.0);
    return out;
}

bool HistoryLoader::addBatch() {
    const size_t rows = m_recording.rowCount();
    const size_t channels = m_recording.channelCount();
    const size_t end = std::min(rows, m_rowsDone + kLoadBatchRows);
    if (end > m_rowsDone) {
        widenRange(m_range, m_recording.values.data() + m_rowsDone * channels,
                   (end - m_rowsDone) * channels);
    }
    m_rowsDone = end;
    ++m_progress;
    return done();
}

std::string paddedText(const char* text, size_t length, size_t width) {
    const size_t cut = std::min(width, length);
    const char* zero = static_cast<const char*>(std::memchr(text, 0, cut));
    std::string out(text, zero != nullptr ? static_cast<size_t>(zero - text) : cut);
    out.resize(width, ' ');
    return out;
}

namespace {

std::string padded(const std::string& text, size_t width) {
    return paddedText(text.data(), text.size(), width);
}

}  // namespace

std::string tableValueCell(double value) {
    if (isNoValue(value)) {
        return padded("ERR_VAL", 13);
    }
    return padded(valueText(value), 13);
}

std::string tableHeaderText(const WorkDefinition& work) {
    std::string text = padded(utf8ToGbk(TERVO_TR("core", "时间")), 24);
    for (const ChannelInfo& channel : work.channels) {
        text += paddedText(channel.name.data(), channel.name.size(), 13);
    }
    return text;
}

std::string tableRowText(const Recording& recording, size_t row) {
    std::string text = timeStampText(recording.times[row]) + "     ";
    const size_t channels = recording.channelCount();
    text.reserve(24 + 13 * channels);
    for (size_t c = 0; c < channels; ++c) {
        text += tableValueCell(recording.value(row, c));
    }
    return text;
}

std::string eventHeaderText() {
    return padded(utf8ToGbk(TERVO_TR("core", "时间")), 30) +
           padded(utf8ToGbk(TERVO_TR("core", "事件")), 30);
}

std::string occurrenceEventText(const WorkDefinition& work, int32_t event) {
    if (event >= 0 && static_cast<size_t>(event) < work.events.size()) {
        return work.events[static_cast<size_t>(event)].nameGbk();
    }
    return utf8ToGbk(TERVO_TR("core", "（未知事件 ") + std::to_string(event) +
                     TERVO_TR("core", "）"));
}

std::string eventRowText(const Recording& recording, size_t occurrence) {
    const EventOccurrence& o = recording.occurrences[occurrence];
    return padded(timeStampText(o.time), 30) +
           padded(occurrenceEventText(recording.definition, o.event), 30);
}

size_t deleteListRows(Recording& recording, const std::vector<int>& selectedListRows) {
    const size_t rows = recording.rowCount();
    const size_t channels = recording.channelCount();
    std::vector<bool> doomed(rows, false);
    size_t count = 0;
    for (int listRow : selectedListRows) {
        if (listRow >= 1 && static_cast<size_t>(listRow - 1) < rows &&
            !doomed[static_cast<size_t>(listRow - 1)]) {
            doomed[static_cast<size_t>(listRow - 1)] = true;
            ++count;
        }
    }
    if (count == 0) {
        return 0;
    }
    size_t kept = 0;
    for (size_t r = 0; r < rows; ++r) {
        if (doomed[r]) {
            continue;
        }
        if (kept != r) {
            recording.times[kept] = recording.times[r];
            std::copy_n(recording.values.begin() + static_cast<ptrdiff_t>(r * channels), channels,
                        recording.values.begin() + static_cast<ptrdiff_t>(kept * channels));
        }
        ++kept;
    }
    recording.times.resize(kept);
    recording.values.resize(kept * channels);
    return count;
}

int reportPageCount(bool tableMode, size_t rows) {
    if (!tableMode) {
        return 1;
    }
    return std::max<int>(1, static_cast<int>((rows + kReportRowsPerPage - 1) / kReportRowsPerPage));
}

RowSpan reportPageRows(int page, size_t rows) {
    RowSpan span;
    if (page < 1) {
        return span;
    }
    span.first = static_cast<size_t>(page - 1) * kReportRowsPerPage;
    if (span.first < rows) {
        span.count = std::min<size_t>(kReportRowsPerPage, rows - span.first);
    }
    return span;
}

size_t reportEventCount(size_t occurrences) {
    return std::min<size_t>(occurrences, kReportRowsPerPage);
}

std::string reportRowTime(const Recording& recording, bool last) {
    if (recording.rowCount() == 0) {
        return utf8ToGbk("—");
    }
    return timeStampText(recording.times[last ? recording.rowCount() - 1 : 0]);
}

}  // namespace tervo
