#pragma once

#include "numerics/output_grid.h"
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

// How far a kernel reaches on a shared lattice, in its own smoothing parameters, on each axis.
// Cutting a circular normal at +-r h on both axes leaves out 1 - (1 - 2 Phi(-r))^2 < 4 Phi(-r)
// of its mass; at r = 6.5 that is below 1.6e-10, well under the 9 decimals a grid is saved with.
inline constexpr double kLatticeKernelReach = 6.5;

// A kernel density on the window of a shared lattice that its kernels reach (each kernel's
// box +-kLatticeKernelReach h_k around its location): with per-location parameters h_k
// (`local_h`, one per location) and weights w_k (`weights`, empty: all 1, W = n),
//   f(x, y) = sum_k w_k / (2 pi h_k^2 W) exp(-(x - x_k)^2 / 2 h_k^2) exp(-(y - y_k)^2 / 2 h_k^2),
// each term counted only inside its kernel's box, and the cell probability is f c^2. Each node
// adds its terms in location order, so the result does not depend on the threads. Rows
// k = column * rows + row hold x, y, probability and an unused column (x outer, y inner), then
// a spare row. Fails with a sentence for the user when the window is too large (WindowOver) or
// a probability is not a number; cancels when `control` asks to stop.
[[nodiscard]] StatusOr<Matrix> CalcKernelOnLattice(const Matrix& xy, std::int32_t n,
                                                   std::span<const double> local_h,
                                                   std::span<const double> weights,
                                                   const SharedLattice& lattice,
                                                   const RunControl& control = {});

// The local smoothing parameters h_i of the adaptive kernel for locations 0..n-1.
[[nodiscard]] std::vector<double> AdaptiveBandwidths(const Matrix& xy, std::int32_t n, double h,
                                                     bool parallel = true);

} // namespace ranvik
