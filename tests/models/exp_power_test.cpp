#include "models/exp_power.h"

#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ranvik {
namespace {

using testing::ExpPowerByTgamma;

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

TEST(InitExpPowerSimplex, VerticesComeFromThePopulationMoments) {
    FitCopy fit;
    testing::RecordingNotifier notifier;
    FitContext ctx = fit.Context(notifier);
    InitExpPowerSimplex(ctx, testing::MomentSquare(), 4);
    const std::vector<double> expected[] = {{0, 0, 0, 100, 1.0},
                                            {0, -90, 0, 50, 0.88},
                                            {0, -90, 45, 150, 0.1},
                                            {0, 0, -50.5, 75, 0.5},
                                            {0, 0, 0, 75, 0.33}};
    for (std::size_t k = 1; k <= 5; ++k) {
        EXPECT_EQ(fit.starts.ExpPowerStart[k], expected[k - 1]) << k;
    }
}

TEST(FitExpPower, RecoversACircularNormalSample) {
    testing::RecordingNotifier notifier;
    const std::vector<double> p =
        Fitted(CircularSample(300, 500, 1200, 30, 7U), 300, notifier).simplex.ModelParams;
    // A mean is good to sigma / sqrt(300) = 1.7. The shape is loosely determined, but the
    // variance per coordinate, a^2 Gamma(2s) / (2 Gamma(s)) (a^2 / 2 at s = 1), to about 6%.
    EXPECT_NEAR(p[1], 500, 6);
    EXPECT_NEAR(p[2], 1200, 6);
    EXPECT_TRUE(p[4] > 0.7 && p[4] <= 1.0) << p[4];
    EXPECT_TRUE(testing::RelativelyNear(
        p[3] * std::sqrt(std::tgamma(2 * p[4]) / (2 * std::tgamma(p[4]))), 30, 0.1));
}

TEST(CompareExpPower, GivesValuesAtTheEstimateAndTheLeaveOneOutSumOfRefitsAroundThePrevious) {
    const std::int32_t n = 12;
    const Matrix xy = CircularSample(n, 10, 20, 5, 3U);
    testing::RecordingNotifier notifier;
    const auto at_estimate = CompareExpPower(xy, n, {}, notifier);
    ASSERT_TRUE(at_estimate.Ok());
    const auto at_last =
        CompareExpPower(xy, n, {}, notifier, {}, PerLocationValues::LastEvaluation);
    ASSERT_TRUE(at_last.Ok());
    const ModelComparison& state = at_estimate.value;
    const ModelComparison& last = at_last.value;

    // By hand: the full-data fit, then each pass refits the others from a simplex around the
    // previous fit and scores the one left out (ln 1e-14 when a flat top leaves it outside).
    FitCopy chain = Fitted(xy, n, notifier);
    const std::vector<double> estimate = chain.simplex.ModelParams;
    FitContext ctx = chain.Context(notifier);
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
        FitExpPower(ctx, testing::Without(xy, n, i), n - 1);
        const double f = ExpPowerByTgamma(chain.simplex.ModelParams, xy(i, 0), xy(i, 1));
        loo += f == 0.0 ? std::log(1e-14) : std::log(f);
    }

    double log_l = 0.0;
    ASSERT_EQ(state.loc_lik.size(), static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const double l = std::log(ExpPowerByTgamma(estimate, xy(i, 0), xy(i, 1)));
        EXPECT_NEAR(state.loc_lik[static_cast<std::size_t>(i)], l, kGammaSeries) << i;
        log_l += l;
    }
    EXPECT_NEAR(state.scores.neg2lnl, -2 * log_l, n * kGammaSeries);
    EXPECT_NEAR(state.scores.aicc - state.scores.neg2lnl, 8.0 * n / (n - 5), 1e-9);
    EXPECT_NEAR(state.scores.cvc, -2 * loo, 2 * n * kGammaSeries);
    ASSERT_TRUE(state.fit.has_value());
    EXPECT_EQ(state.fit->simplex, chain.simplex) << "the last pass's fit is handed on";

    // Asked for the last evaluation's values, the entry gives what the last trial point left
    // (location n-1's from the full-data fit); the criteria are the same.
    EXPECT_EQ(last.loc_lik, chain.loc_lik);
    EXPECT_NE(last.loc_lik, state.loc_lik);
    EXPECT_EQ(last.scores.cvc, state.scores.cvc);
    EXPECT_EQ(last.scores.aicc, state.scores.aicc);
}

} // namespace
} // namespace ranvik
