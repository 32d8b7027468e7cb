#pragma once

#include "kernel/kernel_sums.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace ranvik {

// Locations sorted into square cells, column of cells by column (x first, then y), so that the
// locations of a run of cells in one column lie next to each other. For a reach R the cell side
// is R / 16 to R, as fine as the locations' density lets a run hold enough of them (larger when
// that would need more than 2^30 cells across): a location's neighbours within R then lie,
// column by column, in one run of cells each.
class PairCells {
public:
    PairCells(const Points& points, double reach);

    // The locations in cell order, and each one's index among the given points.
    [[nodiscard]] const std::vector<double>& X() const { return x_; }
    [[nodiscard]] const std::vector<double>& Y() const { return y_; }
    [[nodiscard]] const std::vector<std::uint32_t>& Index() const { return index_; }

    [[nodiscard]] std::size_t Columns() const { return column_ix_.size(); }
    // Positions (in cell order) of the locations of column k: [ColumnStart(k), ColumnStart(k+1)).
    [[nodiscard]] std::size_t ColumnStart(std::size_t k) const;
    // Positions of the locations of the columns k..last, last being the farthest column to the
    // right that ForwardRuns of column k can reach.
    [[nodiscard]] std::size_t ReachEnd(std::size_t k) const;

    // Calls visit(p, begin, end) for every location p of column k and runs [begin, end) of
    // positions after p, such that every pair p < q of locations closer than the reach is in
    // exactly one run of exactly one call (farther pairs may be in a run too, never twice).
    template <class Visit> void ForwardRuns(std::size_t k, Visit&& visit) const {
        std::vector<std::pair<std::size_t, std::size_t>> runs;
        for (std::size_t cell = column_cell_[k]; cell < column_cell_[k + 1]; ++cell) {
            const std::size_t own_end = RunsOf(k, cell, runs);
            for (std::size_t p = cell_start_[cell]; p < cell_start_[cell + 1]; ++p) {
                visit(p, p + 1, own_end);
                for (const auto& [begin, end] : runs) {
                    visit(p, begin, end);
                }
            }
        }
    }

    // Calls visit(begin, end) for runs of positions that hold, each once, every location within
    // `reach` of the location at position p (itself included), and possibly farther ones.
    template <class Visit> void RunsAround(std::size_t p, double reach, Visit&& visit) const {
        const double ratio = reach / cell_ * (1 + kRatioSlack) + kRatioSlack;
        if (!(ratio < static_cast<double>(std::int64_t{1} << 40))) {
            visit(std::size_t{0}, x_.size());
            return;
        }
        const std::size_t cell = CellOf(p);
        const std::int64_t ix = column_ix_[ColumnOf(cell)];
        const std::int64_t iy = cell_iy_[cell];
        const auto span = static_cast<std::int64_t>(std::floor(ratio)) + 1;
        auto k = static_cast<std::size_t>(
            std::lower_bound(column_ix_.begin(), column_ix_.end(), ix - span) - column_ix_.begin());
        for (; k < column_ix_.size() && column_ix_[k] <= ix + span; ++k) {
            const std::int64_t dix = column_ix_[k] > ix ? column_ix_[k] - ix : ix - column_ix_[k];
            const double across = static_cast<double>(std::max<std::int64_t>(dix - 1, 0));
            if (across > ratio) {
                continue;
            }
            const auto rows =
                static_cast<std::int64_t>(std::floor(std::sqrt(ratio * ratio - across * across))) +
                1;
            const auto [begin, end] = RunIn(k, iy - rows, iy + rows);
            if (begin < end) {
                visit(begin, end);
            }
        }
    }

private:
    // Slack, relative and absolute, on a reach in cells: some 10^7 times the ratio's rounding,
    // and above the rounding of any cell index below 10^6, so a pair at the edge stays in a run.
    static constexpr double kRatioSlack = 1e-9;

    [[nodiscard]] std::size_t CellOf(std::size_t p) const;
    [[nodiscard]] std::size_t ColumnOf(std::size_t cell) const;

    // The runs of the columns to the right of `cell` (in column k) its locations can reach; the
    // end of its own column's run is returned.
    std::size_t RunsOf(std::size_t k, std::size_t cell,
                       std::vector<std::pair<std::size_t, std::size_t>>& runs) const;
    // Positions of the cells of column k with iy in [lo, hi].
    [[nodiscard]] std::pair<std::size_t, std::size_t> RunIn(std::size_t k, std::int64_t lo,
                                                            std::int64_t hi) const;

    double cell_ = 1;
    std::vector<double> x_, y_;
    std::vector<std::uint32_t> index_;
    std::vector<std::int64_t> cell_iy_;     // each cell's row
    std::vector<std::size_t> cell_start_;   // cell c's locations: [cell_start_[c], [c + 1])
    std::vector<std::int64_t> column_ix_;   // each column's x index, increasing
    std::vector<std::size_t> column_cell_;  // column k's cells: [column_cell_[k], [k + 1])
    std::vector<std::int64_t> rows_within_; // rows_within_[dix]: the |diy| a run spans
};

// The least-squares cross-validation sum over all ordered pairs, the plain
//   S = sum_i sum_j exp(-d_ij^2 / four_h2) - 4 exp(-d_ij^2 / two_h2),
// from the pairs i < j within a reach R (counted twice) and the n terms i = j (-3 each).
// A pair farther apart has a = d^2 / four_h2 > A = R^2 / four_h2 > ln 8, so its term lies
// between 0 and exp(-a) < exp(-A); the at most n (n - 1) / 2 pairs left out add less than
// n (n - 1) exp(-A). The sum is returned only when that bound is below 1e-13 of |4 n + S|, the
// numerator of the score S / (4 pi h^2 n^2) + 1 / (pi h^2 n), so that leaving them out moves
// the score by less than 1e-13 relative. A is first what half of `numerator_guess` (|4 n + S|
// of a nearby h, when the caller has one) asks for, else ln n + 13 ln 10 + ln 2, and is raised
// once to what the numerator found asks for when that falls short. exp(-d^2 / two_h2) is taken as
// the square of exp(-d^2 / four_h2), and the arguments are d^2 times -1 / four_h2 (the exponentials
// within 2 units in the last place, the square within 5 of the plain one, and an argument's
// rounding moves its exponential by at most |argument| units): each term then differs from the
// plain one by a rounding far smaller than what adding it to the running sum rounds off, as the
// different order of the additions does. Nothing for fewer than 500 locations (the plain sum is
// quick) or when the bound cannot be met; the caller then takes the plain path.
[[nodiscard]] std::optional<double> NearLSCVSum(const Points& points, double four_h2, bool parallel,
                                                double numerator_guess = 0.0);

// The likelihood cross-validation row sums s_i = sum_{j != i} t_ij of CVRowSum (each term as the
// plain one forms it, exp(-d^2 / two_h2) floored and times c_j, then floored, but with the
// argument formed as d^2 times -1 / two_h2, which moves the exponential by at most |argument|
// units in the last place), from the pairs within a reach R, B = R^2 / two_h2 =
// ln n + 16 ln 10 + 4; each pair's exponential is formed once and serves both rows. A term left out
// is at most max(exp(-B) c_max, smallest double), so a row's left-out terms add at most (n - 1)
// times that; a row where this could reach 1e-16 of its sum (a location far from the others) is
// summed again over twice the reach, and so on, until the bound holds (its terms formed exactly as
// the plain ones), or summed in full once a wider reach cannot lower it. Every s_i is then within
// 1e-16, plus those roundings and the rounding of a different order, of the plain one (the tests
// find 5e-14 at most), and its logarithm within as much absolute. Nothing for fewer than 500
// locations or weights of mixed sign.
[[nodiscard]] std::optional<std::vector<double>>
NearCVRowSums(const Points& points, const std::vector<double>& c, double two_h2, bool parallel);

// sum_j exp(-d_ij^2 / two_h2) * factor over all j, j = i included (the pilot densities of the
// adaptive kernel before their division by n), from the pairs within the reach of
// NearCVRowSums. The term j = i is `factor`, so the at most n - 1 terms left out, each below
// exp(-B) factor, add less than 1e-16 of every sum. Nothing for fewer than 500 locations.
[[nodiscard]] std::optional<std::vector<double>>
NearKernelRowSums(const Points& points, double two_h2, double factor, bool parallel);

} // namespace ranvik
