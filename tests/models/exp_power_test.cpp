#include "models/exp_power.h"

#include "models/model_data.h"
#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ranvik {
namespace {

using testing::RelativelyNear;

// The six-term Lanczos series in the model against std::tgamma here: about 2e-10 relative.
constexpr double kGammaSeries = 1e-9;

Matrix CircularSample(std::int32_t n, double cx, double cy, double sigma, unsigned seed) {
    return testing::NormalSample({{n, cx, cy, sigma, sigma, 0}}, seed);
}

// The full-data fit from the moment-based start, on a workspace of its own.
FitCopy Fitted(const Matrix& xy, std::int32_t n, testing::RecordingNotifier& notifier) {
    FitCopy fit;
    fit.loc_lik.resize(static_cast<std::size_t>(n));
    FitContext ctx = fit.Context(notifier);
    InitExpPowerSimplex(ctx, xy, n);
    FitExpPower(ctx, xy, n);
    return fit;
}

std::vector<double> Estimate(const Matrix& xy, std::int32_t n) {
    testing::RecordingNotifier notifier;
    return Fitted(xy, n, notifier).simplex.ModelParams;
}

TEST(InitExpPowerSimplex, VerticesComeFromThePopulationMoments) {
    // Means (0, 0), sx = 100, sy = 50.
    const Matrix xy = testing::Locations({{100, 50}, {-100, 50}, {100, -50}, {-100, -50}});
    FitCopy fit;
    testing::RecordingNotifier notifier;
    FitContext ctx = fit.Context(notifier);
    InitExpPowerSimplex(ctx, xy, 4);
    const double expected[6][5] = {{},
                                   {0, 0, 0, 100, 1.0},
                                   {0, -90, 0, 50, 0.88},
                                   {0, -90, 45, 150, 0.1},
                                   {0, 0, -50.5, 75, 0.5},
                                   {0, 0, 0, 75, 0.33}};
    for (std::size_t k = 1; k <= 5; ++k) {
        ASSERT_EQ(fit.starts.ExpPowerStart[k].size(), 5U) << k;
        for (std::size_t j = 1; j <= 4; ++j) {
            EXPECT_DOUBLE_EQ(fit.starts.ExpPowerStart[k][j], expected[k][j]) << k << "," << j;
        }
    }
}

TEST(FitExpPower, RecoversACircularNormalSample) {
    const std::vector<double> p = Estimate(CircularSample(300, 500, 1200, 30, 7U), 300);
    // A mean is good to sigma / sqrt(300) = 1.7. The shape is loosely determined, but the
    // variance per coordinate, a^2 Gamma(2s) / (2 Gamma(s)) (a^2 / 2 at s = 1), to about 6%.
    EXPECT_NEAR(p[1], 500, 6);
    EXPECT_NEAR(p[2], 1200, 6);
    EXPECT_TRUE(p[4] > 0.7 && p[4] <= 1.0) << p[4];
    EXPECT_TRUE(
        RelativelyNear(p[3] * std::sqrt(std::tgamma(2 * p[4]) / (2 * std::tgamma(p[4]))), 30, 0.1));
}

TEST(CompareExpPower, StoresTheCriteriaAndTheLogDensitiesAtTheEstimate) {
    const std::int32_t n = 12;
    State state;
    state.LocXY = CircularSample(n, 10, 20, 5, 3U);
    const Matrix xy = state.LocXY;
    testing::RecordingNotifier notifier;
    ASSERT_TRUE(CompareExpPower(state, state.LocXY, n, notifier).Ok());
    EXPECT_EQ(state.LocXY, xy);
    const std::vector<double> estimate = Estimate(xy, n);
    double log_l = 0.0;
    ASSERT_EQ(state.LocLikExpPower.size(), static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const double l = std::log(testing::ExpPowerByTgamma(estimate, xy(i, 0), xy(i, 1)));
        EXPECT_NEAR(state.LocLikExpPower[static_cast<std::size_t>(i)], l, kGammaSeries) << i;
        log_l += l;
    }
    EXPECT_NEAR(state.Neg2LnLExpPower, -2 * log_l, n * kGammaSeries);
    EXPECT_NEAR(state.AICcExpPower - state.Neg2LnLExpPower, 8.0 * n / (n - 5), 1e-9);
}

TEST(CompareExpPower, LastEvaluationKeepsWhatTheObjectiveLeft) {
    const std::int32_t n = 12;
    const Matrix xy = CircularSample(n, 10, 20, 5, 3U);
    testing::RecordingNotifier notifier;
    State at_estimate, last;
    ASSERT_TRUE(CompareExpPower(at_estimate, xy, n, notifier).Ok());
    ASSERT_TRUE(CompareExpPower(last, xy, n, notifier, {}, PerLocationValues::LastEvaluation).Ok());
    // The same steps by hand: the full-data fit, whose last trial point leaves location
    // n-1's value, then the leave-one-out fits, which see only n-1 locations.
    FitCopy fit = Fitted(xy, n, notifier);
    const double full_fit_last = fit.loc_lik[n - 1];
    FitContext ctx = fit.Context(notifier);
    const auto cvc = CalcExpPowerCVC(ctx, xy, n);
    ASSERT_TRUE(cvc.Ok());
    EXPECT_EQ(last.CVCExpPower, cvc.value);
    EXPECT_EQ(last.LocLikExpPower, fit.loc_lik);
    EXPECT_EQ(last.LocLikExpPower[n - 1], full_fit_last);
    EXPECT_EQ(last.Simplex, fit.simplex) << "the last leave-one-out fit stays";
    EXPECT_NE(last.LocLikExpPower, at_estimate.LocLikExpPower);
    EXPECT_EQ(at_estimate.Simplex, last.Simplex);
    EXPECT_EQ(at_estimate.CVCExpPower, last.CVCExpPower);
    EXPECT_EQ(at_estimate.AICcExpPower, last.AICcExpPower);
}

TEST(CalcExpPowerCVC, EachPassRefitsTheOthersAroundThePreviousFitAndScoresTheOneLeftOut) {
    const std::int32_t n = 15;
    const Matrix xy = CircularSample(n, 10, 20, 5, 4U);
    testing::RecordingNotifier notifier;
    FitCopy fit = Fitted(xy, n, notifier);
    FitCopy chain = fit;
    FitContext ctx = fit.Context(notifier);
    const auto cvc = CalcExpPowerCVC(ctx, xy, n);
    ASSERT_TRUE(cvc.Ok());
    FitContext by_hand = chain.Context(notifier);
    double loo = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::vector<double> p = chain.simplex.ModelParams;
        const double a = p[3];
        auto& v = chain.starts.ExpPowerStart;
        v[1] = {0, p[1], p[2], a, p[4]};
        v[2] = {0, p[1] + 0.5 * a, p[2], a + 0.2 * a, 0.33};
        v[3] = {0, p[1], p[2] + 0.22 * a, a, 1.0};
        v[4] = {0, p[1] - 0.22 * a, p[2] - 0.33 * a, a - 0.12 * a, 0.88};
        v[5] = {0, p[1] + 0.6 * a, p[2] + 0.3 * a, a + 0.07 * a, 0.5};
        FitExpPower(by_hand, WithoutLocation(xy, n, i), n - 1);
        // A flat-topped fit can leave the location outside: ln(1e-14) for exactly 0.
        const double f = testing::ExpPowerByTgamma(chain.simplex.ModelParams, xy(i, 0), xy(i, 1));
        loo += f == 0.0 ? std::log(1e-14) : std::log(f);
    }
    EXPECT_NEAR(cvc.value, -2 * loo, 2 * n * kGammaSeries);
    EXPECT_EQ(fit.simplex, chain.simplex) << "the last pass's fit stays";
}

} // namespace
} // namespace ranvik
