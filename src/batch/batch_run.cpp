#include "batch/batch_run.h"

#include "batch/batch_record.h"
#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "bridge/forms/bridge_results.h"
#include "input/forms/loaded_files.h"
#include "kernel/forms/kernel_results.h"
#include "kernel/kernel_grid.h"
#include "kernel/smoothing.h"
#include "models/forms/home_range_results.h"
#include "models/home_ranges.h"
#include "output/comparison.h"
#include "output/forms/comparison_results.h"
#include "output/forms/saved_results.h"
#include "output/home_range_levels.h"
#include "output/mcp.h"
#include "output/raster_export.h"
#include "output/result_files.h"
#include "state/number_text.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <span>
#include <system_error>
#include <unistd.h>

namespace ranvik {
namespace {

// The independent estimators in the order the wizard's model choice lists its requests.
constexpr Estimator kIndependent[] = {Estimator::FixedKernel,   Estimator::AdaptiveKernel,
                                      Estimator::BVN,           Estimator::NormalMixture,
                                      Estimator::CircleMixture, Estimator::ExpPower};

bool IsKernel(Estimator e) {
    return e == Estimator::FixedKernel || e == Estimator::AdaptiveKernel;
}

// The home range models in the driver's order.
std::optional<HomeRangeModel> ModelOf(Estimator e) {
    switch (e) {
    case Estimator::BVN:
        return HomeRangeModel::BVN;
    case Estimator::NormalMixture:
        return HomeRangeModel::NormalMixture;
    case Estimator::CircleMixture:
        return HomeRangeModel::CircleMixture;
    case Estimator::ExpPower:
        return HomeRangeModel::ExpPower;
    default:
        return std::nullopt;
    }
}

const Matrix* GridOf(const State& state, Estimator e) {
    switch (e) {
    case Estimator::FixedKernel:
        return state.DoneFixedKernel ? &state.GridFixedKernel : nullptr;
    case Estimator::AdaptiveKernel:
        return state.DoneAdKernel ? &state.GridAdKernel : nullptr;
    case Estimator::BVN:
        return state.DoneBVN ? &state.GridBVN : nullptr;
    case Estimator::NormalMixture:
        return state.Done2BVN ? &state.Grid2BVN : nullptr;
    case Estimator::CircleMixture:
        return state.Done2CN ? &state.Grid2CN : nullptr;
    case Estimator::ExpPower:
        return state.DoneExpPower ? &state.GridExpPower : nullptr;
    case Estimator::BrownianBridge:
        return state.DoneBB ? &state.BBOutput : nullptr;
    case Estimator::Mcp:
        return nullptr;
    }
    return nullptr;
}

ResultFile FileOf(Estimator e) {
    switch (e) {
    case Estimator::FixedKernel:
        return ResultFile::FixedKernel;
    case Estimator::AdaptiveKernel:
        return ResultFile::AdaptiveKernel;
    case Estimator::BVN:
        return ResultFile::BVN;
    case Estimator::NormalMixture:
        return ResultFile::TwoModeBVNMix;
    case Estimator::CircleMixture:
        return ResultFile::TwoModeCNMix;
    case Estimator::ExpPower:
        return ResultFile::ExpPower;
    default:
        return ResultFile::BrownianBridge;
    }
}

// The criteria a comparison left in the record for `e`, and the sentence when it could not be
// scored. Table order: exponential power, 1-mode normal, circle mixture, normal mixture, fixed
// kernel, adaptive kernel.
struct Criteria {
    std::optional<double> neg2lnl, aicc, cvc;
    std::string error;
};

Criteria CriteriaOf(const State& s, Estimator e) {
    const auto scored = [&s](int row, double neg2lnl, double aicc, double cvc) {
        Criteria c;
        c.error = s.ComparisonErrors[static_cast<std::size_t>(row)];
        if (c.error.empty()) {
            c.neg2lnl = neg2lnl;
            c.aicc = aicc;
            c.cvc = cvc;
        }
        return c;
    };
    const auto kernel = [&s](int row, double cvc) {
        Criteria c;
        c.error = s.ComparisonErrors[static_cast<std::size_t>(row)];
        if (c.error.empty()) {
            c.cvc = cvc;
        }
        return c;
    };
    switch (e) {
    case Estimator::ExpPower:
        return scored(0, s.Neg2LnLExpPower, s.AICcExpPower, s.CVCExpPower);
    case Estimator::BVN:
        return scored(1, s.Neg2LnLBVN, s.AICcBVN, s.CVCBVN);
    case Estimator::CircleMixture:
        return scored(2, s.Neg2LnL2CN, s.AICc2CN, s.CVC2CN);
    case Estimator::NormalMixture:
        return scored(3, s.Neg2LnL2BVN, s.AICc2BVN, s.CVC2BVN);
    case Estimator::FixedKernel:
        return kernel(4, s.CVCFixedKernel);
    case Estimator::AdaptiveKernel:
        return kernel(5, s.CVCAdKernel);
    default:
        return {};
    }
}

// "EPSG:<code>" of the system the fixes are in, or "" when it is not known.
std::string CrsText(const LoadedFile& file) {
    if (file.epsg != 0) {
        return "EPSG:" + std::to_string(file.epsg);
    }
    if (file.projection_wkt.empty()) {
        return {};
    }
    OGRSpatialReference srs;
    if (srs.importFromWkt(file.projection_wkt.c_str()) != OGRERR_NONE) {
        return {};
    }
    srs.AutoIdentifyEPSG();
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    return authority != nullptr && code != nullptr ? std::string(authority) + ":" + code
                                                   : std::string();
}

// The areas of a grid at the run's levels, as the home range picture computes them.
StatusOr<std::vector<HomeRangeArea>> GridAreas(const Matrix& grid,
                                               const std::vector<double>& levels) {
    const std::int32_t count = std::max(grid.Rows() - 1, 0);
    const auto lattice = LatticeOf(grid, count);
    if (!lattice.Ok()) {
        return lattice.status;
    }
    const VolumeLevels volume = CalcVolumeLevels(grid, count);
    std::vector<HomeRangeArea> areas;
    for (const double percent : levels) {
        auto area = CalcHomeRangeArea(grid, count, volume, lattice.value.dx, lattice.value.dy,
                                      percent / 100);
        if (!area.Ok()) {
            return area.status;
        }
        areas.push_back(area.value);
    }
    return areas;
}

// An area as the summary shows it: rounded to 2 decimals as the home range picture shows it,
// but never to 0 when the home range has an extent (then at full precision).
double SummaryArea(double area) {
    const double rounded = RoundHalfEven(area, 2);
    return rounded == 0 && area > 0 ? area : rounded;
}

// Builds an animal's rows and collects what went wrong.
class Rows {
public:
    Rows(AnimalResult& result, const BatchOptions& options) : result_(result), options_(options) {}

    // The rows left out of the fixes the next rows are made from.
    // Nothing when the load failed.
    void LeftOutOfLoad(const std::optional<LeftOut>& left_out) { left_out_ = left_out; }

    // A row per level for `e`, with the areas of `grid`.
    void Levels(Estimator e, std::int32_t n, const std::string& crs, const Matrix& grid,
                std::optional<double> h, std::optional<double> variance) {
        const auto areas = GridAreas(grid, options_.levels);
        if (!areas.Ok()) {
            Failed(e, n, crs, areas.status.error);
            return;
        }
        for (const HomeRangeArea& area : areas.value) {
            SummaryRow row = Row(e, n, crs);
            row.smoothing_h = h;
            row.bb_variance = variance;
            row.level_percent = area.percent * 100;
            row.area_m2 = SummaryArea(area.area);
            result_.rows.push_back(std::move(row));
        }
    }

    // A row per level for the MCP of locations 0..n-1 of `xy`, up to the first level that cannot
    // be made; the MCPs of the rows.
    std::vector<Mcp> Mcps(std::int32_t n, const std::string& crs, const Matrix& xy) {
        std::vector<Mcp> made;
        for (const double level : options_.levels) {
            auto mcp = CalcMcp(xy, n, level);
            if (!mcp.Ok()) {
                Failed(Estimator::Mcp, n, crs, mcp.status.error);
                break;
            }
            SummaryRow row = Row(Estimator::Mcp, n, crs);
            row.level_percent = level;
            row.area_m2 = SummaryArea(mcp.value.area);
            result_.rows.push_back(std::move(row));
            made.push_back(std::move(mcp.value));
        }
        return made;
    }

    void Failed(Estimator e, std::int32_t n, const std::string& crs, const std::string& error) {
        SummaryRow row = Row(e, n, crs);
        row.error = error;
        result_.rows.push_back(std::move(row));
        result_.failed = true;
    }

    // Puts a comparison's criteria on every row of `e`.
    void Compared(Estimator e, const Criteria& criteria) {
        for (SummaryRow& row : result_.rows) {
            if (row.estimator != EstimatorName(e)) {
                continue;
            }
            row.neg2lnl = criteria.neg2lnl;
            row.aicc = criteria.aicc;
            row.cvc = criteria.cvc;
            if (!criteria.error.empty()) {
                row.error += (row.error.empty() ? "" : " ") + criteria.error;
                result_.failed = true;
            }
        }
    }

private:
    SummaryRow Row(Estimator e, std::int32_t n, const std::string& crs) const {
        SummaryRow row;
        row.animal = result_.id;
        row.estimator = EstimatorName(e);
        row.n_locations = n;
        row.crs = crs;
        row.left_out = left_out_;
        return row;
    }

    AnimalResult& result_;
    const BatchOptions& options_;
    std::optional<LeftOut> left_out_;
};

// A record as the wizard starts it.
State FreshRecord() {
    State state;
    state.Pi = 4.0 * std::atan(1.0);
    return state;
}

// One animal's fixes read for `purpose`, as the loaders read them, and the rows left out.
struct AnimalLoad {
    LoadedFile file;
    LeftOut left_out;
};

// The run's fields as a load for `purpose` reads one animal's rows.
TelemetryFields FieldsFor(const BatchInput& input, TextFilePurpose purpose) {
    TelemetryFields fields = input.fields;
    fields.animal.clear(); // the rows are this animal's already
    if (purpose != TextFilePurpose::BridgeLocations) {
        // Independent locations keep the order of the table, as the wizard loads them.
        fields.time.clear();
        fields.error.clear();
    } else {
        fields.weight.clear();
    }
    return fields;
}

StatusOr<AnimalLoad> LoadAnimal(const BatchInput& input, const AnimalRows& animal,
                                TextFilePurpose purpose, const BatchOptions& options) {
    const TelemetryFields fields = FieldsFor(input, purpose);
    const bool bridge = purpose == TextFilePurpose::BridgeLocations;
    if (NeedsSourceSystem(animal.table, fields)) {
        return Status::Failure(
            AskSourceSystem("Animal \"" + animal.id + "\"", "Say which", "--source-crs "));
    }
    auto split = SplitTelemetry(animal.table, fields);
    if (!split.Ok()) {
        return split.status;
    }
    AnimalFixes fixes = std::move(split.value.animals.front());
    fixes.id = animal.id;
    auto file = AnimalLoadedFile(input.source, fixes, purpose, !bridge && !fields.weight.empty(),
                                 split.value.timestamps ? options.time_unit : std::string());
    if (!file.Ok()) {
        return file.status;
    }
    return AnimalLoad{std::move(file.value), fixes.left_out};
}

// Writes the record's waiting results in every format asked for into `folder`, with the minimum
// convex polygons `mcps` of its locations in the GeoPackage format; the sentences of the files
// that could not be written.
std::vector<std::string> SaveFormats(const State& state, const std::filesystem::path& folder,
                                     const BatchOptions& options,
                                     const std::vector<Estimator>& made,
                                     std::span<const Mcp> mcps = {}) {
    std::vector<std::string> errors;
    const auto save = [&](FileType type) {
        State copy = state; // each format from the unrounded grids
        copy.OutputLocLiks = false;
        for (const std::string& error : SaveResults(copy, folder, "", type).errors) {
            errors.push_back(error);
        }
    };
    if (options.txt) {
        save(FileType::CommaDelimited);
    }
    if (options.tif) {
        save(FileType::GeoTiff);
    }
    if (options.gpkg) {
        std::vector<double> levels;
        for (const double level : options.levels) {
            levels.push_back(level / 100);
        }
        for (const Estimator e : made) {
            const Matrix* grid = GridOf(state, e);
            if (grid == nullptr) {
                continue;
            }
            const std::string key(KeyWord(FileOf(e), state.BiasCorrected == 1));
            const Status written =
                WriteContourShapefile(folder / (key + ".gpkg"), *grid,
                                      std::max(grid->Rows() - 1, 0), levels, state.ProjectionWkt);
            if (!written.Ok()) {
                errors.push_back(written.error);
            }
        }
        if (!mcps.empty()) {
            const Status written = WriteMcpPolygons(folder / (std::string(kMcpKeyWord) + ".gpkg"),
                                                    mcps, state.ProjectionWkt);
            if (!written.Ok()) {
                errors.push_back(written.error);
            }
        }
    }
    return errors;
}

// The smoothing parameter chosen, from the searches the kernel options make on loading.
StatusOr<double> ChosenH(const SmoothingChoice& choice, const State& state, double h_ref,
                         const StatusOr<SmoothingSearch>& cv,
                         const StatusOr<SmoothingSearch>& lscv) {
    const bool weighted = state.BiasCorrected == 1;
    double h = 0;
    switch (choice.kind) {
    case SmoothingChoice::Kind::CV:
        if (!cv.Ok()) {
            return cv.status;
        }
        h = cv.value.h;
        break;
    case SmoothingChoice::Kind::LSCV:
        if (weighted) {
            return Status::Failure("h_LSCV is not available for weighted locations.");
        }
        if (!lscv.Ok()) {
            return lscv.status;
        }
        h = lscv.value.h;
        break;
    case SmoothingChoice::Kind::Href:
    case SmoothingChoice::Kind::PercentOfHref:
        if (weighted) {
            return Status::Failure("h_ref is not available for weighted locations.");
        }
        h = h_ref * choice.value * 0.01; // as the percent box scales the h_ref box
        break;
    case SmoothingChoice::Kind::Number:
        h = choice.value;
        break;
    }
    if (Status valid = CheckSmoothingParameter(h); !valid.Ok()) {
        return valid;
    }
    return h;
}

class Folder {
public:
    Folder(const std::filesystem::path& out, const std::string& name)
        : final_(out / name),
          partial_(out / ("." + name + ".partial-" + std::to_string(getpid()))) {
        std::error_code ignored;
        std::filesystem::remove_all(partial_, ignored);
        std::filesystem::create_directories(partial_, made_);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(partial_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    [[nodiscard]] const std::filesystem::path& Partial() const { return partial_; }
    [[nodiscard]] std::string Error() const {
        return made_ ? "The folder " + partial_.string() + " cannot be made: " + made_.message()
                     : std::string();
    }

    // Puts the finished folder in place of an earlier one.
    [[nodiscard]] Status Finish() {
        std::error_code error;
        std::filesystem::remove_all(final_, error);
        std::filesystem::rename(partial_, final_, error);
        if (error) {
            return Status::Failure("The folder " + final_.string() +
                                   " cannot be written: " + error.message());
        }
        return {};
    }

private:
    std::filesystem::path final_;
    std::filesystem::path partial_;
    std::error_code made_;
};

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string NumberField(const std::optional<double>& value) {
    return value ? FormatNumber(*value) : std::string();
}

} // namespace

std::string AnimalFolderName(std::string_view id) {
    std::string name = FileNamePart(id);
    if (name.empty() || name.front() == '.') {
        name.insert(0, "_"); // never hidden, never "." or ".."
    }
    return name;
}

StatusOr<BatchInput> OpenBatchInput(const BatchOptions& options) {
    auto source = OpenTelemetry(options.input);
    if (!source.Ok()) {
        return source.status;
    }
    BatchInput input;
    input.source = std::move(source.value);
    const TelemetryTable& table = input.source.table;
    const TelemetryFields suggested = SuggestedFields(input.source);
    TelemetryFields& f = input.fields;
    f.x = options.x.empty() ? suggested.x : options.x;
    f.y = options.y.empty() ? suggested.y : options.y;
    f.time = options.time.empty() ? suggested.time : options.time;
    f.animal = options.id.empty() ? suggested.animal : options.id;
    // A location error field the table's names offer is used unless one error for every fix
    // was asked for.
    f.error = !options.error.empty() ? options.error
                                     : (options.error_m ? std::string() : suggested.error);
    f.weight = options.weight;
    f.constant_error = options.error_m;
    f.keep_outliers = options.keep_outliers;
    f.seconds_per_unit = options.SecondsPerUnit();
    if (f.x.empty() || f.y.empty()) {
        return Status::Failure(table.name +
                               ": no field is known to hold the coordinates; name them with --x "
                               "and --y.");
    }
    if (options.Wants(Estimator::BrownianBridge) && f.time.empty()) {
        return Status::Failure(table.name + ": no field is known to hold the fix times, which the "
                                            "Brownian bridge needs; name it with --time.");
    }
    for (const std::string* name : {&f.x, &f.y, &f.time, &f.animal, &f.error, &f.weight}) {
        if (!name->empty() && table.FieldIndex(*name) < 0) {
            return Status::Failure(table.name + " has no field named \"" + *name + "\".");
        }
    }
    const int target = ParseEpsgChoice(options.crs == "auto" ? "" : options.crs).value_or(0);
    const SourceSystem answer = ParseSourceSystem(options.source_crs).value_or(SourceSystem{});
    if (Status chosen = ChooseCoordinateSystem(input.source, answer, target, f); !chosen.Ok()) {
        return Status::Failure("--source-crs: " + chosen.error);
    }

    // Rows grouped by animal, in order of first appearance.
    const int id_field = f.animal.empty() ? -1 : table.FieldIndex(f.animal);
    std::map<std::string, std::size_t> index_of;
    TelemetryTable& rows = input.source.table;
    for (std::size_t r = 0; r < rows.rows.size(); ++r) {
        const std::string id = id_field >= 0
                                   ? rows.rows[r][static_cast<std::size_t>(id_field)]
                                   : std::filesystem::path(input.source.path).stem().string();
        const auto [at, added] = index_of.try_emplace(id, input.animals.size());
        if (added) {
            AnimalRows animal;
            animal.id = id;
            animal.table.name = rows.name;
            animal.table.fields = rows.fields;
            input.animals.push_back(std::move(animal));
        }
        TelemetryTable& own = input.animals[at->second].table;
        own.rows.push_back(std::move(rows.rows[r]));
        own.lines.push_back(rows.lines[r]);
    }
    rows.rows.clear();
    rows.lines.clear();
    return input;
}

AnimalResult RunAnimal(const BatchInput& input, std::size_t index, const BatchOptions& options,
                       const RunControl& control, Notifier& notifier, BatchProgress* progress) {
    const AnimalRows& animal = input.animals.at(index);
    AnimalResult result;
    result.id = animal.id;
    Rows rows(result, options);
    const auto step = [&](std::string_view what) {
        if (progress != nullptr) {
            progress->Step(animal.id, what);
        }
    };
    Folder folder(options.out, AnimalFolderName(animal.id));
    if (const std::string error = folder.Error(); !error.empty()) {
        for (const Estimator e : options.estimators) {
            rows.Failed(e, 0, {}, error);
        }
        return result;
    }
    std::vector<std::string> save_errors;
    // Says what a load left out, once for each kind of load, and counts it on the rows after.
    std::optional<LeftOut> told;
    const auto tell_left_out = [&](const LeftOut& left_out) {
        rows.LeftOutOfLoad(left_out);
        if (told != left_out) {
            for (const std::string& sentence : LeftOutSentences(left_out)) {
                notifier.Inform(sentence);
            }
        }
        told = left_out;
    };
    const auto cancelled = [&result] {
        result.cancelled = true;
        result.rows.clear();
        return result;
    };

    std::vector<Estimator> independent;
    for (const Estimator e : kIndependent) {
        if (options.Wants(e)) {
            independent.push_back(e);
        }
    }
    const bool weighted = !input.fields.weight.empty();
    if (!independent.empty() || options.Wants(Estimator::Mcp)) {
        step("locations");
        auto file = LoadAnimal(input, animal, TextFilePurpose::IndependentLocations, options);
        std::vector<Estimator> wanted = independent;
        if (options.Wants(Estimator::Mcp)) {
            wanted.push_back(Estimator::Mcp);
        }
        if (!file.Ok()) {
            for (const Estimator e : wanted) {
                rows.Failed(e, 0, {}, file.status.error);
            }
        } else {
            tell_left_out(file.value.left_out);
            const std::string crs = CrsText(file.value.file);
            State state = FreshRecord();
            state.BiasCorrected = weighted ? 1 : 0;
            const LoadedFile loaded = file.value.file;
            const std::int32_t n = TakeLoadedFile(state, std::move(file.value.file));
            const std::span<const double> weights =
                weighted ? std::span<const double>(state.LocWeights) : std::span<const double>();

            // Not offered for weighted locations.
            std::vector<Estimator> made;
            for (const Estimator e : independent) {
                if (weighted && (e == Estimator::AdaptiveKernel || e == Estimator::ExpPower ||
                                 e == Estimator::CircleMixture)) {
                    rows.Failed(e, n, crs,
                                "The " + std::string(EstimatorName(e)) +
                                    " estimator is not available for weighted locations.");
                } else {
                    made.push_back(e);
                }
            }
            std::optional<double> kernel_h;
            const bool kernels = std::any_of(made.begin(), made.end(), IsKernel);
            if (kernels) {
                // The kernel options search h_CV and h_LSCV as soon as they open.
                step("smoothing parameter");
                StatusOr<double> h = Status::Failure("");
                if (Status input_ok = CheckSmoothingInput(state.LocXY, n); !input_ok.Ok()) {
                    h = input_ok;
                } else {
                    // The searches the wizard makes on opening its kernel options change no
                    // result but the h they find, so only the one asked for is made (LSCV after
                    // CV, whose workspace it starts from).
                    const MinimiserWorkspace start = state.Minimiser;
                    const double h_ref = CalcHref(state.LocXY, n);
                    const bool want_cv = options.h.kind == SmoothingChoice::Kind::CV ||
                                         options.h.kind == SmoothingChoice::Kind::LSCV;
                    const bool want_lscv = options.h.kind == SmoothingChoice::Kind::LSCV;
                    StatusOr<SmoothingSearch> cv = Status::Failure("");
                    if (want_cv) {
                        cv = CalcCVh(state.LocXY, h_ref, n, weights, start, control);
                    }
                    StatusOr<SmoothingSearch> lscv = Status::Failure("");
                    if (want_lscv && !weighted && !cv.status.cancelled) {
                        lscv = CalcLSCVh(state.LocXY, h_ref, n,
                                         cv.Ok() ? cv.value.minimiser : start, control);
                    }
                    if (cv.status.cancelled || lscv.status.cancelled) {
                        return cancelled();
                    }
                    if (cv.Ok()) {
                        CommitSmoothingSearch(state, cv.value);
                    }
                    if (!weighted && lscv.Ok()) {
                        CommitSmoothingSearch(state, lscv.value);
                    }
                    h = ChosenH(options.h, state, h_ref, cv, lscv);
                }
                for (const Estimator e : {Estimator::FixedKernel, Estimator::AdaptiveKernel}) {
                    if (std::find(made.begin(), made.end(), e) == made.end()) {
                        continue;
                    }
                    if (!h.Ok()) {
                        rows.Failed(e, n, crs, h.status.error);
                        continue;
                    }
                    kernel_h = h.value;
                    step(EstimatorName(e));
                    if (e == Estimator::FixedKernel) {
                        auto grid = CalcFixedKernel(state.LocXY, n, h.value, weights, control);
                        if (grid.status.cancelled) {
                            return cancelled();
                        }
                        grid.Ok() ? CommitFixedKernel(state, std::move(grid.value))
                                  : rows.Failed(e, n, crs, grid.status.error);
                    } else {
                        auto grid = CalcAdKernel(state.LocXY, n, h.value, control);
                        if (grid.status.cancelled) {
                            return cancelled();
                        }
                        grid.Ok() ? CommitAdKernel(state, std::move(grid.value))
                                  : rows.Failed(e, n, crs, grid.status.error);
                    }
                }
            }
            HomeRangeInput models = HomeRangeInputOf(state);
            bool any_model = false;
            for (const Estimator e : made) {
                if (const auto model = ModelOf(e)) {
                    models.requested[static_cast<std::size_t>(*model)] = true;
                    any_model = true;
                }
            }
            if (any_model) {
                step("models");
                auto fitted = CalcHomeRanges(models, notifier, control);
                if (fitted.status.cancelled) {
                    return cancelled();
                }
                if (fitted.Ok()) {
                    for (const Estimator e : made) {
                        const auto model = ModelOf(e);
                        if (!model) {
                            continue;
                        }
                        const auto& made_model =
                            fitted.value.models[static_cast<std::size_t>(*model)];
                        if (made_model && !made_model->Ok()) {
                            rows.Failed(e, n, crs, made_model->status.error);
                        }
                    }
                    (void)CommitHomeRanges(state, std::move(fitted.value));
                } else {
                    for (const Estimator e : made) {
                        if (ModelOf(e)) {
                            rows.Failed(e, n, crs, fitted.status.error);
                        }
                    }
                }
            }
            for (const Estimator e : made) {
                if (const Matrix* grid = GridOf(state, e)) {
                    rows.Levels(e, n, crs, *grid, IsKernel(e) ? kernel_h : std::nullopt,
                                std::nullopt);
                }
            }
            std::vector<Mcp> mcps;
            if (options.Wants(Estimator::Mcp)) {
                mcps = rows.Mcps(n, crs, state.LocXY);
            }
            step("files");
            for (std::string& error : SaveFormats(state, folder.Partial(), options, made, mcps)) {
                save_errors.push_back(std::move(error));
            }

            // The comparison runs on the locations loaded afresh, as the wizard's comparison
            // path does.
            if (options.compare && !made.empty() && !weighted) {
                step("comparison");
                const auto has = [&made](Estimator e) {
                    return std::find(made.begin(), made.end(), e) != made.end();
                };
                ComparisonChoice choice;
                choice.exp_power = has(Estimator::ExpPower);
                choice.bvn = has(Estimator::BVN);
                choice.circle_mixture = has(Estimator::CircleMixture);
                choice.normal_mixture = has(Estimator::NormalMixture);
                choice.fixed_kernel = has(Estimator::FixedKernel);
                choice.adaptive_kernel = has(Estimator::AdaptiveKernel);
                State fresh = FreshRecord();
                TakeLoadedFile(fresh, LoadedFile(loaded));
                auto compared =
                    RunComparison(fresh.LocXY, fresh.NumLocs, choice,
                                  SimplexFit{fresh.Simplex, fresh.Starts}, notifier, control);
                if (compared.status.cancelled) {
                    return cancelled();
                }
                if (compared.Ok()) {
                    (void)CommitComparison(fresh, std::move(compared.value));
                    for (const Estimator e : made) {
                        rows.Compared(e, CriteriaOf(fresh, e));
                    }
                } else {
                    for (const Estimator e : made) {
                        rows.Compared(e, Criteria{{}, {}, {}, compared.status.error});
                    }
                }
            }
        }
    }

    if (options.Wants(Estimator::BrownianBridge)) {
        const Estimator bb = Estimator::BrownianBridge;
        step("fixes");
        auto file = LoadAnimal(input, animal, TextFilePurpose::BridgeLocations, options);
        rows.LeftOutOfLoad(std::nullopt);
        if (!file.Ok()) {
            rows.Failed(bb, 0, {}, file.status.error);
        } else {
            tell_left_out(file.value.left_out);
            const std::string crs = CrsText(file.value.file);
            State state = FreshRecord();
            const std::int32_t n = TakeLoadedFile(state, std::move(file.value.file));
            Status made;
            if (options.bb_variance) {
                state.BBVariance = *options.bb_variance;
            } else {
                step("bb variance");
                const auto estimate =
                    EstimateBBVariance(state.BBSortedLocs, n, state.Minimiser, notifier, control);
                if (estimate.status.cancelled) {
                    return cancelled();
                }
                made = estimate.status;
                if (estimate.Ok()) {
                    CommitBBVariance(state, estimate.value);
                }
            }
            state.BBMaxTime = options.bb_max_time.value_or(std::numeric_limits<double>::max());
            BridgeGridSpec spec = AutoBridgeGridExtent(state.BBSortedLocs, n);
            spec.resolution = options.bb_cell;
            if (made.Ok()) {
                made = CheckBridgeGridSpec(spec);
            }
            if (made.Ok()) {
                step("bb");
                auto grid = CalcBBGrid(state.BBSortedLocs, n, state.BBVariance, state.BBMaxTime,
                                       spec, control);
                if (grid.status.cancelled) {
                    return cancelled();
                }
                made = grid.status;
                if (grid.Ok()) {
                    CommitBridgeOutput(state, std::move(grid.value));
                }
            }
            if (!made.Ok()) {
                rows.Failed(bb, n, crs, made.error);
            } else {
                rows.Levels(bb, n, crs, state.BBOutput, std::nullopt, state.BBVariance);
                step("files");
                for (std::string& error :
                     SaveFormats(state, folder.Partial(), options, {Estimator::BrownianBridge})) {
                    save_errors.push_back(std::move(error));
                }
            }
        }
    }

    std::stable_sort(result.rows.begin(), result.rows.end(),
                     [](const SummaryRow& a, const SummaryRow& b) {
                         if (a.estimator != b.estimator) {
                             return a.estimator < b.estimator;
                         }
                         return a.level_percent.value_or(0) < b.level_percent.value_or(0);
                     });
    if (control.progress && !control.Report(1.0)) {
        return cancelled();
    }
    const auto files_failed = [&result](const std::string& error) {
        SummaryRow row;
        row.animal = result.id;
        row.estimator = "files";
        row.error = error;
        result.rows.push_back(std::move(row));
        result.failed = true;
    };
    for (const std::string& error : save_errors) {
        files_failed(error);
    }
    // The record goes in last, so a folder that holds one is whole, and with the lines as they
    // stand: only a folder that could not be put in place adds a row, and then it has no record.
    const RunRecord record{OptionsFingerprint(options, input.fields),
                           InputFingerprint(input, index), result.failed,
                           SummaryLines(result, options.compare)};
    if (Status kept = WriteRecord(folder.Partial(), record); !kept.Ok()) {
        files_failed(kept.error);
    }
    if (Status finished = folder.Finish(); !finished.Ok()) {
        files_failed(finished.error);
    }
    return result;
}

LeftOut LeftOutOfRun(const BatchInput& input, const BatchOptions& options) {
    const TextFilePurpose purpose = options.Wants(Estimator::BrownianBridge)
                                        ? TextFilePurpose::BridgeLocations
                                        : TextFilePurpose::IndependentLocations;
    const TelemetryFields fields = FieldsFor(input, purpose);
    LeftOut total;
    for (const AnimalRows& animal : input.animals) {
        if (const auto split = SplitTelemetry(animal.table, fields); split.Ok()) {
            total += split.value.left_out;
        }
    }
    return total;
}

std::string SummaryHeader(bool compare) {
    std::string header = "animal,estimator,n_locations,smoothing_h,bb_variance,level_percent,"
                         "area_m2,crs,skipped_no_coordinates,skipped_no_time,skipped_no_error,"
                         "skipped_outliers,skipped_duplicates";
    if (compare) {
        header += ",neg2lnl,aicc,cvc";
    }
    return header + ",error\n";
}

std::string SummaryLines(const AnimalResult& result, bool compare) {
    std::string text;
    for (const SummaryRow& row : result.rows) {
        text += CsvField(row.animal) + "," + CsvField(row.estimator) + "," +
                std::to_string(row.n_locations) + "," + NumberField(row.smoothing_h) + "," +
                NumberField(row.bb_variance) + "," + NumberField(row.level_percent) + "," +
                NumberField(row.area_m2) + "," + CsvField(row.crs);
        for (const auto count : {&LeftOut::no_coordinates, &LeftOut::no_time, &LeftOut::no_error,
                                 &LeftOut::outliers, &LeftOut::duplicates}) {
            text += "," + (row.left_out ? std::to_string(*row.left_out.*count) : std::string());
        }
        if (compare) {
            text += "," + NumberField(row.neg2lnl) + "," + NumberField(row.aicc) + "," +
                    NumberField(row.cvc);
        }
        text += "," + CsvField(row.error) + "\n";
    }
    return text;
}

std::string SummaryText(std::vector<std::pair<std::string, std::string>> lines, bool compare) {
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = SummaryHeader(compare);
    for (const auto& [animal, animal_lines] : lines) {
        text += animal_lines;
    }
    return text;
}

void RemovePartialFolders(const std::filesystem::path& out) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(out, error)) {
        const std::string name = entry.path().filename().string();
        if ((name.starts_with(".") && name.find(".partial-") != std::string::npos) ||
            name.starts_with("summary.csv.partial-")) {
            std::filesystem::remove_all(entry.path(), error);
        }
    }
}

Status WriteWholeFile(const std::filesystem::path& path, std::string_view text) {
    const std::filesystem::path partial = path.string() + ".partial-" + std::to_string(getpid());
    {
        std::ofstream out(partial, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush()) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return Status::Failure(path.string() + " cannot be written.");
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        return Status::Failure(path.string() + " cannot be written: " + error.message());
    }
    return {};
}

} // namespace ranvik
