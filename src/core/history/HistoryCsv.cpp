#include "core/history/HistoryCsv.h"

#include <array>
#include <charconv>
#include <streambuf>

#include "core/history/HistoryRules.h"
#include "core/io/FileIo.h"
#include "core/text/Gbk.h"
#include "core/text/TimeText.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

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

// Text streamed into an atomic file's temporary through a fixed buffer, so a file of any
// size is written without holding it in memory.
class AtomicFileBuffer : public std::streambuf {
public:
    explicit AtomicFileBuffer(AtomicFile& file) : m_file(file) {
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }

protected:
    int_type overflow(int_type ch) override {
        flushBuffer();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return m_file.ok() ? traits_type::not_eof(ch) : traits_type::eof();
    }
    int sync() override {
        flushBuffer();
        return m_file.ok() ? 0 : -1;
    }

private:
    void flushBuffer() {
        m_file.write(pbase(), static_cast<size_t>(pptr() - pbase()));
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }

    AtomicFile& m_file;
    std::array<char, 1 << 16> m_buffer;
};

}  // namespace

bool writeRowsCsv(std::ostream& csv, const Recording& rec, const CsvProgress& progress) {
    csv << TERVO_TR("core", "时间");
    for (const ChannelInfo& c : rec.definition.channels) {
        csv << ',' << csvField(gbkToUtf8(c.nameGbk()));
    }
    csv << '\n';
    std::string line;
    for (size_t row = 0; row < rec.rowCount() && csv; ++row) {
        if (progress && row > 0 && row % kCsvProgressRows == 0 && !progress(row)) {
            return false;
        }
        line = timeStampText(rec.times[row]);
        for (size_t c = 0; c < rec.channelCount(); ++c) {
            line += ',';
            const double v = rec.value(row, c);
            if (!isNoValue(v)) {
                char text[32];
                const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
                line.append(text, end);
            }
        }
        line += '\n';
        csv.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    return true;
}

void writeEventsCsv(std::ostream& events, const Recording& rec) {
    events << TERVO_TR("core", "时间,事件") << '\n';
    for (const EventOccurrence& occurrence : rec.occurrences) {
        events << timeStampText(occurrence.time) << ','
               << csvField(gbkToUtf8(occurrenceEventText(rec.definition, occurrence.event)))
               << '\n';
    }
}

std::string eventsCsvPath(const std::string& csvPath) {
    const size_t slash = csvPath.find_last_of('/');
    const size_t dot = csvPath.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return csvPath.substr(0, dot) + "_events.csv";
    }
    return csvPath + "_events.csv";
}

CsvExportOutcome exportHistoryCsv(const std::string& csvPath, const Recording& recording,
                                  const CsvProgress& progress) {
    const std::string eventsPath = eventsCsvPath(csvPath);
    static constexpr char kBom[] = "\xEF\xBB\xBF";
    // Every early return drops the temporaries and leaves the targets as they were.
    const CsvExportOutcome cancelled{CsvExportStatus::Cancelled, {}};
    AtomicFile csvFile(csvPath);
    if (csvFile.ok()) {
        AtomicFileBuffer buffer(csvFile);
        std::ostream out(&buffer);
        out << kBom;
        if (!writeRowsCsv(out, recording, progress)) {
            return cancelled;
        }
        out.flush();
    }
    if (!csvFile.ok()) {
        return {CsvExportStatus::Failed, csvPath};
    }
    AtomicFile eventsFile(eventsPath);
    if (eventsFile.ok()) {
        AtomicFileBuffer buffer(eventsFile);
        std::ostream out(&buffer);
        out << kBom;
        writeEventsCsv(out, recording);
        out.flush();
    }
    if (!eventsFile.ok()) {
        return {CsvExportStatus::Failed, eventsPath};
    }
    if (progress && !progress(recording.rowCount())) {
        return cancelled;
    }
    if (!csvFile.commit()) {
        return {CsvExportStatus::Failed, csvPath};
    }
    if (!eventsFile.commit()) {
        return {CsvExportStatus::Failed, eventsPath};
    }
    return {};
}

}  // namespace tervo
