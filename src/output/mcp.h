#pragma once

#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace ranvik {

// The minimum convex polygon, by the name its results are kept and asked for under.
inline constexpr std::string_view kMcpName = "mcp";

// The minimum convex polygon (MCP) home range at `percent` (0 < percent <= 100): the convex
// hull of the locations no farther from their centroid than the `percent` quantile of all the
// locations' distances to it.
//
// Selection: the centroid (cx, cy) is the arithmetic mean of all n locations, and location i
// lies at the Euclidean distance d_i = sqrt((x_i - cx)^2 + (y_i - cy)^2) from it. With the
// distances sorted ascending into d_(0) <= ... <= d_(n-1) and p = percent / 100, the quantile
// interpolates linearly between neighbouring order statistics:
//     h = (n - 1) p,   j = floor(h),   Q = d_(j) + (h - j) (d_(j+1) - d_(j))
// (Q = d_(n-1) when j = n - 1). This is the definition most statistics packages use by default
// ("type 7"). Every location with d_i <= Q is kept, so locations as far as Q are all kept
// whatever their order in the file, and 100 % keeps every location. h is taken as
// (n - 1) * percent / 100, which is exact for a whole-number percent, so a quantile that falls
// on an order statistic keeps that location rather than stopping a rounding error short of it.
//
// The polygon is the convex hull of the kept locations, its ring closed (first vertex ==
// last) and counter-clockwise, and its area (positive) is in squared map units.
struct Mcp {
    double percent = 0.0;
    std::int32_t locations = 0;                  // how many locations it encloses (kept)
    std::vector<std::pair<double, double>> ring; // hull vertices, closed, counter-clockwise
    double area = 0.0;                           // squared map units
};

// The MCP at `percent` of locations 0..n-1 of `xy` (x in column 0, y in column 1).
// Fails with a sentence for the user when percent is outside (0, 100], n exceeds the rows of
// `xy`, a coordinate is not finite, n < 3, or the kept locations do not span an area (they all
// lie on one line or at one point).
[[nodiscard]] StatusOr<Mcp> CalcMcp(const Matrix& xy, std::int32_t n, double percent);

} // namespace ranvik
