#pragma once

#include "bridge/bridge_probability.h"
#include "models/model_runs.h"
#include "numerics/output_grid.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace ranvik {

// The distributions other than the kernels, made again on a shared lattice so that their
// overlaps can be computed (output/overlap.h), and the spread each one's lattice cell is sized
// from: the cell is at most a fifth of the smallest spread among the animals.

// A fitted parametric density with the box its tails reach and its spread.
struct FittedDensity {
    NodeDensity density;
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double spread = 0.0; // metres
};

// A bivariate normal: its box is the mean +- kLatticeKernelReach standard deviations on each
// axis (the marginals are normal, so at most 4 Phi(-6.5) < 1.6e-10 of the mass is left out) and
// its spread the standard deviation along the covariance's minor axis, sqrt of its smaller
// eigenvalue (a + c) / 2 - sqrt(((a - c) / 2)^2 + b^2) with a = sx^2, b = rho sx sy, c = sy^2.
[[nodiscard]] FittedDensity NormalFitted(const BVNEstimate& e);

// p f_1 + (1 - p) f_2 of two bivariate normals: the union of their boxes, the smaller spread.
[[nodiscard]] FittedDensity MixtureFitted(const BVNEstimate& first, const BVNEstimate& second,
                                          double p);

// The exponential power density with centre (cx, cy), scale a and shape s (0 < s <= 1, as the
// fit clamps it). With u = (r / a)^(2 / s) the radius's distribution is u ~ Gamma(s, 1), so the
// mass beyond u = U is Q(s, U) <= exp(-U) for U >= 1 and s <= 1; the box reaches
// r = a 23^(s / 2) on each side (exp(-23) < 1.1e-10). Its spread is a s / 2: the width over
// which the exponent changes by 1 at r = a (for s = 1, a normal of standard deviation
// a / sqrt 2, that is a little smaller than the standard deviation, so on the safe side).
[[nodiscard]] FittedDensity ExpPowerFitted(double cx, double cy, double a, double s);

// The grid of `fitted` on `lattice` (DensityOnLattice over its box).
[[nodiscard]] StatusOr<Matrix> FittedOnLattice(const FittedDensity& fitted,
                                               const SharedLattice& lattice,
                                               const RunControl& control = {});

// The motion variance of bridge segment k (fix k to k + 1), or none when it has none.
using SegmentVariance = std::function<std::optional<double>(std::int32_t segment)>;

// What a track's bridges span: over the segments bridged (0 < T_k <= max_time, with a
// variance), the median duration, the smallest and largest variance, the largest duration, and
// the smallest positive and the largest location error of the fixes.
struct BridgeSpan {
    std::int32_t segments = 0;
    double median_duration = 0.0, longest = 0.0;
    double least_variance = 0.0, most_variance = 0.0;
    double least_error = 0.0, most_error = 0.0; // least_error 0: no positive error
};

[[nodiscard]] BridgeSpan SpanOfBridges(const Matrix& fixes, std::int32_t n, double max_time,
                                       const SegmentVariance& variance);

// The spread a bridge's lattice cell is sized from: the smaller of the positive ones of
//   sqrt(v_min T_med / 4), the standard deviation of the bridge in the middle of a segment of the
//                          median duration under the smallest motion variance, without error,
//   e_min,                 the smallest positive location error,
// both the finest detail the distribution shows (near a fix it is about as narrow as the fix's
// error; between fixes at least as wide as the middle of a typical segment). Fails with a
// sentence for the user when no segment is bridged or neither is positive.
[[nodiscard]] StatusOr<double> BridgeSpread(const BridgeSpan& span);

// The box the bridges of a track reach: the fixes' box widened by kLatticeKernelReach times
// the largest standard deviation a bridge takes, sqrt(v_max T_max / 4 + e_max^2).
[[nodiscard]] BridgeGridSpec BridgeReach(const Matrix& fixes, std::int32_t n,
                                         const BridgeSpan& span);

// The bridge grid spec whose points are the nodes of the window of `lattice` over `extent`,
// and that window: from its first node while x <= its last node + c / 2, spacing c.
struct LatticeBridgeSpec {
    LatticeWindow window;
    BridgeGridSpec spec;
};
[[nodiscard]] StatusOr<LatticeBridgeSpec> BridgeSpecOnLattice(const SharedLattice& lattice,
                                                              const BridgeGridSpec& extent);

// Puts the exact lattice coordinates of `window` into columns 0 and 1 of a bridge grid made
// from BridgeSpecOnLattice (whose repeated additions may differ from them in the last bits).
// Fails when the grid does not hold one row per node of the window and a spare row.
[[nodiscard]] Status OnLatticeNodes(Matrix& grid, const SharedLattice& lattice,
                                    const LatticeWindow& window);

} // namespace ranvik
