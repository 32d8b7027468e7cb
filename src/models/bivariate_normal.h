#pragma once

#include "models/model_runs.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace ranvik {

// The 1-mode bivariate normal, by the name its results are kept and asked for under.
inline constexpr std::string_view kBVNName = "bvn";

// Maximum-likelihood estimates from locations 0..n-1: means, standard deviations and
// correlation with divisor n.
[[nodiscard]] BVNEstimate UnweightedBVN(const Matrix& xy, std::int32_t n);

// Weighted estimates with W = sum w_i: means sum w_i v_i / W, (co)variances
// sum w_i (u_i - mean_u)(v_i - mean_v) / D with D = W (1 - 1/n).
[[nodiscard]] BVNEstimate WeightedBVN(const Matrix& xy, std::int32_t n,
                                      const std::vector<double>& weights);

// c exp(m Q) at (x, y) with c = 1 / (2 pi sx sy sqrt(1 - rho^2)), m = -1 / (2 (1 - rho^2)),
// Q = zx^2 + zy^2 - 2 rho zx zy.
[[nodiscard]] double BVNDensity(const BVNEstimate& e, double x, double y);

// The comparison entry: CalcBVNLikelihood, then CalcBVNCVC. Needs at least 7 locations,
// spread in x and y, and locations not on one line.
[[nodiscard]] StatusOr<ModelComparison> CompareBVN(const Matrix& xy, std::int32_t n,
                                                   const RunControl& control = {});

// The unweighted fit's per-location values (rows 0..n-1: ln f at each location, ln 1e-14 for
// a density of exactly 0), -2 ln L and AICc = -2 ln L + 10 n / (n - 6); the CVC is left 0.
[[nodiscard]] StatusOr<ModelComparison> CalcBVNLikelihood(const Matrix& xy, std::int32_t n);

// Leave-one-out criterion: -2 sum_i ln f_(-i)(x_i, y_i), each f_(-i) the unweighted fit of the
// other n - 1 locations (divisor n - 1).
[[nodiscard]] StatusOr<double> CalcBVNCVC(const Matrix& xy, std::int32_t n,
                                          const RunControl& control = {});

// The home range: the estimates (weighted with `weights` when given) and the density over the
// output grid.
[[nodiscard]] StatusOr<ModelHomeRange> CalcBVNHomeRange(const Matrix& xy, std::int32_t n,
                                                        const std::vector<double>* weights,
                                                        const RunControl& control = {});

// The output grid of the bivariate normal density `e` over locations 0..n-1.
[[nodiscard]] StatusOr<Matrix> CalcBVNGrid(const Matrix& xy, std::int32_t n, const BVNEstimate& e,
                                           const RunControl& control = {});

} // namespace ranvik
