#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/state.h"
#include "state/status.h"

#include <cstdint>

namespace ranvik {

// Leave-one-out likelihood criterion of the fixed kernel, for comparing it with the parametric
// models:
//   CVC = -2 sum_i ln f_i,  f_i = sum_j K_{h_i}(d_ij^2) / m  over the m = n - 1 other
// locations, with h_i = h_CV of those m locations (h_ref and the CV search made afresh
// without location i). Passes are independent and may run in parallel; the sum is formed in
// location order. Needs n >= 3. On success sets CVCFixedKernel and leaves the last pass's
// search in state.Minimiser; on failure or cancel changes nothing.
[[nodiscard]] Status FixedKernelCVC(State& state, const Matrix& xy, std::int32_t n,
                                    const RunControl& control = {});

// The same for the adaptive kernel: f_i is the adaptive kernel density at location i built
// from the m other locations with h = h_i, their pilot densities and local parameters. Sets
// CVCAdKernel.
[[nodiscard]] Status AdKernelCVC(State& state, const Matrix& xy, std::int32_t n,
                                 const RunControl& control = {});

} // namespace ranvik
