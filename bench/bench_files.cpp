// Speed of the two large file paths: writing a Brownian-bridge-sized grid and reading a GPS
// data set of 100,000 fixes.

#include "input/text_locations.h"
#include "output/result_files.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

std::filesystem::path ScratchFile(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

// A million grid points 30 m apart over a UTM extent with smooth probabilities.
ranvik::Matrix BridgeSizedGrid() {
    constexpr std::int32_t kRows = 1'000'000;
    ranvik::Matrix grid(kRows + 1, 4);
    for (std::int32_t k = 0; k < kRows; ++k) {
        const double x = 557000.0 + 30.0 * (k / 1000);
        const double y = 5424000.0 + 30.0 * (k % 1000);
        grid(k, 0) = x;
        grid(k, 1) = y;
        grid(k, 2) = 1e-6 * std::exp(-std::hypot(x - 572000.0, y - 5439000.0) / 4000.0);
    }
    return grid;
}

void WriteBridgeGridFile(benchmark::State& state) {
    const ranvik::Matrix original = BridgeSizedGrid();
    const auto path = ScratchFile("ranvik_bench_grid.txt");
    for (auto _ : state) {
        state.PauseTiming();
        ranvik::Matrix grid = original;
        state.ResumeTiming();
        const auto outcome = ranvik::WriteGridFile(path, grid, 1'000'000, ",");
        if (!outcome.Ok()) {
            state.SkipWithError(outcome.error.c_str());
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(WriteBridgeGridFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void ReadGpsLocationFile(benchmark::State& state) {
    const auto path = ScratchFile("ranvik_bench_fixes.txt");
    {
        std::ofstream out(path, std::ios::binary);
        out << "x\ty\ttime\terror\r\n";
        std::mt19937 random(11);
        std::normal_distribution<double> step(0.0, 35.0);
        double x = 557000.0;
        double y = 5424000.0;
        for (int i = 0; i < 100'000; ++i) {
            x += step(random);
            y += step(random);
            out.precision(10);
            out << x << '\t' << y << '\t' << 1800 * i << '\t' << 12.5 << "\r\n";
        }
    }
    for (auto _ : state) {
        const auto text = ranvik::ReadLocationText(path, 4, ranvik::kMaxTextLocations);
        if (!text.Ok() || text.Count() != 100'000) {
            state.SkipWithError("the file did not read back");
        }
        benchmark::DoNotOptimize(text.values);
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(ReadGpsLocationFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
