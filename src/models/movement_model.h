#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// Continuous-time movement models of a range-resident animal (Fleming et al. 2014, American
// Naturalist 183:E154). Each coordinate is a stationary Gaussian process about a mean, seen
// with independent Gaussian location error; the two coordinates share one autocorrelation
// function rho and have the stationary covariance matrix Sigma (isotropic: sigma^2 I;
// anisotropic: variances `major` and `minor` along axes turned by `angle` from the x axis):
//   IID  rho(dt) = [dt == 0]
//   OU   rho(dt) = exp(-|dt| / tau_p)
//   OUF  rho(dt) = (tau_p exp(-|dt| / tau_p) - tau_v exp(-|dt| / tau_v)) / (tau_p - tau_v),
//        and (1 + |dt| / tau) exp(-|dt| / tau) where tau_p = tau_v = tau.
// Times are in the track's time unit, variances in square metres.
enum class MovementKind { Iid, Ou, Ouf };

struct MovementParams {
    MovementKind kind = MovementKind::Iid;
    bool anisotropic = false;
    double major = 0.0; // variance along the major axis (the only one when isotropic)
    double minor = 0.0; // variance along the minor axis (= major when isotropic)
    double angle = 0.0; // of the major axis from the x axis, radians
    double tau_p = 0.0; // position autocorrelation time (OU, OUF)
    double tau_v = 0.0; // velocity autocorrelation time (OUF)

    // sigma^2 of the area: sqrt(det Sigma), the variance of the isotropic model of equal area.
    [[nodiscard]] double AreaVariance() const;
};

// rho(dt) of `params`.
[[nodiscard]] double Autocorrelation(const MovementParams& params, double dt);

// The fixes of one track as the models read them: time-sorted times, coordinates, and the
// variance of each fix's location error on each axis (its error in metres, squared).
struct MovementData {
    std::vector<double> t;
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> error2;
    double origin_x = 0.0; // where x and y are measured from
    double origin_y = 0.0;
};

// The fixes 0..n-1 of a track table (x, y, time, location error per row); coordinates are
// taken relative to their mean (the origin), which the likelihood does not see (the mean is
// profiled).
[[nodiscard]] MovementData MovementDataOf(const Matrix& fixes, std::int32_t n);

// The exact Gaussian log-likelihood of the fixes at their own times, the mean of each axis
// profiled out by generalised least squares. A Kalman filter on the model's state-space form
// (position; position and velocity for OUF; Fleming et al. 2017, Ecological Informatics
// 40:8) makes it O(n): for each axis the filter runs on the data and on a column of ones with
// the same gains, giving innovations v_i and u_i of variance F_i; then
//   mu = sum u v / F / sum u^2 / F,
//   ln L = -1/2 sum [ln(2 pi F_i) + (v_i - mu u_i)^2 / F_i].
// An anisotropic model is the sum of two such axes after turning the coordinates by `angle`
// (the location error, being isotropic, stays independent between them).
//
// The restricted likelihood (Patterson & Thompson 1971) is the likelihood of the contrasts
// of the fixes that do not depend on the mean: per axis it adds -1/2 ln(sum u^2 / F / (2 pi)).
// Fits maximise it: the full likelihood, with the mean estimated from the same autocorrelated
// fixes, underestimates sigma^2 and tau_p by about one effective sample in their number (5%
// and more for a track that holds twenty home-range crossings), and its intervals cover the
// truth too seldom.
enum class MovementLikelihood { Full, Restricted };

[[nodiscard]] double MovementLogLik(const MovementData& data, const MovementParams& params,
                                    MovementLikelihood kind = MovementLikelihood::Full);

// An estimate with its 95% confidence interval.
struct Interval {
    double estimate = 0.0;
    double low = 0.0;
    double high = 0.0;
};

// A model fitted by maximum restricted likelihood over the logarithms of its variances and times
// (and the angle), with intervals from the curvature of the log-likelihood there: the covariance of
// the log parameters is the inverse of the negative Hessian (central differences), and an
// interval is exp(ln estimate +- 1.96 se). `sigma` is the square root of AreaVariance (metres).
// The effective degrees of freedom of the area, nu = 2 s^4 / Var(s^2) with s^2 = AreaVariance,
// is 2 / Var(ln s^2); it is the effective sample size of the area's interval.
struct MovementFit {
    MovementParams params;
    double log_lik = 0.0; // the restricted log-likelihood at the estimate
    int parameters = 0;   // K, the mean's two included
    double aicc = 0.0;    // -2 ln L + 2 K N / (N - K - 1), N = 2n coordinates
    Interval sigma;
    Interval tau_p;
    Interval tau_v;
    double effective_n = 0.0;

    [[nodiscard]] std::string Name() const; // "OUF anisotropic", ...
};

// Fits one model. Fails with a sentence when the track has fewer than 10 fixes, times that do
// not increase, or all its fixes at one place; the fit is cancelled when `control` asks.
// The model of the name MovementFit::Name gives ("OUF anisotropic"), fitted by
// FitMovementModel. Fails with a sentence for another name.
[[nodiscard]] StatusOr<MovementFit> FitNamedMovementModel(const MovementData& data,
                                                          std::string_view name,
                                                          const RunControl& control = {});

[[nodiscard]] StatusOr<MovementFit> FitMovementModel(const MovementData& data, MovementKind kind,
                                                     bool anisotropic, const RunControl& control);

// Fits IID, OU and OUF, isotropic and anisotropic (in parallel when `control` allows: each fit
// is the same on any thread), and returns them in order of AICc, the selected model first.
[[nodiscard]] StatusOr<std::vector<MovementFit>> FitMovementModels(const MovementData& data,
                                                                   const RunControl& control);

// The median of the intervals between consecutive fixes (at least 2 fixes).
[[nodiscard]] double MedianInterval(const MovementData& data);

// Fails with a sentence for the user unless the track can be fitted: at least 10 fixes,
// strictly increasing times, not all at one place.
[[nodiscard]] Status CheckMovementData(const MovementData& data);

} // namespace ranvik
