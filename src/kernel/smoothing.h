#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"
#include "state/workspaces.h"

#include <cstdint>
#include <span>

namespace ranvik {

// Reference smoothing parameter, optimal for bivariate normal locations:
//   h_ref = sqrt((s_x^2 + s_y^2) / 2) * n^(-1/6)
// with the sample variances s^2 = sum (v_i - mean)^2 / (n - 1) over locations 0..n-1 of
// `xy`. Needs n >= 2 (see CheckSmoothingInput).
[[nodiscard]] double CalcHref(const Matrix& xy, std::int32_t n);

// Likelihood cross-validation score at h (smaller is better):
//   CV(h) = -sum_i ln(s_i) / (n - 1),  s_i = sum_{j != i} t_ij,
//   t_ij = exp(-d_ij^2 / (2 h^2)) * c_j,  c_j = 1 / (2 pi h^2), or w_j / (2 pi h^2) when
// `weights` (the location weights, one per location) is not empty.
// An exponential that underflows to 0, and a product t_ij that does, is replaced by the
// smallest positive double, so every logarithm stays finite.
[[nodiscard]] double CalcCVScore(const Matrix& xy, double h, std::int32_t n,
                                 std::span<const double> weights, bool parallel = true);

// Least-squares cross-validation score at h (smaller is better):
//   LSCV(h) = S / (4 pi h^2 n^2) + 1 / (pi h^2 n),
//   S = sum over all ordered pairs (i, j), i = j included, of
//       exp(-d_ij^2 / (4 h^2)) - 4 exp(-d_ij^2 / (2 h^2)).
// An h below 1e-20 (zero and negative values included) is first raised to 1e-20, and the
// raised value is written back to the caller's `h`. Location weights never enter.
[[nodiscard]] double CalcLSCVScore(double& h, const Matrix& xy, std::int32_t n,
                                   bool parallel = true);

// Fails with a sentence for the user when h_ref, CV and LSCV cannot be formed: fewer than two
// locations, or all of them at one point (h_ref = 0, and both scores fall without bound as h
// shrinks).
[[nodiscard]] Status CheckSmoothingInput(const Matrix& xy, std::int32_t n);

// A finished search for a smoothing parameter: the h found, and the minimiser's workspace as
// the search left it (its bracketing triple and golden-section minimum).
struct SmoothingSearch {
    double h = 0;
    MinimiserWorkspace minimiser;
};

// h_CV: the minimiser of CV(h), searched from the pair (h_ref - 0.98 h_ref, h_ref / 2) by the
// bracketing and golden-section search with the CV settings (tolerance 0.01). The search
// starts from a copy of `start` (the fields it does not set, GoldenTol here, keep their value)
// and returns that copy as it left it. `weights` as for CalcCVScore. Fails as
// CheckSmoothingInput, or when the criterion has no minimum the search can find.
[[nodiscard]] StatusOr<SmoothingSearch> CalcCVh(const Matrix& xy, double h_ref, std::int32_t n,
                                                std::span<const double> weights,
                                                const MinimiserWorkspace& start,
                                                const RunControl& control = {});

// h_LSCV: the minimiser of LSCV(h), searched like h_CV with the LSCV settings (tolerance
// 0.001, left in GoldenTol). A negative minimum abscissa is replaced by its absolute value, in
// the returned workspace's GoldenXMin too.
[[nodiscard]] StatusOr<SmoothingSearch> CalcLSCVh(const Matrix& xy, double h_ref, std::int32_t n,
                                                  const MinimiserWorkspace& start,
                                                  const RunControl& control = {});

} // namespace ranvik
