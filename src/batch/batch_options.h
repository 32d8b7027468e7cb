#pragma once

#include "state/status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// The estimators a batch run can make for each animal, by their names on the command line and
// in the summary.
enum class Estimator {
    FixedKernel,
    AdaptiveKernel,
    BVN,
    NormalMixture,
    CircleMixture,
    ExpPower,
    BrownianBridge,
    Mcp,
};

// "fixed-kernel", "adaptive-kernel", "bvn", "2bvn", "2cn", "exp-power", "bb", "mcp".
[[nodiscard]] std::string_view EstimatorName(Estimator estimator);
[[nodiscard]] std::optional<Estimator> EstimatorNamed(std::string_view name);

// True for the estimators fitted to independent locations whose grids the model comparison
// scores (all but the Brownian bridge and the MCP).
[[nodiscard]] bool IsComparable(Estimator estimator);

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
    std::vector<Estimator> estimators{Estimator::FixedKernel, Estimator::Mcp};
    bool compare = false;
    SmoothingChoice h;
    std::optional<double> bb_variance; // empty: estimated for each animal
    std::optional<double> bb_max_time; // empty: every gap between fixes is bridged
    double bb_cell = 30.0;
    std::vector<double> levels{50.0, 95.0};
    bool txt = true, tif = false, gpkg = false;
    int jobs = 0; // 0: one per core
    bool quiet = false;

    // The seconds in one unit of the Brownian bridge's time.
    [[nodiscard]] double SecondsPerUnit() const;
    // True when `estimator` was asked for.
    [[nodiscard]] bool Wants(Estimator estimator) const;
};

// The outcome of reading a command line: the options, or the text to print (help, or an
// error with how to get help) and the exit code to end with.
struct CommandLine {
    BatchOptions options;
    bool run = false;
    std::string text;
    int exit_code = 0;
};

// Reads the arguments of ranvik-batch (argv[0] included).
[[nodiscard]] CommandLine ParseBatchCommandLine(const std::vector<std::string>& args);

} // namespace ranvik
