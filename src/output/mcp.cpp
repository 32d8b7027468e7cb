#include "output/mcp.h"

#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/multi_point.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <algorithm>
#include <cmath>
#include <string>

namespace ranvik {
namespace {

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
// Counter-clockwise and closed, so the hull comes out in the order Mcp::ring promises and
// its area is positive.
using Polygon = bg::model::polygon<Point, false, true>;

// A hull whose area is below this share of the square of its larger extent is a line that
// rounding has given a sliver of area: a real polygon that thin (1 mm wide over 1000 km) does
// not occur among telemetry locations.
constexpr double kFlatShare = 1e-9;

std::string NotOnOneLine(double percent) {
    return "The " + FormatNumber(percent) +
           " % minimum convex polygon needs at least three locations that are not on one line.";
}

// The Euclidean distance of each of rows 0..n-1 to the mean of all n.
std::vector<double> CentroidDistances(const Matrix& xy, std::int32_t n) {
    double cx = 0.0;
    double cy = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        cx += xy(i, 0);
        cy += xy(i, 1);
    }
    cx /= n;
    cy /= n;
    std::vector<double> d(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const double dx = xy(i, 0) - cx;
        const double dy = xy(i, 1) - cy;
        d[static_cast<std::size_t>(i)] = std::sqrt(dx * dx + dy * dy);
    }
    return d;
}

// The `percent` quantile of the (non-empty) `d`, interpolated between order statistics as
// CalcMcp states.
double Quantile(std::vector<double> d, double percent) {
    std::sort(d.begin(), d.end());
    const std::size_t last = d.size() - 1;
    // A count times a whole-number percent is exact, so h is a whole number whenever it should
    // be; (n - 1) * (percent / 100) can fall short of one (50 * 0.58 is 28.999999999999996) and
    // drop the location at the quantile.
    const double h = static_cast<double>(last) * percent / 100;
    const double j = std::floor(h);
    const auto at = static_cast<std::size_t>(j);
    if (at >= last) {
        return d[last];
    }
    return d[at] + (h - j) * (d[at + 1] - d[at]);
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
    const std::vector<double> d = CentroidDistances(xy, n);
    const double q = Quantile(d, percent);
    bg::model::multi_point<Point> kept;
    for (std::int32_t i = 0; i < n; ++i) {
        if (d[static_cast<std::size_t>(i)] <= q) {
            kept.emplace_back(xy(i, 0), xy(i, 1));
        }
    }
    const auto k = static_cast<std::int32_t>(kept.size());
    if (k < 3) {
        return Status::Failure(NotOnOneLine(percent));
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
