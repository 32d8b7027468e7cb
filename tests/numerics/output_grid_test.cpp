#include "numerics/output_grid.h"

#include "support/locations.h"

#include <gtest/gtest.h>

namespace ranvik {
namespace {

using testing::Locations;

TEST(LayOutGrid, WidensTheBoxByHalfItsSizeOnEachSideAndAddsUpTheCentres) {
    // The first location holds both maxima, so the minima come from later rows.
    const GridLayout g = LayOutGrid(Locations({{10, 20}, {0, 0}, {10, 0}, {0, 20}}), 4);
    EXPECT_EQ((std::vector<double>{g.x0, g.x1, g.y0, g.y1}),
              (std::vector<double>{-5, 15, -10, 30}));
    EXPECT_DOUBLE_EQ(g.dx, 0.1);
    EXPECT_DOUBLE_EQ(g.dy, 0.2);
    // 200 additions of dx or dy at most.
    for (const auto& [got, want] : {std::pair{g.xs[0], -4.95},
                                    {g.xs[1], -4.85},
                                    {g.xs[199], 14.95},
                                    {g.ys[0], -9.9},
                                    {g.ys[1], -9.7},
                                    {g.ys[199], 29.9}}) {
        EXPECT_NEAR(got, want, 1e-12);
    }
    // To the bit, each centre is the previous one plus dx (or dy), not x0 + (i + 0.5) dx.
    double x = g.x0 + 0.5 * g.dx;
    double y = g.y0 + 0.5 * g.dy;
    for (std::size_t i = 0; i < 200; ++i, x = x + g.dx, y = y + g.dy) {
        ASSERT_EQ(g.xs[i], x) << i;
        ASSERT_EQ(g.ys[i], y) << i;
    }
}

TEST(ComputeGrid, RowKHoldsColumnIAndRowJWithDensityTimesCellAreaAndTheSpareRowStaysZero) {
    const GridLayout g = LayOutGrid(Locations({{0, 0}, {10, 20}}), 2);
    const NodeDensity density = [](double x, double y) { return 3.0 + x - 0.5 * y; };
    const auto grid = ComputeGrid(g, density, RunControl{{}, true});
    ASSERT_TRUE(grid.Ok());
    ASSERT_EQ(grid.value.Rows(), 40001);
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
    const auto spare = grid.value.Row(40000);
    EXPECT_EQ(std::vector<double>(spare.begin(), spare.end()), std::vector<double>(4, 0.0));
}

} // namespace
} // namespace ranvik
