#include "numerics/exp_batch.h"

#include "state/constants.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace ranvik {
namespace {

constexpr double kInvLn2 = 1.4426950408889634;
constexpr double kShift = 6755399441055744.0; // 1.5 * 2^52: adding it rounds to an integer
// ln 2 split so that k * kLn2Hi is exact for |k| < 2^21.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kLowest = -708.0;
constexpr double kHighest = 709.0;

// 1/k! for k = 13 down to 2.
constexpr double kC13 = 1.0 / 6227020800.0;
constexpr double kC12 = 1.0 / 479001600.0;
constexpr double kC11 = 1.0 / 39916800.0;
constexpr double kC10 = 1.0 / 3628800.0;
constexpr double kC9 = 1.0 / 362880.0;
constexpr double kC8 = 1.0 / 40320.0;
constexpr double kC7 = 1.0 / 5040.0;
constexpr double kC6 = 1.0 / 720.0;
constexpr double kC5 = 1.0 / 120.0;
constexpr double kC4 = 1.0 / 24.0;
constexpr double kC3 = 1.0 / 6.0;
constexpr double kC2 = 0.5;

} // namespace

__attribute__((target_clones("avx2", "default"))) void ExpBatch(const double* x, double* out,
                                                                std::size_t count) {
    // The main loop only notes whether an argument needs the slow path, so that it stays free
    // of branches and runs in vector registers.
    int outside = 0;
#pragma omp simd reduction(| : outside)
    for (std::size_t i = 0; i < count; ++i) {
        outside |= static_cast<int>(!(x[i] >= kLowest && x[i] <= kHighest));
        const double v = std::min(std::max(x[i], kLowest), kHighest);
        double kd = v * kInvLn2 + kShift;
        const std::uint64_t ki = std::bit_cast<std::uint64_t>(kd);
        kd -= kShift;
        const double r = (v - kd * kLn2Hi) - kd * kLn2Lo;
        // Estrin's scheme: a shallow tree of products keeps the pipelines full.
        const double r2 = r * r;
        const double r4 = r2 * r2;
        const double r8 = r4 * r4;
        const double a0 = 1.0 + r;
        const double a1 = kC2 + kC3 * r;
        const double a2 = kC4 + kC5 * r;
        const double a3 = kC6 + kC7 * r;
        const double a4 = kC8 + kC9 * r;
        const double a5 = kC10 + kC11 * r;
        const double a6 = kC12 + kC13 * r;
        const double b0 = a0 + a1 * r2;
        const double b1 = a2 + a3 * r2;
        const double b2 = a4 + a5 * r2;
        const double d0 = b0 + b1 * r4;
        const double d1 = b2 + a6 * r4;
        const double p = d0 + d1 * r8;
        // The low bits of ki hold k; shifted into the exponent field they give 2^k.
        const std::uint64_t bits = (ki << 52) + (std::uint64_t{1023} << 52);
        out[i] = std::bit_cast<double>(bits) * p;
    }
    if (outside == 0) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (x[i] < kExpUnderflow) {
            out[i] = 0.0; // what exp gives there, without its slow underflow path
        } else if (!(x[i] >= kLowest && x[i] <= kHighest)) {
            out[i] = std::exp(x[i]);
        }
    }
}

} // namespace ranvik
