#include "output/lattice_densities.h"

#include "kernel/kernel_grid.h"
#include "models/objective.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ranvik {
namespace {

// The mass of an exponential power density beyond u = (r / a)^(2 / s) = kExpPowerTail is below
// exp(-kExpPowerTail) < 1.1e-10, as a kernel's beyond kLatticeKernelReach.
constexpr double kExpPowerTail = 23.0;

double MinorSpread(const BVNEstimate& e) {
    const double a = e.sigma_x * e.sigma_x;
    const double b = e.rho * e.sigma_x * e.sigma_y;
    const double c = e.sigma_y * e.sigma_y;
    const double half_gap = std::sqrt((a - c) * (a - c) / 4 + b * b);
    return std::sqrt(std::max((a + c) / 2 - half_gap, 0.0));
}

} // namespace

FittedDensity NormalFitted(const BVNEstimate& e) {
    const NormalMode mode(e.mean_x, e.mean_y, e.sigma_x, e.sigma_y, e.rho);
    const double rx = kLatticeKernelReach * e.sigma_x;
    const double ry = kLatticeKernelReach * e.sigma_y;
    return {[mode](double x, double y) { return mode.Density(x, y); },
            e.mean_x - rx,
            e.mean_x + rx,
            e.mean_y - ry,
            e.mean_y + ry,
            MinorSpread(e)};
}

FittedDensity MixtureFitted(const BVNEstimate& first, const BVNEstimate& second, double p) {
    const FittedDensity one = NormalFitted(first);
    const FittedDensity two = NormalFitted(second);
    const NormalMode f1(first.mean_x, first.mean_y, first.sigma_x, first.sigma_y, first.rho);
    const NormalMode f2(second.mean_x, second.mean_y, second.sigma_x, second.sigma_y, second.rho);
    return {[f1, f2, p](double x, double y) { return MixtureDensity(f1, f2, p, x, y); },
            std::min(one.xmin, two.xmin),
            std::max(one.xmax, two.xmax),
            std::min(one.ymin, two.ymin),
            std::max(one.ymax, two.ymax),
            std::min(one.spread, two.spread)};
}

FittedDensity ExpPowerFitted(double cx, double cy, double a, double s) {
    const double gamma_s = LanczosGamma(s);
    const double reach = a * std::pow(kExpPowerTail, s / 2);
    return {[=](double x, double y) {
                const double dx = x - cx;
                const double dy = y - cy;
                return ExpPowerDensity(std::sqrt(dx * dx + dy * dy), a, s, gamma_s);
            },
            cx - reach,
            cx + reach,
            cy - reach,
            cy + reach,
            a * s / 2};
}

StatusOr<Matrix> FittedOnLattice(const FittedDensity& fitted, const SharedLattice& lattice,
                                 const RunControl& control) {
    return DensityOnLattice(lattice, fitted.xmin, fitted.xmax, fitted.ymin, fitted.ymax,
                            fitted.density, control);
}

BridgeSpan SpanOfBridges(const Matrix& fixes, std::int32_t n, double max_time,
                         const SegmentVariance& variance) {
    BridgeSpan span;
    std::vector<double> durations;
    for (std::int32_t k = 0; k + 1 < n; ++k) {
        const double duration = fixes(k + 1, 2) - fixes(k, 2);
        const std::optional<double> v = variance(k);
        if (!(duration > 0 && duration <= max_time) || !v) {
            continue;
        }
        span.least_variance = durations.empty() ? *v : std::min(span.least_variance, *v);
        span.most_variance = std::max(span.most_variance, *v);
        span.longest = std::max(span.longest, duration);
        durations.push_back(duration);
    }
    for (std::int32_t k = 0; k < n; ++k) {
        const double error = fixes(k, 3);
        span.most_error = std::max(span.most_error, error);
        if (error > 0) {
            span.least_error = span.least_error > 0 ? std::min(span.least_error, error) : error;
        }
    }
    span.segments = static_cast<std::int32_t>(durations.size());
    if (!durations.empty()) {
        const auto middle = durations.begin() + static_cast<std::ptrdiff_t>(durations.size() / 2);
        std::nth_element(durations.begin(), middle, durations.end());
        span.median_duration = *middle;
    }
    return span;
}

StatusOr<double> BridgeSpread(const BridgeSpan& span) {
    if (span.segments == 0) {
        return Status::Failure("No pair of successive fixes is within the maximum time, so the "
                               "bridges cannot be put on a shared lattice.");
    }
    const double middle = std::sqrt(span.least_variance * span.median_duration / 4);
    double spread = middle > 0 ? middle : span.least_error;
    if (span.least_error > 0) {
        spread = std::min(spread, span.least_error);
    }
    if (!(spread > 0 && std::isfinite(spread))) {
        return Status::Failure("The bridges have no spread (no motion variance and no location "
                               "error), so no lattice cell can be chosen for them.");
    }
    return spread;
}

BridgeGridSpec BridgeReach(const Matrix& fixes, std::int32_t n, const BridgeSpan& span) {
    BridgeGridSpec box;
    if (n < 1) {
        return box;
    }
    box.min_x = box.max_x = fixes(0, 0);
    box.min_y = box.max_y = fixes(0, 1);
    for (std::int32_t k = 1; k < n; ++k) {
        box.min_x = std::min(box.min_x, fixes(k, 0));
        box.max_x = std::max(box.max_x, fixes(k, 0));
        box.min_y = std::min(box.min_y, fixes(k, 1));
        box.max_y = std::max(box.max_y, fixes(k, 1));
    }
    const double reach = kLatticeKernelReach * std::sqrt(span.most_variance * span.longest / 4 +
                                                         span.most_error * span.most_error);
    box.min_x -= reach;
    box.max_x += reach;
    box.min_y -= reach;
    box.max_y += reach;
    return box;
}

StatusOr<LatticeBridgeSpec> BridgeSpecOnLattice(const SharedLattice& lattice,
                                                const BridgeGridSpec& extent) {
    const auto window = WindowOver(lattice, extent.min_x, extent.max_x, extent.min_y, extent.max_y);
    if (!window.Ok()) {
        return window.status;
    }
    const LatticeWindow& w = window.value;
    const double half = lattice.cell / 2;
    return LatticeBridgeSpec{w,
                             {w.X(lattice, 0), w.X(lattice, w.columns - 1) + half, w.Y(lattice, 0),
                              w.Y(lattice, w.rows - 1) + half, lattice.cell}};
}

Status OnLatticeNodes(Matrix& grid, const SharedLattice& lattice, const LatticeWindow& window) {
    if (grid.Rows() != window.columns * window.rows + 1) {
        return Status::Failure("The bridge grid does not fill its window of the shared lattice.");
    }
    for (std::int32_t i = 0; i < window.columns; ++i) {
        const double x = window.X(lattice, i);
        for (std::int32_t j = 0; j < window.rows; ++j) {
            grid(i * window.rows + j, 0) = x;
            grid(i * window.rows + j, 1) = window.Y(lattice, j);
        }
    }
    return {};
}

} // namespace ranvik
