#include "core/work/WorkFileLayout.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include "core/io/ByteIo.h"
#include "core/io/FileIo.h"
#include "core/text/Gbk.h"

namespace tervo {

namespace {

const std::string& templateHeader() {
    static const std::string header = utf8ToGbk("Quorvex5工作模板");
    return header;
}

const std::string& recordHeader() {
    static const std::string header = utf8ToGbk("Quorvex5控制软件");
    return header;
}

constexpr size_t kHeaderBytes = 16;
constexpr size_t kTemplateHead = 228;
constexpr size_t kRecordHead = 236;

// Offsets 16..219, the same in both files.
void writeDefinitionHead(ByteWriter& w, const WorkDefinition& d) {
    w.f64(d.valueMin);
    w.f64(d.valueMax);
    w.i32(d.timing.samplingPeriod);
    w.i32(d.timing.displayPeriod);
    w.u32(d.backgroundColour);
    w.u32(d.timeAxisColour);
    w.u32(d.timeRulerColour);
    w.u32(d.valueAxisColour);
    w.u32(d.valueRulerColour);
    for (const ChannelStyle& s : d.styles) {
        w.u32(s.colour);
        w.i32(s.penWidth);
    }
}

void readDefinitionHead(ByteReader& r, WorkDefinition& d) {
    d.valueMin = r.f64();
    d.valueMax = r.f64();
    d.timing.samplingPeriod = r.i32();
    d.timing.displayPeriod = r.i32();
    d.backgroundColour = r.u32();
    d.timeAxisColour = r.u32();
    d.timeRulerColour = r.u32();
    d.valueAxisColour = r.u32();
    d.valueRulerColour = r.u32();
    for (ChannelStyle& s : d.styles) {
        s.colour = r.u32();
        s.penWidth = r.i32();
    }
}

void writeChannel(ByteWriter& w, const ChannelInfo& c) {
    w.bytes(c.name.data(), c.name.size());
    w.i32(c.parameterCode);
    w.u8(c.port);
    w.u8(c.baud);
    w.u8(c.address);
    w.bytes(c.reserved1.data(), c.reserved1.size());
    w.f64(c.displayCoefficient);
    w.f64(c.offsetCoefficient);
    w.u8(c.downloadFlag);
    w.bytes(c.curvePath.data(), c.curvePath.size());
    w.bytes(c.reserved2.data(), c.reserved2.size());
}

void readChannel(ByteReader& r, ChannelInfo& c) {
    r.bytes(c.name.data(), c.name.size());
    c.parameterCode = r.i32();
    c.port = r.u8();
    c.baud = r.u8();
    c.address = r.u8();
    r.bytes(c.reserved1.data(), c.reserved1.size());
    c.displayCoefficient = r.f64();
    c.offsetCoefficient = r.f64();
    c.downloadFlag = r.u8();
    r.bytes(c.curvePath.data(), c.curvePath.size());
    r.bytes(c.reserved2.data(), c.reserved2.size());
}

void writeEvent(ByteWriter& w, const EventInfo& e) {
    w.bytes(e.name.data(), e.name.size());
    w.i32(e.type);
    w.i32(e.compare);
    w.i32(e.data1);
    w.i32(e.data2);
    w.f64(e.data2Constant);
    w.i32(e.data3);
    w.bytes(e.reserved.data(), e.reserved.size());
    w.f64(e.data3Constant);
}

void readEvent(ByteReader& r, EventInfo& e) {
    r.bytes(e.name.data(), e.name.size());
    e.type = r.i32();
    e.compare = r.i32();
    e.data1 = r.i32();
    e.data2 = r.i32();
    e.data2Constant = r.f64();
    e.data3 = r.i32();
    r.bytes(e.reserved.data(), e.reserved.size());
    e.data3Constant = r.f64();
}

void writeChannelsAndEvents(ByteWriter& w, const WorkDefinition& d) {
    for (const ChannelInfo& c : d.channels) {
        writeChannel(w, c);
    }
    for (const EventInfo& e : d.events) {
        writeEvent(w, e);
    }
}

// Reads the counted records; false when the bytes run out first.
bool readChannelsAndEvents(ByteReader& r, WorkDefinition& d, uint32_t n, uint32_t e) {
    if (n > r.remaining() / ChannelInfo::kSize ||
        e > (r.remaining() - n * ChannelInfo::kSize) / EventInfo::kSize) {
        return false;
    }
    d.channels.resize(n);
    for (ChannelInfo& c : d.channels) {
        readChannel(r, c);
    }
    d.events.resize(e);
    for (EventInfo& ev : d.events) {
        readEvent(r, ev);
    }
    return r.ok();
}

}  // namespace

FileStatus loadWorkTemplate(const std::string& path, WorkDefinition& out) {
    // Bytes after the events are ignored, so no more than the largest template is read.
    constexpr size_t kLargest =
        kTemplateHead + kMaxChannels * ChannelInfo::kSize + kMaxEvents * EventInfo::kSize;
    std::vector<uint8_t> bytes;
    if (!readFileHead(path, kLargest, bytes)) {
        return FileStatus::CannotOpen;
    }
    return parseWorkTemplate(bytes, out);
}

FileStatus parseWorkTemplate(const std::vector<uint8_t>& bytes, WorkDefinition& out) {
    ByteReader r(bytes);
    std::string header(kHeaderBytes, '\0');
    r.bytes(header.data(), kHeaderBytes);
    if (!r.ok() || header != templateHeader()) {
        return FileStatus::Bad;
    }
    WorkDefinition d;
    readDefinitionHead(r, d);
    const uint32_t n = r.u32();
    const uint32_t e = r.u32();
    if (!r.ok() || n > kMaxChannels || e > kMaxEvents) {
        return FileStatus::Bad;
    }
    // The records are taken as they are; a template whose records are cut short is refused
    // whole rather than loaded with made-up channels.
    if (!readChannelsAndEvents(r, d, n, e)) {
        return FileStatus::Bad;
    }
    out = std::move(d);
    return FileStatus::Ok;
}

std::vector<uint8_t> workTemplateBytes(const WorkDefinition& work) {
    std::vector<uint8_t> bytes;
    bytes.reserve(kTemplateHead + work.channels.size() * ChannelInfo::kSize +
                  work.events.size() * EventInfo::kSize);
    ByteWriter w(bytes);
    w.bytes(templateHeader().data(), kHeaderBytes);
    writeDefinitionHead(w, work);
    w.i32(static_cast<int32_t>(work.channels.size()));
    w.i32(static_cast<int32_t>(work.events.size()));
    writeChannelsAndEvents(w, work);
    return bytes;
}

FileStatus saveWorkTemplate(const std::string& path, const WorkDefinition& work) {
    return writeFileAtomically(path, workTemplateBytes(work)) ? FileStatus::Ok
                                                              : FileStatus::CannotWrite;
}

namespace {

// The record file layout, produced in chunks of about a megabyte so that even a week's file
// never needs a second copy of itself in memory.
template <typename Emit>
void produceRecordFile(const WorkDefinition& work, const int32_t* times, const double* values,
                       size_t rows, const EventOccurrence* occurrences, size_t occurrenceCount,
                       Emit&& emit) {
    constexpr size_t kChunk = 1 << 20;
    const size_t n = work.channels.size();
    std::vector<uint8_t> chunk;
    chunk.reserve(kChunk + kRecordHead + n * ChannelInfo::kSize +
                  work.events.size() * EventInfo::kSize + 4 + 8 * n);
    ByteWriter w(chunk);
    w.bytes(recordHeader().data(), kHeaderBytes);
    writeDefinitionHead(w, work);
    w.i32(static_cast<int32_t>(n));
    w.i32(static_cast<int32_t>(work.events.size()));
    w.u32(static_cast<uint32_t>(rows));
    w.u32(static_cast<uint32_t>(occurrenceCount));
    writeChannelsAndEvents(w, work);
    // The rows, a chunk at a time: each row's time stamp and values copied in whole.
    const size_t rowBytes = 4 + 8 * n;
    const size_t perChunk = std::max<size_t>(1, kChunk / rowBytes);
    for (size_t row = 0; row < rows;) {
        const size_t batch = std::min(perChunk, rows - row);
        const size_t at = chunk.size();
        chunk.resize(at + batch * rowBytes);
        uint8_t* p = chunk.data() + at;
        for (const size_t end = row + batch; row < end; ++row, p += rowBytes) {
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(p, &times[row], 4);
                if (n > 0) {  // no values: the array may be null
                    std::memcpy(p + 4, values + row * n, 8 * n);
                }
            } else {
                std::vector<uint8_t> one;
                ByteWriter b(one);
                b.i32(times[row]);
                b.f64s(values + row * n, n);
                std::copy(one.begin(), one.end(), p);
            }
        }
        emit(chunk);
        chunk.clear();
    }
    for (size_t k = 0; k < occurrenceCount; ++k) {
        w.i32(occurrences[k].time);
        w.i32(occurrences[k].event);
    }
    emit(chunk);
}

}  // namespace

std::vector<uint8_t> recordFileBytes(const WorkDefinition& work, const int32_t* times,
                                     const double* values, size_t rows,
                                     const EventOccurrence* occurrences, size_t occurrenceCount) {
    std::vector<uint8_t> bytes;
    produceRecordFile(work, times, values, rows, occurrences, occurrenceCount,
                      [&](const std::vector<uint8_t>& chunk) {
                          bytes.insert(bytes.end(), chunk.begin(), chunk.end());
                      });
    return bytes;
}

FileStatus writeRecordFile(const std::string& path, const WorkDefinition& work,
                           const int32_t* times, const double* values, size_t rows,
                           const EventOccurrence* occurrences, size_t occurrenceCount) {
    try {
        AtomicFile file(path);
        // A file that cannot even be created is not worth laying out a long recording for,
        // cycle after cycle, while the operator sees to the disk.
        if (!file.ok()) {
            return FileStatus::CannotWrite;
        }
        produceRecordFile(
            work, times, values, rows, occurrences, occurrenceCount,
            [&](const std::vector<uint8_t>& chunk) { file.write(chunk.data(), chunk.size()); });
        return file.commit() ? FileStatus::Ok : FileStatus::CannotWrite;
    } catch (const std::bad_alloc&) {
        return FileStatus::CannotWrite;
    }
}

FileStatus writeRecording(const std::string& path, const Recording& recording) {
    return writeRecordFile(path, recording.definition, recording.times.data(),
                           recording.values.data(), recording.times.size(),
                           recording.occurrences.data(), recording.occurrences.size());
}

namespace {

// A record file in memory, read the way a file's image is.
class MemoryBytes : public RecordSource {
public:
    explicit MemoryBytes(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    uint64_t size() const override { return m_bytes.size(); }
    bool read(uint64_t offset, uint8_t* out, size_t size) const override {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
            return false;
        }
        std::copy_n(m_bytes.begin() + static_cast<ptrdiff_t>(offset), size, out);
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
};

// Reads `count` records of `recordBytes` each from `offset` on, about a megabyte at a time
// through `chunk`, and hands `take` a reader on each record with its index. False when the
// bytes run out.
template <typename Take>
bool readRecords(const RecordSource& source, std::vector<uint8_t>& chunk, uint64_t& offset,
                 uint64_t count, size_t recordBytes, Take&& take) {
    constexpr size_t kChunkBytes = 1 << 20;
    const uint64_t perChunk = std::max<size_t>(1, kChunkBytes / recordBytes);
    chunk.resize(static_cast<size_t>(std::min(perChunk, count)) * recordBytes);
    for (uint64_t done = 0; done < count;) {
        const size_t records = static_cast<size_t>(std::min(perChunk, count - done));
        const size_t bytes = records * recordBytes;
        if (!source.read(offset, chunk.data(), bytes)) {
            return false;
        }
        ByteReader r(chunk.data(), bytes);
        for (size_t i = 0; i < records; ++i) {
            take(r, done + i);
        }
        if (!r.ok()) {
            return false;
        }
        offset += bytes;
        done += records;
    }
    return true;
}

// Faults the pages of a large array in ahead of the copy into it, on a thread of its own:
// where a fresh page costs more than filling it (a virtual machine whose host backs each page
// on its first touch), the two overlap instead of adding up. Stops when destroyed.
class PagesAhead {
public:
    PagesAhead(void* data, size_t bytes) {
        constexpr uintptr_t kPage = 4096;
        static constexpr size_t kStep = size_t{16} << 20;
        const auto begin = (reinterpret_cast<uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
        const auto end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kPage - 1);
        if (bytes < 4 * kStep || end <= begin) {
            return;  // not worth a thread
        }
        try {
            m_thread = std::thread([this, begin, end] {
                for (uintptr_t at = begin; at < end && !m_stop.load(std::memory_order_relaxed);
                     at += kStep) {
                    // Populating only makes the pages present; what they hold stays as it is.
                    if (::madvise(reinterpret_cast<void*>(at), std::min<uintptr_t>(kStep, end - at),
                                  MADV_POPULATE_WRITE) != 0) {
                        return;  // an older system: the copy faults them in itself
                    }
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: the copy faults the pages in itself.
        }
    }
    ~PagesAhead() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    PagesAhead(const PagesAhead&) = delete;
    PagesAhead& operator=(const PagesAhead&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The S rows from `offset` on, a few megabytes at a time: each row's time stamp and its N
// values copied out whole into the two arrays, which grow only by what was read (no pass
// filling them first). False when the bytes run out.
bool readRows(const RecordSource& source, uint64_t& offset, uint32_t s, uint32_t n,
              std::vector<int32_t>& times, std::vector<double>& values) {
    constexpr size_t kChunkBytes = 1 << 20;
    const size_t rowBytes = 4 + 8 * size_t{n};
    const size_t perChunk = std::max<size_t>(1, kChunkBytes / rowBytes);
    times.reserve(s);
    values.reserve(size_t{s} * n);
    const PagesAhead ahead(values.data(), values.capacity() * sizeof(double));
    std::vector<uint8_t> chunk(std::min<size_t>(perChunk, s) * rowBytes);
    std::vector<int32_t> stamps(std::min<size_t>(perChunk, s));
    for (size_t done = 0; done < s;) {
        const size_t rows = std::min<size_t>(perChunk, s - done);
        if (!source.read(offset, chunk.data(), rows * rowBytes)) {
            return false;
        }
        const uint8_t* p = chunk.data();
        // The batch's values go straight into the array, grown by the batch (a megabyte the
        // cache still holds when they are copied in).
        const size_t at = values.size();
        values.resize(at + rows * n);
        double* v = values.data() + at;
        for (size_t r = 0; r < rows; ++r, p += rowBytes, v += n) {
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(&stamps[r], p, 4);
                if (n > 0) {  // no values: the array may be null
                    std::memcpy(v, p + 4, 8 * size_t{n});
                }
            } else {
                ByteReader b(p, rowBytes);
                stamps[r] = b.i32();
                b.f64s(v, n);
            }
        }
        times.insert(times.end(), stamps.begin(), stamps.begin() + static_cast<ptrdiff_t>(rows));
        offset += rows * rowBytes;
        done += rows;
    }
    return true;
}

}  // namespace

FileStatus parseRecording(const RecordSource& source, Recording& out) {
    uint8_t head[kRecordHead];
    if (source.size() < kRecordHead || !source.read(0, head, kRecordHead)) {
        return FileStatus::Bad;
    }
    ByteReader r(head, kRecordHead);
    uint8_t header[kHeaderBytes];
    r.bytes(header, kHeaderBytes);  // any header is accepted
    Recording rec;
    readDefinitionHead(r, rec.definition);
    const uint32_t n = r.u32();
    const uint32_t e = r.u32();
    const uint32_t s = r.u32();
    uint32_t k = r.u32();
    if (!r.ok() || n > kMaxRecordCount || e > kMaxRecordCount || s > kMaxRecordCount ||
        n > static_cast<uint32_t>(kMaxChannels)) {
        return FileStatus::Bad;
    }
    // Every count must be backed by the bytes the file really holds before anything is
    // allocated or read for it, so a damaged count can neither exhaust memory nor leave arrays
    // half read; this also refuses bytes after the occurrences. An occurrence block cut short
    // costs only the occurrences it lost: the rows and the whole occurrences before the cut
    // are read.
    const uint64_t rowBytes = 4 + 8 * uint64_t{n};
    const uint64_t rowsEnd = kRecordHead + uint64_t{n} * ChannelInfo::kSize +
                             uint64_t{e} * EventInfo::kSize + uint64_t{s} * rowBytes;
    if (source.size() < rowsEnd || source.size() > rowsEnd + uint64_t{k} * 8) {
        return FileStatus::Bad;
    }
    const uint64_t wholeOccurrences = (source.size() - rowsEnd) / 8;
    rec.occurrencesCutShort = wholeOccurrences < k;
    k = static_cast<uint32_t>(wholeOccurrences);
    try {
        uint64_t at = kRecordHead;
        std::vector<uint8_t> chunk;
        WorkDefinition& d = rec.definition;
        d.channels.resize(n);
        d.events.resize(e);
        rec.occurrences.resize(k);
        const bool whole =
            readRecords(source, chunk, at, n, ChannelInfo::kSize,
                        [&](ByteReader& b, uint64_t i) { readChannel(b, d.channels[i]); }) &&
            readRecords(source, chunk, at, e, EventInfo::kSize,
                        [&](ByteReader& b, uint64_t i) { readEvent(b, d.events[i]); }) &&
            readRows(source, at, s, n, rec.times, rec.values) &&
            readRecords(source, chunk, at, k, 8, [&](ByteReader& b, uint64_t i) {
                rec.occurrences[i].time = b.i32();
                rec.occurrences[i].event = b.i32();
            });
        if (!whole) {
            return FileStatus::Bad;
        }
    } catch (const std::bad_alloc&) {
        return FileStatus::Bad;
    }
    out = std::move(rec);
    return FileStatus::Ok;
}

FileStatus parseRecording(const std::vector<uint8_t>& bytes, Recording& out) {
    return parseRecording(MemoryBytes(bytes), out);
}

}  // namespace tervo
