#include "kernel/neighbour_sums.h"

#include "numerics/exp_batch.h"
#include "state/constants.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace ranvik {
namespace {

// Below this many locations the plain sums are quick enough.
constexpr std::size_t kFewLocations = 2000;
constexpr std::size_t kBlock = 256;
constexpr std::int64_t kSide = std::int64_t{1} << 31; // bin coordinates are offset into 0..2^32

// True when bins of side `reach` would split the locations' box, so the shortcut can pay.
bool WorthBinning(const Points& points, double reach) {
    if (points.size() < kFewLocations || !(reach > 0) || !std::isfinite(reach)) {
        return false;
    }
    const auto [x0, x1] = std::minmax_element(points.x.begin(), points.x.end());
    const auto [y0, y1] = std::minmax_element(points.y.begin(), points.y.end());
    const double span = std::max(*x1 - *x0, *y1 - *y0);
    return span > 4 * reach && span / reach < 1e9;
}

} // namespace

NeighbourBins::NeighbourBins(const Points& points, double reach) : reach_(reach) {
    const std::size_t n = points.size();
    origin_x_ = n > 0 ? *std::min_element(points.x.begin(), points.x.end()) : 0.0;
    origin_y_ = n > 0 ? *std::min_element(points.y.begin(), points.y.end()) : 0.0;
    key_of_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        key_of_[i] = Key(points.x[i], points.y[i]);
    }
    order_.resize(n);
    std::iota(order_.begin(), order_.end(), 0U);
    std::stable_sort(order_.begin(), order_.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return key_of_[a] < key_of_[b]; });
    for (std::size_t k = 0; k < n; ++k) {
        const std::int64_t key = key_of_[order_[k]];
        if (keys_.empty() || keys_.back() != key) {
            keys_.push_back(key);
            starts_.push_back(static_cast<std::uint32_t>(k));
        }
    }
    starts_.push_back(static_cast<std::uint32_t>(n));
}

std::int64_t NeighbourBins::Key(double x, double y) const {
    const auto bx = static_cast<std::int64_t>(std::floor((x - origin_x_) / reach_));
    const auto by = static_cast<std::int64_t>(std::floor((y - origin_y_) / reach_));
    return (bx + 1) * kSide + (by + 1);
}

void NeighbourBins::Near(std::size_t i, std::vector<std::span<const std::uint32_t>>& out) const {
    out.clear();
    const std::int64_t key = key_of_[i];
    for (const std::int64_t dx : {-kSide, std::int64_t{0}, kSide}) {
        for (const std::int64_t dy : {-1, 0, 1}) {
            const auto at = std::lower_bound(keys_.begin(), keys_.end(), key + dx + dy);
            if (at == keys_.end() || *at != key + dx + dy) {
                continue;
            }
            const auto b = static_cast<std::size_t>(at - keys_.begin());
            out.emplace_back(order_.data() + starts_[b], starts_[b + 1] - starts_[b]);
        }
    }
}

std::optional<double> NearLSCVSum(const Points& points, double four_h2, double two_h2,
                                  bool parallel) {
    const std::size_t n = points.size();
    const double a = std::log(static_cast<double>(n)) + 16 * std::log(10.0);
    const double reach2 = four_h2 * a;
    const double reach = std::sqrt(reach2);
    if (!WorthBinning(points, reach)) {
        return std::nullopt;
    }
    const NeighbourBins bins(points, reach);
    std::vector<double> row_sums(n);
#pragma omp parallel if (parallel)
    {
        std::vector<std::span<const std::uint32_t>> near;
        std::array<double, kBlock> wide{}, narrow{}, e_wide{}, e_narrow{};
#pragma omp for schedule(dynamic, 64)
        for (std::size_t i = 0; i < n; ++i) {
            double sum = 0.0;
            std::size_t count = 0;
            const auto flush = [&] {
                ExpBatch(wide.data(), e_wide.data(), count);
                ExpBatch(narrow.data(), e_narrow.data(), count);
                for (std::size_t k = 0; k < count; ++k) {
                    sum += e_wide[k] - 4.0 * e_narrow[k];
                }
                count = 0;
            };
            bins.ForEachNear(points, i, reach2, near, [&](std::uint32_t, double d2) {
                wide[count] = -(d2 / four_h2);
                narrow[count] = -d2 / two_h2;
                if (++count == kBlock) {
                    flush();
                }
            });
            flush();
            row_sums[i] = sum;
        }
    }
    double s = 0.0;
    for (const double row : row_sums) {
        s += row;
    }
    const double count = static_cast<double>(n);
    if (!(1e-16 * count <= 1e-13 * std::fabs(4 * count + s))) {
        return std::nullopt;
    }
    return s;
}

std::optional<std::vector<double>> NearCVRowSums(const Points& points, const std::vector<double>& c,
                                                 double two_h2, bool parallel) {
    const std::size_t n = points.size();
    const double b = std::log(static_cast<double>(n)) + 37 * std::log(10.0);
    const double reach2 = two_h2 * b;
    const double reach = std::sqrt(reach2);
    if (!WorthBinning(points, reach) || c.size() < n) {
        return std::nullopt;
    }
    double c_max = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        if (!(c[j] >= 0)) {
            return std::nullopt; // the bound needs weights of one sign
        }
        c_max = std::max(c_max, c[j]);
    }
    const double left_out_term = std::max(std::exp(-b) * c_max, kSmallestDouble);
    const NeighbourBins bins(points, reach);
    std::vector<double> sums(n);
#pragma omp parallel if (parallel)
    {
        std::vector<std::span<const std::uint32_t>> near;
        std::array<double, kBlock> arg{}, term{};
        std::array<double, kBlock> factor{};
#pragma omp for schedule(dynamic, 64)
        for (std::size_t i = 0; i < n; ++i) {
            double sum = 0.0;
            std::size_t count = 0;
            std::size_t kept = 0;
            const auto flush = [&] {
                ExpBatch(arg.data(), term.data(), count);
                for (std::size_t k = 0; k < count; ++k) {
                    const double e = term[k] == 0.0 ? kSmallestDouble : term[k];
                    const double t = e * factor[k];
                    sum += t == 0.0 ? kSmallestDouble : t;
                }
                count = 0;
            };
            bins.ForEachNear(points, i, reach2, near, [&](std::uint32_t j, double d2) {
                if (j == i) {
                    return;
                }
                arg[count] = -d2 / two_h2;
                factor[count] = c[j];
                ++kept;
                if (++count == kBlock) {
                    flush();
                }
            });
            flush();
            const double left_out = static_cast<double>(n - 1 - kept) * left_out_term;
            sums[i] = left_out <= 1e-16 * sum ? sum : CVRowSum(i, points, c, two_h2);
        }
    }
    return sums;
}

} // namespace ranvik
