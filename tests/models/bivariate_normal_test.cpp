#include "models/bivariate_normal.h"

#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ranvik {
namespace {

using testing::Locations;
using testing::RelativelyNear;

// Moments and densities are the same sums in another order.
constexpr double kRel = 1e-12;

// x from 0 to 100, y from 0 to 200. By hand (divisor 4): means (50, 75), Sxx = 10000,
// Syy = 27500, Sxy = 5000.
const Matrix kFour = Locations({{0, 0}, {100, 0}, {0, 100}, {100, 200}});

// ln of the density of estimate e at (x, y), ln 1e-14 for exactly 0. The estimates themselves
// are checked by hand below.
double LogDensity(const BVNEstimate& e, double x, double y) {
    const double f = testing::NormalDensity(e.mean_x, e.mean_y, e.sigma_x, e.sigma_y, e.rho, x, y);
    return f == 0.0 ? std::log(1e-14) : std::log(f);
}

TEST(BVNEstimates, MatchTheHandWorkedMomentsWithAndWithoutWeights) {
    const BVNEstimate e = UnweightedBVN(kFour, 4);
    const double sy = std::sqrt(27500.0 / 4);
    EXPECT_DOUBLE_EQ(e.mean_x, 50.0);
    EXPECT_DOUBLE_EQ(e.mean_y, 75.0);
    EXPECT_DOUBLE_EQ(e.sigma_x, 50.0);
    EXPECT_DOUBLE_EQ(e.sigma_y, sy);
    EXPECT_DOUBLE_EQ(e.rho, 1250.0 / (50.0 * sy));
    // Weights (1, 1, 1, 3): W = 6, D = W (1 - 1/4) = 4.5, means (200/3, 350/3),
    // Sxx = 120000/9, Syy = 435000/9, Sxy = 120000/9.
    const BVNEstimate w = WeightedBVN(kFour, 4, {1, 1, 1, 3, 0});
    EXPECT_DOUBLE_EQ(w.mean_x, 200.0 / 3);
    EXPECT_DOUBLE_EQ(w.mean_y, 350.0 / 3);
    EXPECT_DOUBLE_EQ(w.sigma_x, std::sqrt(120000.0 / 9 / 4.5));
    EXPECT_DOUBLE_EQ(w.sigma_y, std::sqrt(435000.0 / 9 / 4.5));
    EXPECT_DOUBLE_EQ(w.rho, 120000.0 / std::sqrt(120000.0 * 435000.0));
    // Equal weights differ from no weights only in the divisor, n - 1 instead of n.
    const BVNEstimate q = WeightedBVN(kFour, 4, std::vector<double>(5, 2.5));
    EXPECT_DOUBLE_EQ(q.mean_y, e.mean_y);
    EXPECT_DOUBLE_EQ(q.sigma_y, e.sigma_y * std::sqrt(4.0 / 3));
    EXPECT_DOUBLE_EQ(q.rho, e.rho);
}

TEST(CompareBVN, GivesLogDensitiesCriteriaAndTheLeaveOneOutSum) {
    // Fitted without it, the last location's density is exactly 0 and counts ln(1e-14).
    const Matrix xy =
        Locations({{3, 4}, {-1, 2}, {5, 9}, {0, -3}, {7, 1}, {2, 6}, {-4, 0}, {1000, 0}});
    const auto compared = CompareBVN(xy, 8);
    ASSERT_TRUE(compared.Ok());
    const ModelComparison& c = compared.value;
    EXPECT_FALSE(c.fit.has_value()); // no simplex: the record's workspace stays
    double log_l = 0.0, loo = 0.0;
    ASSERT_EQ(c.loc_lik.size(), 8U);
    for (std::int32_t i = 0; i < 8; ++i) {
        const double l = LogDensity(UnweightedBVN(xy, 8), xy(i, 0), xy(i, 1));
        EXPECT_TRUE(RelativelyNear(c.loc_lik[static_cast<std::size_t>(i)], l, kRel)) << i;
        log_l += l;
        loo += LogDensity(UnweightedBVN(testing::Without(xy, 8, i), 7), xy(i, 0), xy(i, 1));
    }
    EXPECT_EQ(LogDensity(UnweightedBVN(xy, 7), 1000, 0), std::log(1e-14));
    EXPECT_TRUE(RelativelyNear(c.scores.neg2lnl, -2 * log_l, kRel));
    EXPECT_NEAR(c.scores.aicc - c.scores.neg2lnl, 10.0 * 8 / (8 - 6), 1e-9);
    EXPECT_TRUE(RelativelyNear(c.scores.cvc, -2 * loo, kRel));
}

TEST(CalcBVNHomeRange, GridHoldsTheFittedDensityAndAWeightedRunTheWeightedEstimates) {
    const auto plain = CalcBVNHomeRange(kFour, 4, nullptr, RunControl{{}, false});
    ASSERT_TRUE(plain.Ok());
    ASSERT_TRUE(plain.value.bvn.has_value());
    EXPECT_DOUBLE_EQ(plain.value.bvn->mean_y, 75.0);
    EXPECT_EQ(plain.value.grid.Rows(), 40001);
    // x: -50 .. 150 with dx = 1; y: -100 .. 300 with dy = 2.
    EXPECT_EQ(plain.value.grid(1, 1), -97.0);
    testing::ExpectGridOf(
        plain.value.grid, kFour, 4,
        [](double x, double y) { return std::exp(LogDensity(UnweightedBVN(kFour, 4), x, y)); },
        1e-11L);

    const std::vector<double> weights = {1, 1, 1, 3, 0};
    const auto weighted = CalcBVNHomeRange(kFour, 4, &weights, RunControl{{}, false});
    ASSERT_TRUE(weighted.Ok());
    EXPECT_DOUBLE_EQ(weighted.value.bvn->mean_x, 200.0 / 3);
    EXPECT_DOUBLE_EQ(weighted.value.bvn->sigma_y, std::sqrt(435000.0 / 9 / 4.5));
    const std::vector<double> short_weights = {1, 1};
    EXPECT_FALSE(CalcBVNHomeRange(kFour, 4, &short_weights).Ok());
}

} // namespace
} // namespace ranvik
