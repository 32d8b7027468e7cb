#include "numerics/exp_batch.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace ranvik {
namespace {

// Distance in units of the last place between two finite doubles of the same sign.
std::int64_t UlpsBetween(double a, double b) {
    const auto ia = std::bit_cast<std::int64_t>(a);
    const auto ib = std::bit_cast<std::int64_t>(b);
    return ia > ib ? ia - ib : ib - ia;
}

std::vector<double> Batch(const std::vector<double>& x) {
    std::vector<double> out(x.size());
    ExpBatch(x.data(), out.data(), x.size());
    return out;
}

// The kernel sums rely on these: within 2 ulps of the library exp over the whole range in
// which exp is normal, and the library's own value outside it.
TEST(ExpBatch, StaysWithinTwoUlpsOfTheLibraryExp) {
    constexpr std::int64_t kMaxUlps = 2;
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> wide(-760.0, 720.0);
    std::uniform_real_distribution<double> near_zero(-1.0, 1.0);
    std::vector<double> x;
    for (int i = 0; i < 200'000; ++i) {
        x.push_back(wide(random));
        x.push_back(near_zero(random) * (i % 3 == 0 ? 1e-6 : 1.0));
    }
    for (const double edge : {-708.0, -708.0000001, -707.9999999, 709.0, 709.0000001, -745.0,
                              -746.0, -0.5 * std::log(2.0), 0.5 * std::log(2.0)}) {
        x.push_back(edge);
    }
    const std::vector<double> y = Batch(x);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double expected = std::exp(x[i]);
        if (std::isinf(expected)) {
            ASSERT_EQ(y[i], expected) << "exp(" << x[i] << ")";
        } else {
            ASSERT_LE(UlpsBetween(y[i], expected), kMaxUlps) << "exp(" << x[i] << ")";
        }
    }
}

TEST(ExpBatch, ExactWhereTheKernelsNeedIt) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::vector<double> y =
        Batch({0.0, -0.0, -746.0, -1e6, -kInf, kInf, -720.0, std::nan("")});
    // Subnormal results come from the library.
    EXPECT_EQ(std::vector<double>(y.begin(), y.begin() + 7),
              (std::vector<double>{1, 1, 0, 0, 0, kInf, std::exp(-720.0)}));
    EXPECT_TRUE(std::isnan(y[7]));
}

} // namespace
} // namespace ranvik
