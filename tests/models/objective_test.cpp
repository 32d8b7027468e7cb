#include "models/objective.h"

#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string_view>
#include <vector>

namespace ranvik {
namespace {

using testing::ExpPowerByTgamma;
using testing::kUntouched;
using testing::ModelRun;
using testing::NormalDensity;

// The six-term Lanczos series is good to about 2e-10 relative; its logarithm carries that.
constexpr double kGammaSeries = 1e-9;
// The same formulas arranged differently, over a handful of locations.
constexpr double kRearranged = 1e-12;

const Matrix kXY = testing::Locations({{1, 2}, {-3, 0.5}, {4, -1}, {0, 0}, {2.5, 3}});
constexpr std::int32_t kN = 5;

// One evaluation's per-location values and sum against ln density.
void ExpectLogDensities(std::string_view model, const std::vector<double>& v,
                        const std::function<double(double, double)>& density, double tolerance) {
    ModelRun f(model, kXY, kN);
    const double value = f(v);
    double sum = 0;
    for (std::int32_t i = 0; i < kN; ++i) {
        const double l = std::log(density(kXY(i, 0), kXY(i, 1)));
        EXPECT_NEAR(f.fit.loc_lik[static_cast<std::size_t>(i)], l, tolerance) << model << i;
        sum += l;
    }
    EXPECT_NEAR(value, -sum, kN * tolerance) << model;
    EXPECT_EQ(f.fit.loc_lik[kN], kUntouched) << "only locations 0..n-1 are written";
}

TEST(AmoebaFunc, EachModelMatchesItsDensityWorkedIndependently) {
    // The simplex holds the scales as logarithms.
    const double ln2 = std::log(2.0), ln3 = std::log(3.0);
    ExpectLogDensities(
        kTwoModeNormalModel,
        {0, 0.5, 1, 2, -0.5, ln2, std::log(1.5), 0.3, ln3, std::log(1.2), -0.6, 0.35},
        [](double x, double y) {
            return 0.35 * NormalDensity(0.5, 1, 2, 1.5, 0.3, x, y) +
                   0.65 * NormalDensity(2, -0.5, 3, 1.2, -0.6, x, y);
        },
        kRearranged);
    ExpectLogDensities(
        kTwoModeCircleModel, {0, 0.5, 1, 2, -0.5, ln2, ln3, 0.7},
        [](double x, double y) {
            return 0.7 * NormalDensity(0.5, 1, 2, 2, 0, x, y) +
                   0.3 * NormalDensity(2, -0.5, 3, 3, 0, x, y);
        },
        kRearranged);
    ExpectLogDensities(
        kExpPowerModel, {0, 0.5, 1, std::log(2.5), 0.4},
        [](double x, double y) {
            return ExpPowerByTgamma({0, 0.5, 1, 2.5, 0.4}, x, y);
        },
        kGammaSeries);
    // With shape 1 the exponential power is a circular normal.
    const double sigma = 1.7;
    ExpectLogDensities(
        kExpPowerModel, {0, 0.5, -1, std::log(std::sqrt(2.0) * sigma), 1.0},
        [&](double x, double y) { return NormalDensity(0.5, -1, sigma, sigma, 0, x, y); },
        kGammaSeries);
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
        ModelRun f(c.model, kXY, kN);
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
    ModelRun plain(kTwoModeNormalModel, kXY, kN), one(kTwoModeNormalModel, kXY, kN, 0, &ones),
        half(kTwoModeNormalModel, kXY, kN, 0, &halves);
    const double unweighted = plain(v);
    EXPECT_EQ(one(v), unweighted);
    EXPECT_EQ(half(v), 0.5 * unweighted); // halving is exact term by term
    EXPECT_EQ(half.fit.loc_lik, plain.fit.loc_lik);
    for (const std::string_view model : {kTwoModeCircleModel, kExpPowerModel}) {
        ModelRun without(model, kXY, kN), with(model, kXY, kN, 0, &halves);
        EXPECT_EQ(with(v), without(v)) << model << " ignores weights";
    }
}

TEST(AmoebaFunc, DensityThatUnderflowsStoresLnOf1eMinus14AndAnUnknownModelZero) {
    // Location 1 lies 10^5 standard deviations from every mode: exp(-5e9) is exactly 0.
    const Matrix xy = testing::Locations({{0, 0}, {1e5, 1e5}});
    for (const auto& [model, v] :
         {std::pair{kTwoModeNormalModel, std::vector<double>{0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, .5}},
          {kTwoModeCircleModel, {0, 0, 0, 1, 1, 0, 0, 0.5}},
          {kExpPowerModel, {0, 0, 0, 0, 1.0}}}) {
        ModelRun f(model, xy, 2);
        const double value = f(v);
        EXPECT_EQ(f.fit.loc_lik[1], std::log(1e-14)) << model;
        EXPECT_EQ(value, -(f.fit.loc_lik[0] + std::log(1e-14))) << model;
    }
    const std::vector<double> v = {0, 1, 2, 3, 4, 5, 6, 7.5, 8, 9, 10.5, 11.5};
    for (const char* name : {"", "expPower", "2ModeBiVarnorm"}) {
        ModelRun f(name, kXY, kN);
        EXPECT_EQ(f(v), 0.0) << name;
        EXPECT_EQ(f.vector, v) << name;
        EXPECT_EQ(f.fit.loc_lik, std::vector<double>(kN + 1, kUntouched)) << name;
    }
}

} // namespace
} // namespace ranvik
