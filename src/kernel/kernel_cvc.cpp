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

Status TooFew(std::int32_t n) {
    return Status::Failure("The kernel CVC needs at least 3 locations; " + std::to_string(n) +
                           (n == 1 ? " is" : " are") + " loaded.");
}

LeaveOneOutSearches::Pass SearchWithout(const Matrix& xy, std::int32_t n, std::int32_t i) {
    LeaveOneOutSearches::Pass pass;
    const std::int32_t m = n - 1;
    const Matrix work = WithoutLocation(xy, n, i);
    const double h_ref = CalcHref(work, m);
    const RunControl inner{{}, false};
    auto h = CalcCVh(work, h_ref, m, {}, MinimiserWorkspace{}, inner);
    if (!h.Ok()) {
        pass.status =
            Status::Failure("Without location " + std::to_string(i + 1) +
                            " the CV smoothing parameter cannot be chosen: " + h.status.error);
        return pass;
    }
    pass.h = h.value.h;
    pass.search = std::move(h.value.minimiser);
    return pass;
}

std::string PassesText(KernelKind kernel, std::int32_t n, std::int64_t finished) {
    return std::string("Leave-one-out fits, ") +
           (kernel == KernelKind::Fixed ? "fixed" : "adaptive") +
           " kernel: " + std::to_string(finished) + " of " + std::to_string(n);
}

StatusOr<KernelCVC> LeaveOneOutCVC(const Matrix& xy, std::int32_t n, KernelKind kernel,
                                   const RunControl& control, const LeaveOneOutSearches* shared) {
    if (n < 3) {
        return TooFew(n);
    }
    LeaveOneOutSearches own;
    if (shared == nullptr) {
        auto searched = SearchWithoutEach(xy, n, kernel, control.Share(0.0, 0.9));
        if (!searched.Ok()) {
            return searched.status;
        }
        own = std::move(searched.value);
        shared = &own;
    }
    // Each location's density under the kernel rebuilt without it, at its own h_CV.
    std::vector<double> density(static_cast<std::size_t>(n), 0.0);
    const LoopReport report{1, 1,
                            [&](std::int64_t finished) { return PassesText(kernel, n, finished); }};
    const RunControl rest = shared == &own ? control.Share(0.9, 1.0) : control;
    const bool finished = ParallelFor(n, rest, report, [&](std::int64_t k) {
        const auto i = static_cast<std::size_t>(k);
        const LeaveOneOutSearches::Pass& pass = shared->passes[i];
        if (!pass.status.Ok()) {
            return;
        }
        const std::int32_t m = n - 1;
        const Matrix work = WithoutLocation(xy, n, static_cast<std::int32_t>(k));
        const double x = xy(static_cast<std::int32_t>(k), 0);
        const double y = xy(static_cast<std::int32_t>(k), 1);
        density[i] = kernel == KernelKind::Fixed ? FixedDensity(x, y, work, m, pass.h)
                                                 : AdaptiveDensity(x, y, work, m, pass.h);
    });
    if (!finished) {
        return Status::Cancelled();
    }
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const auto& pass = shared->passes[static_cast<std::size_t>(i)];
        if (!pass.status.Ok()) {
            return pass.status;
        }
        const double f = density[static_cast<std::size_t>(i)];
        if (!(f > 0)) {
            return Status::Failure(
                "Location " + std::to_string(i + 1) + " (x = " + FormatNumber(xy(i, 0)) +
                ", y = " + FormatNumber(xy(i, 1)) +
                ") is so far from all the others that its leave-one-out density is 0, so the "
                "CVC is infinite. Check that location for a typing error.");
        }
        sum += std::log(f);
    }
    return KernelCVC{-2 * sum, shared->passes.back().search};
}

} // namespace

StatusOr<LeaveOneOutSearches> SearchWithoutEach(const Matrix& xy, std::int32_t n, KernelKind kernel,
                                                const RunControl& control) {
    if (n < 3) {
        return TooFew(n);
    }
    LeaveOneOutSearches searches;
    searches.passes.resize(static_cast<std::size_t>(n));
    const LoopReport report{1, 1,
                            [&](std::int64_t finished) { return PassesText(kernel, n, finished); }};
    const bool finished = ParallelFor(n, control, report, [&](std::int64_t i) {
        searches.passes[static_cast<std::size_t>(i)] =
            SearchWithout(xy, n, static_cast<std::int32_t>(i));
    });
    if (!finished) {
        return Status::Cancelled();
    }
    return searches;
}

StatusOr<KernelCVC> FixedKernelCVC(const Matrix& xy, std::int32_t n, const RunControl& control,
                                   const LeaveOneOutSearches* searches) {
    return LeaveOneOutCVC(xy, n, KernelKind::Fixed, control, searches);
}

StatusOr<KernelCVC> AdKernelCVC(const Matrix& xy, std::int32_t n, const RunControl& control,
                                const LeaveOneOutSearches* searches) {
    return LeaveOneOutCVC(xy, n, KernelKind::Adaptive, control, searches);
}

} // namespace ranvik
