// A Movebank export of 1,000,000 rows for 50 animals (rows of all animals interleaved, one fix
// in fifty-three failed): read, split into animals, timestamps parsed and every animal projected to
// its UTM zone.

#include "input/telemetry.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

std::string MovebankTable(int rows, int animals) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> step(-0.0005, 0.0005);
    std::vector<double> lon(static_cast<std::size_t>(animals));
    std::vector<double> lat(static_cast<std::size_t>(animals));
    for (int a = 0; a < animals; ++a) {
        lon[static_cast<std::size_t>(a)] = -115.0 + 0.05 * a;
        lat[static_cast<std::size_t>(a)] = 49.0 + 0.02 * a;
    }
    std::string text = "event-id,visible,timestamp,location-long,location-lat,"
                       "individual-local-identifier\n";
    text.reserve(static_cast<std::size_t>(rows) * 80);
    char line[160];
    for (int r = 0; r < rows; ++r) {
        const int a = r % animals;
        const int k = r / animals; // the animal's fix number, every 15 minutes
        const int minutes = 15 * k;
        const int day = 1 + minutes / 1440 % 28;
        const int month = 1 + minutes / (1440 * 28) % 12;
        const int hour = minutes / 60 % 24;
        const int minute = minutes % 60;
        auto& x = lon[static_cast<std::size_t>(a)];
        auto& y = lat[static_cast<std::size_t>(a)];
        x += step(random);
        y += step(random);
        if (r % 53 == 7) {
            std::snprintf(line, sizeof line,
                          "%d,true,2021-%02d-%02d %02d:%02d:00.000,,,animal-%d\n", r, month, day,
                          hour, minute, a);
        } else {
            std::snprintf(line, sizeof line,
                          "%d,true,2021-%02d-%02d %02d:%02d:00.000,%.7f,%.7f,animal-%d\n", r, month,
                          day, hour, minute, x, y, a);
        }
        text += line;
    }
    return text;
}

void ReadSplitParseProject(benchmark::State& state) {
    const std::string text = MovebankTable(1'000'000, 50);
    ranvik::TelemetryFields fields;
    fields.x = "location-long";
    fields.y = "location-lat";
    fields.time = "timestamp";
    fields.animal = "individual-local-identifier";
    fields.constant_error = 20.0;
    for (auto _ : state) {
        const auto table = ranvik::ParseTelemetryText(text, "movebank.csv");
        const auto split = ranvik::SplitTelemetry(table.value, fields);
        if (!split.Ok()) {
            state.SkipWithError(split.status.error.c_str());
            break;
        }
        state.counters["animals"] = static_cast<double>(split.value.animals.size());
        state.counters["skipped"] = static_cast<double>(split.value.left_out.no_coordinates);
    }
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(ReadSplitParseProject)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
