#include "kernel/smoothing.h"

#include "kernel/kernel_sums.h"
#include "kernel/neighbour_sums.h"
#include "numerics/minimiser.h"
#include "state/constants.h"
#include "state/loaded_locations.h"

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

constexpr double kMinLSCVh = 1e-20;

// Fewer rows than this are summed on one thread: handing them out would cost more than it saves.
constexpr std::int32_t kParallelRows = 256;

// Sum of `values` in index order, so that parallel and sequential runs agree to the bit.
double SumInOrder(const std::vector<double>& values) {
    double sum = 0.0;
    for (const double v : values) {
        sum += v;
    }
    return sum;
}

// The search both smoothing parameters share: bracketing from (h_ref - 0.98 h_ref, h_ref / 2),
// then golden section, on a copy of `start`.
StatusOr<SmoothingSearch> SearchH(const Matrix& xy, double h_ref, std::int32_t n,
                                  const MinimiserInstance& instance, const Criterion& criterion,
                                  const MinimiserWorkspace& start, const RunControl& control) {
    if (Status input = CheckSmoothingInput(xy, n); !input.Ok()) {
        return input;
    }
    SmoothingSearch search{0.0, start};
    Status status = BracketMinimum(search.minimiser, instance, h_ref - 0.98 * h_ref, h_ref / 2,
                                   criterion, control);
    if (status.Ok()) {
        status = GoldenSection(search.minimiser, instance, criterion, control);
    }
    if (!status.Ok()) {
        return status;
    }
    search.h = search.minimiser.GoldenXMin;
    return search;
}

// The LSCV score; `numerator` brings |4 n + S| of a nearby h (or 0) and takes this h's, so that
// a search's next sums can leave out as much as the bound allows.
double GuidedLSCVScore(double& h, const Matrix& xy, std::int32_t n, bool parallel,
                       double& numerator) {
    if (n > 0 && h < kMinLSCVh) {
        h = kMinLSCVh;
    }
    const double four_h2 = 4 * (h * h);
    const double two_h2 = 2 * (h * h);
    const Points points = PointsOf(xy, n);
    const double s = [&] {
        if (const auto near = NearLSCVSum(points, four_h2, parallel, numerator)) {
            return *near;
        }
        std::vector<double> row_sums(static_cast<std::size_t>(n));
#pragma omp parallel for schedule(dynamic, 16) if (parallel && n >= kParallelRows)
        for (std::int32_t i = 0; i < n; ++i) {
            const auto row = static_cast<std::size_t>(i);
            row_sums[row] = LSCVRowSum(row, points, four_h2, two_h2);
        }
        return SumInOrder(row_sums);
    }();
    const double count = n;
    numerator = std::fabs(4 * count + s);
    return s * (1 / (count * count * (h * h) * 4 * kPi)) + 1 / (count * (h * h) * kPi);
}

// A criterion that answers an abscissa it has been asked for before (the bracketing asks for
// some twice) with the score it gave then, without forming the sums again.
class Remembering {
public:
    explicit Remembering(Criterion criterion) : criterion_(std::move(criterion)) {}

    double operator()(double& x) {
        for (const Entry& entry : entries_) {
            if (entry.asked == x) {
                x = entry.used;
                return entry.score;
            }
        }
        Entry entry{x, x, 0.0};
        entry.score = criterion_(x);
        entry.used = x;
        entries_[next_] = entry;
        next_ = (next_ + 1) % entries_.size();
        return entry.score;
    }

private:
    struct Entry {
        double asked = std::numeric_limits<double>::quiet_NaN(), used = 0, score = 0;
    };
    Criterion criterion_;
    std::array<Entry, 4> entries_{};
    std::size_t next_ = 0;
};

} // namespace

double CalcHref(const Matrix& xy, std::int32_t n) {
    const double count = n;
    double sum_x = 0.0;
    double sum_y = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        sum_x += xy(i, 0);
        sum_y += xy(i, 1);
    }
    const double mean_x = sum_x / count;
    const double mean_y = sum_y / count;
    double ss_x = 0.0;
    double ss_y = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        ss_x += (xy(i, 0) - mean_x) * (xy(i, 0) - mean_x);
        ss_y += (xy(i, 1) - mean_y) * (xy(i, 1) - mean_y);
    }
    const double var_x = ss_x / (count - 1);
    const double var_y = ss_y / (count - 1);
    const double sigma = std::sqrt((var_x + var_y) / 2);
    return sigma * std::pow(count, -1.0 / 6.0);
}

double CalcCVScore(const Matrix& xy, double h, std::int32_t n, std::span<const double> weights,
                   bool parallel) {
    const double two_h2 = 2 * (h * h);
    const double norm = 2 * kPi * (h * h);
    std::vector<double> c(static_cast<std::size_t>(n), 1 / norm);
    if (!weights.empty()) {
        for (std::int32_t j = 0; j < n; ++j) {
            c[static_cast<std::size_t>(j)] = weights[static_cast<std::size_t>(j)] / norm;
        }
    }
    const Points points = PointsOf(xy, n);
    std::vector<double> log_s(static_cast<std::size_t>(n));
    if (auto near = NearCVRowSums(points, c, two_h2, parallel)) {
        for (std::size_t row = 0; row < log_s.size(); ++row) {
            log_s[row] = std::log((*near)[row]);
        }
        return -SumInOrder(log_s) / (static_cast<double>(n) - 1);
    }
#pragma omp parallel for schedule(dynamic, 16) if (parallel && n >= kParallelRows)
    for (std::int32_t i = 0; i < n; ++i) {
        const auto row = static_cast<std::size_t>(i);
        log_s[row] = std::log(CVRowSum(row, points, c, two_h2));
    }
    return -SumInOrder(log_s) / (static_cast<double>(n) - 1);
}

double CalcLSCVScore(double& h, const Matrix& xy, std::int32_t n, bool parallel) {
    double numerator = 0.0;
    return GuidedLSCVScore(h, xy, n, parallel, numerator);
}

Status CheckSmoothingInput(const Matrix& xy, std::int32_t n) {
    if (Status held = CheckCount(xy, n, "locations"); !held.Ok()) {
        return held;
    }
    if (n < 2) {
        return Status::Failure("At least 2 locations are needed to choose a smoothing "
                               "parameter; " +
                               std::to_string(n) + (n == 1 ? " is" : " are") + " loaded.");
    }
    for (std::int32_t i = 1; i < n; ++i) {
        if (xy(i, 0) != xy(0, 0) || xy(i, 1) != xy(0, 1)) {
            return {};
        }
    }
    return Status::Failure("All " + std::to_string(n) +
                           " locations are at the same place, so a smoothing parameter cannot "
                           "be chosen from them.");
}

StatusOr<SmoothingSearch> CalcCVh(const Matrix& xy, double h_ref, std::int32_t n,
                                  std::span<const double> weights, const MinimiserWorkspace& start,
                                  const RunControl& control) {
    const Criterion cv =
        Remembering([&](double& h) { return CalcCVScore(xy, h, n, weights, control.parallel); });
    return SearchH(xy, h_ref, n, kCVSearch, cv, start, control);
}

StatusOr<SmoothingSearch> CalcLSCVh(const Matrix& xy, double h_ref, std::int32_t n,
                                    const MinimiserWorkspace& start, const RunControl& control) {
    double numerator = 0.0;
    const Criterion lscv = Remembering(
        [&](double& h) { return GuidedLSCVScore(h, xy, n, control.parallel, numerator); });
    auto search = SearchH(xy, h_ref, n, kLSCVSearch, lscv, start, control);
    if (search.Ok() && search.value.h < 0) {
        search.value.h = std::fabs(search.value.h);
        search.value.minimiser.GoldenXMin = search.value.h;
    }
    return search;
}

} // namespace ranvik
