#pragma once

#include <limits>
#include <numbers>

namespace ranvik {

// π as 4 * atan(1) gives it: the double nearest to π.
inline constexpr double kPi = std::numbers::pi;

// The smallest positive double, 4.9406564584124654E-324, whose bit pattern is 1.
inline constexpr double kSmallestDouble = std::numeric_limits<double>::denorm_min();

// exp(x) is exactly 0 in double precision for every x below this, so a term exp(x) * c may
// be skipped in a sum without changing the sum.
inline constexpr double kExpUnderflow = -746.0;

} // namespace ranvik
