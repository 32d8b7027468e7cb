#pragma once

#include "models/fit_context.h"
#include "state/matrix.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ranvik {

// -2 ln L, AICc and CVC of one model.
struct ModelScores {
    double neg2lnl = 0.0;
    double aicc = 0.0;
    double cvc = 0.0;
};

// What a comparison entry hands the session: the model's criteria, its per-location
// log-likelihoods and, for a simplex-fitted model, the workspace the fit left.
struct ModelComparison {
    ModelScores scores;
    std::vector<double> loc_lik;
    std::optional<SimplexFit> fit;
};

// The five parameters of a bivariate normal density.
struct BVNEstimate {
    double mean_x = 0.0, mean_y = 0.0;
    double sigma_x = 0.0, sigma_y = 0.0;
    double rho = 0.0;
};

// What a home range estimate hands the session: the grid of its utilization distribution and,
// for a simplex-fitted model, the per-location log-likelihoods and the workspace of the fit, or
// for the 1-mode normal its parameters.
struct ModelHomeRange {
    Matrix grid;
    std::vector<double> loc_lik;
    std::optional<SimplexFit> fit;
    std::optional<BVNEstimate> bvn;
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

// A comparison entry: the full-data fit and the leave-one-out criterion, started from
// `start`, with the model's per-location array rebuilt with n rows. The per-location values
// are those at the estimate, or as the objective last left them.
[[nodiscard]] StatusOr<ModelComparison>
CompareSimplexModel(const Matrix& xy, std::int32_t n, const SimplexFit& start, Notifier& notifier,
                    const RunControl& control, PerLocationValues values, const SimplexModel& model);

// A home range: the fit (weighted when `weights` is given), started from `start`, and the grid
// of its estimate (ModelParams).
[[nodiscard]] StatusOr<ModelHomeRange> SimplexHomeRange(const Matrix& xy, std::int32_t n,
                                                        const SimplexFit& start, Notifier& notifier,
                                                        const std::vector<double>* weights,
                                                        const RunControl& control,
                                                        const SimplexModel& model);

} // namespace ranvik
