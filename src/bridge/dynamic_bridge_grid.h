#pragma once

#include "bridge/bridge_probability.h"
#include "bridge/motion_variance.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>

namespace ranvik {

// The utilisation distribution of the dynamic Brownian bridge. Segment k (fix k to k + 1,
// duration T_k) takes part when it has a motion variance and T_k <= max_time. At fraction
// alpha of it the animal is distributed as a circular normal around
//   mean = fix k + (fix k+1 - fix k) alpha,
//   var  = T_k alpha (1 - alpha) sigma_k^2 + (1 - alpha)^2 e_k^2 + alpha^2 e_{k+1}^2,
// and the distribution is the time average over the segments taking part, each weighted by
// T_k / sum of their T: it integrates to 1 over the plane.
//
// Each cell holds the distribution's mass in the cell: the normal is integrated over the
// cell exactly (per axis, differences of the error function), so no mass is lost when the
// spread is smaller than a cell, and over time by Gauss-Legendre panels chosen per segment so
// that the time rule's errors, summed in absolute value over all cells, stay below 1e-8. Each
// time node is cut 8.3 of its standard deviations from its mean on each axis, which leaves out
// less than 1e-15 of the mass.

// A computed dynamic bridge grid: rows k = column * rows + row hold the cell centre x, y and
// the cell's mass (x outer, y inner, as the Brownian bridge grid), row `count` is the spare
// row, and `mass_outside` is the share of the distribution that fell outside the grid:
// 1 - the sum of the cells (not below 0), within 1e-12 of 0 when the extent holds the bridges.
struct DynamicBridgeGrid {
    Matrix output;
    std::int32_t count = 0;
    double mass_outside = 0.0;
};

// The automatic extent at cell size `cell`: the box of the fixes widened so that every segment
// taking part keeps all but a negligible share of its mass inside (its largest spread, times
// the number of standard deviations beyond which a normal's tail is below 1e-15).
[[nodiscard]] BridgeGridSpec AutoDynamicBridgeExtent(const Matrix& fixes, std::int32_t n,
                                                     const MotionVariance& variance,
                                                     double max_time, double cell);

// The grid of `spec` (cell centres from min_x while <= max_x, likewise y, by repeated
// addition of `resolution`). Cells are computed in parallel when `control` allows, with the
// same bits as one after another. Fails with a sentence for the user when no segment takes
// part, a segment's variance is not positive somewhere, or the grid is too large; Cancelled
// when `control` asks to stop.
[[nodiscard]] StatusOr<DynamicBridgeGrid>
CalcDynamicBridgeGrid(const Matrix& fixes, std::int32_t n, const MotionVariance& variance,
                      double max_time, const BridgeGridSpec& spec, const RunControl& control = {});

} // namespace ranvik
