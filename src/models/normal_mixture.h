#pragma once

#include "models/fit_context.h"
#include "models/model_runs.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"
#include "state/workspaces.h"

#include <cstdint>
#include <string_view>

namespace ranvik {

// The 2-mode bivariate normal mixture, by the name its results are kept and asked for under.
inline constexpr std::string_view kNormalMixtureName = "2bvn";

// The 2-mode bivariate normal mixture: p f_1 + (1 - p) f_2, each f_k a bivariate normal
// density with its own centre, standard deviations and correlation; 11 parameters, fitted by
// the simplex on (mux1, muy1, mux2, muy2, ln sx1, ln sy1, rho1, ln sx2, ln sy2, rho2, p), the
// only model whose objective weights the locations in a bias-corrected run.

// Start vertices BVNStart1..12 of stage 1 (centres spread; common sigma = the smaller
// standard deviation, rho = 0, p = 0.5), stage 2 (stage-1 centres, sigmas and correlations
// spread, p = 0.5) or stage 3 (stage-2 estimate, p spread). Other stages leave them zero.
void Init2BVNSimplex(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n);

// A small simplex around an estimate given mode by mode (natural scale); the standard
// deviations are stored as logarithms.
void Restart2BVNSimplex(FitContext& ctx, double mux1, double muy1, double sx1, double sy1,
                        double rho1, double mux2, double muy2, double sx2, double sy2, double rho2,
                        double p);

// One fitting stage; stage 3 ends with a restart around its first estimate. Leaves the
// estimate in ModelParams(1..11), standard deviations on their natural scale.
void Fit2BVN(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n);

// The mixture density at (x, y) for ModelParams-style parameters (natural scale).
[[nodiscard]] double NormalMixtureDensity(const std::vector<double>& params, double x, double y);

// Leave-one-out criterion. Every left-out set is fitted afresh through the three stages, so
// the passes are independent and run in parallel when `control` allows, each on its own copy
// of the workspace; afterwards `ctx` holds what the last pass left, exactly as a run in
// order would, and iteration-limit messages are passed on in pass order.
[[nodiscard]] StatusOr<double> Calc2BVNCVC(FitContext& ctx, const Matrix& xy, std::int32_t n,
                                           const RunControl& control = {});

// The comparison entry, started from `start`: stages 1 to 3, -2 ln L, AICc (K = 11), CVC and
// the per-location values, unweighted. Needs at least 13 locations with spread in x and y.
[[nodiscard]] StatusOr<ModelComparison>
Calc2BVNModel(const Matrix& xy, std::int32_t n, const SimplexFit& start, Notifier& notifier,
              const RunControl& control = {},
              PerLocationValues values = PerLocationValues::AtEstimate);

// The home range, started from `start`: stages 1 to 3 (weighted with `weights` when given)
// and the grid.
[[nodiscard]] StatusOr<ModelHomeRange> NormalMixtureHomeRange(const Matrix& xy, std::int32_t n,
                                                              const SimplexFit& start,
                                                              Notifier& notifier,
                                                              const std::vector<double>* weights,
                                                              const RunControl& control = {});

} // namespace ranvik
