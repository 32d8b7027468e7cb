// Speed of the large file paths: writing a Brownian-bridge-sized grid, reading a GPS data set
// of 100,000 fixes, refusing a text file of ten million lines, and opening and loading a
// shapefile of a million points (with the memory the layer and the record take).

#include "input/forms/loaded_files.h"
#include "input/shape_layer.h"
#include "input/text_locations.h"
#include "output/result_files.h"
#include "support/point_shapefile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

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

void RefuseTenMillionLineFile(benchmark::State& state) {
    const auto path = ScratchFile("ranvik_bench_ten_million.txt");
    {
        std::string text = "x\ty\n";
        for (int i = 0; i < 10'000'000; ++i) {
            text += std::to_string(557000 + i % 1000);
            text += '\t';
            text += std::to_string(5424000 + i / 1000);
            text += '\n';
        }
        std::ofstream(path, std::ios::binary) << text;
    }
    for (auto _ : state) {
        ranvik::Session record;
        const auto outcome =
            ranvik::LoadTextFile(record, path, ranvik::TextFilePurpose::IndependentLocations);
        if (outcome.Ok()) {
            state.SkipWithError("a file beyond the capacity was taken");
        }
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    std::filesystem::remove(path);
}
BENCHMARK(RefuseTenMillionLineFile)->Unit(benchmark::kMillisecond)->Iterations(2);

// Resident memory of the process now, in MB.
double ResidentMB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0 / (1 << 20);
}

void OpenAndLoadMillionPointShapefile(benchmark::State& state) {
    constexpr std::size_t kPoints = 1'000'000;
    std::vector<double> xs(kPoints);
    std::vector<double> ys(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i) {
        xs[i] = 500000.0 + static_cast<double>(i % 1000) * 1.5;
        ys[i] = 5400000.0 + static_cast<double>(i / 1000) * 2.25;
    }
    const auto shp = ScratchFile("ranvik_bench_million.shp");
    ranvik::testing::WritePointShapefile(shp, xs, ys);
    double held_mb = 0;
    for (auto _ : state) {
        const double before = ResidentMB();
        ranvik::Session record;
        const auto layer = ranvik::OpenShapeLayer(shp);
        const auto outcome = ranvik::LoadShapeLayer(record, layer.value,
                                                    ranvik::TextFilePurpose::IndependentLocations,
                                                    {"Easting", "Northing"});
        if (!layer.Ok() || !outcome.Ok()) {
            state.SkipWithError("the shapefile did not load");
        }
        held_mb = std::max(held_mb, ResidentMB() - before); // later passes reuse freed pages
    }
    state.counters["layer_and_record_MB"] = held_mb;
    for (const char* extension : {".shp", ".shx", ".dbf"}) {
        std::filesystem::remove(std::filesystem::path(shp).replace_extension(extension));
    }
}
BENCHMARK(OpenAndLoadMillionPointShapefile)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
