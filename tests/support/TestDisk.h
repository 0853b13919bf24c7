#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/work/RecordWriter.h"

namespace tervo::testing {

// The record writer's disk as a test steers it, from any thread: every sync and whole replace
// first waits while the disk is held (giving up after 20 s, which a test then reports), then
// takes `delayMs`; while `failing` is set, both fail, and so do writes. `bytes` counts what
// writes and whole replaces hand over; `failWrite` makes the write of that number (counted
// from 1 in `writes`) fail half done, as a full disk does.
class TestDisk : public RecordDisk {
public:
    std::atomic<int> delayMs{0};
    std::atomic<bool> failing{false};
    std::atomic<int> calls{0};  // syncs and replaces begun
    std::atomic<uint64_t> bytes{0};
    std::atomic<int> writes{0};
    std::atomic<int> failWrite{0};

    void hold() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_held = true;
    }
    void release() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_held = false;
        }
        m_released.notify_all();
    }
    // A call waited 20 s on the held disk without being released.
    bool gaveUp() const { return m_gaveUp; }

    bool write(int fd, const uint8_t* data, size_t size, off_t offset) override {
        if (++writes == failWrite) {
            RecordDisk::write(fd, data, size / 2, offset);
            bytes += size / 2;
            return false;
        }
        if (failing) {
            return false;
        }
        bytes += size;
        return RecordDisk::write(fd, data, size, offset);
    }
    bool sync(int fd) override {
        pass();
        return !failing && RecordDisk::sync(fd);
    }
    FileStatus replace(const std::string& path, const WorkDefinition& work, const int32_t* times,
                       const double* values, size_t rows, const EventOccurrence* occurrences,
                       size_t occurrenceCount) override {
        pass();
        if (failing) {
            return FileStatus::CannotWrite;
        }
        const FileStatus status =
            RecordDisk::replace(path, work, times, values, rows, occurrences, occurrenceCount);
        if (status == FileStatus::Ok) {
            bytes +=
                recordFileBytes(work, times, values, rows, occurrences, occurrenceCount).size();
        }
        return status;
    }

private:
    void pass() {
        ++calls;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_released.wait_for(lock, std::chrono::seconds(20), [this] { return !m_held; })) {
                m_gaveUp = true;
                m_held = false;  // once is enough to tell
            }
        }
        if (delayMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
    std::atomic<bool> m_gaveUp{false};
};

}  // namespace tervo::testing
