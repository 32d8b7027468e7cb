#include "output/home_range_levels.h"

#include <algorithm>
#include <string>

namespace ranvik {

VolumeLevels CalcVolumeLevels(const Matrix& grid, std::int32_t count) {
    VolumeLevels result;
    const auto n = static_cast<std::size_t>(count);
    // Most probable first; equal cells in row order, so the result is reproducible.
    std::vector<std::pair<double, std::int32_t>> order(n);
    for (std::int32_t k = 0; k < count; ++k) {
        order[static_cast<std::size_t>(k)] = {grid(k, 2), k};
        result.total += grid(k, 2);
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first > b.first || (a.first == b.first && a.second < b.second);
    });
    result.level.assign(n, 0.0);
    double running = 0.0;
    std::size_t i = 0;
    while (i < n) {
        // Cells of equal probability share one level: all of them are "at least as probable".
        std::size_t j = i;
        while (j < n && order[j].first == order[i].first) {
            running += order[j].first;
            ++j;
        }
        const double level = result.total > 0 ? running / result.total : 1.0;
        for (std::size_t k = i; k < j; ++k) {
            result.level[static_cast<std::size_t>(order[k].second)] = level;
        }
        i = j;
    }
    return result;
}

StatusOr<HomeRangeArea> CalcHomeRangeArea(const Matrix& grid, std::int32_t count,
                                          const VolumeLevels& levels, double dx, double dy,
                                          double percent) {
    StatusOr<HomeRangeArea> result;
    if (!(percent > 0 && percent <= 1)) {
        return Status::Failure("A home range level must lie between 0 and 100 %.");
    }
    HomeRangeArea& a = result.value;
    a.percent = percent;
    a.threshold = 0.0;
    bool first = true;
    for (std::int32_t k = 0; k < count; ++k) {
        if (levels.level[static_cast<std::size_t>(k)] <= percent) {
            ++a.cells;
            const double p = grid(k, 2);
            a.threshold = first ? p : std::min(a.threshold, p);
            first = false;
        }
    }
    if (a.cells == 0) {
        return Status::Failure(
            "The grid is too coarse for a " + std::to_string(static_cast<int>(percent * 100)) +
            " % home range: its most probable cell alone holds more than that. Choose a larger "
            "level.");
    }
    a.area = a.cells * dx * dy;
    return result;
}

} // namespace ranvik
