#include "output/mcp.h"

#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/multi_point.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

namespace ranvik {
namespace {

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
// Counter-clockwise and closed, so the hull comes out in the order Mcp::ring promises and
// its area is positive.
using Polygon = bg::model::polygon<Point, false, true>;

// Rounding of a share to a whole number of locations: a product such as 100/3 % of 15 comes
// out a hair above 5 and must keep 5 locations, not 6.
constexpr double kShareRounding = 1e-9;

// A hull whose area is below this share of the square of its larger extent is a line that
// rounding has given a sliver of area: a real polygon that thin (1 mm wide over 1000 km) does
// not occur among telemetry locations.
constexpr double kFlatShare = 1e-9;

std::string NotOnOneLine(double percent) {
    return "The " + FormatNumber(percent) +
           " % minimum convex polygon needs at least three locations that are not on one line.";
}

// Rows 0..n-1 ranked by squared distance to the mean of all n, nearest first; the stable
// sort keeps equally distant rows in row order.
std::vector<std::int32_t> NearestFirst(const Matrix& xy, std::int32_t n) {
    double cx = 0.0;
    double cy = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        cx += xy(i, 0);
        cy += xy(i, 1);
    }
    cx /= n;
    cy /= n;
    std::vector<double> d2(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const double dx = xy(i, 0) - cx;
        const double dy = xy(i, 1) - cy;
        d2[static_cast<std::size_t>(i)] = dx * dx + dy * dy;
    }
    std::vector<std::int32_t> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&d2](std::int32_t a, std::int32_t b) {
        return d2[static_cast<std::size_t>(a)] < d2[static_cast<std::size_t>(b)];
    });
    return order;
}

} // namespace

StatusOr<Mcp> CalcMcp(const Matrix& xy, std::int32_t n, double percent) {
    if (!(percent > 0 && percent <= 100)) {
        return Status::Failure("A minimum convex polygon level must lie between 0 and 100 %.");
    }
    if (Status rows = CheckCount(xy, n, "locations"); !rows.Ok()) {
        return rows;
    }
    if (n < 3) {
        return Status::Failure(NotOnOneLine(percent));
    }
    if (xy.Cols() < 2) {
        return Status::Failure("The locations have no y coordinates; load the file again.");
    }
    for (std::int32_t i = 0; i < n; ++i) {
        if (!std::isfinite(xy(i, 0)) || !std::isfinite(xy(i, 1))) {
            return Status::Failure("Location " + std::to_string(i + 1) +
                                   " has a coordinate that is not a finite number.");
        }
    }
    const double share = std::ceil(percent * n / 100 - kShareRounding);
    const auto k = std::clamp(static_cast<std::int32_t>(share), std::int32_t{1}, n);
    if (k < 3) {
        return Status::Failure(NotOnOneLine(percent));
    }

    const std::vector<std::int32_t> order = NearestFirst(xy, n);
    bg::model::multi_point<Point> kept;
    kept.reserve(static_cast<std::size_t>(k));
    for (std::int32_t r = 0; r < k; ++r) {
        const std::int32_t i = order[static_cast<std::size_t>(r)];
        kept.emplace_back(xy(i, 0), xy(i, 1));
    }
    Polygon hull;
    bg::convex_hull(kept, hull);

    // The area is taken about the hull's first vertex, so that coordinates far from the origin
    // (UTM northings of millions of metres) lose no digits of a small polygon's area.
    const auto& outer = hull.outer();
    if (outer.empty()) {
        return Status::Failure(NotOnOneLine(percent));
    }
    const Point origin = outer.front();
    Polygon local;
    double extent_x = 0.0;
    double extent_y = 0.0;
    for (const Point& p : outer) {
        local.outer().emplace_back(p.x() - origin.x(), p.y() - origin.y());
        extent_x = std::max(extent_x, std::abs(p.x() - origin.x()));
        extent_y = std::max(extent_y, std::abs(p.y() - origin.y()));
    }
    const double extent = std::max(extent_x, extent_y);
    const double area = bg::area(local);
    if (!(area > kFlatShare * extent * extent)) {
        return Status::Failure(NotOnOneLine(percent));
    }

    Mcp mcp;
    mcp.percent = percent;
    mcp.locations = k;
    mcp.area = area;
    mcp.ring.reserve(outer.size());
    for (const Point& p : outer) {
        mcp.ring.emplace_back(p.x(), p.y());
    }
    return mcp;
}

} // namespace ranvik
