#include "output/mcp.h"

#include "support/locations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

using testing::Locations;
using XY = std::pair<double, double>;

// Two ways of summing the same hull's shoelace terms differ only in rounding.
constexpr double kRounding = 1e-12;

double Cross(const XY& o, const XY& a, const XY& b) {
    return (a.first - o.first) * (b.second - o.second) -
           (a.second - o.second) * (b.first - o.first);
}

// Andrew's monotone chain: the hull's corners counter-clockwise, not closed, points on an edge
// left out.
std::vector<XY> MonotoneChainHull(std::vector<XY> points) {
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.size() < 3) {
        return points;
    }
    std::vector<XY> hull(2 * points.size());
    std::size_t k = 0;
    for (const XY& p : points) {
        while (k >= 2 && Cross(hull[k - 2], hull[k - 1], p) <= 0) {
            --k;
        }
        hull[k++] = p;
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0) {
            --k;
        }
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    return hull;
}

// Shoelace area of a polygon (closed or not), positive when counter-clockwise, taken about
// its first vertex.
double SignedArea(const std::vector<XY>& ring) {
    double twice = 0.0;
    for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
        twice += Cross(ring[0], ring[i], ring[i + 1]);
    }
    return twice / 2;
}

std::set<XY> Corners(const std::vector<XY>& ring) {
    return {ring.begin(), ring.end()};
}

std::vector<XY> Rows(const Matrix& xy, std::int32_t n) {
    std::vector<XY> points;
    for (std::int32_t i = 0; i < n; ++i) {
        points.emplace_back(xy(i, 0), xy(i, 1));
    }
    return points;
}

std::string NotOnOneLine(const char* percent) {
    return std::string("The ") + percent +
           " % minimum convex polygon needs at least three locations that are not on one line.";
}

TEST(CalcMcp, UnitSquareWithAnInteriorPointHasAreaOne) {
    const Matrix xy = Locations({{0, 0}, {1, 0}, {0.5, 0.25}, {1, 1}, {0, 1}});
    const auto mcp = CalcMcp(xy, 5, 100);
    ASSERT_TRUE(mcp.Ok()) << mcp.status.error;
    EXPECT_EQ(mcp.value.percent, 100);
    EXPECT_EQ(mcp.value.locations, 5);
    EXPECT_EQ(mcp.value.area, 1.0);
    ASSERT_EQ(mcp.value.ring.size(), 5U) << "four corners and the first again";
    EXPECT_EQ(Corners(mcp.value.ring), (std::set<XY>{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
}

TEST(CalcMcp, FarthestLocationsAreDroppedFirst) {
    // Centroid (3.4, 2); distances A 3.945, B 2.088, C 1.077, D 3.4, E 7.250, so d(0..4) is
    // C B D A E and h = 4 p. 100 %: h = 4 keeps all, pentagon A B E C D, shoelace 41 / 2.
    // 90 %: h = 3.6, Q = 3.945 + 0.6 (7.250 - 3.945) = 5.928 drops E (90 % of 5 rounded up
    // would keep all five): quadrilateral A B C D, 18 / 2; 80 %: h = 3.2, Q = 4.606 the same.
    // 60 %: h = 2.4, Q = 3.4 + 0.4 (3.945 - 3.4) = 3.618 drops A too: triangle B C D, 10 / 2;
    // 50 %: h = 2, Q = d(2) = 3.4 keeps D, at the quantile itself: B C D again.
    const Matrix xy = Locations({{0, 0}, {4, 0}, {3, 3}, {0, 2}, {10, 5}});
    struct Case {
        double percent;
        std::int32_t kept;
        double area;
    };
    for (const Case c :
         {Case{100, 5, 20.5}, Case{90, 4, 9}, Case{80, 4, 9}, Case{60, 3, 5}, Case{50, 3, 5}}) {
        const auto mcp = CalcMcp(xy, 5, c.percent);
        ASSERT_TRUE(mcp.Ok()) << c.percent << ": " << mcp.status.error;
        EXPECT_EQ(mcp.value.locations, c.kept) << c.percent;
        EXPECT_DOUBLE_EQ(mcp.value.area, c.area) << c.percent;
    }
    EXPECT_EQ(Corners(CalcMcp(xy, 5, 80).value.ring),
              (std::set<XY>{{0, 0}, {4, 0}, {3, 3}, {0, 2}}));
    // 40 %: h = 1.6, Q = 2.088 + 0.6 (3.4 - 2.088) = 2.875 keeps C and B, which span no area.
    const auto two = CalcMcp(xy, 5, 40);
    ASSERT_FALSE(two.Ok());
    EXPECT_EQ(two.status.error, NotOnOneLine("40"));
}

TEST(CalcMcp, TenLocationsKeepThoseWithinTheInterpolatedQuantileOfTheirDistances) {
    // On the axes around the centroid (0, 0), in no particular order. Distances sorted:
    //     d(0..9) = 1 (1, 0), 2 (2, 0), 3 (-3, 0), 4 (4, 0), 5 (0, -5), 5 (0, 5),
    //               10 (-10, 0), 10 (10, 0), 13 (13, 0), 17 (-17, 0).
    // 95 %: h = 9 * 0.95 = 8.55, Q = d(8) + 0.55 (d(9) - d(8)) = 13 + 0.55 * 4 = 15.2 keeps nine,
    // all but (-17, 0); rounding 95 % of ten up would have kept all ten (area 150). The hull is
    // the kite (-10, 0) (0, -5) (13, 0) (0, 5), diagonals 23 and 10: area 23 * 10 / 2 = 115.
    // 50 %: h = 9 * 0.5 = 4.5, Q = d(4) + 0.5 (d(5) - d(4)) = 5 keeps six, both locations at 5,
    // where half of ten kept only the first of them (the triangle (-3, 0) (4, 0) (0, 5), 17.5).
    // The hull is the kite (-3, 0) (0, -5) (4, 0) (0, 5), diagonals 7 and 10: area 35.
    const Matrix xy = Locations(
        {{10, 0}, {1, 0}, {0, 5}, {-17, 0}, {-3, 0}, {0, -5}, {13, 0}, {2, 0}, {-10, 0}, {4, 0}});
    const auto most = CalcMcp(xy, 10, 95);
    ASSERT_TRUE(most.Ok()) << most.status.error;
    EXPECT_EQ(most.value.locations, 9);
    EXPECT_EQ(most.value.area, 115.0);
    EXPECT_EQ(Corners(most.value.ring), (std::set<XY>{{-10, 0}, {0, -5}, {13, 0}, {0, 5}}));

    const auto half = CalcMcp(xy, 10, 50);
    ASSERT_TRUE(half.Ok()) << half.status.error;
    EXPECT_EQ(half.value.locations, 6);
    EXPECT_EQ(half.value.area, 35.0);
    EXPECT_EQ(Corners(half.value.ring), (std::set<XY>{{-3, 0}, {0, -5}, {4, 0}, {0, 5}}));
}

TEST(CalcMcp, LocationsAsFarAsTheQuantileAreAllKeptWhateverTheirOrder) {
    // The four corners lie sqrt(2) from the centre (1, 1): d(0..4) = 0, then sqrt(2) four times.
    // 60 %: h = 2.4, Q = d(2) + 0.4 (d(3) - d(2)) = sqrt(2) keeps every corner, the square of
    // area 4 (rounding 60 % of five would have kept three). 20 %: h = 0.8, Q = 0.8 sqrt(2)
    // keeps the centre alone.
    for (const Matrix& square : {Locations({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {1, 1}}),
                                 Locations({{1, 1}, {2, 2}, {0, 2}, {0, 0}, {2, 0}})}) {
        const auto mcp = CalcMcp(square, 5, 60);
        ASSERT_TRUE(mcp.Ok()) << mcp.status.error;
        EXPECT_EQ(mcp.value.locations, 5);
        EXPECT_EQ(mcp.value.area, 4.0);
        EXPECT_EQ(Corners(mcp.value.ring), (std::set<XY>{{0, 0}, {2, 0}, {2, 2}, {0, 2}}));
        const auto centre = CalcMcp(square, 5, 20);
        ASSERT_FALSE(centre.Ok());
        EXPECT_EQ(centre.status.error, NotOnOneLine("20"));
    }

    // The twelve whole-number points 5 from the origin, three times each in shuffled order,
    // then two at the origin (the centroid): d(0..37) = 0, 0, then 5 thirty-six times. 25 %:
    // h = 37 * 0.25 = 9.25, Q = 5 keeps all 38. The hull is the twelve-sided polygon whose
    // triangles from the origin give, in one quadrant, (5, 0) (4, 3): 15, (4, 3) (3, 4): 7,
    // (3, 4) (0, 5): 15, twice 37 in all, so the area is 4 * 37 / 2 = 74. 5 %: h = 1.85,
    // Q = 0.85 * 5 keeps the two at the origin.
    const std::vector<XY> circle = {{5, 0},  {0, 5},  {-5, 0}, {0, -5}, {3, 4},   {4, 3},
                                    {-3, 4}, {-4, 3}, {3, -4}, {4, -3}, {-3, -4}, {-4, -3}};
    std::vector<XY> rows;
    for (int copy = 0; copy < 3; ++copy) {
        rows.insert(rows.end(), circle.begin(), circle.end());
    }
    std::shuffle(rows.begin(), rows.end(), std::mt19937(7U));
    rows.emplace_back(0, 0);
    rows.emplace_back(0, 0);
    Matrix xy(static_cast<std::int32_t>(rows.size()) + 1, 3);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        xy(static_cast<std::int32_t>(i), 0) = rows[i].first;
        xy(static_cast<std::int32_t>(i), 1) = rows[i].second;
    }
    const auto mcp = CalcMcp(xy, 38, 25);
    ASSERT_TRUE(mcp.Ok()) << mcp.status.error;
    EXPECT_EQ(mcp.value.locations, 38);
    EXPECT_EQ(Corners(mcp.value.ring), std::set<XY>(circle.begin(), circle.end()));
    EXPECT_DOUBLE_EQ(mcp.value.area, 74.0);
    const auto origin = CalcMcp(xy, 38, 5);
    ASSERT_FALSE(origin.Ok());
    EXPECT_EQ(origin.status.error, NotOnOneLine("5"));
}

TEST(CalcMcp, AQuantileThatFallsOnALocationKeepsIt) {
    // 51 locations 1, 2, ..., 51 from the centroid (0, 0), so d(i) = i + 1. At 58 %,
    // h = 50 * 0.58 = 29 exactly and Q = d(29) = 30: thirty are kept. Taking p = 0.58 first
    // gives h = 28.999999999999996, a Q a hair under 30, and only 29.
    // The 3-4-5 triangle (3, 4) (-3, 0) (0, -4) sums to the origin; every other distance comes
    // in fours a < b < c < d with a + d = b + c, laid on one axis as +a -b -c +d, which sum to
    // 0 too: {1, 2, 6, 7} and 8..51 four at a time, the axes taking turns.
    std::vector<XY> points = {{3, 4}, {-3, 0}, {0, -4}};
    std::vector<std::array<double, 4>> fours = {{1, 2, 6, 7}};
    for (double a = 8; a < 52; a += 4) {
        fours.push_back({a, a + 1, a + 2, a + 3});
    }
    for (std::size_t f = 0; f < fours.size(); ++f) {
        const double signs[] = {1, -1, -1, 1};
        for (std::size_t k = 0; k < 4; ++k) {
            const double v = signs[k] * fours[f][k];
            points.push_back(f % 2 == 0 ? XY{v, 0} : XY{0, v});
        }
    }
    ASSERT_EQ(points.size(), 51U);
    Matrix xy(52, 3);
    std::vector<XY> within; // the thirty within 30 of the origin
    for (std::size_t i = 0; i < points.size(); ++i) {
        xy(static_cast<std::int32_t>(i), 0) = points[i].first;
        xy(static_cast<std::int32_t>(i), 1) = points[i].second;
        if (std::hypot(points[i].first, points[i].second) <= 30) {
            within.push_back(points[i]);
        }
    }
    ASSERT_EQ(within.size(), 30U);
    const auto mcp = CalcMcp(xy, 51, 58);
    ASSERT_TRUE(mcp.Ok()) << mcp.status.error;
    EXPECT_EQ(mcp.value.locations, 30);
    EXPECT_DOUBLE_EQ(mcp.value.area, SignedArea(MonotoneChainHull(within)));
}

// The ring is closed and counter-clockwise, and has the corners of an independent hull, which
// holds every location.
TEST(CalcMcp, ManyLocationsMatchAnIndependentHull) {
    constexpr std::int32_t n = 5000;
    const Matrix xy = testing::TwoClusters(n);
    const std::vector<XY> points = Rows(xy, n);

    const auto all = CalcMcp(xy, n, 100);
    ASSERT_TRUE(all.Ok()) << all.status.error;
    const std::vector<XY> hull = MonotoneChainHull(points);
    EXPECT_EQ(all.value.locations, n);
    const std::vector<XY>& ring = all.value.ring;
    ASSERT_GE(ring.size(), 4U);
    EXPECT_EQ(ring.front(), ring.back());
    EXPECT_TRUE(testing::RelativelyNear(SignedArea(ring), all.value.area, kRounding));
    EXPECT_EQ(Corners(ring), Corners(hull));
    EXPECT_TRUE(testing::RelativelyNear(all.value.area, SignedArea(hull), kRounding));

    // 95 %: h = 4999 * 0.95 = 4749.05 puts Q between d(4749) and d(4750), so the 4750
    // locations nearest the mean are kept (random distances have no ties).
    double cx = 0.0;
    double cy = 0.0;
    for (const XY& p : points) {
        cx += p.first / n;
        cy += p.second / n;
    }
    std::vector<XY> nearest = points;
    std::sort(nearest.begin(), nearest.end(), [cx, cy](const XY& a, const XY& b) {
        return std::hypot(a.first - cx, a.second - cy) < std::hypot(b.first - cx, b.second - cy);
    });
    nearest.resize(4750);
    const auto most = CalcMcp(xy, n, 95);
    ASSERT_TRUE(most.Ok()) << most.status.error;
    EXPECT_EQ(most.value.locations, 4750);
    EXPECT_TRUE(testing::RelativelyNear(most.value.area, SignedArea(MonotoneChainHull(nearest)),
                                        kRounding));
    EXPECT_LT(most.value.area, all.value.area);

    // The same locations 5,000 km north (a UTM northing) keep their areas.
    Matrix north = xy;
    for (std::int32_t i = 0; i < n; ++i) {
        north(i, 1) += 5e6;
    }
    const auto far = CalcMcp(north, n, 100);
    ASSERT_TRUE(far.Ok()) << far.status.error;
    EXPECT_TRUE(testing::RelativelyNear(far.value.area, all.value.area, 1e-9));
}

TEST(CalcMcp, LocationsThatSpanNoAreaAreRefused) {
    const struct {
        const char* what;
        Matrix xy;
        std::int32_t n;
        double percent;
        const char* shown;
    } cases[] = {
        {"two locations", Locations({{0, 0}, {1, 2}}), 2, 100, "100"},
        {"none", Locations({}), 0, 100, "100"},
        {"on one line", Locations({{0, 0}, {1, 1}, {2, 2}, {4, 4}, {3, 3}}), 5, 100, "100"},
        // 0.1 and 0.3 are not exact, so these are a sliver of rounding off one line.
        {"almost on one line",
         Locations({{0, 5e6}, {0.1, 5e6 + 0.3}, {0.2, 5e6 + 0.6}, {0.7, 5e6 + 2.1}}), 4, 100,
         "100"},
        {"at one point", Locations({{5, 5}, {5, 5}, {5, 5}, {5, 5}}), 4, 95, "95"},
        // The three nearest the centroid (0, 0) lie on the x axis.
        {"kept on one line", Locations({{-1, 0}, {0, 10}, {0, 0}, {0, -10}, {1, 0}}), 5, 60, "60"},
    };
    for (const auto& c : cases) {
        const auto mcp = CalcMcp(c.xy, c.n, c.percent);
        ASSERT_FALSE(mcp.Ok()) << c.what;
        EXPECT_EQ(mcp.status.error, NotOnOneLine(c.shown)) << c.what;
    }
    EXPECT_TRUE(CalcMcp(cases[5].xy, 5, 100).Ok()) << "all five span an area";
}

TEST(CalcMcp, LevelsOutsideZeroToAHundredAndBadCountsAreRefused) {
    const Matrix xy = Locations({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    for (const double percent :
         {0.0, -5.0, 100.001, std::numeric_limits<double>::quiet_NaN(), HUGE_VAL}) {
        const auto mcp = CalcMcp(xy, 4, percent);
        ASSERT_FALSE(mcp.Ok()) << percent;
        EXPECT_EQ(mcp.status.error, "A minimum convex polygon level must lie between 0 and 100 %.");
    }
    EXPECT_FALSE(CalcMcp(xy, 6, 100).Ok()) << "more locations than rows";
    EXPECT_FALSE(CalcMcp(xy, -1, 100).Ok());

    Matrix bad = xy;
    bad(2, 1) = std::numeric_limits<double>::infinity();
    const auto mcp = CalcMcp(bad, 4, 100);
    ASSERT_FALSE(mcp.Ok());
    EXPECT_EQ(mcp.status.error, "Location 3 has a coordinate that is not a finite number.");
}

} // namespace
} // namespace ranvik
