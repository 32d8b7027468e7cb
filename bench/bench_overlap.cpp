// The overlaps of a study of 200 animals, every pair (19,900) at the 95 % level, each animal a
// 250 x 250-cell grid on one shared lattice. The animals are bivariate normals of different
// spreads and orientations whose centres lie within 100 cells of each other, so nearly every
// pair has to be summed over a large common box: the work of a study where everyone meets.
// Counters: "pairs", "prepare_s" (each grid's levels and conditional distribution, once per
// animal) and "pairs_per_s". The target is the whole study in under 30 s on two cores.

#include "output/overlap.h"
#include "state/constants.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnimals = 200;
constexpr int kCells = 250;

// Animal `a`'s grid: a normal with spreads of 20 to 45 cells, centred within 100 cells of the
// study's centre, on window columns and rows 0..249 shifted by its own offset.
ranvik::Matrix AnimalGrid(const ranvik::SharedLattice& lattice, int a) {
    const int di = static_cast<int>(std::lround(100 * std::sin(a * 1.7)));
    const int dj = static_cast<int>(std::lround(100 * std::cos(a * 2.9)));
    const ranvik::LatticeWindow window{di, dj, kCells, kCells};
    const double sx = 20 + 25 * std::fabs(std::sin(a * 0.37));
    const double sy = 20 + 25 * std::fabs(std::cos(a * 0.53));
    const double rho = 0.6 * std::sin(a * 0.11);
    ranvik::Matrix grid(kCells * kCells + 1, 4);
    for (int i = 0; i < kCells; ++i) {
        for (int j = 0; j < kCells; ++j) {
            const double u = (i - kCells / 2) / sx;
            const double v = (j - kCells / 2) / sy;
            const double q = (u * u - 2 * rho * u * v + v * v) / (1 - rho * rho);
            const int k = i * kCells + j;
            grid(k, 0) = window.X(lattice, i);
            grid(k, 1) = window.Y(lattice, j);
            grid(k, 2) = std::exp(-q / 2) / (2 * ranvik::kPi * sx * sy * std::sqrt(1 - rho * rho));
        }
    }
    return grid;
}

void BM_OverlapOfEveryPair(benchmark::State& state) {
    const ranvik::SharedLattice lattice{500000.0, 5400000.0, 10.0};
    const auto prepare_start = Clock::now();
    std::vector<ranvik::OverlapGrid> grids;
    for (int a = 0; a < kAnimals; ++a) {
        auto grid = ranvik::MakeOverlapGrid(AnimalGrid(lattice, a), kCells * kCells, lattice, 0.95);
        if (!grid.Ok()) {
            state.SkipWithError(grid.status.error.c_str());
            return;
        }
        grids.push_back(std::move(grid.value));
    }
    const double prepare = std::chrono::duration<double>(Clock::now() - prepare_start).count();
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    for (std::int32_t a = 0; a < kAnimals; ++a) {
        for (std::int32_t b = a + 1; b < kAnimals; ++b) {
            pairs.emplace_back(a, b);
        }
    }
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto indices = ranvik::CalcOverlaps(grids, pairs);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        benchmark::DoNotOptimize(indices.value.data());
        state.SetIterationTime(seconds);
    }
    state.counters["pairs"] = static_cast<double>(pairs.size());
    state.counters["prepare_s"] = prepare;
    state.counters["pairs_per_s"] = static_cast<double>(pairs.size()) / seconds;
    state.counters["threads"] = omp_get_max_threads();
    std::printf("overlap of %zu pairs of %d animals (%d x %d cells): %.2f s, plus %.2f s to "
                "prepare the grids (target: under 30 s)\n",
                pairs.size(), kAnimals, kCells, kCells, seconds, prepare);
}
BENCHMARK(BM_OverlapOfEveryPair)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
