#pragma once

#include "bridge/motion_variance.h"
#include "kernel/kernel_grid.h"
#include "output/estimator_table.h"
#include "state/status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// How the kernels' smoothing parameter is chosen: h_ref, h_CV, h_LSCV, a number, or a percent
// of h_ref.
struct SmoothingChoice {
    enum class Kind { Href, CV, LSCV, Number, PercentOfHref };
    Kind kind = Kind::Href;
    double value = 100.0; // the number, or the percent of h_ref

    friend bool operator==(const SmoothingChoice&, const SmoothingChoice&) = default;
};

// "href", "cv", "lscv", a positive number, or a positive percent followed by "%".
[[nodiscard]] StatusOr<SmoothingChoice> ParseSmoothingChoice(std::string_view text);

// What --overlap asks for: the overlap indices between every pair of animals, from each
// animal's distribution made a second time on one shared lattice.
struct OverlapOptions {
    bool on = false;
    std::vector<double> levels{95.0};
    std::string estimator{kFixedKernelName};
    std::optional<double> cell; // metres; empty: a fifth of the smallest spread
};

// Everything a batch run is told on its command line.
struct BatchOptions {
    std::filesystem::path input;
    std::filesystem::path out;
    // Fields of the table; empty: the ones the table's names suggest (Movebank's by default).
    std::string id, x, y, time, error, weight;
    std::optional<double> error_m; // a location error in metres for every fix
    std::string crs = "auto";      // "auto" (each animal's UTM zone) or "EPSG:<code>"
    // What the coordinates are in when the table does not say: "" (from the table and its
    // field names), "metres", or "EPSG:<code>" (longitude/latitude or a projected system).
    std::string source_crs;
    bool keep_outliers = false; // keep rows Movebank marks invisible or as outliers
    bool resume = false;        // skip animals whose folder a run with the same options finished
    std::string time_unit = "minutes";
    // The table of estimators the run chooses from (every estimator there is, unless a caller
    // hands its own), and the names of those asked for.
    const std::vector<EstimatorRow>* table = &Estimators();
    std::vector<std::string> estimators{"fixed-kernel", "mcp"};
    bool compare = false;
    SmoothingChoice h;
    std::optional<double> bb_variance; // empty: estimated for each animal
    std::optional<double> bb_max_time; // empty: every gap between fixes is bridged
    double bb_cell = 30.0;
    DynamicBridgeOptions dbbmm; // the dynamic Brownian bridge's window and margin
    std::vector<double> levels{50.0, 95.0};
    OverlapOptions overlap;
    bool txt = true, tif = false, gpkg = false;
    int jobs = 0; // 0: one per core
    bool quiet = false;

    // The seconds in one unit of the Brownian bridge's time.
    [[nodiscard]] double SecondsPerUnit() const;
    // True when the estimator named `name` was asked for.
    [[nodiscard]] bool Wants(std::string_view name) const;
    // The rows asked for, in table order; with `data`, only those made from it.
    [[nodiscard]] std::vector<const EstimatorRow*>
    Requested(std::optional<EstimatorData> data = std::nullopt) const;
    // True when an estimator asked for is made from `data`.
    [[nodiscard]] bool WantsData(EstimatorData data) const;
};

// The outcome of reading a command line: the options, or the text to print (help, or an
// error with how to get help) and the exit code to end with.
struct CommandLine {
    BatchOptions options;
    bool run = false;
    std::string text;
    int exit_code = 0;
};

// Reads the arguments of ranvik-batch (argv[0] included); the estimators are those of `table`.
[[nodiscard]] CommandLine
ParseBatchCommandLine(const std::vector<std::string>& args,
                      const std::vector<EstimatorRow>& table = Estimators());

} // namespace ranvik
