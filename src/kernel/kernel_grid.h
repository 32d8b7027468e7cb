#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/state.h"
#include "state/status.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace ranvik {

// Fails with a sentence for the user unless h is a number greater than 0.
[[nodiscard]] Status CheckSmoothingParameter(double h);

// The smoothing parameter typed or shown in a box: the number its text reads as, which for a
// computed h is that h to 15 significant digits. Fails when the text is empty, not a number,
// or not greater than 0; `what` names the box in the message ("CVh", "User specified value").
[[nodiscard]] StatusOr<double> SmoothingParameterFromText(std::string_view text,
                                                          std::string_view what);

// Fixed kernel utilization distribution over the output grid of locations 0..n-1 of `xy`:
//   f(x, y) = sum_i w_i K_h(d_i^2) / sum_i w_i  with weights (BiasCorrected = 1, LocWeights),
//   f(x, y) = sum_i K_h(d_i^2) / n              without,
//   K_h(d^2) = exp(-d^2 / (2 h^2)) / (2 pi h^2),
// each node's sum in location order; the cell probability is f * dx * dy. On success fills
// GridFixedKernel, sets NumGridPts = 40000, SumWeights (the divisor) and DoneFixedKernel.
// On failure or cancel the record is unchanged.
[[nodiscard]] Status CalcFixedKernel(State& state, const Matrix& xy, std::int32_t n, double h,
                                     const RunControl& control = {});

// Adaptive kernel utilization distribution. Pilot densities p_i = sum_j K_h(d_ij^2) / n
// (location i included, no weights), their geometric mean g = 2.71828182845904^(sum ln p_i / n),
// local parameters h_i = h / sqrt(p_i / g), and f(x, y) = sum_j K_{h_j}(d_j^2) / n. On success
// fills GridAdKernel, sets NumGridPts = 40000 and DoneAdKernel; otherwise changes nothing.
[[nodiscard]] Status CalcAdKernel(State& state, const Matrix& xy, std::int32_t n, double h,
                                  const RunControl& control = {});

// The local smoothing parameters h_i of the adaptive kernel for locations 0..n-1.
[[nodiscard]] std::vector<double> AdaptiveBandwidths(const Matrix& xy, std::int32_t n, double h,
                                                     bool parallel = true);

} // namespace ranvik
