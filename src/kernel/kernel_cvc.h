#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"
#include "state/workspaces.h"

#include <cstdint>
#include <vector>

namespace ranvik {

// Which kernel a leave-one-out criterion is formed for.
enum class KernelKind { Fixed, Adaptive };

// A kernel's leave-one-out criterion, and the search for h_CV of its last pass (the one
// without the last location), which the chain of computations keeps readable afterwards.
struct KernelCVC {
    double cvc = 0;
    MinimiserWorkspace minimiser;
};

// The h_CV search without each location in turn: h_ref and the CV search made afresh without
// location i, from a cleared workspace. Both kernels' criteria rest on the same searches, so a
// comparison of both makes them once.
struct LeaveOneOutSearches {
    struct Pass {
        double h = 0.0;
        MinimiserWorkspace search;
        Status status; // why h could not be chosen without this location
    };
    std::vector<Pass> passes;
};

// The searches for locations 0..n-1 of `xy`, independent of each other and run in parallel;
// the progress text names `kernel`. Fails for n < 3; cancels when the control asks.
[[nodiscard]] StatusOr<LeaveOneOutSearches> SearchWithoutEach(const Matrix& xy, std::int32_t n,
                                                              KernelKind kernel,
                                                              const RunControl& control = {});

// Leave-one-out likelihood criterion of the fixed kernel, for comparing it with the parametric
// models:
//   CVC = -2 sum_i ln f_i,  f_i = sum_j K_{h_i}(d_ij^2) / m  over the m = n - 1 other
// locations, with h_i = h_CV of those m locations (h_ref and the CV search made afresh
// without location i, from a cleared workspace). Passes are independent and may run in
// parallel; the sum is formed in location order. Fails for n < 3, for a pass whose search
// fails, and for a location whose leave-one-out density is 0; cancels when the control asks.
// `searches`, when given, are those of SearchWithoutEach on the same locations.
[[nodiscard]] StatusOr<KernelCVC> FixedKernelCVC(const Matrix& xy, std::int32_t n,
                                                 const RunControl& control = {},
                                                 const LeaveOneOutSearches* searches = nullptr);

// The same for the adaptive kernel: f_i is the adaptive kernel density at location i built
// from the m other locations with h = h_i, their pilot densities and local parameters.
[[nodiscard]] StatusOr<KernelCVC> AdKernelCVC(const Matrix& xy, std::int32_t n,
                                              const RunControl& control = {},
                                              const LeaveOneOutSearches* searches = nullptr);

} // namespace ranvik
