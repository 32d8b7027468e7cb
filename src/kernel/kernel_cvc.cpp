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

enum class Kernel { Fixed, Adaptive };

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

Pass LeaveOut(const Matrix& xy, std::int32_t n, std::int32_t i, Kernel kernel) {
    Pass pass;
    const std::int32_t m = n - 1;
    const Matrix work = WithoutLocation(xy, n, i);
    const double h_ref = CalcHref(work, m);
    const RunControl inner{{}, false};
    const auto h = CalcCVh(work, h_ref, m, {}, pass.search, inner);
    if (!h.Ok()) {
        pass.status =
            Status::Failure("Without location " + std::to_string(i + 1) +
                            " the CV smoothing parameter cannot be chosen: " + h.status.error);
        return pass;
    }
    const double x = xy(i, 0);
    const double y = xy(i, 1);
    pass.density = kernel == Kernel::Fixed ? FixedDensity(x, y, work, m, h.value)
                                           : AdaptiveDensity(x, y, work, m, h.value);
    if (!(pass.density > 0)) {
        pass.status = Status::Failure(
            "Location " + std::to_string(i + 1) + " (x = " + FormatNumber(x) +
            ", y = " + FormatNumber(y) +
            ") is so far from all the others that its leave-one-out density is 0, so the "
            "CVC is infinite. Check that location for a typing error.");
    }
    return pass;
}

StatusOr<double> KernelCVC(State& state, const Matrix& xy, std::int32_t n, Kernel kernel,
                           const RunControl& control) {
    StatusOr<double> result;
    if (n < 3) {
        result.status = Status::Failure("The kernel CVC needs at least 3 locations; " +
                                        std::to_string(n) + (n == 1 ? " is" : " are") + " loaded.");
        return result;
    }
    std::vector<Pass> passes(static_cast<std::size_t>(n));
    const LoopReport report{1, 1, [&](std::int64_t finished) {
                                return std::string("Leave-one-out fits, ") +
                                       (kernel == Kernel::Fixed ? "fixed" : "adaptive") +
                                       " kernel: " + std::to_string(finished) + " of " +
                                       std::to_string(n);
                            }};
    const bool finished = ParallelFor(n, control, report, [&](std::int64_t i) {
        passes[static_cast<std::size_t>(i)] = LeaveOut(xy, n, static_cast<std::int32_t>(i), kernel);
    });
    if (!finished) {
        result.status = Status::Cancelled();
        return result;
    }
    double sum = 0.0;
    for (const Pass& pass : passes) {
        if (!pass.status.Ok()) {
            result.status = pass.status;
            return result;
        }
        sum += std::log(pass.density);
    }
    state.Minimiser = passes.back().search;
    result.value = -2 * sum;
    return result;
}

} // namespace

Status FixedKernelCVC(State& state, const Matrix& xy, std::int32_t n, const RunControl& control) {
    const auto cvc = KernelCVC(state, xy, n, Kernel::Fixed, control);
    if (cvc.Ok()) {
        state.CVCFixedKernel = cvc.value;
    }
    return cvc.status;
}

Status AdKernelCVC(State& state, const Matrix& xy, std::int32_t n, const RunControl& control) {
    const auto cvc = KernelCVC(state, xy, n, Kernel::Adaptive, control);
    if (cvc.Ok()) {
        state.CVCAdKernel = cvc.value;
    }
    return cvc.status;
}

} // namespace ranvik
