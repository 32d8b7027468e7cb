#pragma once

#include "state/matrix.h"

#include <cstdint>
#include <random>

namespace ranvik::bench {

// n locations from two activity centres in UTM-like metres (easting ~5.6e5, northing
// ~5.4e6): 60% around the first centre, 40% around a wider second one. The same n always gives
// the same locations; the array has the spare zero row.
inline Matrix TwoModeLocations(std::int32_t n, unsigned seed = 1234) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> near(0.0, 180.0);
    std::normal_distribution<double> wide(0.0, 260.0);
    std::uniform_real_distribution<double> which(0.0, 1.0);
    Matrix xy(n + 1, 3);
    for (std::int32_t i = 0; i < n; ++i) {
        if (which(random) < 0.6) {
            xy(i, 0) = 557800.0 + near(random);
            xy(i, 1) = 5425000.0 + near(random);
        } else {
            xy(i, 0) = 558600.0 + wide(random);
            xy(i, 1) = 5425600.0 + wide(random);
        }
    }
    return xy;
}

} // namespace ranvik::bench
