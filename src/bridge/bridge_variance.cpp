#include "bridge/bridge_variance.h"

#include "numerics/minimiser.h"
#include "state/constants.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <cmath>
#include <limits>
#include <string>

namespace ranvik {
namespace {

constexpr double kDensityFloor = 1e-250;
constexpr double kNoLikelihood = std::numeric_limits<double>::max();

// Geometry of inner fix i against the bridge between its neighbours.
struct Observation {
    double big_t; // T_i
    double delta; // D_i
    double alpha; // D_i / T_i
    double d2;    // squared distance from the bridge's mean position
};

Observation Observe(const Matrix& f, std::int32_t i) {
    Observation o{};
    o.delta = f(i, 2) - f(i - 1, 2);
    o.big_t = f(i + 1, 2) - f(i - 1, 2);
    o.alpha = o.delta / o.big_t;
    const double mx = f(i - 1, 0) + (f(i + 1, 0) - f(i - 1, 0)) * o.alpha;
    const double my = f(i - 1, 1) + (f(i + 1, 1) - f(i - 1, 1)) * o.alpha;
    o.d2 = (f(i, 0) - mx) * (f(i, 0) - mx) + (f(i, 1) - my) * (f(i, 1) - my);
    return o;
}

} // namespace

double CalcBBNegLogLik(const Matrix& fixes, double sigma_m2, std::int32_t n, int& zero_densities) {
    double log_l = 0.0;
    for (double i = 1; i <= n - 2; i += 2) {
        const auto row = static_cast<std::int32_t>(i);
        const Observation o = Observe(fixes, row);
        const double e0 = fixes(row - 1, 3);
        const double e1 = fixes(row + 1, 3);
        const double var = o.big_t * o.alpha * (1 - o.alpha) * sigma_m2 +
                           (1 - o.alpha) * (1 - o.alpha) * (e0 * e0) +
                           o.alpha * o.alpha * (e1 * e1);
        double phi = 1 / (2 * kPi * var) * std::exp(-0.5 * o.d2 / var);
        if (phi == 0.0) {
            ++zero_densities;
            phi = kDensityFloor;
        }
        log_l = log_l + std::log(phi);
    }
    return -log_l;
}

double StartingBBVariance(const Matrix& fixes, std::int32_t n) {
    const auto m = static_cast<std::int32_t>(std::nearbyint((n - 1) / 2.0));
    const std::int32_t divisor = 2 * (m - 1);
    double s = 0.0;
    for (double i = 1; i <= n - 2; i += 2) {
        const Observation o = Observe(fixes, static_cast<std::int32_t>(i));
        s = s + o.big_t / ((o.big_t - o.delta) * o.delta) * o.d2 / divisor;
    }
    return s;
}

Status CheckBridgeFixes(const Matrix& fixes, std::int32_t n) {
    if (Status held = CheckCount(fixes, n, "time-stamped locations"); !held.Ok()) {
        return held;
    }
    if (n < 4) {
        return Status::Failure("At least 4 time-stamped locations are needed to estimate the "
                               "Brownian bridge variance; " +
                               std::to_string(n) + (n == 1 ? " is" : " are") + " loaded.");
    }
    for (std::int32_t i = 1; i < n; ++i) {
        if (!(fixes(i, 2) > fixes(i - 1, 2))) {
            return Status::Failure("Locations " + std::to_string(i) + " and " +
                                   std::to_string(i + 1) + " (in time order) share the time " +
                                   FormatNumber(fixes(i, 2)) +
                                   "; every location needs its own time for a Brownian bridge.");
        }
    }
    return {};
}

StatusOr<BBVarianceEstimate> EstimateBBVariance(const Matrix& fixes, std::int32_t n,
                                                const MinimiserWorkspace& start, Notifier& notifier,
                                                const RunControl& control) {
    if (Status ok = CheckBridgeFixes(fixes, n); !ok.Ok()) {
        return ok;
    }
    const double s = StartingBBVariance(fixes, n);
    if (!(s > 0) || !std::isfinite(s)) {
        return Status::Failure("Every location lies exactly where its neighbours predict it, so "
                               "the Brownian bridge variance cannot be estimated; enter a value "
                               "instead.");
    }
    int zero_densities = 0;
    // A trial variance so far below 0 that a bridge's variance turns negative has no
    // likelihood; it counts as the worst value there is, so the search turns back.
    const Criterion neg_log_l = [&](double& sigma_m2) {
        const double value = CalcBBNegLogLik(fixes, sigma_m2, n, zero_densities);
        return std::isfinite(value) ? value : kNoLikelihood;
    };
    MinimiserWorkspace search = start;
    Status status = BracketMinimum(search, kBBSearch, s - 0.7 * s, s - 0.5 * s, neg_log_l, control);
    if (status.Ok()) {
        status = GoldenSection(search, kBBSearch, neg_log_l, control);
    }
    if (zero_densities > 0 && !status.cancelled) {
        control.Say("A density of 0 was set to 1*10^-250 " + std::to_string(zero_densities) +
                    (zero_densities == 1 ? " time" : " times") + " during the estimate.");
        notifier.Inform(kZeroDensityMessage);
    }
    if (!status.Ok()) {
        return status;
    }
    return BBVarianceEstimate{search.GoldenXMin, search};
}

} // namespace ranvik
