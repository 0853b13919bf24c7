#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/work/WorkFileLayout.h"

namespace tervo {

// What the record writer asks of the disk beyond plain writes: making a file's bytes durable,
// and replacing the record file whole. Tests and benchmarks slow it down or make it fail.
class RecordDisk {
public:
    virtual ~RecordDisk() = default;
    // pwrite of all `size` bytes at `offset` (journal and record file alike).
    virtual bool write(int fd, const uint8_t* data, size_t size, off_t offset);
    // fdatasync: false when the bytes could not be made durable.
    virtual bool sync(int fd);
    // writeRecordFile.
    virtual FileStatus replace(const std::string& path, const WorkDefinition& work,
                               const int32_t* times, const double* values, size_t rows,
                               const EventOccurrence* occurrences, size_t occurrenceCount);
};

// The system's calls.
RecordDisk& systemRecordDisk();

// Writes the record file of a recording after every cycle. The first write puts the whole
// image in place atomically. Every later one touches only what changed, so a cycle costs the
// same at the end of a month as at its start. A redo journal beside the file ("-journal")
// makes that safe; one cycle's update is
//
//   1. its entry appended to the journal, with a checksum: either a patch (the new rows and the
//      whole occurrence block that follows them, with where they go) or an append (the new
//      rows and the new occurrences alone), with the new counts
//   2. the journal synced (from here on the update survives a crash)
//   3. for a patch: the rows kept in the journal alone so far, then the patch's rows and block,
//      written into the file
//   4. for a patch: the new counts written
//
// and, after a patch, every 64 cycles (or 1 MB of journal) a checkpoint:
//
//   5. the file synced
//   6. the journal emptied
//
// A new row goes where the occurrence block lay, so writing the rows in place means writing the
// whole block again behind them: with an event that fires every cycle, that grows with the
// recording. So once the block is large a cycle is kept as an append, and the file is left as
// the earlier whole image it holds; the block is moved (a patch) once the appends since cost
// twice what the move costs, which keeps the bytes written per cycle, amortised, within a fixed
// multiple of a cycle's own. Without occurrences every cycle is a patch and the file holds
// every cycle's image.
//
// One sync a cycle. After a crash the file is brought to its last complete image by
// replaying the journal's whole entries in order (a torn last entry is ignored); until then a
// program that reads the file directly sees an earlier image (the last cycles missing) or, in
// the middle of a patch, a half written one. Anything unexpected (the file changed behind our
// back, the definition changed, a short write) makes that cycle a whole atomic replace instead.
// At every checkpoint, and once the writer ends, the bytes on disk are exactly
// recordFileBytes() of the same data; readers that lay the journal over the file
// (RecordImage) see them after every write.
class RecordWriter {
public:
    explicit RecordWriter(std::string path, RecordDisk& disk = systemRecordDisk());
    ~RecordWriter();  // a last checkpoint, then the journal is removed
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Takes the record file for this recording: its journal, locked for as long as the writer
    // lives, so a second recorder into the same file (another window or process) is refused
    // at once. False when another recorder holds it. Where no journal can be made (a folder
    // that is missing or not ours) there is nothing to lock; the writes then say why.
    bool claim();

    FileStatus write(const WorkDefinition& work, const int32_t* times, const double* values,
                     size_t rows, const EventOccurrence* occurrences, size_t occurrenceCount);

    // Whole: the file replaced; InPlace: the file holds the image; Journal: the cycle is kept
    // in the journal alone, the file holding an earlier image until the block is moved.
    enum class Method { None, Whole, InPlace, Journal };
    Method lastMethod() const { return m_lastMethod; }
    // Bytes the last write handed to the file system, the journal's included.
    uint64_t lastBytesWritten() const { return m_lastBytes; }

    // For tests. A checkpoint every `cycles` in-place updates.
    void setCheckpointEvery(int cycles) { m_checkpointEvery = cycles; }
    // The first in-place update that reaches step `step` stops dead after it (0: half of its
    // journal entry written; 1..6 as above; steps 3 to 6 are reached by patches only), as a
    // crash would: file and journal stay as they are, write() reports CannotWrite and the
    // writer does nothing more, not even on destruction.
    void stopAfterStep(int step) { m_stopAfterStep = step; }

private:
    struct Image {
        bool valid = false;
        std::vector<uint8_t> prefix;  // the bytes before the rows, with S and K as zero
        uint32_t rows = 0;
        uint32_t occurrences = 0;
        uint64_t length = 0;
        uint64_t device = 0;
        uint64_t inode = 0;
    };

    FileStatus writeWhole(const WorkDefinition& work, const int32_t* times, const double* values,
                          size_t rows, const EventOccurrence* occurrences, size_t occurrenceCount);
    // False when the update could not be made in place; the caller then writes it whole.
    bool writeInPlace(const std::vector<uint8_t>& prefix, size_t channels, const int32_t* times,
                      const double* values, size_t rows, const EventOccurrence* occurrences,
                      size_t occurrenceCount);
    bool openJournal();
    // Starts the journal afresh for the file as it is now (m_image's device and inode).
    bool resetJournal();
    bool checkpoint(int fileFd);
    bool stop(int step);
    // A write through the disk, counted in lastBytesWritten().
    bool put(int fd, const uint8_t* data, size_t size, uint64_t offset);

    std::string m_path;
    std::string m_journalPath;
    RecordDisk& m_disk;
    int m_journal = -1;
    bool m_journalOurs = false;      // started afresh for a file we wrote
    bool m_journalWasEmpty = false;  // as claim() found it
    uint64_t m_journalSize = 0;
    uint32_t m_sequence = 0;
    // The image as of the last write; the file (m_image) lags behind while cycles are kept in
    // the journal alone.
    uint32_t m_rows = 0;
    uint32_t m_occurrences = 0;
    bool m_filePending = false;
    uint64_t m_pendingBytes = 0;  // what the cycles kept since have cost
    int m_sinceCheckpoint = 0;
    int m_checkpointEvery = 64;
    bool m_dead = false;
    Image m_image;
    Method m_lastMethod = Method::None;
    uint64_t m_lastBytes = 0;
    int m_stopAfterStep = -1;
};

std::string recordJournalPath(const std::string& recordPath);

// Brings a record file whose recorder died to its last complete image by replaying the
// journal beside it, then removes the journal; nothing happens while a live writer holds the
// journal. A journal is removed unapplied only when it names another file (one replaced
// since). False when a journal could not be applied (the file is read-only, say, or gone):
// both stay as they are, and readers lay the journal over what they read. A journal whose
// owner is neither the file's owner nor root is never replayed nor laid over, and stays
// unless it names another file (false then too). Readers meanwhile read the last complete
// image: the replay keeps the occurrence block in the journal before it overwrites it in the
// file. `disk` makes the replay's writes and syncs.
bool recoverRecordFile(const std::string& path, RecordDisk& disk = systemRecordDisk());

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

    // Starts replaying the journal beside `path` (through `disk`, which outlives the replay).
    // Where no thread can be had, nothing is done: the journal stays, and the next reader lays
    // it over the file again.
    void start(const std::string& path, RecordDisk& disk = systemRecordDisk());
    // Waits for the replays of the file at `path` (by whatever name) started so far.
    void waitFor(const std::string& path);
    // Waits for every replay started so far.
    void waitAll();

private:
    struct Job {
        std::string journal;  // the journal's path, its file's name resolved
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // Takes the jobs `which` picks out of the list and waits for them.
    template <typename Which>
    void waitForJobs(Which which);
    std::mutex m_mutex;
    std::vector<Job> m_jobs;
};

// The process's own; it outlives anything that starts a replay before main() ends.
RecordRecovery& recordRecovery();

// A record file as its last complete image, read piece by piece: the bytes on disk with the
// entries of a journal that a live writer holds (or that could not be applied) laid over them.
// Nothing is read until asked, so opening a long recording needs no copy of the file.
class RecordImage {
public:
    RecordImage();
    ~RecordImage();
    RecordImage(const RecordImage&) = delete;
    RecordImage& operator=(const RecordImage&) = delete;

    // False when the file cannot be opened or is not a regular file (a FIFO or device is
    // refused at once, never waited on).
    bool open(const std::string& path);
    uint64_t size() const { return m_size; }
    // `size` bytes from `offset`; false past the end or when the file cannot be read.
    bool read(uint64_t offset, uint8_t* out, size_t size) const;
    // True when a live writer (or a replay) may have changed bytes that read() takes from
    // file or journal since open(): what was read may mix two images. Cycles that a writer
    // only adds to its journal, or bytes it writes past what is read, do not count.
    bool changedSinceOpen() const;
    // A journal lay beside the file: recoverRecordFile may bring the file up to it (it leaves
    // a live writer's alone).
    bool journalBeside() const { return m_journalFd >= 0; }
    // A journal naming this file lies beside it, left by a user other than the file's owner
    // (or root): it was not laid over what is read.
    bool foreignJournal() const { return m_foreignJournal; }

private:
    struct State;  // the image the journal describes, read from file and journal
    struct Seen;   // the journal as open() found it
    struct JournalLook {
        bool there = false;
        uint64_t inode = 0;
        uint64_t size = 0;
        int64_t modified = 0;
        bool operator==(const JournalLook&) const = default;
    };
    static JournalLook lookAtJournal(const std::string& path);
    void close();

    int m_fd = -1;
    int m_journalFd = -1;
    std::string m_journalPath;
    JournalLook m_journalSeen;
    std::unique_ptr<State> m_state;
    std::unique_ptr<Seen> m_seen;
    uint64_t m_size = 0;
    bool m_foreignJournal = false;
};

// Opens the file's image and hands it to `use`, again while a live writer changes what was
// read under it (up to 50 times more, 2 ms apart). KeptChanging: every read was changed under
// it, so none is to be taken as the file.
enum class StableRead { Read, CannotOpen, KeptChanging };
StableRead useStableRecordImage(const std::string& path,
                                const std::function<void(const RecordImage&)>& use);

// The file's whole image in memory (for tests and small files). False when the file cannot be
// read.
bool readRecordImage(const std::string& path, std::vector<uint8_t>& out);

}  // namespace tervo
