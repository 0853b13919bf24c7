#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tervo {

// Replays, on threads of their own, the journals that recorders' crashes left beside record
// files read with the journal laid over them (recoverRecordFile), so whoever waited on the read
// does not wait on writing and syncing what may be hundreds of megabytes. Meanwhile readers
// still read the last complete image: they lay the journal over the file, and read again when
// the replay changes what they read. A save that replaces the file in the meantime wins: the
// replay writes into the file it opened, and a journal naming a replaced file is dropped.
// Stopped half way (the process killed), a replay is finished by the next one, as after a
// crash.
class RecordRecovery {
public:
    RecordRecovery() = default;
    ~RecordRecovery();  // waits for the replays under way
    RecordRecovery(const RecordRecovery&) = delete;
    RecordRecovery& operator=(const RecordRecovery&) = delete;

    // Starts replaying the journal beside `path`. Where no thread can be had, nothing is done:
    // the journal stays, and the next reader lays it over the file again.
    void start(const std::string& path);
    // Waits for every replay started so far.
    void waitAll();

private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex m_mutex;
    std::vector<Job> m_jobs;
};

// The process's own; it outlives anything that starts a replay before main() ends.
RecordRecovery& recordRecovery();

}  // namespace tervo
