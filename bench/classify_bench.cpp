// Classification of the shipped table, plain loop against the block search,
// and the whole report written into memory.
#include <cstdio>

#include <benchmark/benchmark.h>

#include "analysis/classify.h"
#include "parse.h"
#include "readings.h"

namespace {

// Echo lines go to a sink so that output costs stay out of the comparison.
std::FILE* sink() {
    static std::FILE* null = std::fopen("/dev/null", "w");
    return null;
}

template <class Classify> void classify_shipped(benchmark::State& state, Classify classify_fn) {
    for (auto _ : state) {
        grid g{};
        fill_nominal(g);
        classify_fn(g, all_readings(), sink());
        benchmark::DoNotOptimize(g);
    }
    state.SetItemsProcessed(state.iterations() * 50 * static_cast<long>(reading_count));
}

void BM_ClassifyPlainLoop(benchmark::State& state) {
    classify_shipped(
        state, [](grid& g, std::span<const float> r, std::FILE* f) { classify_plain(g, r, f); });
}
BENCHMARK(BM_ClassifyPlainLoop);

void BM_ClassifyBlockSearch(benchmark::State& state) {
    classify_shipped(state,
                     [](grid& g, std::span<const float> r, std::FILE* f) { classify(g, r, f); });
}
BENCHMARK(BM_ClassifyBlockSearch);

// Each instruction set's search: 0 plain, 1 SSE2, 2 AVX2, 3 NEON.
void BM_ClassifyBlockSearchWith(benchmark::State& state) {
    const vector_unit unit = vector_units[state.range(0)];
    if (!available(unit)) {
        state.SkipWithError("not on this processor");
        return;
    }
    state.SetLabel(name_of(unit));
    classify_shipped(state, [unit](grid& g, std::span<const float> r, std::FILE* f) {
        classify(g, r, f, unit);
    });
}
BENCHMARK(BM_ClassifyBlockSearchWith)->DenseRange(0, 3);

// The range-for over `state` drives the benchmark; it cannot be const.
// cppcheck-suppress constParameterCallback
void BM_WholeReportIntoMemory(benchmark::State& state) {
    static char buffer[1 << 16];
    std::FILE* memory = fmemopen(buffer, sizeof buffer, "w");
    for (auto _ : state) {
        std::rewind(memory);
        parse(memory);
        std::fflush(memory);
    }
    std::fclose(memory);
}
BENCHMARK(BM_WholeReportIntoMemory);

} // namespace
