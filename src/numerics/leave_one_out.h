#pragma once

#include "state/matrix.h"

#include <cstdint>

namespace ranvik {

// Every location of rows 0..n-1 of `xy` but `left_out`, in their order: rows 0..n-2 hold their
// x and y, and row n-1 is a spare zero row, as in any location array of n-1 locations.
[[nodiscard]] Matrix WithoutLocation(const Matrix& xy, std::int32_t n, std::int32_t left_out);

} // namespace ranvik
