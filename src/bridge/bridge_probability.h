#pragma once

#include "numerics/output_grid.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ranvik {

// The Brownian bridge, by the name its results are kept and asked for under.
inline constexpr std::string_view kBridgeName = "bb";

// One bridge between successive fixes a and a + 1 whose duration T is within the maximum
// time, prepared for evaluation at many points. The bridge is integrated over t = 0, dt, 2 dt,
// ... while t <= T with dt = T / 20 (t advanced by repeated addition, so there are 21 steps,
// or 20 when rounding carries the sum past T). At step k, with alpha = t / T:
//   mean mx_k, my_k = fix a + (fix a+1 - fix a) alpha,
//   var_k = e_a^2 (1 - alpha)^2 + alpha T (1 - alpha) sigma_m2 + e_b^2 alpha^2,
//   norm_k = 2 pi var_k.
struct Bridge {
    static constexpr int kMaxSteps = 21;
    using Steps = std::array<double, kMaxSteps>;

    double duration = 0.0; // T
    double dt = 0.0;
    int steps = 0;
    Steps mx{}, my{}, var{}, norm{};
    // Box around the step means, and the squared distance from it beyond which every step's
    // density is exactly 0: 0.5 d^2 / var_k then exceeds 746 for every step.
    double box_x0 = 0.0, box_x1 = 0.0, box_y0 = 0.0, box_y1 = 0.0;
    double reach2 = 0.0;
};

// The bridges of a track and their total duration W.
struct BridgeSet {
    std::vector<Bridge> bridges; // in time order
    double total_time = 0.0;     // W, the sum of the durations in time order
};

// Prepares the bridges of fixes 0..n-1 (x, y, time, location error; sorted by time) whose
// duration is at most max_time. Fails with a sentence for the user when no pair is within
// max_time (W = 0), two used fixes share a time, a bridge's variance is not positive
// somewhere (a location error of 0 at an end, or a variance parameter <= 0), or fewer than
// two fixes are loaded.
[[nodiscard]] StatusOr<BridgeSet> PrepareBridges(const Matrix& fixes, std::int32_t n,
                                                 double sigma_m2, double max_time);

// P, the sum over bridges in time order of their integrals at (x, y) (see BridgeDensity).
[[nodiscard]] double BridgeSum(const BridgeSet& set, double x, double y, bool prune = true);

// Probability density of occurrence at (x, y): P / W, P = sum over bridges in time order of
// Q = sum_k exp(-0.5 d_k^2 / var_k) / norm_k * dt, d_k the distance from the step mean. With
// `prune` a bridge whose every term is exactly 0 is not evaluated; the value is the same to
// the bit.
[[nodiscard]] double BridgeDensity(const BridgeSet& set, double x, double y, bool prune = true);

// The grid the user asks for: x from min_x while x <= max_x, y likewise, both stepping by
// `resolution` through repeated addition.
struct BridgeGridSpec {
    double min_x = 0.0, max_x = 0.0, min_y = 0.0, max_y = 0.0, resolution = 0.0;
};

// The most grid points computed at once: 40 million rows of output take about 1.3 GB.
inline constexpr std::int64_t kMaxBridgeGridPoints = 40'000'000;

// Reads the five boxes of the grid extent form (minimum and maximum x, minimum and maximum y,
// distance between grid points) and checks them: numbers, a positive distance, minima not
// above maxima, and a grid of at most kMaxBridgeGridPoints points.
[[nodiscard]] StatusOr<BridgeGridSpec>
ParseBridgeGridSpec(std::string_view min_x, std::string_view max_x, std::string_view min_y,
                    std::string_view max_y, std::string_view resolution);

// The same checks on numbers already read.
[[nodiscard]] Status CheckBridgeGridSpec(const BridgeGridSpec& spec);

// The automatic extent: the box of the fixes widened by a fifth of its range on every side.
[[nodiscard]] BridgeGridSpec AutoBridgeGridExtent(const Matrix& fixes, std::int32_t n);

// A computed probability surface: rows 0..count-1 of `output` hold x, y, probability and an
// unused column; row `count` is the spare row.
struct BridgeOutput {
    Matrix output;
    std::int32_t count = 0;
};

// The probability of occurrence over the grid, from the time-sorted fixes 0..n-1 of `fixes`
// (x, y, time, location error), the variance sigma_m2 and the longest time gap bridged
// `max_time`: rows k = column * rows + row hold x, y and (P / W) r r, in the order x outer,
// y inner, and `count` is the number of points. Cells are computed in parallel when `control`
// allows. With `prune`, the grid is formed tile by tile and each bridge only within its reach on
// this grid, beyond which all the terms left out together move no cell's value by more than
// 1.05e-15; without, every bridge at every cell. Fails with a sentence for the user when the
// grid or the bridges cannot be computed (a grid there is not memory for included); Cancelled
// when `control` asks to stop.
[[nodiscard]] StatusOr<BridgeOutput> CalcBBGrid(const Matrix& fixes, std::int32_t n,
                                                double sigma_m2, double max_time,
                                                const BridgeGridSpec& spec,
                                                const RunControl& control = {}, bool prune = true);

// The probability of occurrence at the user points 0..m-1 of `pts` (x, y): row k holds the
// point's x, y and (P / W) c c, c the distance between user points 0 and 1 (taken as the
// spacing of a regular grid of points), and `count` = m. The bridges are those of
// CalcBBGrid. Needs two user points at different places; Cancelled when `control` asks to
// stop.
[[nodiscard]] StatusOr<BridgeOutput> CalcBBAtUserPts(const Matrix& fixes, std::int32_t n,
                                                     double sigma_m2, double max_time,
                                                     const Matrix& pts, std::int32_t m,
                                                     const RunControl& control = {},
                                                     bool prune = true);

} // namespace ranvik
