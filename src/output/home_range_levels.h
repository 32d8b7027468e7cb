#pragma once

#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <vector>

namespace ranvik {

// Percent-volume levels of a utilization distribution on a grid (rows 0..count-1 of x, y,
// probability). The volume level of a cell is the share of the grid's total probability held
// by the cells at least as probable as it: the 50% home range is the set of cells whose level
// is at most 50%. Levels are relative to the grid's total, which is given too, because a grid
// that holds less than the whole distribution understates every area.
struct VolumeLevels {
    std::vector<double> level; // per row, 0..1
    double total = 0.0;        // sum of the grid's probabilities
};

[[nodiscard]] VolumeLevels CalcVolumeLevels(const Matrix& grid, std::int32_t count);

// The area of the p home range (0 < p <= 1): the number of cells whose level is at most p
// times the cell area dx * dy, in squared map units; and the probability threshold: the
// smallest cell probability inside it.
struct HomeRangeArea {
    double percent = 0.0;
    std::int32_t cells = 0;
    double area = 0.0;
    double threshold = 0.0;
};

[[nodiscard]] StatusOr<HomeRangeArea> CalcHomeRangeArea(const Matrix& grid, std::int32_t count,
                                                        const VolumeLevels& levels, double dx,
                                                        double dy, double percent);

} // namespace ranvik
