#include "core/work/RecordWriterThread.h"

#include <new>
#include <utility>

namespace tervo {

RecordWriterThread::RecordWriterThread(std::unique_ptr<RecordWriter> writer)
    : m_writer(std::move(writer)), m_thread([this] { run(); }) {}

RecordWriterThread::~RecordWriterThread() {
    finish();
}

void RecordWriterThread::submit(const WorkDefinition& work, const int32_t* times,
                                const double* values, size_t rows,
                                const EventOccurrence* occurrences, size_t occurrenceCount) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finishing) {
            return;
        }
        try {
            Cycle cycle;
            cycle.work = work;
            cycle.times.assign(times, times + rows);
            cycle.values.assign(values, values + rows * work.channels.size());
            cycle.occurrences.assign(occurrences, occurrences + occurrenceCount);
            m_queue.push_back(std::move(cycle));
        } catch (const std::bad_alloc&) {
            m_handOverLost = true;
        }
    }
    m_wake.notify_one();
}

std::vector<FileStatus> RecordWriterThread::takeResults() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_results, {});
}

void RecordWriterThread::finish() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_finishing = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool RecordWriterThread::take(std::vector<Cycle>& cycles) {
    try {
        for (Cycle& cycle : cycles) {
            m_times.insert(m_times.end(), cycle.times.begin(), cycle.times.end());
            m_values.insert(m_values.end(), cycle.values.begin(), cycle.values.end());
            m_occurrences.insert(m_occurrences.end(), cycle.occurrences.begin(),
                                 cycle.occurrences.end());
            m_work = std::move(cycle.work);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void RecordWriterThread::run() {
    for (;;) {
        std::vector<Cycle> cycles;
        bool lost = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_finishing || m_handOverLost || !m_queue.empty(); });
            if (m_queue.empty() && !m_handOverLost) {
                break;  // finishing, and everything is written
            }
            cycles.swap(m_queue);
            lost = std::exchange(m_handOverLost, false);
        }
        // A copy that lost rows can never be the recording's image again: every later write
        // fails rather than put an incomplete file in place of a complete one.
        m_copyLost = m_copyLost || lost || !take(cycles);
        const FileStatus status =
            m_copyLost ? FileStatus::CannotWrite
                       : m_writer->write(m_work, m_times.data(), m_values.data(), m_times.size(),
                                         m_occurrences.data(), m_occurrences.size());
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_results.push_back(status);
    }
    m_writer.reset();  // the last checkpoint, and the journal removed
}

}  // namespace tervo
