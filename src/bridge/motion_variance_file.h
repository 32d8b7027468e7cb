#pragma once

#include "bridge/motion_variance.h"
#include "state/matrix.h"

#include <cstdint>
#include <string>

namespace ranvik {

// The motion variance table: the line "time,x,y,motion_variance,windows,break", then one line
// per fix 0..n-1 of `fixes` (x, y, time, location error; time-sorted): its time, x and y, the
// motion variance of the segment that starts at the fix (empty where no window gave it one,
// and for the last fix), the number of windows that gave that segment a variance, and the
// number of windows that put a break at the fix. Numbers in the shortest general form, lines
// ended by LF.
[[nodiscard]] std::string MotionVarianceText(const Matrix& fixes, std::int32_t n,
                                             const MotionVariance& variance);

} // namespace ranvik
