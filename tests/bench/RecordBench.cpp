#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/work/RecordWriter.h"
#include "core/work/WorkFiles.h"
#include "support/CountingDisk.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::CountingDisk;

namespace {

WorkDefinition twentyChannels() {
    WorkDefinition work;
    work.channels.resize(20);
    work.events.resize(5);
    return work;
}

struct Rows {
    std::vector<int32_t> times;
    std::vector<double> values;
    explicit Rows(size_t count) : times(count), values(count * 20) {
        for (size_t r = 0; r < count; ++r) {
            times[r] = static_cast<int32_t>(1'700'000'000 + 5 * r);
            for (size_t c = 0; c < 20; ++c) {
                values[r * 20 + c] = 20.0 + static_cast<double>((r + c) % 1000) / 10.0;
            }
        }
    }
};

// The rewrite after each cycle of a recording of `rows` rows: the whole file, replaced
// atomically (temporary file, data sync, rename).
void BM_RecordWrite(benchmark::State& state) {
    const size_t rows = static_cast<size_t>(state.range(0));
    const WorkDefinition work = twentyChannels();
    const Rows data(rows);
    std::vector<EventOccurrence> occurrences(rows / 100, EventOccurrence{1, 2});
    tervo::testing::TempDir dir;
    const std::string path = dir / "bench.alt";
    size_t bytes = 0;
    for (auto _ : state) {
        if (writeRecordFile(path, work, data.times.data(), data.values.data(), rows,
                            occurrences.data(), occurrences.size()) != FileStatus::Ok) {
            state.SkipWithError("write failed");
            return;
        }
        bytes = 236 + 20 * 96 + 5 * 56 + rows * 164 + occurrences.size() * 8;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_RecordRead(benchmark::State& state) {
    const size_t rows = static_cast<size_t>(state.range(0));
    tervo::testing::TempDir dir;
    const std::string path = dir / "bench.alt";
    {
        const Rows data(rows);
        writeRecordFile(path, twentyChannels(), data.times.data(), data.values.data(), rows,
                        nullptr, 0);
    }
    for (auto _ : state) {
        Recording rec;
        if (readRecording(path, rec) != FileStatus::Ok || rec.rowCount() != rows) {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(rec.values.data());
    }
    const double bytes = 236 + 20 * 96 + 5 * 56 + static_cast<double>(rows) * 164;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    state.counters["file_MB"] = bytes / 1e6;
}

// One cycle's write at the end of a recording of `rows` rows of 20 channels, the way the
// recorder makes it, against the whole atomic rewrite it replaced (arg 1: 0 whole, 1 in place).
void BM_RecordCycle(benchmark::State& state) {
    const size_t rows = static_cast<size_t>(state.range(0));
    const bool inPlace = state.range(1) != 0;
    const size_t extra = 400;  // room for the cycles the benchmark adds
    const WorkDefinition work = twentyChannels();
    const Rows data(rows + extra);
    std::vector<EventOccurrence> occurrences((rows + extra) / 100, EventOccurrence{1, 2});
    tervo::testing::TempDir dir;
    const std::string path = dir / "bench.alt";
    RecordWriter writer(path);
    size_t current = rows;
    auto occurrencesAt = [](size_t r) { return r / 100; };
    if (writer.write(work, data.times.data(), data.values.data(), current, occurrences.data(),
                     occurrencesAt(current)) != FileStatus::Ok) {
        state.SkipWithError("first write failed");
        return;
    }
    uint64_t bytes = 0;
    for (auto _ : state) {
        if (current - rows >= extra) {
            state.SkipWithError("ran out of prepared rows");
            return;
        }
        ++current;
        const FileStatus status =
            inPlace ? writer.write(work, data.times.data(), data.values.data(), current,
                                   occurrences.data(), occurrencesAt(current))
                    : writeRecordFile(path, work, data.times.data(), data.values.data(), current,
                                      occurrences.data(), occurrencesAt(current));
        if (status != FileStatus::Ok ||
            (inPlace && writer.lastMethod() == RecordWriter::Method::Whole)) {
            state.SkipWithError("cycle write failed");
            return;
        }
        bytes += inPlace ? writer.lastBytesWritten()
                         : 236 + 20 * 96 + 5 * 56 + current * 164 + occurrencesAt(current) * 8;
    }
    state.counters["bytes_per_cycle"] =
        static_cast<double>(bytes) / static_cast<double>(state.iterations());
    state.counters["file_MB"] = static_cast<double>(236 + 20 * 96 + 5 * 56 + current * 164) / 1e6;
}

// A whole recording of `rows` cycles of 20 channels at 5 s, written cycle by cycle as the
// recorder does (arg 1: an occurrence every cycle, or none): the bytes handed to the disk per
// cycle, amortised over the whole recording and over its second half, where the occurrence
// block is largest. Without the block kept back, a cycle at the end of thirty days with an
// occurrence every cycle would write the block twice: 2 x 8 x 518,400 bytes (8.3 MB).
void BM_RecordAmortised(benchmark::State& state) {
    const size_t rows = static_cast<size_t>(state.range(0));
    const bool events = state.range(1) != 0;
    const WorkDefinition work = twentyChannels();
    const Rows data(rows);
    std::vector<EventOccurrence> occurrences(rows);
    for (size_t r = 0; r < rows; ++r) {
        occurrences[r] = EventOccurrence{data.times[r], 1};
    }
    for (auto _ : state) {
        tervo::testing::TempDir dir;
        CountingDisk disk;
        RecordWriter writer(dir / "bench.alt", disk);
        uint64_t atHalf = 0;
        for (size_t r = 0; r <= rows; ++r) {
            if (r == rows / 2) {
                atHalf = disk.bytes;
            }
            if (writer.write(work, data.times.data(), data.values.data(), r, occurrences.data(),
                             events ? r : 0) != FileStatus::Ok) {
                state.SkipWithError("cycle write failed");
                return;
            }
        }
        state.counters["bytes_per_cycle"] =
            static_cast<double>(disk.bytes) / static_cast<double>(rows);
        state.counters["second_half_bytes_per_cycle"] =
            static_cast<double>(disk.bytes - atHalf) / static_cast<double>(rows - rows / 2);
        std::fprintf(stderr, "%zu cycles, %s: %.1f bytes per cycle (second half %.1f)\n", rows,
                     events ? "an occurrence every cycle" : "no occurrences",
                     state.counters["bytes_per_cycle"].value,
                     state.counters["second_half_bytes_per_cycle"].value);
    }
}

double replayDays() {
    const char* text = std::getenv("TERVO_REPLAY_DAYS");
    return text != nullptr ? std::atof(text) : 1.0;
}

// A recording of TERVO_REPLAY_DAYS days (1 unless set; 365 by hand) of 20 channels at 3 s
// with an occurrence every cycle, cut by a crash at the worst moment: the occurrence block is
// being moved after the longest run of cycles kept in the journal (the rows and block written
// into the file, the counts not). Measures what the operator waits for, the reopen (the whole
// recording read with the journal laid over the file, as the history window and tervo-cli
// read it), then the replay that follows it off their way, then for comparison a read of the
// replayed file. File and journal are in the page cache (a program that died), or, with
// TERVO_REPLAY_COLD set, read from the disk (a power cut; needs root to drop the page cache).
void BM_ReplayAfterCrash(benchmark::State& state) {
    const size_t rows = static_cast<size_t>(replayDays() * 86'400 / 3);
    const size_t n = 20;
    WorkDefinition work = twentyChannels();
    // The rows as the recorder holds them; pages are touched only where rows are written.
    const size_t valueBytes = rows * n * sizeof(double);
    void* mapped = mmap(nullptr, valueBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) {
        state.SkipWithError("no room for the rows");
        return;
    }
    auto* values = static_cast<double*>(mapped);
    std::vector<int32_t> times(rows);
    std::vector<EventOccurrence> occurrences(rows);
    for (size_t r = 0; r < rows; ++r) {
        times[r] = static_cast<int32_t>(1'700'000'000 + 3 * r);
        occurrences[r] = EventOccurrence{times[r], 1};
    }
    for (auto _ : state) {
        tervo::testing::TempDir dir;
        const std::string path = dir / "year.alt";
        CountingDisk disk;
        size_t start = rows;
        size_t reached = 0;
        {
            // Written whole at `start` rows, then cycle by cycle until the block moves.
            RecordWriter writer(path, disk);
            start = rows - std::min(rows / 2, size_t{1'000'000});
            if (writer.write(work, times.data(), values, start, occurrences.data(), start) !=
                FileStatus::Ok) {
                state.SkipWithError("first write failed");
                return;
            }
            writer.stopAfterStep(3);
            size_t r = start;
            FileStatus status = FileStatus::Ok;
            while (status == FileStatus::Ok && r < rows) {
                ++r;
                status = writer.write(work, times.data(), values, r, occurrences.data(), r);
            }
            if (status == FileStatus::Ok) {
                state.SkipWithError("the block never moved");
                return;
            }
            reached = r;
        }
        // The writer made its journal durable every cycle; the counting disk left that out, so
        // the disk catches up here rather than inside the replay.
        ::sync();
        if (std::getenv("TERVO_REPLAY_COLD") != nullptr) {
            // As after a power cut: nothing of file or journal in memory (root only).
            std::FILE* drop = std::fopen("/proc/sys/vm/drop_caches", "w");
            if (drop == nullptr || std::fputs("3", drop) < 0) {
                state.SkipWithError("the page cache cannot be dropped here");
            }
            if (drop != nullptr) {
                std::fclose(drop);
            }
        }
        const auto journal = std::filesystem::file_size(recordJournalPath(path));
        const auto file = std::filesystem::file_size(path);
        const auto since = [](std::chrono::steady_clock::time_point t0) {
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        };
        // The reopen, twice: the process's first 1.7 GB of arrays cost more to come by (any
        // first read pays that), the second shows the read itself.
        const auto reopen = [&] {
            const auto t0 = std::chrono::steady_clock::now();
            Recording rec;
            const bool whole = readRecording(path, rec) == FileStatus::Ok &&
                               rec.rowCount() == reached && rec.journalLeft;
            return whole ? since(t0) : -1.0;
        };
        const double reopenMs = reopen();
        const double againMs = reopen();
        if (reopenMs < 0 || againMs < 0) {
            state.SkipWithError("the reopen did not read every cycle");
            return;
        }
        auto t0 = std::chrono::steady_clock::now();
        const bool recovered = recoverRecordFile(path);
        const double ms = since(t0);
        if (!recovered || std::filesystem::exists(recordJournalPath(path))) {
            state.SkipWithError("not recovered");
            return;
        }
        t0 = std::chrono::steady_clock::now();
        {
            Recording rec;
            if (readRecording(path, rec) != FileStatus::Ok || rec.rowCount() != reached) {
                state.SkipWithError("the replayed file does not read");
                return;
            }
        }
        const double readMs = since(t0);
        state.counters["reopen_ms"] = reopenMs;
        state.counters["reopen_again_ms"] = againMs;
        state.counters["replay_ms"] = ms;
        state.counters["read_after_ms"] = readMs;
        state.counters["journal_MB"] = static_cast<double>(journal) / 1e6;
        state.counters["file_MB"] = static_cast<double>(file) / 1e6;
        state.counters["rows"] = static_cast<double>(reached);
        std::fprintf(stderr,
                     "%zu rows (%.0f days at 3 s), %zu cycles kept before the crash: journal %.1f "
                     "MB, file %.1f MB; reopen %.0f ms (again %.0f ms), replay after it %.0f ms, "
                     "a read of the replayed file %.0f ms\n",
                     reached, static_cast<double>(reached) * 3 / 86'400, reached - start,
                     static_cast<double>(journal) / 1e6, static_cast<double>(file) / 1e6, reopenMs,
                     againMs, ms, readMs);
    }
    munmap(mapped, valueBytes);
}

}  // namespace

// A day, a week and thirty days of 20 channels at 5 s, written whole and in place.
BENCHMARK(BM_RecordCycle)
    ->ArgsProduct({{17'280, 120'960, 518'400}, {0}})
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RecordCycle)
    ->ArgsProduct({{17'280, 120'960, 518'400}, {1}})
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A day and a week of 20 channels at 5 s.
BENCHMARK(BM_RecordWrite)->Arg(17'280)->Arg(120'960)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordRead)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
// A day and thirty days at 5 s, without occurrences and with one every cycle.
BENCHMARK(BM_RecordAmortised)
    ->ArgsProduct({{17'280, 518'400}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ReplayAfterCrash)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
