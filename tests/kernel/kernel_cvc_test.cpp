#include "kernel/kernel_cvc.h"

#include "kernel/kernel_grid.h"
#include "kernel/smoothing.h"
#include "support/locations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

using testing::Locations;
using testing::RelativelyNear;
using testing::TwoClusters;

// The kernels may be reordered for speed as long as they stay within this of the formulas;
// h_i itself comes from the same search in both computations.
constexpr long double kRel = 1e-12L;

// -2 sum_i ln f_i, f_i the fixed (or adaptive) kernel density at location i built from the
// others with h = h_CV of the others. `last_search` receives the search of the last pass.
long double ReferenceCVC(const Matrix& xy, std::int32_t n, bool adaptive,
                         MinimiserWorkspace& last_search) {
    const std::int32_t m = n - 1;
    long double sum = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const Matrix work = testing::Without(xy, n, i);
        const auto h = CalcCVh(work, CalcHref(work, m), m, {}, {});
        EXPECT_TRUE(h.Ok()) << h.status.error;
        last_search = h.value.minimiser;
        const std::vector<double> local =
            adaptive ? AdaptiveBandwidths(work, m, h.value.h)
                     : std::vector<double>(static_cast<std::size_t>(m), h.value.h);
        long double f = 0;
        for (std::int32_t j = 0; j < m; ++j) {
            const long double dx = static_cast<long double>(xy(i, 0)) - work(j, 0);
            const long double dy = static_cast<long double>(xy(i, 1)) - work(j, 1);
            f += testing::GaussianKernel(dx * dx + dy * dy, local[static_cast<std::size_t>(j)]);
        }
        sum += std::log(f / m);
    }
    return -2 * sum;
}

TEST(KernelCVC, EachKernelMatchesTheLeaveOneOutSum) {
    // Three locations (each pass works on two), a set whose first two coincide (so that their
    // passes include K(0)), and a set of five.
    const Matrix sets[] = {Locations({{0, 0}, {3, 0}, {0, 4}}),
                           Locations({{1, 1}, {1, 1}, {4, 5}, {-2, 3}}),
                           Locations({{0, 0}, {1, 0.5}, {6, 2}, {2, 9}, {3, 3}})};
    for (const Matrix& xy : sets) {
        for (const bool adaptive : {false, true}) {
            const std::int32_t n = xy.Rows() - 1;
            SCOPED_TRACE(::testing::Message() << n << (adaptive ? " adaptive" : " fixed"));
            MinimiserWorkspace last;
            const long double expected = ReferenceCVC(xy, n, adaptive, last);
            const auto cvc = (adaptive ? AdKernelCVC : FixedKernelCVC)(xy, n, {}, nullptr);
            ASSERT_TRUE(cvc.Ok()) << cvc.status.error;
            EXPECT_TRUE(RelativelyNear(cvc.value.cvc, expected, kRel));
            EXPECT_TRUE(cvc.value.minimiser == last) << "the last pass's search is returned";
        }
    }
}

TEST(KernelCVC, TooFewOrIsolatedLocationsOrCancelAreRefused) {
    const Matrix two = Locations({{0, 0}, {3, 4}});
    // Without the far location the others choose h near 1, and exp(-d^2 / 2h^2) at 1e5 is 0.
    const Matrix far = Locations({{0, 0}, {1, 0}, {0, 1.5}, {1.2, 1}, {0.4, 0.3}, {1e5, 1e5}});
    for (const auto cvc : {&FixedKernelCVC, &AdKernelCVC}) {
        for (const auto& [xy, n] : {std::pair{two, 0}, {two, 1}, {two, 2}, {far, 6}}) {
            EXPECT_FALSE(cvc(xy, n, {}, nullptr).status.error.empty()) << n;
        }
        EXPECT_TRUE(cvc(TwoClusters(10), 10, {[](double) { return false; }, false}, nullptr)
                        .status.cancelled);
    }
}

TEST(KernelCVC, ParallelSequentialAndSharedSearchesAgreeToTheBit) {
    const Matrix xy = TwoClusters(40);
    const auto searches = SearchWithoutEach(xy, 40, KernelKind::Fixed);
    ASSERT_TRUE(searches.Ok());
    for (const auto cvc : {&FixedKernelCVC, &AdKernelCVC}) {
        const auto sequential = cvc(xy, 40, RunControl{{}, false}, nullptr);
        const auto parallel = cvc(xy, 40, RunControl{{}, true}, nullptr);
        const auto shared = cvc(xy, 40, {}, &searches.value);
        ASSERT_TRUE(sequential.Ok() && parallel.Ok() && shared.Ok());
        EXPECT_NE(sequential.value.cvc, 0.0);
        EXPECT_EQ(sequential.value.cvc, parallel.value.cvc);
        EXPECT_EQ(sequential.value.cvc, shared.value.cvc);
        EXPECT_TRUE(sequential.value.minimiser == parallel.value.minimiser);
        EXPECT_TRUE(sequential.value.minimiser == shared.value.minimiser);
    }
}

} // namespace
} // namespace ranvik
