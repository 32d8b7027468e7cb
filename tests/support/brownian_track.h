#pragma once

#include "state/matrix.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>

namespace ranvik::testing {

// A track of n fixes of an animal moving by Brownian motion, with a truth to check estimates
// against: fix k is taken at time k * dt (dt in the track's time unit); between fixes k and
// k + 1 each coordinate moves by a normal step of variance variance(k) * dt, variance(k) the
// true motion variance of segment k (square metres per time unit); each fix is seen with a
// normal location error of standard deviation `error` on each axis, and carries `error` as its
// location error. Columns as the loader leaves them: x, y, time, error, unused; row n spare.
inline Matrix SimulatedTrack(std::int32_t n, double dt, double error,
                             const std::function<double(std::int32_t segment)>& variance,
                             unsigned seed = 1) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    Matrix fixes(n + 1, 5);
    double x = 560000.0;
    double y = 5430000.0;
    for (std::int32_t k = 0; k < n; ++k) {
        if (k > 0) {
            const double step = std::sqrt(variance(k - 1) * dt);
            x += step * unit(random);
            y += step * unit(random);
        }
        fixes(k, 0) = x + error * unit(random);
        fixes(k, 1) = y + error * unit(random);
        fixes(k, 2) = k * dt;
        fixes(k, 3) = error;
    }
    return fixes;
}

} // namespace ranvik::testing
