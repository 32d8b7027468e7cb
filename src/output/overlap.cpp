#include "output/overlap.h"

#include "numerics/parallel_for.h"
#include "output/home_range_levels.h"
#include "output/raster_export.h"

#include <algorithm>
#include <cmath>

namespace ranvik {
namespace {

// How far a grid's spacing and centres may sit from the lattice's, in cells: the centres of a
// window are formed by repeated addition, which drifts by a few ulp per step, far below this.
constexpr double kLatticeTolerance = 1e-6;

// Adds nonnegative terms with Neumaier's compensation: the rounding error of each addition is
// carried separately and added back at the end.
class CompensatedSum {
public:
    void Add(double x) {
        const double t = sum_ + x;
        carry_ += std::abs(sum_) >= std::abs(x) ? (sum_ - t) + x : (x - t) + sum_;
        sum_ = t;
    }
    [[nodiscard]] double Value() const { return sum_ + carry_; }

private:
    double sum_ = 0.0;
    double carry_ = 0.0;
};

// The lattice index of coordinate `v` and whether it lies on a node.
bool OnNode(double v, double origin, double cell, std::int64_t& index) {
    const double at = (v - origin) / cell;
    const double nearest = std::round(at);
    index = static_cast<std::int64_t>(nearest);
    return std::abs(at - nearest) <= kLatticeTolerance;
}

Status NotOnLattice() {
    return Status::Failure("The grid's cells are not cells of the shared lattice, so its overlap "
                           "with other grids cannot be computed.");
}

} // namespace

StatusOr<OverlapGrid> MakeOverlapGrid(const Matrix& grid, std::int32_t count,
                                      const SharedLattice& lattice, double percent) {
    if (!(percent > 0 && percent <= 1)) {
        return Status::Failure("An overlap level must lie between 0 and 100 %.");
    }
    const auto shape = LatticeOf(grid, count);
    if (!shape.Ok()) {
        return shape.status;
    }
    const GridLattice& g = shape.value;
    const double c = lattice.cell;
    StatusOr<OverlapGrid> result;
    OverlapGrid& out = result.value;
    out.percent = percent;
    if (std::abs(g.dx - c) > kLatticeTolerance * c || std::abs(g.dy - c) > kLatticeTolerance * c ||
        !OnNode(g.x0, lattice.x0, c, out.window.i0) ||
        !OnNode(g.y0, lattice.y0, c, out.window.j0)) {
        return NotOnLattice();
    }
    out.window.columns = g.columns;
    out.window.rows = g.rows;

    const VolumeLevels levels = CalcVolumeLevels(grid, count);
    const bool whole = percent == 1.0;
    if (!whole) {
        // Fails when the most probable cell alone holds more than the level.
        const auto area = CalcHomeRangeArea(grid, count, levels, c, c, percent);
        if (!area.Ok()) {
            return area.status;
        }
    }
    const auto n = static_cast<std::size_t>(count);
    out.p.resize(n);
    out.u.assign(n, 0.0);
    CompensatedSum mass;
    for (std::size_t k = 0; k < n; ++k) {
        const double p = grid(static_cast<std::int32_t>(k), 2);
        out.p[k] = p;
        const bool inside = p > 0 && (whole || levels.level[k] <= percent);
        if (inside) {
            out.u[k] = p;
            mass.Add(p);
            ++out.range_cells;
        }
        if (p > 0) {
            const std::int64_t i = out.window.i0 + static_cast<std::int64_t>(k) / g.rows;
            const std::int64_t j = out.window.j0 + static_cast<std::int64_t>(k) % g.rows;
            const bool first = out.i_last < out.i_first;
            out.i_first = first ? i : std::min(out.i_first, i);
            out.i_last = first ? i : std::max(out.i_last, i);
            out.j_first = first ? j : std::min(out.j_first, j);
            out.j_last = first ? j : std::max(out.j_last, j);
        }
    }
    if (out.range_cells == 0) {
        return Status::Failure("The grid holds no probability, so it overlaps nothing.");
    }
    if (!whole) {
        const double m = mass.Value();
        for (double& u : out.u) {
            u /= m;
        }
    }
    return result;
}

bool GridsMeet(const OverlapGrid& a, const OverlapGrid& b) {
    return std::max(a.i_first, b.i_first) <= std::min(a.i_last, b.i_last) &&
           std::max(a.j_first, b.j_first) <= std::min(a.j_last, b.j_last);
}

OverlapIndices CalcOverlap(const OverlapGrid& a, const OverlapGrid& b) {
    OverlapIndices out;
    if (!GridsMeet(a, b)) {
        return out;
    }
    const std::int64_t i_first = std::max(a.i_first, b.i_first);
    const std::int64_t i_last = std::min(a.i_last, b.i_last);
    const std::int64_t j_first = std::max(a.j_first, b.j_first);
    const std::int64_t j_last = std::min(a.j_last, b.j_last);
    CompensatedSum phr_ab, phr_ba, vi, ba, product;
    std::int64_t both = 0;
    const auto rows = static_cast<std::size_t>(j_last - j_first + 1);
    for (std::int64_t i = i_first; i <= i_last; ++i) {
        // Column i of each window from row j_first on.
        const auto at_a =
            static_cast<std::size_t>((i - a.window.i0) * a.window.rows + (j_first - a.window.j0));
        const auto at_b =
            static_cast<std::size_t>((i - b.window.i0) * b.window.rows + (j_first - b.window.j0));
        const double* pa = a.p.data() + at_a;
        const double* pb = b.p.data() + at_b;
        const double* ua = a.u.data() + at_a;
        const double* ub = b.u.data() + at_b;
        for (std::size_t j = 0; j < rows; ++j) {
            if (!(pa[j] > 0 && pb[j] > 0)) {
                continue;
            }
            const bool in_a = ua[j] > 0;
            const bool in_b = ub[j] > 0;
            if (in_a) {
                phr_ab.Add(pb[j]);
            }
            if (in_b) {
                phr_ba.Add(pa[j]);
            }
            if (in_a && in_b) {
                ++both;
                vi.Add(std::min(ua[j], ub[j]));
                ba.Add(std::sqrt(ua[j] * ub[j]));
                product.Add(ua[j] * ub[j]);
            }
        }
    }
    out.hr_ab = static_cast<double>(both) / a.range_cells;
    out.hr_ba = static_cast<double>(both) / b.range_cells;
    out.phr_ab = phr_ab.Value();
    out.phr_ba = phr_ba.Value();
    out.vi = vi.Value();
    out.ba = ba.Value();
    out.udoi = static_cast<double>(both) * product.Value();
    return out;
}

StatusOr<std::vector<OverlapIndices>>
CalcOverlaps(std::span<const OverlapGrid> grids,
             std::span<const std::pair<std::int32_t, std::int32_t>> pairs,
             const RunControl& control) {
    StatusOr<std::vector<OverlapIndices>> result;
    result.value.resize(pairs.size());
    const auto count = static_cast<std::int64_t>(pairs.size());
    // Pairs take from microseconds (apart) to milliseconds (on top of each other): small
    // chunks keep the cores evenly busy; a report every 64 pairs costs nothing beside them.
    const LoopReport report{4, 64, {}};
    const bool finished = ParallelFor(count, control, report, [&](std::int64_t k) {
        const auto& [first, second] = pairs[static_cast<std::size_t>(k)];
        result.value[static_cast<std::size_t>(k)] = CalcOverlap(
            grids[static_cast<std::size_t>(first)], grids[static_cast<std::size_t>(second)]);
    });
    if (!finished) {
        return Status::Cancelled();
    }
    return result;
}

double BhattacharyyaDistance(const PlaneNormal& a, const PlaneNormal& b) {
    const double sxx = (a.sxx + b.sxx) / 2;
    const double sxy = (a.sxy + b.sxy) / 2;
    const double syy = (a.syy + b.syy) / 2;
    const double det = sxx * syy - sxy * sxy;
    const double dx = a.mx - b.mx;
    const double dy = a.my - b.my;
    // d^T S^-1 d with S^-1 = [[syy, -sxy], [-sxy, sxx]] / det.
    const double mahalanobis = (syy * dx * dx - 2 * sxy * dx * dy + sxx * dy * dy) / det;
    const double det_a = a.sxx * a.syy - a.sxy * a.sxy;
    const double det_b = b.sxx * b.syy - b.sxy * b.sxy;
    return mahalanobis / 8 + std::log(det / std::sqrt(det_a * det_b)) / 2;
}

double NormalAffinity(const PlaneNormal& a, const PlaneNormal& b) {
    return std::exp(-BhattacharyyaDistance(a, b));
}

} // namespace ranvik
