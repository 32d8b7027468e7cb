#include "bridge/motion_variance.h"

#include "numerics/parallel_for.h"
#include "state/constants.h"
#include "state/loaded_locations.h"
#include "state/number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace ranvik {
namespace {

constexpr double kDensityFloor = 1e-250;

// Newton steps on ln s stop when a step moves ln s by less than this, i.e. the variance by
// less than 1e-13 of itself: the log-likelihood, flat at its maximum, is then exact to
// rounding.
constexpr double kLogVarianceTolerance = 1e-13;

// Iterations of the variance search; Newton steps converge in well under 20 and every
// safeguarded step halves the bracket, so 300 bisections would shrink ln s to below rounding.
constexpr int kMaxFitIterations = 300;

// How far below the largest single-observation optimum the search looks for a rising
// likelihood before it takes the maximum to lie at 0: ln(1e-20).
constexpr double kLowestLogRatio = -46.0;

// Inner fix i seen through the bridge between fixes i - 1 and i + 1: its variance there is
// a s + c for motion variance s, and d2 its squared distance from the bridge's mean.
struct Observation {
    double a = 0.0;
    double c = 0.0;
    double d2 = 0.0;
};

Observation Observe(const Matrix& f, std::int32_t i) {
    const double big_t = f(i + 1, 2) - f(i - 1, 2);
    const double alpha = (f(i, 2) - f(i - 1, 2)) / big_t;
    const double e0 = f(i - 1, 3);
    const double e1 = f(i + 1, 3);
    const double dx = f(i, 0) - (f(i - 1, 0) + (f(i + 1, 0) - f(i - 1, 0)) * alpha);
    const double dy = f(i, 1) - (f(i - 1, 1) + (f(i + 1, 1) - f(i - 1, 1)) * alpha);
    return {big_t * alpha * (1 - alpha),
            (1 - alpha) * (1 - alpha) * (e0 * e0) + alpha * alpha * (e1 * e1), dx * dx + dy * dy};
}

// ln phi of one observation at motion variance s, phi taken as 1e-250 when it underflows to 0
// (as CalcBBNegLogLik takes it). A bridge of no variance (s = 0, both neighbours without
// error) gives a fix on it an infinite density and any other fix none.
double LogPhi(const Observation& o, double s) {
    const double var = o.a * s + o.c;
    if (var == 0.0) {
        return o.d2 == 0.0 ? std::numeric_limits<double>::infinity() : std::log(kDensityFloor);
    }
    double phi = 1 / (2 * kPi * var) * std::exp(-0.5 * o.d2 / var);
    if (phi == 0.0) {
        phi = kDensityFloor;
    }
    return std::log(phi);
}

// The observations of a stretch first..last: fixes first + 1, first + 3, ... up to last - 1,
// held as a range of one track's table.
struct Stretch {
    const Observation* obs; // table entry of fix first + 1
    std::int32_t count;     // (last - first) / 2

    template <class F> void ForEach(F&& f) const {
        for (std::int32_t k = 0; k < count; ++k) {
            f(obs[2 * k]);
        }
    }
};

double LogLik(const Stretch& stretch, double s) {
    double log_l = 0.0;
    stretch.ForEach([&](const Observation& o) { log_l = log_l + LogPhi(o, s); });
    return log_l;
}

// g = dL/du and its derivative dg/du, u = ln s. With w = a s / v and r = d2 / v per
// observation (v = a s + c), dL/ds = sum a (d2 / 2 - v) / v^2 and
// d2L/ds2 = sum a^2 (v - d2) / v^3, so
//   g = sum w (r / 2 - 1),   dg/du = g + sum w^2 (1 - r).
struct Slope {
    double g = 0.0;
    double dg = 0.0;
};

Slope SlopeAt(const Stretch& stretch, double s) {
    Slope slope;
    double curvature = 0.0;
    stretch.ForEach([&](const Observation& o) {
        const double inv = 1 / (o.a * s + o.c);
        const double w = o.a * s * inv;
        const double r = o.d2 * inv;
        slope.g += w * (0.5 * r - 1);
        curvature += w * w * (1 - r);
    });
    slope.dg = slope.g + curvature;
    return slope;
}

// Where the likelihood's slope in u = ln s changes from rising to falling, searched for below
// u_hi, where it falls. Starts at u_start; while no rising point is known it steps down
// (Newton when it goes down, else doubling steps) and gives up below u_floor. With a bracket,
// Newton steps that leave it, or that a convex stretch sends uphill, become bisections.
std::optional<double> RisingToFalling(const Stretch& stretch, double u_start, double u_lo,
                                      bool have_lo, double u_hi, double u_floor) {
    double u = u_start;
    double step = 1.0;
    for (int iter = 0; iter < kMaxFitIterations; ++iter) {
        const Slope slope = SlopeAt(stretch, std::exp(u));
        if (slope.g == 0.0) {
            return u;
        }
        (slope.g > 0 ? u_lo : u_hi) = u;
        have_lo = have_lo || slope.g > 0;
        const double tolerance = kLogVarianceTolerance * std::max(1.0, std::abs(u));
        const double newton = slope.dg < 0 ? u - slope.g / slope.dg : u;
        // A Newton step this small has converged, even when rounding puts it on a bracket end.
        if (slope.dg < 0 && std::abs(newton - u) <= tolerance) {
            return newton;
        }
        double next = newton;
        if (!have_lo) {
            next = newton < u && newton >= u - step ? newton : u - step;
            step *= 2;
            if (next < u_floor) {
                return std::nullopt;
            }
        } else if (!(next > u_lo && next < u_hi)) {
            next = 0.5 * (u_lo + u_hi);
        }
        if (have_lo && u_hi - u_lo <= tolerance) {
            return next;
        }
        u = next;
    }
    return u;
}

// The maximum-likelihood variance of a stretch. Each observation's ln phi rises in s up to
// its own optimum p = (d2 / 2 - c) / a and falls beyond it, so the maximum lies between the
// lowest and the highest p (clipped at 0); one observation gives its p. When the lowest p is
// not positive, s = 0 competes with the interior maximum when the likelihood falls from it.
StretchFit FitStretchObservations(const Stretch& stretch) {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    double a_sum = 0.0;
    double excess = 0.0;   // sum of d2 / 2 - c
    double slope0 = 0.0;   // dL/ds at s = 0
    bool exact = false;    // an observation with c = 0 and d2 = 0: L is unbounded at s = 0
    bool no_error = false; // an observation with c = 0: L is -infinity at s = 0
    stretch.ForEach([&](const Observation& o) {
        const double p = (0.5 * o.d2 - o.c) / o.a;
        lo = std::min(lo, p);
        hi = std::max(hi, p);
        a_sum += o.a;
        excess += 0.5 * o.d2 - o.c;
        no_error = no_error || o.c == 0.0;
        exact = exact || (o.c == 0.0 && o.d2 == 0.0);
        slope0 += o.c > 0 ? o.a * (0.5 * o.d2 - o.c) / (o.c * o.c) : 0.0;
    });
    const auto fit_at = [&](double s) { return StretchFit{s, LogLik(stretch, s)}; };
    if (stretch.count == 0) {
        return {};
    }
    if (exact || !(hi > 0)) {
        return fit_at(0.0);
    }
    if (lo == hi) {
        return fit_at(hi);
    }
    const double u_hi = std::log(hi);
    const bool have_lo = lo > 0;
    const double u_lo = have_lo ? std::log(lo) : -std::numeric_limits<double>::infinity();
    const double moment = excess / a_sum;
    const double u_start =
        moment > 0 ? std::clamp(std::log(moment), have_lo ? u_lo : u_hi + kLowestLogRatio, u_hi)
                   : (have_lo ? u_lo : u_hi - 1);
    const std::optional<double> u =
        RisingToFalling(stretch, u_start, u_lo, have_lo, u_hi, u_hi + kLowestLogRatio);
    const bool zero_competes = !have_lo && !no_error && slope0 <= 0;
    if (!u) {
        // The likelihood still falls 20 orders of magnitude below the highest optimum: its
        // maximum is at 0 for all a variance can tell (just above 0 when a fix without error
        // makes s = 0 itself impossible).
        return fit_at(no_error ? std::exp(u_hi + kLowestLogRatio) : 0.0);
    }
    const StretchFit interior = fit_at(std::exp(*u));
    if (zero_competes) {
        const StretchFit zero = fit_at(0.0);
        if (zero.log_lik > interior.log_lik) {
            return zero;
        }
    }
    return interior;
}

// Observations of every inner fix of the track (entries 0 and n - 1 unused), so that each
// stretch's likelihood is a sum over a range of them.
std::vector<Observation> ObservationTable(const Matrix& fixes, std::int32_t n) {
    std::vector<Observation> table(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i + 1 < n; ++i) {
        table[static_cast<std::size_t>(i)] = Observe(fixes, i);
    }
    return table;
}

Stretch StretchOf(const std::vector<Observation>& table, std::int32_t first, std::int32_t last) {
    return {table.data() + first + 1, (last - first) / 2};
}

// One window: the whole-window fit and every odd break from m to w - m + 1; the lowest BIC
// among the breaks is kept (the earliest on a tie) and wins only when below the whole window's.
WindowScore ScoreWindow(const std::vector<Observation>& table, std::int32_t start,
                        const DynamicBridgeOptions& options) {
    const std::int32_t w = options.window;
    const std::int32_t end = start + w - 1;
    const double ln_w = std::log(static_cast<double>(w));
    WindowScore score;
    score.start = start;
    score.whole = FitStretchObservations(StretchOf(table, start, end));
    score.bic_whole = -2 * score.whole.log_lik + ln_w;
    score.bic_break = std::numeric_limits<double>::infinity();
    std::int32_t best = 0;
    StretchFit before;
    StretchFit after;
    for (std::int32_t b = options.margin; b <= w - options.margin + 1; b += 2) {
        const std::int32_t fix = start + b - 1;
        const StretchFit fit_before = FitStretchObservations(StretchOf(table, start, fix));
        const StretchFit fit_after = FitStretchObservations(StretchOf(table, fix, end));
        const double bic = -2 * (fit_before.log_lik + fit_after.log_lik) + 2 * ln_w;
        if (bic < score.bic_break) {
            score.bic_break = bic;
            best = fix;
            before = fit_before;
            after = fit_after;
        }
    }
    if (score.bic_break < score.bic_whole) {
        score.break_fix = best;
        score.before = before;
        score.after = after;
    }
    return score;
}

// Hands each window's variances to its segments m..w - m and averages them, window after
// window in order of start.
MotionVariance GiveSegments(std::vector<WindowScore> scores, std::int32_t n,
                            const DynamicBridgeOptions& options) {
    const auto segments = static_cast<std::size_t>(n - 1);
    std::vector<double> sum(segments, 0.0);
    MotionVariance result;
    result.windows.assign(segments, 0);
    result.breaks.assign(static_cast<std::size_t>(n), 0);
    for (const WindowScore& score : scores) {
        const std::int32_t first = score.start + options.margin - 1;
        const std::int32_t last = score.start + options.window - options.margin - 1;
        for (std::int32_t k = first; k <= last; ++k) {
            const double variance = !score.break_fix       ? score.whole.variance
                                    : k < *score.break_fix ? score.before.variance
                                                           : score.after.variance;
            sum[static_cast<std::size_t>(k)] += variance;
            ++result.windows[static_cast<std::size_t>(k)];
        }
        if (score.break_fix) {
            ++result.breaks[static_cast<std::size_t>(*score.break_fix)];
        }
    }
    result.segment.resize(segments);
    for (std::size_t k = 0; k < segments; ++k) {
        if (result.windows[k] > 0) {
            result.segment[k] = sum[k] / result.windows[k];
        }
    }
    result.scores = std::move(scores);
    return result;
}

std::string FixCount(std::int32_t count) {
    std::string text = std::to_string(count);
    text += count == 1 ? " fix" : " fixes";
    return text;
}

} // namespace

Status CheckDynamicBridgeOptions(const DynamicBridgeOptions& options, const Matrix& fixes,
                                 std::int32_t n) {
    const std::int32_t w = options.window;
    const std::int32_t m = options.margin;
    if (w % 2 == 0) {
        return Status::Failure("The window must hold an odd number of fixes; " + std::to_string(w) +
                               " is even.");
    }
    if (m < 1) {
        return Status::Failure("The margin must be at least 1 fix; it is " + std::to_string(m) +
                               ".");
    }
    if (m % 2 == 0) {
        return Status::Failure("The margin must be an odd number of fixes; " + std::to_string(m) +
                               " is even.");
    }
    if (w < 2 * m + 1) {
        std::string text = "A window of " + FixCount(w);
        text += " is too short for a margin of " + std::to_string(m);
        text += "; it needs at least " + FixCount(2 * m + 1) + ".";
        return Status::Failure(text);
    }
    if (Status held = CheckCount(fixes, n, "time-stamped locations"); !held.Ok()) {
        return held;
    }
    if (n < w) {
        std::string text = "The window needs " + FixCount(w);
        text += "; " + std::to_string(n) + (n == 1 ? " is" : " are") + " loaded.";
        return Status::Failure(text);
    }
    for (std::int32_t i = 1; i < n; ++i) {
        if (!(fixes(i, 2) > fixes(i - 1, 2))) {
            std::string text = "Locations " + std::to_string(i) + " and " + std::to_string(i + 1);
            text += fixes(i, 2) == fixes(i - 1, 2) ? " share the time " + FormatNumber(fixes(i, 2))
                                                   : " are out of time order";
            text += "; the dynamic Brownian bridge needs times that increase from each location "
                    "to the next.";
            return Status::Failure(text);
        }
    }
    return {};
}

double StretchLogLik(const Matrix& fixes, std::int32_t first, std::int32_t last, double sigma_m2) {
    double log_l = 0.0;
    for (std::int32_t i = first + 1; i <= last - 1; i += 2) {
        log_l = log_l + LogPhi(Observe(fixes, i), sigma_m2);
    }
    return log_l;
}

StretchFit FitStretch(const Matrix& fixes, std::int32_t first, std::int32_t last) {
    std::vector<Observation> table;
    for (std::int32_t i = first; i <= last; ++i) {
        table.push_back(i > first && i < last ? Observe(fixes, i) : Observation{});
    }
    return FitStretchObservations(StretchOf(table, 0, last - first));
}

StatusOr<MotionVariance> EstimateMotionVariance(const Matrix& fixes, std::int32_t n,
                                                const DynamicBridgeOptions& options,
                                                const RunControl& control) {
    if (Status ok = CheckDynamicBridgeOptions(options, fixes, n); !ok.Ok()) {
        return ok;
    }
    const std::vector<Observation> table = ObservationTable(fixes, n);
    std::vector<WindowScore> scores(static_cast<std::size_t>(n - options.window + 1));
    const auto count = static_cast<std::int64_t>(scores.size());
    const bool finished = ParallelFor(count, control, {64, 256}, [&](std::int64_t start) {
        scores[static_cast<std::size_t>(start)] =
            ScoreWindow(table, static_cast<std::int32_t>(start), options);
    });
    if (!finished) {
        return Status::Cancelled();
    }
    return GiveSegments(std::move(scores), n, options);
}

} // namespace ranvik
