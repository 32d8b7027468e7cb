#include "batch/batch_run.h"

#include "batch/batch_folder.h"
#include "batch/batch_record.h"
#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "input/forms/loaded_files.h"
#include "kernel/akde.h"
#include "kernel/kernel_grid.h"
#include "kernel/smoothing.h"
#include "models/home_ranges.h"
#include "output/comparison.h"
#include "output/estimator_table.h"
#include "output/forms/saved_results.h"
#include "output/home_range_levels.h"
#include "output/mcp.h"
#include "output/raster_export.h"
#include "output/result_files.h"
#include "state/loaded_locations.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace ranvik {
namespace {

// The criteria a comparison gave an estimator, and the sentence when it could not be scored.
struct Criteria {
    std::optional<double> neg2lnl, aicc, cvc;
    std::string error;
};

Criteria CriteriaOf(const ComparisonResults& results, const EstimatorRow& row) {
    Criteria c;
    if (row.compared == nullptr) {
        return c;
    }
    const auto k = static_cast<std::size_t>(row.comparison_row);
    if (k < results.models.size()) {
        if (const auto& scored = results.models[k]; !scored || !scored->Ok()) {
            c.error = scored ? scored->status.error : std::string();
        } else {
            c.neg2lnl = scored->value.scores.neg2lnl;
            c.aicc = scored->value.scores.aicc;
            c.cvc = scored->value.scores.cvc;
        }
    } else if (const auto& scored = results.kernels.at(k - results.models.size());
               !scored || !scored->Ok()) {
        c.error = scored ? scored->status.error : std::string();
    } else {
        c.cvc = scored->value.cvc;
    }
    return c;
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

// Builds an animal's rows and collects what went wrong.
class Rows {
public:
    Rows(AnimalResult& result, const BatchOptions& options) : result_(result), options_(options) {}

    // The rows left out of the fixes the next rows are made from; nothing when the load failed.
    void LeftOutOfLoad(const std::optional<LeftOut>& left_out) { left_out_ = left_out; }

    // A row per level for `estimator`, with the areas of `grid`.
    void Levels(std::string_view estimator, std::int32_t n, const std::string& crs,
                const Matrix& grid, std::optional<double> h, std::optional<double> variance,
                const std::optional<EstimatorOutput::AreaUncertainty>& uncertainty = {}) {
        const auto areas = GridAreas(grid, options_.levels);
        if (!areas.Ok()) {
            Failed(estimator, n, crs, areas.status.error);
            return;
        }
        for (const HomeRangeArea& area : areas.value) {
            SummaryRow row = Row(estimator, n, crs);
            row.smoothing_h = h;
            row.bb_variance = variance;
            row.level_percent = area.percent * 100;
            row.area_m2 = SummaryArea(area.area);
            if (uncertainty) {
                const AreaInterval interval = AreaWithInterval(area.area, uncertainty->effective_n);
                row.area_low_m2 = SummaryArea(interval.low);
                row.area_high_m2 = SummaryArea(interval.high);
                row.model = uncertainty->model;
                row.effective_n = uncertainty->effective_n;
            }
            result_.rows.push_back(std::move(row));
        }
    }

    // A row per level for the polygons of `estimator` (the MCP) of locations 0..n-1 of `xy`, up
    // to the first level that cannot be made; the polygons of the rows.
    std::vector<Mcp> Polygons(std::string_view estimator, std::int32_t n, const std::string& crs,
                              const Matrix& xy) {
        std::vector<Mcp> made;
        for (const double level : options_.levels) {
            auto mcp = CalcMcp(xy, n, level);
            if (!mcp.Ok()) {
                Failed(estimator, n, crs, mcp.status.error);
                break;
            }
            SummaryRow row = Row(estimator, n, crs);
            row.level_percent = level;
            row.area_m2 = SummaryArea(mcp.value.area);
            result_.rows.push_back(std::move(row));
            made.push_back(std::move(mcp.value));
        }
        return made;
    }

    void Failed(std::string_view estimator, std::int32_t n, const std::string& crs,
                const std::string& error) {
        SummaryRow row = Row(estimator, n, crs);
        row.error = error;
        result_.rows.push_back(std::move(row));
        result_.failed = true;
    }

    // Puts a comparison's criteria on every row of `estimator`.
    void Compared(std::string_view estimator, const Criteria& criteria) {
        for (SummaryRow& row : result_.rows) {
            if (row.estimator != estimator) {
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
    SummaryRow Row(std::string_view estimator, std::int32_t n, const std::string& crs) const {
        SummaryRow row;
        row.animal = result_.id;
        row.estimator = estimator;
        row.n_locations = n;
        row.crs = crs;
        row.left_out = left_out_;
        return row;
    }

    AnimalResult& result_;
    const BatchOptions& options_;
    std::optional<LeftOut> left_out_;
};

// A grid an estimator made, to be given its levels and saved.
struct MadeGrid {
    const EstimatorRow* row = nullptr;
    EstimatorOutput output;
};

// Writes the grids made, in every format asked for, into `folder` (named by their key words, or
// weighted ones for weighted locations), with the polygons `mcps` in the GeoPackage format; the
// sentences of the files that could not be written.
std::vector<std::string> SaveFormats(const std::vector<MadeGrid>& made, bool weighted,
                                     const std::string& wkt, const std::filesystem::path& folder,
                                     const BatchOptions& options, std::span<const Mcp> mcps = {}) {
    std::vector<std::string> errors;
    const auto key = [weighted](const MadeGrid& grid) {
        return weighted ? grid.row->weighted_key : grid.row->key;
    };
    for (const auto& [wanted, type] : {std::pair{options.txt, FileType::CommaDelimited},
                                       std::pair{options.tif, FileType::GeoTiff}}) {
        for (const MadeGrid& grid : made) {
            if (!wanted) {
                break;
            }
            if (grid.output.grid.Rows() == 0) {
                continue; // refused: only its tables are written
            }
            const auto path =
                folder / (std::string(key(grid)) + (type == FileType::GeoTiff ? ".tif" : ".txt"));
            if (WriteOutcome written = WriteResultGrid(path, grid.output.grid, type, wkt);
                !written.Ok()) {
                errors.push_back(std::move(written.error));
            }
        }
    }
    for (const MadeGrid& grid : made) {
        for (const ResultTable& table : grid.output.tables) {
            if (WriteOutcome written =
                    WriteTextFile(folder / (table.key + table.extension), table.text);
                !written.Ok()) {
                errors.push_back(std::move(written.error));
            }
        }
    }
    if (!options.gpkg) {
        return errors;
    }
    std::vector<double> levels;
    for (const double level : options.levels) {
        levels.push_back(level / 100);
    }
    for (const MadeGrid& grid : made) {
        const Matrix& values = grid.output.grid;
        if (values.Rows() == 0) {
            continue;
        }
        const Status written =
            WriteContourShapefile(folder / (std::string(key(grid)) + ".gpkg"), values,
                                  std::max(values.Rows() - 1, 0), levels, wkt);
        if (!written.Ok()) {
            errors.push_back(written.error);
        }
    }
    if (!mcps.empty()) {
        const Status written =
            WriteMcpPolygons(folder / (std::string(kMcpKeyWord) + ".gpkg"), mcps, wkt);
        if (!written.Ok()) {
            errors.push_back(written.error);
        }
    }
    return errors;
}

// The smoothing parameter chosen, from the searches the kernel options make on loading: `cv`
// and `lscv` hold the searches that were made (the one the choice names always is).
StatusOr<double> ChosenH(const SmoothingChoice& choice, bool weighted, double h_ref,
                         const std::optional<StatusOr<SmoothingSearch>>& cv,
                         const std::optional<StatusOr<SmoothingSearch>>& lscv) {
    double h = 0;
    switch (choice.kind) {
    case SmoothingChoice::Kind::CV:
        if (!cv || !cv->Ok()) {
            return cv ? cv->status : Status::Failure("h_CV could not be searched.");
        }
        h = cv->value.h;
        break;
    case SmoothingChoice::Kind::LSCV:
        if (weighted) {
            return Status::Failure("h_LSCV is not available for weighted locations.");
        }
        if (!lscv || !lscv->Ok()) {
            return lscv ? lscv->status : Status::Failure("h_LSCV could not be searched.");
        }
        h = lscv->value.h;
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

// The locations of one animal as its estimators run on them.
struct Independents {
    Session session;
    std::int32_t n = 0;
    std::string crs;
    bool weighted = false;
    std::vector<const EstimatorRow*> offered; // asked for and offered for these locations
    std::vector<MadeGrid> made;
    std::optional<double> kernel_h;

    [[nodiscard]] const IndependentLocations& locations() const {
        return *session.loaded().locations;
    }
};

// The input of the rows made from a track: its fixes and the bridge options.
EstimatorInput TrackInput(const Session& session, std::int32_t n, const BatchOptions& options) {
    EstimatorInput input{session.loaded().track->sorted, n};
    input.variance = options.bb_variance;
    input.max_time = options.bb_max_time.value_or(std::numeric_limits<double>::max());
    input.cell = options.bb_cell;
    input.dynamic = options.dbbmm;
    return input;
}

// One animal's run, step by step. Each step adds its summary rows and writes its files into
// the animal's partial folder; a step that returns false was cancelled.
class AnimalRun {
public:
    AnimalRun(const BatchInput& input, std::size_t index, const BatchOptions& options,
              const RunControl& control, Notifier& notifier, BatchProgress* progress)
        : input_(input), index_(index), animal_(input.animals.at(index)), options_(options),
          control_(control), notifier_(notifier), progress_(progress),
          folder_(options.out, AnimalFolderName(animal_.id)) {
        result_.id = animal_.id;
    }

    AnimalResult Run();

private:
    void Step(std::string_view what);
    void TellLeftOut(const LeftOut& left_out);
    bool IndependentLocations();
    void Offer(Independents& run, const std::vector<const EstimatorRow*>& asked);
    bool Grids(Independents& run);
    bool Compare(const LoadedFile& loaded, const std::vector<MadeGrid>& made);
    bool Track();
    AnimalResult Finish();
    AnimalResult Cancelled();

    const BatchInput& input_;
    std::size_t index_;
    const AnimalRows& animal_;
    const BatchOptions& options_;
    const RunControl& control_;
    Notifier& notifier_;
    BatchProgress* progress_;
    AnimalResult result_;
    Rows rows_{result_, options_};
    AnimalFolder folder_;
    std::vector<std::string> save_errors_;
    std::optional<LeftOut> told_; // what the last load left out, once said
};

AnimalResult AnimalRun::Run() {
    if (const std::string error = folder_.Error(); !error.empty()) {
        for (const std::string& name : options_.estimators) {
            rows_.Failed(name, 0, {}, error);
        }
        return std::move(result_);
    }
    if (options_.WantsData(EstimatorData::Locations) && !IndependentLocations()) {
        return Cancelled();
    }
    if (options_.WantsData(EstimatorData::Track) && !Track()) {
        return Cancelled();
    }
    return Finish();
}

void AnimalRun::Step(std::string_view what) {
    if (progress_ != nullptr) {
        progress_->Step(animal_.id, what);
    }
}

// Says what a load left out, once for each kind of load, and counts it on the rows after.
void AnimalRun::TellLeftOut(const LeftOut& left_out) {
    rows_.LeftOutOfLoad(left_out);
    if (told_ != left_out) {
        for (const std::string& sentence : LeftOutSentences(left_out)) {
            notifier_.Inform(sentence);
        }
    }
    told_ = left_out;
}

bool AnimalRun::IndependentLocations() {
    const std::vector<const EstimatorRow*> asked = options_.Requested(EstimatorData::Locations);
    Step("locations");
    auto file = LoadAnimal(input_, animal_, TextFilePurpose::IndependentLocations, options_);
    if (!file.Ok()) {
        for (const EstimatorRow* row : asked) {
            rows_.Failed(row->name, 0, {}, file.status.error);
        }
        return true;
    }
    TellLeftOut(file.value.left_out);
    Independents run;
    run.crs = CrsText(file.value.file);
    run.weighted = !input_.fields.weight.empty();
    run.session.ChooseAnalysis(true, false, run.weighted);
    const LoadedFile loaded = file.value.file;
    run.n = TakeLoadedFile(run.session, std::move(file.value.file));
    Offer(run, asked);
    if (!Grids(run)) {
        return false;
    }
    for (const MadeGrid& grid : run.made) {
        rows_.Levels(grid.row->name, run.n, run.crs, grid.output.grid,
                     grid.row->smoothed ? run.kernel_h : std::nullopt, std::nullopt);
    }
    std::vector<Mcp> mcps;
    for (const EstimatorRow* row : run.offered) {
        if (row->kind == EstimatorKind::Polygons) {
            mcps = rows_.Polygons(row->name, run.n, run.crs, run.locations().xy);
        }
    }
    Step("files");
    for (std::string& error :
         SaveFormats(run.made, run.weighted, run.session.loaded().file.projection_wkt,
                     folder_.Partial(), options_, mcps)) {
        save_errors_.push_back(std::move(error));
    }
    // The comparison runs on the locations loaded afresh, as the wizard's comparison path does.
    if (options_.compare && !run.made.empty() && !run.weighted) {
        return Compare(loaded, run.made);
    }
    return true;
}

// The estimators asked for that the locations allow: weighted locations offer only the rows
// that take weights.
void AnimalRun::Offer(Independents& run, const std::vector<const EstimatorRow*>& asked) {
    for (const EstimatorRow* row : asked) {
        if (run.weighted && !row->weighted) {
            rows_.Failed(row->name, run.n, run.crs,
                         "The " + std::string(row->name) +
                             " estimator is not available for weighted locations.");
        } else {
            run.offered.push_back(row);
        }
    }
}

// The kernels' smoothing parameter as the kernel options find it when they open. The searches
// they make there change no result but the h they find, so only the one asked for is made
// (LSCV after CV, whose workspace it starts from). A cancelled search gives a cancelled status.
StatusOr<double> SearchH(const IndependentLocations& locations, std::int32_t n, bool weighted,
                         const SmoothingChoice& choice, const RunControl& control) {
    if (Status input_ok = CheckSmoothingInput(locations.xy, n); !input_ok.Ok()) {
        return input_ok;
    }
    const MinimiserWorkspace start; // as a fresh wizard's first search starts
    const double h_ref = CalcHref(locations.xy, n);
    const std::span<const double> weights =
        weighted ? std::span<const double>(locations.weights) : std::span<const double>();
    const bool want_lscv = choice.kind == SmoothingChoice::Kind::LSCV;
    const bool want_cv = want_lscv || choice.kind == SmoothingChoice::Kind::CV;
    std::optional<StatusOr<SmoothingSearch>> cv;
    std::optional<StatusOr<SmoothingSearch>> lscv;
    if (want_cv) {
        cv = CalcCVh(locations.xy, h_ref, n, weights, start, control);
        if (cv->status.cancelled) {
            return Status::Cancelled();
        }
    }
    if (want_lscv && !weighted) {
        lscv = CalcLSCVh(locations.xy, h_ref, n, cv->Ok() ? cv->value.minimiser : start, control);
        if (lscv->status.cancelled) {
            return Status::Cancelled();
        }
    }
    return ChosenH(choice, weighted, h_ref, cv, lscv);
}

// Each grid offered, in table order: the smoothed ones once the smoothing parameter is found,
// the simplex fits each from the workspace the one before left.
bool AnimalRun::Grids(Independents& run) {
    std::optional<StatusOr<double>> h;
    EstimatorChain chain;
    for (const EstimatorRow* row : run.offered) {
        if (row->kind != EstimatorKind::Grid) {
            continue;
        }
        if (row->smoothed && !h) {
            Step("smoothing parameter");
            h = SearchH(run.locations(), run.n, run.weighted, options_.h, control_);
            if (h->status.cancelled) {
                return false;
            }
        }
        if (row->smoothed && !h->Ok()) {
            rows_.Failed(row->name, run.n, run.crs, h->status.error);
            continue;
        }
        EstimatorInput input{run.locations().xy, run.n};
        input.weights = run.weighted ? &run.locations().weights : nullptr;
        input.h = row->smoothed ? h->value : 0.0;
        Step(row->name);
        auto made = row->compute(input, chain, notifier_, control_);
        if (made.status.cancelled) {
            return false;
        }
        if (!made.Ok()) {
            rows_.Failed(row->name, run.n, run.crs, made.status.error);
            continue;
        }
        if (row->smoothed) {
            run.kernel_h = h->value;
        }
        run.made.push_back({row, std::move(made.value)});
    }
    return true;
}

bool AnimalRun::Compare(const LoadedFile& loaded, const std::vector<MadeGrid>& made) {
    Step("comparison");
    ComparisonChoice choice;
    for (const MadeGrid& grid : made) {
        if (grid.row->compared != nullptr) {
            choice.*grid.row->compared = true;
        }
    }
    Session fresh;
    const std::int32_t n = TakeLoadedFile(fresh, LoadedFile(loaded));
    auto compared =
        RunComparison(fresh.loaded().locations->xy, n, choice, SimplexFit{}, notifier_, control_);
    if (compared.status.cancelled) {
        return false;
    }
    for (const MadeGrid& grid : made) {
        rows_.Compared(grid.row->name, compared.Ok() ? CriteriaOf(compared.value, *grid.row)
                                                     : Criteria{{}, {}, {}, compared.status.error});
    }
    return true;
}

// The estimators made from the track: its fixes in time order, each row's grid and levels, and
// their files.
bool AnimalRun::Track() {
    const std::vector<const EstimatorRow*> asked = options_.Requested(EstimatorData::Track);
    Step("fixes");
    auto file = LoadAnimal(input_, animal_, TextFilePurpose::BridgeLocations, options_);
    rows_.LeftOutOfLoad(std::nullopt);
    if (!file.Ok()) {
        for (const EstimatorRow* row : asked) {
            rows_.Failed(row->name, 0, {}, file.status.error);
        }
        return true;
    }
    TellLeftOut(file.value.left_out);
    const std::string crs = CrsText(file.value.file);
    Session session;
    const std::int32_t n = TakeLoadedFile(session, std::move(file.value.file));
    const EstimatorInput input = TrackInput(session, n, options_);
    EstimatorChain chain;
    std::vector<MadeGrid> made;
    for (const EstimatorRow* row : asked) {
        Step(row->name);
        auto grid = row->compute(input, chain, notifier_, control_);
        if (grid.status.cancelled) {
            return false;
        }
        if (!grid.Ok()) {
            rows_.Failed(row->name, n, crs, grid.status.error);
            continue;
        }
        if (!grid.value.refused.empty()) {
            rows_.Failed(row->name, n, crs, grid.value.refused);
        } else {
            rows_.Levels(row->name, n, crs, grid.value.grid, std::nullopt, grid.value.variance,
                         grid.value.uncertainty);
        }
        made.push_back({row, std::move(grid.value)});
    }
    Step("files");
    for (std::string& error : SaveFormats(made, false, session.loaded().file.projection_wkt,
                                          folder_.Partial(), options_)) {
        save_errors_.push_back(std::move(error));
    }
    return true;
}

AnimalResult AnimalRun::Finish() {
    std::stable_sort(result_.rows.begin(), result_.rows.end(),
                     [](const SummaryRow& a, const SummaryRow& b) {
                         if (a.estimator != b.estimator) {
                             return a.estimator < b.estimator;
                         }
                         return a.level_percent.value_or(0) < b.level_percent.value_or(0);
                     });
    if (control_.progress && !control_.Report(1.0)) {
        return Cancelled();
    }
    const auto files_failed = [this](const std::string& error) {
        SummaryRow row;
        row.animal = result_.id;
        row.estimator = "files";
        row.error = error;
        result_.rows.push_back(std::move(row));
        result_.failed = true;
    };
    for (const std::string& error : save_errors_) {
        files_failed(error);
    }
    // The record goes in last, so a folder that holds one is whole, and with the lines as they
    // stand: only a folder that could not be put in place adds a row, and then it has no record.
    const RunRecord record{OptionsFingerprint(options_, input_.fields),
                           InputFingerprint(input_, index_), result_.failed,
                           SummaryLines(result_, options_.compare)};
    if (Status kept = WriteRecord(folder_.Partial(), record); !kept.Ok()) {
        files_failed(kept.error);
    }
    if (Status finished = folder_.Finish(); !finished.Ok()) {
        files_failed(finished.error);
    }
    return std::move(result_);
}

AnimalResult AnimalRun::Cancelled() {
    result_.cancelled = true;
    result_.rows.clear();
    return std::move(result_);
}

} // namespace

namespace {

// The row's input from the animal's locations or fixes.
EstimatorInput LatticeInput(const LatticeAnimal& animal, const BatchOptions& options) {
    if (animal.track) {
        EstimatorInput input = TrackInput(animal.session, animal.n, options);
        input.movement = animal.movement;
        return input;
    }
    const IndependentLocations& locations = *animal.session.loaded().locations;
    EstimatorInput input{locations.xy, animal.n};
    input.weights = animal.weighted ? &locations.weights : nullptr;
    input.h = animal.h;
    return input;
}

} // namespace

StatusOr<LatticeAnimal> LoadLatticeAnimal(const BatchInput& input, std::size_t index,
                                          const BatchOptions& options, const EstimatorRow& row,
                                          const RunControl& control, Notifier& notifier) {
    const bool track = row.data == EstimatorData::Track;
    auto file = LoadAnimal(
        input, input.animals.at(index),
        track ? TextFilePurpose::BridgeLocations : TextFilePurpose::IndependentLocations, options);
    if (!file.Ok()) {
        return file.status;
    }
    StatusOr<LatticeAnimal> result;
    LatticeAnimal& animal = result.value;
    animal.track = track;
    animal.weighted = !track && !input.fields.weight.empty();
    if (animal.weighted && !row.weighted) {
        return Status::Failure("The " + std::string(row.name) +
                               " estimator is not available for weighted locations.");
    }
    if (!track) {
        animal.session.ChooseAnalysis(true, false, animal.weighted);
    }
    animal.n = TakeLoadedFile(animal.session, std::move(file.value.file));
    const Matrix& xy =
        track ? animal.session.loaded().track->sorted : animal.session.loaded().locations->xy;
    if (Status held = CheckCount(xy, animal.n, track ? "fixes" : "locations"); !held.Ok()) {
        return held;
    }
    if (row.smoothed) {
        const auto h = SearchH(*animal.session.loaded().locations, animal.n, animal.weighted,
                               options.h, control);
        if (!h.Ok()) {
            return h.status;
        }
        animal.h = h.value;
    }
    if (row.select_movement) {
        auto selected = SelectMovementModel(xy, animal.n, control);
        if (!selected.Ok()) {
            return selected.status;
        }
        animal.movement = std::move(selected.value);
    }
    const auto extent = ExtentOnLattice(row, LatticeInput(animal, options), notifier, control);
    if (!extent.Ok()) {
        return extent.status;
    }
    animal.extent = extent.value;
    return result;
}

StatusOr<Matrix> MakeOnLattice(const LatticeAnimal& animal, const EstimatorRow& row,
                               const BatchOptions& options, const SharedLattice& lattice,
                               const RunControl& control, Notifier& notifier) {
    return GridOnLattice(row, LatticeInput(animal, options), lattice, notifier, control);
}

AnimalResult RunAnimal(const BatchInput& input, std::size_t index, const BatchOptions& options,
                       const RunControl& control, Notifier& notifier, BatchProgress* progress) {
    AnimalRun run(input, index, options, control, notifier, progress);
    return run.Run();
}

} // namespace ranvik
