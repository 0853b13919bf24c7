#include "core/work/RecordWriter.h"

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

#include "core/io/ByteIo.h"
#include "core/io/FileIo.h"

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

// FNV-1a; `h` carries it on from the bytes before.
uint64_t checksum(const uint8_t* data, size_t size, uint64_t h = 14695981039346656037ull) {
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

// The file's length once the entries are replayed on a file of `fileSize` bytes; nullopt when
// they do not fit it (an entry starting beyond what the file holds by then was written for
// another file).
std::optional<uint64_t> replayedLength(uint64_t fileSize, const Journal& j) {
    uint64_t length = fileSize;
    for (const Entry& e : j.entries) {
        if (length < e.offset) {
            return std::nullopt;
        }
        length = std::max(length, e.length);
    }
    return j.entries.empty() ? fileSize : j.entries.back().length;
}

void putCounts(uint8_t* out, const Entry& e) {
    std::vector<uint8_t> counts;
    ByteWriter w(counts);
    w.u32(e.rows);
    w.u32(e.occurrences);
    std::copy(counts.begin(), counts.end(), out);
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

// Whether the entry at `at` (of `size` bytes, its checksum last) is whole, read through a small
// buffer.
bool entryIsWhole(int fd, uint64_t at, uint64_t size) {
    std::vector<uint8_t> chunk(std::min<uint64_t>(size, 1 << 16));
    uint64_t h = checksum(nullptr, 0);
    for (uint64_t done = 0; done < size - 8;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - 8 - done));
        if (!readAllAt(fd, chunk.data(), n, static_cast<off_t>(at + done))) {
            return false;
        }
        h = checksum(chunk.data(), n, h);
        done += n;
    }
    uint8_t stored[8];
    if (!readAllAt(fd, stored, 8, static_cast<off_t>(at + size - 8))) {
        return false;
    }
    ByteReader r(stored, 8);
    return getU64(r) == h;
}

// A journal's head and its whole entries, empty when there is none. An entry is taken into
// memory only once its checksum has been found right, so a torn or foreign tail costs no
// memory however long the file is.
// `owner` gets the journal's status (whose it is) when given.
std::vector<uint8_t> readJournal(int journalFd, struct stat* owner = nullptr) {
    const Fd fd(dup(journalFd));
    struct stat st {};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    if (owner != nullptr) {
        *owner = st;
    }
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    std::vector<uint8_t> bytes(std::min<uint64_t>(fileSize, kJournalHead));
    if (!readAllAt(fd.get(), bytes.data(), bytes.size(), 0)) {
        return {};
    }
    if (bytes.size() < kJournalHead || !std::equal(kMagic, kMagic + sizeof kMagic, bytes.data())) {
        return bytes;  // not a journal: the parse says so
    }
    uint64_t at = kJournalHead;
    while (fileSize - at >= kEntryHead + 8) {
        uint8_t head[8];
        if (!readAllAt(fd.get(), head, 8, static_cast<off_t>(at))) {
            break;
        }
        ByteReader r(head, 8);
        const uint64_t size = getU64(r);
        if (size < kEntryHead + 8 || size > fileSize - at || !entryIsWhole(fd.get(), at, size)) {
            break;
        }
        bytes.resize(at + size);
        if (!readAllAt(fd.get(), bytes.data() + at, size, static_cast<off_t>(at))) {
            bytes.resize(at);
            break;
        }
        at += size;
    }
    return bytes;
}

std::vector<uint8_t> readJournal(const std::string& path, struct stat* owner = nullptr) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    return fd.get() < 0 ? std::vector<uint8_t>{} : readJournal(fd.get(), owner);
}

// Whether a journal may change what the file reads: only its owner's journal may (or one root
// wrote, since root could write the file itself). Anyone who may write the folder can leave a
// journal with right checksums beside another user's file; that one is neither replayed nor
// laid over what is read.
bool journalTrusted(const struct stat& journal, const struct stat& file) {
    return journal.st_uid == file.st_uid || journal.st_uid == 0;
}

}  // namespace

std::string recordJournalPath(const std::string& recordPath) {
    return resolved(recordPath) + "-journal";
}

bool recoverRecordFile(const std::string& path) {
    const std::string journalPath = recordJournalPath(path);
    Fd journal(::open(journalPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (journal.get() < 0) {
        return true;  // no journal (or none we may touch): readers lay it over what they read
    }
    struct stat js {};
    if (fstat(journal.get(), &js) != 0 || !S_ISREG(js.st_mode)) {
        return true;
    }
    if (flock(journal.get(), LOCK_EX | LOCK_NB) != 0) {
        return true;  // a live writer holds it: the file is its business
    }
    const std::vector<uint8_t> journalBytes = readJournal(journal.get());
    const std::optional<Journal> j = parseJournal(journalBytes);
    const std::string target = resolved(path);
    struct stat fs {};
    const bool fileThere = ::stat(target.c_str(), &fs) == 0;
    if (fileThere ? !journalTrusted(js, fs) : (js.st_uid != geteuid() && js.st_uid != 0)) {
        // Another user's journal goes only once it is shown to name another file; whatever
        // else it holds stays as it is, unread.
        if (!fileThere || !j ||
            (static_cast<uint64_t>(fs.st_dev) == j->device &&
             static_cast<uint64_t>(fs.st_ino) == j->inode)) {
            return false;
        }
    } else if (j) {
        if (::stat(target.c_str(), &fs) != 0) {
            return false;  // nothing shows whose it is: it stays
        }
        const bool ours = static_cast<uint64_t>(fs.st_dev) == j->device &&
                          static_cast<uint64_t>(fs.st_ino) == j->inode;
        if (ours && !j->entries.empty()) {
            // Each entry's bytes go where the writer meant them, in order; then the last
            // counts and length. Replaying again after a crash in the middle gives the same
            // file. Whatever stops it (a file we may not write, entries that do not fit it)
            // leaves file and journal as they are: readers lay the journal over the file.
            Fd file(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
            if (file.get() < 0 || fstat(file.get(), &fs) != 0 ||
                static_cast<uint64_t>(fs.st_dev) != j->device ||
                static_cast<uint64_t>(fs.st_ino) != j->inode) {
                return false;
            }
            const std::optional<uint64_t> length =
                replayedLength(static_cast<uint64_t>(fs.st_size), *j);
            if (!length) {
                return false;
            }
            for (const Entry& e : j->entries) {
                if (!writeAllAt(file.get(), e.bytes, e.length - e.offset,
                                static_cast<off_t>(e.offset))) {
                    return false;
                }
            }
            uint8_t counts[8];
            putCounts(counts, j->entries.back());
            if (!writeAllAt(file.get(), counts, sizeof counts, kCountsOffset) ||
                ftruncate(file.get(), static_cast<off_t>(*length)) != 0 ||
                fdatasync(file.get()) != 0) {
                return false;
            }
        }
    }
    // Replayed, empty, torn before its first entry, or naming a file that has since been
    // replaced: nothing in it is needed any more.
    ::unlink(journalPath.c_str());
    syncDirectoryOf(journalPath);
    return true;
}

RecordImage::~RecordImage() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool RecordImage::open(const std::string& path) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_patches.clear();
    m_journalPath = recordJournalPath(path);
    struct stat js {};
    m_journal = readJournal(m_journalPath, &js);
    m_foreignJournal = false;
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat fs {};
    if (m_fd < 0 || fstat(m_fd, &fs) != 0 || !S_ISREG(fs.st_mode)) {
        return false;
    }
    m_fileSize = m_size = static_cast<uint64_t>(fs.st_size);
    const std::optional<Journal> j = parseJournal(m_journal);
    if (j && !m_journal.empty() && !journalTrusted(js, fs)) {
        m_foreignJournal = static_cast<uint64_t>(fs.st_dev) == j->device &&
                           static_cast<uint64_t>(fs.st_ino) == j->inode;
        return true;  // read as the disk holds it
    }
    if (!j || j->entries.empty() || static_cast<uint64_t>(fs.st_dev) != j->device ||
        static_cast<uint64_t>(fs.st_ino) != j->inode) {
        return true;  // no journal for this file: the disk holds the image
    }
    const std::optional<uint64_t> length = replayedLength(m_fileSize, *j);
    if (!length) {
        return true;
    }
    for (const Entry& e : j->entries) {
        Patch p;
        p.offset = e.offset;
        p.end = e.length;
        p.bytes = e.bytes;
        putCounts(p.counts, e);
        m_patches.push_back(p);
    }
    m_size = *length;
    return true;
}

bool RecordImage::read(uint64_t offset, uint8_t* out, size_t size) const {
    if (m_fd < 0 || offset > m_size || size > m_size - offset) {
        return false;
    }
    const uint64_t end = offset + size;
    const size_t fromDisk =
        offset < m_fileSize ? static_cast<size_t>(std::min(end, m_fileSize) - offset) : 0;
    if (fromDisk > 0 && !readAllAt(m_fd, out, fromDisk, static_cast<off_t>(offset))) {
        return false;
    }
    std::fill(out + fromDisk, out + size, uint8_t{0});
    // Laid over in the journal's order, as a replay writes them.
    const auto lay = [&](uint64_t from, uint64_t to, const uint8_t* bytes) {
        const uint64_t first = std::max(from, offset);
        const uint64_t last = std::min(to, end);
        if (first < last) {
            std::copy(bytes + (first - from), bytes + (last - from), out + (first - offset));
        }
    };
    for (const Patch& p : m_patches) {
        lay(p.offset, p.end, p.bytes);
        lay(kCountsOffset, kCountsOffset + sizeof p.counts, p.counts);
    }
    return true;
}

bool RecordImage::changedSinceOpen() const {
    return readJournal(m_journalPath) != m_journal;
}

bool useStableRecordImage(const std::string& path,
                          const std::function<void(const RecordImage&)>& use) {
    for (int attempt = 0;; ++attempt) {
        RecordImage image;
        if (!image.open(path)) {
            return false;
        }
        use(image);
        if (attempt < 50 && image.changedSinceOpen()) {
            // A live writer moved on while the file was read: read it again.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        return true;
    }
}

bool readRecordImage(const std::string& path, std::vector<uint8_t>& out) {
    bool read = false;
    return useStableRecordImage(path,
                                [&](const RecordImage& image) {
                                    out.resize(image.size());
                                    read = image.read(0, out.data(), out.size());
                                }) &&
           read;
}

// ---- RecordDisk ----

bool RecordDisk::sync(int fd) {
    return fdatasync(fd) == 0;
}

FileStatus RecordDisk::replace(const std::string& path, const WorkDefinition& work,
                               const int32_t* times, const double* values, size_t rows,
                               const EventOccurrence* occurrences, size_t occurrenceCount) {
    return writeRecordFile(path, work, times, values, rows, occurrences, occurrenceCount);
}

RecordDisk& systemRecordDisk() {
    static RecordDisk disk;
    return disk;
}

// ---- RecordWriter ----

RecordWriter::RecordWriter(std::string path, RecordDisk& disk)
    : m_path(resolved(path)), m_journalPath(recordJournalPath(path)), m_disk(disk) {}

RecordWriter::~RecordWriter() {
    if (m_journal < 0) {
        return;
    }
    if (m_dead) {
        ::close(m_journal);  // a writer stopped as if by a crash leaves its journal behind
        return;
    }
    if (m_journalOurs) {
        Fd file(::open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (file.get() >= 0 && m_disk.sync(file.get())) {
            ::unlink(m_journalPath.c_str());
        }
    } else if (m_journalWasEmpty) {
        ::unlink(m_journalPath.c_str());  // claimed, but nothing was ever written
    }
    // A journal of an earlier recording that could not be replayed stays for its readers.
    ::close(m_journal);
}

bool RecordWriter::claim() {
    if (m_journal >= 0) {
        return true;
    }
    // A journal a crash left behind is replayed first; what stays is locked with the rest.
    recoverRecordFile(m_path);
    // A reader replaying a journal holds its lock for a moment; a recorder holds it for good.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    for (;;) {
        const int fd =
            ::open(m_journalPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            return true;  // no journal here: nothing to lock, and the writes will say why
        }
        struct stat held {};
        struct stat named {};
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return true;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            if (!busy) {
                return true;  // a file system without locks
            }
            if (std::chrono::steady_clock::now() >= until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        // The recorder before us removes its journal as it ends: the lock counts only on the
        // journal the name still gives.
        if (::stat(m_journalPath.c_str(), &named) != 0 || named.st_dev != held.st_dev ||
            named.st_ino != held.st_ino) {
            ::close(fd);
            continue;
        }
        if (held.st_uid != geteuid()) {
            // Another user's journal is never ours to write in; the writes go whole until it
            // is shown to name a replaced file and removed.
            ::close(fd);
            return true;
        }
        m_journal = fd;
        m_journalWasEmpty = held.st_size == 0;
        syncDirectoryOf(m_journalPath);
        return true;
    }
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
    if (fstat(m_journal, &js) != 0 || !S_ISREG(js.st_mode) || js.st_uid != geteuid() ||
        flock(m_journal, LOCK_EX | LOCK_NB) != 0 || !resetJournal() || !m_disk.sync(m_journal)) {
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
    m_journalOurs = true;
    if (ftruncate(m_journal, 0) != 0 || !writeAllAt(m_journal, head.data(), head.size(), 0)) {
        return false;
    }
    m_journalSize = head.size();
    m_sinceCheckpoint = 0;
    return true;
}

bool RecordWriter::checkpoint(int fileFd) {
    if (!m_disk.sync(fileFd) || stop(5)) {
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
        m_disk.replace(m_path, work, times, values, rows, occurrences, occurrenceCount);
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
    if (!m_disk.sync(m_journal) || stop(2)) {
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
