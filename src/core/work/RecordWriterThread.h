#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/work/RecordWriter.h"
#include "core/work/WorkFileLayout.h"

namespace tervo {

// A recording's file work on a thread of its own, so the thread that samples never waits on
// the disk. The sampling side hands over each completed cycle (the rows and occurrences added
// since the last hand-over, and the definition in force) and goes on at once. The thread keeps
// its own copy of the recording and writes it through a RecordWriter after each hand-over, in
// the order given; cycles that queued up while the disk was busy are written in one go. What
// each write found comes back through takeResults(). Nothing is lost at the end: finish() (and
// the destructor) waits until everything handed over is written, then lets the writer end
// (its last checkpoint, the journal removed).
class RecordWriterThread {
public:
    // `writer` has claimed its file.
    explicit RecordWriterThread(std::unique_ptr<RecordWriter> writer);
    ~RecordWriterThread();
    RecordWriterThread(const RecordWriterThread&) = delete;
    RecordWriterThread& operator=(const RecordWriterThread&) = delete;

    // `rows` new rows (time stamps, and N values each row after row) and `occurrenceCount` new
    // occurrences; with none of either, the file is still written (the start of a recording).
    void submit(const WorkDefinition& work, const int32_t* times, const double* values, size_t rows,
                const EventOccurrence* occurrences, size_t occurrenceCount);
    // What the writes done since the last call found, oldest first.
    std::vector<FileStatus> takeResults();
    // Waits until every cycle handed over is written and the writer has ended. Nothing can be
    // handed over afterwards.
    void finish();

private:
    struct Cycle {
        WorkDefinition work;
        std::vector<int32_t> times;
        std::vector<double> values;
        std::vector<EventOccurrence> occurrences;
    };

    void run();
    // Adds the cycles to the thread's copy of the recording; false when it could not grow.
    bool take(std::vector<Cycle>& cycles);

    std::unique_ptr<RecordWriter> m_writer;  // used by the thread alone

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Cycle> m_queue;
    std::vector<FileStatus> m_results;
    bool m_handOverLost = false;  // a cycle could not be copied for the thread
    bool m_finishing = false;

    // The thread's copy of the recording.
    WorkDefinition m_work;
    std::vector<int32_t> m_times;
    std::vector<double> m_values;
    std::vector<EventOccurrence> m_occurrences;
    bool m_copyLost = false;

    std::thread m_thread;  // last: started once everything above is in place
};

}  // namespace tervo
