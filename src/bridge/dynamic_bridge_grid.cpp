#include "bridge/dynamic_bridge_grid.h"

#include "numerics/parallel_for.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <string>
#include <vector>

namespace ranvik {
namespace {

// Standard deviations from a normal's centre beyond which each axis is cut: the mass beyond
// them on both sides of both axes, 2 erfc(8.3 / sqrt 2) = 1.04e-16, stays below the 1e-15 the
// grids leave out (kGridTail of the Brownian bridge grid).
constexpr double kReachSigmas = 8.3;

// Time nodes per panel (Gauss-Legendre), the Bernstein ellipse parameter the panels' error is
// bounded on, and the bound the time rule keeps: the sum over all cells of the absolute errors
// of the time integral is at most kTimeTolerance (of a total mass of 1). See Panels.
constexpr int kTimeNodes = 12;
constexpr double kEllipse = 2.5;
constexpr double kTimeTolerance = 1e-8;

// Grid columns per strip: the unit of parallel work.
constexpr std::int64_t kStripColumns = 128;

// A segment taking part: x(alpha) = a + d alpha, var(alpha) = c0 + c1 alpha + c2 alpha^2, its
// weight T / W, its panels [first_panel, first_panel + panel_count) and the box outside which
// none of its nodes reaches.
struct Segment {
    double ax = 0.0, ay = 0.0, dx = 0.0, dy = 0.0;
    double c0 = 0.0, c1 = 0.0, c2 = 0.0;
    double weight = 0.0;
    std::size_t first_panel = 0, panel_count = 0;
    double box_x0 = 0.0, box_x1 = 0.0, box_y0 = 0.0, box_y1 = 0.0;

    [[nodiscard]] double Var(double alpha) const { return c0 + (c1 + c2 * alpha) * alpha; }
    [[nodiscard]] double Slope(double alpha) const { return c1 + 2 * c2 * alpha; }
    // The least and greatest variance over [lo, hi] (a quadratic: its ends and its vertex).
    [[nodiscard]] std::array<double, 2> Range(double lo, double hi) const {
        double low = std::min(Var(lo), Var(hi));
        double high = std::max(Var(lo), Var(hi));
        if (c2 != 0) {
            const double vertex = -c1 / (2 * c2);
            if (vertex > lo && vertex < hi) {
                low = std::min(low, Var(vertex));
                high = std::max(high, Var(vertex));
            }
        }
        return {low, high};
    }
};

struct Panel {
    double start = 0.0, length = 0.0;
};

struct SegmentSet {
    std::vector<Segment> segments; // in time order
    std::vector<Panel> panels;
};

// Gauss-Legendre nodes and weights on [-1, 1]: Newton's method on P_n from the Chebyshev
// guesses, P_n by its three-term recurrence.
struct GaussRule {
    std::array<double, kTimeNodes> node{}, weight{};
    GaussRule() {
        constexpr int n = kTimeNodes;
        for (int i = 0; i < n; ++i) {
            double x = std::cos(std::numbers::pi * (i + 0.75) / (n + 0.5));
            double dp = 1.0;
            for (int iter = 0; iter < 100; ++iter) {
                double p0 = 1.0;
                double p1 = x;
                for (int k = 2; k <= n; ++k) {
                    const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
                    p0 = p1;
                    p1 = p2;
                }
                dp = n * (x * p1 - p0) / (x * x - 1);
                const double step = p1 / dp;
                x -= step;
                if (std::abs(step) < 1e-16) {
                    break;
                }
            }
            node[static_cast<std::size_t>(i)] = x;
            weight[static_cast<std::size_t>(i)] = 2 / ((1 - x * x) * dp * dp);
        }
    }
};

const GaussRule& Gauss() {
    static const GaussRule rule;
    return rule;
}

// The bound on the time rule's error over the panel [start, start + length], per unit of the
// panel's half-length h (so that the errors of all panels add to at most the largest of these
// values times sum h = 1/2).
//
// A cell's mass g(alpha) = integral over the cell of the density, with
//   phi(x; alpha) = exp(-|x - m(alpha)|^2 / (2 v(alpha))) / (2 pi v(alpha)),
// continues analytically to complex alpha wherever Re v > 0, and over the plane
//   integral |phi(x; alpha)| dx = (|v| / Re v) exp(Im(alpha)^2 |d|^2 / (2 Re v))
// (per axis, completing the square in the real part of the exponent). So the cells' |g| add to
// at most that M on the Bernstein ellipse E_rho of the panel (foci at its ends, semi-axes
// h (rho + 1/rho) / 2 and h (rho - 1/rho) / 2), where we bound Re v from below and |v| from
// above on the box around it: Re v(xi + i eta) = v(xi) - c2 eta^2,
// |v| <= |v(xi)| + |eta| |v'(xi)| + |c2| eta^2. Gauss-Legendre with n nodes then errs by at most
// h (64 / 15) M rho^(2 - 2n) / (rho^2 - 1) in the sum of the cells' absolute errors
// (Trefethen, Approximation Theory and Approximation Practice, Thm 19.3, taken with one node
// fewer than we use, which only weakens it). Infinite when Re v may reach 0 in the ellipse.
double PanelError(const Segment& s, double start, double length) {
    const double h = length / 2;
    const double centre = start + h;
    const double semi_real = h * (kEllipse + 1 / kEllipse) / 2;
    const double semi_imag = h * (kEllipse - 1 / kEllipse) / 2;
    const auto [v_low, v_high] = s.Range(centre - semi_real, centre + semi_real);
    const double re_low = v_low - std::max(s.c2, 0.0) * semi_imag * semi_imag;
    if (!(re_low > 0)) {
        return std::numeric_limits<double>::infinity();
    }
    const double slope =
        std::max(std::abs(s.Slope(centre - semi_real)), std::abs(s.Slope(centre + semi_real)));
    const double abs_high = v_high + semi_imag * slope + std::abs(s.c2) * semi_imag * semi_imag;
    const double d2 = s.dx * s.dx + s.dy * s.dy;
    const double m = abs_high / re_low * std::exp(semi_imag * semi_imag * d2 / (2 * re_low));
    return 64.0 / 15 * m * std::pow(kEllipse, 2 - 2 * kTimeNodes) / (kEllipse * kEllipse - 1);
}

// Splits [0, 1] into the panels of a segment, from each end towards the middle (the variance is
// least at the ends, so the panels there are short), each as long as PanelError allows and at
// most four times the one before. Every panel keeps PanelError <= kTimeTolerance, so the panels
// together err by at most kTimeTolerance / 2 over the grid; except that where the variance is 0
// at an end (a location error of 0) the panel touching that end can only be bounded trivially:
// its quadrature and its true masses are each `length`, so it errs by at most
// 2 length <= kTimeTolerance / 4, and the two ends by kTimeTolerance / 2 together. A fast
// segment thus gets panels about 2 spreads of the mean's travel long (12 nodes each), a slow one
// a panel per half, and the panels grow geometrically away from an end whose variance is small
// next to the segment's.
void AddPanels(const Segment& s, std::vector<Panel>& panels) {
    std::vector<Panel> right;
    for (const bool from_left : {true, false}) {
        double done = 0.0; // distance covered from this half's end
        double length = 0.25;
        while (done < 0.5) {
            length = std::min(4 * length, 0.5 - done);
            const auto start = [&](double l) { return from_left ? done : 1 - done - l; };
            while (!(PanelError(s, start(length), length) <= kTimeTolerance ||
                     (done == 0 && length <= kTimeTolerance / 8) || length < 1e-300)) {
                length /= 2;
            }
            // A sliver left before the middle joins this panel when the bound allows.
            const double rest = 0.5 - done - length;
            if (rest > 0 && rest < length &&
                PanelError(s, start(0.5 - done), 0.5 - done) <= kTimeTolerance) {
                length = 0.5 - done;
            }
            if (done + length >= 0.5) {
                length = 0.5 - done;
            }
            (from_left ? panels : right).push_back({start(length), length});
            done = done + length;
        }
    }
    panels.insert(panels.end(), right.rbegin(), right.rend());
}

// Fails unless var(alpha) > 0 for every alpha strictly between 0 and 1 (the ends may be 0: the
// Gauss nodes never fall on them).
bool PositiveInside(const Segment& s) {
    if (!std::isfinite(s.c0) || !std::isfinite(s.c1) || !std::isfinite(s.c2)) {
        return false;
    }
    const double v0 = s.Var(0.0);
    const double v1 = s.Var(1.0);
    if (v0 < 0 || v1 < 0) {
        return false;
    }
    if (s.c2 > 0) {
        const double vertex = -s.c1 / (2 * s.c2);
        return !(vertex > 0 && vertex < 1) || s.Var(vertex) > 0;
    }
    // Concave or linear: above the chord, which is 0 only when both ends are.
    return v0 > 0 || v1 > 0 || s.c2 < 0;
}

Status SegmentFailure(std::int32_t k, const char* what) {
    std::string message = "The segment from location " + std::to_string(k + 1);
    message += " to location ";
    message += std::to_string(k + 2);
    message += what;
    return Status::Failure(std::move(message));
}

// The segments taking part, their weights, panels and reach boxes.
StatusOr<SegmentSet> PrepareSegments(const Matrix& fixes, std::int32_t n,
                                     const MotionVariance& variance, double max_time) {
    if (Status held = CheckCount(fixes, n, "time-stamped locations"); !held.Ok()) {
        return held;
    }
    if (n < 2 || variance.segment.size() != static_cast<std::size_t>(n - 1)) {
        return Status::Failure("The motion variance does not match the loaded track: estimate "
                               "it again for these locations.");
    }
    SegmentSet set;
    double total_time = 0.0;
    for (std::int32_t k = 0; k + 1 < n; ++k) {
        const auto& sigma2 = variance.segment[static_cast<std::size_t>(k)];
        const double big_t = fixes(k + 1, 2) - fixes(k, 2);
        if (!sigma2 || !(big_t <= max_time)) {
            continue;
        }
        if (!(big_t > 0)) {
            return SegmentFailure(k, " has no duration: the times of the locations must "
                                     "increase.");
        }
        Segment s;
        s.ax = fixes(k, 0);
        s.ay = fixes(k, 1);
        s.dx = fixes(k + 1, 0) - s.ax;
        s.dy = fixes(k + 1, 1) - s.ay;
        const double ea2 = fixes(k, 3) * fixes(k, 3);
        const double eb2 = fixes(k + 1, 3) * fixes(k + 1, 3);
        const double motion = big_t * *sigma2;
        s.c0 = ea2;
        s.c1 = motion - 2 * ea2;
        s.c2 = ea2 + eb2 - motion;
        if (!PositiveInside(s)) {
            return SegmentFailure(k, " has no spread: its motion variance and the location errors "
                                     "at its ends must not all be 0, and the motion variance "
                                     "must not be negative.");
        }
        s.weight = big_t;
        total_time = total_time + big_t;
        set.segments.push_back(s);
    }
    if (set.segments.empty()) {
        return Status::Failure(
            "No segment of the track has a motion variance and lasts at most the maximum time "
            "of " +
            FormatNumber(max_time) +
            ", so there is no dynamic Brownian bridge to compute. Enter a larger maximum time "
            "or a longer track.");
    }
    for (Segment& s : set.segments) {
        s.weight = s.weight / total_time;
        s.first_panel = set.panels.size();
        AddPanels(s, set.panels);
        s.panel_count = set.panels.size() - s.first_panel;
        const double reach = kReachSigmas * std::sqrt(s.Range(0.0, 1.0)[1]);
        s.box_x0 = std::min(s.ax, s.ax + s.dx) - reach;
        s.box_x1 = std::max(s.ax, s.ax + s.dx) + reach;
        s.box_y0 = std::min(s.ay, s.ay + s.dy) - reach;
        s.box_y1 = std::max(s.ay, s.ay + s.dy) + reach;
    }
    return set;
}

// Cell centres start, start + step, ... while <= stop (repeated addition), and the cells'
// edges: halfway between neighbouring centres, half a step beyond the outer ones, so that
// neighbouring cells share their edge exactly and no mass falls between them.
struct Axis {
    std::vector<double> centre, edge;
};

Axis MakeAxis(double start, double stop, double step) {
    Axis axis;
    for (double v = start; v <= stop; v = v + step) {
        axis.centre.push_back(v);
    }
    axis.edge.reserve(axis.centre.size() + 1);
    axis.edge.push_back(axis.centre.front() - step / 2);
    for (std::size_t i = 0; i + 1 < axis.centre.size(); ++i) {
        axis.edge.push_back((axis.centre[i] + axis.centre[i + 1]) / 2);
    }
    axis.edge.push_back(axis.centre.back() + step / 2);
    return axis;
}

// The masses of a normal (mean, sd) in cells first..last of `edge` (cell i between edges i and
// i + 1), into mass[0..]. Each edge's smaller tail is taken from erfc, and a cell's mass is the
// difference of two tails on one side of the mean or 1 minus both when it holds the mean, so no
// mass is lost to cancellation far out in the tails.
void CellMasses(const std::vector<double>& edge, std::size_t first, std::size_t last, double mean,
                double sd, double* mass) {
    const double scale = 1 / (sd * std::numbers::sqrt2);
    double z_low = (edge[first] - mean) * scale;
    double t_low = 0.5 * std::erfc(std::abs(z_low));
    for (std::size_t i = first; i <= last; ++i) {
        const double z_high = (edge[i + 1] - mean) * scale;
        const double t_high = 0.5 * std::erfc(std::abs(z_high));
        double p = 0.0;
        if (z_low >= 0) {
            p = t_low - t_high;
        } else if (z_high <= 0) {
            p = t_high - t_low;
        } else {
            p = 1 - t_low - t_high;
        }
        mass[i - first] = p;
        z_low = z_high;
        t_low = t_high;
    }
}

// The cells [lo, hi) of `edge` that reach into [from, to], as first and last index; empty
// (first > last) when none does.
std::array<std::size_t, 2> CellsWithin(const std::vector<double>& edge, std::size_t lo,
                                       std::size_t hi, double from, double to) {
    // Cell i reaches into [from, to] when edge[i + 1] > from and edge[i] < to.
    const auto begin = edge.begin();
    const auto first = static_cast<std::size_t>(
        std::upper_bound(begin + static_cast<std::ptrdiff_t>(lo) + 1,
                         begin + static_cast<std::ptrdiff_t>(hi) + 1, from) -
        begin - 1);
    const auto end =
        static_cast<std::size_t>(std::lower_bound(begin + static_cast<std::ptrdiff_t>(lo),
                                                  begin + static_cast<std::ptrdiff_t>(hi), to) -
                                 begin);
    if (end == 0 || first >= end) {
        return {1, 0};
    }
    return {first, end - 1};
}

// Adds every segment's mass in columns [i0, i1) of the grid to `cells` (column i - i0 holds
// rows 0..ny-1), segment after segment in time order and node after node in time order within
// each, so a cell's sum has the same order whichever thread forms it. A node adds
// w mass_x(column) mass_y(row) over the cells within kReachSigmas of its mean only.
void AddStrip(const SegmentSet& set, const Axis& xs, const Axis& ys, std::size_t i0, std::size_t i1,
              std::vector<double>& cells) {
    const std::size_t ny = ys.centre.size();
    const GaussRule& gauss = Gauss();
    std::vector<double> mass_x(i1 - i0);
    std::vector<double> mass_y(ny);
    const double x_low = xs.edge[i0];
    const double x_high = xs.edge[i1];
    for (const Segment& s : set.segments) {
        if (s.box_x1 < x_low || s.box_x0 > x_high || s.box_y1 < ys.edge.front() ||
            s.box_y0 > ys.edge.back()) {
            continue;
        }
        for (std::size_t p = s.first_panel; p < s.first_panel + s.panel_count; ++p) {
            const Panel& panel = set.panels[p];
            const double h = panel.length / 2;
            for (std::size_t q = 0; q < gauss.node.size(); ++q) {
                const double alpha = panel.start + h * (1 + gauss.node[q]);
                const double sd = std::sqrt(s.Var(alpha));
                const double mx = s.ax + s.dx * alpha;
                const double my = s.ay + s.dy * alpha;
                const double reach = kReachSigmas * sd;
                const auto [c0, c1] = CellsWithin(xs.edge, i0, i1, mx - reach, mx + reach);
                const auto [r0, r1] = CellsWithin(ys.edge, 0, ny, my - reach, my + reach);
                if (c0 > c1 || r0 > r1) {
                    continue;
                }
                CellMasses(xs.edge, c0, c1, mx, sd, mass_x.data());
                CellMasses(ys.edge, r0, r1, my, sd, mass_y.data());
                const double w = s.weight * h * gauss.weight[q];
                for (std::size_t i = c0; i <= c1; ++i) {
                    const double c = w * mass_x[i - c0];
                    double* column = cells.data() + (i - i0) * ny;
                    for (std::size_t j = r0; j <= r1; ++j) {
                        column[j] = column[j] + c * mass_y[j - r0];
                    }
                }
            }
        }
    }
}

StatusOr<DynamicBridgeGrid> ComputeGrid(const Matrix& fixes, std::int32_t n,
                                        const MotionVariance& variance, double max_time,
                                        const BridgeGridSpec& spec, const RunControl& control) {
    auto prepared = PrepareSegments(fixes, n, variance, max_time);
    if (!prepared.Ok()) {
        return prepared.status;
    }
    if (Status ok = CheckBridgeGridSpec(spec); !ok.Ok()) {
        return ok;
    }
    const SegmentSet& set = prepared.value;
    const Axis xs = MakeAxis(spec.min_x, spec.max_x, spec.resolution);
    const Axis ys = MakeAxis(spec.min_y, spec.max_y, spec.resolution);
    const auto nx = static_cast<std::int64_t>(xs.centre.size());
    const auto ny = static_cast<std::int64_t>(ys.centre.size());
    const std::int64_t count = nx * ny;
    DynamicBridgeGrid grid;
    grid.output = Matrix(static_cast<std::int32_t>(count + 1), 3);
    grid.count = static_cast<std::int32_t>(count);
    const std::int64_t strips = (nx + kStripColumns - 1) / kStripColumns;
    const bool finished = ParallelFor(strips, control, {}, [&](std::int64_t strip) {
        const auto i0 = static_cast<std::size_t>(strip * kStripColumns);
        const auto i1 = static_cast<std::size_t>(std::min(nx, (strip + 1) * kStripColumns));
        std::vector<double> cells((i1 - i0) * static_cast<std::size_t>(ny), 0.0);
        AddStrip(set, xs, ys, i0, i1, cells);
        for (std::size_t i = i0; i < i1; ++i) {
            for (std::int64_t j = 0; j < ny; ++j) {
                const auto k = static_cast<std::int32_t>(static_cast<std::int64_t>(i) * ny + j);
                grid.output(k, 0) = xs.centre[i];
                grid.output(k, 1) = ys.centre[static_cast<std::size_t>(j)];
                grid.output(k, 2) =
                    cells[(i - i0) * static_cast<std::size_t>(ny) + static_cast<std::size_t>(j)];
            }
        }
    });
    if (!finished) {
        return Status::Cancelled();
    }
    double inside = 0.0;
    for (std::int32_t k = 0; k < grid.count; ++k) {
        inside = inside + grid.output(k, 2);
    }
    grid.mass_outside = std::max(0.0, 1 - inside);
    return grid;
}

} // namespace

BridgeGridSpec AutoDynamicBridgeExtent(const Matrix& fixes, std::int32_t n,
                                       const MotionVariance& variance, double max_time,
                                       double cell) {
    BridgeGridSpec spec;
    spec.resolution = cell;
    if (n < 1) {
        return spec;
    }
    double x0 = fixes(0, 0);
    double x1 = x0;
    double y0 = fixes(0, 1);
    double y1 = y0;
    for (std::int32_t i = 1; i < n; ++i) {
        x0 = std::min(x0, fixes(i, 0));
        x1 = std::max(x1, fixes(i, 0));
        y0 = std::min(y0, fixes(i, 1));
        y1 = std::max(y1, fixes(i, 1));
    }
    double spread = 0.0;
    const auto prepared = PrepareSegments(fixes, n, variance, max_time);
    if (prepared.Ok()) {
        for (const Segment& s : prepared.value.segments) {
            spread = std::max(spread, std::sqrt(s.Range(0.0, 1.0)[1]));
        }
    }
    // The outer cells' far edges lie at least half a cell beyond the margin: the last centre
    // is within one cell of max_x.
    const double margin = kReachSigmas * spread;
    spec.min_x = x0 - margin;
    spec.max_x = x1 + margin + cell;
    spec.min_y = y0 - margin;
    spec.max_y = y1 + margin + cell;
    return spec;
}

StatusOr<DynamicBridgeGrid> CalcDynamicBridgeGrid(const Matrix& fixes, std::int32_t n,
                                                  const MotionVariance& variance, double max_time,
                                                  const BridgeGridSpec& spec,
                                                  const RunControl& control) {
    try {
        return ComputeGrid(fixes, n, variance, max_time, spec, control);
    } catch (const std::bad_alloc&) {
        return Status::Failure("There is not enough memory for this grid. Choose a larger "
                               "distance between grid points or a smaller extent.");
    }
}

} // namespace ranvik
