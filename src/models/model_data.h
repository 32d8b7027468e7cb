#pragma once

#include "numerics/leave_one_out.h"
#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ranvik {

// Population moments of locations 0..n-1 (divisor n): means, standard deviations and the
// correlation (0 when a standard deviation is 0).
struct Moments {
    double mean_x = 0.0, mean_y = 0.0;
    double sd_x = 0.0, sd_y = 0.0;
    double rho = 0.0;
};

[[nodiscard]] Moments PopulationMoments(const Matrix& xy, std::int32_t n);

// What a parametric model needs of its locations before it is fitted.
struct DataNeeds {
    std::string_view model;     // as the user knows it: "1-mode bivariate normal"
    std::int32_t min_locations; // fewest locations for which it can be fitted (or scored)
    bool needs_spread = true;   // a standard deviation of 0 makes the fit impossible
    bool needs_no_line = false; // locations on one straight line make the density undefined
};

// Fails with a sentence for the user when the locations do not meet `needs`.
[[nodiscard]] Status CheckModelData(const Matrix& xy, std::int32_t n, const DataNeeds& needs);

// -2 ln L + 2 K n / (n - K - 1), the second-order Akaike criterion; n must exceed K + 1.
[[nodiscard]] double AICc(double max_log_likelihood, double k, std::int32_t n);

// ln f, or ln 1e-14 when f is exactly 0.
[[nodiscard]] double LogOrFloor(double density);

// The sentence for a leave-one-out density that is not a number.
[[nodiscard]] std::string LeftOutFailure(std::string_view model, std::int32_t location);

} // namespace ranvik
