#include "kernel/kernel_grid.h"
#include "kernel/kernel_sums.h"
#include "numerics/output_grid.h"
#include "output/result_files.h"
#include "state/constants.h"

#include "support/locations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace ranvik {
namespace {

// Locations where the shortcuts could go wrong: two clusters at GPS-like coordinates, a wide
// scatter, a handful of duplicated points, and a tight clump beside a distant few.
struct Case {
    std::string name;
    Matrix xy;
    std::int32_t n;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    Matrix clusters = testing::TwoClusters(700);
    for (std::int32_t i = 0; i < 700; ++i) {
        clusters(i, 0) += 612345.0;
        clusters(i, 1) += 5423456.0;
    }
    cases.push_back({"clusters", clusters, 700});
    std::mt19937 random(5);
    std::uniform_real_distribution<double> wide(0.0, 50000.0);
    Matrix spread(401, 3);
    for (std::int32_t i = 0; i < 400; ++i) {
        spread(i, 0) = wide(random);
        spread(i, 1) = wide(random);
    }
    cases.push_back({"spread", spread, 400});
    Matrix duplicates(301, 3);
    for (std::int32_t i = 0; i < 300; ++i) {
        duplicates(i, 0) = 100.0 * (i % 3);
        duplicates(i, 1) = 50.0 * (i % 2);
    }
    cases.push_back({"duplicates", duplicates, 300});
    Matrix clump(401, 3);
    std::normal_distribution<double> tight(0.0, 0.5);
    for (std::int32_t i = 0; i < 400; ++i) {
        clump(i, 0) = i < 395 ? tight(random) : 10000.0 * (i - 394);
        clump(i, 1) = i < 395 ? tight(random) : -7000.0 * (i - 394);
    }
    cases.push_back({"clump", clump, 400});
    return cases;
}

// Compares a grid with the plain one, made node by node as the grid was always made (the density
// at each node from the kernel sum over every location in order, times the cell's area): every
// probability within 1e-12 relative (or both below 1e-290, where a term's two factors may be
// subnormal and carry fewer digits), and the values a grid file shows the same on at least
// 99.99 % of the nodes and never one unit of the 9th decimal apart.
void ExpectAsPlain(const Matrix& fast, const Matrix& xy, std::int32_t n, const std::string& what,
                   const NodeDensity& density) {
    const Matrix plain = GridOverLocations(xy, n, density, RunControl{{}, false}).value;
    int printed_differ = 0;
    for (std::int32_t k = 0; k < kGridNodes; ++k) {
        const double a = fast(k, 2);
        const double b = plain(k, 2);
        ASSERT_EQ(fast(k, 0), plain(k, 0));
        ASSERT_EQ(fast(k, 1), plain(k, 1));
        if (std::fabs(b) > 1e-290) {
            ASSERT_LE(std::fabs(a - b), 1e-12 * std::fabs(b)) << what << " node " << k;
        } else {
            ASSERT_LE(std::fabs(a), 1e-289) << what << " node " << k;
        }
    }
    Matrix shown_fast = fast;
    Matrix shown_plain = plain;
    RoundGridValues(shown_fast, kGridNodes);
    RoundGridValues(shown_plain, kGridNodes);
    for (std::int32_t k = 0; k < kGridNodes; ++k) {
        if (shown_fast(k, 2) != shown_plain(k, 2)) {
            ++printed_differ;
            EXPECT_LE(std::fabs(shown_fast(k, 2) - shown_plain(k, 2)), 1.0000001e-9) << what;
        }
    }
    EXPECT_LE(printed_differ, 4) << what << ": 0.01 % of 40,000 nodes";
}

TEST(LatticeKernelSums, FixedAndAdaptiveGridsStayWithinThePrintedDigitsOfThePlainSums) {
    for (const Case& c : Cases()) {
        const Points points = PointsOf(c.xy, c.n);
        const GridLayout layout = LayOutGrid(c.xy, c.n);
        const double extent = std::max(layout.x1 - layout.x0, layout.y1 - layout.y0);
        // From far below the cell size, where most terms underflow, to far above the extent.
        for (const double h : {extent * 1e-4, extent / 300, extent / 20, extent, extent * 1e4}) {
            const std::string what = c.name + " h=" + std::to_string(h);
            const double two_h2 = 2 * (h * h);
            const double norm = 2 * kPi * (h * h);
            const auto fixed = CalcFixedKernel(c.xy, c.n, h, {});
            ASSERT_TRUE(fixed.Ok()) << what << ": " << fixed.status.error;
            ExpectAsPlain(fixed.value.grid, c.xy, c.n, "fixed " + what, [&](double x, double y) {
                return FixedKernelSum(x, y, points, nullptr, two_h2, norm) / c.n;
            });

            std::vector<double> weights(static_cast<std::size_t>(c.n));
            double sum_weights = 0;
            for (std::size_t k = 0; k < weights.size(); ++k) {
                weights[k] = 0.25 + static_cast<double>(k % 7) / 8.0;
                sum_weights += weights[k];
            }
            const auto weighted = CalcFixedKernel(c.xy, c.n, h, weights);
            ASSERT_TRUE(weighted.Ok()) << what;
            ExpectAsPlain(
                weighted.value.grid, c.xy, c.n, "weighted " + what, [&](double x, double y) {
                    return FixedKernelSum(x, y, points, weights.data(), two_h2, norm) / sum_weights;
                });

            const auto adaptive = CalcAdKernel(c.xy, c.n, h);
            if (!adaptive.Ok()) {
                continue; // the pilot densities underflow: refused either way
            }
            const AdaptiveScales scales = ScalesOf(AdaptiveBandwidths(c.xy, c.n, h));
            ExpectAsPlain(adaptive.value, c.xy, c.n, "adaptive " + what, [&](double x, double y) {
                return AdaptiveKernelSum(x, y, points, scales.two_h2, scales.norm) / c.n;
            });
        }
    }
}

TEST(LatticeKernelSums, MorePointsThanOnePassAndParallelRunsAgreeToTheBit) {
    const Matrix xy = testing::TwoClusters(2500);
    const auto parallel = CalcFixedKernel(xy, 2500, 30.0, {}, RunControl{{}, true});
    const auto sequential = CalcFixedKernel(xy, 2500, 30.0, {}, RunControl{{}, false});
    ASSERT_TRUE(parallel.Ok() && sequential.Ok());
    EXPECT_TRUE(parallel.value.grid == sequential.value.grid);
    const Points points = PointsOf(xy, 2500);
    ExpectAsPlain(parallel.value.grid, xy, 2500, "2500 locations", [&](double x, double y) {
        return FixedKernelSum(x, y, points, nullptr, 2 * 900.0, 2 * kPi * 900.0) / 2500;
    });
}

} // namespace
} // namespace ranvik
