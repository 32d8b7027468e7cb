#include "batch/batch_options.h"

#include "input/telemetry_loading.h"
#include "state/number_text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace ranvik {
namespace {

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in{std::string(text)};
    while (std::getline(in, part, ',')) {
        part.erase(0, part.find_first_not_of(" \t"));
        part.erase(part.find_last_not_of(" \t") + 1);
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

std::optional<double> PositiveNumber(std::string_view text) {
    const auto value = ParseNumber(text);
    if (!value || !std::isfinite(*value) || *value <= 0) {
        return std::nullopt;
    }
    return value;
}

// The percentages of `text` (comma-separated, above 0 and at most 100) sorted without repeats
// into `levels`; the sentence of what is wrong, or none.
std::string ParseLevels(std::string_view option, const std::string& text,
                        std::vector<double>& levels) {
    levels.clear();
    for (const std::string& part : SplitList(text)) {
        const auto value = ParseNumber(part);
        if (!value || !(*value > 0 && *value <= 100)) {
            std::string wrong(option);
            wrong += ": \"" + part + "\" is not a percentage above 0 and at most 100.";
            return wrong;
        }
        levels.push_back(*value);
    }
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    if (levels.empty()) {
        std::string wrong(option);
        wrong += ": give at least one percentage.";
        return wrong;
    }
    return {};
}

// Checks the overlap's options; the sentence of what is wrong, or none.
std::string CheckOverlap(OverlapOptions& overlap, const std::vector<EstimatorRow>& table,
                         const std::string& levels) {
    if (!levels.empty()) {
        if (std::string wrong = ParseLevels("--overlap-levels", levels, overlap.levels);
            !wrong.empty()) {
            return wrong;
        }
    }
    const EstimatorRow* row = FindEstimator(table, overlap.estimator);
    if (row == nullptr || !row->on_lattice) {
        std::string offered;
        for (const EstimatorRow& each : table) {
            if (each.on_lattice) {
                offered += (offered.empty() ? "" : ", ") + std::string(each.name);
            }
        }
        return "--overlap-estimator: give one of " + offered + ", not \"" + overlap.estimator +
               "\".";
    }
    if (overlap.cell && !(std::isfinite(*overlap.cell) && *overlap.cell > 0)) {
        return "--overlap-cell: give a positive number of metres.";
    }
    return {};
}

// Checks and converts the options given as text; the first sentence of what is wrong, or none.
std::string Convert(BatchOptions& options, const std::string& estimators, const std::string& h,
                    const std::string& variance, const std::string& max_time,
                    const std::string& levels, const std::string& formats,
                    const std::string& overlap_levels) {
    if (!estimators.empty()) {
        options.estimators.clear();
        for (const std::string& name : SplitList(estimators)) {
            if (FindEstimator(*options.table, name) == nullptr) {
                return "--estimators: \"" + name + "\" is not one of " +
                       EstimatorNames(*options.table) + ".";
            }
            if (!options.Wants(name)) {
                options.estimators.push_back(name);
            }
        }
        if (options.estimators.empty()) {
            return "--estimators: name at least one estimator.";
        }
    }
    if (!h.empty()) {
        auto choice = ParseSmoothingChoice(h);
        if (!choice.Ok()) {
            return "--h: " + choice.status.error;
        }
        options.h = choice.value;
    }
    if (!variance.empty() && variance != "estimate") {
        const auto value = ParseNumber(variance);
        if (!value || !std::isfinite(*value)) {
            return "--bb-variance: give \"estimate\" or a number, not \"" + variance + "\".";
        }
        options.bb_variance = value;
    }
    if (!max_time.empty()) {
        const auto value = ParseNumber(max_time);
        if (!value || !std::isfinite(*value) || *value < 0) {
            return "--bb-max-time: give a number of 0 or more, not \"" + max_time + "\".";
        }
        options.bb_max_time = value;
    }
    if (!(std::isfinite(options.bb_cell) && options.bb_cell > 0)) {
        return "--bb-cell: give a positive number of metres.";
    }
    if (options.dbbmm.window < 3 || options.dbbmm.window % 2 == 0) {
        return "--dbbmm-window: give an odd number of fixes, 3 or more.";
    }
    if (options.dbbmm.margin < 1 || options.dbbmm.margin % 2 == 0 ||
        options.dbbmm.window < 2 * options.dbbmm.margin + 1) {
        return "--dbbmm-margin: give an odd number of fixes, at least 1 and at most (window - "
               "1) / 2.";
    }
    if (!levels.empty()) {
        if (std::string wrong = ParseLevels("--levels", levels, options.levels); !wrong.empty()) {
            return wrong;
        }
    }
    if (!formats.empty()) {
        options.txt = options.tif = options.gpkg = false;
        for (const std::string& format : SplitList(formats)) {
            if (format == "txt") {
                options.txt = true;
            } else if (format == "tif") {
                options.tif = true;
            } else if (format == "gpkg") {
                options.gpkg = true;
            } else {
                return "--formats: \"" + format + "\" is not one of txt, tif, gpkg.";
            }
        }
    }
    if (options.crs != "auto") {
        const auto code = ParseEpsgChoice(options.crs);
        if (!code || *code == 0) {
            return "--crs: give \"auto\" or an EPSG code such as EPSG:32611, not \"" + options.crs +
                   "\".";
        }
    }
    if (!ParseSourceSystem(options.source_crs)) {
        return "--source-crs: give EPSG:4326 for longitude/latitude, metres for coordinates "
               "already in metres, or another EPSG code such as EPSG:32611, not \"" +
               options.source_crs + "\".";
    }
    if (options.error_m && !(std::isfinite(*options.error_m) && *options.error_m >= 0)) {
        return "--error-m: give a number of metres, 0 or more.";
    }
    if (options.compare && !options.weight.empty()) {
        return "--compare: the models are compared on unweighted locations only; leave out "
               "--weight.";
    }
    if (std::string wrong = CheckOverlap(options.overlap, *options.table, overlap_levels);
        !wrong.empty()) {
        return wrong;
    }
    if (options.jobs < 0) {
        return "--jobs: give a number of 1 or more (0: one per core).";
    }
    return {};
}

} // namespace

StatusOr<SmoothingChoice> ParseSmoothingChoice(std::string_view text) {
    if (text == "href") {
        return SmoothingChoice{SmoothingChoice::Kind::Href, 100.0};
    }
    if (text == "cv") {
        return SmoothingChoice{SmoothingChoice::Kind::CV, 0.0};
    }
    if (text == "lscv") {
        return SmoothingChoice{SmoothingChoice::Kind::LSCV, 0.0};
    }
    if (!text.empty() && text.back() == '%') {
        if (const auto percent = PositiveNumber(text.substr(0, text.size() - 1))) {
            return SmoothingChoice{SmoothingChoice::Kind::PercentOfHref, *percent};
        }
    } else if (const auto value = PositiveNumber(text)) {
        return SmoothingChoice{SmoothingChoice::Kind::Number, *value};
    }
    return Status::Failure("give href, cv, lscv, a positive number or a percent of h_ref such as "
                           "80%, not \"" +
                           std::string(text) + "\".");
}

double BatchOptions::SecondsPerUnit() const {
    for (const TimeUnit& unit : kTimeUnits) {
        if (unit.name == time_unit) {
            return unit.seconds;
        }
    }
    return 60.0;
}

bool BatchOptions::Wants(std::string_view name) const {
    return std::find(estimators.begin(), estimators.end(), name) != estimators.end();
}

std::vector<const EstimatorRow*> BatchOptions::Requested(std::optional<EstimatorData> data) const {
    std::vector<const EstimatorRow*> rows;
    for (const EstimatorRow& row : *table) {
        if (Wants(row.name) && (!data || row.data == *data)) {
            rows.push_back(&row);
        }
    }
    return rows;
}

bool BatchOptions::WantsData(EstimatorData data) const {
    return !Requested(data).empty();
}

CommandLine ParseBatchCommandLine(const std::vector<std::string>& args,
                                  const std::vector<EstimatorRow>& table) {
    CommandLine line;
    BatchOptions& o = line.options;
    o.table = &table;
    CLI::App app{"Estimates the home ranges and movements of every animal of a telemetry table.",
                 "ranvik-batch"};
    app.add_option("INPUT", o.input,
                   "A telemetry table: a Movebank export or any delimited text table (.csv, "
                   ".tsv, .txt), or a vector layer (GeoPackage, shapefile, GeoJSON)")
        ->required();
    app.add_option("--out", o.out, "The folder the results go to")->required();
    app.add_option("--id", o.id, "The field that names the animal");
    app.add_option("--x", o.x, "The field of the easting or longitude");
    app.add_option("--y", o.y, "The field of the northing or latitude");
    app.add_option("--time", o.time, "The field of the fix times");
    app.add_option("--time-unit", o.time_unit, "The unit of the Brownian bridge's times")
        ->check(CLI::IsMember({"seconds", "minutes", "hours"}))
        ->capture_default_str();
    app.add_option("--error", o.error,
                   "The field of the location error (metres); Movebank's horizontal accuracy "
                   "estimate is used when the table has it and --error-m is not given");
    app.add_option("--error-m", o.error_m,
                   "One location error for every fix (metres); with --error, the error of the "
                   "fixes whose error field is empty (without it they are left out)");
    app.add_option("--weight", o.weight,
                   "The field of the location weights (a bias-corrected analysis)");
    app.add_option("--crs", o.crs,
                   "Where longitude/latitude is projected: auto (the UTM zone of each animal) "
                   "or EPSG:CODE")
        ->capture_default_str();
    app.add_option("--source-crs", o.source_crs,
                   "What the coordinates are in when the table does not say: EPSG:4326 for "
                   "longitude/latitude, metres for coordinates already in metres, or any EPSG "
                   "code (default: the table's own system, else the fields' names; values that "
                   "could be either are refused until this says which)");
    app.add_flag("--keep-outliers", o.keep_outliers,
                 "Keep the rows Movebank marks as not visible or as manually marked outliers "
                 "(left out by default)");
    std::string estimators, h, variance, max_time, levels, formats, overlap_levels;
    app.add_option("--estimators", estimators,
                   "Comma-separated: " + EstimatorNames(table) + " (default fixed-kernel,mcp)");
    app.add_flag("--compare", o.compare,
                 "Compare the models (-2 ln L, AICc, leave-one-out CVC) for each animal");
    app.add_option("--h", h,
                   "The kernels' smoothing parameter: href, cv, lscv, a number, or a percent of "
                   "h_ref such as 80% (default href)");
    app.add_option("--bb-variance", variance,
                   "The Brownian bridge variance: estimate (the default) or a number");
    app.add_option("--bb-max-time", max_time,
                   "The longest time between two fixes that is bridged (default: every gap)");
    app.add_option(
           "--bb-cell", o.bb_cell,
           "The spacing of the Brownian bridges' and the autocorrelated kernel's grids in metres")
        ->capture_default_str();
    app.add_option("--dbbmm-window", o.dbbmm.window,
                   "The dynamic Brownian bridge's window: an odd number of fixes")
        ->capture_default_str();
    app.add_option("--dbbmm-margin", o.dbbmm.margin,
                   "The dynamic Brownian bridge's margin: an odd number of fixes at each end of "
                   "a window where no break is looked for")
        ->capture_default_str();
    app.add_option("--levels", levels, "Home range levels in percent (default 50,95)");
    app.add_option("--formats", formats, "Comma-separated: txt, tif, gpkg (default txt)");
    app.add_flag("--overlap", o.overlap.on,
                 "Also compute how the animals' utilisation distributions overlap, every pair: "
                 "OUT/overlap.csv (HR, PHR, VI, BA, UDOI) and OUT/overlap.png (BA as a matrix)");
    app.add_option("--overlap-levels", overlap_levels,
                   "Home range levels of the overlap indices in percent (default 95; below 100 "
                   "VI, BA and UDOI use each distribution inside its range, renormalised)");
    app.add_option("--overlap-estimator", o.overlap.estimator,
                   "The estimator whose distributions are overlapped")
        ->capture_default_str();
    app.add_option("--overlap-cell", o.overlap.cell,
                   "The cell of the shared lattice in metres (default: a fifth of the smallest "
                   "spread among the animals: smoothing parameter, model or AKDE kernel standard "
                   "deviation, or bridge spread)");
    app.add_option("--jobs", o.jobs, "Animals computed at once (default: one per core)");
    app.add_flag("--quiet", o.quiet, "No progress on the terminal");
    app.add_flag("--resume", o.resume,
                 "Take the animals whose folders in --out a run with the same options and input "
                 "finished as done, and compute only the others (after a run that was stopped)");

    app.set_version_flag("--version", std::string("ranvik-batch ") + RANVIK_VERSION,
                         "Print the program's version and exit");

    std::vector<const char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        line.text = app.help();
        return line;
    } catch (const CLI::CallForVersion& version) {
        line.text = std::string(version.what()) + "\n";
        return line;
    } catch (const CLI::ParseError& e) {
        line.text = std::string(e.what()) + "\nRun with --help for more information.\n";
        line.exit_code = 2;
        return line;
    }
    if (std::string wrong =
            Convert(o, estimators, h, variance, max_time, levels, formats, overlap_levels);
        !wrong.empty()) {
        line.text = wrong + "\nRun with --help for more information.\n";
        line.exit_code = 2;
        return line;
    }
    line.run = true;
    return line;
}

} // namespace ranvik
