#include "bridge/bridge_probability.h"

#include "numerics/exp_batch.h"
#include "numerics/parallel_for.h"
#include "state/constants.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <string>

namespace ranvik {
namespace {

// Grid cells per side of a tile: the unit in which bridges are matched to cells.
constexpr std::int64_t kTile = 16;

// Squared distance from (x, y) to the box [x0, x1] x [y0, y1] (0 inside it).
double PointBoxDistance2(double x, double y, double x0, double x1, double y0, double y1) {
    const double dx = x < x0 ? x0 - x : (x > x1 ? x - x1 : 0.0);
    const double dy = y < y0 ? y0 - y : (y > y1 ? y - y1 : 0.0);
    return dx * dx + dy * dy;
}

// Squared distance from (x, y) to the segment from (ax, ay) to (bx, by).
double PointSegmentDistance2(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    const double t =
        length2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / length2, 0.0, 1.0) : 0.0;
    const double ex = x - (ax + t * dx);
    const double ey = y - (ay + t * dy);
    return ex * ex + ey * ey;
}

// Squared distance between the segment from (ax, ay) to (bx, by) and the box
// [x0, x1] x [y0, y1]: 0 when the segment enters the box (clipped against its four sides),
// otherwise the least of the segment's ends to the box and the box's corners to the segment,
// where the closest points of two such convex shapes lie.
double SegmentBoxDistance2(double ax, double ay, double bx, double by, double x0, double x1,
                           double y0, double y1) {
    double t0 = 0.0;
    double t1 = 1.0;
    const auto clip = [&](double p, double q) {
        if (p == 0) {
            return q >= 0;
        }
        const double r = q / p;
        if (p < 0) {
            t0 = std::max(t0, r);
        } else {
            t1 = std::min(t1, r);
        }
        return t0 <= t1;
    };
    const double dx = bx - ax;
    const double dy = by - ay;
    if (clip(-dx, ax - x0) && clip(dx, x1 - ax) && clip(-dy, ay - y0) && clip(dy, y1 - ay)) {
        return 0.0;
    }
    double best = std::min(PointBoxDistance2(ax, ay, x0, x1, y0, y1),
                           PointBoxDistance2(bx, by, x0, x1, y0, y1));
    for (const double cx : {x0, x1}) {
        for (const double cy : {y0, y1}) {
            best = std::min(best, PointSegmentDistance2(cx, cy, ax, ay, bx, by));
        }
    }
    return best;
}

// Squared distance from (x, y) to the box of a bridge (0 inside it).
double BoxDistance2(const Bridge& b, double x, double y) {
    return PointBoxDistance2(x, y, b.box_x0, b.box_x1, b.box_y0, b.box_y1);
}

double Integral(const Bridge& b, double x, double y) {
    // The exponentials of all steps are taken together.
    Bridge::Steps arg{};
    Bridge::Steps e{};
    const auto steps = static_cast<std::size_t>(b.steps);
    for (std::size_t k = 0; k < steps; ++k) {
        const double d2 = (y - b.my[k]) * (y - b.my[k]) + (x - b.mx[k]) * (x - b.mx[k]);
        arg[k] = -0.5 * d2 / b.var[k];
    }
    ExpBatch(arg.data(), e.data(), steps);
    for (std::size_t k = 0; k < steps; ++k) {
        e[k] = e[k] * 1 / b.norm[k] * b.dt;
    }
    double q = 0.0;
    for (std::size_t k = 0; k < steps; ++k) {
        q = q + e[k];
    }
    return q;
}

// The bridges' sums over the cells of one tile (up to kTile x kTile), bridge after bridge in
// time order, as BridgeSum forms them cell by cell, but with each step's density taken as the
// product of its two coordinates' factors:
//   exp(-0.5 d^2 / var) = exp(-0.5 dx^2 / var) exp(-0.5 dy^2 / var),
// so a bridge takes 21 (ni + nj) exponentials per tile instead of 21 ni nj. A cell still adds
// a bridge's steps in their order, then the bridge to its sum, and skips a bridge farther than
// its reach (squared: reach2[bridge], see GridReach2). Each term it adds is within (u + 8) units
// in the last place of the plain one, u = 0.5 d^2 / var <= 746, so a cell's sum of positive
// terms is within 1.7e-13 relative of the plain sum of the same terms (as long as it is above
// about 1e-290).
struct TileSums {
    std::array<double, kTile * kTile> p{};

    void Add(const BridgeSet& set, const std::vector<double>& reach2,
             const std::vector<std::int32_t>& listed, const double* xs, int ni, const double* ys,
             int nj) {
        // Factors of step k: fx[k][i] for the columns, fy[k][j] for the rows.
        std::array<double, Bridge::kMaxSteps * kTile> fx{};
        std::array<double, Bridge::kMaxSteps * kTile> fy{};
        std::array<double, Bridge::kMaxSteps * kTile> arg{};
        std::array<double, kTile> q{};
        for (const std::int32_t index : listed) {
            const Bridge& b = set.bridges[static_cast<std::size_t>(index)];
            const auto steps = static_cast<std::size_t>(b.steps);
            for (std::size_t k = 0; k < steps; ++k) {
                for (int i = 0; i < ni; ++i) {
                    const double d = xs[i] - b.mx[k];
                    arg[k * kTile + static_cast<std::size_t>(i)] = -0.5 * (d * d) / b.var[k];
                }
            }
            ExpBatch(arg.data(), fx.data(), steps * kTile);
            for (std::size_t k = 0; k < steps; ++k) {
                for (int j = 0; j < nj; ++j) {
                    const double d = ys[j] - b.my[k];
                    arg[k * kTile + static_cast<std::size_t>(j)] = -0.5 * (d * d) / b.var[k];
                }
            }
            ExpBatch(arg.data(), fy.data(), steps * kTile);
            for (int i = 0; i < ni; ++i) {
                q.fill(0.0);
                for (std::size_t k = 0; k < steps; ++k) {
                    const double c = fx[k * kTile + static_cast<std::size_t>(i)] / b.norm[k] * b.dt;
                    const double* row = fy.data() + k * kTile;
                    for (int j = 0; j < kTile; ++j) {
                        q[static_cast<std::size_t>(j)] =
                            q[static_cast<std::size_t>(j)] + c * row[j];
                    }
                }
                double* cells = p.data() + static_cast<std::size_t>(i) * kTile;
                for (int j = 0; j < nj; ++j) {
                    if (BoxDistance2(b, xs[i], ys[j]) <= reach2[static_cast<std::size_t>(index)]) {
                        cells[j] = cells[j] + q[static_cast<std::size_t>(j)];
                    }
                }
            }
        }
    }
};

} // namespace

StatusOr<BridgeSet> PrepareBridges(const Matrix& fixes, std::int32_t n, double sigma_m2,
                                   double max_time) {
    StatusOr<BridgeSet> result;
    if (result.status = CheckCount(fixes, n, "time-stamped locations"); !result.Ok()) {
        return result;
    }
    if (n < 2) {
        return Status::Failure("At least 2 time-stamped locations are needed for a "
                               "Brownian bridge.");
    }
    BridgeSet& set = result.value;
    for (std::int32_t a = 0; a + 1 < n; ++a) {
        const double big_t = fixes(a + 1, 2) - fixes(a, 2);
        if (!(big_t <= max_time)) {
            continue;
        }
        if (!(big_t > 0)) {
            return Status::Failure(
                "Locations " + std::to_string(a + 1) + " and " + std::to_string(a + 2) +
                " (in time order) share the time " + FormatNumber(fixes(a, 2)) +
                ", so no bridge can be drawn between them. Remove the duplicate and load the "
                "file again.");
        }
        Bridge b;
        b.duration = big_t;
        b.dt = big_t / 20;
        const double xa = fixes(a, 0);
        const double ya = fixes(a, 1);
        const double xb = fixes(a + 1, 0);
        const double yb = fixes(a + 1, 1);
        const double ea = fixes(a, 3);
        const double eb = fixes(a + 1, 3);
        double max_var = 0.0;
        for (double t = 0; t <= big_t && b.steps < Bridge::kMaxSteps; t = t + b.dt) {
            const double alpha = t / big_t;
            const double var = ea * ea * ((1 - alpha) * (1 - alpha)) +
                               alpha * big_t * (1 - alpha) * sigma_m2 + eb * eb * (alpha * alpha);
            if (!(var > 0) || !std::isfinite(var)) {
                return Status::Failure(
                    "The bridge between locations " + std::to_string(a + 1) + " and " +
                    std::to_string(a + 2) +
                    " has no spread: location errors must be greater than 0, and a negative "
                    "Brownian bridge variance must not outweigh them.");
            }
            const auto k = static_cast<std::size_t>(b.steps++);
            b.mx[k] = xa + (xb - xa) * alpha;
            b.my[k] = ya + (yb - ya) * alpha;
            b.var[k] = var;
            b.norm[k] = 2 * kPi * var;
            max_var = std::max(max_var, var);
        }
        const auto used = static_cast<std::ptrdiff_t>(b.steps);
        b.box_x0 = *std::min_element(b.mx.begin(), b.mx.begin() + used);
        b.box_x1 = *std::max_element(b.mx.begin(), b.mx.begin() + used);
        b.box_y0 = *std::min_element(b.my.begin(), b.my.begin() + used);
        b.box_y1 = *std::max_element(b.my.begin(), b.my.begin() + used);
        // A step's density is exactly 0 once 0.5 d^2 / var exceeds -kExpUnderflow.
        b.reach2 = 2 * -kExpUnderflow * max_var;
        set.total_time = set.total_time + big_t;
        set.bridges.push_back(std::move(b));
    }
    if (set.bridges.empty()) {
        result.status = Status::Failure(
            "No two successive locations are within the maximum time of " + FormatNumber(max_time) +
            ", so no bridge can be computed. Enter a larger maximum time limit.");
    }
    return result;
}

double BridgeSum(const BridgeSet& set, double x, double y, bool prune) {
    double p = 0.0;
    for (const Bridge& b : set.bridges) {
        if (prune && BoxDistance2(b, x, y) > b.reach2) {
            continue;
        }
        p = p + Integral(b, x, y);
    }
    return p;
}

double BridgeDensity(const BridgeSet& set, double x, double y, bool prune) {
    return BridgeSum(set, x, y, prune) / set.total_time;
}

StatusOr<BridgeGridSpec> ParseBridgeGridSpec(std::string_view min_x, std::string_view max_x,
                                             std::string_view min_y, std::string_view max_y,
                                             std::string_view resolution) {
    StatusOr<BridgeGridSpec> result;
    const struct {
        std::string_view text;
        const char* label;
        double* value;
    } boxes[] = {
        {min_x, "Minimum X", &result.value.min_x},
        {max_x, "Maximum X", &result.value.max_x},
        {min_y, "Minimum Y", &result.value.min_y},
        {max_y, "Maximum Y", &result.value.max_y},
        {resolution, "Distance between grid points", &result.value.resolution},
    };
    for (const auto& box : boxes) {
        const auto value = ParseNumber(box.text);
        if (!value) {
            std::string message = "The box \"";
            message += box.label;
            message += "\" must hold a number.";
            return Status::Failure(std::move(message));
        }
        *box.value = *value;
    }
    result.status = CheckBridgeGridSpec(result.value);
    return result;
}

Status CheckBridgeGridSpec(const BridgeGridSpec& spec) {
    for (const double value : {spec.min_x, spec.max_x, spec.min_y, spec.max_y, spec.resolution}) {
        if (!std::isfinite(value)) {
            return Status::Failure("The grid extent and the distance between grid points must "
                                   "be finite numbers.");
        }
    }
    if (!(spec.resolution > 0)) {
        return Status::Failure("The distance between grid points must be greater than 0.");
    }
    if (spec.min_x > spec.max_x || spec.min_y > spec.max_y) {
        return Status::Failure("The minimum of the grid extent must not be above its maximum.");
    }
    const std::int64_t columns =
        CountGridSteps(spec.min_x, spec.max_x, spec.resolution, kMaxBridgeGridPoints);
    const std::int64_t rows =
        CountGridSteps(spec.min_y, spec.max_y, spec.resolution, kMaxBridgeGridPoints);
    if (columns * rows > kMaxBridgeGridPoints) {
        return Status::Failure("This grid would have more than " +
                               std::to_string(kMaxBridgeGridPoints) +
                               " points, more than fit in memory. Choose a larger distance "
                               "between grid points or a smaller extent.");
    }
    return {};
}

BridgeGridSpec AutoBridgeGridExtent(const Matrix& fixes, std::int32_t n) {
    double xmin = fixes(0, 0);
    double xmax = xmin;
    double ymin = fixes(0, 1);
    double ymax = ymin;
    for (std::int32_t i = 1; i < n; ++i) {
        if (fixes(i, 0) > xmax) {
            xmax = fixes(i, 0);
        }
        if (fixes(i, 0) < xmin) {
            xmin = fixes(i, 0);
        }
        if (fixes(i, 1) > ymax) {
            ymax = fixes(i, 1);
        }
        if (fixes(i, 1) < ymin) {
            ymin = fixes(i, 1);
        }
    }
    BridgeGridSpec spec;
    spec.min_x = xmin - (xmax - xmin) / 5;
    spec.max_x = xmax + (xmax - xmin) / 5;
    spec.min_y = ymin - (ymax - ymin) / 5;
    spec.max_y = ymax + (ymax - ymin) / 5;
    return spec;
}

namespace {

// What the terms a grid leaves out may add to a saved cell value (P / W) r r at most.
constexpr double kGridTail = 1e-15;

// The squared reach of each bridge on a grid of spacing r, beyond which its terms cannot
// change a saved digit. A term of step k at a cell beyond it has u = 0.5 d^2 / var_k >= U, so it
// adds at most exp(-U) dt / norm_k r r / W to the cell's saved value. With
// U = ln(r r / (norm_min kGridTail)), norm_min the bridge's least norm_k, that is at most
// kGridTail dt / W, and all the steps of all bridges together (21 dt = 1.05 T per bridge, the
// T adding up to W) at most 1.05 kGridTail = 1.05e-15: a saved value (9 decimals) moves by far
// less than a unit of its last decimal, and only a value within that distance of a rounding
// boundary can print differently. U never exceeds the reach beyond which every term is exactly
// 0 (reach2 of the bridge).
std::vector<double> GridReach2(const BridgeSet& set, double r) {
    std::vector<double> reach2;
    reach2.reserve(set.bridges.size());
    for (const Bridge& b : set.bridges) {
        const auto steps = static_cast<std::ptrdiff_t>(b.steps);
        const double norm_min = *std::min_element(b.norm.begin(), b.norm.begin() + steps);
        const double var_max = *std::max_element(b.var.begin(), b.var.begin() + steps);
        const double u = std::max(std::log(r * r / (norm_min * kGridTail)), 0.0);
        reach2.push_back(std::min(2 * u * var_max, b.reach2));
    }
    return reach2;
}

StatusOr<BridgeOutput> ComputeBBGrid(const Matrix& fixes, std::int32_t n, double sigma_m2,
                                     double max_time, const BridgeGridSpec& spec,
                                     const RunControl& control, bool prune) {
    if (Status ok = CheckBridgeGridSpec(spec); !ok.Ok()) {
        return ok;
    }
    const auto bridges = PrepareBridges(fixes, n, sigma_m2, max_time);
    if (!bridges.Ok()) {
        return bridges.status;
    }
    const BridgeSet& set = bridges.value;
    const std::vector<double> xs = GridSteps(spec.min_x, spec.max_x, spec.resolution);
    const std::vector<double> ys = GridSteps(spec.min_y, spec.max_y, spec.resolution);
    const auto nx = static_cast<std::int64_t>(xs.size());
    const auto ny = static_cast<std::int64_t>(ys.size());
    const std::int64_t tiles_x = (nx + kTile - 1) / kTile;
    const std::int64_t tiles_y = (ny + kTile - 1) / kTile;

    // The bridges that may reach each tile, in time order.
    const std::vector<double> reach2 = GridReach2(set, spec.resolution);
    std::vector<std::vector<std::int32_t>> tile_bridges(
        static_cast<std::size_t>(tiles_x * tiles_y));
    for (std::size_t index = 0; index < set.bridges.size(); ++index) {
        const Bridge& b = set.bridges[index];
        // A little beyond the reach, so rounding in the square root never drops a tile.
        const double reach = std::sqrt(reach2[index]) * (1 + 1e-9) + 1e-9 * spec.resolution;
        const auto first_x = std::lower_bound(xs.begin(), xs.end(), b.box_x0 - reach);
        const auto last_x = std::upper_bound(xs.begin(), xs.end(), b.box_x1 + reach);
        const auto first_y = std::lower_bound(ys.begin(), ys.end(), b.box_y0 - reach);
        const auto last_y = std::upper_bound(ys.begin(), ys.end(), b.box_y1 + reach);
        if (first_x == last_x || first_y == last_y) {
            continue;
        }
        const std::int64_t tx0 = (first_x - xs.begin()) / kTile;
        const std::int64_t tx1 = (last_x - xs.begin() - 1) / kTile;
        const std::int64_t ty0 = (first_y - ys.begin()) / kTile;
        const std::int64_t ty1 = (last_y - ys.begin() - 1) / kTile;
        // A long step crosses many tiles of its box that lie beyond its reach: its means lie on
        // the segment between its first and last, so a tile farther than the reach from that
        // segment would only add exact zeros.
        const std::size_t last = static_cast<std::size_t>(b.steps) - 1;
        for (std::int64_t tx = tx0; tx <= tx1; ++tx) {
            const double x0 = xs[static_cast<std::size_t>(tx * kTile)];
            const double x1 = xs[static_cast<std::size_t>(std::min(nx, (tx + 1) * kTile) - 1)];
            for (std::int64_t ty = ty0; ty <= ty1; ++ty) {
                const double y0 = ys[static_cast<std::size_t>(ty * kTile)];
                const double y1 = ys[static_cast<std::size_t>(std::min(ny, (ty + 1) * kTile) - 1)];
                if (SegmentBoxDistance2(b.mx[0], b.my[0], b.mx[last], b.my[last], x0, x1, y0, y1) >
                    reach * reach) {
                    continue;
                }
                tile_bridges[static_cast<std::size_t>(tx * tiles_y + ty)].push_back(
                    static_cast<std::int32_t>(index));
            }
        }
    }

    const std::int64_t count = nx * ny;
    Matrix output(static_cast<std::int32_t>(count + 1), 4);
    const double r = spec.resolution;
    const std::int64_t tile_count = tiles_x * tiles_y;
    const bool finished = ParallelFor(tile_count, control, {}, [&](std::int64_t tile) {
        const std::int64_t tx = tile / tiles_y;
        const std::int64_t ty = tile % tiles_y;
        const std::int64_t i0 = tx * kTile;
        const std::int64_t i1 = std::min(nx, i0 + kTile);
        const std::int64_t j0 = ty * kTile;
        const std::int64_t j1 = std::min(ny, j0 + kTile);
        const auto& listed = tile_bridges[static_cast<std::size_t>(tile)];
        TileSums sums;
        if (prune) {
            sums.Add(set, reach2, listed, xs.data() + i0, static_cast<int>(i1 - i0), ys.data() + j0,
                     static_cast<int>(j1 - j0));
        }
        for (std::int64_t i = i0; i < i1; ++i) {
            for (std::int64_t j = j0; j < j1; ++j) {
                const double x = xs[static_cast<std::size_t>(i)];
                const double y = ys[static_cast<std::size_t>(j)];
                const double p = prune
                                     ? sums.p[static_cast<std::size_t>((i - i0) * kTile + (j - j0))]
                                     : BridgeSum(set, x, y, false);
                const auto k = static_cast<std::int32_t>(i * ny + j);
                output(k, 0) = x;
                output(k, 1) = y;
                output(k, 2) = p / set.total_time * r * r;
            }
        }
    });
    if (!finished) {
        return Status::Cancelled();
    }
    return BridgeOutput{std::move(output), static_cast<std::int32_t>(count)};
}

} // namespace

StatusOr<BridgeOutput> CalcBBGrid(const Matrix& fixes, std::int32_t n, double sigma_m2,
                                  double max_time, const BridgeGridSpec& spec,
                                  const RunControl& control, bool prune) {
    try {
        return ComputeBBGrid(fixes, n, sigma_m2, max_time, spec, control, prune);
    } catch (const std::bad_alloc&) {
        return Status::Failure("There is not enough memory for this grid. Choose a larger "
                               "distance between grid points or a smaller extent.");
    }
}

StatusOr<BridgeOutput> CalcBBAtUserPts(const Matrix& fixes, std::int32_t n, double sigma_m2,
                                       double max_time, const Matrix& pts, std::int32_t m,
                                       const RunControl& control, bool prune) {
    if (Status held = CheckCount(pts, m, "user-specified points"); !held.Ok()) {
        return held;
    }
    if (m < 2) {
        return Status::Failure("At least 2 user-specified points are needed: the distance "
                               "between the first two sets the cell size.");
    }
    const double c = std::sqrt((pts(0, 0) - pts(1, 0)) * (pts(0, 0) - pts(1, 0)) +
                               (pts(0, 1) - pts(1, 1)) * (pts(0, 1) - pts(1, 1)));
    if (!(c > 0)) {
        return Status::Failure("The first two user-specified points are at the same place, so "
                               "the cell size (their distance) would be 0.");
    }
    const auto bridges = PrepareBridges(fixes, n, sigma_m2, max_time);
    if (!bridges.Ok()) {
        return bridges.status;
    }
    const BridgeSet& set = bridges.value;
    Matrix output(m + 1, 4);
    const bool finished = ParallelFor(m, control, {64, 64, {}}, [&](std::int64_t i) {
        const auto k = static_cast<std::int32_t>(i);
        const double x = pts(k, 0);
        const double y = pts(k, 1);
        output(k, 0) = x;
        output(k, 1) = y;
        output(k, 2) = BridgeDensity(set, x, y, prune) * c * c;
    });
    if (!finished) {
        return Status::Cancelled();
    }
    return BridgeOutput{std::move(output), m};
}

} // namespace ranvik
