#pragma once

#include "state/matrix.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace ranvik::testing {

// How many simulated tracks a statistical check draws: a hundred, enough to hold a 95%
// interval's coverage to 88-99% and a rate to 90%; a few under the sanitizers, where only
// the memory and behaviour checks count (the statistics are then not asserted).
#ifdef RANVIK_SANITIZED
inline constexpr int kStatisticalTracks = 3;
#else
inline constexpr int kStatisticalTracks = 100;
#endif
inline constexpr bool kAssertStatistics = kStatisticalTracks == 100;

// Row r of a track table: the position (x, y) about (500000, 4000000) seen with a normal error
// of standard deviation `error` per axis, its time and its error.
inline void PutFix(Matrix& fixes, std::size_t r, double x, double y, double t, double error,
                   std::normal_distribution<double>& unit, std::mt19937_64& random) {
    const auto row = static_cast<std::int32_t>(r);
    fixes(row, 0) = 500000.0 + x + error * unit(random);
    fixes(row, 1) = 4000000.0 + y + error * unit(random);
    fixes(row, 2) = t;
    fixes(row, 3) = error;
}

// Fix times: n fixes every dt, or (irregular) with gaps drawn uniformly from 0.2 dt to 1.8 dt.
inline std::vector<double> FixTimes(std::int32_t n, double dt, bool irregular, unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> gap(0.2 * dt, 1.8 * dt);
    std::vector<double> t(static_cast<std::size_t>(n), 0.0);
    for (std::size_t i = 1; i < t.size(); ++i) {
        t[i] = t[i - 1] + (irregular ? gap(random) : dt);
    }
    return t;
}

// A track table (x, y, time, error; row n spare) of an isotropic Gaussian process about
// (500000, 4000000) with per-axis variance `variance`, drawn at times t from the dense
// covariance variance * rho(t_i - t_j) by its Cholesky factor (so it needs nothing of the
// filter it checks), each fix seen with a normal error of standard deviation `error` per axis.
inline Matrix DenseGaussianTrack(const std::vector<double>& t, double variance,
                                 const std::function<double(double)>& rho, double error,
                                 unsigned seed) {
    const std::size_t n = t.size();
    std::vector<double> l(n * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        double d = variance;
        for (std::size_t k = 0; k < j; ++k) {
            d -= l[j * n + k] * l[j * n + k];
        }
        l[j * n + j] = std::sqrt(std::max(d, 0.0));
        for (std::size_t i = j + 1; i < n; ++i) {
            double s = variance * rho(t[i] - t[j]);
            for (std::size_t k = 0; k < j; ++k) {
                s -= l[i * n + k] * l[j * n + k];
            }
            l[i * n + j] = l[j * n + j] > 0 ? s / l[j * n + j] : 0.0;
        }
    }
    std::mt19937_64 random(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::vector<double> zx(n);
    std::vector<double> zy(n);
    for (std::size_t i = 0; i < n; ++i) {
        zx[i] = unit(random);
        zy[i] = unit(random);
    }
    Matrix fixes(static_cast<std::int32_t>(n) + 1, 5);
    for (std::size_t i = 0; i < n; ++i) {
        double x = 0.0;
        double y = 0.0;
        for (std::size_t k = 0; k <= i; ++k) {
            x += l[i * n + k] * zx[k];
            y += l[i * n + k] * zy[k];
        }
        PutFix(fixes, i, x, y, t[i], error, unit, random);
    }
    return fixes;
}

// An isotropic OU track at times t: each axis an exact AR(1) step,
// x_i = phi x_{i-1} + sqrt(variance (1 - phi^2)) z, phi = exp(-(t_i - t_{i-1}) / tau), started
// from the stationary N(0, variance); errors as above.
inline Matrix OuTrack(const std::vector<double>& t, double variance, double tau, double error,
                      unsigned seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    Matrix fixes(static_cast<std::int32_t>(t.size()) + 1, 5);
    double x = std::sqrt(variance) * unit(random);
    double y = std::sqrt(variance) * unit(random);
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i > 0) {
            const double phi = std::exp(-(t[i] - t[i - 1]) / tau);
            const double step = std::sqrt(variance * (1 - phi * phi));
            x = phi * x + step * unit(random);
            y = phi * y + step * unit(random);
        }
        PutFix(fixes, i, x, y, t[i], error, unit, random);
    }
    return fixes;
}

} // namespace ranvik::testing
