#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/text/Translation.h"
#include "core/work/WorkFiles.h"

namespace tervo {

// ---- the floating value range ("浮动坐标") ----

struct DataRange {
    double minimum = 99999999.0;  // the loader's start values: any sample replaces them
    double maximum = -99999999.0;
};
// Widens `range` by the values that are not the no-value marker.
void widenRange(DataRange& range, const double* values, size_t count);
// The range after loading: the minimum less one, truncated toward zero; the maximum plus one;
// then the width cut down to a multiple of 5 (so the top can lie below the largest sample).
// An empty history gives an inverted range; the charts treat a range whose maximum is not above
// its minimum as having no span (see valueHeight).
DataRange roundedRange(DataRange range);

// ---- loading behind the wait dialog ----

constexpr size_t kLoadBatchRows = 100;

// The wait dialog's counter: batches of 100 rows, each widening the data range; the progress
// bar runs from 0 to S / 100 and advances by one per batch.
class HistoryLoader {
public:
    explicit HistoryLoader(const Recording& recording) : m_recording(recording) {}
    int progressMaximum() const {
        return static_cast<int>(m_recording.rowCount() / kLoadBatchRows);
    }
    int progress() const { return m_progress; }
    size_t rowsDone() const { return m_rowsDone; }
    bool done() const { return m_rowsDone >= m_recording.rowCount(); }
    // One batch of at most 100 rows (none once all are done; the progress still advances, as
    // the first tick of an empty history does). True when every row is done.
    bool addBatch();
    const DataRange& range() const { return m_range; }

private:
    const Recording& m_recording;
    DataRange m_range;
    size_t m_rowsDone = 0;
    int m_progress = 0;
};

// ---- texts of the two lists (GBK, byte-padded so the fixed-pitch columns line up) ----

// A text cut at its first zero byte or after `width` bytes, padded with spaces to `width`.
std::string paddedText(const char* text, size_t length, size_t width);
// 13 characters: "ERR_VAL" or "%0.2f", cut to 13 and padded to 13.
std::string tableValueCell(double value);
std::string tableHeaderText(const WorkDefinition& work);
std::string tableRowText(const Recording& recording, size_t row);
std::string eventHeaderText();
// The event an occurrence names, in GBK: the event's name, or "（未知事件 k）" when its index
// names no event. The list, the CSV export and tervo-cli all say it so.
std::string occurrenceEventText(const WorkDefinition& work, int32_t event);
std::string eventRowText(const Recording& recording, size_t occurrence);

// Said once when a file whose occurrence block was cut short is opened.
inline constexpr const char* kOccurrencesCutShortText =
    TERVO_TR_NOOP("core", "事件记录被截断，已读入完整的部分！！！");
// Said once when a journal another user left beside the file was neither replayed nor read.
inline constexpr const char* kForeignJournalText =
    TERVO_TR_NOOP("core", "记录文件旁的日志属于其他用户，未采用！！！");
// Said when a record file could not be read because its recorder kept changing it meanwhile.
inline constexpr const char* kFileBusyText =
    TERVO_TR_NOOP("core", "文件正在写入，请稍后再试！！！");

// ---- editing ----

// Deletes the history rows of the selected table-list rows (list row i shows history row
// i - 1; row 0, the header, is never deleted). Occurrences stay. Returns the rows removed.
size_t deleteListRows(Recording& recording, const std::vector<int>& selectedListRows);
// The same for runs of selected list rows, first to last inclusive (a selection of millions
// of rows is a few runs).
struct ListRowSpan {
    int first = 0;
    int last = 0;
};
size_t deleteListRowSpans(Recording& recording, const std::vector<ListRowSpan>& selected);

// ---- the printed report ----

constexpr int kReportRowsPerPage = 60;
// Pages of the table print: (S + 59) / 60, and one page (header only) for an empty table so the
// print dialog always has something to offer; every other mode prints one page.
int reportPageCount(bool tableMode, size_t rows);
struct RowSpan {
    size_t first = 0;
    size_t count = 0;
};
RowSpan reportPageRows(int page, size_t rows);
// The event table prints its first 60 occurrences.
size_t reportEventCount(size_t occurrences);
// The header's start and end times: "—" when the history has no rows.
std::string reportRowTime(const Recording& recording, bool last);

}  // namespace tervo
