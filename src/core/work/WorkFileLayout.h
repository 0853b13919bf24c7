#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/work/WorkDefinition.h"

// The byte layouts of a work's two files, the work template and the record file, with their
// whole reads and writes. A record file that a recorder is writing is read through
// readRecording (WorkFiles.h), which lays its journal over it.
namespace tervo {

enum class FileStatus {
    Ok,
    CannotOpen,  // missing or unreadable
    Bad,         // the system's "文件错误！！！"
    CannotWrite,
    Busy,  // a recorder changed the file under every read of it
};

// ---- work template (.awt) ----

// Loads the template. Bad: another header, a count above 20, or fewer bytes than the counted
// channels and events need. Bytes after the events are ignored. `out` is untouched on failure.
FileStatus loadWorkTemplate(const std::string& path, WorkDefinition& out);
FileStatus parseWorkTemplate(const std::vector<uint8_t>& bytes, WorkDefinition& out);
std::vector<uint8_t> workTemplateBytes(const WorkDefinition& work);
FileStatus saveWorkTemplate(const std::string& path, const WorkDefinition& work);

// ---- record file (.alt, .whp) ----

struct EventOccurrence {
    int32_t time = 0;   // seconds since 1970
    int32_t event = 0;  // index into the event list
};

// A recording as a file holds it: the definition in force, S rows (time stamps and S x N
// values, row after row) and K occurrences.
struct Recording {
    WorkDefinition definition;
    std::vector<int32_t> times;
    std::vector<double> values;
    std::vector<EventOccurrence> occurrences;
    // The file counted more occurrences than it holds: those before the cut were read.
    bool occurrencesCutShort = false;
    // Another user's journal lay beside the file: it was neither replayed nor read.
    bool foreignJournal = false;
    // A journal lay beside the file (read through it): recoverRecordFile brings the file up
    // to it once the reader is done waiting on it, or leaves it to the recorder that holds it.
    bool journalLeft = false;

    size_t rowCount() const { return times.size(); }
    size_t channelCount() const { return definition.channels.size(); }
    double value(size_t row, size_t channel) const {
        return values[row * channelCount() + channel];
    }
};

// The bytes of a record file; `values` holds times.size() x N doubles.
std::vector<uint8_t> recordFileBytes(const WorkDefinition& work, const int32_t* times,
                                     const double* values, size_t rows,
                                     const EventOccurrence* occurrences, size_t occurrenceCount);
// Replaces the file whole (never truncating the live file first).
FileStatus writeRecordFile(const std::string& path, const WorkDefinition& work,
                           const int32_t* times, const double* values, size_t rows,
                           const EventOccurrence* occurrences, size_t occurrenceCount);
FileStatus writeRecording(const std::string& path, const Recording& recording);

// Where a record file's bytes are read from: memory, or a file with its journal laid over it.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual uint64_t size() const = 0;
    // `size` bytes from `offset`; false past the end or when they cannot be read.
    virtual bool read(uint64_t offset, uint8_t* out, size_t size) const = 0;
};

// Reads a record file's bytes. Any header is accepted. Bad: N above 20; N, E or S above
// 0x10000000; counts whose arrays cannot be held; channels, events or rows shorter than their
// counts say; bytes after the occurrences. An occurrence block shorter than its count is read
// up to its last whole occurrence, with occurrencesCutShort set. `out` is untouched on failure.
FileStatus parseRecording(const RecordSource& source, Recording& out);
FileStatus parseRecording(const std::vector<uint8_t>& bytes, Recording& out);

constexpr uint32_t kMaxRecordCount = 0x10000000;

}  // namespace tervo
