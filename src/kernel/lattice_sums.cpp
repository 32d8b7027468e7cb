#include "kernel/lattice_sums.h"

#include "numerics/exp_batch.h"

#include <algorithm>
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
                double* __restrict node = sums.data() + i * kSide;
                const double* x_row = x_factors.data() + i * kPass;
                for (std::size_t k = 0; k < count; ++k) {
                    const double z = x_row[k] * factor[start + k];
                    if (z == 0.0) {
                        continue; // below the smallest normal double in every node of the column
                    }
                    const double* __restrict y_row = y_by_point.data() + k * kSide;
                    for (std::size_t j = 0; j < kSide; ++j) {
                        node[j] += z * y_row[j];
                    }
                }
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
