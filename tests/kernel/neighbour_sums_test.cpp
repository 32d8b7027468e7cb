#include "kernel/neighbour_sums.h"
#include "kernel/smoothing.h"
#include "numerics/minimiser.h"
#include "state/constants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

// A GPS-like track: a correlated walk that rests at a few sites (many fixes within metres of
// each other, some exactly repeated), with a handful of far excursions, at UTM-like coordinates.
Matrix GpsTrack(std::int32_t n, unsigned seed = 9) {
    std::mt19937 random(seed);
    std::normal_distribution<double> step(0.0, 25.0);
    std::normal_distribution<double> jitter(0.0, 3.0);
    Matrix xy(n + 1, 3);
    double x = 612000.0, y = 5423000.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const int phase = (i / 150) % 4;
        if (phase == 1) { // resting: fixes scatter around one spot, some repeated exactly
            xy(i, 0) = i % 5 == 0 ? x : x + jitter(random);
            xy(i, 1) = i % 5 == 0 ? y : y + jitter(random);
            continue;
        }
        x += step(random);
        y += step(random);
        xy(i, 0) = x;
        xy(i, 1) = y;
    }
    xy(n - 1, 0) = x + 40000.0; // an excursion far from everything
    xy(n - 1, 1) = y - 30000.0;
    return xy;
}

double PlainCV(const Matrix& xy, std::int32_t n, double h) {
    const Points points = PointsOf(xy, n);
    const double two_h2 = 2 * (h * h);
    const std::vector<double> c(static_cast<std::size_t>(n), 1 / (2 * kPi * (h * h)));
    double sum = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        sum += std::log(CVRowSum(i, points, c, two_h2));
    }
    return -sum / (n - 1.0);
}

double PlainLSCV(const Matrix& xy, std::int32_t n, double h) {
    const Points points = PointsOf(xy, n);
    double s = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        s += LSCVRowSum(i, points, 4 * (h * h), 2 * (h * h));
    }
    const double count = n;
    return s * (1 / (count * count * (h * h) * 4 * kPi)) + 1 / (count * (h * h) * kPi);
}

// Two activity centres, and the same with a third of the locations piled on one point.
Matrix TwoCentres(std::int32_t n, bool piled) {
    std::mt19937 random(17);
    std::normal_distribution<double> spread(0.0, 200.0);
    Matrix xy(n + 1, 3);
    for (std::int32_t i = 0; i < n; ++i) {
        const bool first = i % 5 < 3;
        xy(i, 0) = (first ? 557800.0 : 558600.0) + spread(random);
        xy(i, 1) = (first ? 5425000.0 : 5425600.0) + spread(random);
        if (piled && i % 3 == 0) {
            xy(i, 0) = 557801.5;
            xy(i, 1) = 5425002.25;
        }
    }
    return xy;
}

TEST(NeighbourSums, ScoresAndRowSumsStayWithin1e12OfThePlainSums) {
    const std::int32_t n = 3000;
    const std::vector<std::pair<std::string, Matrix>> data = {{"track", GpsTrack(n)},
                                                              {"two centres", TwoCentres(n, false)},
                                                              {"piled", TwoCentres(n, true)}};
    for (const auto& [name, xy] : data) {
        const Points points = PointsOf(xy, n);
        // From below the resting scatter to a reach that spans everything many times over.
        for (const double h : {0.05, 2.0, 10.0, 60.0, 400.0, 5000.0, 1e7}) {
            SCOPED_TRACE(name + ", h = " + std::to_string(h));
            const double cv = CalcCVScore(xy, h, n, {});
            const double plain_cv = PlainCV(xy, n, h);
            EXPECT_LE(std::fabs(cv - plain_cv), 1e-12 * std::fabs(plain_cv))
                << cv << " " << plain_cv;
            double raised = h;
            const double lscv = CalcLSCVScore(raised, xy, n);
            const double plain_lscv = PlainLSCV(xy, n, h);
            EXPECT_LE(std::fabs(lscv - plain_lscv), 1e-12 * std::fabs(plain_lscv))
                << lscv << " " << plain_lscv;
            const double two_h2 = 2 * (h * h);
            const double norm = 2 * kPi * (h * h);
            const auto pilot = NearKernelRowSums(points, two_h2, 1 / norm, true);
            ASSERT_TRUE(pilot.has_value());
            for (std::size_t i = 0; i < points.size(); i += 101) {
                const double plain =
                    FixedKernelSum(points.x[i], points.y[i], points, nullptr, two_h2, norm);
                EXPECT_LE(std::fabs((*pilot)[i] - plain), 1e-13 * plain) << "row " << i;
            }
        }
    }
    const Points few = PointsOf(GpsTrack(499), 499);
    EXPECT_FALSE(NearLSCVSum(few, 4 * 100.0, true).has_value());
}

TEST(NeighbourSums, SearchesFindTheHsOfThePlainSums) {
    const std::int32_t n = 2000;
    const Matrix xy = TwoCentres(n, false);
    const double h_ref = CalcHref(xy, n);
    for (const bool lscv : {true, false}) {
        const MinimiserInstance& search = lscv ? kLSCVSearch : kCVSearch;
        const Criterion score = [&](double& h) {
            h = lscv ? std::max(h, 1e-20) : h; // as the LSCV score raises it
            return lscv ? PlainLSCV(xy, n, h) : PlainCV(xy, n, h);
        };
        MinimiserWorkspace plain;
        ASSERT_TRUE(BracketMinimum(plain, search, h_ref - 0.98 * h_ref, h_ref / 2, score, {}).Ok());
        ASSERT_TRUE(GoldenSection(plain, search, score, {}).Ok());
        const auto found = lscv ? CalcLSCVh(xy, h_ref, n, {}) : CalcCVh(xy, h_ref, n, {}, {});
        ASSERT_TRUE(found.Ok()) << lscv;
        EXPECT_LE(std::fabs(found.value.h - plain.GoldenXMin), 1e-12 * plain.GoldenXMin) << lscv;
    }
}

TEST(NeighbourSums, AnIsolatedLocationsRowIsSummedInFull) {
    const std::int32_t n = 2500;
    const Matrix xy = GpsTrack(n, 4);
    const Points points = PointsOf(xy, n);
    const std::vector<double> c(static_cast<std::size_t>(n), 1 / (2 * kPi));
    const auto rows = NearCVRowSums(points, c, 2.0, false);
    ASSERT_TRUE(rows.has_value());
    // The excursion's only terms are far below any reach: its row is the plain one exactly.
    EXPECT_EQ((*rows)[n - 1], CVRowSum(n - 1, points, c, 2.0));
    for (std::size_t i = 0; i + 1 < points.size(); i += 97) {
        const double plain = CVRowSum(i, points, c, 2.0);
        EXPECT_LE(std::fabs((*rows)[i] - plain), 1e-13 * plain) << "row " << i;
    }
}

TEST(NeighbourSums, ThreadsDoNotChangeABit) {
    const std::int32_t n = 4000;
    const Matrix xy = GpsTrack(n, 5);
    const Points points = PointsOf(xy, n);
    const std::vector<double> c(static_cast<std::size_t>(n), 0.25);
    for (const double h : {3.0, 80.0, 2000.0}) {
        EXPECT_EQ(*NearCVRowSums(points, c, 2 * h * h, true),
                  *NearCVRowSums(points, c, 2 * h * h, false));
        EXPECT_EQ(*NearKernelRowSums(points, 2 * h * h, 0.5, true),
                  *NearKernelRowSums(points, 2 * h * h, 0.5, false));
        EXPECT_EQ(*NearLSCVSum(points, 4.0 * h * h, true),
                  *NearLSCVSum(points, 4.0 * h * h, false));
    }
}

} // namespace
} // namespace ranvik
