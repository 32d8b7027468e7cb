#include "output/output_grid.h"

#include "support/locations.h"

#include <gtest/gtest.h>

namespace ranvik {
namespace {

using testing::Locations;

TEST(LayOutGrid, WidensTheBoxByHalfItsSizeOnEachSide) {
    // The first location holds both maxima, so the minima come from later rows.
    const GridLayout g = LayOutGrid(Locations({{10, 20}, {0, 0}, {10, 0}, {0, 20}}), 4);
    EXPECT_EQ(g.xmin, 0.0);
    EXPECT_EQ(g.xmax, 10.0);
    EXPECT_EQ(g.ymin, 0.0);
    EXPECT_EQ(g.ymax, 20.0);
    EXPECT_EQ(g.x0, -5.0);
    EXPECT_EQ(g.x1, 15.0);
    EXPECT_EQ(g.y0, -10.0);
    EXPECT_EQ(g.y1, 30.0);
    EXPECT_DOUBLE_EQ(g.dx, 0.1);
    EXPECT_DOUBLE_EQ(g.dy, 0.2);

    constexpr double kPlace = 1e-12; // repeated addition of dx and dy, 200 steps at most
    EXPECT_NEAR(g.xs[0], -4.95, kPlace);
    EXPECT_NEAR(g.xs[1], -4.85, kPlace);
    EXPECT_NEAR(g.xs[199], 14.95, kPlace);
    EXPECT_NEAR(g.ys[0], -9.9, kPlace);
    EXPECT_NEAR(g.ys[1], -9.7, kPlace);
    EXPECT_NEAR(g.ys[199], 29.9, kPlace);
}

TEST(LayOutGrid, CentresAreFormedByRepeatedAddition) {
    const GridLayout g = LayOutGrid(Locations({{0.3, -7.1}, {13.7, 2.9}, {5.1, 40.3}}), 3);
    double x = g.x0 + 0.5 * g.dx;
    double y = g.y0 + 0.5 * g.dy;
    for (std::size_t i = 0; i < 200; ++i, x = x + g.dx, y = y + g.dy) {
        EXPECT_EQ(g.xs[i], x) << i;
        EXPECT_EQ(g.ys[i], y) << i;
    }
}

TEST(CheckGridExtent, RejectsExtentsWithoutArea) {
    struct Case {
        const char* what;
        Matrix xy;
        std::int32_t n;
    };
    const Case cases[] = {
        {"one location", Locations({{4, 4}}), 1},
        {"all on one point", Locations({{4, 4}, {4, 4}}), 2},
        {"one north-south line", Locations({{2, 0}, {2, 5}}), 2},
        {"one east-west line", Locations({{0, 7}, {5, 7}}), 2},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(CheckGridExtent(LayOutGrid(c.xy, c.n), c.n).error.empty()) << c.what;
    }
    EXPECT_FALSE(CheckGridExtent({}, 0).error.empty()) << "no locations";
    EXPECT_TRUE(CheckGridExtent(LayOutGrid(Locations({{0, 7}, {5, 8}}), 2), 2).Ok());
}

TEST(ComputeGrid, RowKHoldsColumnIAndRowJWithDensityTimesCellArea) {
    const GridLayout g = LayOutGrid(Locations({{0, 0}, {10, 20}}), 2);
    const NodeDensity density = [](double x, double y) { return 3.0 + x - 0.5 * y; };
    const auto grid = ComputeGrid(g, density, RunControl{{}, false});
    ASSERT_TRUE(grid.Ok());
    ASSERT_EQ(grid.value.Rows(), 40001);
    ASSERT_EQ(grid.value.Cols(), 4);
    int wrong = 0;
    for (std::size_t i = 0; i < 200; ++i) {
        for (std::size_t j = 0; j < 200; ++j) {
            const auto k = static_cast<std::int32_t>(200 * i + j);
            wrong += grid.value(k, 0) != g.xs[i] || grid.value(k, 1) != g.ys[j] ||
                     grid.value(k, 2) != density(g.xs[i], g.ys[j]) * g.dx * g.dy ||
                     grid.value(k, 3) != 0.0;
        }
    }
    EXPECT_EQ(wrong, 0);
    for (std::int32_t c = 0; c < 4; ++c) {
        EXPECT_EQ(grid.value(40000, c), 0.0);
    }
    EXPECT_TRUE(ComputeGrid(g, density, RunControl{{}, true}).value == grid.value)
        << "parallel nodes give the same grid";
}

TEST(ComputeGrid, ProgressThatAsksToStopCancels) {
    const GridLayout g = LayOutGrid(Locations({{0, 0}, {10, 20}}), 2);
    std::vector<double> fractions;
    const RunControl control{[&](double f) {
                                 fractions.push_back(f);
                                 return fractions.size() < 2;
                             },
                             false};
    const auto grid = ComputeGrid(
        g, [](double, double) { return 1.0; }, control);
    EXPECT_TRUE(grid.status.cancelled);
    ASSERT_EQ(fractions.size(), 2U);
    EXPECT_GT(fractions[0], 0.0);
    EXPECT_LT(fractions[0], fractions[1]);
    EXPECT_LE(fractions[1], 1.0);
}

} // namespace
} // namespace ranvik
