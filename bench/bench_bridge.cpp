// Brownian bridge on synthetic GPS tracks: the variance estimate, and the probability over a
// 1,000 x 1,000 grid at 30 m. The dynamic bridge: its motion variance over sliding windows, and
// its grid: 1,000 fixes at 25 m cells and 100,000 fixes on about a million cells, both over the
// automatic extent. The grid benchmark also times the plain loop (every bridge at every cell) on
// a sample of cells, extrapolates it to the whole grid ("plain_s"), and reports how many times
// faster the grid is ("x_faster").

#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "bridge/dynamic_bridge_grid.h"
#include "bridge/motion_variance.h"
#include "output/home_range_levels.h"
#include "output/raster_export.h"
#include "synthetic.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

class CountingNotifier final : public ranvik::Notifier {
public:
    void Inform(std::string_view) override { ++messages; }
    int messages = 0;
};

constexpr double kMaxTime = 3.0; // hours: every hourly bridge

// The variance of an n-fix track, or 0 after a failed estimate.
double Variance(const ranvik::Matrix& track, std::int32_t n) {
    CountingNotifier notifier;
    const auto estimate = ranvik::EstimateBBVariance(track, n, {}, notifier);
    return estimate.Ok() ? estimate.value.variance : 0.0;
}

void VarianceEstimate(benchmark::State& bench) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    const ranvik::Matrix track = ranvik::bench::GpsTrack(n);
    double sigma_m2 = 0.0;
    for (auto _ : bench) {
        sigma_m2 = Variance(track, n);
        if (sigma_m2 == 0.0) {
            bench.SkipWithError("variance estimate failed");
        }
    }
    bench.counters["sigma_m2"] = sigma_m2;
}
BENCHMARK(VarianceEstimate)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The motion variance of the dynamic bridge (windows of 31 fixes, margins of 11) on all
// cores; "seconds" is the wall time of the last run, "breaks" the windows that chose a break.
void MotionVarianceEstimate(benchmark::State& bench) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    const ranvik::Matrix track = ranvik::bench::GpsTrack(n);
    double seconds = 0.0;
    std::int32_t breaks = 0;
    for (auto _ : bench) {
        const auto start = Clock::now();
        const auto estimate = ranvik::EstimateMotionVariance(track, n, {});
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!estimate.Ok()) {
            bench.SkipWithError("motion variance failed");
            return;
        }
        breaks = 0;
        for (const auto& score : estimate.value.scores) {
            breaks += score.break_fix ? 1 : 0;
        }
    }
    bench.counters["seconds"] = seconds;
    bench.counters["breaks"] = breaks;
}
BENCHMARK(MotionVarianceEstimate)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// data = 0: a GPS track wandering around one centre; data = 1: a migrating track whose long
// legs cross the grid between seasonal ranges.
void ProbabilityGrid(benchmark::State& bench) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    const ranvik::Matrix track =
        bench.range(1) == 0 ? ranvik::bench::GpsTrack(n) : ranvik::bench::MigratingTrack(n);
    const double sigma_m2 = Variance(track, n);
    if (sigma_m2 == 0.0) {
        bench.SkipWithError("variance estimate failed");
        return;
    }
    // 1,000 x 1,000 points 30 m apart, centred on the track.
    const ranvik::BridgeGridSpec around = ranvik::AutoBridgeGridExtent(track, n);
    const double cx = (around.min_x + around.max_x) / 2;
    const double cy = (around.min_y + around.max_y) / 2;
    const ranvik::BridgeGridSpec spec{cx - 14985, cx + 14985, cy - 14985, cy + 14985, 30};
    double seconds = 0.0;
    ranvik::BridgeOutput grid;
    for (auto _ : bench) {
        const auto start = Clock::now();
        auto computed = ranvik::CalcBBGrid(track, n, sigma_m2, kMaxTime, spec);
        if (!computed.Ok()) {
            bench.SkipWithError("grid failed");
            return;
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        grid = std::move(computed.value);
    }
    // The plain loop on every 500th cell, on the same threads, scaled to the whole grid.
    const auto bridges = ranvik::PrepareBridges(track, n, sigma_m2, kMaxTime);
    const std::int32_t cells = grid.count;
    const std::int32_t stride = 500;
    const auto start = Clock::now();
    double total = 0.0;
#pragma omp parallel for reduction(+ : total) schedule(dynamic, 4)
    for (std::int32_t k = 0; k < cells; k += stride) {
        total += ranvik::BridgeSum(bridges.value, grid.output(k, 0), grid.output(k, 1), false);
    }
    benchmark::DoNotOptimize(total);
    const double plain = std::chrono::duration<double>(Clock::now() - start).count() * stride;
    bench.counters["cells"] = cells;
    bench.counters["sigma_m2"] = sigma_m2;
    bench.counters["plain_s"] = plain;
    bench.counters["x_faster"] = plain / seconds;
}
BENCHMARK(ProbabilityGrid)
    ->ArgsProduct({{2000, 20000, 100000}, {0, 1}})
    ->ArgNames({"n", "data"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Volume levels, the 50% and 95% areas and their contour polygons for a million-cell grid.
void LevelsAreasAndContours(benchmark::State& bench) {
    const ranvik::Matrix track = ranvik::bench::GpsTrack(2000);
    const ranvik::BridgeGridSpec around = ranvik::AutoBridgeGridExtent(track, 2000);
    const double cx = (around.min_x + around.max_x) / 2;
    const double cy = (around.min_y + around.max_y) / 2;
    const auto grid = ranvik::CalcBBGrid(track, 2000, Variance(track, 2000), kMaxTime,
                                         {cx - 14985, cx + 14985, cy - 14985, cy + 14985, 30});
    if (!grid.Ok()) {
        bench.SkipWithError("grid failed");
        return;
    }
    const ranvik::Matrix& output = grid.value.output;
    const std::int32_t cells = grid.value.count;
    const auto path = std::filesystem::temp_directory_path() / "ranvik_bench_contours.shp";
    double area95 = 0.0;
    for (auto _ : bench) {
        const auto levels = ranvik::CalcVolumeLevels(output, cells);
        for (const double p : {0.5, 0.95}) {
            const auto a = ranvik::CalcHomeRangeArea(output, cells, levels, 30, 30, p);
            area95 = a.value.area;
        }
        if (!ranvik::WriteContourShapefile(path, output, cells, {0.5, 0.95}, {}, &levels).Ok()) {
            bench.SkipWithError("contours failed");
        }
    }
    bench.counters["cells"] = cells;
    bench.counters["area95_km2"] = area95 / 1e6;
}
BENCHMARK(LevelsAreasAndContours)->Unit(benchmark::kMillisecond)->Iterations(3);

// The dynamic bridge's grid over its automatic extent, every segment given the track's single
// variance (estimated on its first 2,000 fixes, outside the timing). range(1) = 0: 25 m cells;
// otherwise cells sized for about that many cells. Reports the seconds, cells, the mass outside
// and the grid's sum.
void DynamicBridgeGridOverTrack(benchmark::State& bench) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    const ranvik::Matrix track = ranvik::bench::GpsTrack(n);
    const double sigma_m2 = Variance(track, std::min(n, 2000));
    ranvik::MotionVariance variance;
    variance.segment.assign(static_cast<std::size_t>(n - 1), sigma_m2);
    variance.windows.assign(static_cast<std::size_t>(n - 1), 1);
    double cell = 25.0;
    if (bench.range(1) > 0) {
        const auto box = ranvik::AutoDynamicBridgeExtent(track, n, variance, kMaxTime, 1.0);
        cell = std::sqrt((box.max_x - box.min_x) * (box.max_y - box.min_y) /
                         static_cast<double>(bench.range(1)));
    }
    const auto spec = ranvik::AutoDynamicBridgeExtent(track, n, variance, kMaxTime, cell);
    double seconds = 0.0;
    ranvik::DynamicBridgeGrid grid;
    for (auto _ : bench) {
        const auto start = Clock::now();
        auto computed = ranvik::CalcDynamicBridgeGrid(track, n, variance, kMaxTime, spec);
        if (!computed.Ok()) {
            bench.SkipWithError("grid failed");
            return;
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        grid = std::move(computed.value);
    }
    double sum = 0.0;
    for (std::int32_t k = 0; k < grid.count; ++k) {
        sum += grid.output(k, 2);
    }
    bench.counters["seconds"] = seconds;
    bench.counters["cells"] = grid.count;
    bench.counters["cell_m"] = cell;
    bench.counters["sigma_m2"] = sigma_m2;
    bench.counters["outside"] = grid.mass_outside;
    bench.counters["sum_minus_1"] = sum - 1;
}
BENCHMARK(DynamicBridgeGridOverTrack)
    ->Args({1000, 0})
    ->Args({100000, 1000000})
    ->ArgNames({"n", "cells"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
