#pragma once

#include "models/fit_context.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/state.h"
#include "state/status.h"

#include <string>

namespace ranvik {

// The models ticked for a comparison.
struct ComparisonChoice {
    bool exp_power = false;
    bool bvn = false;
    bool circle_mixture = false;
    bool normal_mixture = false;
    bool fixed_kernel = false;
    bool adaptive_kernel = false;
};

// Scores every ticked model on LocXY, in this order: exponential power, 1-mode bivariate
// normal, circle mixture, normal mixture, fixed kernel CVC, adaptive kernel CVC. A model that
// cannot be scored keeps its earlier values, its sentence goes to ComparisonErrors, and the
// others still run; a scored model clears its entry. Returns the sentences of the failures
// (one line each), or Cancelled when the user stopped the run.
[[nodiscard]] Status RunComparison(State& state, const ComparisonChoice& choice, Notifier& notifier,
                                   const RunControl& control = {},
                                   PerLocationValues values = PerLocationValues::AtEstimate);

// Shown in every value column of a model that could not be scored.
inline constexpr const char* kNotScored = "failed";

// The comparison table: a header line and six rows (exponential power, 1-mode normal, circle
// mixture, normal mixture, fixed kernel, adaptive kernel), each starting with InFileRoot,
// fields separated by tabs, rows by CR LF, no line end after the last. Values are rounded to
// 3 decimals (halves to even) and written in the shortest general form; the kernels show "NA"
// before their CVC; a model whose last comparison failed shows kNotScored.
[[nodiscard]] std::string ComparisonTable(const State& state);

} // namespace ranvik
