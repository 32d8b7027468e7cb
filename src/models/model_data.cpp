#include "models/model_data.h"

#include "models/objective.h"
#include "state/loaded_locations.h"

#include <cmath>

namespace ranvik {
namespace {

// Correlations this close to +-1 come from locations on one straight line, up to rounding.
constexpr double kLineCorrelation = 1.0 - 1e-12;

} // namespace

Moments PopulationMoments(const Matrix& xy, std::int32_t n) {
    Moments m;
    const double count = n;
    double sum_x = 0.0;
    double sum_y = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        sum_x += xy(i, 0);
        sum_y += xy(i, 1);
    }
    m.mean_x = sum_x / count;
    m.mean_y = sum_y / count;
    double sxx = 0.0;
    double syy = 0.0;
    double sxy = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double dx = xy(i, 0) - m.mean_x;
        const double dy = xy(i, 1) - m.mean_y;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    m.sd_x = std::sqrt(sxx / count);
    m.sd_y = std::sqrt(syy / count);
    if (m.sd_x > 0 && m.sd_y > 0) {
        m.rho = (sxy / count) / (m.sd_x * m.sd_y);
    }
    return m;
}

Status CheckModelData(const Matrix& xy, std::int32_t n, const DataNeeds& needs) {
    const std::string model(needs.model);
    if (Status held = CheckCount(xy, n, "locations"); !held.Ok()) {
        return held;
    }
    if (n < needs.min_locations) {
        return Status::Failure("The " + model + " needs at least " +
                               std::to_string(needs.min_locations) + " locations; " +
                               std::to_string(n) + (n == 1 ? " is" : " are") + " loaded.");
    }
    const Moments m = PopulationMoments(xy, n);
    if (needs.needs_spread && (!(m.sd_x > 0) || !(m.sd_y > 0))) {
        const char* axis = !(m.sd_x > 0) ? "x" : "y";
        return Status::Failure("All locations have the same " + std::string(axis) +
                               " coordinate, so the " + model + " cannot be fitted.");
    }
    if (needs.needs_no_line && std::fabs(m.rho) > kLineCorrelation) {
        return Status::Failure("The locations lie on one straight line, so the " + model +
                               " density is undefined.");
    }
    return {};
}

double AICc(double max_log_likelihood, double k, std::int32_t n) {
    return -2 * max_log_likelihood + 2 * k * n / (n - k - 1);
}

double LogOrFloor(double density) {
    return density == 0.0 ? LogDensityFloor() : std::log(density);
}

std::string LeftOutFailure(std::string_view model, std::int32_t location) {
    return "The " + std::string(model) + " fitted without location " +
           std::to_string(location + 1) +
           " gives no density there, so its cross-validation criterion cannot be computed.";
}

} // namespace ranvik
