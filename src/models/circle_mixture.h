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

// The 2-mode circle mixture, by the name its results are kept and asked for under.
inline constexpr std::string_view kCircleMixtureName = "2cn";

// The 2-mode circle mixture: p phi_1 + (1 - p) phi_2, each phi_k a circular normal density
// with centre (mux_k, muy_k) and standard deviation sigma_k; 7 parameters, fitted by the
// simplex on (mux1, muy1, mux2, muy2, ln sigma1, ln sigma2, p).

// Start vertices CNStart1..8 of a fitting stage (sigmas on the natural scale). Stage 0 spreads
// the centres around the mean with sigma1 = sigma2 = the smaller standard deviation and
// p = 0.5; stage 1 keeps the stage-0 centres (ModelParams 1..4) and spreads sigma1, sigma2
// and p. Other stages leave every vertex zero.
void Init2CNSimplex(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n);

// A small simplex around an estimate (natural scale); the sigmas are stored as logarithms.
void Restart2CNSimplex(FitContext& ctx, double mux1, double muy1, double mux2, double muy2,
                       double sigma1, double sigma2, double p);

// One fitting stage; stage 1 ends with a restart around its first estimate. Leaves the
// estimate in ModelParams(1..7) with the sigmas on their natural scale.
void Fit2CN(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n);

// The mixture density at (x, y) for ModelParams-style parameters (natural scale).
[[nodiscard]] double CircleMixtureDensity(const std::vector<double>& params, double x, double y);

// Leave-one-out criterion; each fit of the n - 1 others restarts from the previous estimate,
// so the passes run in order.
[[nodiscard]] StatusOr<double> Calc2CNCVC(FitContext& ctx, const Matrix& xy, std::int32_t n,
                                          const RunControl& control = {});

// The output grid of the general two-mode bivariate normal density
// p f(mux1, muy1, sx1, sy1, rho1) + (1 - p) f(mux2, muy2, sx2, sy2, rho2); the circle mixture
// passes each sigma twice and correlations 0, the bivariate normal mixture its own values.
[[nodiscard]] StatusOr<Matrix> TwoModeGrid(const Matrix& xy, std::int32_t n, double mux1,
                                           double muy1, double mux2, double muy2, double sx1,
                                           double sy1, double rho1, double sx2, double sy2,
                                           double rho2, double p, const RunControl& control = {});

// The comparison entry, started from `start`: stages 0 and 1, -2 ln L, AICc (K = 7), CVC and
// the per-location values. Needs at least 9 locations with spread in x and y.
[[nodiscard]] StatusOr<ModelComparison>
Calc2CNModel(const Matrix& xy, std::int32_t n, const SimplexFit& start, Notifier& notifier,
             const RunControl& control = {},
             PerLocationValues values = PerLocationValues::AtEstimate);

// The home range, started from `start`: stages 0 and 1 and the grid.
[[nodiscard]] StatusOr<ModelHomeRange> CircleMixtureHomeRange(const Matrix& xy, std::int32_t n,
                                                              const SimplexFit& start,
                                                              Notifier& notifier,
                                                              const RunControl& control = {});

} // namespace ranvik
