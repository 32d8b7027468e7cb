#pragma once

#include "kernel/kernel_cvc.h"
#include "models/fit_context.h"
#include "models/model_runs.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/session.h"
#include "state/status.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ranvik {

struct EstimatorRow;

// The models ticked for a comparison.
struct ComparisonChoice {
    bool exp_power = false;
    bool bvn = false;
    bool circle_mixture = false;
    bool normal_mixture = false;
    bool fixed_kernel = false;
    bool adaptive_kernel = false;
};

// What a comparison hands the session: each ticked model's scores (exponential power, 1-mode
// bivariate normal, circle mixture, normal mixture, in table order) and each ticked kernel's
// CVC (fixed, adaptive), or the sentence why it could not be scored. Entries not ticked are
// empty.
struct ComparisonResults {
    std::array<std::optional<StatusOr<ModelComparison>>, 4> models;
    std::array<std::optional<StatusOr<KernelCVC>>, 2> kernels;
};

// Scores every ticked model on locations 0..n-1 of `xy`, in this order: exponential power,
// 1-mode bivariate normal, circle mixture, normal mixture, fixed kernel CVC, adaptive kernel
// CVC. Each simplex fit starts from the workspace the one before left (the first from
// `start`). A model that cannot be scored does not stop the others. Fails only when cancelled
// (or when n counts more locations than `xy` holds).
[[nodiscard]] StatusOr<ComparisonResults>
RunComparison(const Matrix& xy, std::int32_t n, const ComparisonChoice& choice,
              const SimplexFit& start, Notifier& notifier, const RunControl& control = {},
              PerLocationValues values = PerLocationValues::AtEstimate);

// Shown in every value column of a model that could not be scored.
inline constexpr const char* kNotScored = "failed";

// The comparison table: a header line and a row for each estimator of `table` that the
// comparison scores, in its order (exponential power, 1-mode normal, circle mixture, normal
// mixture, fixed kernel, adaptive kernel), each starting with the root of the loaded file's
// name, fields separated by tabs, rows by CR LF, no line end after the last. Values are the
// session's scores rounded to 3 decimals (halves to even) and written in the shortest general
// form; the kernels show "NA" before their CVC; a model whose last comparison failed shows
// kNotScored.
[[nodiscard]] std::string ComparisonTable(const Session& session,
                                          const std::vector<EstimatorRow>& table);

} // namespace ranvik
