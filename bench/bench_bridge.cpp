// Brownian bridge on synthetic GPS tracks: the variance estimate, and the probability over a
// 1,000 x 1,000 grid at 30 m. The grid benchmark also times the plain loop (every bridge at
// every cell) on a sample of cells, extrapolates it to the whole grid, and reports the ratio.

#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "output/home_range_levels.h"
#include "output/raster_export.h"
#include "synthetic.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;

class CountingNotifier final : public ranvik::Notifier {
public:
    void Inform(std::string_view) override { ++messages; }
    int messages = 0;
};

ranvik::State Track(std::int32_t n) {
    ranvik::State state;
    state.BBSortedLocs = ranvik::bench::GpsTrack(n);
    state.NumLocs = n;
    state.BBMaxTime = 3.0; // hours: every hourly bridge
    return state;
}

void VarianceEstimate(benchmark::State& bench) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    ranvik::State state = Track(n);
    CountingNotifier notifier;
    for (auto _ : bench) {
        if (!ranvik::EstimateBBVariance(state, notifier).Ok()) {
            bench.SkipWithError("variance estimate failed");
        }
    }
    bench.counters["sigma_m2"] = state.BBVariance;
}
BENCHMARK(VarianceEstimate)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void ProbabilityGrid(benchmark::State& bench) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    ranvik::State state = Track(n);
    CountingNotifier notifier;
    if (!ranvik::EstimateBBVariance(state, notifier).Ok()) {
        bench.SkipWithError("variance estimate failed");
        return;
    }
    // 1,000 x 1,000 points 30 m apart, centred on the track.
    const ranvik::BridgeGridSpec around = ranvik::AutoBridgeGridExtent(state.BBSortedLocs, n);
    const double cx = (around.min_x + around.max_x) / 2;
    const double cy = (around.min_y + around.max_y) / 2;
    const ranvik::BridgeGridSpec spec{cx - 14985, cx + 14985, cy - 14985, cy + 14985, 30};
    double seconds = 0.0;
    for (auto _ : bench) {
        const auto start = Clock::now();
        if (!ranvik::CalcBBGrid(state, spec).Ok()) {
            bench.SkipWithError("grid failed");
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    // The plain loop on every 500th cell, on the same threads, scaled to the whole grid.
    const auto bridges =
        ranvik::PrepareBridges(state.BBSortedLocs, n, state.BBVariance, state.BBMaxTime);
    const std::int32_t cells = state.NumGridPts;
    const std::int32_t stride = 500;
    const auto start = Clock::now();
    double total = 0.0;
#pragma omp parallel for reduction(+ : total) schedule(dynamic, 4)
    for (std::int32_t k = 0; k < cells; k += stride) {
        total +=
            ranvik::BridgeSum(bridges.value, state.BBOutput(k, 0), state.BBOutput(k, 1), false);
    }
    benchmark::DoNotOptimize(total);
    const double plain = std::chrono::duration<double>(Clock::now() - start).count() * stride;
    bench.counters["cells"] = cells;
    bench.counters["sigma_m2"] = state.BBVariance;
    bench.counters["plain_s"] = plain;
    bench.counters["x_plain"] = seconds / plain;
}
BENCHMARK(ProbabilityGrid)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Volume levels, the 50% and 95% areas and their contour polygons for a million-cell grid.
void LevelsAreasAndContours(benchmark::State& bench) {
    ranvik::State state = Track(2000);
    CountingNotifier notifier;
    (void)ranvik::EstimateBBVariance(state, notifier);
    const ranvik::BridgeGridSpec around = ranvik::AutoBridgeGridExtent(state.BBSortedLocs, 2000);
    const double cx = (around.min_x + around.max_x) / 2;
    const double cy = (around.min_y + around.max_y) / 2;
    if (!ranvik::CalcBBGrid(state, {cx - 14985, cx + 14985, cy - 14985, cy + 14985, 30}).Ok()) {
        bench.SkipWithError("grid failed");
        return;
    }
    const auto path = std::filesystem::temp_directory_path() / "ranvik_bench_contours.shp";
    double area95 = 0.0;
    for (auto _ : bench) {
        const auto levels = ranvik::CalcVolumeLevels(state.BBOutput, state.NumGridPts);
        for (const double p : {0.5, 0.95}) {
            const auto a =
                ranvik::CalcHomeRangeArea(state.BBOutput, state.NumGridPts, levels, 30, 30, p);
            area95 = a.value.area;
        }
        if (!ranvik::WriteContourShapefile(path, state.BBOutput, state.NumGridPts, {0.5, 0.95}, {},
                                           &levels)
                 .Ok()) {
            bench.SkipWithError("contours failed");
        }
    }
    bench.counters["cells"] = state.NumGridPts;
    bench.counters["area95_km2"] = area95 / 1e6;
}
BENCHMARK(LevelsAreasAndContours)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
