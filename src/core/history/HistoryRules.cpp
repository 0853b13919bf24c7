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
    // Four running ranges side by side and no branch per value, so the processor overlaps
    // them; a value that is not a number never enters, as with one running range.
    constexpr size_t kLanes = 4;
    double lo[kLanes];
    double hi[kLanes];
    std::fill_n(lo, kLanes, range.minimum);
    std::fill_n(hi, kLanes, range.maximum);
    const auto take = [](double& low, double& high, double v) {
        const bool counts = !isNoValue(v);
        high = counts && high < v ? v : high;
        low = counts && v < low ? v : low;
    };
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (size_t lane = 0; lane < kLanes; ++lane) {
            take(lo[lane], hi[lane], values[i + lane]);
        }
    }
    for (; i < count; ++i) {
        take(lo[0], hi[0], values[i]);
    }
    for (size_t lane = 0; lane < kLanes; ++lane) {
        range.minimum = std::min(range.minimum, lo[lane]);
        range.maximum = std::max(range.maximum, hi[lane]);
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
    std::vector<ListRowSpan> spans;
    spans.reserve(selectedListRows.size());
    for (int listRow : selectedListRows) {
        spans.push_back({listRow, listRow});
    }
    return deleteListRowSpans(recording, spans);
}

size_t deleteListRowSpans(Recording& recording, const std::vector<ListRowSpan>& selected) {
    const size_t rows = recording.rowCount();
    const size_t channels = recording.channelCount();
    std::vector<bool> doomed(rows, false);
    size_t count = 0;
    size_t firstDoomed = rows;
    for (const ListRowSpan& span : selected) {
        // List row i shows history row i - 1; the header (row 0) stays.
        const int64_t from = std::max<int64_t>(span.first, 1) - 1;
        const int64_t to = std::min<int64_t>(span.last, static_cast<int64_t>(rows));
        for (int64_t r = from; r < to; ++r) {
            if (!doomed[static_cast<size_t>(r)]) {
                doomed[static_cast<size_t>(r)] = true;
                ++count;
            }
        }
        if (from < to) {
            firstDoomed = std::min(firstDoomed, static_cast<size_t>(from));
        }
    }
    if (count == 0) {
        return 0;
    }
    // Each run of kept rows moves down in one piece, the rows before the first deleted one
    // not at all.
    int32_t* times = recording.times.data();
    double* values = recording.values.data();
    size_t kept = firstDoomed;
    for (size_t r = firstDoomed; r < rows;) {
        if (doomed[r]) {
            ++r;
            continue;
        }
        size_t end = r;
        while (end < rows && !doomed[end]) {
            ++end;
        }
        std::copy(times + r, times + end, times + kept);
        std::copy(values + r * channels, values + end * channels, values + kept * channels);
        kept += end - r;
        r = end;
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
