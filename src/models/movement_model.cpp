#include "models/movement_model.h"

#include "numerics/parallel_for.h"
#include "state/constants.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>

namespace ranvik {
namespace {

// Fewer fixes than this leave a model with up to 7 parameters nothing to stand on.
constexpr std::int32_t kMinFixes = 10;

// The two-sided 95% normal quantile of the Wald intervals.
constexpr double kZ95 = 1.959963984540054;

// The log times are kept within these factors of the shortest interval and of the track's
// duration: a time much shorter than any interval between fixes (or much longer than the
// track) changes the likelihood by less than its rounding, and an unbounded search would walk
// off to infinity along such a flat ridge.
constexpr double kShortestTime = 1e-3;
constexpr double kLongestTime = 1e3;

// Central-difference step of the Hessian in log parameters (and radians). The negative
// log-likelihood is exact to about 1e-12 relative; with |ln L| up to 1e6 the rounding in a
// second difference is then below 1e-6 / step^2 = 1, against curvatures of at least the
// effective sample size, while the truncation error, O(step^2) relative, is below 1e-5.
constexpr double kHessianStep = 1e-3;

// The simplex stops when its values span less than this share of |ln L| (plus 1e-10, for a
// log-likelihood near 0), and restarts from its best vertex until a restart gains less. A sum
// of n log densities is exact to about n u relative (u = 1.1e-16): 1e-11 stays above that
// rounding up to 10^5 fixes, where a finer tolerance would never be met.
constexpr double kFitTolerance = 1e-11;
constexpr double kFitFloor = 1e-10;
constexpr int kMaxEvaluations = 40000;

bool HasVelocity(MovementKind kind) {
    return kind == MovementKind::Ouf;
}

bool HasPositionTime(MovementKind kind) {
    return kind != MovementKind::Iid;
}

// exp(l1 t), exp(l2 t) and (exp(l1 t) - exp(l2 t)) / (l1 - l2), the last without cancellation
// as l1 approaches l2 (its limit t exp(l2 t)).
struct Exponentials {
    double e1 = 0.0;
    double e2 = 0.0;
    double d = 0.0;
};

Exponentials ExponentialsAt(double l1, double l2, double t) {
    Exponentials e{std::exp(l1 * t), std::exp(l2 * t), 0.0};
    const double gap = (l1 - l2) * t;
    if (std::abs(gap) < 1e-8) {
        e.d = t * e.e2 * (1 + 0.5 * gap);
    } else if (std::abs(gap) < 1.0) {
        e.d = e.e2 * std::expm1(gap) / (l1 - l2);
    } else {
        // The exponentials differ by more than a factor e: no cancellation, and no 0 * inf
        // where one of them underflows and expm1 of their gap overflows.
        e.d = (e.e1 - e.e2) / (l1 - l2);
    }
    return e;
}

// One axis of the Kalman filter: accumulates ln F, v^2 / F, u v / F and u^2 / F.
struct AxisSums {
    double log_f = 0.0;
    double vv = 0.0;
    double uv = 0.0;
    double uu = 0.0;

    void Add(double f, double v, double u) {
        log_f += std::log(f);
        vv += v * v / f;
        uv += u * v / f;
        uu += u * u / f;
    }

    // The restricted likelihood is that of the n - 1 contrasts free of the mean: it adds
    // -1/2 ln(sum u^2 / F / (2 pi)).
    [[nodiscard]] double LogLik(std::size_t n, MovementLikelihood kind) const {
        const double full =
            -0.5 * (static_cast<double>(n) * std::log(2 * kPi) + log_f + vv - uv * uv / uu);
        return kind == MovementLikelihood::Full ? full : full - 0.5 * std::log(uu / (2 * kPi));
    }
};

// ln L of one axis z (relative to any origin) of stationary variance s under `params`'s
// autocorrelation.
double AxisLogLik(const MovementData& data, const std::vector<double>& z, double s,
                  const MovementParams& params, MovementLikelihood kind) {
    const std::size_t n = z.size();
    AxisSums sums;
    switch (params.kind) {
    case MovementKind::Iid:
        for (std::size_t i = 0; i < n; ++i) {
            sums.Add(s + data.error2[i], z[i], 1.0);
        }
        break;
    case MovementKind::Ou: {
        // State: the deviation from the mean (for the data a, for the ones b); P its variance.
        double a = 0.0;
        double b = 0.0;
        double p = s;
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0) {
                const double phi = std::exp(-(data.t[i] - data.t[i - 1]) / params.tau_p);
                a *= phi;
                b *= phi;
                p = phi * phi * (p - s) + s;
            }
            const double f = p + data.error2[i];
            const double v = z[i] - a;
            const double u = 1.0 - b;
            sums.Add(f, v, u);
            const double k = p / f;
            a += k * v;
            b += k * u;
            p -= k * p;
        }
        break;
    }
    case MovementKind::Ouf: {
        // State: deviation and velocity. The transition over dt is exp(A dt) with
        // A = [[0, 1], [-l1 l2, l1 + l2]], l1 = -1/tau_p, l2 = -1/tau_v:
        //   exp(A dt) = A D + (E2 - l2 D) I,
        // and the prediction P' = Phi (P - Pinf) Phi^T + Pinf keeps the process stationary,
        // Pinf = diag(s, s / (tau_p tau_v)).
        const double l1 = -1 / params.tau_p;
        const double l2 = -1 / params.tau_v;
        const double v_inf = s / (params.tau_p * params.tau_v);
        std::array<double, 2> a{0, 0};
        std::array<double, 2> b{0, 0};
        double p00 = s;
        double p01 = 0.0;
        double p11 = v_inf;
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0) {
                const Exponentials e = ExponentialsAt(l1, l2, data.t[i] - data.t[i - 1]);
                const double f00 = e.e2 - l2 * e.d;
                const double f01 = e.d;
                const double f10 = -l1 * l2 * e.d;
                const double f11 = l1 * e.d + e.e2;
                a = {f00 * a[0] + f01 * a[1], f10 * a[0] + f11 * a[1]};
                b = {f00 * b[0] + f01 * b[1], f10 * b[0] + f11 * b[1]};
                const double d00 = p00 - s;
                const double d11 = p11 - v_inf;
                // Phi D Phi^T for symmetric D = [[d00, p01], [p01, d11]].
                const double r00 = f00 * d00 + f01 * p01;
                const double r01 = f00 * p01 + f01 * d11;
                const double r10 = f10 * d00 + f11 * p01;
                const double r11 = f10 * p01 + f11 * d11;
                p00 = r00 * f00 + r01 * f01 + s;
                p01 = r00 * f10 + r01 * f11;
                p11 = r10 * f10 + r11 * f11 + v_inf;
            }
            const double f = p00 + data.error2[i];
            const double v = z[i] - a[0];
            const double u = 1.0 - b[0];
            sums.Add(f, v, u);
            const double k0 = p00 / f;
            const double k1 = p01 / f;
            a = {a[0] + k0 * v, a[1] + k1 * v};
            b = {b[0] + k0 * u, b[1] + k1 * u};
            p11 -= k1 * p01;
            p01 -= k0 * p01;
            p00 -= k0 * p00;
        }
        break;
    }
    }
    return sums.LogLik(n, kind);
}

// Where the fit's parameters sit in its vector of log variances, angle and log times.
struct Layout {
    MovementKind kind = MovementKind::Iid;
    bool anisotropic = false;

    [[nodiscard]] int Size() const {
        return (anisotropic ? 3 : 1) + (HasPositionTime(kind) ? 1 : 0) +
               (HasVelocity(kind) ? 1 : 0);
    }
    [[nodiscard]] int TauP() const { return anisotropic ? 3 : 1; }
    [[nodiscard]] int TauV() const { return TauP() + 1; }
};

// Bounds of the log times.
struct TimeBounds {
    double low = 0.0;
    double high = 0.0;
};

MovementParams Unpack(const Layout& layout, const std::vector<double>& theta,
                      const TimeBounds& bounds) {
    MovementParams p;
    p.kind = layout.kind;
    p.anisotropic = layout.anisotropic;
    p.major = std::exp(theta[0]);
    p.minor = layout.anisotropic ? std::exp(theta[1]) : p.major;
    p.angle = layout.anisotropic ? theta[2] : 0.0;
    const auto time = [&](int k) {
        return std::exp(std::clamp(theta[static_cast<std::size_t>(k)], bounds.low, bounds.high));
    };
    if (HasPositionTime(layout.kind)) {
        p.tau_p = time(layout.TauP());
    }
    if (HasVelocity(layout.kind)) {
        p.tau_v = time(layout.TauV());
    }
    return p;
}

// Downhill simplex on a smooth function of a few parameters, restarted from its best vertex
// until a restart gains less than the tolerance.
struct Minimum {
    std::vector<double> x;
    double f = 0.0;
};

Minimum Minimise(const std::function<double(const std::vector<double>&)>& f,
                 std::vector<double> start, const std::vector<double>& steps) {
    const std::size_t dim = start.size();
    Minimum best{start, f(start)};
    int evaluations = 1;
    for (int restart = 0; restart < 20; ++restart) {
        std::vector<std::vector<double>> p(dim + 1, best.x);
        std::vector<double> y(dim + 1, best.f);
        for (std::size_t i = 0; i < dim; ++i) {
            p[i + 1][i] += steps[i];
            y[i + 1] = f(p[i + 1]);
        }
        evaluations += static_cast<int>(dim);
        while (evaluations < kMaxEvaluations) {
            std::vector<std::size_t> order(dim + 1);
            std::iota(order.begin(), order.end(), std::size_t{0});
            std::stable_sort(order.begin(), order.end(),
                             [&y](std::size_t i, std::size_t j) { return y[i] < y[j]; });
            const std::size_t lo = order.front();
            const std::size_t hi = order.back();
            const std::size_t next = order[dim - 1];
            if (y[hi] - y[lo] < kFitFloor + kFitTolerance * std::abs(y[lo])) {
                break;
            }
            std::vector<double> centre(dim, 0.0);
            for (std::size_t i = 0; i <= dim; ++i) {
                if (i != hi) {
                    for (std::size_t j = 0; j < dim; ++j) {
                        centre[j] += p[i][j] / static_cast<double>(dim);
                    }
                }
            }
            const auto along = [&](double c) {
                std::vector<double> q(dim);
                for (std::size_t j = 0; j < dim; ++j) {
                    q[j] = centre[j] + c * (p[hi][j] - centre[j]);
                }
                return q;
            };
            std::vector<double> reflected = along(-1.0);
            const double yr = f(reflected);
            ++evaluations;
            if (yr < y[lo]) {
                std::vector<double> expanded = along(-2.0);
                const double ye = f(expanded);
                ++evaluations;
                if (ye < yr) {
                    p[hi] = expanded;
                    y[hi] = ye;
                } else {
                    p[hi] = reflected;
                    y[hi] = yr;
                }
            } else if (yr < y[next]) {
                p[hi] = reflected;
                y[hi] = yr;
            } else {
                std::vector<double> contracted = along(yr < y[hi] ? -0.5 : 0.5);
                const double yc = f(contracted);
                ++evaluations;
                if (yc < std::min(yr, y[hi])) {
                    p[hi] = contracted;
                    y[hi] = yc;
                } else {
                    for (std::size_t i = 0; i <= dim; ++i) {
                        if (i != lo) {
                            for (std::size_t j = 0; j < dim; ++j) {
                                p[i][j] = p[lo][j] + 0.5 * (p[i][j] - p[lo][j]);
                            }
                            y[i] = f(p[i]);
                        }
                    }
                    evaluations += static_cast<int>(dim);
                }
            }
        }
        const auto lowest =
            static_cast<std::size_t>(std::min_element(y.begin(), y.end()) - y.begin());
        const double gain = best.f - y[lowest];
        if (y[lowest] < best.f) {
            best = {p[lowest], y[lowest]};
        }
        if (gain < kFitFloor + kFitTolerance * std::abs(best.f) || evaluations >= kMaxEvaluations) {
            break;
        }
    }
    return best;
}

// The inverse of a small symmetric positive definite matrix by Cholesky decomposition; none
// when it is not positive definite.
std::optional<std::vector<std::vector<double>>> InverseSpd(std::vector<std::vector<double>> a) {
    const std::size_t n = a.size();
    std::vector<std::vector<double>> l(n, std::vector<double>(n, 0.0));
    for (std::size_t j = 0; j < n; ++j) {
        double d = a[j][j];
        for (std::size_t k = 0; k < j; ++k) {
            d -= l[j][k] * l[j][k];
        }
        if (!(d > 0.0)) {
            return std::nullopt;
        }
        l[j][j] = std::sqrt(d);
        for (std::size_t i = j + 1; i < n; ++i) {
            double s = a[i][j];
            for (std::size_t k = 0; k < j; ++k) {
                s -= l[i][k] * l[j][k];
            }
            l[i][j] = s / l[j][j];
        }
    }
    std::vector<std::vector<double>> inv(n, std::vector<double>(n, 0.0));
    for (std::size_t c = 0; c < n; ++c) {
        std::vector<double> z(n, 0.0); // L z = e_c, then L^T x = z
        for (std::size_t i = 0; i < n; ++i) {
            double s = i == c ? 1.0 : 0.0;
            for (std::size_t k = 0; k < i; ++k) {
                s -= l[i][k] * z[k];
            }
            z[i] = s / l[i][i];
        }
        for (std::size_t i = n; i-- > 0;) {
            double s = z[i];
            for (std::size_t k = i + 1; k < n; ++k) {
                s -= l[k][i] * inv[k][c];
            }
            inv[i][c] = s / l[i][i];
        }
    }
    return inv;
}

// Starting points: the sample covariance's eigen-decomposition for the variances and angle,
// the lag-one correlation at the median interval for tau_p, and a few tau_v below it.
struct StartValues {
    double major = 0.0;
    double minor = 0.0;
    double angle = 0.0;
    double tau_p = 0.0;
    double dt = 0.0;
};

StartValues StartOf(const MovementData& data) {
    const std::size_t n = data.t.size();
    double sxx = 0.0;
    double syy = 0.0;
    double sxy = 0.0;
    double lag = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        sxx += data.x[i] * data.x[i];
        syy += data.y[i] * data.y[i];
        sxy += data.x[i] * data.y[i];
        if (i > 0) {
            lag += data.x[i] * data.x[i - 1] + data.y[i] * data.y[i - 1];
        }
    }
    const auto count = static_cast<double>(n);
    StartValues v;
    const double mean_var = 0.5 * (sxx + syy) / count;
    const double half_gap = 0.5 * (sxx - syy) / count;
    const double radius = std::hypot(half_gap, sxy / count);
    v.major = mean_var + radius;
    v.minor = std::max(mean_var - radius, 1e-3 * v.major);
    v.angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    v.dt = MedianInterval(data);
    const double rho = std::clamp(lag / (sxx + syy), 0.05, 0.999);
    v.tau_p = -v.dt / std::log(rho);
    return v;
}

// The inverse of the Hessian of `f` at its minimum x (value f0) in the parameters `free`, by
// central differences; none when it is not positive definite.
std::optional<std::vector<std::vector<double>>>
CovarianceOf(const std::function<double(const std::vector<double>&)>& f,
             const std::vector<double>& x, double f0, const std::vector<std::size_t>& free) {
    const std::size_t m = free.size();
    std::vector<std::vector<double>> hessian(m, std::vector<double>(m, 0.0));
    const double h = kHessianStep;
    const auto at = [&](std::size_t i, double di, std::size_t j, double dj) {
        std::vector<double> q = x;
        q[free[i]] += di;
        q[free[j]] += dj;
        return f(q);
    };
    for (std::size_t i = 0; i < m; ++i) {
        hessian[i][i] = (at(i, h, i, 0) - 2 * f0 + at(i, -h, i, 0)) / (h * h);
        for (std::size_t j = 0; j < i; ++j) {
            hessian[i][j] = hessian[j][i] =
                (at(i, h, j, h) - at(i, h, j, -h) - at(i, -h, j, h) + at(i, -h, j, -h)) /
                (4 * h * h);
        }
    }
    return InverseSpd(hessian);
}

Interval LogInterval(double estimate, double log_variance) {
    if (!(log_variance >= 0.0) || !std::isfinite(log_variance)) {
        return {estimate, 0.0, std::numeric_limits<double>::infinity()};
    }
    const double half = kZ95 * std::sqrt(log_variance);
    return {estimate, estimate * std::exp(-half), estimate * std::exp(half)};
}

} // namespace

double MovementParams::AreaVariance() const {
    return std::sqrt(major * minor);
}

double Autocorrelation(const MovementParams& params, double dt) {
    const double t = std::abs(dt);
    switch (params.kind) {
    case MovementKind::Iid:
        return t == 0.0 ? 1.0 : 0.0;
    case MovementKind::Ou:
        return std::exp(-t / params.tau_p);
    case MovementKind::Ouf: {
        // (tau_p e1 - tau_v e2) / (tau_p - tau_v) = e2 - l2 D in the notation of the filter.
        const double l2 = -1 / params.tau_v;
        const Exponentials e = ExponentialsAt(-1 / params.tau_p, l2, t);
        return e.e2 - l2 * e.d;
    }
    }
    return 0.0;
}

std::string MovementFit::Name() const {
    std::string name = params.kind == MovementKind::Iid  ? "IID"
                       : params.kind == MovementKind::Ou ? "OU"
                                                         : "OUF";
    name += params.anisotropic ? " anisotropic" : " isotropic";
    return name;
}

MovementData MovementDataOf(const Matrix& fixes, std::int32_t n) {
    MovementData data;
    double mx = 0.0;
    double my = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        mx += fixes(i, 0);
        my += fixes(i, 1);
    }
    mx /= n;
    my /= n;
    data.origin_x = mx;
    data.origin_y = my;
    for (std::int32_t i = 0; i < n; ++i) {
        data.x.push_back(fixes(i, 0) - mx);
        data.y.push_back(fixes(i, 1) - my);
        data.t.push_back(fixes(i, 2));
        data.error2.push_back(fixes(i, 3) * fixes(i, 3));
    }
    return data;
}

double MovementLogLik(const MovementData& data, const MovementParams& params,
                      MovementLikelihood kind) {
    if (!params.anisotropic) {
        return AxisLogLik(data, data.x, params.major, params, kind) +
               AxisLogLik(data, data.y, params.major, params, kind);
    }
    const double c = std::cos(params.angle);
    const double s = std::sin(params.angle);
    std::vector<double> along(data.x.size());
    std::vector<double> across(data.x.size());
    for (std::size_t i = 0; i < along.size(); ++i) {
        along[i] = c * data.x[i] + s * data.y[i];
        across[i] = -s * data.x[i] + c * data.y[i];
    }
    return AxisLogLik(data, along, params.major, params, kind) +
           AxisLogLik(data, across, params.minor, params, kind);
}

double MedianInterval(const MovementData& data) {
    std::vector<double> gaps(data.t.size() - 1);
    for (std::size_t i = 1; i < data.t.size(); ++i) {
        gaps[i - 1] = data.t[i] - data.t[i - 1];
    }
    const auto mid = gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2);
    std::nth_element(gaps.begin(), mid, gaps.end());
    return *mid;
}

Status CheckMovementData(const MovementData& data) {
    const std::size_t n = data.t.size();
    if (n < static_cast<std::size_t>(kMinFixes)) {
        return Status::Failure("The track has " + std::to_string(n) + " fixes; at least " +
                               std::to_string(kMinFixes) + " are needed to fit a movement model.");
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (!(data.t[i] > data.t[i - 1])) {
            return Status::Failure("The fixes' times must increase: fix " + std::to_string(i + 1) +
                                   " is not later than fix " + std::to_string(i) + ".");
        }
    }
    const bool moved =
        std::any_of(data.x.begin(), data.x.end(), [&](double v) { return v != data.x.front(); }) ||
        std::any_of(data.y.begin(), data.y.end(), [&](double v) { return v != data.y.front(); });
    if (!moved) {
        return Status::Failure("All fixes are at one place: a home range needs fixes that "
                               "differ.");
    }
    return {};
}

namespace {

// One model's fit in steps, so that a set of fits can share the cores among all their starts:
// each start is minimised on its own (Minimise, any order, any thread), then the best is
// finished (its intervals from the Hessian). Starts are compared in their order, so the result
// does not depend on the order they ran in.
class ModelFit {
public:
    ModelFit(const MovementData& data, MovementKind kind, bool anisotropic)
        : data_(&data), layout_{kind, anisotropic} {
        const StartValues start = StartOf(data);
        const double duration = data.t.back() - data.t.front();
        double shortest = std::numeric_limits<double>::infinity();
        for (std::size_t i = 1; i < data.t.size(); ++i) {
            shortest = std::min(shortest, data.t[i] - data.t[i - 1]);
        }
        bounds_ = {std::log(kShortestTime * shortest), std::log(kLongestTime * duration)};
        theta_.resize(static_cast<std::size_t>(layout_.Size()));
        steps_.assign(theta_.size(), 0.5);
        const double mean_var = 0.5 * (start.major + start.minor);
        theta_[0] = std::log(anisotropic ? start.major : mean_var);
        if (anisotropic) {
            theta_[1] = std::log(start.minor);
            theta_[2] = start.angle;
            steps_[2] = 0.3;
        }
        if (HasPositionTime(kind)) {
            theta_[static_cast<std::size_t>(layout_.TauP())] = std::log(start.tau_p);
        }
        // tau_v starts below the interval and below tau_p, from where the likelihood rises
        // towards its maximum; OUF is tried from three such starts.
        tau_v_starts_ = {0.0};
        if (HasVelocity(kind)) {
            tau_v_starts_ = {0.25 * start.dt, start.dt, std::max(start.dt, start.tau_p / 3)};
        }
        minima_.resize(tau_v_starts_.size());
    }

    [[nodiscard]] int Starts() const { return static_cast<int>(tau_v_starts_.size()); }

    void Minimise(int start) {
        std::vector<double> theta = theta_;
        if (HasVelocity(layout_.kind)) {
            theta[static_cast<std::size_t>(layout_.TauV())] =
                std::log(tau_v_starts_[static_cast<std::size_t>(start)]);
        }
        minima_[static_cast<std::size_t>(start)] = ranvik::Minimise(
            [this](const std::vector<double>& t) { return Negative(t); }, theta, steps_);
    }

    [[nodiscard]] MovementFit Finish() const;

private:
    [[nodiscard]] double Negative(const std::vector<double>& theta) const {
        const double l =
            MovementLogLik(*data_, Unpack(layout_, theta, bounds_), MovementLikelihood::Restricted);
        return std::isfinite(l) ? -l : std::numeric_limits<double>::max();
    }

    const MovementData* data_;
    Layout layout_;
    TimeBounds bounds_{};
    std::vector<double> theta_;
    std::vector<double> steps_;
    std::vector<double> tau_v_starts_;
    std::vector<Minimum> minima_;
};

MovementFit ModelFit::Finish() const {
    const MovementData& data = *data_;
    const MovementKind kind = layout_.kind;
    const bool anisotropic = layout_.anisotropic;
    const Layout& layout = layout_;
    const TimeBounds& bounds = bounds_;
    const auto negative = [this](const std::vector<double>& theta) { return Negative(theta); };
    Minimum best{theta_, std::numeric_limits<double>::infinity()};
    for (const Minimum& m : minima_) {
        if (m.f < best.f) {
            best = m;
        }
    }
    // Times at a bound are held there; the others' covariance is the inverse of the Hessian.
    std::vector<double> x = best.x;
    std::vector<std::size_t> free;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const bool time = HasPositionTime(kind) && static_cast<int>(k) >= layout.TauP();
        if (time) {
            x[k] = std::clamp(x[k], bounds.low, bounds.high);
            if (x[k] - bounds.low < 1e-6 || bounds.high - x[k] < 1e-6) {
                continue;
            }
        }
        free.push_back(k);
    }
    const double f0 = negative(x);
    auto covariance = CovarianceOf(negative, x, f0, free);
    if (!covariance && anisotropic) {
        // A nearly round range leaves its angle undetermined: the others' intervals are then
        // those with the angle held.
        free.erase(std::find(free.begin(), free.end(), std::size_t{2}));
        covariance = CovarianceOf(negative, x, f0, free);
    }
    const auto variance_of = [&](std::size_t k) {
        const auto it = std::find(free.begin(), free.end(), k);
        if (!covariance || it == free.end()) {
            return std::numeric_limits<double>::infinity();
        }
        const auto i = static_cast<std::size_t>(it - free.begin());
        return (*covariance)[i][i];
    };

    MovementFit fit;
    fit.params = Unpack(layout, x, bounds);
    fit.log_lik = -f0;
    fit.parameters = 2 + layout.Size();
    const double coordinates = 2.0 * static_cast<double>(data.t.size());
    fit.aicc =
        -2 * fit.log_lik + 2.0 * fit.parameters * coordinates / (coordinates - fit.parameters - 1);
    // ln s^2 = ln major (isotropic) or (ln major + ln minor) / 2.
    double log_area_var = variance_of(0);
    if (anisotropic) {
        log_area_var = std::numeric_limits<double>::infinity();
        if (covariance && free.size() >= 2 && free[0] == 0 && free[1] == 1) {
            const auto& c = *covariance;
            log_area_var = 0.25 * (c[0][0] + c[1][1] + 2 * c[0][1]);
        }
    }
    const double area_var = fit.params.AreaVariance();
    const Interval var_interval = LogInterval(area_var, log_area_var);
    fit.sigma = {std::sqrt(area_var), std::sqrt(var_interval.low), std::sqrt(var_interval.high)};
    fit.effective_n = 2 / log_area_var;
    if (HasPositionTime(kind)) {
        fit.tau_p =
            LogInterval(fit.params.tau_p, variance_of(static_cast<std::size_t>(layout.TauP())));
    }
    if (HasVelocity(kind)) {
        fit.tau_v =
            LogInterval(fit.params.tau_v, variance_of(static_cast<std::size_t>(layout.TauV())));
        if (fit.params.tau_v > fit.params.tau_p) { // the correlation is symmetric in the two
            std::swap(fit.params.tau_p, fit.params.tau_v);
            std::swap(fit.tau_p, fit.tau_v);
        }
    }
    if (fit.params.anisotropic && fit.params.minor > fit.params.major) {
        std::swap(fit.params.major, fit.params.minor);
        fit.params.angle += 0.5 * kPi;
    }
    if (fit.params.anisotropic) {
        fit.params.angle = std::remainder(fit.params.angle, kPi);
    }
    return fit;
}

} // namespace

StatusOr<MovementFit> FitMovementModel(const MovementData& data, MovementKind kind,
                                       bool anisotropic, const RunControl& control) {
    if (Status ok = CheckMovementData(data); !ok.Ok()) {
        return ok;
    }
    ModelFit fit(data, kind, anisotropic);
    for (int start = 0; start < fit.Starts(); ++start) {
        fit.Minimise(start);
        if (!control.Report(kUnknownProgress)) {
            return Status::Cancelled();
        }
    }
    return fit.Finish();
}

StatusOr<MovementFit> FitNamedMovementModel(const MovementData& data, std::string_view name,
                                            const RunControl& control) {
    for (const MovementKind kind : {MovementKind::Iid, MovementKind::Ou, MovementKind::Ouf}) {
        for (const bool anisotropic : {false, true}) {
            MovementFit probe;
            probe.params.kind = kind;
            probe.params.anisotropic = anisotropic;
            if (probe.Name() == name) {
                return FitMovementModel(data, kind, anisotropic, control);
            }
        }
    }
    return Status::Failure("There is no movement model named \"" + std::string(name) + "\".");
}

StatusOr<std::vector<MovementFit>> FitMovementModels(const MovementData& data,
                                                     const RunControl& control) {
    if (Status ok = CheckMovementData(data); !ok.Ok()) {
        return ok;
    }
    // Every start of every model is one item of work, so the cores share the long OUF starts
    // too; then each model is finished from its best start.
    constexpr std::array<MovementKind, 3> kinds{MovementKind::Iid, MovementKind::Ou,
                                                MovementKind::Ouf};
    std::vector<ModelFit> models;
    models.reserve(6);
    std::vector<std::pair<std::size_t, int>> starts;
    for (std::size_t k = 0; k < 6; ++k) {
        models.emplace_back(data, kinds[k / 2], k % 2 == 1);
        for (int start = 0; start < models.back().Starts(); ++start) {
            starts.emplace_back(k, start);
        }
    }
    // The longest starts (OUF's, anisotropic first) are handed out first.
    std::reverse(starts.begin(), starts.end());
    bool done =
        ParallelFor(static_cast<std::int64_t>(starts.size()), control, {}, [&](std::int64_t i) {
            const auto& [model, start] = starts[static_cast<std::size_t>(i)];
            models[model].Minimise(start);
        });
    std::vector<MovementFit> out(models.size());
    done = done &&
           ParallelFor(static_cast<std::int64_t>(models.size()), control, {}, [&](std::int64_t k) {
               out[static_cast<std::size_t>(k)] = models[static_cast<std::size_t>(k)].Finish();
           });
    if (!done) {
        return Status::Cancelled();
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const MovementFit& a, const MovementFit& b) { return a.aicc < b.aicc; });
    return out;
}

} // namespace ranvik
