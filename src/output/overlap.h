#pragma once

#include "numerics/output_grid.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace ranvik {

// How the utilization distributions (UDs) of two animals A and B overlap, as Fieberg and
// Kochanny (2005, J. Wildl. Manage. 69:1346-1359) define it, from their grids on one shared
// lattice of cell side c. With a_k and b_k the probabilities of cell k, and A_p and B_p the p
// home ranges (the cells whose volume level, CalcVolumeLevels, is at most p):
//   HR_{A,B}  = |A_p n B_p| / |A_p|                 the share of A's range inside B's range
//   PHR_{A,B} = sum_{k in A_p} b_k                   the probability of B inside A's range
//   VI        = sum_k min(a'_k, b'_k)                the volume of intersection
//   BA        = sum_k sqrt(a'_k b'_k)                Bhattacharyya's affinity
//   UDOI      = |A_p n B_p| * sum_k (a'_k / c^2) (b'_k / c^2) c^2
//             = (cells of A_p n B_p) * sum_k a'_k b'_k
// (UDOI is the area of the intersection times the integral of the product of the densities
// per unit area; the c^2 cancel). HR and PHR are not symmetric; VI, BA and UDOI are.
//
// The level p decides a' and b'. Below 100 % they are the paper's conditional distributions:
// each UD restricted to its own p range and renormalised, a'_k = a_k / sum_{A_p} a inside A_p
// and 0 outside. At 100 % they are the plain cell probabilities and a range is the cells of
// positive probability, so VI and BA of a grid with itself are its own mass. PHR reads B's
// whole distribution at every level.
//
// Every sum runs over the cells where both grids are positive (every term elsewhere is 0),
// within the overlap of their boxes of positive cells, in one fixed order with Neumaier's
// compensated summation, whose relative error for these nonnegative terms is at most
// 2u + O(n u^2) (u = 2^-53, n cells): about 2u for any grid that fits in memory.

// One animal's grid on a window of the shared lattice, prepared for overlaps at one level.
struct OverlapGrid {
    LatticeWindow window;
    double percent = 1.0;
    // The box of the positive cells in lattice columns and rows (inclusive); empty when
    // i_last < i_first.
    std::int64_t i_first = 0, i_last = -1, j_first = 0, j_last = -1;
    std::vector<double> p; // cell probability; column i, row j of the window at i * rows + j
    std::vector<double> u; // a' of the indices: 0 outside the range
    std::int32_t range_cells = 0;
};

// Prepares rows 0..count-1 of `grid` (x, y, probability, x outer and y inner, as
// LatticeOf reads them) at level `percent` (0 < percent <= 1). Fails with a sentence for the
// user when the grid's cells are not cells of `lattice` (another spacing, or centres off its
// nodes by more than a millionth of a cell), the level is out of range, or the range has no cell
// (CalcHomeRangeArea).
[[nodiscard]] StatusOr<OverlapGrid> MakeOverlapGrid(const Matrix& grid, std::int32_t count,
                                                    const SharedLattice& lattice, double percent);

// The indices of a pair, both orders of the asymmetric ones.
struct OverlapIndices {
    double hr_ab = 0.0, hr_ba = 0.0;
    double phr_ab = 0.0, phr_ba = 0.0;
    double vi = 0.0, ba = 0.0, udoi = 0.0;
};

// True when the two grids have a positive cell in common boxes; otherwise every index is 0.
[[nodiscard]] bool GridsMeet(const OverlapGrid& a, const OverlapGrid& b);

// The indices of A and B, two grids of one lattice prepared at the same level.
[[nodiscard]] OverlapIndices CalcOverlap(const OverlapGrid& a, const OverlapGrid& b);

// The indices of every pair (first, second) of `grids`, pairs spread over the cores when
// `control` allows; each pair is summed on one thread in its fixed order, so the result is the
// same to the bit on any number of threads. Pairs whose grids do not meet are 0 without a sum.
// Cancelled when a progress report asks to stop.
[[nodiscard]] StatusOr<std::vector<OverlapIndices>>
CalcOverlaps(std::span<const OverlapGrid> grids,
             std::span<const std::pair<std::int32_t, std::int32_t>> pairs,
             const RunControl& control = {});

// A bivariate normal distribution: mean (mx, my) and covariance [[sxx, sxy], [sxy, syy]].
struct PlaneNormal {
    double mx = 0.0, my = 0.0;
    double sxx = 1.0, sxy = 0.0, syy = 1.0;
};

// The Bhattacharyya distance of two bivariate normals, with S = (S_a + S_b) / 2 and
// d = mean_a - mean_b:
//   D_B = d^T S^-1 d / 8 + ln(det S / sqrt(det S_a det S_b)) / 2.
[[nodiscard]] double BhattacharyyaDistance(const PlaneNormal& a, const PlaneNormal& b);

// Bhattacharyya's affinity of two bivariate normals, the integral of sqrt(f_a f_b) over the
// plane: BA = exp(-D_B).
[[nodiscard]] double NormalAffinity(const PlaneNormal& a, const PlaneNormal& b);

} // namespace ranvik
