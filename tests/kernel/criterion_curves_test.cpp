#include "kernel/criterion_curves.h"

#include "kernel/smoothing.h"

#include <gtest/gtest.h>

#include <vector>

namespace ranvik {
namespace {

TEST(DefaultGraphRange, SpansHalfTheSmallerToOnePointEightTimesTheLarger) {
    EXPECT_EQ(DefaultGraphRange(10, 20).low, 5);
    EXPECT_EQ(DefaultGraphRange(10, 20).high, 36);
    EXPECT_EQ(DefaultGraphRange(30, 20).low, 10);
    EXPECT_EQ(DefaultGraphRange(30, 20).high, 54);
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
    Matrix xy(6, 3);
    const double points[5][2] = {{0, 0}, {3, 1}, {1, 4}, {5, 5}, {2, 2}};
    for (int i = 0; i < 5; ++i) {
        xy(i, 0) = points[i][0];
        xy(i, 1) = points[i][1];
    }
    const auto curves = CalcCriterionCurves(xy, 5, 0.5, 3.5, 100);
    ASSERT_TRUE(curves.Ok());
    ASSERT_EQ(curves.value.h.size(), 100U);
    EXPECT_EQ(curves.value.h[0], 0.5);
    EXPECT_NEAR(curves.value.h[99], 3.5, 1e-12);
    double h = 0.5;
    EXPECT_EQ(curves.value.cv[0], CalcCVScore(xy, 0.5, 5, {}));
    EXPECT_EQ(curves.value.neg_lscv[0], -CalcLSCVScore(h, xy, 5));

    for (const auto& [low, high] : {std::pair{0.0, 3.0}, {2.0, 2.0}, {3.0, 1.0}, {-1.0, 2.0}}) {
        EXPECT_FALSE(CalcCriterionCurves(xy, 5, low, high).Ok()) << low << " " << high;
    }
}

} // namespace
} // namespace ranvik
