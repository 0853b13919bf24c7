#include <benchmark/benchmark.h>

#include <vector>

#include "core/work/RecordWriter.h"
#include "core/work/WorkFiles.h"
#include "support/RawPty.h"

using namespace tervo;

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
            (inPlace && writer.lastMethod() != RecordWriter::Method::InPlace)) {
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

BENCHMARK_MAIN();
