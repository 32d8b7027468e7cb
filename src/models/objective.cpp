#include "models/objective.h"

#include "models/model_data.h"
#include "state/constants.h"

#include <cmath>

namespace ranvik {
namespace {

void Clamp(double& value, double low, double high) {
    if (value < low) {
        value = low;
    }
    if (value > high) {
        value = high;
    }
}

double TwoModeNormal(FitContext& ctx, const Matrix& xy, std::vector<double>& v, std::int32_t n) {
    Clamp(v[7], -0.99, 0.99);
    Clamp(v[10], -0.99, 0.99);
    Clamp(v[11], 0.01, 0.99);
    const NormalMode first(v[1], v[2], std::exp(v[5]), std::exp(v[6]), v[7]);
    const NormalMode second(v[3], v[4], std::exp(v[8]), std::exp(v[9]), v[10]);
    const double p = v[11];
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const auto row = static_cast<std::size_t>(i);
        double l = LogOrFloor(MixtureDensity(first, second, p, xy(i, 0), xy(i, 1)));
        ctx.loc_lik[row] = l;
        if (ctx.weights != nullptr) {
            l = l * (*ctx.weights)[row];
        }
        sum += l;
    }
    return -sum;
}

double TwoModeCircle(FitContext& ctx, const Matrix& xy, std::vector<double>& v, std::int32_t n) {
    Clamp(v[7], 0.01, 0.99);
    const double s1 = std::exp(v[5]);
    const double s2 = std::exp(v[6]);
    const double p = v[7];
    const double c1 = 1 / (2 * kPi * (s1 * s1));
    const double c2 = 1 / (2 * kPi * (s2 * s2));
    const double v1 = s1 * s1;
    const double v2 = s2 * s2;
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double x = xy(i, 0);
        const double y = xy(i, 1);
        const double d1 = (x - v[1]) * (x - v[1]) + (y - v[2]) * (y - v[2]);
        const double d2 = (x - v[3]) * (x - v[3]) + (y - v[4]) * (y - v[4]);
        const double f1 = c1 * std::exp(-0.5 * d1 / v1);
        const double f2 = c2 * std::exp(-0.5 * d2 / v2);
        const double l = LogOrFloor(p * f1 + (1 - p) * f2);
        ctx.loc_lik[static_cast<std::size_t>(i)] = l;
        sum += l;
    }
    return -sum;
}

double ExpPower(FitContext& ctx, const Matrix& xy, std::vector<double>& v, std::int32_t n) {
    Clamp(v[4], 0.1, 1.0);
    const double a = std::exp(v[3]);
    const double s = v[4];
    const double gamma_s = LanczosGamma(s);
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double dx = xy(i, 0) - v[1];
        const double dy = xy(i, 1) - v[2];
        const double l = LogOrFloor(ExpPowerDensity(std::sqrt(dx * dx + dy * dy), a, s, gamma_s));
        ctx.loc_lik[static_cast<std::size_t>(i)] = l;
        sum += l;
    }
    return -sum;
}

} // namespace

double LogDensityFloor() {
    static const double floor = std::log(1e-14);
    return floor;
}

double LanczosGamma(double s) {
    constexpr double kCoefficients[6] = {76.18009173,  -86.50532033,  24.01409822,
                                         -1.231739516, 0.00120858003, -0.536382e-5};
    double t = s - 1;
    double u = t + 5.5;
    u = (t + 0.5) * std::log(u) - u;
    double ser = 1;
    for (const double c : kCoefficients) {
        t = t + 1;
        ser = ser + c / t;
    }
    return std::exp(u + std::log(2.50662827465 * ser));
}

double ExpPowerDensity(double r, double a, double s, double gamma_s) {
    return (2 / (a * a * 2 * s * kPi * gamma_s)) * std::exp(-std::pow(r / a, 2 / s));
}

NormalMode::NormalMode(double mean_x, double mean_y, double sigma_x, double sigma_y,
                       double correlation)
    : mx(mean_x), my(mean_y), sx(sigma_x), sy(sigma_y), rho(correlation),
      c(1 / (2 * kPi * sigma_x * sigma_y * std::sqrt(1 - correlation * correlation))),
      m(-1 / (2 * (1 - correlation * correlation))) {}

double NormalMode::Density(double x, double y) const {
    const double zx = (x - mx) / sx;
    const double zy = (y - my) / sy;
    return c * std::exp(m * (zx * zx + zy * zy - 2 * rho * zx * zy));
}

double MixtureDensity(const NormalMode& first, const NormalMode& second, double p, double x,
                      double y) {
    return p * first.Density(x, y) + (1 - p) * second.Density(x, y);
}

double AmoebaFunc(FitContext& ctx, const Matrix& xy, std::vector<double>& v, std::int32_t n) {
    const std::string& model = ctx.simplex.ModelName;
    if (model == kTwoModeNormalModel) {
        return TwoModeNormal(ctx, xy, v, n);
    }
    if (model == kTwoModeCircleModel) {
        return TwoModeCircle(ctx, xy, v, n);
    }
    if (model == kExpPowerModel) {
        return ExpPower(ctx, xy, v, n);
    }
    return 0.0;
}

} // namespace ranvik
