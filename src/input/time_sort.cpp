#include "input/time_sort.h"

#include <array>
#include <vector>

namespace ranvik {
namespace {

constexpr int kTime = 2;
using Fix = std::array<double, 4>; // x, y, time, location error

} // namespace

Matrix SortBBLocsByTime(const Matrix& locations, std::int32_t n) {
    Matrix sorted(n + 1, 5);
    if (n <= 0) {
        return sorted;
    }
    // Work table with rows 1..n, row k holding input row k-1.
    std::vector<Fix> w(static_cast<std::size_t>(n) + 1);
    for (std::int32_t k = 1; k <= n; ++k) {
        for (int c = 0; c < 4; ++c) {
            w[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] = locations(k - 1, c);
        }
    }
    const auto at = [&w](std::int32_t k) -> Fix& { return w[static_cast<std::size_t>(k)]; };

    std::int32_t l = n / 2 + 1;
    std::int32_t r = n;
    for (;;) {
        Fix held{};
        if (l > 1) {
            --l;
            held = at(l);
        } else {
            held = at(r);
            at(r) = at(1);
            --r;
            if (r == 0) {
                at(1) = held;
                break;
            }
        }
        // Sift the held row down from position l.
        std::int32_t i = l;
        std::int32_t j = 2 * l;
        while (j <= r) {
            if (j < r && at(j)[kTime] < at(j + 1)[kTime]) {
                ++j;
            }
            if (held[kTime] < at(j)[kTime]) {
                at(i) = at(j);
                i = j;
                j = 2 * j;
            } else {
                j = r + 1;
            }
        }
        at(i) = held;
    }

    for (std::int32_t k = 0; k < n; ++k) {
        for (int c = 0; c < 4; ++c) {
            sorted(k, c) = at(k + 1)[static_cast<std::size_t>(c)];
        }
    }
    return sorted;
}

} // namespace ranvik
