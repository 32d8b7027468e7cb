#include "kernel/lattice_sums.h"

#include "numerics/exp_batch.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ranvik {
namespace {

// Points per pass: the pass's factors X (200 x pass) and Y (pass x 200) take 6.5 MB.
constexpr std::size_t kPass = 2048;
constexpr std::size_t kSide = kGridCells;
// Columns finished between two progress reports.
constexpr std::size_t kColumnsPerReport = 10;

// exp(-(c - p_k)^2 / s_k) for the points [start, start + count) of one coordinate, into out.
void Factors(double c, const std::vector<double>& p, const std::vector<double>& scale,
             std::size_t start, std::size_t count, double* arg, double* out) {
    for (std::size_t k = 0; k < count; ++k) {
        const double d = c - p[start + k];
        arg[k] = -(d * d) / scale[start + k];
    }
    ExpBatch(arg, out, count);
}

// Adds the terms X[k] f_k Y[j][k] of `count` points to the nodes of one column, point after
// point. The points are taken four at a time: a node is loaded once, takes the four terms in
// their order, and is stored once, which gives the same bits as four separate passes. Each
// node's additions are separate from the others', so running four nodes at a time where the
// processor can changes no bit either.
__attribute__((target_clones("avx2", "default"))) void
AddToColumn(double* __restrict node, const double* x_row, const double* factor,
            const double* __restrict y_by_point, std::size_t count) {
    std::array<double, 4> z{};
    std::array<const double*, 4> rows{};
    std::size_t held = 0;
    for (std::size_t k = 0; k <= count; ++k) {
        if (k < count) {
            const double zk = x_row[k] * factor[k];
            if (zk == 0.0) {
                continue; // below the smallest normal double in every node of the column
            }
            z[held] = zk;
            rows[held] = y_by_point + k * kSide;
            ++held;
        }
        if (held == 4) {
            const double* __restrict y0 = rows[0];
            const double* __restrict y1 = rows[1];
            const double* __restrict y2 = rows[2];
            const double* __restrict y3 = rows[3];
            for (std::size_t j = 0; j < kSide; ++j) {
                node[j] = node[j] + z[0] * y0[j] + z[1] * y1[j] + z[2] * y2[j] + z[3] * y3[j];
            }
            held = 0;
        } else if (k == count) {
            for (std::size_t h = 0; h < held; ++h) {
                const double* __restrict y_row = rows[h];
                for (std::size_t j = 0; j < kSide; ++j) {
                    node[j] += z[h] * y_row[j];
                }
            }
        }
    }
}

} // namespace

StatusOr<std::vector<double>> LatticeKernelSums(const GridLayout& layout, const Points& points,
                                                const std::vector<double>& scale,
                                                const std::vector<double>& factor,
                                                const RunControl& control) {
    const std::size_t n = points.size();
    std::vector<double> sums(kSide * kSide, 0.0);
    std::vector<double> x_factors(kSide * kPass);
    std::vector<double> y_by_point(kPass * kSide); // row k: Y[0..199][k]
    for (std::size_t start = 0; start < n; start += kPass) {
        const std::size_t count = std::min(kPass, n - start);
#pragma omp parallel if (control.parallel)
        {
            std::vector<double> arg(count);
            std::vector<double> column(count);
#pragma omp for schedule(static)
            for (std::size_t i = 0; i < kSide; ++i) {
                Factors(layout.xs[i], points.x, scale, start, count, arg.data(),
                        x_factors.data() + i * kPass);
            }
#pragma omp for schedule(static)
            for (std::size_t j = 0; j < kSide; ++j) {
                Factors(layout.ys[j], points.y, scale, start, count, arg.data(), column.data());
                for (std::size_t k = 0; k < count; ++k) {
                    y_by_point[k * kSide + j] = column[k];
                }
            }
        }
        const double passes = std::ceil(static_cast<double>(n) / kPass);
        for (std::size_t first = 0; first < kSide; first += kColumnsPerReport) {
#pragma omp parallel for schedule(dynamic, 1) if (control.parallel)
            for (std::size_t i = first; i < first + kColumnsPerReport; ++i) {
                AddToColumn(sums.data() + i * kSide, x_factors.data() + i * kPass,
                            factor.data() + start, y_by_point.data(), count);
            }
            const double done = static_cast<double>(start / kPass) +
                                static_cast<double>(first + kColumnsPerReport) / kSide;
            if (!control.Report(done / passes)) {
                return Status::Cancelled();
            }
        }
    }
    return sums;
}

} // namespace ranvik
