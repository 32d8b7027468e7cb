#pragma once

#include "models/fit_context.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/state.h"
#include "state/status.h"

#include <cstdint>

namespace ranvik {

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

// The comparison entry: fit, Neg2LnLExpPower, AICcExpPower (K = 4), CVCExpPower and
// LocLikExpPower. Needs at least 6 locations with spread in x and y. On failure or cancel
// the record is unchanged.
[[nodiscard]] Status CompareExpPower(State& state, const Matrix& xy, std::int32_t n,
                                     Notifier& notifier, const RunControl& control = {},
                                     PerLocationValues values = PerLocationValues::AtEstimate);

// The home range: fit and GridExpPower with NumGridPts = 40000; LocLikExpPower holds the
// objective's last evaluation. On failure or cancel the record is unchanged.
[[nodiscard]] Status ExpPowerHomeRange(State& state, const Matrix& xy, std::int32_t n,
                                       Notifier& notifier, const RunControl& control = {});

} // namespace ranvik
