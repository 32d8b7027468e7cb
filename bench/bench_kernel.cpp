// Kernel estimation on synthetic two-mode data. Every benchmark also times, in the same run,
// a plain loop over the same number of kernel evaluations (a squared distance, one exp and
// one division, summed) with the same threads: the machine's limit for this work. The
// counter "x_limit" is the ratio of the two times.

#include "kernel/kernel_cvc.h"
#include "kernel/kernel_grid.h"
#include "kernel/kernel_sums.h"
#include "kernel/smoothing.h"
#include "synthetic.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <chrono>
#include <cmath>
#include <cstdint>

namespace {

using ranvik::Matrix;
using Clock = std::chrono::steady_clock;

// Seconds taken by `evaluations` plain kernel evaluations between the locations and a
// moving point, spread over the cores like the real work.
double PlainKernelSeconds(const Matrix& xy, std::int32_t n, double h, double evaluations) {
    const auto rounds = static_cast<std::int64_t>(evaluations / n);
    const double two_h2 = 2 * h * h;
    const double norm = 2 * 3.141592653589793 * h * h;
    const auto start = Clock::now();
    double total = 0.0;
#pragma omp parallel for reduction(+ : total) schedule(static)
    for (std::int64_t r = 0; r < rounds; ++r) {
        const double x = xy(static_cast<std::int32_t>(r % n), 0) + 1.0;
        const double y = xy(static_cast<std::int32_t>(r % n), 1) - 1.0;
        double sum = 0.0;
        for (std::int32_t i = 0; i < n; ++i) {
            const double dx = x - xy(i, 0);
            const double dy = y - xy(i, 1);
            sum += std::exp(-(dx * dx + dy * dy) / two_h2) / norm;
        }
        total += sum;
    }
    benchmark::DoNotOptimize(total);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `work` once per iteration, then the plain loop once, and records the ratio.
template <class Work>
void TimeAgainstLimit(benchmark::State& state, const Matrix& xy, std::int32_t n, double h,
                      Work work) {
    double seconds = 0.0;
    double evaluations = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        evaluations = work();
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    const double limit = PlainKernelSeconds(xy, n, h, evaluations);
    state.counters["kernel_evals"] = evaluations;
    state.counters["limit_s"] = limit;
    state.counters["x_limit"] = seconds / limit;
    state.counters["threads"] = omp_get_max_threads();
}

void FixedKernelGrid(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    const double h = ranvik::CalcHref(xy, n);
    TimeAgainstLimit(state, xy, n, h, [&] {
        if (!ranvik::CalcFixedKernel(xy, n, h, {}).Ok()) {
            state.SkipWithError("fixed kernel failed");
        }
        return 40000.0 * n;
    });
}
BENCHMARK(FixedKernelGrid)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void AdaptiveKernelGrid(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    const double h = ranvik::CalcHref(xy, n);
    TimeAgainstLimit(state, xy, n, h, [&] {
        if (!ranvik::CalcAdKernel(xy, n, h).Ok()) {
            state.SkipWithError("adaptive kernel failed");
        }
        return 40000.0 * n + static_cast<double>(n) * n;
    });
}
BENCHMARK(AdaptiveKernelGrid)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The searches report after every criterion evaluation; counting the reports counts them.
ranvik::RunControl Counting(int& evaluations) {
    return {[&evaluations](double) {
                ++evaluations;
                return true;
            },
            true};
}

void CVhSearch(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    const double h_ref = ranvik::CalcHref(xy, n);
    TimeAgainstLimit(state, xy, n, h_ref, [&] {
        int evaluations = 0;
        const auto h = ranvik::CalcCVh(xy, h_ref, n, {}, {}, Counting(evaluations));
        state.counters["h"] = h.value.h;
        state.counters["scores"] = evaluations;
        return static_cast<double>(evaluations) * n * (n - 1);
    });
}
BENCHMARK(CVhSearch)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

void LSCVhSearch(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    const double h_ref = ranvik::CalcHref(xy, n);
    TimeAgainstLimit(state, xy, n, h_ref, [&] {
        int evaluations = 0;
        const auto h = ranvik::CalcLSCVh(xy, h_ref, n, {}, Counting(evaluations));
        state.counters["h"] = h.value.h;
        state.counters["scores"] = evaluations;
        return 2.0 * evaluations * n * n; // two exponentials per pair
    });
}
BENCHMARK(LSCVhSearch)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The LSCV search on a GPS-scale track, whose sums leave out the pairs too far apart to count.
// The plain search's time is extrapolated from the plain row sums of a sample of rows at the
// h found, times the rows and the scores the search took.
void LSCVhSearchGps(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = ranvik::bench::GpsTrack(n);
    const double h_ref = ranvik::CalcHref(xy, n);
    int evaluations = 0;
    double seconds = 0.0;
    double h = 0.0;
    for (auto _ : state) {
        evaluations = 0;
        const auto start = Clock::now();
        const auto search = ranvik::CalcLSCVh(xy, h_ref, n, {}, Counting(evaluations));
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        h = search.value.h;
    }
    const ranvik::Points points = ranvik::PointsOf(xy, n);
    constexpr std::size_t kSampleRows = 64;
    const auto start = Clock::now();
    double total = 0.0;
#pragma omp parallel for reduction(+ : total) schedule(static)
    for (std::size_t r = 0; r < kSampleRows; ++r) {
        total +=
            ranvik::LSCVRowSum(r * (points.size() / kSampleRows), points, 4 * h * h, 2 * h * h);
    }
    benchmark::DoNotOptimize(total);
    const double sample = std::chrono::duration<double>(Clock::now() - start).count();
    const double plain = sample / kSampleRows * n * evaluations;
    state.counters["h"] = h;
    state.counters["scores"] = evaluations;
    state.counters["plain_s"] = plain;
    state.counters["x_plain"] = seconds / plain;
    state.counters["threads"] = omp_get_max_threads();
}
BENCHMARK(LSCVhSearchGps)->Arg(10000)->Unit(benchmark::kSecond)->Iterations(1);

// Kernel evaluations of one leave-one-out pass, estimated from the search on all but the
// first location (every pass searches about as long).
double EvaluationsPerPass(const Matrix& xy, std::int32_t n) {
    Matrix work(n - 1, 2);
    for (std::int32_t j = 1; j < n; ++j) {
        work(j - 1, 0) = xy(j, 0);
        work(j - 1, 1) = xy(j, 1);
    }
    int evaluations = 0;
    (void)ranvik::CalcCVh(work, ranvik::CalcHref(work, n - 1), n - 1, {}, {},
                          Counting(evaluations));
    const double m = n - 1;
    return evaluations * m * (m - 1);
}

void FixedKernelCVC(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    TimeAgainstLimit(state, xy, n, ranvik::CalcHref(xy, n), [&] {
        const auto cvc = ranvik::FixedKernelCVC(xy, n);
        if (!cvc.Ok()) {
            state.SkipWithError("fixed kernel CVC failed");
        }
        state.counters["CVC"] = cvc.value.cvc;
        return n * EvaluationsPerPass(xy, n);
    });
}
BENCHMARK(FixedKernelCVC)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1);

void AdKernelCVC(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Matrix xy = ranvik::bench::TwoModeLocations(n);
    TimeAgainstLimit(state, xy, n, ranvik::CalcHref(xy, n), [&] {
        const auto cvc = ranvik::AdKernelCVC(xy, n);
        if (!cvc.Ok()) {
            state.SkipWithError("adaptive kernel CVC failed");
        }
        state.counters["CVC"] = cvc.value.cvc;
        const double m = n - 1;
        return n * (EvaluationsPerPass(xy, n) + m * m);
    });
}
BENCHMARK(AdKernelCVC)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
