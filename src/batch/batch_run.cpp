#include "batch/batch_run.h"

#include "batch/batch_folder.h"
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

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

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

// The smoothing parameter chosen, from the searches the kernel options make on loading: `cv`
// and `lscv` hold the searches that were made (the one the choice names always is).
StatusOr<double> ChosenH(const SmoothingChoice& choice, const State& state, double h_ref,
                         const std::optional<StatusOr<SmoothingSearch>>& cv,
                         const std::optional<StatusOr<SmoothingSearch>>& lscv) {
    const bool weighted = state.BiasCorrected == 1;
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

// The locations of one animal as its independent estimators run on them.
struct Independents {
    State state;
    std::int32_t n = 0;
    std::string crs;
    bool weighted = false;
    std::vector<Estimator> made; // asked for and offered for these locations, in request order
    std::optional<double> kernel_h;
};

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
    void Offer(Independents& run, const std::vector<Estimator>& asked);
    StatusOr<double> SearchH(Independents& run);
    bool Kernels(Independents& run);
    bool Models(Independents& run);
    bool Compare(const LoadedFile& loaded, const std::vector<Estimator>& made);
    bool BrownianBridge();
    Status BridgeGrid(State& state, std::int32_t n);
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
        for (const Estimator e : options_.estimators) {
            rows_.Failed(e, 0, {}, error);
        }
        return std::move(result_);
    }
    const bool independent = options_.Wants(Estimator::Mcp) ||
                             std::any_of(std::begin(kIndependent), std::end(kIndependent),
                                         [this](Estimator e) { return options_.Wants(e); });
    if (independent && !IndependentLocations()) {
        return Cancelled();
    }
    if (options_.Wants(Estimator::BrownianBridge) && !BrownianBridge()) {
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
    std::vector<Estimator> asked;
    for (const Estimator e : kIndependent) {
        if (options_.Wants(e)) {
            asked.push_back(e);
        }
    }
    Step("locations");
    auto file = LoadAnimal(input_, animal_, TextFilePurpose::IndependentLocations, options_);
    if (!file.Ok()) {
        for (const Estimator e : asked) {
            rows_.Failed(e, 0, {}, file.status.error);
        }
        if (options_.Wants(Estimator::Mcp)) {
            rows_.Failed(Estimator::Mcp, 0, {}, file.status.error);
        }
        return true;
    }
    TellLeftOut(file.value.left_out);
    Independents run;
    run.crs = CrsText(file.value.file);
    run.weighted = !input_.fields.weight.empty();
    run.state = FreshRecord();
    run.state.BiasCorrected = run.weighted ? 1 : 0;
    const LoadedFile loaded = file.value.file;
    run.n = TakeLoadedFile(run.state, std::move(file.value.file));
    Offer(run, asked);
    if (std::any_of(run.made.begin(), run.made.end(), IsKernel) && !Kernels(run)) {
        return false;
    }
    if (!Models(run)) {
        return false;
    }
    for (const Estimator e : run.made) {
        if (const Matrix* grid = GridOf(run.state, e)) {
            rows_.Levels(e, run.n, run.crs, *grid, IsKernel(e) ? run.kernel_h : std::nullopt,
                         std::nullopt);
        }
    }
    std::vector<Mcp> mcps;
    if (options_.Wants(Estimator::Mcp)) {
        mcps = rows_.Mcps(run.n, run.crs, run.state.LocXY);
    }
    Step("files");
    for (std::string& error : SaveFormats(run.state, folder_.Partial(), options_, run.made, mcps)) {
        save_errors_.push_back(std::move(error));
    }
    // The comparison runs on the locations loaded afresh, as the wizard's comparison path does.
    if (options_.compare && !run.made.empty() && !run.weighted) {
        return Compare(loaded, run.made);
    }
    return true;
}

// The estimators asked for that the locations allow: weighted locations offer neither the
// adaptive kernel, nor the exponential power model, nor the circle mixture.
void AnimalRun::Offer(Independents& run, const std::vector<Estimator>& asked) {
    for (const Estimator e : asked) {
        if (run.weighted && (e == Estimator::AdaptiveKernel || e == Estimator::ExpPower ||
                             e == Estimator::CircleMixture)) {
            rows_.Failed(e, run.n, run.crs,
                         "The " + std::string(EstimatorName(e)) +
                             " estimator is not available for weighted locations.");
        } else {
            run.made.push_back(e);
        }
    }
}

// The kernels' smoothing parameter as the kernel options find it when they open. The searches
// they make there change no result but the h they find, so only the one asked for is made
// (LSCV after CV, whose workspace it starts from). A cancelled search gives a cancelled status.
StatusOr<double> AnimalRun::SearchH(Independents& run) {
    State& state = run.state;
    if (Status input_ok = CheckSmoothingInput(state.LocXY, run.n); !input_ok.Ok()) {
        return input_ok;
    }
    const MinimiserWorkspace start = state.Minimiser;
    const double h_ref = CalcHref(state.LocXY, run.n);
    const std::span<const double> weights =
        run.weighted ? std::span<const double>(state.LocWeights) : std::span<const double>();
    const bool want_lscv = options_.h.kind == SmoothingChoice::Kind::LSCV;
    const bool want_cv = want_lscv || options_.h.kind == SmoothingChoice::Kind::CV;
    std::optional<StatusOr<SmoothingSearch>> cv;
    std::optional<StatusOr<SmoothingSearch>> lscv;
    if (want_cv) {
        cv = CalcCVh(state.LocXY, h_ref, run.n, weights, start, control_);
        if (cv->status.cancelled) {
            return Status::Cancelled();
        }
    }
    if (want_lscv && !run.weighted) {
        lscv =
            CalcLSCVh(state.LocXY, h_ref, run.n, cv->Ok() ? cv->value.minimiser : start, control_);
        if (lscv->status.cancelled) {
            return Status::Cancelled();
        }
    }
    if (cv && cv->Ok()) {
        CommitSmoothingSearch(state, cv->value);
    }
    if (lscv && lscv->Ok()) {
        CommitSmoothingSearch(state, lscv->value);
    }
    return ChosenH(options_.h, state, h_ref, cv, lscv);
}

bool AnimalRun::Kernels(Independents& run) {
    Step("smoothing parameter");
    const StatusOr<double> h = SearchH(run);
    if (h.status.cancelled) {
        return false;
    }
    const std::span<const double> weights =
        run.weighted ? std::span<const double>(run.state.LocWeights) : std::span<const double>();
    for (const Estimator e : {Estimator::FixedKernel, Estimator::AdaptiveKernel}) {
        if (std::find(run.made.begin(), run.made.end(), e) == run.made.end()) {
            continue;
        }
        if (!h.Ok()) {
            rows_.Failed(e, run.n, run.crs, h.status.error);
            continue;
        }
        run.kernel_h = h.value;
        Step(EstimatorName(e));
        Status made;
        if (e == Estimator::FixedKernel) {
            auto grid = CalcFixedKernel(run.state.LocXY, run.n, h.value, weights, control_);
            made = grid.status;
            if (grid.Ok()) {
                CommitFixedKernel(run.state, std::move(grid.value));
            }
        } else {
            auto grid = CalcAdKernel(run.state.LocXY, run.n, h.value, control_);
            made = grid.status;
            if (grid.Ok()) {
                CommitAdKernel(run.state, std::move(grid.value));
            }
        }
        if (made.cancelled) {
            return false;
        }
        if (!made.Ok()) {
            rows_.Failed(e, run.n, run.crs, made.error);
        }
    }
    return true;
}

bool AnimalRun::Models(Independents& run) {
    HomeRangeInput models = HomeRangeInputOf(run.state);
    bool any_model = false;
    for (const Estimator e : run.made) {
        if (const auto model = ModelOf(e)) {
            models.requested[static_cast<std::size_t>(*model)] = true;
            any_model = true;
        }
    }
    if (!any_model) {
        return true;
    }
    Step("models");
    auto fitted = CalcHomeRanges(models, notifier_, control_);
    if (fitted.status.cancelled) {
        return false;
    }
    for (const Estimator e : run.made) {
        const auto model = ModelOf(e);
        if (!model) {
            continue;
        }
        if (!fitted.Ok()) {
            rows_.Failed(e, run.n, run.crs, fitted.status.error);
        } else if (const auto& made = fitted.value.models[static_cast<std::size_t>(*model)];
                   made && !made->Ok()) {
            rows_.Failed(e, run.n, run.crs, made->status.error);
        }
    }
    if (fitted.Ok()) {
        (void)CommitHomeRanges(run.state, std::move(fitted.value));
    }
    return true;
}

bool AnimalRun::Compare(const LoadedFile& loaded, const std::vector<Estimator>& made) {
    Step("comparison");
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
    auto compared = RunComparison(fresh.LocXY, fresh.NumLocs, choice,
                                  SimplexFit{fresh.Simplex, fresh.Starts}, notifier_, control_);
    if (compared.status.cancelled) {
        return false;
    }
    if (compared.Ok()) {
        (void)CommitComparison(fresh, std::move(compared.value));
    }
    for (const Estimator e : made) {
        rows_.Compared(e, compared.Ok() ? CriteriaOf(fresh, e)
                                        : Criteria{{}, {}, {}, compared.status.error});
    }
    return true;
}

bool AnimalRun::BrownianBridge() {
    const Estimator bb = Estimator::BrownianBridge;
    Step("fixes");
    auto file = LoadAnimal(input_, animal_, TextFilePurpose::BridgeLocations, options_);
    rows_.LeftOutOfLoad(std::nullopt);
    if (!file.Ok()) {
        rows_.Failed(bb, 0, {}, file.status.error);
        return true;
    }
    TellLeftOut(file.value.left_out);
    const std::string crs = CrsText(file.value.file);
    State state = FreshRecord();
    const std::int32_t n = TakeLoadedFile(state, std::move(file.value.file));
    const Status made = BridgeGrid(state, n);
    if (made.cancelled) {
        return false;
    }
    if (!made.Ok()) {
        rows_.Failed(bb, n, crs, made.error);
        return true;
    }
    rows_.Levels(bb, n, crs, state.BBOutput, std::nullopt, state.BBVariance);
    Step("files");
    for (std::string& error : SaveFormats(state, folder_.Partial(), options_, {bb})) {
        save_errors_.push_back(std::move(error));
    }
    return true;
}

// The variance (given, or estimated as the bridge form does) and the grid over the automatic
// extent at the run's cell size, put into `state`.
Status AnimalRun::BridgeGrid(State& state, std::int32_t n) {
    if (options_.bb_variance) {
        state.BBVariance = *options_.bb_variance;
    } else {
        Step("bb variance");
        const auto estimate =
            EstimateBBVariance(state.BBSortedLocs, n, state.Minimiser, notifier_, control_);
        if (!estimate.Ok()) {
            return estimate.status;
        }
        CommitBBVariance(state, estimate.value);
    }
    state.BBMaxTime = options_.bb_max_time.value_or(std::numeric_limits<double>::max());
    BridgeGridSpec spec = AutoBridgeGridExtent(state.BBSortedLocs, n);
    spec.resolution = options_.bb_cell;
    if (Status valid = CheckBridgeGridSpec(spec); !valid.Ok()) {
        return valid;
    }
    Step("bb");
    auto grid =
        CalcBBGrid(state.BBSortedLocs, n, state.BBVariance, state.BBMaxTime, spec, control_);
    if (!grid.Ok()) {
        return grid.status;
    }
    CommitBridgeOutput(state, std::move(grid.value));
    return {};
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

AnimalResult RunAnimal(const BatchInput& input, std::size_t index, const BatchOptions& options,
                       const RunControl& control, Notifier& notifier, BatchProgress* progress) {
    AnimalRun run(input, index, options, control, notifier, progress);
    return run.Run();
}

} // namespace ranvik
