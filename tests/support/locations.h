#pragma once

#include "numerics/output_grid.h"
#include "state/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iomanip>
#include <numbers>
#include <random>
#include <sstream>
#include <utility>

namespace ranvik::testing {

// A location array as the loaders leave it: (x, y) in columns 0 and 1 of rows 0..n-1, column 2
// unused and row n the spare zero row.
inline Matrix Locations(std::initializer_list<std::pair<double, double>> points) {
    Matrix xy(static_cast<std::int32_t>(points.size()) + 1, 3);
    std::int32_t row = 0;
    for (const auto& [x, y] : points) {
        xy(row, 0) = x;
        xy(row, 1) = y;
        ++row;
    }
    return xy;
}

// Locations 0..n-1 of `xy` but `left_out`, in their order, with a spare zero row.
inline Matrix Without(const Matrix& xy, std::int32_t n, std::int32_t left_out) {
    Matrix rest(n, 3);
    for (std::int32_t j = 0, row = 0; j < n; ++j) {
        if (j != left_out) {
            rest(row, 0) = xy(j, 0);
            rest(row++, 1) = xy(j, 1);
        }
    }
    return rest;
}

// n fixes in two normal clusters of unequal size and spread, from a fixed seed.
inline Matrix TwoClusters(std::int32_t n, unsigned seed = 20240611U) {
    std::mt19937 random(seed);
    std::normal_distribution<double> den(0.0, 40.0);
    std::normal_distribution<double> feeding(0.0, 15.0);
    Matrix xy(n + 1, 3);
    for (std::int32_t i = 0; i < n; ++i) {
        const bool at_den = i % 3 != 0;
        xy(i, 0) = at_den ? 500.0 + den(random) : 650.0 + feeding(random);
        xy(i, 1) = at_den ? 1200.0 + den(random) : 1100.0 + feeding(random);
    }
    return xy;
}

// |actual - expected| <= rel |expected|, with both values in the message when it fails.
inline ::testing::AssertionResult RelativelyNear(long double actual, long double expected,
                                                 long double rel) {
    if (std::fabs(actual - expected) <= rel * std::fabs(expected)) {
        return ::testing::AssertionSuccess();
    }
    std::ostringstream text;
    text << std::setprecision(18) << "actual " << actual << " differs from expected " << expected
         << " by more than " << rel << " relative";
    return ::testing::AssertionFailure() << text.str();
}

// exp(-d^2 / 2h^2) / (2 pi h^2).
inline long double GaussianKernel(long double d2, long double h) {
    return std::exp(-d2 / (2 * h * h)) / (2 * std::numbers::pi_v<long double> * h * h);
}

// At corners, neighbours of node 0 and inner nodes of a home range grid over locations
// 0..n-1: the node sits on its column and row centre and holds density * cell area.
inline void ExpectGridOf(const Matrix& grid, const Matrix& xy, std::int32_t n,
                         const std::function<long double(double, double)>& density,
                         long double rel) {
    const GridLayout g = LayOutGrid(xy, n);
    ASSERT_EQ(grid.Rows(), 40001);
    for (const std::int32_t k : {0, 1, 200, 12345, 18121, 20100, 39999}) {
        const double x = g.xs[static_cast<std::size_t>(k / 200)];
        const double y = g.ys[static_cast<std::size_t>(k % 200)];
        EXPECT_EQ(grid(k, 0), x) << "node " << k;
        EXPECT_EQ(grid(k, 1), y) << "node " << k;
        EXPECT_TRUE(RelativelyNear(grid(k, 2), density(x, y) * g.dx * g.dy, rel)) << "node " << k;
    }
}

} // namespace ranvik::testing
