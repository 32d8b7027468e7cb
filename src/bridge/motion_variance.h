#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ranvik {

// The dynamic Brownian bridge, by the name its results are kept and asked for under.
inline constexpr std::string_view kDynamicBridgeName = "dbbmm";

// The sliding windows of the dynamic Brownian bridge (Kranstauber et al. 2012): w consecutive
// fixes per window, and a margin m of fixes at each end of a window in which no break is
// looked for and to whose segments the window gives no variance. Both odd, w >= 2 m + 1.
struct DynamicBridgeOptions {
    std::int32_t window = 31;
    std::int32_t margin = 11;
};

// Fails with a sentence for the user unless the window and margin are odd, the margin at least
// 1, the window at least 2 x margin + 1 and the track holds at least a window of fixes
// (n >= window), and the fixes' times increase strictly.
[[nodiscard]] Status CheckDynamicBridgeOptions(const DynamicBridgeOptions& options,
                                               const Matrix& fixes, std::int32_t n);

// The log-likelihood of the stretch of fixes first..last (0-based, inclusive, time-sorted rows
// of `fixes`: x, y, time, location error) under one motion variance sigma_m2: the sum over the
// fixes i = first + 1, first + 3, ... (i <= last - 1) of ln phi_i, phi_i the density of fix i
// under the bridge between fixes i - 1 and i + 1 (see CalcBBNegLogLik):
//   var_i = T alpha (1 - alpha) sigma_m2 + (1 - alpha)^2 e_{i-1}^2 + alpha^2 e_{i+1}^2.
// A phi that underflows to 0 is taken as 1e-250, as there; where var_i is 0 (sigma_m2 = 0 and
// both neighbours without error) a fix on the bridge's mean gives +infinity, any other 1e-250.
// sigma_m2 >= 0; 0 <= first <= last < the fixes' rows.
[[nodiscard]] double StretchLogLik(const Matrix& fixes, std::int32_t first, std::int32_t last,
                                   double sigma_m2);

// The maximum-likelihood variance of one stretch (sigma_m2 >= 0) and its log-likelihood there.
struct StretchFit {
    double variance = 0.0;
    double log_lik = 0.0;
};

// The fit of the stretch of fixes first..last (as StretchLogLik; no observation, first + 2 >
// last, gives 0 and 0). Each observation's ln phi rises with sigma_m2 up to its own optimum
// p_i = (d_i^2 / 2 - c_i) / a_i (var_i = a_i sigma_m2 + c_i) and falls beyond it, so the
// maximum lies between the least and the greatest p_i, clipped at 0, and a single observation
// gives max(p_1, 0). Between them a Newton search on ln sigma_m2 (analytic first and second
// derivatives, bisection where a step leaves the bracket or curvature turns it uphill) finds
// where the slope turns from rising to falling, to 1e-13 relative; when the slope at 0 is not
// positive, 0 is taken if its likelihood is higher. log_lik is StretchLogLik at the variance.
[[nodiscard]] StretchFit FitStretch(const Matrix& fixes, std::int32_t first, std::int32_t last);

// How one window of fixes start..start + w - 1 was scored. BIC of one variance for the whole
// window: -2 ln L + ln(w). BIC of a break at fix b (window positions m..w - m + 1, 1-based,
// odd only): one variance for fixes 1..b and one for b..w (sharing fix b),
// -2 (ln L_before + ln L_after) + 2 ln(w). The lowest BIC wins (the whole window on a tie).
struct WindowScore {
    std::int32_t start = 0;
    StretchFit whole;
    double bic_whole = 0.0;
    // The best break, when a break wins: the fix (0-based, in the track) where the variance
    // changes, and the two fits.
    std::optional<std::int32_t> break_fix;
    StretchFit before;
    StretchFit after;
    double bic_break = 0.0; // BIC of the best break tried (even when the whole window wins)
};

// The motion variance along the track. Segment k runs from fix k to fix k + 1
// (k = 0..n - 2): each window gives its segments m..w - m (window positions, 1-based) the
// variance of the stretch they lie in, and a segment's variance is the mean over the windows
// that gave it one. Segments no window reaches have none.
struct MotionVariance {
    std::vector<std::optional<double>> segment; // per segment k
    std::vector<std::int32_t> windows;          // per segment k: windows that gave it one
    std::vector<std::int32_t> breaks;           // per fix: windows that chose a break there
    std::vector<WindowScore> scores;            // per window, in order of start
};

// Scores every window (start = 0..n - w) and gives the segments their variances. Windows are
// scored in parallel when `control` allows, with the same result as one after another. Fails
// with a sentence for the user (see CheckDynamicBridgeOptions); Cancelled when `control` asks
// to stop.
[[nodiscard]] StatusOr<MotionVariance> EstimateMotionVariance(const Matrix& fixes, std::int32_t n,
                                                              const DynamicBridgeOptions& options,
                                                              const RunControl& control = {});

} // namespace ranvik
