#include "output/mcp.h"

#include "support/locations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
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
    // Centroid (3.4, 2); squared distances A 15.56, B 4.36, C 1.16, D 11.56, E 52.56.
    const Matrix xy = Locations({{0, 0}, {4, 0}, {3, 3}, {0, 2}, {10, 5}});
    struct Case {
        double percent;
        std::int32_t kept;
        double area;
    };
    // 100 %: pentagon A B E C D, shoelace 41 / 2. 80 % (4 of 5) drops E: quadrilateral A B C
    // D, 18 / 2. 60 % (3) and 50 % (ceil 2.5 = 3) drop A too: triangle B C D, 10 / 2.
    for (const Case c : {Case{100, 5, 20.5}, Case{80, 4, 9}, Case{60, 3, 5}, Case{50, 3, 5}}) {
        const auto mcp = CalcMcp(xy, 5, c.percent);
        ASSERT_TRUE(mcp.Ok()) << c.percent << ": " << mcp.status.error;
        EXPECT_EQ(mcp.value.locations, c.kept) << c.percent;
        EXPECT_DOUBLE_EQ(mcp.value.area, c.area) << c.percent;
    }
    EXPECT_EQ(Corners(CalcMcp(xy, 5, 80).value.ring),
              (std::set<XY>{{0, 0}, {4, 0}, {3, 3}, {0, 2}}));
    // 40 % keeps two locations (C and B), which span no area.
    const auto two = CalcMcp(xy, 5, 40);
    ASSERT_FALSE(two.Ok());
    EXPECT_EQ(two.status.error, NotOnOneLine("40"));
}

TEST(CalcMcp, AShareThatIsAWholeNumberOfLocationsButForRoundingTakesNoMore) {
    // 100/3 % of 15 is 5.000000000000001 in floating point; a third of 15 is 5.
    Matrix xy(16, 3);
    for (std::int32_t i = 0; i < 15; ++i) {
        xy(i, 0) = i % 5;
        xy(i, 1) = (i * i) % 7;
    }
    const auto third = CalcMcp(xy, 15, 100.0 / 3);
    ASSERT_TRUE(third.Ok()) << third.status.error;
    EXPECT_EQ(third.value.locations, 5);
    const auto more = CalcMcp(xy, 15, 34);
    ASSERT_TRUE(more.Ok()) << more.status.error;
    EXPECT_EQ(more.value.locations, 6) << "5.1 locations round up";
}

TEST(CalcMcp, EquallyDistantLocationsAreKeptInRowOrder) {
    // The four corners lie 2 (squared) from the centre (1, 1); the centre and the first two
    // corners make the 60 % polygon, whichever corners come first.
    const auto first = CalcMcp(Locations({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {1, 1}}), 5, 60);
    ASSERT_TRUE(first.Ok()) << first.status.error;
    EXPECT_EQ(Corners(first.value.ring), (std::set<XY>{{0, 0}, {2, 0}, {1, 1}}));
    EXPECT_EQ(first.value.area, 1.0);
    const auto turned = CalcMcp(Locations({{2, 2}, {0, 2}, {0, 0}, {2, 0}, {1, 1}}), 5, 60);
    ASSERT_TRUE(turned.Ok()) << turned.status.error;
    EXPECT_EQ(Corners(turned.value.ring), (std::set<XY>{{2, 2}, {0, 2}, {1, 1}}));

    // Enough ties that a sort which does not keep equal rows in order would mix them: the
    // twelve whole-number points at distance 5 from the origin, three times each in shuffled
    // order, then two locations at the origin (the centroid), which come first. 25 % of 38 is
    // 9.5: the two at the origin and the first eight rows.
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
    std::vector<XY> kept(rows.begin(), rows.begin() + 8);
    kept.emplace_back(0, 0);
    const std::vector<XY> expected = MonotoneChainHull(kept);
    ASSERT_GT(SignedArea(expected), 0.0);

    const auto mcp = CalcMcp(xy, 38, 25);
    ASSERT_TRUE(mcp.Ok()) << mcp.status.error;
    EXPECT_EQ(mcp.value.locations, 10);
    EXPECT_EQ(Corners(mcp.value.ring), Corners(expected));
    EXPECT_DOUBLE_EQ(mcp.value.area, SignedArea(expected));
}

TEST(CalcMcp, RingIsClosedCounterClockwiseAndHoldsEveryKeptLocation) {
    const Matrix xy = testing::TwoClusters(300);
    const auto mcp = CalcMcp(xy, 300, 100);
    ASSERT_TRUE(mcp.Ok()) << mcp.status.error;
    const std::vector<XY>& ring = mcp.value.ring;
    ASSERT_GE(ring.size(), 4U);
    EXPECT_EQ(ring.front(), ring.back());
    EXPECT_GT(SignedArea(ring), 0.0);
    EXPECT_TRUE(testing::RelativelyNear(SignedArea(ring), mcp.value.area, kRounding));
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        for (const XY& p : Rows(xy, 300)) {
            // Left of (or on) every edge, up to the rounding of the cross product.
            const double scale = 1e-9 * mcp.value.area;
            EXPECT_GE(Cross(ring[i], ring[i + 1], p), -scale) << p.first << ", " << p.second;
        }
    }
}

TEST(CalcMcp, ManyLocationsMatchAnIndependentHull) {
    constexpr std::int32_t n = 5000;
    const Matrix xy = testing::TwoClusters(n);
    const std::vector<XY> points = Rows(xy, n);

    const auto all = CalcMcp(xy, n, 100);
    ASSERT_TRUE(all.Ok()) << all.status.error;
    const std::vector<XY> hull = MonotoneChainHull(points);
    EXPECT_EQ(all.value.locations, n);
    EXPECT_EQ(Corners(all.value.ring), Corners(hull));
    EXPECT_TRUE(testing::RelativelyNear(all.value.area, SignedArea(hull), kRounding));

    // 95 %: the 4750 locations nearest the mean (random distances have no ties).
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
