#pragma once

#include "models/fit_context.h"
#include "state/matrix.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace ranvik {

// The model names the objective knows, and their numbers of free parameters.
inline constexpr std::string_view kTwoModeNormalModel = "2ModeBiVarNorm";   // 11
inline constexpr std::string_view kTwoModeCircleModel = "2ModeBiVarCircle"; // 7
inline constexpr std::string_view kExpPowerModel = "ExpPower";              // 4

// ln(1e-14): the log-density given to a location whose density is exactly 0.
[[nodiscard]] double LogDensityFloor();

// Gamma(s) by the six-term Lanczos series as the exponential power model has always used it:
// t = s - 1, u = (t + 0.5) ln(t + 5.5) - (t + 5.5), ser = 1 + sum_j c_j / (t + j),
// Gamma = exp(u + ln(2.50662827465 ser)).
[[nodiscard]] double LanczosGamma(double s);

// Exponential power density at distance r from the centre, with scale a and shape s:
// f = 2 / (a^2 2 s pi G) exp(-(r / a)^(2 / s)), G = Gamma(s) (given, computed once per fit).
[[nodiscard]] double ExpPowerDensity(double r, double a, double s, double gamma_s);

// One bivariate normal mode, its constants computed once:
// c = 1 / (2 pi sx sy sqrt(1 - rho^2)), m = -1 / (2 (1 - rho^2)).
struct NormalMode {
    double mx, my, sx, sy, rho, c, m;

    NormalMode(double mean_x, double mean_y, double sigma_x, double sigma_y, double correlation);

    // c exp(m (zx^2 + zy^2 - 2 rho zx zy)), zx = (x - mx) / sx, zy = (y - my) / sy.
    [[nodiscard]] double Density(double x, double y) const;
};

// p f1 + (1 - p) f2.
[[nodiscard]] double MixtureDensity(const NormalMode& first, const NormalMode& second, double p,
                                    double x, double y);

// Negative log-likelihood of locations 0..n-1 of `xy` under the model named in
// ctx.simplex.ModelName, for the parameter vector v (elements 1..K; element 0 unused).
//
// First the limited components are clamped in v itself (the caller sees the change): for
// "2ModeBiVarNorm" the correlations v7, v10 to [-0.99, 0.99] and the proportion v11 to
// [0.01, 0.99]; for "2ModeBiVarCircle" v7 to [0.01, 0.99]; for "ExpPower" the shape v4 to
// [0.1, 1]. Standard deviations and the exponential power scale are on the log scale. Then
// for each location l_i = ln f_i (ln 1e-14 when f_i is exactly 0) is stored in ctx.loc_lik[i];
// only for "2ModeBiVarNorm" with weights, l_i is then multiplied by the location's weight.
// Returns -sum l_i. A name that is none of the three returns 0 and changes nothing.
double AmoebaFunc(FitContext& ctx, const Matrix& xy, std::vector<double>& v, std::int32_t n);

} // namespace ranvik
