#include "work/RecordWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "io/ByteIo.h"
#include "io/FileIo.h"

namespace tervo {

namespace {

// Where S and K sit in the record file's header.
constexpr off_t kCountsOffset = 228;
constexpr uint64_t kRecordHead = 236;

// The journal: a head naming the file it belongs to, then one entry per update.
constexpr char kMagic[8] = {'T', 'V', 'R', 'W', 'A', 'L', '0', '1'};
constexpr size_t kJournalHead = 40;
constexpr size_t kEntryHead = 40;
constexpr uint64_t kCheckpointBytes = 1 << 20;

struct Entry {
    uint64_t sequence = 0;
    uint32_t rows = 0;
    uint32_t occurrences = 0;
    uint64_t offset = 0;  // where the new bytes go: the end of the rows before the update
    uint64_t length = 0;  // the file's length after it
    const uint8_t* bytes = nullptr;  // length - offset of them
};

struct Journal {
    uint64_t device = 0;
    uint64_t inode = 0;
    std::vector<Entry> entries;  // the whole ones, in order
};

uint64_t checksum(const uint8_t* data, size_t size) {
    uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (size_t i = 0; i < size; ++i) {
        h = (h ^ data[i]) * 1099511628211ull;
    }
    return h;
}

void putU64(ByteWriter& w, uint64_t v) {
    w.u32(static_cast<uint32_t>(v));
    w.u32(static_cast<uint32_t>(v >> 32));
}

uint64_t getU64(ByteReader& r) {
    const uint64_t low = r.u32();
    const uint64_t high = r.u32();
    return low | (high << 32);
}

std::vector<uint8_t> journalHead(uint64_t device, uint64_t inode) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.bytes(kMagic, sizeof kMagic);
    putU64(w, device);
    putU64(w, inode);
    putU64(w, 0);
    putU64(w, checksum(out.data(), out.size()));
    return out;
}

std::vector<uint8_t> entryBytes(const Entry& e, const std::vector<uint8_t>& tail) {
    std::vector<uint8_t> out;
    out.reserve(kEntryHead + tail.size() + 8);
    ByteWriter w(out);
    putU64(w, kEntryHead + tail.size() + 8);
    putU64(w, e.sequence);
    w.u32(e.rows);
    w.u32(e.occurrences);
    putU64(w, e.offset);
    putU64(w, e.length);
    w.bytes(tail.data(), tail.size());
    putU64(w, checksum(out.data(), out.size()));
    return out;
}

// The journal's head and its whole entries; a torn or foreign tail ends the list. nullopt
// when the head itself is not whole.
std::optional<Journal> parseJournal(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < kJournalHead || !std::equal(kMagic, kMagic + sizeof kMagic, bytes.data()) ||
        [&] {
            ByteReader r(bytes.data() + 32, 8);
            return getU64(r) != checksum(bytes.data(), 32);
        }()) {
        return std::nullopt;
    }
    Journal j;
    ByteReader head(bytes.data() + 8, 16);
    j.device = getU64(head);
    j.inode = getU64(head);
    size_t at = kJournalHead;
    while (bytes.size() - at >= kEntryHead + 8) {
        ByteReader r(bytes.data() + at, bytes.size() - at);
        const uint64_t size = getU64(r);
        Entry e;
        e.sequence = getU64(r);
        e.rows = r.u32();
        e.occurrences = r.u32();
        e.offset = getU64(r);
        e.length = getU64(r);
        if (size < kEntryHead + 8 || size > bytes.size() - at || e.offset < kRecordHead ||
            e.length < e.offset || e.length - e.offset != size - kEntryHead - 8 ||
            (!j.entries.empty() && e.sequence != j.entries.back().sequence + 1)) {
            break;
        }
        ByteReader tail(bytes.data() + at + size - 8, 8);
        if (getU64(tail) != checksum(bytes.data() + at, size - 8)) {
            break;
        }
        e.bytes = bytes.data() + at + kEntryHead;
        j.entries.push_back(e);
        at += size;
    }
    return j;
}

uint32_t countAt(const std::vector<uint8_t>& bytes, size_t offset) {
    ByteReader r(bytes.data() + offset, 4);
    return r.u32();
}

// Replays the entries on an image of the file. Returns the offset from which the image
// changed (its length when nothing did); false when the entries do not fit the file.
bool replay(std::vector<uint8_t>& file, const Journal& j, uint64_t& changedFrom) {
    changedFrom = file.size();
    for (const Entry& e : j.entries) {
        if (file.size() < e.offset) {
            return false;  // not the file these entries were written for
        }
        if (file.size() < e.length) {
            file.resize(e.length);
        }
        std::copy(e.bytes, e.bytes + (e.length - e.offset),
                  file.begin() + static_cast<ptrdiff_t>(e.offset));
        std::vector<uint8_t> counts;
        ByteWriter w(counts);
        w.u32(e.rows);
        w.u32(e.occurrences);
        std::copy(counts.begin(), counts.end(), file.begin() + kCountsOffset);
        changedFrom = std::min<uint64_t>(changedFrom, e.offset);
    }
    if (!j.entries.empty()) {
        file.resize(j.entries.back().length);
    }
    return true;
}

// The whole of `size` bytes at `offset` through pread or pwrite, retried across signals and
// short transfers; false on an error or an end of file first.
template <typename Byte, typename Transfer>
bool transferAllAt(Transfer transfer, int fd, Byte* data, size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool writeAllAt(int fd, const uint8_t* data, size_t size, off_t offset) {
    return transferAllAt(::pwrite, fd, data, size, offset);
}

bool readAllAt(int fd, uint8_t* data, size_t size, off_t offset) {
    return transferAllAt(::pread, fd, data, size, offset);
}

// A journal's bytes, empty when there is none.
std::vector<uint8_t> readJournal(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, bytes)) {
        bytes.clear();
    }
    return bytes;
}

std::string resolved(const std::string& path) {
    std::string out = path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        out = real;
        free(real);
    }
    return out;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void syncDirectoryOf(const std::string& path) {
    const int dir = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

std::string recordJournalPath(const std::string& recordPath) {
    return resolved(recordPath) + "-journal";
}

bool recoverRecordFile(const std::string& path) {
    const std::string journalPath = recordJournalPath(path);
    Fd journal(::open(journalPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (journal.get() < 0) {
        return true;  // no journal (or none we may touch): nothing to replay
    }
    struct stat js {};
    if (fstat(journal.get(), &js) != 0 || !S_ISREG(js.st_mode)) {
        return true;
    }
    if (flock(journal.get(), LOCK_EX | LOCK_NB) != 0) {
        return true;  // a live writer holds it: the file is its business
    }
    const std::vector<uint8_t> journalBytes = readJournal(journalPath);
    const std::optional<Journal> j = parseJournal(journalBytes);
    const std::string target = resolved(path);
    Fd file(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    struct stat fs {};
    const bool applies = j && !j->entries.empty() && file.get() >= 0 &&
                         fstat(file.get(), &fs) == 0 && S_ISREG(fs.st_mode) &&
                         static_cast<uint64_t>(fs.st_dev) == j->device &&
                         static_cast<uint64_t>(fs.st_ino) == j->inode;
    if (applies) {
        std::vector<uint8_t> image;
        uint64_t from = 0;
        if (!readWholeFile(target, image) || !replay(image, *j, from) ||
            !writeAllAt(file.get(), image.data() + kCountsOffset, 8, kCountsOffset) ||
            !writeAllAt(file.get(), image.data() + from, image.size() - from,
                        static_cast<off_t>(from)) ||
            ftruncate(file.get(), static_cast<off_t>(image.size())) != 0 ||
            fdatasync(file.get()) != 0) {
            return false;  // the journal stays for the next try; readers replay in memory
        }
    }
    ::unlink(journalPath.c_str());
    syncDirectoryOf(journalPath);
    return true;
}

bool readRecordImage(const std::string& path, std::vector<uint8_t>& out) {
    const std::string journalPath = recordJournalPath(path);
    for (int attempt = 0;; ++attempt) {
        const std::vector<uint8_t> before = readJournal(journalPath);
        struct stat fs {};
        const bool identified = ::stat(path.c_str(), &fs) == 0;
        if (!readWholeFile(path, out)) {
            return false;
        }
        const std::vector<uint8_t> after = readJournal(journalPath);
        if (before != after && attempt < 50) {
            // A live writer moved on while the file was read: read it again.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        const std::optional<Journal> j = parseJournal(after);
        if (j && identified && static_cast<uint64_t>(fs.st_dev) == j->device &&
            static_cast<uint64_t>(fs.st_ino) == j->inode) {
            std::vector<uint8_t> image = out;
            uint64_t from = 0;
            if (replay(image, *j, from)) {
                out = std::move(image);
            }
        }
        return true;
    }
}

// ---- RecordWriter ----

RecordWriter::RecordWriter(std::string path)
    : m_path(resolved(path)), m_journalPath(recordJournalPath(path)) {}

RecordWriter::~RecordWriter() {
    if (m_journal < 0 || m_dead) {
        if (m_journal >= 0) {
            ::close(m_journal);  // a writer stopped as if by a crash leaves its journal behind
        }
        return;
    }
    Fd file(::open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (file.get() >= 0 && fdatasync(file.get()) == 0) {
        ::unlink(m_journalPath.c_str());
    }
    ::close(m_journal);
}

bool RecordWriter::stop(int step) {
    if (m_stopAfterStep == step) {
        m_dead = true;
        return true;
    }
    return false;
}

bool RecordWriter::openJournal() {
    if (m_journal >= 0) {
        return true;
    }
    m_journal = ::open(m_journalPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (m_journal < 0) {
        return false;
    }
    struct stat js {};
    if (fstat(m_journal, &js) != 0 || !S_ISREG(js.st_mode) ||
        flock(m_journal, LOCK_EX | LOCK_NB) != 0 || !resetJournal() || fdatasync(m_journal) != 0) {
        ::close(m_journal);
        m_journal = -1;
        return false;
    }
    // The journal must be found after a power cut before the record file is ever touched.
    syncDirectoryOf(m_journalPath);
    return true;
}

bool RecordWriter::resetJournal() {
    // Not synced here: until the next entry is synced with it, the entries it drops replay
    // harmlessly onto a file that already holds them.
    const std::vector<uint8_t> head = journalHead(m_image.device, m_image.inode);
    if (ftruncate(m_journal, 0) != 0 || !writeAllAt(m_journal, head.data(), head.size(), 0)) {
        return false;
    }
    m_journalSize = head.size();
    m_sinceCheckpoint = 0;
    return true;
}

bool RecordWriter::checkpoint(int fileFd) {
    if (fdatasync(fileFd) != 0 || stop(5)) {
        return false;
    }
    return resetJournal() && !stop(6);
}

FileStatus RecordWriter::write(const WorkDefinition& work, const int32_t* times,
                               const double* values, size_t rows,
                               const EventOccurrence* occurrences, size_t occurrenceCount) {
    m_lastBytes = 0;
    if (m_dead) {
        return FileStatus::CannotWrite;
    }
    if (m_image.valid) {
        std::vector<uint8_t> prefix;
        try {
            prefix = recordFileBytes(work, nullptr, nullptr, 0, nullptr, 0);
        } catch (const std::bad_alloc&) {
            return FileStatus::CannotWrite;
        }
        if (writeInPlace(prefix, work.channels.size(), times, values, rows, occurrences,
                         occurrenceCount)) {
            m_lastMethod = Method::InPlace;
            return FileStatus::Ok;
        }
        if (m_dead) {
            return FileStatus::CannotWrite;
        }
    }
    return writeWhole(work, times, values, rows, occurrences, occurrenceCount);
}

FileStatus RecordWriter::writeWhole(const WorkDefinition& work, const int32_t* times,
                                    const double* values, size_t rows,
                                    const EventOccurrence* occurrences, size_t occurrenceCount) {
    m_lastMethod = Method::Whole;
    m_image.valid = false;
    if (m_journal < 0) {
        recoverRecordFile(m_path);  // a journal left by a crash belongs to the old file
    }
    const FileStatus status =
        writeRecordFile(m_path, work, times, values, rows, occurrences, occurrenceCount);
    if (status != FileStatus::Ok) {
        return status;
    }
    const size_t n = work.channels.size();
    m_lastBytes = kRecordHead + n * ChannelInfo::kSize + work.events.size() * EventInfo::kSize +
                  rows * (4 + 8 * n) + occurrenceCount * 8;
    struct stat fs {};
    if (::stat(m_path.c_str(), &fs) != 0 || rows > UINT32_MAX || occurrenceCount > UINT32_MAX) {
        return status;  // written; the next cycle is written whole again
    }
    try {
        m_image.prefix = recordFileBytes(work, nullptr, nullptr, 0, nullptr, 0);
    } catch (const std::bad_alloc&) {
        return status;
    }
    m_image.rows = static_cast<uint32_t>(rows);
    m_image.occurrences = static_cast<uint32_t>(occurrenceCount);
    m_image.length = static_cast<uint64_t>(fs.st_size);
    m_image.device = static_cast<uint64_t>(fs.st_dev);
    m_image.inode = static_cast<uint64_t>(fs.st_ino);
    m_image.valid = m_image.length == m_lastBytes;
    if (m_journal >= 0 && !resetJournal()) {
        // The journal names the replaced file, so nothing in it can touch the new one.
        m_image.valid = false;
    }
    return status;
}

bool RecordWriter::writeInPlace(const std::vector<uint8_t>& prefix, size_t n, const int32_t* times,
                                const double* values, size_t rows,
                                const EventOccurrence* occurrences, size_t occurrenceCount) {
    if (prefix != m_image.prefix || rows < m_image.rows || occurrenceCount < m_image.occurrences ||
        rows > UINT32_MAX || occurrenceCount > UINT32_MAX) {
        return false;
    }
    const uint64_t rowBytes = 4 + 8 * n;
    const uint64_t offset = prefix.size() + rowBytes * m_image.rows;
    const uint64_t newLength = prefix.size() + rowBytes * rows + 8 * uint64_t{occurrenceCount};
    if (offset > m_image.length || prefix.size() < kRecordHead) {
        return false;
    }
    Fd file(::open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    struct stat fs {};
    if (file.get() < 0 || fstat(file.get(), &fs) != 0 || !S_ISREG(fs.st_mode) ||
        static_cast<uint64_t>(fs.st_size) != m_image.length ||
        static_cast<uint64_t>(fs.st_dev) != m_image.device ||
        static_cast<uint64_t>(fs.st_ino) != m_image.inode) {
        return false;  // changed behind our back
    }
    // What lies ahead of the rows must be what we wrote last.
    std::vector<uint8_t> head(prefix.size());
    if (!readAllAt(file.get(), head.data(), head.size(), 0) ||
        countAt(head, kCountsOffset) != m_image.rows ||
        countAt(head, kCountsOffset + 4) != m_image.occurrences ||
        !std::equal(head.begin(), head.begin() + kCountsOffset, prefix.begin()) ||
        !std::equal(head.begin() + kCountsOffset + 8, head.end(),
                    prefix.begin() + kCountsOffset + 8)) {
        return false;
    }
    if (!openJournal()) {
        return false;
    }

    std::vector<uint8_t> tail;
    std::vector<uint8_t> entry;
    try {
        tail.reserve(newLength - offset);
        ByteWriter w(tail);
        for (size_t row = m_image.rows; row < rows; ++row) {
            w.i32(times[row]);
            w.f64s(values + row * n, n);
        }
        for (size_t k = 0; k < occurrenceCount; ++k) {
            w.i32(occurrences[k].time);
            w.i32(occurrences[k].event);
        }
        Entry e;
        e.sequence = ++m_sequence;
        e.rows = static_cast<uint32_t>(rows);
        e.occurrences = static_cast<uint32_t>(occurrenceCount);
        e.offset = offset;
        e.length = newLength;
        entry = entryBytes(e, tail);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (m_stopAfterStep == 0) {
        writeAllAt(m_journal, entry.data(), entry.size() / 2, static_cast<off_t>(m_journalSize));
        stop(0);
        return false;
    }
    if (!writeAllAt(m_journal, entry.data(), entry.size(), static_cast<off_t>(m_journalSize)) ||
        stop(1)) {
        return false;
    }
    if (fdatasync(m_journal) != 0 || stop(2)) {
        return false;
    }
    m_journalSize += entry.size();
    // From here the update is safe in the journal: a failure below is mended by replaying it,
    // and the whole replace the caller then makes supersedes it anyway.
    std::vector<uint8_t> counts;
    ByteWriter c(counts);
    c.u32(static_cast<uint32_t>(rows));
    c.u32(static_cast<uint32_t>(occurrenceCount));
    if (!writeAllAt(file.get(), tail.data(), tail.size(), static_cast<off_t>(offset)) || stop(3) ||
        !writeAllAt(file.get(), counts.data(), counts.size(), kCountsOffset) || stop(4)) {
        return false;
    }
    m_image.rows = static_cast<uint32_t>(rows);
    m_image.occurrences = static_cast<uint32_t>(occurrenceCount);
    m_image.length = newLength;
    m_lastBytes = entry.size() + tail.size() + counts.size();
    if (++m_sinceCheckpoint >= m_checkpointEvery || m_journalSize >= kCheckpointBytes) {
        if (!checkpoint(file.get())) {
            // The update itself is safe in the journal; the next cycle is written whole.
            m_image.valid = false;
            return !m_dead;
        }
    }
    return true;
}

}  // namespace tervo
