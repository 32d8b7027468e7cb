#include "kernel/smoothing.h"

#include "support/locations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace ranvik {
namespace {

using testing::GaussianKernel;
using testing::Locations;
using testing::RelativelyNear;
using testing::TwoClusters;

// The scores may be reordered for speed as long as they stay within this of the formulas.
constexpr long double kRel = 1e-12L;
constexpr long double kPiL = std::numbers::pi_v<long double>;
constexpr long double kSmallest = std::numeric_limits<double>::denorm_min();

using SquaredDistances = std::vector<std::vector<long double>>;

// A 3-4-5 triangle, and two coincident locations with one 5 away from both.
const Matrix kTriangle = Locations({{0, 0}, {3, 0}, {0, 4}});
const SquaredDistances kTriangleD2 = {{0, 9, 16}, {9, 0, 25}, {16, 25, 0}};
const Matrix kDuplicate = Locations({{1, 1}, {1, 1}, {4, 5}});
const SquaredDistances kDuplicateD2 = {{0, 0, 25}, {0, 0, 25}, {25, 25, 0}};

// CV(h) = -sum_i ln(sum_{j != i} w_j K_h(d_ij^2)) / (n - 1), no floors.
long double ReferenceCV(const SquaredDistances& d2, long double h, std::vector<long double> w) {
    const std::size_t n = d2.size();
    w.resize(n, 1.0L);
    long double log_sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        long double s = 0;
        for (std::size_t j = 0; j < n; ++j) {
            s += j == i ? 0 : w[j] * GaussianKernel(d2[i][j], h);
        }
        log_sum += std::log(s);
    }
    return -log_sum / static_cast<long double>(n - 1);
}

// LSCV(h) = 1/(pi h^2 n) + S/(4 pi h^2 n^2), S over all ordered pairs, i = j included.
long double ReferenceLSCV(const SquaredDistances& d2, long double h) {
    const auto n = static_cast<long double>(d2.size());
    long double s = 0;
    for (const auto& row : d2) {
        for (const long double d : row) {
            s += std::exp(-d / (4 * h * h)) - 4 * std::exp(-d / (2 * h * h));
        }
    }
    return 1 / (kPiL * h * h * n) + s / (4 * kPiL * h * h * n * n);
}

TEST(CalcHref, TriangleGivesTheHandWorkedValueAndOnePointGivesZero) {
    // Means (1, 4/3); s_x^2 = 6/2 = 3, s_y^2 = (32/3)/2 = 16/3; sigma^2 = 25/6.
    const long double expected = std::sqrt(25.0L / 6) * std::pow(3.0L, -1.0L / 6);
    EXPECT_TRUE(RelativelyNear(CalcHref(kTriangle, 3), expected, kRel));
    EXPECT_EQ(CalcHref(Locations({{7, -2}, {7, -2}, {7, -2}}), 3), 0.0);
}

TEST(SmoothingScores, SmallSetsMatchTheFormulasWithCoincidentLocationsCountingExpZero) {
    const std::vector<long double> weights = {1.0L, 2.0L, 0.5L};
    for (const double h : {0.7, 2.0, 7.5}) {
        SCOPED_TRACE(h);
        for (const auto& [xy, d2] :
             {std::pair{&kTriangle, &kTriangleD2}, {&kDuplicate, &kDuplicateD2}}) {
            EXPECT_TRUE(RelativelyNear(CalcCVScore(*xy, h, 3, {}), ReferenceCV(*d2, h, {}), kRel));
            EXPECT_TRUE(RelativelyNear(CalcCVScore(*xy, h, 3, std::vector<double>{1.0, 2.0, 0.5}),
                                       ReferenceCV(*d2, h, weights), kRel));
            double h_in = h;
            EXPECT_TRUE(RelativelyNear(CalcLSCVScore(h_in, *xy, 3), ReferenceLSCV(*d2, h), kRel));
            EXPECT_EQ(h_in, h) << "an h above the floor is left alone";
        }
    }
}

TEST(SmoothingScores, UnderflowingTermsAreFlooredSoBothScoresStayFinite) {
    const Matrix far = Locations({{0, 0}, {1e6, 0}, {0, 1e6}, {1e6, 1e6}});
    // h = 1: exp underflows, and smallest / (2 pi) rounds to 0, so the product is floored too.
    EXPECT_TRUE(
        RelativelyNear(CalcCVScore(far, 1.0, 4, {}), -4 * std::log(3 * kSmallest) / 3, kRel));
    // h = 0.1: 1 / (2 pi h^2) = 15.9, so each product is 16 times the smallest double.
    EXPECT_TRUE(
        RelativelyNear(CalcCVScore(far, 0.1, 4, {}), -4 * std::log(3 * 16 * kSmallest) / 3, kRel));
    // d^2 / 2h^2 = 720: exp is subnormal but not 0, so it is kept: CV = -2 ln(e^-720 / 2 pi).
    EXPECT_TRUE(RelativelyNear(CalcCVScore(Locations({{0, 0}, {12, 36}}), 1.0, 2, {}),
                               2 * (720 + std::log(2 * kPiL)), kRel));
    // LSCV: only the n pairs i = j remain, S = -3n, so LSCV = 1/(4 pi h^2 n).
    double h = 1.5;
    EXPECT_TRUE(RelativelyNear(CalcLSCVScore(h, far, 4), 1 / (4 * kPiL * 1.5L * 1.5L * 4), kRel));
}

TEST(CalcLSCVScore, TinyZeroOrNegativeHIsRaisedTo1e20InTheCallersVariable) {
    // At h = 1e-20 every pair but i = j underflows, so LSCV = 1/(4 pi h^2 n).
    const long double expected = 1 / (4 * kPiL * 1e-40L * 3);
    for (const double start : {0.0, -0.0, -3.0, 1e-25, -1e-300}) {
        double h = start;
        EXPECT_TRUE(RelativelyNear(CalcLSCVScore(h, kTriangle, 3), expected, kRel)) << start;
        EXPECT_EQ(h, 1e-20) << start;
    }
}

TEST(SmoothingSearches, FewerThanTwoLocationsOrASinglePlaceFail) {
    const Matrix same = Locations({{3, 4}, {3, 4}, {3, 4}});
    for (const auto& [xy, n] : {std::pair{Matrix(1, 3), 0}, {Locations({{3, 4}}), 1}, {same, 3}}) {
        EXPECT_FALSE(CheckSmoothingInput(xy, n).error.empty()) << n;
    }
    EXPECT_TRUE(CheckSmoothingInput(Locations({{3, 4}, {3, 4}, {3, 5}}), 3).Ok());

    EXPECT_FALSE(CalcCVh(same, 1.0, 3, {}, {}).status.error.empty())
        << "a search that could never end";
    EXPECT_FALSE(CalcLSCVh(same, 1.0, 3, {}).status.error.empty());
}

TEST(SmoothingSearches, LSCVFindsALocalMinimumAndCVCarriesOnFromTheStartingWorkspace) {
    const Matrix xy = TwoClusters(60);
    const double h_ref = CalcHref(xy, 60);
    const auto lscv = CalcLSCVh(xy, h_ref, 60, {});
    ASSERT_TRUE(lscv.Ok()) << lscv.status.error;
    double h = lscv.value.h;
    EXPECT_EQ(lscv.value.minimiser.GoldenXMin, h);
    EXPECT_EQ(lscv.value.minimiser.GoldenTol, 0.001);
    const double at_min = CalcLSCVScore(h, xy, 60);
    for (double beside : {h * 0.97, h * 1.03}) {
        EXPECT_LT(at_min, CalcLSCVScore(beside, xy, 60)) << beside;
    }
    // The CV search hands no tolerance to the workspace, so a later CV search still shows the
    // LSCV search's; the triple and minimum are the search's own whatever the start held.
    const auto fresh = CalcCVh(xy, h_ref, 60, {}, {});
    const auto after_lscv = CalcCVh(xy, h_ref, 60, {}, lscv.value.minimiser);
    ASSERT_TRUE(fresh.Ok() && after_lscv.Ok());
    EXPECT_EQ(fresh.value.minimiser.GoldenTol, 0.0);
    EXPECT_EQ(after_lscv.value.minimiser.GoldenTol, 0.001);
    MinimiserWorkspace expected = fresh.value.minimiser;
    expected.GoldenTol = 0.001;
    EXPECT_TRUE(after_lscv.value.minimiser == expected);
    EXPECT_EQ(after_lscv.value.h, fresh.value.h);
    EXPECT_EQ(fresh.value.h, fresh.value.minimiser.GoldenXMin);
}

TEST(SmoothingScores, ParallelAndSequentialRunsAgreeToTheBit) {
    const Matrix xy = TwoClusters(400);
    std::vector<double> weights(400);
    for (std::size_t i = 0; i < weights.size(); ++i) {
        weights[i] = 0.2 + 0.8 * static_cast<double>(i % 7) / 6.0;
    }
    for (double h : {0.5, 12.0, 300.0}) {
        EXPECT_EQ(CalcCVScore(xy, h, 400, {}, false), CalcCVScore(xy, h, 400, {}, true)) << h;
        EXPECT_EQ(CalcCVScore(xy, h, 400, weights, false), CalcCVScore(xy, h, 400, weights, true))
            << h;
        EXPECT_EQ(CalcLSCVScore(h, xy, 400, false), CalcLSCVScore(h, xy, 400, true)) << h;
    }
}

} // namespace
} // namespace ranvik
