#include "kernel/criterion_curves.h"

#include "kernel/smoothing.h"
#include "support/locations.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace ranvik {
namespace {

TEST(DefaultGraphRange, SpansHalfTheSmallerToOnePointEightTimesTheLarger) {
    for (const auto& [a, b, low, high] : {std::tuple{10, 20, 5, 36}, {30, 20, 10, 54}}) {
        EXPECT_EQ(DefaultGraphRange(a, b).low, low);
        EXPECT_EQ(DefaultGraphRange(a, b).high, high);
    }
}

TEST(Standardize, ScalesToTheUnitIntervalAndRefusesAFlatCurve) {
    const std::vector<double> values = {3, 1, 2, 5, 99};
    const auto scaled = Standardize(values, 4); // the fifth value is not part of the curve
    ASSERT_TRUE(scaled.Ok());
    EXPECT_EQ(scaled.value, (std::vector<double>{0.5, 0, 0.25, 1}));
    const std::vector<double> flat(10, 7.0);
    EXPECT_FALSE(Standardize(flat, 10).Ok());
}

TEST(CalcCriterionCurves, StepsFromLowToHighAndRefusesABadRange) {
    const Matrix xy = testing::Locations({{0, 0}, {3, 1}, {1, 4}, {5, 5}, {2, 2}});
    const auto curves = CalcCriterionCurves(xy, 5, 0.5, 3.5, 100);
    ASSERT_TRUE(curves.Ok());
    ASSERT_EQ(curves.value.h.size(), 100U);
    EXPECT_EQ(curves.value.h[0], 0.5);
    EXPECT_NEAR(curves.value.h[99], 3.5, 1e-12);
    double h = 0.5;
    EXPECT_EQ(curves.value.cv[0], CalcCVScore(xy, h, 5, {}));
    EXPECT_EQ(curves.value.neg_lscv[0], -CalcLSCVScore(h, xy, 5));

    for (const auto& [low, high] : {std::pair{0.0, 3.0}, {2.0, 2.0}, {3.0, 1.0}, {-1.0, 2.0}}) {
        EXPECT_FALSE(CalcCriterionCurves(xy, 5, low, high).Ok()) << low << " " << high;
    }
}

} // namespace
} // namespace ranvik
