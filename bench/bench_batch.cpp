// Every animal of a study in one run: 200 synthetic animals of 2,000 fixes each (a fixed kernel
// with h_ref, the MCP, 50 and 95 % areas, and a Brownian bridge on about 40,000 cells), run by
// ranvik-batch as one process with one job per core, and as two MPI processes. Prints animals
// per second, how busy the cores were (processor time over wall time) and the scaling.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace {

constexpr int kAnimals = 200;
constexpr int kFixes = 2000;

// Projected tracks (metres) with numeric times in minutes: each animal wanders by a reflected
// random walk within a 6 km square, a fix every 20 minutes, rows of all animals interleaved.
std::filesystem::path WriteStudy(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const auto path = folder / "study.csv";
    std::ofstream out(path, std::ios::binary);
    out << "animal,x,y,minutes,error\n";
    std::mt19937 random(31);
    std::normal_distribution<double> step(0.0, 90.0);
    std::vector<double> x(kAnimals, 3000.0), y(kAnimals, 3000.0);
    char line[160];
    for (int k = 0; k < kFixes; ++k) {
        for (int a = 0; a < kAnimals; ++a) {
            for (double* v : {&x[static_cast<std::size_t>(a)], &y[static_cast<std::size_t>(a)]}) {
                *v += step(random);
                *v = *v < 0 ? -*v : (*v > 6000 ? 12000 - *v : *v);
            }
            std::snprintf(line, sizeof line, "animal-%03d,%.2f,%.2f,%d,15\n", a,
                          500000 + 10000.0 * (a % 20) + x[static_cast<std::size_t>(a)],
                          5400000 + 10000.0 * (a / 20) + y[static_cast<std::size_t>(a)], 20 * k);
            out << line;
        }
    }
    return path;
}

struct Timed {
    double wall = 0, cpu = 0;
    int status = 0;
};

// Runs a command and measures its wall time and the processor time of its children.
Timed Run(const std::string& command) {
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    Timed timed;
    timed.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    };
    timed.cpu = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
                seconds(before.ru_stime);
    timed.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return timed;
}

std::string Arguments(const std::filesystem::path& study, const std::filesystem::path& out) {
    return study.string() + " --out " + out.string() +
           " --x x --y y --time minutes --id animal --error error --estimators fixed-kernel,mcp,bb"
           " --h href --levels 50,95 --bb-cell 42 --quiet";
}

double g_single_wall = 0;

void OneProcess(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "ranvik-bench-batch";
    const auto study = WriteStudy(folder);
    for (auto _ : state) {
        const Timed t = Run(std::string(RANVIK_BATCH) + " " + Arguments(study, folder / "one"));
        if (t.status != 0) {
            state.SkipWithError("ranvik-batch failed");
            return;
        }
        state.SetIterationTime(t.wall);
        g_single_wall = t.wall;
        state.counters["animals_per_s"] = kAnimals / t.wall;
        state.counters["cores_busy"] = t.cpu / t.wall;
        state.counters["cores"] = std::thread::hardware_concurrency();
    }
}

void TwoMpiProcesses(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "ranvik-bench-batch";
    const auto study = folder / "study.csv";
    for (auto _ : state) {
        const Timed t =
            Run(std::string(RANVIK_MPIEXEC) + " --allow-run-as-root --oversubscribe -n 2 " +
                RANVIK_BATCH + " " + Arguments(study, folder / "mpi"));
        if (t.status != 0) {
            state.SkipWithError("mpirun ranvik-batch failed");
            return;
        }
        state.SetIterationTime(t.wall);
        state.counters["animals_per_s"] = kAnimals / t.wall;
        state.counters["cores_busy"] = t.cpu / t.wall;
        if (g_single_wall > 0) {
            state.counters["speed_vs_one_process"] = g_single_wall / t.wall;
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

BENCHMARK(OneProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(TwoMpiProcesses)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
