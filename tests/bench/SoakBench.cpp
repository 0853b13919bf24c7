// A month of recording on the fake clock: 20 channels at 1 s. Reports, once a simulated day,
// the row store, the heap and resident memory beside it, and the time of that day's rewrite of
// the record file; the counters give the first day and the last. A second run writes the same
// month cycle by cycle through the record writer with an event that fires every cycle, and
// reports each day's bytes per cycle. TERVO_SOAK_DAYS shortens the run (ctest runs a tenth of a
// day).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/work/RecordWriter.h"
#include "support/CountingDisk.h"

#include "support/RawPty.h"
#include "support/SoakRun.h"

using tervo::testing::SoakRun;

namespace {

double soakDays() {
    const char* text = std::getenv("TERVO_SOAK_DAYS");
    return text != nullptr ? std::atof(text) : 30.0;
}

constexpr double kMB = 1024.0 * 1024.0;

void BM_MonthOfRecording(benchmark::State& state) {
    const double days = soakDays();
    const double step = days < 1.0 ? days : 1.0;
    for (auto _ : state) {
        tervo::testing::TempDir dir;
        SoakRun soak(dir.path());
        std::fprintf(stderr, "%6s %9s %10s %12s %12s %10s\n", "day", "rows", "rows_MB",
                     "heap-rows_MB", "rss-rows_MB", "write_ms");
        bool first = true;
        for (double day = step; day <= days + 1e-9; day += step) {
            soak.run(step * 86'400.0);
            const double writeMs = soak.writeNextCycle() * 1000.0;
            const double rowsMB = static_cast<double>(soak.rowStoreBytes()) / kMB;
            const double heapMB = static_cast<double>(SoakRun::heapBytes()) / kMB - rowsMB;
            const double rssMB = static_cast<double>(SoakRun::residentBytes()) / kMB - rowsMB;
            std::fprintf(stderr, "%6.2f %9zu %10.1f %12.2f %12.2f %10.1f\n", day,
                         soak.engine().rows().rows(), rowsMB, heapMB, rssMB, writeMs);
            const char* when = first ? "first_" : "last_";
            state.counters[std::string(when) + "heap_beside_rows_MB"] = heapMB;
            state.counters[std::string(when) + "rss_beside_rows_MB"] = rssMB;
            state.counters[std::string(when) + "record_write_ms"] = writeMs;
            state.counters["rows"] = static_cast<double>(soak.engine().rows().rows());
            state.counters["row_store_MB"] = rowsMB;
            first = false;
        }
        if (soak.messages.size() > 2 * days / step + 2) {
            state.SkipWithError("the engine reported more than the write failures and recoveries");
        }
    }
}

// The month through the record writer, cycle by cycle, with an occurrence every cycle: each
// day's bytes handed to the disk per cycle (journal and file, the syncs left out) beside a
// cycle without occurrences, the journal's size at the day's end and the day's slowest write.
void BM_MonthWithAnEventEveryCycle(benchmark::State& state) {
    const double days = soakDays();
    const double step = days < 1.0 ? days : 1.0;
    const size_t rows = static_cast<size_t>(days * 86'400);
    const size_t n = SoakRun::kChannels;
    tervo::WorkDefinition work;
    work.channels.resize(n);
    work.events.resize(2);
    std::vector<int32_t> times(rows);
    std::vector<double> values(rows * n);
    std::vector<tervo::EventOccurrence> occurrences(rows);
    for (size_t r = 0; r < rows; ++r) {
        times[r] = static_cast<int32_t>(1'700'000'000 + r);
        for (size_t c = 0; c < n; ++c) {
            values[r * n + c] = 20.0 + static_cast<double>((r + c) % 1000) / 10.0;
        }
        occurrences[r] = tervo::EventOccurrence{times[r], 1};
    }
    for (auto _ : state) {
        tervo::testing::TempDir dir;
        tervo::testing::CountingDisk disk;
        tervo::RecordWriter writer(dir / "month.alt", disk);
        const std::string journal = tervo::recordJournalPath(dir / "month.alt");
        std::fprintf(stderr, "%6s %9s %15s %11s %13s\n", "day", "rows", "bytes_per_cycle",
                     "journal_MB", "slowest_ms");
        size_t r = 0;
        writer.write(work, times.data(), values.data(), 0, occurrences.data(), 0);
        for (double day = step; day <= days + 1e-9; day += step) {
            const size_t end = std::min(rows, static_cast<size_t>(day * 86'400));
            const uint64_t before = disk.bytes;
            const size_t first = r;
            double slowest = 0;
            while (r < end) {
                ++r;
                const auto t0 = std::chrono::steady_clock::now();
                if (writer.write(work, times.data(), values.data(), r, occurrences.data(), r) !=
                    tervo::FileStatus::Ok) {
                    state.SkipWithError("cycle write failed");
                    return;
                }
                slowest = std::max(slowest, std::chrono::duration<double, std::milli>(
                                                std::chrono::steady_clock::now() - t0)
                                                .count());
            }
            const double perCycle =
                static_cast<double>(disk.bytes - before) / static_cast<double>(r - first);
            std::fprintf(stderr, "%6.2f %9zu %15.1f %11.1f %13.1f\n", day, r, perCycle,
                         static_cast<double>(std::filesystem::file_size(journal)) / kMB, slowest);
            state.counters[first == 0 ? "first_day_bytes_per_cycle" : "last_day_bytes_per_cycle"] =
                perCycle;
        }
    }
}

}  // namespace

BENCHMARK(BM_MonthWithAnEventEveryCycle)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_MonthOfRecording)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
