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

// A parametric model's grid; its fit's workspace is where the next fit starts.
StatusOr<EstimatorOutput> ModelGrid(StatusOr<ModelHomeRange>&& made, EstimatorChain& chain) {
    if (!made.Ok()) {
        return made.status;
    }
    if (made.value.fit) {
        chain.fit = std::move(*made.value.fit);
    }
    return EstimatorOutput{std::move(made.value.grid), std::nullopt, {}};
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

// The parametric models check the count of their locations first, as the home range run does.
StatusOr<EstimatorOutput> BVN(const EstimatorInput& in, EstimatorChain& chain, Notifier&,
                              const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return ModelGrid(CalcBVNHomeRange(in.xy, in.n, in.weights, control), chain);
}

StatusOr<EstimatorOutput> NormalMixture(const EstimatorInput& in, EstimatorChain& chain,
                                        Notifier& notifier, const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return ModelGrid(NormalMixtureHomeRange(in.xy, in.n, chain.fit, notifier, in.weights, control),
                     chain);
}

StatusOr<EstimatorOutput> CircleMixture(const EstimatorInput& in, EstimatorChain& chain,
                                        Notifier& notifier, const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return ModelGrid(CircleMixtureHomeRange(in.xy, in.n, chain.fit, notifier, control), chain);
}

StatusOr<EstimatorOutput> ExpPower(const EstimatorInput& in, EstimatorChain& chain,
                                   Notifier& notifier, const RunControl& control) {
    if (Status held = CheckCount(in.xy, in.n, "locations"); !held.Ok()) {
        return held;
    }
    return ModelGrid(ExpPowerHomeRange(in.xy, in.n, chain.fit, notifier, control), chain);
}

// The variance (given, or estimated as the bridge form estimates it) and the grid over the
// automatic extent at the input's cell size.
StatusOr<EstimatorOutput> BrownianBridge(const EstimatorInput& in, EstimatorChain& chain,
                                         Notifier& notifier, const RunControl& control) {
    double variance = 0.0;
    if (in.variance) {
        variance = *in.variance;
    } else {
        const auto estimate = EstimateBBVariance(in.xy, in.n, chain.minimiser, notifier, control);
        if (!estimate.Ok()) {
            return estimate.status;
        }
        chain.minimiser = estimate.value.minimiser;
        variance = estimate.value.variance;
    }
    BridgeGridSpec spec = AutoBridgeGridExtent(in.xy, in.n);
    spec.resolution = in.cell;
    if (Status valid = CheckBridgeGridSpec(spec); !valid.Ok()) {
        return valid;
    }
    auto grid = CalcBBGrid(in.xy, in.n, variance, in.max_time, spec, control);
    if (!grid.Ok()) {
        return grid.status;
    }
    return EstimatorOutput{std::move(grid.value.output), variance, {}};
}

// The motion variance along the track by sliding windows, then the grid of the distribution
// over the automatic extent at the input's cell size, and the motion variance table.
StatusOr<EstimatorOutput> DynamicBridge(const EstimatorInput& in, EstimatorChain&, Notifier&,
                                        const RunControl& control) {
    auto motion = EstimateMotionVariance(in.xy, in.n, in.dynamic, control.Part(0, 2));
    if (!motion.Ok()) {
        return motion.status;
    }
    const BridgeGridSpec spec =
        AutoDynamicBridgeExtent(in.xy, in.n, motion.value, in.max_time, in.cell);
    if (Status valid = CheckBridgeGridSpec(spec); !valid.Ok()) {
        return valid;
    }
    auto grid =
        CalcDynamicBridgeGrid(in.xy, in.n, motion.value, in.max_time, spec, control.Part(1, 2));
    if (!grid.Ok()) {
        return grid.status;
    }
    EstimatorOutput made{std::move(grid.value.output), std::nullopt, {}};
    made.tables.push_back(
        {"MotionVariance", ".csv", MotionVarianceText(in.xy, in.n, motion.value)});
    return made;
}

// The movement models fitted and selected by AICc, then the debiased autocorrelated kernel
// under the selected one, with the models and the variogram as tables. A track that is not
// range-resident is refused with a sentence that still reports the selected fit.
StatusOr<EstimatorOutput> Akde(const EstimatorInput& in, EstimatorChain&, Notifier&,
                               const RunControl& control) {
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
    auto made = CalcAkde(in.xy, in.n, selected, control.Share(0.4, 1.0));
    if (!made.Ok()) {
        return made.status;
    }
    out.grid = std::move(made.value.grid);
    out.uncertainty = EstimatorOutput::AreaUncertainty{selected.Name(), selected.effective_n};
    return out;
}

} // namespace

const std::vector<EstimatorRow>& Estimators() {
    using D = EstimatorData;
    using K = EstimatorKind;
    using C = ComparisonChoice;
    static const std::vector<EstimatorRow> table{
        {kFixedKernelName, "Fixed Kernel", "FixedKernel", "WeightedFixedKernel", D::Locations,
         K::Grid, true, true, &C::fixed_kernel, 4, FixedKernel, "Fixed Kernel Density   ",
         "NA                  ", "", "Fixed kernel", 0, true},
        {kAdaptiveKernelName, "Adaptive Kernel", "AdaptiveKernel", "AdaptiveKernel", D::Locations,
         K::Grid, false, true, &C::adaptive_kernel, 5, AdaptiveKernel, "Adaptive Kernel Density",
         "NA                  ", "", "Adaptive kernel", 1, true},
        {kBVNName, "1 Mode Bivariate Normal", "BVN", "WeightedBVN", D::Locations, K::Grid, true,
         false, &C::bvn, 1, BVN, "1 Mode Bivariate Normal", "5                   ", "BVN",
         "1-mode bivariate normal", 4, false},
        {kNormalMixtureName, "2 Mode Bivariate Normal Mix", "2ModeBVNMix", "Weighted2ModeBVNMix",
         D::Locations, K::Grid, true, false, &C::normal_mixture, 3, NormalMixture,
         "2 Mode Bivariate Normal", "11                  ", "2-modeBVN",
         "2-mode bivariate normal mixture", 2, false},
        {kCircleMixtureName, "2 Mode Bivariate Circle Mix", "2ModeCNMix", "Weighted2ModeCNMix",
         D::Locations, K::Grid, false, false, &C::circle_mixture, 2, CircleMixture,
         "2 Mode Bivariate Circle", "7                   ", "2-modeCN", "2-mode circle mixture", 3,
         false},
        {kExpPowerName, "Exponential Power", "ExpPower", "ExpPower", D::Locations, K::Grid, false,
         false, &C::exp_power, 0, ExpPower, "Exponential Power Model", "4                   ",
         "ExpPower", "Exponential power model", 5, false},
        {kBridgeName, "Brownian Bridge", "BrownianBridge", "BrownianBridge", D::Track, K::Grid,
         false, false, nullptr, -1, BrownianBridge, "", "", "", "Brownian bridge", 6, false},
        {kDynamicBridgeName, "Dynamic Brownian Bridge", "DynamicBrownianBridge",
         "DynamicBrownianBridge", D::Track, K::Grid, false, false, nullptr, -1, DynamicBridge, "",
         "", "", "Dynamic Brownian bridge", 7, false},
        {kAkdeName, "Autocorrelated Kernel (AKDE)", "AKDE", "AKDE", D::Track, K::Grid, false, false,
         nullptr, -1, Akde, "", "", "", "", -1, false},
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
         false},
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

std::string EstimatorNames(std::span<const EstimatorRow> table) {
    std::string names;
    for (const EstimatorRow& row : table) {
        names += (names.empty() ? "" : ", ") + std::string(row.name);
    }
    return names;
}

} // namespace ranvik
