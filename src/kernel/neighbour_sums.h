#pragma once

#include "kernel/kernel_sums.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ranvik {

// Locations binned on a square lattice of side `reach`, so that every location closer than
// `reach` to a given one lies in its bin or one of the eight around it.
class NeighbourBins {
public:
    NeighbourBins(const Points& points, double reach);

    // The locations of the nine bins around location i (itself included), bin by bin; each
    // span lists location indices in increasing order.
    void Near(std::size_t i, std::vector<std::span<const std::uint32_t>>& out) const;

    // Calls take(j, d2) for every location j within squared distance `reach2` of location i
    // (i itself included), bin by bin; d2 = dx * dx + dy * dy as the plain sums form it.
    // `near` is scratch space for the bins.
    template <class Take>
    void ForEachNear(const Points& points, std::size_t i, double reach2,
                     std::vector<std::span<const std::uint32_t>>& near, Take&& take) const {
        const double xi = points.x[i];
        const double yi = points.y[i];
        Near(i, near);
        for (const auto& bin : near) {
            for (const std::uint32_t j : bin) {
                const double dx = xi - points.x[j];
                const double dy = yi - points.y[j];
                const double d2 = dx * dx + dy * dy;
                if (d2 <= reach2) {
                    take(j, d2);
                }
            }
        }
    }

    // How many bins hold locations.
    [[nodiscard]] std::size_t Bins() const { return keys_.size(); }

private:
    [[nodiscard]] std::int64_t Key(double x, double y) const;

    double origin_x_ = 0, origin_y_ = 0, reach_ = 1;
    std::vector<std::int64_t> keys_;    // the occupied bins, sorted
    std::vector<std::uint32_t> starts_; // bin b's locations: order_[starts_[b] .. starts_[b + 1])
    std::vector<std::uint32_t> order_;  // location indices grouped by bin
    std::vector<std::int64_t> key_of_;  // each location's bin
};

// The least-squares cross-validation sum over all ordered pairs,
//   S = sum_i sum_j exp(-d_ij^2 / four_h2) - 4 exp(-d_ij^2 / two_h2),
// from the pairs within a reach R. A pair farther apart has a = d^2 / four_h2 > ln 4, so its
// term lies between 0 and exp(-a) < exp(-A), A = R^2 / four_h2. With A = ln n + 16 ln 10 the
// at most n^2 left-out terms add less than 1e-16 n. The sum is taken only when that is below
// 1e-13 of |4 n + S|, the numerator of the score S / (4 pi h^2 n^2) + 1 / (pi h^2 n), so the
// score moves by less than 1e-13 relative; each pair's term is the plain path's to the bit, and
// a row's pairs are added bin by bin rather than in index order (a rounding of a different
// order). Nothing when the shortcut cannot pay (few locations, or a reach that spans them) or
// its bound is not small enough; the caller then takes the plain path.
[[nodiscard]] std::optional<double> NearLSCVSum(const Points& points, double four_h2, double two_h2,
                                                bool parallel);

// The likelihood cross-validation row sums s_i = sum_{j != i} t_ij of CVRowSum from the
// locations within a reach R, B = R^2 / two_h2 = ln n + 37 ln 10: a left-out term of the plain
// path is max(exp(-d^2 / two_h2) c_j, smallest double) <= max(exp(-B) c_max, smallest double).
// A row whose left-out terms could add 1e-16 of its sum is summed in full instead, so every
// s_i is within 1e-16 (plus the rounding of a different order) of the plain one and its
// logarithm within 1e-16 absolute. Nothing when the shortcut cannot pay.
[[nodiscard]] std::optional<std::vector<double>>
NearCVRowSums(const Points& points, const std::vector<double>& c, double two_h2, bool parallel);

} // namespace ranvik
