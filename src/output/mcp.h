#pragma once

#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace ranvik {

// The minimum convex polygon (MCP) home range at `percent` (0 < percent <= 100): the convex
// hull of the share `percent` of the locations nearest their centroid.
//
// Selection: the centroid (cx, cy) is the arithmetic mean of all n locations; each location i
// is ranked by its squared distance (x_i - cx)^2 + (y_i - cy)^2, nearest first, and locations
// at equal distance keep their order in the file (the lower row first). The first
//     k = max(1, ceil(percent * n / 100 - 1e-9))
// are kept; the 1e-9 keeps a share that is a whole number of locations but for rounding
// (100/3 % of 15 is 5.000000000000001 in floating point) from taking one more. At 100 % every
// location is kept.
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
