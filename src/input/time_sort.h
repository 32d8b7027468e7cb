#pragma once

#include "state/matrix.h"

#include <cstdint>

namespace ranvik {

// Brownian bridge locations (rows 0..n-1 of `locations`: x, y, time, location error) in
// ascending order of time, as a table of rows 0..n and columns 0..4 whose spare row n and
// column 4 are zero.
//
// Heapsort on the time column with whole rows moving together. It is not stable: rows with
// equal times come out in the order this heapsort gives them, and that order is part of every
// Brownian bridge result, so the steps must not change. Comparisons are strict, so equal
// times never cause a move on their own. `locations` is left unchanged. With n = 0 the result
// is the spare row alone.
[[nodiscard]] Matrix SortBBLocsByTime(const Matrix& locations, std::int32_t n);

} // namespace ranvik
