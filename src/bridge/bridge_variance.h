#pragma once

#include "state/matrix.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/status.h"
#include "state/workspaces.h"

#include <cstdint>
#include <string_view>

namespace ranvik {

// The notice given when a fix's density under its bridge underflows to 0.
inline constexpr std::string_view kZeroDensityMessage =
    "density at i = 0; Density will be set to 1*10^-250";

// Negative log-likelihood of the Brownian bridge variance sigma_m2 for time-sorted fixes
// (rows 0..n-1 of `fixes`: x, y, time, location error). Every second fix i = 1, 3, 5, ...
// (i <= n - 2) is an observation of the bridge between fixes i - 1 and i + 1:
//   alpha = (t_i - t_{i-1}) / T, T = t_{i+1} - t_{i-1},
//   mean  = fix i-1 + (fix i+1 - fix i-1) alpha,
//   var   = T alpha (1 - alpha) sigma_m2 + (1 - alpha)^2 e_{i-1}^2 + alpha^2 e_{i+1}^2,
//   phi   = 1 / (2 pi var) exp(-0.5 d^2 / var),
// and -sum ln phi is returned. A phi of exactly 0 is taken as 1e-250 and counted in
// `zero_densities`.
[[nodiscard]] double CalcBBNegLogLik(const Matrix& fixes, double sigma_m2, std::int32_t n,
                                     int& zero_densities);

// The starting value of the variance search:
//   S = sum over i = 1, 3, ... of [T_i / ((T_i - D_i) D_i)] d_i^2 / (2 (m - 1)),
// m = (n - 1) / 2 rounded half to even, D_i = t_i - t_{i-1}.
[[nodiscard]] double StartingBBVariance(const Matrix& fixes, std::int32_t n);

// Fails with a sentence for the user unless the fixes can give a variance: at least 4 fixes
// (so that the starting value has a divisor), and times that increase strictly.
[[nodiscard]] Status CheckBridgeFixes(const Matrix& fixes, std::int32_t n);

// What the variance search leaves: the estimate and the search's workspace (its last triple,
// minimum and tolerance).
struct BBVarianceEstimate {
    double variance = 0;
    MinimiserWorkspace minimiser;
};

// Estimates the Brownian bridge variance by maximum likelihood from the time-sorted fixes 0..n-1
// of `fixes` (x, y, time, location error): the search starts from the workspace `start`, at the
// pair (0.3 S, 0.5 S), brackets and narrows with tolerance 0.0001 (left in GoldenTol) and takes
// GoldenXMin as the variance. Zero densities met during the search are reported once at the
// end: the notice keeps its own words, and their count goes to the step line (`control.Say`).
// Fails with a sentence for the user when the fixes cannot give a variance (see
// CheckBridgeFixes) or the search finds no minimum; Cancelled when `control` asks to stop.
[[nodiscard]] StatusOr<BBVarianceEstimate> EstimateBBVariance(const Matrix& fixes, std::int32_t n,
                                                              const MinimiserWorkspace& start,
                                                              Notifier& notifier,
                                                              const RunControl& control = {});

} // namespace ranvik
