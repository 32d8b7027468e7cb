#include "output/lattice_densities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace ranvik {
namespace {

// The sum of a lattice grid's cells, every row but the spare one.
double Mass(const Matrix& grid) {
    double mass = 0.0;
    for (std::int32_t k = 0; k + 1 < grid.Rows(); ++k) {
        mass += grid(k, 2);
    }
    return mass;
}

TEST(FittedOnLattice, ModelsHoldTheirMassAndSpreadByTheirMinorAxis) {
    // Covariance [[1, 0.6], [0.6, 1]] has eigenvalues 1.6 and 0.4.
    const FittedDensity tilted = NormalFitted({10.0, -5.0, 1.0, 1.0, 0.6});
    EXPECT_DOUBLE_EQ(tilted.spread, std::sqrt(0.4));
    const FittedDensity mixture =
        MixtureFitted({0.0, 0.0, 2.0, 3.0, 0.0}, {50.0, 0.0, 0.5, 4.0, 0.0}, 0.3);
    EXPECT_DOUBLE_EQ(mixture.spread, 0.5);
    EXPECT_DOUBLE_EQ(mixture.xmin, -13.0);
    EXPECT_DOUBLE_EQ(mixture.xmax, 50.0 + 6.5 * 0.5);
    const FittedDensity exp_power = ExpPowerFitted(0.0, 0.0, 8.0, 0.5);
    EXPECT_DOUBLE_EQ(exp_power.spread, 2.0);

    // Cut at their reach and sampled at a fifth of their spread, each keeps all but ~1e-10.
    constexpr double kTailsAndSampling = 1e-9;
    for (const FittedDensity* fitted : {&tilted, &mixture, &exp_power}) {
        const SharedLattice lattice{0.3, -0.1, fitted->spread / 5};
        RunControl sequential;
        sequential.parallel = false;
        const auto grid = FittedOnLattice(*fitted, lattice);
        const auto alone = FittedOnLattice(*fitted, lattice, sequential);
        ASSERT_TRUE(grid.Ok()) << grid.status.error;
        ASSERT_TRUE(alone.Ok());
        EXPECT_NEAR(Mass(grid.value), 1.0, kTailsAndSampling);
        EXPECT_TRUE(grid.value == alone.value) << "parallel and sequential differ";
    }
    // A window beyond kMaxLatticeWindowCells is a sentence, not an allocation.
    const auto huge = FittedOnLattice(tilted, {0.0, 0.0, 1e-4});
    EXPECT_FALSE(huge.Ok());
    EXPECT_FALSE(huge.status.error.empty());
}

TEST(BridgeSpread, SmallerOfMidSegmentSpreadAndLeastErrorOfTheBridgedSegments) {
    // Fixes at times 0, 10, 30, 100 (the last gap beyond a maximum time of 50), errors 3, 0, 5.
    Matrix fixes(5, 4);
    const double rows[4][4] = {{0, 0, 0, 3}, {5, 0, 10, 0}, {9, 2, 30, 5}, {0, 9, 100, 4}};
    for (std::int32_t k = 0; k < 4; ++k) {
        for (std::int32_t c = 0; c < 4; ++c) {
            fixes(k, c) = rows[k][c];
        }
    }
    const std::optional<double> none;
    const SegmentVariance variance = [](std::int32_t k) {
        return k == 0 ? std::optional<double>(0.4) : std::optional<double>(2.5);
    };
    const BridgeSpan span = SpanOfBridges(fixes, 4, 50, variance);
    EXPECT_EQ(span.segments, 2);
    EXPECT_EQ(span.median_duration, 20.0); // the upper of 10 and 20
    EXPECT_EQ(span.least_variance, 0.4);
    EXPECT_EQ(span.least_error, 3.0);
    // sqrt(0.4 * 20 / 4) = 1.41 < 3.
    ASSERT_TRUE(BridgeSpread(span).Ok());
    EXPECT_DOUBLE_EQ(BridgeSpread(span).value, std::sqrt(2.0));
    // With a large variance the least positive error decides.
    EXPECT_DOUBLE_EQ(
        BridgeSpread(
            SpanOfBridges(fixes, 4, 50, [](std::int32_t) { return std::optional<double>(100.0); }))
            .value,
        3.0);
    // No segment within the maximum time: a sentence.
    EXPECT_FALSE(BridgeSpread(SpanOfBridges(fixes, 4, 5, variance)).Ok());
    EXPECT_FALSE(
        BridgeSpread(SpanOfBridges(fixes, 4, 50, [none](std::int32_t) { return none; })).Ok());
}

TEST(BridgeSpecOnLattice, PointsAreTheWindowsNodes) {
    const SharedLattice lattice{100.0, 200.0, 2.5};
    const auto spec = BridgeSpecOnLattice(lattice, {101.0, 111.0, 199.0, 204.0, 0.0});
    ASSERT_TRUE(spec.Ok());
    const LatticeWindow& w = spec.value.window;
    EXPECT_EQ(spec.value.spec.min_x, 100.0);
    EXPECT_EQ(spec.value.spec.resolution, 2.5);
    EXPECT_EQ(w.columns, 5); // centres 100 .. 110 cover 101 .. 111
    EXPECT_EQ(w.rows, 3);    // centres 200 .. 205 cover 199 .. 204
    Matrix grid(w.columns * w.rows + 1, 4);
    ASSERT_TRUE(OnLatticeNodes(grid, lattice, w).Ok());
    EXPECT_EQ(grid(w.rows * 4 + 2, 0), 110.0);
    EXPECT_EQ(grid(w.rows * 4 + 2, 1), 205.0);
    EXPECT_FALSE(OnLatticeNodes(grid, lattice, {0, 0, 2, 2}).Ok());
}

} // namespace
} // namespace ranvik
