#include "output/home_range_levels.h"

#include "models/bivariate_normal.h"
#include "state/constants.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ranvik {
namespace {

TEST(CalcVolumeLevels, ShareOfTheTotalHeldByCellsAtLeastAsProbable) {
    // Probabilities 0.1, 0.4, 0.2, 0.2, 0.05 (total 0.95): sorted 0.4 | 0.2 0.2 | 0.1 | 0.05.
    Matrix grid(6, 4);
    const double p[5] = {0.1, 0.4, 0.2, 0.2, 0.05};
    for (int k = 0; k < 5; ++k) {
        grid(k, 2) = p[k];
    }
    const VolumeLevels levels = CalcVolumeLevels(grid, 5);
    EXPECT_DOUBLE_EQ(levels.total, 0.95);
    EXPECT_DOUBLE_EQ(levels.level[1], 0.4 / 0.95);
    EXPECT_DOUBLE_EQ(levels.level[2], 0.8 / 0.95) << "equal cells share one level";
    EXPECT_DOUBLE_EQ(levels.level[3], 0.8 / 0.95);
    EXPECT_DOUBLE_EQ(levels.level[0], 0.9 / 0.95);
    EXPECT_DOUBLE_EQ(levels.level[4], 1.0);

    const auto half = CalcHomeRangeArea(grid, 5, levels, 2.0, 3.0, 0.5);
    ASSERT_TRUE(half.Ok());
    EXPECT_EQ(half.value.cells, 1);
    EXPECT_EQ(half.value.area, 6.0);
    EXPECT_EQ(half.value.threshold, 0.4);
    EXPECT_FALSE(CalcHomeRangeArea(grid, 5, levels, 2.0, 3.0, 0.3).Ok()) << "too coarse";
    EXPECT_FALSE(CalcHomeRangeArea(grid, 5, levels, 2.0, 3.0, 1.5).Ok());
}

TEST(CalcHomeRangeArea, BivariateNormalAreasMatchTheClosedForm) {
    // Area of the p contour: pi sx sy sqrt(1 - rho^2) (-2 ln(1 - p)).
    constexpr double kWithin = 0.02;
    Matrix xy(3, 3);
    // The locations' box is +-100 m, so the grid spans +-200 m in 2 m cells.
    xy(0, 0) = -100;
    xy(1, 0) = 100;
    xy(0, 1) = -100;
    xy(1, 1) = 100;
    const BVNEstimate e{0, 0, 40, 25, 0.3};
    const auto grid = CalcBVNGrid(xy, 2, e);
    ASSERT_TRUE(grid.Ok());
    const VolumeLevels levels = CalcVolumeLevels(grid.value, 40000);
    EXPECT_NEAR(levels.total, 1.0, 1e-6);
    const double dx = 400.0 / 200;
    for (const double p : {0.5, 0.95}) {
        const auto a = CalcHomeRangeArea(grid.value, 40000, levels, dx, dx, p);
        ASSERT_TRUE(a.Ok());
        const double exact = kPi * 40 * 25 * std::sqrt(1 - 0.09) * -2 * std::log(1 - p);
        EXPECT_NEAR(a.value.area, exact, kWithin * exact) << p;
    }
}

} // namespace
} // namespace ranvik
