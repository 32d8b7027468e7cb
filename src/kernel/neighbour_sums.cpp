#include "kernel/neighbour_sums.h"

#include "numerics/exp_batch.h"
#include "state/constants.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace ranvik {
namespace {

// Below this many locations the plain sums are quick enough.
constexpr std::size_t kFewLocations = 500;
constexpr std::size_t kBlock = 256;
// Cells per reach, and the most cells across the locations' box.
// Cells per reach: finer cells cover the reach's disc more closely (a sixteenth of the reach
// visits about 1.15 times the pairs within it, an eighth 1.3 times, a quarter 1.6 times), but
// each run of a column should still hold enough locations for the term loops to pay.
constexpr double kMostCellsPerReach = 16.0;
constexpr double kLocationsPerRun = 48.0;
constexpr double kMostCells = 1073741824.0; // 2^30

// What the far pairs may add to |4 n + S|, relative: the plain sum's rounding (n ulps) at n = 500.
constexpr double kLSCVTail = 1e-13;
// ln(1 / kLSCVTail), formed as 13 ln 10: A = this + ln(n (n - 1) / |4 n + S|) meets the bound.
const double kLogInverseLSCVTail = 13 * std::log(10.0);
// The first A holds for |4 n + S| down to half its guess (to half of n when there is none).
constexpr double kNumeratorShare = 2.0;
// The least A: a far term w - 4 w^2 lies in [0, w] for w <= 1/4; w <= 1 / (8 e) is well inside.
const double kLeastLSCVReach = std::log(8.0) + 1;
// A raised A asks e times more than needed: the new pairs may lower |4 n + S| by 1 - 1/e (63 %).
constexpr double kRaiseMargin = 1.0;

// What the far terms may add to a CV row sum, relative: under half an ulp (2^-53 = 1.1e-16).
constexpr double kRowTail = 1e-16;
// ln(1 / kRowTail), formed as 16 ln 10: B = ln n + this puts n - 1 far terms under kRowTail c_max.
const double kLogInverseRowTail = 16 * std::log(10.0);
// B's spare e^4: a row passes at once if it holds e^-4 c_max (weight c_max within 2 sqrt(2) h).
constexpr double kRowHeadroom = 4.0;
// A far row tries again at 4 B, twice the reach (B grows as R^2): tries grow as log2 of its gap.
constexpr double kWiderReach = 4.0;

using Block = std::array<double, kBlock>;

// A thread's arguments and exponentials of one block.
struct Scratch {
    Block arg{};
    Block exp{};
};

// The terms of the row sums: the plain path's exponential floored, times the other location's
// factor, floored again.
inline double Floored(double t) {
    return t == 0.0 ? kSmallestDouble : t;
}

// The loops below keep four partial sums, lane m % 4 taking term m, and add them as
// (s0 + s1) + (s2 + s3): the order is the same whether they run in two or four lanes at a time,
// so every machine forms the same bits.

// exp(d^2 scale) into scratch.exp for the `count` locations at x, y (at most a block) as seen
// from (xp, yp); inlined into each variant of its callers.
[[gnu::always_inline]] inline void ScaledExps(const double* x, const double* y, double xp,
                                              double yp, double scale, std::size_t count,
                                              Scratch& scratch) {
    for (std::size_t m = 0; m < count; ++m) {
        const double dx = xp - x[m];
        const double dy = yp - y[m];
        scratch.arg[m] = (dx * dx + dy * dy) * scale;
    }
    ExpBatch(scratch.arg.data(), scratch.exp.data(), count);
}

// The terms of the location at (xp, yp) with `count` locations at x, y (at most a block):
// exp(d^2 scale) floored, times c[m] for the row (returned) and times cp for the others' rows
// (added into back[m]), each floored.
__attribute__((target_clones("avx2", "default"))) double
RowAndColumnTerms(const double* x, const double* y, double xp, double yp, const double* c,
                  double cp, double scale, std::size_t count, double* back, Scratch& scratch) {
    ScaledExps(x, y, xp, yp, scale, count, scratch);
    const Block& e = scratch.exp;
    std::array<double, 4> lane{};
    std::size_t m = 0;
    for (; m + 4 <= count; m += 4) {
        for (std::size_t l = 0; l < 4; ++l) {
            const double em = std::max(e[m + l], kSmallestDouble);
            lane[l] += Floored(em * c[m + l]);
            back[m + l] += Floored(em * cp);
        }
    }
    for (; m < count; ++m) {
        const double em = std::max(e[m], kSmallestDouble);
        lane[m % 4] += Floored(em * c[m]);
        back[m] += Floored(em * cp);
    }
    return (lane[0] + lane[1]) + (lane[2] + lane[3]);
}

// The least-squares terms w - 4 w^2, w = exp(d^2 scale), of the location at (xp, yp) with
// `count` locations at x, y (at most a block).
__attribute__((target_clones("avx2", "default"))) double LSCVTerms(const double* x, const double* y,
                                                                   double xp, double yp,
                                                                   double scale, std::size_t count,
                                                                   Scratch& scratch) {
    ScaledExps(x, y, xp, yp, scale, count, scratch);
    const Block& w = scratch.exp;
    std::array<double, 4> lane{};
    std::size_t m = 0;
    for (; m + 4 <= count; m += 4) {
        for (std::size_t l = 0; l < 4; ++l) {
            lane[l] += w[m + l] - 4.0 * (w[m + l] * w[m + l]);
        }
    }
    for (; m < count; ++m) {
        lane[m % 4] += w[m] - 4.0 * (w[m] * w[m]);
    }
    return (lane[0] + lane[1]) + (lane[2] + lane[3]);
}

// Row sums over the pairs within reach2 (squared), each pair's exponential exp(-d^2 / two_h2)
// formed once: t = e c_q goes to row p and e c_p to row q. Each column of cells adds its
// pairs' second halves into a buffer of its own, and the buffers are added into the rows in
// column order afterwards, so that the sums do not depend on how the columns are shared
// between threads. `c` is in the cells' order.
std::vector<double> SymmetricRowSums(const PairCells& cells, const std::vector<double>& c,
                                     double two_h2, bool parallel) {
    const std::vector<double>& x = cells.X();
    const std::vector<double>& y = cells.Y();
    const double scale = -1 / two_h2;
    const std::size_t n = x.size();
    const std::size_t columns = cells.Columns();
    std::vector<double> rows(n, 0.0);
    std::vector<std::vector<double>> spill(columns);
#pragma omp parallel for schedule(dynamic, 1) if (parallel)
    for (std::size_t k = 0; k < columns; ++k) {
        const std::size_t base = cells.ColumnStart(k);
        std::vector<double>& out = spill[k];
        Scratch scratch;
        out.assign(cells.ReachEnd(k) - base, 0.0);
        cells.ForwardRuns(k, [&](std::size_t p, std::size_t begin, std::size_t end) {
            double row = 0.0;
            for (std::size_t start = begin; start < end; start += kBlock) {
                const std::size_t count = std::min(kBlock, end - start);
                row += RowAndColumnTerms(x.data() + start, y.data() + start, x[p], y[p],
                                         c.data() + start, c[p], scale, count,
                                         out.data() + (start - base), scratch);
            }
            rows[p] += row;
        });
    }
    // Column k's buffer covers positions ColumnStart(k) .. ReachEnd(k); each row takes the
    // buffers of the columns to its left that reach it, leftmost first.
    std::vector<std::size_t> start(columns + 1), reach_end(columns);
    for (std::size_t k = 0; k <= columns; ++k) {
        start[k] = cells.ColumnStart(k);
    }
    for (std::size_t k = 0; k < columns; ++k) {
        reach_end[k] = cells.ReachEnd(k);
    }
    std::size_t first = 0;
    for (std::size_t k = 0; k < columns; ++k) {
        while (reach_end[first] <= start[k]) {
            ++first;
        }
        for (std::size_t p = start[k]; p < start[k + 1]; ++p) {
            double sum = rows[p];
            for (std::size_t from = first; from <= k; ++from) {
                if (p < reach_end[from]) {
                    sum += spill[from][p - start[from]];
                }
            }
            rows[p] = sum;
        }
    }
    return rows;
}

// The terms of CVRowSum, as it forms them, of the location at (xp, yp) with `count` locations
// at x, y (at most a block), added in order.
double RowTerms(const double* x, const double* y, double xp, double yp, const double* c,
                double two_h2, std::size_t count, Scratch& scratch) {
    for (std::size_t m = 0; m < count; ++m) {
        const double dx = xp - x[m];
        const double dy = yp - y[m];
        scratch.arg[m] = -(dx * dx + dy * dy) / two_h2;
    }
    ExpBatch(scratch.arg.data(), scratch.exp.data(), count);
    double sum = 0.0;
    for (std::size_t m = 0; m < count; ++m) {
        sum += Floored(std::max(scratch.exp[m], kSmallestDouble) * c[m]);
    }
    return sum;
}

// The box around the locations (all 0 when there are none).
struct Box {
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;

    explicit Box(const Points& points) {
        if (points.size() > 0) {
            const auto [min_x, max_x] = std::minmax_element(points.x.begin(), points.x.end());
            const auto [min_y, max_y] = std::minmax_element(points.y.begin(), points.y.end());
            x0 = *min_x;
            x1 = *max_x;
            y0 = *min_y;
            y1 = *max_y;
        }
    }

    [[nodiscard]] double Span() const { return std::max(x1 - x0, y1 - y0); }
};

// B = R^2 / two_h2 = ln n + 16 ln 10 + 4, the reach of the CV row sums and the pilot densities
// for n locations: each of the n - 1 terms beyond it is at most exp(-B) c_max (see kRowHeadroom).
double RowReachB(std::size_t n) {
    return std::log(static_cast<double>(n)) + kLogInverseRowTail + kRowHeadroom;
}

// Cells per reach for n locations in `box`: the most (up to kMostCellsPerReach, a power of 2)
// whose runs, a cell wide and twice the reach long, hold kLocationsPerRun locations at the mean
// density of the box.
double CellsPerReach(const Box& box, std::size_t n, double reach) {
    const double area = std::max(box.x1 - box.x0, std::numeric_limits<double>::min()) *
                        std::max(box.y1 - box.y0, std::numeric_limits<double>::min());
    const double per_run = static_cast<double>(n) / area * 2 * (reach * reach);
    double cells = kMostCellsPerReach;
    while (cells > 1 && per_run / cells < kLocationsPerRun) {
        cells /= 2;
    }
    return cells;
}

} // namespace

PairCells::PairCells(const Points& points, double reach) {
    const std::size_t n = points.size();
    const Box box(points);
    const double span = box.Span();
    double cell = reach / CellsPerReach(box, n, reach);
    if (!(cell > 0) || !std::isfinite(cell) || span / cell > kMostCells) {
        cell = std::max(span / kMostCells, std::numeric_limits<double>::min());
    }
    if (!std::isfinite(span) || span == 0.0 || !(reach < span * 4)) {
        cell = std::numeric_limits<double>::max(); // one cell holds every location
    }
    cell_ = cell;
    std::vector<std::int64_t> ix(n), iy(n);
    for (std::size_t i = 0; i < n; ++i) {
        ix[i] = static_cast<std::int64_t>(std::floor((points.x[i] - box.x0) / cell));
        iy[i] = static_cast<std::int64_t>(std::floor((points.y[i] - box.y0) / cell));
    }
    index_.resize(n);
    std::iota(index_.begin(), index_.end(), 0U);
    std::stable_sort(index_.begin(), index_.end(), [&](std::uint32_t a, std::uint32_t b) {
        return ix[a] != ix[b] ? ix[a] < ix[b] : iy[a] < iy[b];
    });
    x_.resize(n);
    y_.resize(n);
    for (std::size_t p = 0; p < n; ++p) {
        const std::uint32_t i = index_[p];
        x_[p] = points.x[i];
        y_[p] = points.y[i];
        const bool new_column = p == 0 || ix[i] != ix[index_[p - 1]];
        if (new_column) {
            column_ix_.push_back(ix[i]);
            column_cell_.push_back(cell_iy_.size());
        }
        if (new_column || iy[i] != iy[index_[p - 1]]) {
            cell_iy_.push_back(iy[i]);
            cell_start_.push_back(p);
        }
    }
    cell_start_.push_back(n);
    column_cell_.push_back(cell_iy_.size());
    // Two cells dix columns and diy rows apart hold locations at least
    // max(|dix| - 1, 0) and max(|diy| - 1, 0) cells apart along each axis; the ratio is widened
    // a little so that the rounding of the cell indices can only add pairs.
    const double ratio = cell == std::numeric_limits<double>::max()
                             ? 0.0
                             : reach / cell * (1 + kRatioSlack) + kRatioSlack;
    for (std::int64_t dix = 0;; ++dix) {
        const double across = static_cast<double>(std::max<std::int64_t>(dix - 1, 0));
        if (across > ratio) {
            break;
        }
        const double along = std::sqrt(ratio * ratio - across * across);
        rows_within_.push_back(static_cast<std::int64_t>(std::floor(along)) + 1);
    }
}

std::size_t PairCells::CellOf(std::size_t p) const {
    return static_cast<std::size_t>(std::upper_bound(cell_start_.begin(), cell_start_.end(), p) -
                                    cell_start_.begin()) -
           1;
}

std::size_t PairCells::ColumnOf(std::size_t cell) const {
    return static_cast<std::size_t>(
               std::upper_bound(column_cell_.begin(), column_cell_.end(), cell) -
               column_cell_.begin()) -
           1;
}

std::size_t PairCells::ColumnStart(std::size_t k) const {
    return k < column_ix_.size() ? cell_start_[column_cell_[k]] : x_.size();
}

std::size_t PairCells::ReachEnd(std::size_t k) const {
    const std::int64_t last = column_ix_[k] + static_cast<std::int64_t>(rows_within_.size()) - 1;
    const auto after = std::upper_bound(column_ix_.begin(), column_ix_.end(), last);
    return ColumnStart(static_cast<std::size_t>(after - column_ix_.begin()));
}

std::pair<std::size_t, std::size_t> PairCells::RunIn(std::size_t k, std::int64_t lo,
                                                     std::int64_t hi) const {
    const auto first = cell_iy_.begin() + static_cast<std::ptrdiff_t>(column_cell_[k]);
    const auto last = cell_iy_.begin() + static_cast<std::ptrdiff_t>(column_cell_[k + 1]);
    const auto from = std::lower_bound(first, last, lo);
    const auto to = std::upper_bound(from, last, hi);
    return {cell_start_[static_cast<std::size_t>(from - cell_iy_.begin())],
            cell_start_[static_cast<std::size_t>(to - cell_iy_.begin())]};
}

std::size_t PairCells::RunsOf(std::size_t k, std::size_t cell,
                              std::vector<std::pair<std::size_t, std::size_t>>& runs) const {
    runs.clear();
    const std::int64_t row = cell_iy_[cell];
    const std::size_t own_end = RunIn(k, row, row + rows_within_[0]).second;
    std::size_t next = k + 1;
    for (std::size_t dix = 1; dix < rows_within_.size() && next < column_ix_.size(); ++dix) {
        const std::int64_t target = column_ix_[k] + static_cast<std::int64_t>(dix);
        while (next < column_ix_.size() && column_ix_[next] < target) {
            ++next;
        }
        if (next == column_ix_.size() || column_ix_[next] != target) {
            continue;
        }
        const auto [begin, end] = RunIn(next, row - rows_within_[dix], row + rows_within_[dix]);
        if (begin < end) {
            runs.emplace_back(begin, end);
        }
    }
    return own_end;
}

std::optional<double> NearLSCVSum(const Points& points, double four_h2, bool parallel,
                                  double numerator_guess) {
    const std::size_t n = points.size();
    if (n < kFewLocations || !(four_h2 > 0) || !std::isfinite(four_h2)) {
        return std::nullopt;
    }
    const double count = static_cast<double>(n);
    const double all_pairs = count * (count - 1) / 2;
    // With a guess of |4 n + S|, A is what half of it asks for; without, what n asks for.
    double a = numerator_guess > 0
                   ? std::log(2 * all_pairs / (kLSCVTail * numerator_guess / kNumeratorShare))
                   : std::log(count) + kLogInverseLSCVTail + std::log(kNumeratorShare);
    a = std::max(a, kLeastLSCVReach);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const double reach = std::sqrt(four_h2 * a);
        const PairCells cells(points, reach);
        const double scale = -1 / four_h2;
        const std::vector<double>& x = cells.X();
        const std::vector<double>& y = cells.Y();
        std::vector<double> column_sums(cells.Columns());
        std::vector<double> column_pairs(cells.Columns());
#pragma omp parallel for schedule(dynamic, 1) if (parallel)
        for (std::size_t k = 0; k < cells.Columns(); ++k) {
            double sum = 0.0;
            double pairs = 0.0;
            Scratch scratch;
            cells.ForwardRuns(k, [&](std::size_t p, std::size_t begin, std::size_t end) {
                pairs += static_cast<double>(end - begin);
                for (std::size_t start = begin; start < end; start += kBlock) {
                    sum += LSCVTerms(x.data() + start, y.data() + start, x[p], y[p], scale,
                                     std::min(kBlock, end - start), scratch);
                }
            });
            column_sums[k] = sum;
            column_pairs[k] = pairs;
        }
        double off_diagonal = 0.0;
        double counted = 0.0;
        for (std::size_t k = 0; k < column_sums.size(); ++k) {
            off_diagonal += column_sums[k];
            counted += column_pairs[k];
        }
        const double s = -3.0 * count + 2.0 * off_diagonal;
        const double numerator = std::fabs(4 * count + s);
        const double left_out = 2 * std::max(all_pairs - counted, 0.0) * std::exp(-a);
        if (left_out <= kLSCVTail * numerator) {
            return s;
        }
        const double wanted = std::log(2 * all_pairs / (kLSCVTail * numerator)) + kRaiseMargin;
        if (!(wanted > a) || !std::isfinite(wanted)) {
            return std::nullopt;
        }
        a = wanted;
    }
    return std::nullopt;
}

std::optional<std::vector<double>> NearCVRowSums(const Points& points, const std::vector<double>& c,
                                                 double two_h2, bool parallel) {
    const std::size_t n = points.size();
    if (n < kFewLocations || c.size() < n || !(two_h2 > 0) || !std::isfinite(two_h2)) {
        return std::nullopt;
    }
    double c_max = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        if (!(c[j] >= 0)) {
            return std::nullopt; // the bound needs weights of one sign
        }
        c_max = std::max(c_max, c[j]);
    }
    const double b = RowReachB(n);
    const PairCells cells(points, std::sqrt(two_h2 * b));
    std::vector<double> sorted_c(n);
    for (std::size_t p = 0; p < n; ++p) {
        sorted_c[p] = c[cells.Index()[p]];
    }
    const std::vector<double> near = SymmetricRowSums(cells, sorted_c, two_h2, parallel);
    // What the terms beyond a reach R' = sqrt(two_h2 b') can add to a row.
    const auto left_out = [&](double b_wide) {
        return static_cast<double>(n - 1) * std::max(std::exp(-b_wide) * c_max, kSmallestDouble);
    };
    std::vector<double> sums(n);
    std::vector<std::size_t> wider;
    for (std::size_t p = 0; p < n; ++p) {
        sums[cells.Index()[p]] = near[p];
        if (!(left_out(b) <= kRowTail * near[p])) {
            wider.push_back(p);
        }
    }
#pragma omp parallel for schedule(dynamic, 1) if (parallel && wider.size() > 1)
    for (std::size_t r = 0; r < wider.size(); ++r) {
        const std::size_t p = wider[r];
        const std::size_t i = cells.Index()[p];
        Scratch scratch;
        for (double b_wide = kWiderReach * b;; b_wide *= kWiderReach) {
            double row = 0.0;
            cells.RunsAround(
                p, std::sqrt(two_h2 * b_wide), [&](std::size_t begin, std::size_t end) {
                    // The location's own term is not in its row.
                    for (const auto& [from, to] :
                         {std::pair{begin, std::min(end, std::max(begin, p))},
                          std::pair{std::max(begin, p + 1), end}}) {
                        for (std::size_t start = from; start < to; start += kBlock) {
                            row += RowTerms(cells.X().data() + start, cells.Y().data() + start,
                                            cells.X()[p], cells.Y()[p], sorted_c.data() + start,
                                            two_h2, std::min(kBlock, to - start), scratch);
                        }
                    }
                });
            if (left_out(b_wide) <= kRowTail * row) {
                sums[i] = row;
                break;
            }
            if (std::exp(-b_wide) * c_max < kSmallestDouble) {
                sums[i] = CVRowSum(i, points, c, two_h2); // only floored terms lie farther
                break;
            }
        }
    }
    return sums;
}

std::optional<std::vector<double>> NearKernelRowSums(const Points& points, double two_h2,
                                                     double factor, bool parallel) {
    const std::size_t n = points.size();
    if (n < kFewLocations || !(two_h2 > 0) || !std::isfinite(two_h2) || !(factor > 0)) {
        return std::nullopt;
    }
    const PairCells cells(points, std::sqrt(two_h2 * RowReachB(n)));
    const std::vector<double> near =
        SymmetricRowSums(cells, std::vector<double>(n, factor), two_h2, parallel);
    std::vector<double> sums(n);
    for (std::size_t p = 0; p < n; ++p) {
        sums[cells.Index()[p]] = factor + near[p];
    }
    return sums;
}

} // namespace ranvik
