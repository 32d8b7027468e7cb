#include "output/estimator_table.h"

#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "bridge/dynamic_bridge_grid.h"
#include "bridge/motion_variance_file.h"
#include "kernel/akde.h"
#include "kernel/kernel_grid.h"
#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/normal_mixture.h"
#include "output/lattice_densities.h"
#include "output/mcp.h"
#include "state/loaded_locations.h"

#include <algorithm>
#include <string>

namespace ranvik {
namespace {

StatusOr<EstimatorOutput> GridOf(StatusOr<Matrix>&& made) {
    if (!made.Ok()) {
        return made.status;
    }
    return EstimatorOutput{std::move(made.value), std::nullopt, {}};
}

StatusOr<EstimatorOutput> FixedKernel(const EstimatorInput& in, EstimatorChain&, Notifier&,
                                      const RunControl& control) {
    const std::span<const double> weights =
        in.weights != nullptr ? std::span<const double>(*in.weights) : std::span<const double>();
    if (in.lattice) {
        if (Status valid = CheckSmoothingParameter(in.h); !valid.Ok()) {
            return valid;
        }
        const std::vector<double> local_h(static_cast<std::size_t>(std::max(in.n, 0)), in.h);
        return GridOf(CalcKernelOnLattice(in.xy, in.n, local_h, weights, *in.lattice, control));
    }
    auto made = CalcFixedKernel(in.xy, in.n, in.h, weights, control);
    if (!made.Ok()) {
        return made.status;
    }
    return EstimatorOutput{std::move(made.value.grid), std::nullopt, {}};
}

StatusOr<EstimatorOutput> AdaptiveKernel(const EstimatorInput& in, EstimatorChain&, Notifier&,
                                         const RunControl& control) {
    if (in.lattice) {
        if (Status valid = CheckSmoothingParameter(in.h); !valid.Ok()) {
            return valid;
        }
        return GridOf(CalcKernelOnLattice(in.xy, in.n,
                                          AdaptiveBandwidths(in.xy, in.n, in.h, control.parallel),
                                          {}, *in.lattice, control));
    }
    return GridOf(CalcAdKernel(in.xy, in.n, in.h, control));
}

// A fit's density on a shared lattice, from what its home range run left.
using DensityOfFit = FittedDensity (*)(const ModelHomeRange&);

FittedDensity BVNFit(const ModelHomeRange& made) {
    return NormalFitted(*made.bvn);
}

// ModelParams of the normal mixture: (mux1, muy1, mux2, muy2, sx1, sy1, rho1, sx2, sy2, rho2, p).
FittedDensity NormalMixtureFit(const ModelHomeRange& made) {
    const std::vector<double>& mp = made.fit->simplex.ModelParams;
    return MixtureFitted({mp[1], mp[2], mp[5], mp[6], mp[7]}, {mp[3], mp[4], mp[8], mp[9], mp[10]},
                         mp[11]);
}

// ModelParams of the circle mixture: (mux1, muy1, mux2, muy2, sigma1, sigma2, p).
FittedDensity CircleMixtureFit(const ModelHomeRange& made) {
    const std::vector<double>& mp = made.fit->simplex.ModelParams;
    return MixtureFitted({mp[1], mp[2], mp[5], mp[5], 0.0}, {mp[3], mp[4], mp[6], mp[6], 0.0},
                         mp[7]);
}

// ModelParams of the exponential power model: (cx, cy, a, s).
FittedDensity ExpPowerFit(const ModelHomeRange& made) {
    const std::vector<double>& mp = made.fit->simplex.ModelParams;
    return ExpPowerFitted(mp[1], mp[2], mp[3], mp[4]);
}

// The parametric models check the count of their locations first, as the home range run does,
// and each simplex fit starts from the workspace the one before left.
StatusOr<ModelHomeRange> BVNRun(const EstimatorInput& in, const EstimatorChain&, Notifier&,
                                const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return CalcBVNHomeRange(in.xy, in.n, in.weights, control);
}

StatusOr<ModelHomeRange> NormalMixtureRun(const EstimatorInput& in, const EstimatorChain& chain,
                                          Notifier& notifier, const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return NormalMixtureHomeRange(in.xy, in.n, chain.fit, notifier, in.weights, control);
}

StatusOr<ModelHomeRange> CircleMixtureRun(const EstimatorInput& in, const EstimatorChain& chain,
                                          Notifier& notifier, const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return CircleMixtureHomeRange(in.xy, in.n, chain.fit, notifier, control);
}

StatusOr<ModelHomeRange> ExpPowerRun(const EstimatorInput& in, const EstimatorChain& chain,
                                     Notifier& notifier, const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return ExpPowerHomeRange(in.xy, in.n, chain.fit, notifier, control);
}

// A parametric model's grid, fitted as for its own grid: that grid, or its density on the
// input's lattice. The fit's workspace is where the next fit starts.
template <auto Fit, DensityOfFit Density>
StatusOr<EstimatorOutput> Model(const EstimatorInput& in, EstimatorChain& chain, Notifier& notifier,
                                const RunControl& control) {
    auto made = Fit(in, chain, notifier, control);
    if (!made.Ok()) {
        return made.status;
    }
    StatusOr<EstimatorOutput> result =
        EstimatorOutput{std::move(made.value.grid), std::nullopt, {}};
    if (in.lattice) {
        result = GridOf(FittedOnLattice(Density(made.value), *in.lattice, control));
    }
    if (made.value.fit) {
        chain.fit = std::move(*made.value.fit);
    }
    return result;
}

template <auto Fit, DensityOfFit Density>
StatusOr<double> ModelSpread(const EstimatorInput& in, const EstimatorChain& chain,
                             Notifier& notifier, const RunControl& control) {
    const auto made = Fit(in, chain, notifier, control);
    if (!made.Ok()) {
        return made.status;
    }
    return Density(made.value).spread;
}

// The two as plain function pointers, which the table's std::function members take.
template <auto Fit, DensityOfFit Density>
constexpr StatusOr<EstimatorOutput> (*kModel)(const EstimatorInput&, EstimatorChain&, Notifier&,
                                              const RunControl&) = &Model<Fit, Density>;
template <auto Fit, DensityOfFit Density>
constexpr StatusOr<double> (*kModelSpread)(const EstimatorInput&, const EstimatorChain&, Notifier&,
                                           const RunControl&) = &ModelSpread<Fit, Density>;

// The Brownian bridge's variance: given, or estimated as the bridge form estimates it (the
// search starting from the chain's minimiser workspace, which `minimiser` receives).
StatusOr<double> BridgeVariance(const EstimatorInput& in, const EstimatorChain& chain,
                                MinimiserWorkspace& minimiser, Notifier& notifier,
                                const RunControl& control) {
    if (in.variance) {
        minimiser = chain.minimiser;
        return *in.variance;
    }
    const auto estimate = EstimateBBVariance(in.xy, in.n, chain.minimiser, notifier, control);
    if (!estimate.Ok()) {
        return estimate.status;
    }
    minimiser = estimate.value.minimiser;
    return estimate.value.variance;
}

SegmentVariance EverySegment(double variance) {
    return [variance](std::int32_t) { return std::optional<double>(variance); };
}

SegmentVariance SegmentsOf(const MotionVariance& motion) {
    return [&motion](std::int32_t k) { return motion.segment[static_cast<std::size_t>(k)]; };
}

// A bridge grid spec on the input's lattice over `extent`, or `own` without a lattice.
StatusOr<LatticeBridgeSpec> BridgeSpec(const EstimatorInput& in, const BridgeGridSpec& own,
                                       const BridgeGridSpec& extent) {
    if (!in.lattice) {
        if (Status valid = CheckBridgeGridSpec(own); !valid.Ok()) {
            return valid;
        }
        return LatticeBridgeSpec{{}, own};
    }
    return BridgeSpecOnLattice(*in.lattice, extent);
}

// A bridge's grid as the row gives it: on the lattice, with the lattice's own coordinates.
StatusOr<EstimatorOutput> BridgeGrid(const EstimatorInput& in, Matrix&& grid,
                                     const LatticeWindow& window, std::optional<double> variance) {
    if (in.lattice) {
        if (Status placed = OnLatticeNodes(grid, *in.lattice, window); !placed.Ok()) {
            return placed;
        }
    }
    return EstimatorOutput{std::move(grid), variance, {}};
}

// The variance and the grid over the automatic extent at the input's cell size, or over the
// window of the input's lattice that the bridges reach.
StatusOr<EstimatorOutput> BrownianBridge(const EstimatorInput& in, EstimatorChain& chain,
                                         Notifier& notifier, const RunControl& control) {
    const auto variance = BridgeVariance(in, chain, chain.minimiser, notifier, control);
    if (!variance.Ok()) {
        return variance.status;
    }
    BridgeGridSpec own = AutoBridgeGridExtent(in.xy, in.n);
    own.resolution = in.cell;
    BridgeGridSpec reach = BridgeReach(
        in.xy, in.n, SpanOfBridges(in.xy, in.n, in.max_time, EverySegment(variance.value)));
    reach.min_x = std::min(reach.min_x, own.min_x);
    reach.max_x = std::max(reach.max_x, own.max_x);
    reach.min_y = std::min(reach.min_y, own.min_y);
    reach.max_y = std::max(reach.max_y, own.max_y);
    const auto spec = BridgeSpec(in, own, reach);
    if (!spec.Ok()) {
        return spec.status;
    }
    auto grid = CalcBBGrid(in.xy, in.n, variance.value, in.max_time, spec.value.spec, control);
    if (!grid.Ok()) {
        return grid.status;
    }
    if (in.lattice) {
        // The time rule weighs each bridge's 21 steps by T / 20, 1.05 T in all, so the grid adds
        // up to about 1.05; the overlaps compare distributions, so the lattice's adds up to 1.
        Matrix& cells = grid.value.output;
        double total = 0.0;
        for (std::int32_t k = 0; k < grid.value.count; ++k) {
            total += cells(k, 2);
        }
        for (std::int32_t k = 0; total > 0 && k < grid.value.count; ++k) {
            cells(k, 2) /= total;
        }
    }
    return BridgeGrid(in, std::move(grid.value.output), spec.value.window, variance.value);
}

StatusOr<double> BrownianBridgeSpread(const EstimatorInput& in, const EstimatorChain& chain,
                                      Notifier& notifier, const RunControl& control) {
    MinimiserWorkspace unused;
    const auto variance = BridgeVariance(in, chain, unused, notifier, control);
    if (!variance.Ok()) {
        return variance.status;
    }
    return BridgeSpread(SpanOfBridges(in.xy, in.n, in.max_time, EverySegment(variance.value)));
}

// The motion variance along the track by sliding windows, then the grid of the distribution
// over the automatic extent at the input's cell size (or the lattice's cell, on its window),
// and the motion variance table.
StatusOr<EstimatorOutput> DynamicBridge(const EstimatorInput& in, EstimatorChain&, Notifier&,
                                        const RunControl& control) {
    auto motion = EstimateMotionVariance(in.xy, in.n, in.dynamic, control.Part(0, 2));
    if (!motion.Ok()) {
        return motion.status;
    }
    const BridgeGridSpec own = AutoDynamicBridgeExtent(in.xy, in.n, motion.value, in.max_time,
                                                       in.lattice ? in.lattice->cell : in.cell);
    const auto spec = BridgeSpec(in, own, own);
    if (!spec.Ok()) {
        return spec.status;
    }
    auto grid = CalcDynamicBridgeGrid(in.xy, in.n, motion.value, in.max_time, spec.value.spec,
                                      control.Part(1, 2));
    if (!grid.Ok()) {
        return grid.status;
    }
    auto made = BridgeGrid(in, std::move(grid.value.output), spec.value.window, std::nullopt);
    if (made.Ok()) {
        made.value.tables.push_back(
            {"MotionVariance", ".csv", MotionVarianceText(in.xy, in.n, motion.value)});
    }
    return made;
}

StatusOr<double> DynamicBridgeSpread(const EstimatorInput& in, const EstimatorChain&, Notifier&,
                                     const RunControl& control) {
    const auto motion = EstimateMotionVariance(in.xy, in.n, in.dynamic, control);
    if (!motion.Ok()) {
        return motion.status;
    }
    return BridgeSpread(SpanOfBridges(in.xy, in.n, in.max_time, SegmentsOf(motion.value)));
}

StatusOr<double> FixedKernelSpread(const EstimatorInput& in, const EstimatorChain&, Notifier&,
                                   const RunControl&) {
    if (Status valid = CheckSmoothingParameter(in.h); !valid.Ok()) {
        return valid;
    }
    return in.h;
}

// The smallest of the adaptive kernel's local smoothing parameters.
StatusOr<double> AdaptiveKernelSpread(const EstimatorInput& in, const EstimatorChain&, Notifier&,
                                      const RunControl& control) {
    if (Status valid = CheckSmoothingParameter(in.h); !valid.Ok()) {
        return valid;
    }
    const std::vector<double> local_h = AdaptiveBandwidths(in.xy, in.n, in.h, control.parallel);
    if (local_h.empty()) {
        return Status::Failure("There are no locations to smooth.");
    }
    return *std::min_element(local_h.begin(), local_h.end());
}

// The movement model the input carries, or the one AICc selects.
StatusOr<MovementFit> InputMovement(const EstimatorInput& in, const RunControl& control) {
    if (in.movement) {
        return *in.movement;
    }
    return SelectMovementModel(in.xy, in.n, control);
}

// The movement models fitted and selected by AICc, then the debiased autocorrelated kernel
// under the selected one, with the models and the variogram as tables. A track that is not
// range-resident is refused with a sentence that still reports the selected fit. On a shared
// lattice only the distribution is made, under the input's model when it carries one.
StatusOr<EstimatorOutput> Akde(const EstimatorInput& in, EstimatorChain&, Notifier&,
                               const RunControl& control) {
    if (in.lattice) {
        const auto selected = InputMovement(in, control.Share(0.0, 0.4));
        if (!selected.Ok()) {
            return selected.status;
        }
        return GridOf(
            CalcAkdeOnLattice(in.xy, in.n, selected.value, *in.lattice, control.Share(0.4, 1.0)));
    }
    const MovementData data = MovementDataOf(in.xy, in.n);
    auto fits = FitMovementModels(data, control.Share(0.0, 0.4));
    if (!fits.Ok()) {
        return fits.status;
    }
    const MovementFit& selected = fits.value.front();
    EstimatorOutput out;
    out.tables.push_back({"Models", ".csv", MovementModelsText(fits.value)});
    out.tables.push_back(
        {"Variogram", ".csv", VariogramText(EmpiricalVariogram(data), data, selected.params)});
    if (Status resident = CheckRangeResident(data, selected); !resident.Ok()) {
        out.refused = resident.error;
        return out;
    }
    auto made = CalcAkde(in.xy, in.n, selected, in.cell, control.Share(0.4, 1.0));
    if (!made.Ok()) {
        return made.status;
    }
    out.grid = std::move(made.value.grid);
    out.uncertainty = EstimatorOutput::AreaUncertainty{selected.Name(), selected.effective_n};
    return out;
}

// The spread of the autocorrelated kernel's kernels under the input's (or the selected) model.
StatusOr<double> AkdeKernelSpread(const EstimatorInput& in, const EstimatorChain&, Notifier&,
                                  const RunControl& control) {
    const auto selected = InputMovement(in, control.Share(0.0, 0.8));
    if (!selected.Ok()) {
        return selected.status;
    }
    const auto reach = AkdeReach(in.xy, in.n, selected.value, control.Share(0.8, 1.0));
    if (!reach.Ok()) {
        return reach.status;
    }
    return reach.value.spread;
}

} // namespace

const std::vector<EstimatorRow>& Estimators() {
    using D = EstimatorData;
    using K = EstimatorKind;
    using C = ComparisonChoice;
    static const std::vector<EstimatorRow> table{
        {kFixedKernelName, "Fixed Kernel", "FixedKernel", "WeightedFixedKernel", D::Locations,
         K::Grid, true, true, &C::fixed_kernel, 4, FixedKernel, "Fixed Kernel Density   ",
         "NA                  ", "", "Fixed kernel", 0, true, FixedKernelSpread},
        {kAdaptiveKernelName, "Adaptive Kernel", "AdaptiveKernel", "AdaptiveKernel", D::Locations,
         K::Grid, false, true, &C::adaptive_kernel, 5, AdaptiveKernel, "Adaptive Kernel Density",
         "NA                  ", "", "Adaptive kernel", 1, true, AdaptiveKernelSpread},
        {kBVNName, "1 Mode Bivariate Normal", "BVN", "WeightedBVN", D::Locations, K::Grid, true,
         false, &C::bvn, 1, kModel<BVNRun, BVNFit>, "1 Mode Bivariate Normal",
         "5                   ", "BVN", "1-mode bivariate normal", 4, true,
         kModelSpread<BVNRun, BVNFit>},
        {kNormalMixtureName, "2 Mode Bivariate Normal Mix", "2ModeBVNMix", "Weighted2ModeBVNMix",
         D::Locations, K::Grid, true, false, &C::normal_mixture, 3,
         kModel<NormalMixtureRun, NormalMixtureFit>, "2 Mode Bivariate Normal",
         "11                  ", "2-modeBVN", "2-mode bivariate normal mixture", 2, true,
         kModelSpread<NormalMixtureRun, NormalMixtureFit>},
        {kCircleMixtureName, "2 Mode Bivariate Circle Mix", "2ModeCNMix", "Weighted2ModeCNMix",
         D::Locations, K::Grid, false, false, &C::circle_mixture, 2,
         kModel<CircleMixtureRun, CircleMixtureFit>, "2 Mode Bivariate Circle",
         "7                   ", "2-modeCN", "2-mode circle mixture", 3, true,
         kModelSpread<CircleMixtureRun, CircleMixtureFit>},
        {kExpPowerName, "Exponential Power", "ExpPower", "ExpPower", D::Locations, K::Grid, false,
         false, &C::exp_power, 0, kModel<ExpPowerRun, ExpPowerFit>, "Exponential Power Model",
         "4                   ", "ExpPower", "Exponential power model", 5, true,
         kModelSpread<ExpPowerRun, ExpPowerFit>},
        {kBridgeName, "Brownian Bridge", "BrownianBridge", "BrownianBridge", D::Track, K::Grid,
         false, false, nullptr, -1, BrownianBridge, "", "", "", "Brownian bridge", 6, true,
         BrownianBridgeSpread},
        {kDynamicBridgeName, "Dynamic Brownian Bridge", "DynamicBrownianBridge",
         "DynamicBrownianBridge", D::Track, K::Grid, false, false, nullptr, -1, DynamicBridge, "",
         "", "", "Dynamic Brownian bridge", 7, true, DynamicBridgeSpread},
        {kAkdeName, "Autocorrelated Kernel (AKDE)", "AKDE", "AKDE", D::Track, K::Grid, false, false,
         nullptr, -1, Akde, "", "", "", "Autocorrelated kernel (AKDE)", 8, true, AkdeKernelSpread,
         true},
        {kMcpName,
         "Minimum Convex Polygon",
         "Mcp",
         "Mcp",
         D::Locations,
         K::Polygons,
         true,
         false,
         nullptr,
         -1,
         {},
         "",
         "",
         "",
         "",
         -1,
         false,
         {}},
    };
    return table;
}

namespace {

// The rows of `table` whose `place` is set (0 or more), by that place.
std::vector<const EstimatorRow*> RowsBy(std::span<const EstimatorRow> table,
                                        int EstimatorRow::*place) {
    std::vector<const EstimatorRow*> rows;
    for (const EstimatorRow& row : table) {
        if (row.*place >= 0) {
            rows.push_back(&row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [place](const auto* a, const auto* b) { return a->*place < b->*place; });
    return rows;
}

} // namespace

std::vector<const EstimatorRow*> WizardRows(std::span<const EstimatorRow> table) {
    return RowsBy(table, &EstimatorRow::listed);
}

std::vector<const EstimatorRow*> ComparedRows(std::span<const EstimatorRow> table) {
    return RowsBy(table, &EstimatorRow::comparison_row);
}

const EstimatorRow* FindEstimator(std::span<const EstimatorRow> table, std::string_view name) {
    const auto at = std::find_if(table.begin(), table.end(),
                                 [name](const EstimatorRow& row) { return row.name == name; });
    return at != table.end() ? &*at : nullptr;
}

StatusOr<MovementFit> SelectMovementModel(const Matrix& fixes, std::int32_t n,
                                          const RunControl& control) {
    auto fits = FitMovementModels(MovementDataOf(fixes, n), control);
    if (!fits.Ok()) {
        return fits.status;
    }
    return std::move(fits.value.front());
}

std::string EstimatorNames(std::span<const EstimatorRow> table) {
    std::string names;
    for (const EstimatorRow& row : table) {
        names += (names.empty() ? "" : ", ") + std::string(row.name);
    }
    return names;
}

} // namespace ranvik
