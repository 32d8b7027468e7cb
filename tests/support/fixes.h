#pragma once

#include "state/matrix.h"

#include <cstdint>
#include <vector>

namespace ranvik::testing {

// A time-stamped location of a track: x, y, time and location error.
struct Fix {
    double x, y, t, error;
};

// A fix array as the loader leaves it: x, y, time and location error in columns 0..3 of rows
// 0..n-1 (column 4 unused) and row n the spare zero row.
inline Matrix Fixes(const std::vector<Fix>& fixes) {
    const auto n = static_cast<std::int32_t>(fixes.size());
    Matrix m(n + 1, 5);
    for (std::int32_t i = 0; i < n; ++i) {
        const Fix& f = fixes[static_cast<std::size_t>(i)];
        m(i, 0) = f.x;
        m(i, 1) = f.y;
        m(i, 2) = f.t;
        m(i, 3) = f.error;
    }
    return m;
}

} // namespace ranvik::testing
