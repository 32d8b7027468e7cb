#include "kernel/kernel_sums.h"

#include "numerics/exp_batch.h"
#include "state/constants.h"

#include <algorithm>
#include <array>

namespace ranvik {
namespace {

// Points handled per block: small enough for the block's arrays to stay in the first-level
// cache, large enough for the vector loops to pay.
constexpr std::size_t kBlock = 256;

using Block = std::array<double, kBlock>;

// -d^2 / scale for the points start..start+count-1 as seen from (x, y).
void NegatedScaledDistances(double x, double y, const Points& points, std::size_t start,
                            std::size_t count, double scale, Block& out) {
    const double* px = points.x.data() + start;
    const double* py = points.y.data() + start;
    for (std::size_t k = 0; k < count; ++k) {
        const double dx = x - px[k];
        const double dy = y - py[k];
        out[k] = -(dx * dx + dy * dy) / scale;
    }
}

} // namespace

Points PointsOf(const Matrix& xy, std::int32_t n) {
    Points p;
    p.x.reserve(static_cast<std::size_t>(n));
    p.y.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        p.x.push_back(xy(i, 0));
        p.y.push_back(xy(i, 1));
    }
    return p;
}

double FixedKernelSum(double x, double y, const Points& points, const double* weights,
                      double two_h2, double norm) {
    Block arg;
    Block term;
    double sum = 0.0;
    for (std::size_t start = 0; start < points.size(); start += kBlock) {
        const std::size_t count = std::min(kBlock, points.size() - start);
        NegatedScaledDistances(x, y, points, start, count, two_h2, arg);
        ExpBatch(arg.data(), term.data(), count);
        if (weights != nullptr) {
            for (std::size_t k = 0; k < count; ++k) {
                term[k] = term[k] * weights[start + k] / norm;
            }
        } else {
            for (std::size_t k = 0; k < count; ++k) {
                term[k] = term[k] / norm;
            }
        }
        for (std::size_t k = 0; k < count; ++k) {
            sum += term[k];
        }
    }
    return sum;
}

AdaptiveScales ScalesOf(const std::vector<double>& local_h) {
    AdaptiveScales scales;
    for (const double h : local_h) {
        scales.two_h2.push_back(2 * (h * h));
        scales.norm.push_back(2 * kPi * (h * h));
    }
    return scales;
}

double AdaptiveKernelSum(double x, double y, const Points& points,
                         const std::vector<double>& two_h2, const std::vector<double>& norm) {
    Block arg;
    Block term;
    double sum = 0.0;
    for (std::size_t start = 0; start < points.size(); start += kBlock) {
        const std::size_t count = std::min(kBlock, points.size() - start);
        const double* px = points.x.data() + start;
        const double* py = points.y.data() + start;
        for (std::size_t k = 0; k < count; ++k) {
            const double dx = x - px[k];
            const double dy = y - py[k];
            arg[k] = -(dx * dx + dy * dy) / two_h2[start + k];
        }
        ExpBatch(arg.data(), term.data(), count);
        for (std::size_t k = 0; k < count; ++k) {
            term[k] = term[k] / norm[start + k];
        }
        for (std::size_t k = 0; k < count; ++k) {
            sum += term[k];
        }
    }
    return sum;
}

double CVRowSum(std::size_t i, const Points& points, const std::vector<double>& c, double two_h2) {
    Block arg;
    Block term;
    double sum = 0.0;
    for (std::size_t start = 0; start < points.size(); start += kBlock) {
        const std::size_t count = std::min(kBlock, points.size() - start);
        NegatedScaledDistances(points.x[i], points.y[i], points, start, count, two_h2, arg);
        ExpBatch(arg.data(), term.data(), count);
        for (std::size_t k = 0; k < count; ++k) {
            const double e = term[k] == 0.0 ? kSmallestDouble : term[k];
            const double t = e * c[start + k];
            term[k] = t == 0.0 ? kSmallestDouble : t;
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (start + k != i) {
                sum += term[k];
            }
        }
    }
    return sum;
}

double LSCVRowSum(std::size_t i, const Points& points, double four_h2, double two_h2) {
    Block wide;
    Block narrow;
    Block e_wide;
    Block e_narrow;
    double sum = 0.0;
    for (std::size_t start = 0; start < points.size(); start += kBlock) {
        const std::size_t count = std::min(kBlock, points.size() - start);
        const double* px = points.x.data() + start;
        const double* py = points.y.data() + start;
        for (std::size_t k = 0; k < count; ++k) {
            const double dx = points.x[i] - px[k];
            const double dy = points.y[i] - py[k];
            const double d2 = dx * dx + dy * dy;
            wide[k] = -(d2 / four_h2);
            narrow[k] = -d2 / two_h2;
        }
        ExpBatch(wide.data(), e_wide.data(), count);
        ExpBatch(narrow.data(), e_narrow.data(), count);
        for (std::size_t k = 0; k < count; ++k) {
            e_wide[k] = e_wide[k] - 4.0 * e_narrow[k];
        }
        for (std::size_t k = 0; k < count; ++k) {
            sum += e_wide[k];
        }
    }
    return sum;
}

} // namespace ranvik
