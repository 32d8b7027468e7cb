#include "kernel/kernel_cvc.h"

#include "kernel/kernel_grid.h"
#include "kernel/kernel_sums.h"
#include "kernel/smoothing.h"
#include "numerics/leave_one_out.h"
#include "numerics/parallel_for.h"
#include "state/constants.h"
#include "state/number_text.h"

#include <cmath>
#include <string>
#include <vector>

namespace ranvik {
namespace {

// Density at (x, y) of the fixed kernel with parameter h over the m rows of `work`.
double FixedDensity(double x, double y, const Matrix& work, std::int32_t m, double h) {
    const double two_h2 = 2 * (h * h);
    const double norm = 2 * kPi * (h * h);
    return FixedKernelSum(x, y, PointsOf(work, m), nullptr, two_h2, norm) / m;
}

// Density at (x, y) of the adaptive kernel with parameter h over the m rows of `work`.
double AdaptiveDensity(double x, double y, const Matrix& work, std::int32_t m, double h) {
    const AdaptiveScales scales = ScalesOf(AdaptiveBandwidths(work, m, h, false));
    return AdaptiveKernelSum(x, y, PointsOf(work, m), scales.two_h2, scales.norm) / m;
}

// One leave-one-out pass: the density at location i of the kernel rebuilt without it.
struct Pass {
    double density = 0.0;
    MinimiserWorkspace search;
    Status status;
};

Pass LeaveOut(const Matrix& xy, std::int32_t n, std::int32_t i, KernelKind kernel) {
    Pass pass;
    const std::int32_t m = n - 1;
    const Matrix work = WithoutLocation(xy, n, i);
    const double h_ref = CalcHref(work, m);
    const RunControl inner{{}, false};
    const auto h = CalcCVh(work, h_ref, m, {}, MinimiserWorkspace{}, inner);
    if (!h.Ok()) {
        pass.status =
            Status::Failure("Without location " + std::to_string(i + 1) +
                            " the CV smoothing parameter cannot be chosen: " + h.status.error);
        return pass;
    }
    pass.search = h.value.minimiser;
    const double x = xy(i, 0);
    const double y = xy(i, 1);
    pass.density = kernel == KernelKind::Fixed ? FixedDensity(x, y, work, m, h.value.h)
                                               : AdaptiveDensity(x, y, work, m, h.value.h);
    if (!(pass.density > 0)) {
        pass.status = Status::Failure(
            "Location " + std::to_string(i + 1) + " (x = " + FormatNumber(x) +
            ", y = " + FormatNumber(y) +
            ") is so far from all the others that its leave-one-out density is 0, so the "
            "CVC is infinite. Check that location for a typing error.");
    }
    return pass;
}

StatusOr<KernelCVC> LeaveOneOutCVC(const Matrix& xy, std::int32_t n, KernelKind kernel,
                                   const RunControl& control) {
    if (n < 3) {
        return Status::Failure("The kernel CVC needs at least 3 locations; " + std::to_string(n) +
                               (n == 1 ? " is" : " are") + " loaded.");
    }
    std::vector<Pass> passes(static_cast<std::size_t>(n));
    const LoopReport report{1, 1, [&](std::int64_t finished) {
                                return std::string("Leave-one-out fits, ") +
                                       (kernel == KernelKind::Fixed ? "fixed" : "adaptive") +
                                       " kernel: " + std::to_string(finished) + " of " +
                                       std::to_string(n);
                            }};
    const bool finished = ParallelFor(n, control, report, [&](std::int64_t i) {
        passes[static_cast<std::size_t>(i)] = LeaveOut(xy, n, static_cast<std::int32_t>(i), kernel);
    });
    if (!finished) {
        return Status::Cancelled();
    }
    double sum = 0.0;
    for (const Pass& pass : passes) {
        if (!pass.status.Ok()) {
            return pass.status;
        }
        sum += std::log(pass.density);
    }
    return KernelCVC{-2 * sum, passes.back().search};
}

} // namespace

StatusOr<KernelCVC> FixedKernelCVC(const Matrix& xy, std::int32_t n, const RunControl& control) {
    return LeaveOneOutCVC(xy, n, KernelKind::Fixed, control);
}

StatusOr<KernelCVC> AdKernelCVC(const Matrix& xy, std::int32_t n, const RunControl& control) {
    return LeaveOneOutCVC(xy, n, KernelKind::Adaptive, control);
}

} // namespace ranvik
