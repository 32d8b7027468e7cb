#pragma once

#include "bridge/motion_variance.h"
#include "models/fit_context.h"
#include "models/movement_model.h"
#include "numerics/output_grid.h"
#include "output/comparison.h"
#include "state/matrix.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/session.h"
#include "state/status.h"
#include "state/workspaces.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// What an estimator is made from: independent locations (weighted in a bias-corrected run) or
// the time-sorted fixes of a track.
enum class EstimatorData { Locations, Track };

// What an estimator gives: a grid of the utilization distribution, or polygons made from the
// locations themselves (the minimum convex polygon, which a run makes at its levels).
enum class EstimatorKind { Grid, Polygons };

// What a row's computation reads.
struct EstimatorInput {
    EstimatorInput(const Matrix& locations, std::int32_t count) : xy(locations), n(count) {}

    const Matrix& xy; // locations (x, y) or fixes (x, y, time, error), rows 0..n-1, a spare row
    std::int32_t n = 0;
    const std::vector<double>* weights = nullptr; // a bias-corrected run's location weights
    double h = 0.0;                               // the kernels' smoothing parameter
    std::optional<double> variance; // the Brownian bridge variance; nothing: estimated
    double max_time = 0.0;          // the longest time between fixes that is bridged
    double cell = 0.0;              // the spacing of the bridges' and the AKDE's grids
    DynamicBridgeOptions dynamic;   // the dynamic Brownian bridge's window and margin
    // The movement model selected for these fixes, when a caller already has it (rows with
    // `select_movement` then read it instead of fitting and selecting the models again).
    std::optional<MovementFit> movement;
    // When set, the distribution is made a second time on this lattice, over the window its
    // tails reach, instead of on its own grid (only rows with `on_lattice` do this); the grid
    // then holds that window's cells in the same columns.
    std::optional<SharedLattice> lattice;
};

// What a row's computation gives: its grid (one row per node, columns x, y, probability, and a
// spare row), and for the Brownian bridge the variance it used.
struct EstimatorOutput {
    Matrix grid;
    std::optional<double> variance;
    std::vector<ResultTable> tables; // written beside the grid
    // For an estimate whose areas carry an interval: the model it rests on and the effective
    // degrees of freedom nu of the interval (AreaWithInterval).
    struct AreaUncertainty {
        std::string model;
        double effective_n = 0.0;
    };
    std::optional<AreaUncertainty> uncertainty = {};
    // Why no grid was made although the tables were (the sentence for the user), e.g. an
    // autocorrelated kernel of a track that has not yet crossed its range; empty otherwise.
    std::string refused = {};
};

using EstimatorCompute = std::function<StatusOr<EstimatorOutput>(
    const EstimatorInput&, EstimatorChain&, Notifier&, const RunControl&)>;

// The spread in metres of the distribution a row makes from its input, the finest detail a
// shared lattice must resolve: the smallest smoothing parameter of a kernel, the smallest
// standard deviation of a fitted model, a Brownian bridge's spread (BridgeSpread). The chain is
// read, not changed, so the distribution made afterwards is the one measured.
using EstimatorSpread = std::function<StatusOr<double>(const EstimatorInput&, const EstimatorChain&,
                                                       Notifier&, const RunControl&)>;

// One estimator: its names, the files its result is saved as, the data it needs, whether the
// model comparison scores it, and how it is computed.
struct EstimatorRow {
    std::string_view name;         // on the command line and in the summary: "fixed-kernel"
    std::string_view display_name; // as the model choice lists it: "Fixed Kernel"
    std::string_view key;          // the result file's key word: "FixedKernel"
    std::string_view weighted_key; // the key word in a bias-corrected run
    EstimatorData data = EstimatorData::Locations;
    EstimatorKind kind = EstimatorKind::Grid;
    bool weighted = false; // offered for weighted locations
    bool smoothed = false; // reads the kernels' smoothing parameter
    // Where the model comparison holds it: its tick, and its row of the comparison table
    // (exponential power 0, 1-mode normal 1, circle mixture 2, normal mixture 3, fixed kernel
    // 4, adaptive kernel 5). Not scored when the tick is empty.
    bool ComparisonChoice::*compared = nullptr;
    int comparison_row = -1;
    EstimatorCompute compute; // empty for polygons
    // In the comparison table: the method's text and its number of parameters ("NA" for the
    // kernels, which have none to count); in the likelihood file: the heading of its column
    // of per-location values (empty for the kernels).
    std::string_view method;
    std::string_view parameters;
    std::string_view likelihood_heading;
    // In the wizard: the name its waiting grid is listed by on the home range picture, and its
    // place in that list and in the order a save writes the grids (-1: the wizard does not
    // make it).
    std::string_view listed_as;
    int listed = -1;
    // Makes its distribution on a shared lattice when EstimatorInput::lattice is set (the
    // overlaps between animals are computed from such grids), and its spread, which sizes that
    // lattice's cell.
    bool on_lattice = false;
    EstimatorSpread spread; // empty unless on_lattice
    // Rests on the movement model selected by AICc (SelectMovementModel), which a caller that
    // makes the distribution more than once may find once and pass as EstimatorInput::movement.
    bool select_movement = false;

    // The result file's key word for a plain or a bias-corrected run.
    [[nodiscard]] std::string_view FileKey(bool weighted_run) const {
        return weighted_run ? weighted_key : key;
    }
};

// Every estimator, in the order a run makes them: the fixed and adaptive kernels, the 1-mode
// bivariate normal, the 2-mode bivariate normal mixture, the 2-mode circle mixture, the
// exponential power model, the Brownian bridge, the dynamic Brownian bridge, the autocorrelated
// kernel and the minimum convex polygon.
[[nodiscard]] const std::vector<EstimatorRow>& Estimators();

// The row of `table` named `name`, or none.
[[nodiscard]] const EstimatorRow* FindEstimator(std::span<const EstimatorRow> table,
                                                std::string_view name);

// The rows of `table` that the wizard lists, in the order it lists and saves them.
[[nodiscard]] std::vector<const EstimatorRow*> WizardRows(std::span<const EstimatorRow> table);

// The rows of `table` that the model comparison scores, in the order of its table.
[[nodiscard]] std::vector<const EstimatorRow*> ComparedRows(std::span<const EstimatorRow> table);

// The movement model of fixes 0..n-1 of `fixes` that AICc selects among those FitMovementModels
// fits. Fails as it does.
[[nodiscard]] StatusOr<MovementFit> SelectMovementModel(const Matrix& fixes, std::int32_t n,
                                                        const RunControl& control = {});

// Every name of `table`, separated by ", ".
[[nodiscard]] std::string EstimatorNames(std::span<const EstimatorRow> table);

} // namespace ranvik
