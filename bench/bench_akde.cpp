// The autocorrelated kernel home range of a GPS-like track: fixes every 30 minutes of an
// animal whose positions forget themselves over two days (an OU process, sigma = 1 km) seen
// with 10 m errors. "select_s" is the time to fit and rank the six movement models, "akde_s"
// the bandwidth search and the debiased grid, "seconds" both; "effective_n" the area's degrees
// of freedom of the selected model. The second argument 1 moves every fix up to 30 s off its
// schedule, as a collar's fixes come: the pairs are then visited one by one, not per lag.

#include "kernel/akde.h"
#include "models/movement_model.h"

#include "support/movement_track.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void AkdeOfATrack(benchmark::State& bench) {
    const auto n = static_cast<std::int32_t>(bench.range(0));
    auto t = ranvik::testing::FixTimes(n, 30.0, false, 7);
    if (bench.range(1) != 0) {
        std::mt19937_64 random(11);
        std::uniform_real_distribution<double> jitter(-0.5, 0.5);
        for (double& time : t) {
            time += jitter(random);
        }
    }
    const ranvik::Matrix fixes = ranvik::testing::OuTrack(t, 1e6, 2880.0, 10.0, 7);
    double select_s = 0.0;
    double akde_s = 0.0;
    double effective_n = 0.0;
    for (auto _ : bench) {
        const auto start = Clock::now();
        const auto fits = ranvik::FitMovementModels(ranvik::MovementDataOf(fixes, n), {});
        select_s = Since(start);
        if (!fits.Ok()) {
            bench.SkipWithError("the models could not be fitted");
            break;
        }
        const auto middle = Clock::now();
        const auto akde = ranvik::CalcAkde(fixes, n, fits.value.front(), 30.0);
        akde_s = Since(middle);
        if (!akde.Ok()) {
            bench.SkipWithError(akde.status.error.c_str());
            break;
        }
        effective_n = fits.value.front().effective_n;
        benchmark::DoNotOptimize(akde.value.grid);
    }
    bench.counters["select_s"] = select_s;
    bench.counters["akde_s"] = akde_s;
    bench.counters["seconds"] = select_s + akde_s;
    bench.counters["effective_n"] = effective_n;
}
BENCHMARK(AkdeOfATrack)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
