#pragma once

#include "models/amoeba.h"
#include "models/objective.h"
#include "state/matrix.h"
#include "state/notifier.h"
#include "support/locations.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik::testing {

// Keeps every message a computation shows instead of opening a message box.
class RecordingNotifier final : public Notifier {
public:
    void Inform(std::string_view message) override { messages.emplace_back(message); }
    std::vector<std::string> messages;
};

// Stands for "not written" in a per-location array.
inline constexpr double kUntouched = 123.0;

// One model's objective and simplex over locations 0..n-1 of `xy`, on a workspace of its own
// whose per-location values are kUntouched at first.
struct ModelRun {
    ModelRun(std::string_view name, const Matrix& locations, std::int32_t count, int ndim = 0,
             const std::vector<double>* w = nullptr)
        : xy(locations), n(count), weights(w) {
        fit.simplex.ModelName = name;
        fit.simplex.NDim = ndim;
        fit.loc_lik.assign(static_cast<std::size_t>(n) + 1, kUntouched);
    }
    // AmoebaFunc at v; `vector` keeps v as the call left it.
    double operator()(std::vector<double> v) {
        FitContext ctx = fit.Context(notifier, weights);
        const double value = AmoebaFunc(ctx, xy, v, n);
        vector = v;
        return value;
    }
    double AtVertex(const Matrix& p, int i) {
        return (*this)(std::vector<double>(p.Row(i).begin(), p.Row(i).end()));
    }
    void Run(const Matrix& p, std::vector<double>& y) {
        FitContext ctx = fit.Context(notifier, weights);
        Amoeba(ctx, xy, p, y, n);
    }
    const Matrix& xy;
    std::int32_t n;
    const std::vector<double>* weights;
    FitCopy fit;
    RecordingNotifier notifier;
    std::vector<double> vector;
};

// Four locations whose population moments are means (0, 0), sx = 100 and sy = 50.
inline Matrix MomentSquare() {
    return Locations({{100, 50}, {-100, 50}, {100, -50}, {-100, -50}});
}

// `count` fixes from a bivariate normal around (mx, my).
struct Mode {
    std::int32_t count;
    double mx, my, sx, sy, rho;
};

// Fixes drawn mode after mode from a fixed seed, in a location array as the loaders leave it.
inline Matrix NormalSample(std::initializer_list<Mode> modes, unsigned seed) {
    std::int32_t n = 0;
    for (const Mode& m : modes) {
        n += m.count;
    }
    std::mt19937 random(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    Matrix xy(n + 1, 3);
    std::int32_t row = 0;
    for (const Mode& m : modes) {
        for (std::int32_t i = 0; i < m.count; ++i, ++row) {
            const double z1 = z(random);
            const double z2 = z(random);
            xy(row, 0) = m.mx + m.sx * z1;
            xy(row, 1) = m.my + m.sy * (m.rho * z1 + std::sqrt(1 - m.rho * m.rho) * z2);
        }
    }
    return xy;
}

// The bivariate normal density from its covariance matrix S rather than the program's z-score
// form: exp(-d' S^-1 d / 2) / (2 pi sqrt(det S)).
inline double NormalDensity(double mx, double my, double sx, double sy, double rho, double x,
                            double y) {
    const double sxy = rho * sx * sy;
    const double det = sx * sx * sy * sy - sxy * sxy;
    const double dx = x - mx;
    const double dy = y - my;
    const double q = (sy * sy * dx * dx - 2 * sxy * dx * dy + sx * sx * dy * dy) / det;
    return std::exp(-q / 2) / (2 * std::numbers::pi * std::sqrt(det));
}

// The exponential power density exp(-(r/a)^(2/s)) / (pi s a^2 Gamma(s)) with the library's
// Gamma; params (0, cx, cy, a, s) on the natural scale.
inline double ExpPowerByTgamma(const std::vector<double>& p, double x, double y) {
    const double r = std::hypot(x - p[1], y - p[2]);
    return std::exp(-std::pow(r / p[3], 2 / p[4])) /
           (std::numbers::pi * p[4] * p[3] * p[3] * std::tgamma(p[4]));
}

} // namespace ranvik::testing
