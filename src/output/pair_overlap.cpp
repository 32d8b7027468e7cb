#include "output/pair_overlap.h"

#include "state/workspaces.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

namespace ranvik {

StatusOr<LatticeExtent> ExtentOnLattice(const EstimatorRow& row, const EstimatorInput& input,
                                        Notifier& notifier, const RunControl& control) {
    if (!row.on_lattice || !row.spread) {
        return Status::Failure("The " + std::string(row.name) +
                               " estimator cannot be made on a shared lattice.");
    }
    if (input.n < 1) {
        return Status::Failure("There are no locations to place on a shared lattice.");
    }
    const auto spread = row.spread(input, EstimatorChain{}, notifier, control);
    if (!spread.Ok()) {
        return spread.status;
    }
    StatusOr<LatticeExtent> result;
    result.value.spread = spread.value;
    result.value.xmin = input.xy(0, 0);
    result.value.ymin = input.xy(0, 1);
    for (std::int32_t k = 1; k < input.n; ++k) {
        result.value.xmin = std::min(result.value.xmin, input.xy(k, 0));
        result.value.ymin = std::min(result.value.ymin, input.xy(k, 1));
    }
    return result;
}

SharedLattice LatticeOver(std::span<const LatticeExtent> extents, std::optional<double> cell) {
    SharedLattice lattice{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                          cell.value_or(std::numeric_limits<double>::max())};
    for (const LatticeExtent& extent : extents) {
        lattice.x0 = std::min(lattice.x0, extent.xmin);
        lattice.y0 = std::min(lattice.y0, extent.ymin);
        if (!cell) {
            lattice.cell = std::min(lattice.cell, extent.spread / kCellsPerSpread);
        }
    }
    return lattice;
}

StatusOr<Matrix> GridOnLattice(const EstimatorRow& row, EstimatorInput input,
                               const SharedLattice& lattice, Notifier& notifier,
                               const RunControl& control) {
    input.lattice = lattice;
    EstimatorChain chain;
    auto made = row.compute(input, chain, notifier, control);
    if (!made.Ok()) {
        return made.status;
    }
    return std::move(made.value.grid);
}

StatusOr<PairOverlap> OverlapOfPair(const EstimatorRow& row, const EstimatorInput& first,
                                    const EstimatorInput& second, std::span<const double> levels,
                                    Notifier& notifier, const RunControl& control) {
    // Progress in four steps: the two spreads (with the movement models, for rows that rest
    // on one, selected once for both uses), then the two grids on the lattice.
    std::array<EstimatorInput, 2> inputs{first, second};
    std::array<LatticeExtent, 2> extents;
    for (std::size_t k = 0; k < 2; ++k) {
        RunControl part = control.Part(static_cast<int>(k), 4);
        if (row.select_movement && !inputs[k].movement) {
            auto selected = SelectMovementModel(inputs[k].xy, inputs[k].n, part.Share(0.0, 0.8));
            if (!selected.Ok()) {
                return selected.status;
            }
            inputs[k].movement = std::move(selected.value);
            part = part.Share(0.8, 1.0);
        }
        const auto extent = ExtentOnLattice(row, inputs[k], notifier, part);
        if (!extent.Ok()) {
            return extent.status;
        }
        extents[k] = extent.value;
    }
    StatusOr<PairOverlap> result;
    PairOverlap& pair = result.value;
    pair.lattice = LatticeOver(extents);
    std::array<Matrix*, 2> grids{&pair.first, &pair.second};
    std::array<std::vector<OverlapGrid>, 2> prepared;
    for (std::size_t k = 0; k < 2; ++k) {
        auto grid = GridOnLattice(row, inputs[k], pair.lattice, notifier,
                                  control.Part(static_cast<int>(k) + 2, 4));
        if (!grid.Ok()) {
            return grid.status;
        }
        *grids[k] = std::move(grid.value);
        for (const double level : levels) {
            auto at_level = MakeOverlapGrid(*grids[k], grids[k]->Rows() - 1, pair.lattice, level);
            if (!at_level.Ok()) {
                return at_level.status;
            }
            prepared[k].push_back(std::move(at_level.value));
        }
    }
    for (std::size_t l = 0; l < levels.size(); ++l) {
        pair.indices.push_back(CalcOverlap(prepared[0][l], prepared[1][l]));
    }
    return result;
}

} // namespace ranvik
