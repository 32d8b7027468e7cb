#include "kernel/kernel_grid.h"

#include "kernel/kernel_sums.h"
#include "kernel/lattice_sums.h"
#include "kernel/neighbour_sums.h"
#include "numerics/output_grid.h"
#include "state/constants.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

// e, the base of the adaptive kernel's geometric mean, to the 15 digits it has always had.
constexpr double kE15 = 2.71828182845904;

// Lays out the grid and checks the data common to both kernels.
StatusOr<GridLayout> PrepareGrid(const Matrix& xy, std::int32_t n, double h) {
    StatusOr<GridLayout> result;
    result.status = CheckSmoothingParameter(h);
    if (!result.Ok()) {
        return result;
    }
    if (result.status = CheckCount(xy, n, "locations"); !result.Ok()) {
        return result;
    }
    if (n < 1) {
        result.status = CheckGridExtent({}, n);
        return result;
    }
    result.value = LayOutGrid(xy, n);
    result.status = CheckGridExtent(result.value, n);
    return result;
}

// A grid whose probabilities are not all numbers cannot be a home range; it happens when the
// smoothing parameter is extreme for the scale of the coordinates.
Status CheckProbabilities(const Matrix& grid, std::int32_t count = kGridNodes) {
    for (std::int32_t k = 0; k < count; ++k) {
        if (!std::isfinite(grid(k, 2))) {
            return Status::Failure("The kernel could not be computed with this smoothing "
                                   "parameter: it is too small or too large for the distances "
                                   "between the locations.");
        }
    }
    return {};
}

// The grid of a kernel density (its node sums divided by `divisor`), refused when any
// probability is not a number.
StatusOr<Matrix> LatticeGrid(const GridLayout& layout, const Points& points,
                             const std::vector<double>& scale, const std::vector<double>& factor,
                             double divisor, const RunControl& control) {
    auto sums = LatticeKernelSums(layout, points, scale, factor, control);
    if (!sums.Ok()) {
        return sums.status;
    }
    for (double& sum : sums.value) {
        sum = sum / divisor;
    }
    StatusOr<Matrix> grid = GridOfNodeDensities(layout, sums.value);
    grid.status = CheckProbabilities(grid.value);
    return grid;
}

// One kernel's factors on a lattice window: its first column and row and the separable factors
// exp(-(x_i - x_k)^2 / 2h^2) (times the kernel's weight) and exp(-(y_j - y_k)^2 / 2h^2) over
// the columns and rows its box covers.
struct KernelFactors {
    std::int32_t i_first = 0, j_first = 0;
    std::vector<double> x, y;
};

KernelFactors FactorsOf(double xk, double yk, double h, double factor, const SharedLattice& lattice,
                        const LatticeWindow& window) {
    KernelFactors f;
    const double reach = kLatticeKernelReach * h;
    const double two_h2 = 2 * (h * h);
    const auto axis = [&](double centre, std::int64_t first, std::int32_t count, double origin,
                          std::int32_t& at, std::vector<double>& values, double scale) {
        const double c = lattice.cell;
        const auto lo = static_cast<std::int64_t>(std::ceil((centre - reach - origin) / c));
        const auto hi = static_cast<std::int64_t>(std::floor((centre + reach - origin) / c));
        const std::int64_t from = std::max(lo, first);
        const std::int64_t to = std::min(hi, first + count - 1);
        at = static_cast<std::int32_t>(from - first);
        for (std::int64_t i = from; i <= to; ++i) {
            const double d = origin + static_cast<double>(i) * c - centre;
            values.push_back(scale * std::exp(-(d * d) / two_h2));
        }
    };
    axis(xk, window.i0, window.columns, lattice.x0, f.i_first, f.x, factor);
    axis(yk, window.j0, window.rows, lattice.y0, f.j_first, f.y, 1.0);
    return f;
}

} // namespace

StatusOr<Matrix> CalcKernelOnLattice(const Matrix& xy, std::int32_t n,
                                     std::span<const double> local_h,
                                     std::span<const double> weights, const SharedLattice& lattice,
                                     const RunControl& control) {
    if (n < 1 || local_h.size() < static_cast<std::size_t>(n) ||
        (!weights.empty() && weights.size() < static_cast<std::size_t>(n))) {
        return Status::Failure("There is no smoothing parameter or weight for every location.");
    }
    const Points loc = PointsOf(xy, n);
    double xmin = loc.x[0], xmax = xmin, ymin = loc.y[0], ymax = ymin;
    double sum_weights = weights.empty() ? n : 0.0;
    for (std::size_t k = 0; k < loc.size(); ++k) {
        if (Status valid = CheckSmoothingParameter(local_h[k]); !valid.Ok()) {
            return valid;
        }
        const double reach = kLatticeKernelReach * local_h[k];
        xmin = std::min(xmin, loc.x[k] - reach);
        xmax = std::max(xmax, loc.x[k] + reach);
        ymin = std::min(ymin, loc.y[k] - reach);
        ymax = std::max(ymax, loc.y[k] + reach);
        sum_weights += weights.empty() ? 0.0 : weights[k];
    }
    if (sum_weights == 0.0) {
        return Status::Failure("The location weights add up to 0, so a weighted kernel "
                               "cannot be computed.");
    }
    const auto window = WindowOver(lattice, xmin, xmax, ymin, ymax);
    if (!window.Ok()) {
        return window.status;
    }
    const LatticeWindow& w = window.value;
    std::vector<KernelFactors> kernels(loc.size());
    for (std::size_t k = 0; k < loc.size(); ++k) {
        const double h = local_h[k];
        const double weight = weights.empty() ? 1.0 : weights[k];
        kernels[k] = FactorsOf(loc.x[k], loc.y[k], h, weight / (2 * kPi * (h * h) * sum_weights),
                               lattice, w);
    }
    const auto rows = static_cast<std::size_t>(w.rows);
    const double area = lattice.cell * lattice.cell;
    StatusOr<Matrix> result;
    Matrix& grid = result.value;
    grid.Resize(w.columns * w.rows + 1, 4);
    // A column at a time: each node adds its kernels in location order whichever thread runs it.
#pragma omp parallel for schedule(dynamic, 4) if (control.parallel)
    for (std::int32_t i = 0; i < w.columns; ++i) {
        std::vector<double> column(rows, 0.0);
        for (const KernelFactors& f : kernels) {
            const std::int32_t at = i - f.i_first;
            if (at < 0 || at >= static_cast<std::int32_t>(f.x.size())) {
                continue;
            }
            const double xf = f.x[static_cast<std::size_t>(at)];
            const auto j0 = static_cast<std::size_t>(f.j_first);
            for (std::size_t j = 0; j < f.y.size(); ++j) {
                column[j0 + j] += xf * f.y[j];
            }
        }
        for (std::int32_t j = 0; j < w.rows; ++j) {
            const std::int32_t k = i * w.rows + j;
            grid(k, 0) = w.X(lattice, i);
            grid(k, 1) = w.Y(lattice, j);
            grid(k, 2) = column[static_cast<std::size_t>(j)] * area;
        }
    }
    if (!control.Report(1.0)) {
        return Status::Cancelled();
    }
    result.status = CheckProbabilities(grid, w.columns * w.rows);
    return result;
}

Status CheckSmoothingParameter(double h) {
    // h^2 must neither vanish nor overflow, or every density becomes 0 / 0.
    const double norm = 2 * kPi * (h * h);
    if (std::isfinite(h) && h > 0 && norm > 0 && std::isfinite(norm)) {
        return {};
    }
    return Status::Failure("The smoothing parameter h must be a number greater than 0; it is " +
                           FormatNumber(h) + ".");
}

StatusOr<double> SmoothingParameterFromText(std::string_view text, std::string_view what) {
    StatusOr<double> result;
    const auto value = ParseNumber(text);
    if (!value) {
        return Status::Failure("The " + std::string(what) +
                               " box must hold a number for the smoothing parameter.");
    }
    result.value = *value;
    if (*value <= 0) {
        result.status = Status::Failure("The smoothing parameter in the " + std::string(what) +
                                        " box must be greater than 0.");
    }
    return result;
}

StatusOr<KernelGrid> CalcFixedKernel(const Matrix& xy, std::int32_t n, double h,
                                     std::span<const double> weights, const RunControl& control) {
    const auto layout = PrepareGrid(xy, n, h);
    if (!layout.Ok()) {
        return layout.status;
    }
    const bool weighted = !weights.empty();
    double sum_weights = n;
    if (weighted && weights.size() < static_cast<std::size_t>(n)) {
        return Status::Failure("There is no weight for every location; load the locations "
                               "file with its probability column again.");
    }
    if (weighted) {
        sum_weights = 0.0;
        for (std::int32_t i = 0; i < n; ++i) {
            sum_weights += weights[static_cast<std::size_t>(i)];
        }
        if (sum_weights == 0.0) {
            return Status::Failure("The location weights add up to 0, so a weighted kernel "
                                   "cannot be computed.");
        }
    }

    const Points loc = PointsOf(xy, n);
    const double two_h2 = 2 * (h * h);
    const double norm = 2 * kPi * (h * h);
    // Each term exp(-d^2 / 2h^2) w / (2 pi h^2), formed from the two coordinates' factors.
    std::vector<double> factor(static_cast<std::size_t>(n));
    for (std::size_t k = 0; k < factor.size(); ++k) {
        factor[k] = weighted ? weights[k] / norm : 1 / norm;
    }
    auto grid = LatticeGrid(layout.value, loc, std::vector<double>(factor.size(), two_h2), factor,
                            sum_weights, control);
    if (!grid.Ok()) {
        return grid.status;
    }
    return KernelGrid{std::move(grid.value), sum_weights};
}

std::vector<double> AdaptiveBandwidths(const Matrix& xy, std::int32_t n, double h, bool parallel) {
    const Points loc = PointsOf(xy, n);
    const double two_h2 = 2 * (h * h);
    const double norm = 2 * kPi * (h * h);
    std::vector<double> pilot(static_cast<std::size_t>(n));
    if (auto near = NearKernelRowSums(loc, two_h2, 1 / norm, parallel)) {
        for (std::size_t a = 0; a < pilot.size(); ++a) {
            pilot[a] = (*near)[a] / n;
        }
    } else {
#pragma omp parallel for schedule(dynamic, 16) if (parallel && n >= 256)
        for (std::int32_t i = 0; i < n; ++i) {
            const auto a = static_cast<std::size_t>(i);
            pilot[a] = FixedKernelSum(loc.x[a], loc.y[a], loc, nullptr, two_h2, norm) / n;
        }
    }
    double log_sum = 0.0;
    for (const double p : pilot) {
        log_sum += std::log(p);
    }
    const double g = std::pow(kE15, log_sum / n);
    std::vector<double> local(pilot.size());
    for (std::size_t i = 0; i < pilot.size(); ++i) {
        const double lambda = 1 / std::sqrt(pilot[i] / g);
        local[i] = h * lambda;
    }
    return local;
}

StatusOr<Matrix> CalcAdKernel(const Matrix& xy, std::int32_t n, double h,
                              const RunControl& control) {
    const auto layout = PrepareGrid(xy, n, h);
    if (!layout.Ok()) {
        return layout.status;
    }
    const Points loc = PointsOf(xy, n);
    const AdaptiveScales scales = ScalesOf(AdaptiveBandwidths(xy, n, h, control.parallel));
    std::vector<double> factor(scales.norm.size());
    for (std::size_t k = 0; k < factor.size(); ++k) {
        factor[k] = 1 / scales.norm[k];
    }
    return LatticeGrid(layout.value, loc, scales.two_h2, factor, n, control);
}

} // namespace ranvik
