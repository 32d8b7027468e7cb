#include "kernel/kernel_grid.h"

#include "support/locations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

using testing::ExpectGridOf;
using testing::GaussianKernel;
using testing::Locations;
using testing::RelativelyNear;
using testing::TwoClusters;

// The kernels may be reordered for speed as long as they stay within this of the formulas.
constexpr long double kRel = 1e-12L;

// Either kernel's grid with optional weights (the adaptive kernel takes none).
using KernelFn = StatusOr<Matrix> (*)(const Matrix&, std::int32_t, double, std::span<const double>,
                                      const RunControl&);
StatusOr<Matrix> FixedGrid(const Matrix& xy, std::int32_t n, double h,
                           std::span<const double> weights, const RunControl& control) {
    auto kernel = CalcFixedKernel(xy, n, h, weights, control);
    if (!kernel.Ok()) {
        return kernel.status;
    }
    return std::move(kernel.value.grid);
}
StatusOr<Matrix> AdaptiveGrid(const Matrix& xy, std::int32_t n, double h, std::span<const double>,
                              const RunControl& control) {
    return CalcAdKernel(xy, n, h, control);
}
constexpr KernelFn kKernels[] = {&FixedGrid, &AdaptiveGrid};

const Matrix kFive = Locations({{2, 3}, {9, 1}, {4, 8}, {6, 6}, {12, 4}});
const std::vector<double> kFiveWeights = {1.0, 3.0, 0.0, 2.0, 0.5, 0.0};

// sum_i w_i K_{h_i}(d_i^2) / sum_i w_i over kFive, with w_i = 1 and h_i = h unless given.
long double FiveDensity(long double x, long double y, long double h,
                        const std::vector<double>& w = {},
                        const std::vector<long double>& hs = {}) {
    long double sum = 0;
    long double weights = 0;
    for (std::int32_t i = 0; i < 5; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const long double wi = w.empty() ? 1.0L : w[at];
        const long double dx = x - kFive(i, 0);
        const long double dy = y - kFive(i, 1);
        sum += wi * GaussianKernel(dx * dx + dy * dy, hs.empty() ? h : hs[at]);
        weights += wi;
    }
    return sum / weights;
}

// The grid over kFive against FiveDensity(x, y, h, w, hs) * cell area.
void ExpectFiveGrid(const Matrix& grid, double h, const std::vector<double>& w = {},
                    const std::vector<long double>& hs = {}) {
    ExpectGridOf(
        grid, kFive, 5, [&](double x, double y) { return FiveDensity(x, y, h, w, hs); }, kRel);
}

TEST(CalcFixedKernel, CellProbabilityIsTheMeanOrWeightedMeanKernelTimesTheCellArea) {
    // Equal weights give the unweighted grid.
    const std::vector<double> none, equal(6, 0.25);
    for (const auto& [weights, sum, as] : {std::tuple{&none, 5.0, &none},
                                           {&kFiveWeights, 6.5, &kFiveWeights},
                                           {&equal, 1.25, &none}}) {
        const auto kernel = CalcFixedKernel(kFive, 5, 2.5, *weights);
        ASSERT_TRUE(kernel.Ok()) << kernel.status.error;
        EXPECT_EQ(kernel.value.sum_weights, sum);
        ExpectFiveGrid(kernel.value.grid, 2.5, *as);
    }
}

TEST(CalcAdKernel, MatchesPilotDensitiesAndLocalParametersWorkedIndependently) {
    // h_i = h (p_i / g)^(-1/2), p_i = sum_j K_h(d_ij^2) / n, g = 2.71828182845904^(mean ln p).
    std::vector<long double> local;
    long double log_sum = 0;
    for (std::int32_t i = 0; i < 5; ++i) {
        local.push_back(FiveDensity(kFive(i, 0), kFive(i, 1), 2.5));
        log_sum += std::log(local.back());
    }
    const long double g = std::pow(2.71828182845904L, log_sum / 5);
    const std::vector<double> computed = AdaptiveBandwidths(kFive, 5, 2.5);
    ASSERT_EQ(computed.size(), 5U);
    for (std::size_t i = 0; i < 5; ++i) {
        local[i] = 2.5L / std::sqrt(local[i] / g);
        EXPECT_TRUE(RelativelyNear(computed[i], local[i], kRel)) << "location " << i;
    }

    const auto grid = CalcAdKernel(kFive, 5, 2.5);
    ASSERT_TRUE(grid.Ok()) << grid.status.error;
    EXPECT_EQ(grid.value.Rows(), 40001);
    ExpectFiveGrid(grid.value, 0, {}, local);
}

TEST(CalcAdKernel, EqualPilotDensitiesGiveTheFixedKernel) {
    // The corners of a square are alike, so every lambda is 1 up to the 15-digit e.
    const Matrix square = Locations({{0, 0}, {10, 0}, {0, 10}, {10, 10}});
    for (const double h : AdaptiveBandwidths(square, 4, 10.0)) {
        EXPECT_TRUE(RelativelyNear(h, 10.0, kRel));
    }
    const auto fixed = CalcFixedKernel(square, 4, 10.0, {});
    const auto adaptive = CalcAdKernel(square, 4, 10.0);
    ASSERT_TRUE(fixed.Ok() && adaptive.Ok());
    for (std::int32_t k = 0; k < 40000; ++k) {
        ASSERT_TRUE(RelativelyNear(adaptive.value(k, 2), fixed.value.grid(k, 2), kRel)) << k;
    }
}

// Runs `kernel` over all rows but the spare one of `xy` and checks for a failure with a
// message, or a cancellation when the control can stop the run.
::testing::AssertionResult Refused(KernelFn kernel, const Matrix& xy, double h,
                                   const std::vector<double>& weights = {},
                                   const RunControl& control = {}) {
    const auto grid = kernel(xy, xy.Rows() - 1, h, weights, control);
    if (control.progress ? grid.status.cancelled : !grid.status.error.empty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "not refused";
}

TEST(KernelGrids, DegenerateInputOrCancelIsRefused) {
    for (const KernelFn kernel : kKernels) {
        SCOPED_TRACE(kernel == &FixedGrid ? "fixed" : "adaptive");
        EXPECT_TRUE(Refused(kernel, Matrix(1, 3), 5.0));
        EXPECT_TRUE(Refused(kernel, Locations({{4, 4}}), 5.0));
        EXPECT_TRUE(Refused(kernel, Locations({{4, 4}, {4, 4}, {4, 4}}), 5.0));
        EXPECT_TRUE(Refused(kernel, Locations({{2, 0}, {2, 5}, {2, 9}}), 5.0)); // north-south line
        EXPECT_TRUE(Refused(kernel, Locations({{0, 7}, {5, 7}, {9, 7}}), 5.0)); // east-west line
        // h^2 must neither vanish nor overflow, or the densities would be 0 / 0.
        for (const double h : {0.0, -2.0, std::nan(""), HUGE_VAL, 1e-170, 1e200}) {
            EXPECT_TRUE(Refused(kernel, kFive, h)) << h;
        }
        for (const int reports_before_stop : {0, 3}) {
            int reports = 0;
            const RunControl stop{[&](double) { return reports++ < reports_before_stop; }, true};
            EXPECT_TRUE(Refused(kernel, kFive, 2.5, {}, stop))
                << "cancelled after " << reports_before_stop;
        }
    }
    EXPECT_TRUE(Refused(&FixedGrid, kFive, 2.5, std::vector<double>(6, 0.0))) << "sum 0";
    EXPECT_TRUE(Refused(&FixedGrid, kFive, 2.5, {1.0, 1.0})) << "a weight missing";
}

TEST(KernelGrids, ParallelAndSequentialRunsAgreeToTheBit) {
    const Matrix xy = TwoClusters(300);
    std::vector<double> weights(301, 0.0);
    for (std::size_t i = 0; i < 300; ++i) {
        weights[i] = 0.1 + static_cast<double>(i % 10) / 10.0;
    }
    for (const bool weighted : {false, true}) {
        const std::span<const double> w =
            weighted ? std::span<const double>(weights) : std::span<const double>();
        const auto sequential = CalcFixedKernel(xy, 300, 15.0, w, RunControl{{}, false});
        const auto parallel = CalcFixedKernel(xy, 300, 15.0, w, RunControl{{}, true});
        ASSERT_TRUE(sequential.Ok() && parallel.Ok());
        EXPECT_TRUE(sequential.value.grid == parallel.value.grid);
        EXPECT_EQ(sequential.value.sum_weights, parallel.value.sum_weights);
    }
    const auto sequential = CalcAdKernel(xy, 300, 15.0, RunControl{{}, false});
    const auto parallel = CalcAdKernel(xy, 300, 15.0, RunControl{{}, true});
    ASSERT_TRUE(sequential.Ok() && parallel.Ok());
    EXPECT_TRUE(sequential.value == parallel.value);
}

TEST(SmoothingParameterFromText, AcceptsOnlyAPositiveNumber) {
    for (const char* text : {"", "abc", "0", "-5", "12.5.1"}) {
        const auto h = SmoothingParameterFromText(text, "User specified value");
        EXPECT_THAT(h.status.error, ::testing::HasSubstr("User specified value")) << text;
    }
    const auto h = SmoothingParameterFromText("12.5", "CVh");
    ASSERT_TRUE(h.Ok()) << h.status.error;
    EXPECT_EQ(h.value, 12.5);
}

} // namespace
} // namespace ranvik
