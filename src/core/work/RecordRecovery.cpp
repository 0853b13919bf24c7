#include "core/work/RecordRecovery.h"

#include <new>
#include <system_error>

#include "core/work/RecordWriter.h"

namespace tervo {

RecordRecovery::~RecordRecovery() {
    waitAll();
}

void RecordRecovery::start(const std::string& path) {
    std::lock_guard lock(m_mutex);
    // Threads whose replay has ended are done with.
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
    try {
        auto done = std::make_shared<std::atomic<bool>>(false);
        m_jobs.reserve(m_jobs.size() + 1);  // so the thread, once running, is kept
        std::thread thread([path, done] {
            recoverRecordFile(path);
            done->store(true);
        });
        m_jobs.push_back(Job{std::move(thread), done});
    } catch (const std::system_error&) {
        // No thread to be had: the journal stays, laid over the file by every reader.
    } catch (const std::bad_alloc&) {
    }
}

void RecordRecovery::waitAll() {
    std::vector<Job> jobs;
    {
        std::lock_guard lock(m_mutex);
        jobs.swap(m_jobs);
    }
    for (Job& job : jobs) {
        job.thread.join();
    }
}

RecordRecovery& recordRecovery() {
    // The disk the replays write through is made first, so it is destroyed after the threads
    // that use it have been waited for.
    systemRecordDisk();
    static RecordRecovery recovery;
    return recovery;
}

}  // namespace tervo
