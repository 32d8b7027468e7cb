#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <span>
#include <vector>

namespace ranvik {

// CV(h) and -LSCV(h) at count values of h from `low` in steps of (high - low) / (count - 1),
// by repeated addition; an h that LSCV raises to 1e-20 continues the sequence from there.
struct CriterionCurves {
    std::vector<double> h, cv, neg_lscv;
};

// Fails with a sentence unless low and high are numbers with high > low > 0 and the locations
// can give the criteria.
[[nodiscard]] StatusOr<CriterionCurves> CalcCriterionCurves(const Matrix& xy, std::int32_t n,
                                                            double low, double high,
                                                            int count = 100,
                                                            const RunControl& control = {});

// The first `count` values scaled to [0, 1]: (v - min) / (max - min), the minimum and maximum
// found from element 0 on (a value below the minimum lowers it, otherwise one above the
// maximum raises it). Fails for a curve whose values are all equal.
[[nodiscard]] StatusOr<std::vector<double>> Standardize(std::span<const double> values, int count);

// The default range of the graph: 0.5 min(h_CV, h_LSCV) to 1.8 max(h_CV, h_LSCV), computed as
// m - 0.5 m and M 0.8 + M.
struct GraphRange {
    double low = 0.0, high = 0.0;
};
[[nodiscard]] GraphRange DefaultGraphRange(double h_cv, double h_lscv);

} // namespace ranvik
