#include "models/objective.h"

#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

namespace ranvik {
namespace {

using testing::ExpPowerByTgamma;
using testing::Locations;
using testing::NormalDensity;

// The six-term Lanczos series is good to about 2e-10 relative; its logarithm carries that.
constexpr double kGammaSeries = 1e-9;
// The same formulas arranged differently, over a handful of locations.
constexpr double kRearranged = 1e-12;
// Stands for "not written" in a per-location array.
constexpr double kUntouched = 123.0;

const Matrix kXY = Locations({{1, 2}, {-3, 0.5}, {4, -1}, {0, 0}, {2.5, 3}});
constexpr std::int32_t kN = 5;

// AmoebaFunc of one model on a workspace of its own.
struct Objective {
    explicit Objective(std::string_view model, const std::vector<double>* w = nullptr)
        : weights(w) {
        fit.simplex.ModelName = model;
        fit.loc_lik.assign(kN + 1, kUntouched);
    }
    double operator()(std::vector<double> v, const Matrix& xy = kXY, std::int32_t n = kN) {
        FitContext ctx = fit.Context(notifier, weights);
        const double value = AmoebaFunc(ctx, xy, v, n);
        vector = v;
        return value;
    }
    FitCopy fit;
    testing::RecordingNotifier notifier;
    const std::vector<double>* weights;
    std::vector<double> vector; // the argument as the call left it
};

TEST(LanczosGamma, MatchesTheGammaFunctionToTheSeriesAccuracy) {
    EXPECT_NEAR(LanczosGamma(1.0), 1.0, kGammaSeries);
    EXPECT_NEAR(LanczosGamma(0.5), std::sqrt(std::numbers::pi), kGammaSeries);
    for (const double s : {0.1, 0.33, 0.88}) {
        EXPECT_TRUE(testing::RelativelyNear(LanczosGamma(s), std::tgamma(s), kGammaSeries)) << s;
    }
}

TEST(AmoebaFunc, EachModelMatchesItsDensityWorkedIndependently) {
    Objective bvn(kTwoModeNormalModel), circle(kTwoModeCircleModel), power(kExpPowerModel);
    const double v_bvn = bvn({0, 0.5, 1, 2, -0.5, std::log(2.0), std::log(1.5), 0.3, std::log(3.0),
                              std::log(1.2), -0.6, 0.35});
    const double v_circle = circle({0, 0.5, 1, 2, -0.5, std::log(2.0), std::log(3.0), 0.7});
    const double v_power = power({0, 0.5, 1, std::log(2.5), 0.4});
    double sum_bvn = 0, sum_circle = 0, sum_power = 0;
    for (std::int32_t i = 0; i < kN; ++i) {
        const double x = kXY(i, 0), y = kXY(i, 1);
        const double l_bvn = std::log(0.35 * NormalDensity(0.5, 1, 2, 1.5, 0.3, x, y) +
                                      0.65 * NormalDensity(2, -0.5, 3, 1.2, -0.6, x, y));
        const double l_circle = std::log(0.7 * NormalDensity(0.5, 1, 2, 2, 0, x, y) +
                                         0.3 * NormalDensity(2, -0.5, 3, 3, 0, x, y));
        const double l_power = std::log(ExpPowerByTgamma({0, 0.5, 1, 2.5, 0.4}, x, y));
        const auto k = static_cast<std::size_t>(i);
        EXPECT_NEAR(bvn.fit.loc_lik[k], l_bvn, kRearranged) << i;
        EXPECT_NEAR(circle.fit.loc_lik[k], l_circle, kRearranged) << i;
        EXPECT_NEAR(power.fit.loc_lik[k], l_power, kGammaSeries) << i;
        sum_bvn += l_bvn;
        sum_circle += l_circle;
        sum_power += l_power;
    }
    EXPECT_NEAR(v_bvn, -sum_bvn, kRearranged);
    EXPECT_NEAR(v_circle, -sum_circle, kRearranged);
    EXPECT_NEAR(v_power, -sum_power, kN * kGammaSeries);
    EXPECT_EQ(bvn.fit.loc_lik[kN], kUntouched) << "only locations 0..n-1 are written";
}

TEST(AmoebaFunc, ExpPowerWithShapeOneIsACircularNormal) {
    const double sigma = 1.7;
    Objective power(kExpPowerModel);
    const double value = power({0, 0.5, -1, std::log(std::sqrt(2.0) * sigma), 1.0});
    double sum = 0;
    for (std::int32_t i = 0; i < kN; ++i) {
        sum += std::log(NormalDensity(0.5, -1, sigma, sigma, 0, kXY(i, 0), kXY(i, 1)));
    }
    EXPECT_NEAR(value, -sum, kN * kGammaSeries);
}

TEST(AmoebaFunc, OutOfRangeComponentsAreClampedInTheCallersVector) {
    struct Case {
        std::string_view model;
        std::vector<double> v;
        std::size_t index;
        double clamped;
    };
    const Case cases[] = {
        {kTwoModeNormalModel, {0, 0, 0, 3, 3, 0, 0, 1.5, 0, 0, 0, 0.5}, 7, 0.99},
        {kTwoModeNormalModel, {0, 0, 0, 3, 3, 0, 0, 0, 0, 0, -2, 0.5}, 10, -0.99},
        {kTwoModeNormalModel, {0, 0, 0, 3, 3, 0, 0, 0, 0, 0, 0, 0.0}, 11, 0.01},
        {kTwoModeCircleModel, {0, 0, 0, 3, 3, 0, 0, 0.0}, 7, 0.01},
        {kTwoModeCircleModel, {0, 0, 0, 3, 3, 0, 0, 1.2}, 7, 0.99},
        {kExpPowerModel, {0, 0, 0, 0, 0.05}, 4, 0.1},
        {kExpPowerModel, {0, 0, 0, 0, 3.0}, 4, 1.0},
    };
    for (const Case& c : cases) {
        Objective f(c.model);
        const double value = f(c.v);
        const std::vector<double> clamped = f.vector;
        EXPECT_EQ(clamped[c.index], c.clamped) << c.model << " " << c.index;
        EXPECT_EQ(f(clamped), value) << "the value is that of the clamped vector";
        EXPECT_EQ(f.vector, clamped) << "a value at its limit stays";
    }
}

TEST(AmoebaFunc, WeightsScaleTheNormalMixtureSumButNotItsPerLocationValues) {
    const std::vector<double> ones(kN + 1, 1.0), halves(kN + 1, 0.5);
    const std::vector<double> v = {0, 0.5, 1, 2, -0.5, 0.7, 0.4, 0.3, 1.1, 0.2, -0.6, 0.35};
    Objective plain(kTwoModeNormalModel), one(kTwoModeNormalModel, &ones),
        half(kTwoModeNormalModel, &halves);
    const double unweighted = plain(v);
    EXPECT_EQ(one(v), unweighted);
    EXPECT_EQ(half(v), 0.5 * unweighted); // halving is exact term by term
    EXPECT_EQ(one.fit.loc_lik, plain.fit.loc_lik);
    EXPECT_EQ(half.fit.loc_lik, plain.fit.loc_lik);
    // The circle mixture and the exponential power model ignore weights.
    for (const auto& [model, w] : {std::pair{kTwoModeCircleModel, v}, {kExpPowerModel, v}}) {
        Objective without(model), with(model, &halves);
        EXPECT_EQ(with(w), without(w)) << model;
    }
}

TEST(AmoebaFunc, DensityThatUnderflowsStoresLnOf1eMinus14) {
    EXPECT_NEAR(LogDensityFloor(), -32.236191301916641, 1e-13);
    // Location 1 lies 10^5 standard deviations from every mode: exp(-5e9) is exactly 0.
    const Matrix xy = Locations({{0, 0}, {1e5, 1e5}});
    for (const auto& [model, v] :
         {std::pair{kTwoModeNormalModel, std::vector<double>{0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, .5}},
          {kTwoModeCircleModel, {0, 0, 0, 1, 1, 0, 0, 0.5}},
          {kExpPowerModel, {0, 0, 0, 0, 1.0}}}) {
        Objective f(model);
        const double value = f(v, xy, 2);
        EXPECT_EQ(f.fit.loc_lik[1], std::log(1e-14)) << model;
        EXPECT_EQ(value, -(f.fit.loc_lik[0] + std::log(1e-14))) << model;
    }
}

TEST(AmoebaFunc, UnknownModelNameReturnsZeroAndChangesNothing) {
    const std::vector<double> v = {0, 1, 2, 3, 4, 5, 6, 7.5, 8, 9, 10.5, 11.5};
    for (const char* name : {"", "expPower", "2ModeBiVarnorm"}) {
        Objective f(name);
        EXPECT_EQ(f(v), 0.0) << name;
        EXPECT_EQ(f.vector, v) << name;
        EXPECT_EQ(f.fit.loc_lik, std::vector<double>(kN + 1, kUntouched)) << name;
    }
}

} // namespace
} // namespace ranvik
