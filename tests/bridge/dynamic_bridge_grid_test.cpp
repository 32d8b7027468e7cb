#include "bridge/dynamic_bridge_grid.h"

#include "support/brownian_track.h"
#include "support/fixes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <vector>

namespace ranvik {
namespace {

using testing::Fix;
using testing::Fixes;
using ::testing::HasSubstr;

// The masses of a grid add to 1 up to rounding in a million additions and in the erfc tails.
constexpr double kSumTolerance = 1e-12;
// The time rule errs by at most 1e-8 over the whole grid; the references below (exact cell
// integrals, composite Simpson in time on 20,000 panels) are far closer than that.
constexpr double kTimeRuleL1 = 1e-8;

MotionVariance Uniform(std::int32_t n, std::optional<double> sigma2) {
    MotionVariance v;
    v.segment.assign(static_cast<std::size_t>(n - 1), sigma2);
    v.windows.assign(static_cast<std::size_t>(n - 1), sigma2 ? 1 : 0);
    return v;
}

double GridSum(const DynamicBridgeGrid& grid) {
    double sum = 0.0;
    for (std::int32_t k = 0; k < grid.count; ++k) {
        sum += grid.output(k, 2);
    }
    return sum;
}

// The mass of N(mean, sd^2) in [lo, hi], by the error function directly.
double AxisMass(double lo, double hi, double mean, double sd) {
    return 0.5 * (std::erf((hi - mean) / (sd * std::numbers::sqrt2)) -
                  std::erf((lo - mean) / (sd * std::numbers::sqrt2)));
}

// An independent reference for one segment from fix a to fix b lasting T with variance sigma2:
// f(alpha) integrated by composite Simpson on `panels` panels, f the mass at alpha of each
// cell (cells of side r around the centres), or of the rectangle [x0, x1] x [y0, y1].
struct OneSegment {
    Fix a, b;
    double sigma2;

    [[nodiscard]] double Mean(double alpha, bool y) const {
        return y ? a.y + (b.y - a.y) * alpha : a.x + (b.x - a.x) * alpha;
    }
    [[nodiscard]] double Sd(double alpha) const {
        const double big_t = b.t - a.t;
        return std::sqrt(big_t * alpha * (1 - alpha) * sigma2 +
                         (1 - alpha) * (1 - alpha) * a.error * a.error +
                         alpha * alpha * b.error * b.error);
    }
    template <class F> static double Simpson(int panels, F f) {
        const double h = 1.0 / (2 * panels);
        double sum = f(0.0) + f(1.0);
        for (int i = 1; i < 2 * panels; ++i) {
            sum += (i % 2 == 1 ? 4 : 2) * f(i * h);
        }
        return sum * h / 3;
    }
    [[nodiscard]] double RectangleMass(double x0, double x1, double y0, double y1) const {
        return Simpson(20000, [&](double alpha) {
            const double sd = Sd(alpha);
            return AxisMass(x0, x1, Mean(alpha, false), sd) *
                   AxisMass(y0, y1, Mean(alpha, true), sd);
        });
    }
    // Every cell of `grid` (side r) at once: per node, the axis masses of all columns and rows.
    [[nodiscard]] std::vector<double> CellMasses(const DynamicBridgeGrid& grid, double r) const {
        std::vector<double> xs, ys;
        for (std::int32_t k = 0; k < grid.count; ++k) {
            if (k == 0 || grid.output(k, 0) != grid.output(k - 1, 0)) {
                xs.push_back(grid.output(k, 0));
            }
            if (xs.size() == 1) {
                ys.push_back(grid.output(k, 1));
            }
        }
        std::vector<double> mass(static_cast<std::size_t>(grid.count), 0.0);
        const int panels = 20000;
        const double h = 1.0 / (2 * panels);
        std::vector<double> mx(xs.size()), my(ys.size());
        for (int node = 0; node <= 2 * panels; ++node) {
            const double alpha = node * h;
            const double w =
                (node == 0 || node == 2 * panels ? 1 : (node % 2 == 1 ? 4 : 2)) * h / 3;
            const double sd = Sd(alpha);
            for (std::size_t i = 0; i < xs.size(); ++i) {
                mx[i] = AxisMass(xs[i] - r / 2, xs[i] + r / 2, Mean(alpha, false), sd);
            }
            for (std::size_t j = 0; j < ys.size(); ++j) {
                my[j] = AxisMass(ys[j] - r / 2, ys[j] + r / 2, Mean(alpha, true), sd);
            }
            for (std::size_t i = 0; i < xs.size(); ++i) {
                if (mx[i] < 1e-300) {
                    continue;
                }
                for (std::size_t j = 0; j < ys.size(); ++j) {
                    mass[i * ys.size() + j] += w * mx[i] * my[j];
                }
            }
        }
        return mass;
    }
};

DynamicBridgeGrid Grid(const Matrix& fixes, std::int32_t n, const MotionVariance& v,
                       double max_time, const BridgeGridSpec& spec, bool parallel = true) {
    auto grid = CalcDynamicBridgeGrid(fixes, n, v, max_time, spec, {{}, parallel});
    EXPECT_TRUE(grid.Ok()) << grid.status.error;
    return std::move(grid.value);
}

// The L1 distance of a grid from the reference masses, and the largest single difference.
std::pair<double, double> Distance(const DynamicBridgeGrid& grid, const std::vector<double>& ref) {
    double l1 = 0.0;
    double worst = 0.0;
    for (std::int32_t k = 0; k < grid.count; ++k) {
        const double d = std::abs(grid.output(k, 2) - ref[static_cast<std::size_t>(k)]);
        l1 += d;
        worst = std::max(worst, d);
    }
    return {l1, worst};
}

TEST(DynamicBridgeGrid, SumsToOneOverTheAutomaticExtentLeavingOutSegments) {
    const std::int32_t n = 80;
    Matrix fixes = testing::SimulatedTrack(
        n, 1.0, 4.0, [](std::int32_t k) { return k < 40 ? 30.0 : 400.0; }, 7);
    // A gap of 10 time units after fix 50: that segment is over the maximum time.
    for (std::int32_t k = 51; k < n; ++k) {
        fixes(k, 2) += 10;
    }
    MotionVariance v = Uniform(n, 50.0);
    for (std::int32_t k = 40; k < n - 1; ++k) {
        v.segment[static_cast<std::size_t>(k)] = 380.0;
    }
    for (const std::size_t k : {0U, 1U, 2U, 20U, 78U}) {
        v.segment[k].reset();
    }
    for (const double cell : {1.0, 7.0, 60.0}) {
        const BridgeGridSpec spec = AutoDynamicBridgeExtent(fixes, n, v, 5.0, cell);
        const DynamicBridgeGrid grid = Grid(fixes, n, v, 5.0, spec);
        EXPECT_NEAR(GridSum(grid), 1.0, kSumTolerance) << "cell " << cell;
        EXPECT_LT(grid.mass_outside, kSumTolerance);
    }
}

TEST(DynamicBridgeGrid, OneSegmentMatchesExactCellIntegralsOverFineTime) {
    // Spread 3 m at the ends, about 10 m half-way; the mean moves 60 m.
    const OneSegment seg{{1000, 2000, 0, 3}, {1048, 2036, 2, 3}, 200};
    const Matrix fixes = Fixes({seg.a, seg.b});
    const MotionVariance v = Uniform(2, seg.sigma2);
    for (const double cell : {2.0, 9.0}) {
        const BridgeGridSpec spec = AutoDynamicBridgeExtent(fixes, 2, v, 5.0, cell);
        const DynamicBridgeGrid grid = Grid(fixes, 2, v, 5.0, spec);
        const auto [l1, worst] = Distance(grid, seg.CellMasses(grid, cell));
        EXPECT_LT(l1, kTimeRuleL1) << "cell " << cell;
        EXPECT_LT(worst, kTimeRuleL1);
    }
}

TEST(DynamicBridgeGrid, FastSegmentWithSmallErrorsKeepsTheTimeRuleBound) {
    // The mean moves 300 spreads at the ends (1 m) and 16 at half-way: a 21-step rule would
    // leave beads; the panels must follow it.
    const OneSegment seg{{0, 0, 0, 1}, {400, 150, 1, 1}, 2500};
    const Matrix fixes = Fixes({seg.a, seg.b});
    const MotionVariance v = Uniform(2, seg.sigma2);
    const double cell = 4.0;
    const BridgeGridSpec spec = AutoDynamicBridgeExtent(fixes, 2, v, 5.0, cell);
    const DynamicBridgeGrid grid = Grid(fixes, 2, v, 5.0, spec);
    const auto [l1, worst] = Distance(grid, seg.CellMasses(grid, cell));
    EXPECT_LT(l1, kTimeRuleL1);
    EXPECT_NEAR(GridSum(grid), 1.0, kSumTolerance);
}

TEST(DynamicBridgeGrid, CellsFarSmallerOrLargerThanTheSpreadKeepTheMass) {
    const OneSegment seg{{1000, 1000, 0, 2}, {1020, 1010, 1, 3}, 50};
    const Matrix fixes = Fixes({seg.a, seg.b});
    const MotionVariance v = Uniform(2, seg.sigma2);
    // Cells of 0.2 m against a spread of 2 to 4 m.
    const BridgeGridSpec fine = AutoDynamicBridgeExtent(fixes, 2, v, 5.0, 0.2);
    EXPECT_NEAR(GridSum(Grid(fixes, 2, v, 5.0, fine)), 1.0, kSumTolerance);
    // One 1 km cell around the whole segment holds all of it; its neighbours nothing.
    const DynamicBridgeGrid coarse = Grid(fixes, 2, v, 5.0, {0, 1000, 0, 1000, 1000});
    ASSERT_EQ(coarse.count, 4);
    EXPECT_NEAR(coarse.output(0, 2), 0.0, 1e-300);
    EXPECT_NEAR(coarse.output(3, 2), 1.0, kSumTolerance);
    EXPECT_LT(coarse.mass_outside, kSumTolerance);
    // A 100 m cell whose edge passes 10 m from the segment's start: the reference's share.
    const OneSegment near{{500, 500, 0, 2}, {520, 510, 1, 3}, 50};
    const Matrix near_fixes = Fixes({near.a, near.b});
    const DynamicBridgeGrid edge = Grid(near_fixes, 2, v, 5.0, {440, 540, 440, 540, 100});
    ASSERT_EQ(edge.count, 4);
    EXPECT_NEAR(edge.output(3, 2), near.RectangleMass(490, 590, 490, 590), 1e-12);
    EXPECT_NEAR(edge.output(0, 2), near.RectangleMass(390, 490, 390, 490), 1e-12);
}

TEST(DynamicBridgeGrid, ACutExtentReportsTheShareOutside) {
    const OneSegment seg{{0, 0, 0, 5}, {200, 0, 4, 5}, 100};
    const Matrix fixes = Fixes({seg.a, seg.b});
    const MotionVariance v = Uniform(2, seg.sigma2);
    // Centres 60..300 every 5 m in x, -100..100 in y: the cells cover x from 57.5 on.
    const auto result = CalcDynamicBridgeGrid(fixes, 2, v, 5.0, {60, 300, -100, 100, 5});
    ASSERT_TRUE(result.Ok());
    const double inside = seg.RectangleMass(57.5, 302.5, -102.5, 102.5);
    EXPECT_NEAR(result.value.mass_outside, 1 - inside, 1e-9);
    EXPECT_GT(result.value.mass_outside, 0.2);
}

TEST(DynamicBridgeGrid, ParallelCellsEqualSequentialToTheBit) {
    const std::int32_t n = 120;
    const Matrix fixes = testing::SimulatedTrack(
        n, 1.0, 3.0, [](std::int32_t k) { return 20.0 + k; }, 11);
    MotionVariance v = Uniform(n, 60.0);
    v.segment[30].reset();
    const BridgeGridSpec spec = AutoDynamicBridgeExtent(fixes, n, v, 2.0, 1.5);
    const DynamicBridgeGrid parallel = Grid(fixes, n, v, 2.0, spec, true);
    const DynamicBridgeGrid sequential = Grid(fixes, n, v, 2.0, spec, false);
    ASSERT_GT(parallel.count, 64 * 64 * 4);
    ASSERT_EQ(parallel.count, sequential.count);
    for (std::int32_t k = 0; k < parallel.count; ++k) {
        ASSERT_EQ(parallel.output(k, 2), sequential.output(k, 2)) << "cell " << k;
    }
    EXPECT_EQ(parallel.mass_outside, sequential.mass_outside);
}

TEST(DynamicBridgeGrid, StopsWhenAskedTo) {
    const Matrix fixes = Fixes({{0, 0, 0, 5}, {200, 0, 4, 5}});
    RunControl control;
    control.progress = [](double) { return false; };
    control.parallel = false;
    const auto result =
        CalcDynamicBridgeGrid(fixes, 2, Uniform(2, 10.0), 5.0, {-50, 250, -50, 50, 1}, control);
    EXPECT_TRUE(result.status.cancelled);
}

TEST(DynamicBridgeGrid, RefusesWhatItCannotCompute) {
    const Matrix fixes = Fixes({{0, 0, 0, 5}, {100, 0, 4, 0}, {150, 0, 8, 0}, {160, 0, 9, 3}});
    const BridgeGridSpec spec{-50, 250, -50, 50, 5};
    const auto refusal = [&](const MotionVariance& v, double max_time, const BridgeGridSpec& s) {
        const auto result = CalcDynamicBridgeGrid(fixes, 4, v, max_time, s);
        EXPECT_FALSE(result.Ok());
        return result.status.error;
    };
    MotionVariance v = Uniform(4, 10.0);
    // No variance anywhere, or every segment with one too long.
    EXPECT_THAT(refusal(Uniform(4, std::nullopt), 5.0, spec),
                HasSubstr("No segment of the track has a motion variance and lasts at most the "
                          "maximum time of 5"));
    v.segment[0].reset();
    v.segment[2].reset();
    EXPECT_THAT(refusal(v, 3.0, spec), HasSubstr("No segment of the track"));
    // Zero location errors at both ends of a segment whose variance is 0.
    v.segment[1] = 0.0;
    EXPECT_THAT(refusal(v, 5.0, spec), HasSubstr("from location 2 to location 3 has no spread"));
    // A negative variance.
    v = Uniform(4, 10.0);
    v.segment[2] = -1.0;
    EXPECT_THAT(refusal(v, 5.0, spec), HasSubstr("from location 3 to location 4 has no spread"));
    // Zero errors at both ends are fine while the motion variance spreads the middle.
    v.segment[2] = 10.0;
    EXPECT_TRUE(CalcDynamicBridgeGrid(fixes, 4, v, 5.0, spec).Ok());
    // A grid too large, and a variance for another track.
    EXPECT_THAT(refusal(v, 5.0, {0, 1e6, 0, 1e6, 1}), HasSubstr("more than 40000000 points"));
    EXPECT_THAT(refusal(Uniform(3, 10.0), 5.0, spec), HasSubstr("does not match"));
    // Two fixes at one time.
    const Matrix twice = Fixes({{0, 0, 0, 5}, {10, 0, 0, 5}});
    EXPECT_THAT(CalcDynamicBridgeGrid(twice, 2, Uniform(2, 1.0), 5.0, spec).status.error,
                HasSubstr("has no duration"));
}

} // namespace
} // namespace ranvik
