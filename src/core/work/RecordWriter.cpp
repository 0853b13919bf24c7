#include "core/work/RecordWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "core/io/ByteIo.h"
#include "core/io/FileIo.h"

namespace tervo {

namespace {

// Where S and K sit in the record file's header.
constexpr off_t kCountsOffset = 228;
constexpr uint64_t kRecordHead = 236;

// The journal: a head naming the file it belongs to, then one entry per update. Version 1
// journals (an earlier release) hold patches only; version 2 ones may hold appends too.
constexpr char kMagicV1[8] = {'T', 'V', 'R', 'W', 'A', 'L', '0', '1'};
constexpr char kMagicV2[8] = {'T', 'V', 'R', 'W', 'A', 'L', '0', '2'};
constexpr size_t kJournalHead = 40;
constexpr size_t kEntryHead = 40;
constexpr uint64_t kCheckpointBytes = 1 << 20;
// The occurrence block is moved (written whole into journal and file) once the cycles kept in
// the journal since the file last held the whole image have cost this many times the move.
constexpr uint64_t kMoveRatio = 2;

// An entry: its payload's size, sequence and kind, the counts after it, and where it goes.
//   Patch (kind 0): the payload is the image's bytes from `offset` to `length`, its end.
//   Append (kind 1): the payload is new rows, which go at `offset` (the end of the rows), then
//     new occurrences, which go after the occurrence block; `length` is the image's length
//     before it. The occurrence block itself stays where it was.
enum EntryKind : uint32_t { kPatch = 0, kAppend = 1 };

struct Entry {
    uint32_t sequence = 0;
    uint32_t kind = kPatch;
    uint32_t rows = 0;
    uint32_t occurrences = 0;
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t at = 0;    // where the payload starts in the journal
    uint64_t size = 0;  // payload bytes
    uint64_t sum = 0;   // its checksum, as stored
    bool operator==(const Entry&) const = default;
};

struct Journal {
    bool v2 = true;
    uint64_t device = 0;
    uint64_t inode = 0;
    std::vector<Entry> entries;   // the whole ones, in order
    uint64_t end = kJournalHead;  // where the whole entries end
};

// FNV-1a; `h` carries it on from the bytes before. It checks the journal's head, and each
// entry of a version 1 journal.
uint64_t checksum(const uint8_t* data, size_t size, uint64_t h = 14695981039346656037ull) {
    for (size_t i = 0; i < size; ++i) {
        h = (h ^ data[i]) * 1099511628211ull;
    }
    return h;
}

// The entries of a version 2 journal: FNV-1a taken over little-endian 64-bit words (then the
// bytes left over), eight times faster, so a long run of appends is checked in a moment when
// it is replayed. Carried on across pieces whose sizes are multiples of 8.
uint64_t wordChecksum(const uint8_t* data, size_t size, uint64_t h = 14695981039346656037ull) {
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, data + i, 8);  // one load, not eight
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        h = (h ^ word) * 1099511628211ull;
    }
    return checksum(data + i, size - i, h);
}

uint64_t entryChecksum(bool v2, const uint8_t* data, size_t size,
                       uint64_t h = 14695981039346656037ull) {
    return v2 ? wordChecksum(data, size, h) : checksum(data, size, h);
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
    w.bytes(kMagicV2, sizeof kMagicV2);
    putU64(w, device);
    putU64(w, inode);
    putU64(w, 0);
    putU64(w, checksum(out.data(), out.size()));
    return out;
}

std::vector<uint8_t> entryHead(const Entry& e) {
    std::vector<uint8_t> out;
    out.reserve(kEntryHead);
    ByteWriter w(out);
    putU64(w, kEntryHead + e.size + 8);
    w.u32(e.sequence);
    w.u32(e.kind);
    w.u32(e.rows);
    w.u32(e.occurrences);
    putU64(w, e.offset);
    putU64(w, e.length);
    return out;
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

// Whether the entry at `at` (of `size` bytes, its checksum last) is whole, read through a
// buffer; `sum` gets the checksum stored.
bool entryIsWhole(bool v2, int fd, uint64_t at, uint64_t size, std::vector<uint8_t>& chunk,
                  uint64_t& sum) {
    chunk.resize(static_cast<size_t>(std::min<uint64_t>(size, 1 << 20)));
    uint64_t h = checksum(nullptr, 0);
    for (uint64_t done = 0; done < size - 8;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - 8 - done));
        if (!readAllAt(fd, chunk.data(), n, static_cast<off_t>(at + done))) {
            return false;
        }
        h = entryChecksum(v2, chunk.data(), n, h);
        done += n;
    }
    uint8_t stored[8];
    if (!readAllAt(fd, stored, 8, static_cast<off_t>(at + size - 8))) {
        return false;
    }
    ByteReader r(stored, 8);
    sum = getU64(r);
    return sum == h;
}

// The whole entries from `j.end` on (of a journal `fileSize` bytes long) added to `j`, read
// without taking the payloads into memory; a torn or foreign tail, or a break in the sequence,
// ends the list.
void scanEntries(int fd, uint64_t fileSize, Journal& j) {
    // Read through a window of a few megabytes: one read for many small entries.
    constexpr uint64_t kWindow = 4 << 20;
    std::vector<uint8_t> window;
    uint64_t windowAt = 0;
    const auto bytesAt = [&](uint64_t from, uint64_t size) -> const uint8_t* {
        if (from < windowAt || from + size > windowAt + window.size()) {
            window.resize(static_cast<size_t>(std::min(std::max(size, kWindow), fileSize - from)));
            windowAt = from;
            if (window.size() < size ||
                !readAllAt(fd, window.data(), window.size(), static_cast<off_t>(from))) {
                window.clear();
                return nullptr;
            }
        }
        return window.data() + (from - windowAt);
    };
    std::vector<uint8_t> chunk;
    uint64_t at = j.end;
    while (at <= fileSize && fileSize - at >= kEntryHead + 8) {
        const uint8_t* bytes = bytesAt(at, kEntryHead);
        if (bytes == nullptr) {
            break;
        }
        ByteReader h(bytes, kEntryHead);
        const uint64_t size = getU64(h);
        Entry e;
        e.sequence = h.u32();
        e.kind = h.u32();
        e.rows = h.u32();
        e.occurrences = h.u32();
        e.offset = getU64(h);
        e.length = getU64(h);
        e.at = at + kEntryHead;
        if (size < kEntryHead + 8 || size > fileSize - at || e.offset < kRecordHead ||
            (e.kind != kPatch && !(j.v2 && e.kind == kAppend)) ||
            (!j.entries.empty() && e.sequence != j.entries.back().sequence + 1)) {
            break;
        }
        bool whole = false;
        if (size <= kWindow) {
            const uint8_t* entry = bytesAt(at, size);
            if (entry != nullptr) {
                ByteReader stored(entry + size - 8, 8);
                e.sum = getU64(stored);
                whole = e.sum == entryChecksum(j.v2, entry, static_cast<size_t>(size - 8));
            }
        } else {
            whole = entryIsWhole(j.v2, fd, at, size, chunk, e.sum);
        }
        if (!whole) {
            break;
        }
        e.size = size - kEntryHead - 8;
        j.entries.push_back(e);
        at += size;
        j.end = at;
    }
}

// The journal's head, read from a journal `fileSize` bytes long; nullopt when it is not whole.
std::optional<Journal> readJournalHead(int fd, uint64_t fileSize) {
    uint8_t head[kJournalHead];
    if (fileSize < kJournalHead || !readAllAt(fd, head, kJournalHead, 0)) {
        return std::nullopt;
    }
    const bool v1 = std::equal(kMagicV1, kMagicV1 + 8, head);
    const bool v2 = std::equal(kMagicV2, kMagicV2 + 8, head);
    ByteReader sum(head + 32, 8);
    if ((!v1 && !v2) || getU64(sum) != checksum(head, 32)) {
        return std::nullopt;
    }
    Journal j;
    j.v2 = v2;
    ByteReader r(head + 8, 16);
    j.device = getU64(r);
    j.inode = getU64(r);
    return j;
}

// The journal's head and its whole entries. nullopt when the head itself is not whole.
// `owner` gets the journal's status (whose it is) when given.
std::optional<Journal> scanJournal(int fd, struct stat* owner = nullptr) {
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    if (owner != nullptr) {
        *owner = st;
    }
    std::optional<Journal> j = readJournalHead(fd, static_cast<uint64_t>(st.st_size));
    if (j) {
        scanEntries(fd, static_cast<uint64_t>(st.st_size), *j);
    }
    return j;
}

// Whether a journal may change what the file reads: only its owner's journal may (or one root
// wrote, since root could write the file itself). Anyone who may write the folder can leave a
// journal with right checksums beside another user's file; that one is neither replayed nor
// laid over what is read.
bool journalTrusted(const struct stat& journal, const struct stat& file) {
    return journal.st_uid == file.st_uid || journal.st_uid == 0;
}

uint32_t countAt(const std::vector<uint8_t>& bytes, size_t offset) {
    ByteReader r(bytes.data() + offset, 4);
    return r.u32();
}

// ---- the image a journal describes ----

// A run of the image's bytes: from the journal, or from the file at `at`.
struct Piece {
    uint64_t size = 0;
    bool journal = false;
    uint64_t at = 0;
};

// The record file's last complete image as the journal's entries make it from the file: the
// rows part (everything before the occurrence block) and the block, each a list of pieces.
class Plan {
public:
    // False when the entries do not fit a file of `fileSize` bytes (written for another file).
    // Entries that do not follow from the ones before end the plan there.
    bool build(const Journal& j, uint64_t fileSize) {
        m_front = {Piece{fileSize, false, 0}};
        m_block.clear();
        m_frontSize = m_length = fileSize;
        m_entries = 0;
        bool fromFile = true;
        for (const Entry& e : j.entries) {
            if (!apply(e, fromFile, fileSize)) {
                if (fromFile) {
                    return false;
                }
                break;
            }
            if (fromFile) {
                m_firstOffset = e.offset;
            }
            fromFile = false;
            ++m_entries;
            m_end = e.at + e.size + 8;
            m_rows = e.rows;
            m_occurrences = e.occurrences;
            m_sequence = e.sequence;
        }
        place();
        return true;
    }

    // A patch that ends the journal (its payload at `at`): the block as it now is.
    void applyBlockPatch(uint64_t at) {
        Entry e;
        e.kind = kPatch;
        e.offset = m_frontSize;
        e.length = m_length;
        e.rows = m_rows;
        e.occurrences = m_occurrences;
        e.at = at;
        e.size = m_length - m_frontSize;
        apply(e, false, 0);
        ++m_entries;
        ++m_sequence;
        m_end = at + e.size + 8;
        place();
    }

    size_t entries() const { return m_entries; }
    // Where the last entry the plan took ends in the journal.
    uint64_t end() const { return m_end; }
    uint64_t length() const { return m_length; }
    uint64_t rowsEnd() const { return m_frontSize; }
    uint32_t rows() const { return m_rows; }
    uint32_t occurrences() const { return m_occurrences; }
    uint32_t sequence() const { return m_sequence; }

    // Whether some of the image's bytes are the file's from another place (the block before
    // appends moved it): the file cannot be written in place before they are kept elsewhere.
    bool movesFileBytes() const {
        return std::any_of(m_placed.begin(), m_placed.end(), [](const Placed& p) {
            return !p.piece.journal && p.start != p.piece.at;
        });
    }
    // Whether the image takes bytes from the file at or after where the journal's first entry
    // goes. The file's bytes before it are those of the image the journal starts from: a
    // recorder (or a replay) writes only past them, and the counts, which it writes too, are
    // the last entry's in what is read.
    bool readsFileTail() const {
        return std::any_of(m_placed.begin(), m_placed.end(), [&](const Placed& p) {
            return !p.piece.journal && p.piece.at + p.piece.size > m_firstOffset;
        });
    }
    // Where the image's bytes first differ from the file's as it lies, the counts aside (what
    // a replay must write).
    uint64_t firstChange() const {
        for (const Placed& p : m_placed) {
            if (p.piece.journal || p.start != p.piece.at) {
                return p.start;
            }
        }
        return m_length;
    }

    // `size` image bytes from `offset`, read from the file and the journal; the counts are the
    // last entry's. `buffer` holds journal spans between calls.
    bool read(int file, int journal, uint64_t offset, uint8_t* out, size_t size,
              std::vector<uint8_t>& buffer) const {
        if (offset > m_length || size > m_length - offset) {
            return false;
        }
        const uint64_t end = offset + size;
        auto it = std::upper_bound(m_placed.begin(), m_placed.end(), offset,
                                   [](uint64_t o, const Placed& p) { return o < p.start; });
        if (it != m_placed.begin()) {
            --it;
        }
        while (it != m_placed.end() && it->start < end) {
            const uint64_t first = std::max(offset, it->start);
            const uint64_t last = std::min(end, it->start + it->piece.size);
            if (first >= last) {
                ++it;
                continue;
            }
            if (!it->piece.journal) {
                if (!readAllAt(file, out + (first - offset), last - first,
                               static_cast<off_t>(it->piece.at + (first - it->start)))) {
                    return false;
                }
                ++it;
                continue;
            }
            // A run of journal pieces in the journal's order is read in one go.
            const uint64_t spanStart = it->piece.at + (first - it->start);
            auto runEnd = it;
            uint64_t spanEnd = spanStart;
            while (runEnd != m_placed.end() && runEnd->start < end && runEnd->piece.journal &&
                   runEnd->piece.at + (std::max(offset, runEnd->start) - runEnd->start) >=
                       spanEnd &&
                   runEnd->piece.at + runEnd->piece.size - spanStart <= (8u << 20)) {
                const uint64_t l = std::min(end, runEnd->start + runEnd->piece.size);
                spanEnd = runEnd->piece.at + (l - runEnd->start);
                ++runEnd;
            }
            if (runEnd == it) {  // one piece larger than a span
                spanEnd = spanStart + (last - first);
                runEnd = std::next(it);
            }
            buffer.resize(static_cast<size_t>(spanEnd - spanStart));
            if (!readAllAt(journal, buffer.data(), buffer.size(), static_cast<off_t>(spanStart))) {
                return false;
            }
            for (; it != runEnd; ++it) {
                const uint64_t f = std::max(offset, it->start);
                const uint64_t l = std::min(end, it->start + it->piece.size);
                const uint64_t from = it->piece.at + (f - it->start) - spanStart;
                std::copy_n(buffer.data() + from, l - f, out + (f - offset));
            }
        }
        if (m_entries > 0 && offset < kCountsOffset + 8 && end > kCountsOffset) {
            uint8_t counts[8];
            for (int i = 0; i < 4; ++i) {
                counts[i] = static_cast<uint8_t>(m_rows >> (8 * i));
                counts[4 + i] = static_cast<uint8_t>(m_occurrences >> (8 * i));
            }
            for (uint64_t b = std::max<uint64_t>(offset, kCountsOffset);
                 b < std::min<uint64_t>(end, kCountsOffset + 8); ++b) {
                out[b - offset] = counts[b - kCountsOffset];
            }
        }
        return true;
    }

private:
    struct Placed {
        uint64_t start = 0;
        Piece piece;
    };

    bool apply(const Entry& e, bool fromFile, uint64_t fileSize) {
        if (e.kind == kPatch) {
            const uint64_t block = 8 * uint64_t{e.occurrences};
            if (e.offset > m_length || e.length < e.offset || e.length - e.offset != e.size ||
                e.length < block || e.length - block < e.offset) {
                return false;
            }
            splitAt(e.offset);
            m_block.clear();
            const uint64_t rowsPart = e.length - block - e.offset;
            push(m_front, Piece{rowsPart, true, e.at});
            push(m_block, Piece{block, true, e.at + rowsPart});
            m_frontSize = e.length - block;
            m_length = e.length;
            return true;
        }
        // An append: the image before it must be the one it was made on.
        if (e.length < e.offset || (e.length - e.offset) % 8 != 0) {
            return false;
        }
        const uint64_t before = (e.length - e.offset) / 8;
        if (fromFile) {
            if (e.length > fileSize) {
                return false;
            }
            m_front = {Piece{e.offset, false, 0}};
            m_block = {Piece{e.length - e.offset, false, e.offset}};
            m_frontSize = e.offset;
            m_length = e.length;
        } else if (e.length != m_length || e.offset != m_frontSize || before != m_occurrences ||
                   e.rows < m_rows) {
            return false;
        }
        if (e.occurrences < before || 8 * (e.occurrences - before) > e.size) {
            return false;
        }
        const uint64_t added = 8 * (e.occurrences - before);
        push(m_front, Piece{e.size - added, true, e.at});
        push(m_block, Piece{added, true, e.at + e.size - added});
        m_frontSize += e.size - added;
        m_length += e.size;
        return true;
    }

    static void push(std::deque<Piece>& list, const Piece& p) {
        if (p.size > 0) {
            list.push_back(p);
        }
    }

    // Moves pieces between the rows part and the block so that the rows part is `at` long.
    void splitAt(uint64_t at) {
        while (m_frontSize > at) {
            Piece& last = m_front.back();
            const uint64_t cut = std::min(last.size, m_frontSize - at);
            m_block.push_front(Piece{cut, last.journal, last.at + last.size - cut});
            last.size -= cut;
            m_frontSize -= cut;
            if (last.size == 0) {
                m_front.pop_back();
            }
        }
        while (m_frontSize < at && !m_block.empty()) {
            Piece& first = m_block.front();
            const uint64_t cut = std::min(first.size, at - m_frontSize);
            push(m_front, Piece{cut, first.journal, first.at});
            first.at += cut;
            first.size -= cut;
            m_frontSize += cut;
            if (first.size == 0) {
                m_block.pop_front();
            }
        }
    }

    void place() {
        m_placed.clear();
        uint64_t start = 0;
        for (const auto* list : {&m_front, &m_block}) {
            for (const Piece& p : *list) {
                if (!m_placed.empty() && m_placed.back().piece.journal == p.journal &&
                    m_placed.back().piece.at + m_placed.back().piece.size == p.at) {
                    m_placed.back().piece.size += p.size;
                } else {
                    m_placed.push_back(Placed{start, p});
                }
                start += p.size;
            }
        }
    }

    std::deque<Piece> m_front;
    std::deque<Piece> m_block;
    std::vector<Placed> m_placed;
    uint64_t m_frontSize = 0;
    uint64_t m_length = 0;
    uint32_t m_rows = 0;
    uint32_t m_occurrences = 0;
    uint32_t m_sequence = 0;
    size_t m_entries = 0;
    uint64_t m_end = kJournalHead;
    uint64_t m_firstOffset = 0;
};

// Appends a patch holding the plan's occurrence block to the journal, right after the last
// entry the plan took (anything after it is never replayed), and syncs it, so the file's block
// can be overwritten; then the plan takes it.
bool keepBlockInJournal(Plan& plan, int file, int journal, RecordDisk& disk) {
    const uint64_t end = plan.end();
    Entry e;
    e.sequence = plan.sequence() + 1;
    e.kind = kPatch;
    e.rows = plan.rows();
    e.occurrences = plan.occurrences();
    e.offset = plan.rowsEnd();
    e.length = plan.length();
    e.size = plan.length() - plan.rowsEnd();
    std::vector<uint8_t> bytes = entryHead(e);
    uint64_t h = wordChecksum(bytes.data(), bytes.size());
    uint64_t at = end;
    if (!disk.write(journal, bytes.data(), bytes.size(), static_cast<off_t>(at))) {
        return false;
    }
    at += bytes.size();
    std::vector<uint8_t> buffer;
    for (uint64_t done = 0; done < e.size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(e.size - done, 4 << 20));
        bytes.resize(n);
        if (!plan.read(file, journal, e.offset + done, bytes.data(), n, buffer) ||
            !disk.write(journal, bytes.data(), n, static_cast<off_t>(at))) {
            return false;
        }
        h = wordChecksum(bytes.data(), n, h);
        at += n;
        done += n;
    }
    bytes.clear();
    ByteWriter w(bytes);
    putU64(w, h);
    if (!disk.write(journal, bytes.data(), 8, static_cast<off_t>(at)) || !disk.sync(journal)) {
        return false;
    }
    plan.applyBlockPatch(end + kEntryHead);
    return true;
}

// Brings the file (`file`, open for writing) to the image its journal describes and makes it
// durable. Replaying again after a crash in the middle gives the same file: the block is kept
// in the journal before the file is touched.
bool replayJournal(int file, int journal, const Journal& j, RecordDisk& disk) {
    struct stat fs {};
    if (fstat(file, &fs) != 0 || static_cast<uint64_t>(fs.st_dev) != j.device ||
        static_cast<uint64_t>(fs.st_ino) != j.inode) {
        return false;
    }
    Plan plan;
    if (!plan.build(j, static_cast<uint64_t>(fs.st_size))) {
        return false;
    }
    if (plan.entries() == 0) {
        return true;
    }
    if (plan.movesFileBytes() && !keepBlockInJournal(plan, file, journal, disk)) {
        return false;
    }
    // What the file already holds (the move a crash cut short had written most of it) is not
    // written again, so the sync has only the rest to make durable.
    std::vector<uint8_t> chunk;
    std::vector<uint8_t> onDisk;
    std::vector<uint8_t> buffer;
    const auto put = [&](uint64_t at, size_t n) {
        chunk.resize(n);
        onDisk.resize(n);
        if (!plan.read(file, journal, at, chunk.data(), n, buffer)) {
            return false;
        }
        return (at + n <= static_cast<uint64_t>(fs.st_size) &&
                readAllAt(file, onDisk.data(), n, static_cast<off_t>(at)) && onDisk == chunk) ||
               disk.write(file, chunk.data(), n, static_cast<off_t>(at));
    };
    for (uint64_t at = plan.firstChange(); at < plan.length();) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(plan.length() - at, 4 << 20));
        if (!put(at, n)) {
            return false;
        }
        at += n;
    }
    if (!put(kCountsOffset, 8)) {
        return false;
    }
    return ftruncate(file, static_cast<off_t>(plan.length())) == 0 && disk.sync(file);
}

}  // namespace

std::string recordJournalPath(const std::string& recordPath) {
    return resolved(recordPath) + "-journal";
}

namespace {

bool replayJournalBeside(const std::string& path, RecordDisk& disk) {
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
    // Another replay may have finished with this journal and removed it while we waited for
    // its lock: the name may now be a recorder's new journal, which is not ours to remove.
    struct stat named {};
    if (::lstat(journalPath.c_str(), &named) != 0 || named.st_dev != js.st_dev ||
        named.st_ino != js.st_ino) {
        return true;
    }
    const std::optional<Journal> j = scanJournal(journal.get());
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
        if (!fileThere) {
            return false;  // nothing shows whose it is: it stays
        }
        const bool ours = static_cast<uint64_t>(fs.st_dev) == j->device &&
                          static_cast<uint64_t>(fs.st_ino) == j->inode;
        if (ours && !j->entries.empty()) {
            // Whatever stops the replay (a file we may not write, entries that do not fit it)
            // leaves file and journal as they are: readers lay the journal over the file.
            Fd file(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
            if (file.get() < 0 || !replayJournal(file.get(), journal.get(), *j, disk)) {
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

}  // namespace

bool recoverRecordFile(const std::string& path, RecordDisk& disk) {
    try {
        return replayJournalBeside(path, disk);
    } catch (const std::bad_alloc&) {
        // A long journal's entries did not fit in memory: it stays, laid over the file by
        // every reader, for a later replay.
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// ---- RecordRecovery ----

RecordRecovery::~RecordRecovery() {
    waitAll();
}

void RecordRecovery::start(const std::string& path, RecordDisk& disk) {
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
        std::string journal = recordJournalPath(path);
        std::thread thread([path, done, &disk] {
            recoverRecordFile(path, disk);
            done->store(true);
        });
        m_jobs.push_back(Job{std::move(journal), std::move(thread), done});
    } catch (const std::system_error&) {
        // No thread to be had: the journal stays, laid over the file by every reader.
    } catch (const std::bad_alloc&) {
    }
}

template <typename Which>
void RecordRecovery::waitForJobs(Which which) {
    std::vector<Job> jobs;
    {
        std::lock_guard lock(m_mutex);
        const auto picked = std::stable_partition(m_jobs.begin(), m_jobs.end(),
                                                  [&](const Job& job) { return !which(job); });
        std::move(picked, m_jobs.end(), std::back_inserter(jobs));
        m_jobs.erase(picked, m_jobs.end());
    }
    for (Job& job : jobs) {
        job.thread.join();
    }
}

void RecordRecovery::waitFor(const std::string& path) {
    const std::string journal = recordJournalPath(path);
    waitForJobs([&](const Job& job) { return job.journal == journal; });
}

void RecordRecovery::waitAll() {
    waitForJobs([](const Job&) { return true; });
}

RecordRecovery& recordRecovery() {
    // The disk the replays write through is made first, so it is destroyed after the threads
    // that use it have been waited for.
    systemRecordDisk();
    static RecordRecovery recovery;
    return recovery;
}

// ---- RecordImage ----

struct RecordImage::State {
    Plan plan;
    std::vector<uint8_t> buffer;
};

// The journal as open() found it (its head and last whole entry, the entries themselves left
// out), and what a live writer could change under what is read.
struct RecordImage::Seen {
    Journal journal;
    uint64_t fileSize = 0;
    // What is read takes bytes from the file that a recorder or a replay may overwrite.
    bool readsFileTail = true;
};

RecordImage::RecordImage() = default;

RecordImage::~RecordImage() {
    close();
}

void RecordImage::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_journalFd >= 0) {
        ::close(m_journalFd);
        m_journalFd = -1;
    }
    m_state.reset();
    m_seen.reset();
}

RecordImage::JournalLook RecordImage::lookAtJournal(const std::string& path) {
    JournalLook look;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        look.there = true;
        look.inode = static_cast<uint64_t>(st.st_ino);
        look.size = static_cast<uint64_t>(st.st_size);
        look.modified =
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    }
    return look;
}

bool RecordImage::open(const std::string& path) {
    close();
    m_journalPath = recordJournalPath(path);
    m_foreignJournal = false;
    m_journalSeen = lookAtJournal(m_journalPath);
    m_journalFd = ::open(m_journalPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    struct stat js {};
    std::optional<Journal> j = scanJournal(m_journalFd, &js);
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat fs {};
    if (m_fd < 0 || fstat(m_fd, &fs) != 0 || !S_ISREG(fs.st_mode)) {
        return false;
    }
    m_size = static_cast<uint64_t>(fs.st_size);
    if (j) {
        m_seen = std::make_unique<Seen>();
        m_seen->fileSize = m_size;
        m_seen->journal = *j;
        if (!j->entries.empty()) {
            m_seen->journal.entries.erase(m_seen->journal.entries.begin(),
                                          m_seen->journal.entries.end() - 1);
        }
    }
    const bool forThisFile = j && static_cast<uint64_t>(fs.st_dev) == j->device &&
                             static_cast<uint64_t>(fs.st_ino) == j->inode;
    if (j && !journalTrusted(js, fs)) {
        m_foreignJournal = forThisFile;
        return true;  // read as the disk holds it
    }
    if (!forThisFile || j->entries.empty()) {
        return true;  // no journal for this file: the disk holds the image
    }
    auto state = std::make_unique<State>();
    if (!state->plan.build(*j, m_size) || state->plan.entries() == 0) {
        return true;
    }
    m_size = state->plan.length();
    m_seen->readsFileTail = state->plan.readsFileTail();
    m_state = std::move(state);
    return true;
}

bool RecordImage::read(uint64_t offset, uint8_t* out, size_t size) const {
    if (m_fd < 0 || offset > m_size || size > m_size - offset) {
        return false;
    }
    if (!m_state) {
        return readAllAt(m_fd, out, size, static_cast<off_t>(offset));
    }
    return m_state->plan.read(m_fd, m_journalFd, offset, out, size, m_state->buffer);
}

bool RecordImage::changedSinceOpen() const {
    if (!m_seen) {
        // No journal was read: any change to it may be a recorder starting on the file.
        return !(lookAtJournal(m_journalPath) == m_journalSeen);
    }
    // A recorder only adds entries to its journal, each synced before it touches the file,
    // until a checkpoint starts the journal afresh; a replay adds the occurrence block first.
    const Journal& before = m_seen->journal;
    struct stat js {};
    struct stat fs {};
    if (fstat(m_journalFd, &js) != 0 || fstat(m_fd, &fs) != 0) {
        return true;
    }
    // Another journal under its name is a new recorder's, whose writes this descriptor does
    // not see: read again. (One removed since was done with: a recorder's last entries, and a
    // replay's kept block, went into it first, and are seen below.)
    const JournalLook named = lookAtJournal(m_journalPath);
    if (named.there && named.inode != static_cast<uint64_t>(js.st_ino)) {
        return true;
    }
    const auto journalSize = static_cast<uint64_t>(js.st_size);
    std::optional<Journal> now = readJournalHead(m_journalFd, journalSize);
    if (!now || now->v2 != before.v2 || now->device != before.device ||
        now->inode != before.inode || journalSize < before.end) {
        return true;
    }
    // The last entry read is still where it was: sequence numbers only grow while a recorder
    // lives, so the journal was not started afresh since (its entries, read, are unchanged).
    if (!before.entries.empty()) {
        const Entry& last = before.entries.back();
        uint8_t head[kEntryHead];
        uint8_t sum[8];
        if (!readAllAt(m_journalFd, head, kEntryHead, static_cast<off_t>(last.at - kEntryHead)) ||
            !readAllAt(m_journalFd, sum, 8, static_cast<off_t>(last.at + last.size)) ||
            !std::equal(head, head + kEntryHead, entryHead(last).begin())) {
            return true;
        }
        ByteReader r(sum, 8);
        if (getU64(r) != last.sum) {
            return true;
        }
    }
    now->entries = before.entries;
    now->end = before.end;
    scanEntries(m_journalFd, journalSize, *now);
    now->entries.erase(now->entries.begin(),
                       now->entries.begin() + static_cast<long>(before.entries.size()));
    // Appends leave the file alone; a patch (or the file's size moving) means bytes past the
    // rows the journal started from may have been written.
    const bool fileWritten = static_cast<uint64_t>(fs.st_size) != m_seen->fileSize ||
                             std::any_of(now->entries.begin(), now->entries.end(),
                                         [](const Entry& e) { return e.kind != kAppend; });
    return fileWritten && m_seen->readsFileTail;
}

StableRead useStableRecordImage(const std::string& path,
                                const std::function<void(const RecordImage&)>& use) {
    for (int attempt = 0;; ++attempt) {
        RecordImage image;
        if (!image.open(path)) {
            return StableRead::CannotOpen;
        }
        use(image);
        if (!image.changedSinceOpen()) {
            return StableRead::Read;
        }
        if (attempt >= 50) {
            // What was read may mix two images: never handed on as if it were one.
            return StableRead::KeptChanging;
        }
        // A live writer moved on under what was read: read it again.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool readRecordImage(const std::string& path, std::vector<uint8_t>& out) {
    bool read = false;
    return useStableRecordImage(path,
                                [&](const RecordImage& image) {
                                    out.resize(image.size());
                                    read = image.read(0, out.data(), out.size());
                                }) == StableRead::Read &&
           read;
}

// ---- RecordDisk ----

bool RecordDisk::write(int fd, const uint8_t* data, size_t size, off_t offset) {
    return writeAllAt(fd, data, size, offset);
}

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
        // The cycles still only in the journal go into the file (the journal's own replay),
        // and the file is made durable before the journal goes.
        Fd file(::open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        bool durable = false;
        if (file.get() >= 0) {
            if (m_filePending) {
                const std::optional<Journal> j = scanJournal(m_journal);
                durable = j && replayJournal(file.get(), m_journal, *j, m_disk);
            } else {
                durable = m_disk.sync(file.get());
            }
        }
        if (durable) {
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
    // A journal a crash left behind is replayed first (a replay this process began after
    // reading the file is waited for, as it holds the journal's lock meanwhile); what stays is
    // locked with the rest.
    recordRecovery().waitFor(m_path);
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

bool RecordWriter::put(int fd, const uint8_t* data, size_t size, uint64_t offset) {
    m_lastBytes += size;
    return m_disk.write(fd, data, size, static_cast<off_t>(offset));
}

bool RecordWriter::resetJournal() {
    // Not synced here: until the next entry is synced with it, the entries it drops replay
    // harmlessly onto a file that already holds them.
    const std::vector<uint8_t> head = journalHead(m_image.device, m_image.inode);
    m_journalOurs = true;
    if (ftruncate(m_journal, 0) != 0 || !put(m_journal, head.data(), head.size(), 0)) {
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
            m_lastMethod = m_filePending ? Method::Journal : Method::InPlace;
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
        return status;  // the journal, if any, still names the file it was made for
    }
    const size_t n = work.channels.size();
    const uint64_t length = kRecordHead + n * ChannelInfo::kSize +
                            work.events.size() * EventInfo::kSize + rows * (4 + 8 * n) +
                            occurrenceCount * 8;
    m_lastBytes += length;
    m_filePending = false;
    m_pendingBytes = 0;
    struct stat fs {};
    if (::stat(m_path.c_str(), &fs) != 0 || rows > UINT32_MAX || occurrenceCount > UINT32_MAX) {
        return status;  // written; the next cycle is written whole again
    }
    try {
        m_image.prefix = recordFileBytes(work, nullptr, nullptr, 0, nullptr, 0);
    } catch (const std::bad_alloc&) {
        return status;
    }
    m_image.rows = m_rows = static_cast<uint32_t>(rows);
    m_image.occurrences = m_occurrences = static_cast<uint32_t>(occurrenceCount);
    m_image.length = static_cast<uint64_t>(fs.st_size);
    m_image.device = static_cast<uint64_t>(fs.st_dev);
    m_image.inode = static_cast<uint64_t>(fs.st_ino);
    m_image.valid = m_image.length == length;
    if (m_journal >= 0 && !resetJournal()) {
        // The journal names the replaced file, so nothing in it can touch the new one.
        m_image.valid = false;
    }
    return status;
}

bool RecordWriter::writeInPlace(const std::vector<uint8_t>& prefix, size_t n, const int32_t* times,
                                const double* values, size_t rows,
                                const EventOccurrence* occurrences, size_t occurrenceCount) {
    if (prefix != m_image.prefix || rows < m_rows || occurrenceCount < m_occurrences ||
        rows > UINT32_MAX || occurrenceCount > UINT32_MAX || prefix.size() < kRecordHead) {
        return false;
    }
    const uint64_t rowBytes = 4 + 8 * n;
    const uint64_t fileRowsEnd = prefix.size() + rowBytes * m_image.rows;
    const uint64_t rowsEnd = prefix.size() + rowBytes * m_rows;  // where the new rows go
    const uint64_t lengthBefore = rowsEnd + 8 * uint64_t{m_occurrences};
    const uint64_t newLength = prefix.size() + rowBytes * rows + 8 * uint64_t{occurrenceCount};
    if (fileRowsEnd > m_image.length) {
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

    // Kept in the journal alone, this cycle costs its entry and, later, its rows in the file.
    // Moving the occurrence block (behind the new rows, in journal and file) costs twice the
    // block: it is done once the cycles kept since the file last held the whole image have cost
    // kMoveRatio times that, so the move, spread over them, stays within a cycle's own cost.
    const uint64_t newRows = rows - m_rows;
    const uint64_t newOccurrences = occurrenceCount - m_occurrences;
    const uint64_t keptCost = kEntryHead + 8 + 2 * rowBytes * newRows + 8 * newOccurrences;
    const uint64_t moveCost = 16 * uint64_t{occurrenceCount} + 8;
    const bool append = m_pendingBytes + keptCost < kMoveRatio * moveCost;

    std::vector<uint8_t> payload;
    std::vector<uint8_t> entry;
    try {
        payload.reserve(append ? rowBytes * newRows + 8 * newOccurrences : newLength - rowsEnd);
        ByteWriter w(payload);
        for (size_t row = m_rows; row < rows; ++row) {
            w.i32(times[row]);
            w.f64s(values + row * n, n);
        }
        for (size_t k = append ? m_occurrences : 0; k < occurrenceCount; ++k) {
            w.i32(occurrences[k].time);
            w.i32(occurrences[k].event);
        }
        Entry e;
        e.sequence = ++m_sequence;
        e.kind = append ? kAppend : kPatch;
        e.rows = static_cast<uint32_t>(rows);
        e.occurrences = static_cast<uint32_t>(occurrenceCount);
        e.offset = rowsEnd;
        e.length = append ? lengthBefore : newLength;
        e.size = payload.size();
        entry = entryHead(e);
        entry.insert(entry.end(), payload.begin(), payload.end());
        ByteWriter c(entry);
        putU64(c, wordChecksum(entry.data(), entry.size()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (m_stopAfterStep == 0) {
        put(m_journal, entry.data(), entry.size() / 2, m_journalSize);
        stop(0);
        return false;
    }
    if (!put(m_journal, entry.data(), entry.size(), m_journalSize) || stop(1)) {
        return false;
    }
    if (!m_disk.sync(m_journal) || stop(2)) {
        return false;
    }
    m_journalSize += entry.size();
    const uint32_t rowsBefore = m_rows;
    m_rows = static_cast<uint32_t>(rows);
    m_occurrences = static_cast<uint32_t>(occurrenceCount);
    if (append) {
        m_filePending = true;
        m_pendingBytes += keptCost;
        return true;
    }
    // From here the update is safe in the journal: a failure below is mended by replaying it,
    // and the whole replace the caller then makes supersedes it anyway. The rows kept in the
    // journal alone go into the file first, then this entry's rows and block, then the counts.
    std::vector<uint8_t> counts;
    ByteWriter c(counts);
    c.u32(static_cast<uint32_t>(rows));
    c.u32(static_cast<uint32_t>(occurrenceCount));
    try {
        std::vector<uint8_t> chunk;
        uint64_t at = fileRowsEnd;
        for (size_t row = m_image.rows; row < rowsBefore;) {
            chunk.clear();
            ByteWriter w(chunk);
            for (; row < rowsBefore && chunk.size() < (1u << 20); ++row) {
                w.i32(times[row]);
                w.f64s(values + row * n, n);
            }
            if (!put(file.get(), chunk.data(), chunk.size(), at)) {
                return false;
            }
            at += chunk.size();
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!put(file.get(), payload.data(), payload.size(), rowsEnd) || stop(3) ||
        !put(file.get(), counts.data(), counts.size(), kCountsOffset) || stop(4)) {
        return false;
    }
    m_image.rows = m_rows;
    m_image.occurrences = m_occurrences;
    m_image.length = newLength;
    m_filePending = false;
    m_pendingBytes = 0;
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
