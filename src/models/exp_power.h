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

// The exponential power model, by the name its results are kept and asked for under.
inline constexpr std::string_view kExpPowerName = "exp-power";

// The exponential power model: f = exp(-(r/a)^(2/s)) / (pi s a^2 Gamma(s)) around a centre,
// scale a > 0, shape s in [0.1, 1]; fitted by the simplex on (cx, cy, ln a, s), 4 parameters.

// Start vertices 1..5 in ExpPowerStart from the population moments (a on its natural scale).
void InitExpPowerSimplex(FitContext& ctx, const Matrix& xy, std::int32_t n);

// Takes ln a in every start vertex, fits, and leaves (cx, cy, a, s) in ModelParams(1..4).
void FitExpPower(FitContext& ctx, const Matrix& xy, std::int32_t n);

// Leave-one-out criterion -2 sum_i ln f_(-i)(x_i, y_i). Each fit of the n - 1 others starts
// from a small simplex around the previous fit (the full-data fit first), so the passes run
// in order. ModelParams is left with the last leave-one-out fit.
[[nodiscard]] StatusOr<double> CalcExpPowerCVC(FitContext& ctx, const Matrix& xy, std::int32_t n,
                                               const RunControl& control = {});

// The output grid of the density with centre (cx, cy), scale a and shape s (not clamped).
[[nodiscard]] StatusOr<Matrix> CalcExpPowerGrid(const Matrix& xy, std::int32_t n, double cx,
                                                double cy, double a, double s,
                                                const RunControl& control = {});

// The comparison entry, started from `start`: fit, -2 ln L, AICc (K = 4), CVC and the
// per-location values. Needs at least 6 locations with spread in x and y.
[[nodiscard]] StatusOr<ModelComparison>
CompareExpPower(const Matrix& xy, std::int32_t n, const SimplexFit& start, Notifier& notifier,
                const RunControl& control = {},
                PerLocationValues values = PerLocationValues::AtEstimate);

// The home range, started from `start`: fit and grid; the per-location values are the
// objective's last evaluation.
[[nodiscard]] StatusOr<ModelHomeRange> ExpPowerHomeRange(const Matrix& xy, std::int32_t n,
                                                         const SimplexFit& start,
                                                         Notifier& notifier,
                                                         const RunControl& control = {});

} // namespace ranvik
