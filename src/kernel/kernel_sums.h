#pragma once

#include "state/matrix.h"

#include <cstdint>
#include <vector>

namespace ranvik {

// Coordinates of locations 0..n-1 in two plain arrays, for the tight loops of the kernel sums.
struct Points {
    std::vector<double> x, y;

    [[nodiscard]] std::size_t size() const { return x.size(); }
};

[[nodiscard]] Points PointsOf(const Matrix& xy, std::int32_t n);

// Every sum below runs over the points in their order, one term after another, so its value
// does not depend on how the work around it is shared between threads. The exponentials are
// computed in blocks (ExpBatch); a term whose exponential underflows is an exact 0.

// sum_i exp(-d_i^2 / two_h2) * w_i / norm with d_i the distance from (x, y) to point i;
// w_i = 1 (the term is then exp(..) / norm) when `weights` is null.
[[nodiscard]] double FixedKernelSum(double x, double y, const Points& points, const double* weights,
                                    double two_h2, double norm);

// The per-point constants of an adaptive kernel with local parameters h_j:
// two_h2[j] = 2 h_j^2 and norm[j] = 2 pi h_j^2.
struct AdaptiveScales {
    std::vector<double> two_h2, norm;
};
[[nodiscard]] AdaptiveScales ScalesOf(const std::vector<double>& local_h);

// sum_j exp(-d_j^2 / two_h2[j]) / norm[j]: the adaptive kernel with a parameter per point.
[[nodiscard]] double AdaptiveKernelSum(double x, double y, const Points& points,
                                       const std::vector<double>& two_h2,
                                       const std::vector<double>& norm);

// The likelihood cross-validation sum of point i: sum over j != i of t_j, where
// e = exp(-d_ij^2 / two_h2) and t_j = e * c[j], each replaced by the smallest positive double
// when it is 0.
[[nodiscard]] double CVRowSum(std::size_t i, const Points& points, const std::vector<double>& c,
                              double two_h2);

// The least-squares cross-validation sum of point i over all j, j = i included:
// sum_j exp(-(d_ij^2 / four_h2)) - 4 exp(-d_ij^2 / two_h2).
[[nodiscard]] double LSCVRowSum(std::size_t i, const Points& points, double four_h2, double two_h2);

} // namespace ranvik
