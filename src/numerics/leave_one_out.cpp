#include "numerics/leave_one_out.h"

namespace ranvik {

Matrix WithoutLocation(const Matrix& xy, std::int32_t n, std::int32_t left_out) {
    Matrix work(n, 3);
    std::int32_t row = 0;
    for (std::int32_t r = 0; r < n; ++r) {
        if (r != left_out) {
            work(row, 0) = xy(r, 0);
            work(row, 1) = xy(r, 1);
            ++row;
        }
    }
    return work;
}

} // namespace ranvik
