#include "core/history/HistoryCsv.h"

#include <array>
#include <charconv>
#include <cstring>
#include <ctime>
#include <future>
#include <limits>
#include <memory>
#include <streambuf>
#include <system_error>
#include <thread>

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

namespace {

// "20YY/MM/DD hh:mm:ss" as timeStampText writes it, without asking the time zone for every
// row: within one hour of UTC whose two ends lie at the same offset from UTC (and read as
// that offset says), every second of it is its UTC time moved by that offset. Any other hour
// asks the time zone row by row.
class StampWriter {
public:
    // Writes the 19 characters at `out`.
    void write(int64_t seconds, char* out) {
        const int64_t hour = floorDiv(seconds, 3600) * 3600;
        if (hour != m_hour) {
            learnHour(hour);
        }
        if (m_uniform) {
            writeCivil(seconds + m_offset, out);
        } else {
            const std::string text = timeStampText(seconds);
            std::memcpy(out, text.data(), kStampChars);
        }
    }

    static constexpr size_t kStampChars = 19;

private:
    static int64_t floorDiv(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

    // The local calendar time of `local` seconds, counted as if the zone were UTC.
    static void writeCivil(int64_t local, char* out) {
        const int64_t days = floorDiv(local, 86400);
        const int64_t second = local - days * 86400;
        // Days since 1970-01-01 to the proleptic Gregorian calendar (H. Hinnant's method).
        const int64_t z = days + 719468;
        const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
        const int64_t doe = z - era * 146097;
        const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const int64_t mp = (5 * doy + 2) / 153;
        const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
        out[0] = '2';
        out[1] = '0';
        two(out + 2, static_cast<int>((year - 1900) % 100));
        out[4] = '/';
        two(out + 5, month);
        out[7] = '/';
        two(out + 8, day);
        out[10] = ' ';
        two(out + 11, static_cast<int>(second / 3600));
        out[13] = ':';
        two(out + 14, static_cast<int>(second / 60 % 60));
        out[16] = ':';
        two(out + 17, static_cast<int>(second % 60));
    }
    static void two(char* out, int v) {
        out[0] = static_cast<char>('0' + v / 10);
        out[1] = static_cast<char>('0' + v % 10);
    }

    void learnHour(int64_t hour) {
        m_hour = hour;
        const std::string first = timeStampText(hour);
        const std::string last = timeStampText(hour + 3599);
        const time_t at = static_cast<time_t>(hour);
        const time_t end = static_cast<time_t>(hour + 3599);
        std::tm a{};
        std::tm b{};
        localtime_r(&at, &a);
        localtime_r(&end, &b);
        m_offset = a.tm_gmtoff;
        char check[kStampChars];
        writeCivil(hour + m_offset, check);
        m_uniform =
            a.tm_gmtoff == b.tm_gmtoff && first.compare(0, kStampChars, check, kStampChars) == 0;
        writeCivil(hour + 3599 + m_offset, check);
        m_uniform = m_uniform && last.compare(0, kStampChars, check, kStampChars) == 0;
    }

    int64_t m_hour = std::numeric_limits<int64_t>::min();
    int64_t m_offset = 0;
    bool m_uniform = false;
};

// The digits of 0 <= v < 100000 at `out`, without leading zeros; returns the end.
char* writeWhole(char* out, uint32_t v) {
    char digits[5];
    char* end = digits + 5;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    const size_t n = static_cast<size_t>(end - p);
    std::memcpy(out, p, n);
    return out + n;
}

// A value's text as std::to_chars writes it: the fewest digits that read back as the same
// double. A reading as the controller gives it (at most three decimals, less than 100000 in
// size) is exactly some whole number of thousandths n: when n / 1000 is the value, those
// digits, their trailing zeros dropped, are the shortest text, and at these sizes to_chars
// writes it without an exponent. Everything else (more decimals, larger, zero) is left to
// to_chars.
char* writeValue(char* out, double v) {
    const double thousandths = v * 1000.0;
    if (thousandths > -1e8 && thousandths < 1e8 && v != 0.0) {
        const auto n =
            static_cast<int64_t>(thousandths < 0 ? thousandths - 0.5 : thousandths + 0.5);
        if (static_cast<double>(n) / 1000.0 == v) {
            if (n < 0) {
                *out++ = '-';
            }
            const auto size = static_cast<uint32_t>(n < 0 ? -n : n);
            out = writeWhole(out, size / 1000);
            uint32_t fraction = size % 1000;
            if (fraction != 0) {
                *out++ = '.';
                *out++ = static_cast<char>('0' + fraction / 100);
                fraction %= 100;
                if (fraction != 0) {
                    *out++ = static_cast<char>('0' + fraction / 10);
                    if (fraction % 10 != 0) {
                        *out++ = static_cast<char>('0' + fraction % 10);
                    }
                }
            }
            return out;
        }
    }
    return std::to_chars(out, out + 24, v).ptr;
}

// A piece's text, in a buffer that grows to the most a piece may take and is never filled
// beforehand: only the pages the text reaches are ever touched.
class PieceText {
public:
    const char* data() const { return m_data.get(); }
    size_t size() const { return m_size; }
    void clear() { m_size = 0; }
    void swap(PieceText& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_size, other.m_size);
    }
    // Room for `more` characters after the text; returns where they go.
    char* room(size_t more) {
        if (m_size + more > m_capacity) {
            auto bigger = std::make_unique_for_overwrite<char[]>(m_size + more);
            if (m_size > 0) {
                std::memcpy(bigger.get(), m_data.get(), m_size);
            }
            m_data = std::move(bigger);
            m_capacity = m_size + more;
        }
        return m_data.get() + m_size;
    }
    // The text now ends at `end`, within the room asked for last.
    void endAt(const char* end) { m_size = static_cast<size_t>(end - m_data.get()); }
    void append(const std::string& text) {
        std::memcpy(room(text.size()), text.data(), text.size());
        m_size += text.size();
    }

private:
    std::unique_ptr<char[]> m_data;
    size_t m_capacity = 0;
    size_t m_size = 0;
};

// The text of rows [first, last), appended to `out`.
void appendRows(PieceText& out, const Recording& rec, size_t first, size_t last,
                StampWriter& stamps) {
    const size_t channels = rec.channelCount();
    // A time stamp, then per channel a comma and at most 24 characters, then the line's end.
    const size_t most = StampWriter::kStampChars + channels * 25 + 1;
    char* p = out.room((last - first) * most);
    const double* v = rec.values.data() + first * channels;
    for (size_t row = first; row < last; ++row) {
        stamps.write(rec.times[row], p);
        p += StampWriter::kStampChars;
        for (size_t c = 0; c < channels; ++c, ++v) {
            *p++ = ',';
            if (!isNoValue(*v)) {
                p = writeValue(p, *v);
            }
        }
        *p++ = '\n';
    }
    out.endAt(p);
}

std::string rowsCsvHeader(const Recording& rec) {
    std::string text = TERVO_TR("core", "时间");
    for (const ChannelInfo& c : rec.definition.channels) {
        text += ',';
        text += csvField(gbkToUtf8(c.nameGbk()));
    }
    return text + '\n';
}

// The rows' text in pieces of kCsvProgressRows rows, each handed to `emit` in order (false:
// the text could not be written). `progress` is asked before every piece but the first. With
// `twoThreads` each odd piece is formatted on a second thread while this one formats the even
// piece before it.
template <typename Emit>
bool produceRowsCsv(const Recording& rec, const CsvProgress& progress, bool twoThreads,
                    Emit&& emit) {
    const size_t rows = rec.rowCount();
    const size_t pieces = (rows + kCsvProgressRows - 1) / kCsvProgressRows;
    const auto format = [&rec, rows](size_t piece, PieceText& out, StampWriter& stamps) {
        appendRows(out, rec, piece * kCsvProgressRows,
                   std::min(rows, (piece + 1) * kCsvProgressRows), stamps);
    };
    PieceText text;
    text.append(rowsCsvHeader(rec));
    StampWriter stamps;
    PieceText ahead;
    StampWriter aheadStamps;
    std::future<void> pending;  // declared last: waited for before what it writes goes
    for (size_t piece = 0; piece < pieces; ++piece) {
        if (progress && piece > 0 && !progress(piece * kCsvProgressRows)) {
            return false;
        }
        if (!twoThreads) {
            format(piece, text, stamps);
        } else if (piece % 2 == 0) {
            if (piece + 1 < pieces) {
                const auto formatNext = [&, piece] {
                    ahead.clear();
                    format(piece + 1, ahead, aheadStamps);
                };
                try {
                    pending = std::async(std::launch::async, formatNext);
                } catch (const std::system_error&) {
                    // No thread to be had: the next piece is formatted here, later.
                    pending = std::async(std::launch::deferred, formatNext);
                }
            }
            format(piece, text, stamps);
        } else {
            pending.get();
            text.swap(ahead);
        }
        if (!emit(text)) {
            return true;
        }
        text.clear();
    }
    if (pieces == 0) {
        emit(text);
    }
    return true;
}

}  // namespace

bool writeRowsCsv(std::ostream& csv, const Recording& rec, const CsvProgress& progress) {
    return produceRowsCsv(rec, progress, false, [&](const PieceText& text) {
        csv.write(text.data(), static_cast<std::streamsize>(text.size()));
        return static_cast<bool>(csv);
    });
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
        // Written a piece at a time, straight from the text of the rows.
        csvFile.write(kBom, 3);
        const bool twoThreads = std::thread::hardware_concurrency() > 1;
        if (!produceRowsCsv(recording, progress, twoThreads, [&](const PieceText& text) {
                csvFile.write(text.data(), text.size());
                return csvFile.ok();
            })) {
            return cancelled;
        }
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
