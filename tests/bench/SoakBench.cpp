// A month of recording on the fake clock: 20 channels at 1 s. Reports, once a simulated day,
// the row store, the heap and resident memory beside it, and the time of that day's rewrite of
// the record file; the counters give the first day and the last. TERVO_SOAK_DAYS shortens the
// run (ctest runs a tenth of a day).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

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

}  // namespace

BENCHMARK(BM_MonthOfRecording)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
