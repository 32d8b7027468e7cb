#pragma once

#include "state/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <iomanip>
#include <random>
#include <sstream>
#include <utility>

namespace ranvik::testing {

// A location array as the loaders leave it: rows 0..n-1 hold (x, y) in columns 0 and 1,
// column 2 is unused and row n is the spare zero row.
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

// n synthetic fixes in two normal clusters of unequal size and spread (a den and a feeding
// area), from a fixed seed so that every run sees the same set.
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

} // namespace ranvik::testing
