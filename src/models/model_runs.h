#pragma once

#include "models/fit_context.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/state.h"
#include "state/status.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ranvik {

// -2 ln L, AICc and CVC of one model.
struct ModelScores {
    double neg2lnl = 0.0;
    double aicc = 0.0;
    double cvc = 0.0;
};

// The model-specific steps of a simplex-fitted model.
struct SimplexModel {
    int parameters;                                                      // K
    std::function<Status(FitContext&, const Matrix&, std::int32_t)> fit; // full-data fit
    std::function<StatusOr<double>(FitContext&, const Matrix&, std::int32_t, const RunControl&)>
        cvc; // leave-one-out criterion
    std::function<StatusOr<Matrix>(const std::vector<double>& params, const Matrix&, std::int32_t,
                                   const RunControl&)>
        grid; // the density's grid
};

// A comparison entry: the full-data fit and the leave-one-out criterion, on a copy of the
// record's workspace and with `loc_lik` (the model's per-location array) rebuilt with n rows.
// Only when both succeed are the workspace and the per-location values (at the estimate, or as
// the objective last left them) handed back to the record.
[[nodiscard]] StatusOr<ModelScores>
CompareSimplexModel(State& state, std::vector<double>& loc_lik, const Matrix& xy, std::int32_t n,
                    Notifier& notifier, const RunControl& control, PerLocationValues values,
                    const SimplexModel& model);

// A home range: the fit (weighted when `weights` is given) and the grid of its estimate
// (ModelParams), handed back to the record, with NumGridPts = 40000, only when both succeed.
[[nodiscard]] Status SimplexHomeRange(State& state, std::vector<double>& loc_lik, Matrix& grid,
                                      const Matrix& xy, std::int32_t n, Notifier& notifier,
                                      const std::vector<double>* weights, const RunControl& control,
                                      const SimplexModel& model);

} // namespace ranvik
