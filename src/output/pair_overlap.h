#pragma once

#include "numerics/output_grid.h"
#include "output/estimator_table.h"
#include "output/overlap.h"
#include "state/matrix.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/status.h"

#include <optional>
#include <span>
#include <vector>

namespace ranvik {

// The shared lattice's cell is at most this fraction of the smallest spread among the animals
// (EstimatorRow::spread: a smoothing parameter, a model's smallest standard deviation, a
// bridge's spread): a circular normal sampled at a fifth of its spread keeps its integrals (and
// so every overlap index) to far better than the 1e-6 the indices are read to, since the
// midpoint rule's error for such a smooth integrand falls like exp(-2 pi^2 (h / cell)^2).
inline constexpr double kCellsPerSpread = 5.0;

// What one animal asks of a shared lattice: the spread of its distribution by a row (the
// finest detail the lattice must resolve) and the south-west corner of its locations.
struct LatticeExtent {
    double spread = 0.0; // metres
    double xmin = 0.0, ymin = 0.0;
};

// The extent of the distribution `row` (a row with `on_lattice`) makes from `input`: the row's
// spread and the least x and y of its n >= 1 locations. Fails with the spread's sentence.
[[nodiscard]] StatusOr<LatticeExtent> ExtentOnLattice(const EstimatorRow& row,
                                                      const EstimatorInput& input,
                                                      Notifier& notifier,
                                                      const RunControl& control);

// The lattice that holds every animal of `extents` (at least one) with its tails: its first
// node the south-west corner of all their locations, its cell `cell` when given, else the
// smallest spread / kCellsPerSpread. Each animal then fills the window its distribution reaches.
[[nodiscard]] SharedLattice LatticeOver(std::span<const LatticeExtent> extents,
                                        std::optional<double> cell = std::nullopt);

// The distribution `row` makes from `input`, made on `lattice` instead of its own grid
// (EstimatorInput::lattice) from a fresh chain: the window its tails reach, rows of x, y and
// probability and a spare row. Fails as the row does, or with a sentence when the window would
// hold more than kMaxLatticeWindowCells cells; Cancelled with `control`.
[[nodiscard]] StatusOr<Matrix> GridOnLattice(const EstimatorRow& row, EstimatorInput input,
                                             const SharedLattice& lattice, Notifier& notifier,
                                             const RunControl& control);

// Two animals' distributions by one row on the lattice sized for both (LatticeOver), and their
// overlap indices (CalcOverlap, A the first animal) at each level.
struct PairOverlap {
    SharedLattice lattice;
    Matrix first, second; // each animal's window of the lattice, as GridOnLattice gives it
    std::vector<OverlapIndices> indices; // one per level
};

// The overlap of the distributions `row` (a row with `on_lattice`) makes from `first` and from
// `second` at `levels` (each 0 < level <= 1). Fails with a sentence for the user when a spread,
// a distribution or a level's range cannot be made (MakeOverlapGrid); Cancelled with `control`.
[[nodiscard]] StatusOr<PairOverlap>
OverlapOfPair(const EstimatorRow& row, const EstimatorInput& first, const EstimatorInput& second,
              std::span<const double> levels, Notifier& notifier, const RunControl& control);

} // namespace ranvik
