#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ranvik {

// The fixed kernel, by the name its results are kept and asked for under.
inline constexpr std::string_view kFixedKernelName = "fixed-kernel";
// The adaptive kernel, by the name its results are kept and asked for under.
inline constexpr std::string_view kAdaptiveKernelName = "adaptive-kernel";

// Fails with a sentence for the user unless h is a number greater than 0.
[[nodiscard]] Status CheckSmoothingParameter(double h);

// The smoothing parameter typed or shown in a box: the number its text reads as, which for a
// computed h is that h to 15 significant digits. Fails when the text is empty, not a number,
// or not greater than 0; `what` names the box in the message ("CVh", "User specified value").
[[nodiscard]] StatusOr<double> SmoothingParameterFromText(std::string_view text,
                                                          std::string_view what);

// A fixed kernel grid and the divisor its densities were formed with.
struct KernelGrid {
    Matrix grid; // one row per node and a spare one; columns x, y, probability, unused
    double sum_weights = 0;
};

// Fixed kernel utilization distribution over the output grid of locations 0..n-1 of `xy`:
//   f(x, y) = sum_i w_i K_h(d_i^2) / sum_i w_i  with location weights w_i (`weights`),
//   f(x, y) = sum_i K_h(d_i^2) / n              when `weights` is empty,
//   K_h(d^2) = exp(-d^2 / (2 h^2)) / (2 pi h^2),
// each node's sum in location order; the cell probability is f * dx * dy. Returns the grid
// and the divisor (sum_i w_i, or n). Fails for an h that is not a usable positive number, too
// few or collinear locations, weights that do not cover every location or add up to 0, or a
// probability that is not a number; cancels when the control asks to stop.
[[nodiscard]] StatusOr<KernelGrid> CalcFixedKernel(const Matrix& xy, std::int32_t n, double h,
                                                   std::span<const double> weights,
                                                   const RunControl& control = {});

// Adaptive kernel utilization distribution. Pilot densities p_i = sum_j K_h(d_ij^2) / n
// (location i included, no weights), their geometric mean g = 2.71828182845904^(sum ln p_i / n),
// local parameters h_i = h / sqrt(p_i / g), and f(x, y) = sum_j K_{h_j}(d_j^2) / n. Returns
// the grid; fails and cancels as CalcFixedKernel.
[[nodiscard]] StatusOr<Matrix> CalcAdKernel(const Matrix& xy, std::int32_t n, double h,
                                            const RunControl& control = {});

// The local smoothing parameters h_i of the adaptive kernel for locations 0..n-1.
[[nodiscard]] std::vector<double> AdaptiveBandwidths(const Matrix& xy, std::int32_t n, double h,
                                                     bool parallel = true);

} // namespace ranvik
