#include "kernel/kernel_cvc.h"

#include "kernel/smoothing.h"
#include "support/locations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace ranvik {
namespace {

using testing::Locations;
using testing::RelativelyNear;
using testing::TwoClusters;

// The kernels may be reordered for speed as long as they stay within this of the formulas;
// h_i itself comes from the same search in both computations.
constexpr long double kRel = 1e-12L;
constexpr long double kPiL = std::numbers::pi_v<long double>;

long double Kernel(long double d2, long double h) {
    return std::exp(-d2 / (2 * h * h)) / (2 * kPiL * h * h);
}

long double SquaredDistance(const Matrix& a, std::int32_t i, const Matrix& b, std::int32_t j) {
    const long double dx = static_cast<long double>(a(i, 0)) - b(j, 0);
    const long double dy = static_cast<long double>(a(i, 1)) - b(j, 1);
    return dx * dx + dy * dy;
}

// Every location but i, in order.
Matrix Without(const Matrix& xy, std::int32_t n, std::int32_t i) {
    Matrix work(n, 3);
    for (std::int32_t j = 0, row = 0; j < n; ++j) {
        if (j != i) {
            work(row, 0) = xy(j, 0);
            work(row, 1) = xy(j, 1);
            ++row;
        }
    }
    return work;
}

// -2 sum_i ln f_i, f_i the fixed (or adaptive) kernel density at location i built from the
// others with h_i = h_CV of the others. `last_search` receives the search of the last pass.
long double ReferenceCVC(const Matrix& xy, std::int32_t n, bool adaptive,
                         MinimiserWorkspace& last_search) {
    const std::int32_t m = n - 1;
    long double sum = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const Matrix work = Without(xy, n, i);
        last_search = {};
        const auto h = CalcCVh(work, CalcHref(work, m), m, {}, last_search);
        EXPECT_TRUE(h.Ok()) << h.status.error;
        std::vector<long double> local(static_cast<std::size_t>(m), h.value);
        if (adaptive) {
            long double log_sum = 0;
            for (std::int32_t j = 0; j < m; ++j) {
                long double pilot = 0;
                for (std::int32_t k = 0; k < m; ++k) {
                    pilot += Kernel(SquaredDistance(work, j, work, k), h.value);
                }
                local[static_cast<std::size_t>(j)] = pilot / m;
                log_sum += std::log(pilot / m);
            }
            const long double g = std::pow(2.71828182845904L, log_sum / m);
            for (long double& p : local) {
                p = h.value / std::sqrt(p / g);
            }
        }
        long double f = 0;
        for (std::int32_t j = 0; j < m; ++j) {
            f += Kernel(SquaredDistance(xy, i, work, j), local[static_cast<std::size_t>(j)]);
        }
        sum += std::log(f / m);
    }
    return -2 * sum;
}

TEST(FixedKernelCVC, MatchesTheLeaveOneOutSum) {
    // Three locations (each pass works on two), and a set whose first two coincide, so that
    // their passes include K(0).
    const Matrix sets[] = {Locations({{0, 0}, {3, 0}, {0, 4}}),
                           Locations({{1, 1}, {1, 1}, {4, 5}, {-2, 3}})};
    for (const Matrix& xy : sets) {
        const std::int32_t n = xy.Rows() - 1;
        SCOPED_TRACE(n);
        MinimiserWorkspace last;
        const long double expected = ReferenceCVC(xy, n, false, last);
        State state;
        ASSERT_TRUE(FixedKernelCVC(state, xy, n).Ok());
        EXPECT_TRUE(RelativelyNear(state.CVCFixedKernel, expected, kRel));
        EXPECT_TRUE(state.Minimiser == last) << "the last pass's search stays readable";
        EXPECT_EQ(state.CVCAdKernel, 0.0);
    }
}

TEST(AdKernelCVC, MatchesTheLeaveOneOutSumWithPilotDensities) {
    const Matrix xy = Locations({{0, 0}, {1, 0.5}, {6, 2}, {2, 9}, {3, 3}});
    MinimiserWorkspace last;
    const long double expected = ReferenceCVC(xy, 5, true, last);
    State state;
    ASSERT_TRUE(AdKernelCVC(state, xy, 5).Ok());
    EXPECT_TRUE(RelativelyNear(state.CVCAdKernel, expected, kRel));
    EXPECT_EQ(state.CVCFixedKernel, 0.0);
}

TEST(KernelCVC, TooFewOrIsolatedLocationsFailAndChangeNothing) {
    const Matrix two = Locations({{0, 0}, {3, 4}});
    // Without the far location the others choose h near 1, and exp(-d^2 / 2h^2) at 1e5 is 0.
    const Matrix far = Locations({{0, 0}, {1, 0}, {0, 1.5}, {1.2, 1}, {0.4, 0.3}, {1e5, 1e5}});
    for (const auto cvc : {&FixedKernelCVC, &AdKernelCVC}) {
        for (const auto& [xy, n] : {std::pair{two, 0}, {two, 1}, {two, 2}, {far, 6}}) {
            State state;
            state.CVCFixedKernel = 5.5;
            state.CVCAdKernel = 6.5;
            const State before = state;
            const Status status = cvc(state, xy, n, {});
            EXPECT_FALSE(status.Ok()) << n;
            EXPECT_FALSE(status.error.empty()) << n;
            EXPECT_TRUE(state == before) << n;
        }
    }
}

TEST(KernelCVC, CancelLeavesTheRecordAsItWas) {
    const RunControl stop{[](double) { return false; }, false};
    State state;
    const Status status = FixedKernelCVC(state, TwoClusters(10), 10, stop);
    EXPECT_TRUE(status.cancelled);
    EXPECT_TRUE(state == State{});
}

TEST(KernelCVC, ParallelAndSequentialRunsAgreeToTheBit) {
    const Matrix xy = TwoClusters(40);
    State sequential;
    State parallel;
    ASSERT_TRUE(FixedKernelCVC(sequential, xy, 40, RunControl{{}, false}).Ok());
    ASSERT_TRUE(FixedKernelCVC(parallel, xy, 40, RunControl{{}, true}).Ok());
    ASSERT_TRUE(AdKernelCVC(sequential, xy, 40, RunControl{{}, false}).Ok());
    ASSERT_TRUE(AdKernelCVC(parallel, xy, 40, RunControl{{}, true}).Ok());
    EXPECT_EQ(sequential.CVCFixedKernel, parallel.CVCFixedKernel);
    EXPECT_EQ(sequential.CVCAdKernel, parallel.CVCAdKernel);
    EXPECT_TRUE(sequential == parallel);
}

} // namespace
} // namespace ranvik
