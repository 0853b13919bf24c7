#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "core/link/ParameterTable.h"
#include "core/link/SerialLink.h"
#include "emu/PtyBus.h"
#include "support/RawPty.h"

using namespace tervo;

namespace {

// One successful ReadParam against an emulated controller, beside the floor no link can beat:
// the request and the reply on the line, the controller's turnaround and the 20 ms of silence
// that end the read.
void BM_ReadParam(benchmark::State& state) {
    const uint32_t baud = static_cast<uint32_t>(state.range(0));
    tervo::testing::TempDir dir;
    emu::BusOptions options;
    options.linkPath = dir / "com1";
    options.addresses = {1};
    options.baud = baud;
    emu::PtyBus bus(options);
    std::string error;
    if (!bus.start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    setenv("TERVO_COM1", options.linkPath.c_str(), 1);
    const ReadRequest request{kPV, 0, static_cast<uint8_t>(baudIndexOf(baud)), 1};
    int64_t failures = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const std::optional<double> value = SerialLink(0).readParam(request);
        failures += value ? 0 : 1;
        benchmark::DoNotOptimize(value);
    }
    const double charMs = 10.0 * 1000.0 / baud;
    const double floorMs = (8 + 10) * charMs + options.turnaroundMs + 20.0;
    state.counters["floor_ms"] = floorMs;
    state.counters["failures"] = static_cast<double>(failures);
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    const double perReadMs =
        elapsedMs / static_cast<double>(std::max<int64_t>(1, state.iterations()));
    state.counters["read_ms"] = perReadMs;
    state.counters["ratio_to_floor"] = perReadMs / floorMs;
    unsetenv("TERVO_COM1");
}

}  // namespace

BENCHMARK(BM_ReadParam)->Arg(9600)->Arg(19200)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
