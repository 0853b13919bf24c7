#pragma once

#include <cstdint>

#include "core/work/RecordWriter.h"

namespace tervo::testing {

// The record writer's disk with the syncs left out (the bytes stay in the page cache), counting
// what the writer hands it: for benchmarks that measure bytes, not time, over long recordings.
class CountingDisk : public RecordDisk {
public:
    uint64_t bytes = 0;

    bool write(int fd, const uint8_t* data, size_t size, off_t offset) override {
        bytes += size;
        return RecordDisk::write(fd, data, size, offset);
    }
    bool sync(int) override { return true; }
    FileStatus replace(const std::string& path, const WorkDefinition& work, const int32_t* times,
                       const double* values, size_t rows, const EventOccurrence* occurrences,
                       size_t occurrenceCount) override {
        const size_t n = work.channels.size();
        bytes += 236 + n * ChannelInfo::kSize + work.events.size() * EventInfo::kSize +
                 rows * (4 + 8 * n) + occurrenceCount * 8;
        return RecordDisk::replace(path, work, times, values, rows, occurrences, occurrenceCount);
    }
};

}  // namespace tervo::testing
