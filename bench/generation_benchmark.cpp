// How long start-up spends generating the 160000 records, growth of the list included.
#include "scene.h"
#include "sponge/sponge.h"

#include <benchmark/benchmark.h>

namespace {

void generateSponge(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Instance>().swap(instances); // start from an empty list, as at start-up
        state.ResumeTiming();
        corvane(0, {0.0f, 0.0f, 0.0f, scene::spongeEdge}, scene::spongeDepth);
        benchmark::DoNotOptimize(instances.data());
    }
    state.counters["records"] = static_cast<double>(instances.size());
}

BENCHMARK(generateSponge)->Unit(benchmark::kMillisecond)->Repetitions(15);

} // namespace

BENCHMARK_MAIN();
