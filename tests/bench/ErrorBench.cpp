// A benchmark that always reports an error: its ctest entry must fail (the registration
// expects it to), which shows that an error in a real benchmark fails that one's entry.
#include <benchmark/benchmark.h>

namespace {

void BM_ReportsAnError(benchmark::State& state) {
    for (auto _ : state) {
        state.SkipWithError("read failed");
        break;
    }
}

}  // namespace

BENCHMARK(BM_ReportsAnError);

BENCHMARK_MAIN();
