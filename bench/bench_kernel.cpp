// Kernel estimation at GPS scale, on two kinds of data: two activity centres (data = 0) and a
// clustered GPS-like track (data = 1). Every benchmark times the real computation and, in the
// same run and with the same threads, the plain sums (every location with every cell, every
// pair) on a sample of cells or rows, scaled up to the whole. Counters: "plain_s", the plain
// path's time so estimated, and "x_faster", how many times it is the time taken.

#include "kernel/kernel_cvc.h"
#include "kernel/kernel_grid.h"
#include "kernel/kernel_sums.h"
#include "kernel/smoothing.h"
#include "state/constants.h"
#include "synthetic.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using ranvik::Matrix;
using ranvik::Points;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kSample = 64;

Matrix Data(std::int32_t n, std::int64_t kind) {
    return kind == 0 ? ranvik::bench::TwoModeLocations(n) : ranvik::bench::ClusteredTrack(n);
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds per item of `plain(k)` over kSample items, spread over the cores as the real work.
template <class Plain> double PerItem(Plain plain) {
    const auto start = Clock::now();
    double total = 0.0;
#pragma omp parallel for reduction(+ : total) schedule(static)
    for (std::int64_t k = 0; k < kSample; ++k) {
        total += plain(k);
    }
    benchmark::DoNotOptimize(total);
    return Seconds(start) / kSample;
}

void Report(benchmark::State& state, double seconds, double plain) {
    state.counters["plain_s"] = plain;
    state.counters["x_faster"] = plain / seconds;
    state.counters["threads"] = omp_get_max_threads();
}

// Runs `work` once and returns its seconds.
template <class Work> double Timed(benchmark::State& state, Work work) {
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        work();
        seconds = Seconds(start);
    }
    return seconds;
}

// The searches report after every criterion evaluation; counting the reports counts them.
ranvik::RunControl Counting(int& evaluations) {
    return {[&evaluations](double) {
                ++evaluations;
                return true;
            },
            true};
}

void FixedKernelGrid(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = Data(n, state.range(1));
    const double h = ranvik::CalcHref(xy, n);
    ranvik::KernelGrid grid;
    const double seconds = Timed(state, [&] {
        auto result = ranvik::CalcFixedKernel(xy, n, h, {});
        if (!result.Ok()) {
            state.SkipWithError("fixed kernel failed");
            return;
        }
        grid = std::move(result.value);
    });
    const Points points = ranvik::PointsOf(xy, n);
    const std::int32_t cells = grid.grid.Rows() - 1;
    const double per_cell = PerItem([&](std::int64_t k) {
        const auto cell = static_cast<std::int32_t>(k * cells / kSample);
        return ranvik::FixedKernelSum(grid.grid(cell, 0), grid.grid(cell, 1), points, nullptr,
                                      2 * (h * h), 2 * ranvik::kPi * (h * h));
    });
    Report(state, seconds, per_cell * cells);
}
BENCHMARK(FixedKernelGrid)
    ->ArgsProduct({{1000, 5000, 10000}, {0, 1}})
    ->ArgNames({"n", "data"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void AdaptiveKernelGrid(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = Data(n, state.range(1));
    const double h = ranvik::CalcHref(xy, n);
    Matrix grid;
    const double seconds = Timed(state, [&] {
        auto result = ranvik::CalcAdKernel(xy, n, h);
        if (!result.Ok()) {
            state.SkipWithError("adaptive kernel failed");
            return;
        }
        grid = std::move(result.value);
    });
    // Plain: a pilot density per location, then every location's own kernel at every cell.
    const Points points = ranvik::PointsOf(xy, n);
    const ranvik::AdaptiveScales scales = ranvik::ScalesOf(ranvik::AdaptiveBandwidths(xy, n, h));
    const std::int32_t cells = grid.Rows() - 1;
    const double per_pilot = PerItem([&](std::int64_t k) {
        const auto i = static_cast<std::size_t>(k * n / kSample);
        return ranvik::FixedKernelSum(points.x[i], points.y[i], points, nullptr, 2 * (h * h),
                                      2 * ranvik::kPi * (h * h));
    });
    const double per_cell = PerItem([&](std::int64_t k) {
        const auto cell = static_cast<std::int32_t>(k * cells / kSample);
        return ranvik::AdaptiveKernelSum(grid(cell, 0), grid(cell, 1), points, scales.two_h2,
                                         scales.norm);
    });
    Report(state, seconds, per_pilot * n + per_cell * cells);
}
BENCHMARK(AdaptiveKernelGrid)
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->ArgNames({"n", "data"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The CV (cv = true) or LSCV search; the plain time is that of the plain row sums at the h
// found, times the rows and the scores the search formed.
void Search(benchmark::State& state, bool cv) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = Data(n, state.range(1));
    const double h_ref = ranvik::CalcHref(xy, n);
    int evaluations = 0;
    double h = 0.0;
    const double seconds = Timed(state, [&] {
        evaluations = 0;
        const auto search = cv ? ranvik::CalcCVh(xy, h_ref, n, {}, {}, Counting(evaluations))
                               : ranvik::CalcLSCVh(xy, h_ref, n, {}, Counting(evaluations));
        if (!search.Ok()) {
            state.SkipWithError(search.status.error.c_str());
        }
        h = search.value.h;
    });
    const Points points = ranvik::PointsOf(xy, n);
    const std::vector<double> c(static_cast<std::size_t>(n), 1 / (2 * ranvik::kPi * (h * h)));
    const double per_row = PerItem([&](std::int64_t k) {
        const auto i = static_cast<std::size_t>(k * n / kSample);
        return cv ? ranvik::CVRowSum(i, points, c, 2 * (h * h))
                  : ranvik::LSCVRowSum(i, points, 4 * (h * h), 2 * (h * h));
    });
    state.counters["h"] = h;
    state.counters["scores"] = evaluations;
    Report(state, seconds, per_row * n * evaluations);
}

void CVhSearch(benchmark::State& state) {
    Search(state, true);
}
void LSCVhSearch(benchmark::State& state) {
    Search(state, false);
}
BENCHMARK(CVhSearch)
    ->ArgsProduct({{5000, 100000}, {0, 1}})
    ->ArgNames({"n", "data"})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK(LSCVhSearch)
    ->ArgsProduct({{5000, 100000}, {0, 1}})
    ->ArgNames({"n", "data"})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// Both kernels' leave-one-out criteria, as a comparison of both forms them. Plain: each pass
// searches h_CV over the plain row sums of the n - 1 other locations (as many scores as the
// pass without the first location takes), for each kernel separately, and the adaptive pass
// adds its pilot densities.
void BothKernelCVCs(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = Data(n, state.range(1));
    double fixed = 0.0;
    double adaptive = 0.0;
    const double seconds = Timed(state, [&] {
        const auto searches = ranvik::SearchWithoutEach(xy, n, ranvik::KernelKind::Fixed);
        if (!searches.Ok()) {
            state.SkipWithError(searches.status.error.c_str());
            return;
        }
        fixed = ranvik::FixedKernelCVC(xy, n, {}, &searches.value).value.cvc;
        adaptive = ranvik::AdKernelCVC(xy, n, {}, &searches.value).value.cvc;
    });
    const std::int32_t m = n - 1;
    Matrix work(m + 1, 2);
    for (std::int32_t j = 1; j < n; ++j) {
        work(j - 1, 0) = xy(j, 0);
        work(j - 1, 1) = xy(j, 1);
    }
    int evaluations = 0;
    const auto pass =
        ranvik::CalcCVh(work, ranvik::CalcHref(work, m), m, {}, {}, Counting(evaluations));
    const double h = pass.value.h;
    const Points points = ranvik::PointsOf(work, m);
    const std::vector<double> c(static_cast<std::size_t>(m), 1 / (2 * ranvik::kPi * (h * h)));
    const double per_row = PerItem([&](std::int64_t k) {
        return ranvik::CVRowSum(static_cast<std::size_t>(k * m / kSample), points, c, 2 * (h * h));
    });
    // Each thread runs whole passes, so a pass's rows take a whole core each.
    const double per_pass = per_row * omp_get_max_threads() * m * evaluations;
    const double plain =
        (2 * per_pass + per_row * omp_get_max_threads() * m) * n / omp_get_max_threads();
    state.counters["CVC_fixed"] = fixed;
    state.counters["CVC_adaptive"] = adaptive;
    Report(state, seconds, plain);
}
BENCHMARK(BothKernelCVCs)
    ->ArgsProduct({{1000}, {0, 1}})
    ->ArgNames({"n", "data"})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
