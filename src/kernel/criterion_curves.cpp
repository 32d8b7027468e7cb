#include "kernel/criterion_curves.h"

#include "kernel/smoothing.h"

#include <algorithm>
#include <cmath>

namespace ranvik {

StatusOr<CriterionCurves> CalcCriterionCurves(const Matrix& xy, std::int32_t n, double low,
                                              double high, int count, const RunControl& control) {
    StatusOr<CriterionCurves> result;
    if (!(std::isfinite(low) && std::isfinite(high) && low > 0 && high > low)) {
        return Status::Failure("The range of h must have a low value greater than 0 "
                               "and a high value greater than the low one.");
    }
    result.status = CheckSmoothingInput(xy, n);
    if (!result.Ok()) {
        return result;
    }
    const double step = (high - low) / (count - 1);
    double h = low;
    CriterionCurves& curves = result.value;
    for (int i = 0; i < count; ++i) {
        curves.h.push_back(h);
        curves.cv.push_back(CalcCVScore(xy, h, n, {}));
        curves.neg_lscv.push_back(-CalcLSCVScore(h, xy, n));
        h = h + step;
        if (!control.Report(static_cast<double>(i + 1) / count)) {
            return Status::Cancelled();
        }
    }
    return result;
}

StatusOr<std::vector<double>> Standardize(std::span<const double> values, int count) {
    StatusOr<std::vector<double>> result;
    double lowest = values[0];
    double highest = values[0];
    for (int i = 0; i < count; ++i) {
        const double v = values[static_cast<std::size_t>(i)];
        if (v < lowest) {
            lowest = v;
        } else if (v > highest) {
            highest = v;
        }
    }
    if (!(highest > lowest)) {
        result.status = Status::Failure("The curve is flat over this range of h, so it cannot be "
                                        "scaled; choose another range.");
        return result;
    }
    for (int i = 0; i < count; ++i) {
        result.value.push_back((values[static_cast<std::size_t>(i)] - lowest) / (highest - lowest));
    }
    return result;
}

GraphRange DefaultGraphRange(double h_cv, double h_lscv) {
    const double m = std::min(h_cv, h_lscv);
    const double big_m = std::max(h_cv, h_lscv);
    return {m - 0.5 * m, big_m * 0.8 + big_m};
}

} // namespace ranvik
