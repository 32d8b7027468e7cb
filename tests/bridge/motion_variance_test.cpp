#include "bridge/motion_variance.h"

#include "bridge/bridge_variance.h"
#include "numerics/minimiser.h"

#include "support/brownian_track.h"
#include "support/fixes.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <tuple>

namespace ranvik {
namespace {

using testing::Fix;
using testing::Fixes;
using testing::SimulatedTrack;

// Both the fast fit and the reference reach the maximum of a smooth likelihood: their
// log-likelihoods agree to rounding, well inside this.
constexpr double kBicRel = 1e-9;

// A track of n one-minute fixes whose motion variance is 1 m^2/min up to segment `change` and
// 25 m^2/min from it on, with location errors of 0.1 m by default. The bridge takes the middle
// fix as where the animal was, so that fix's own error (e^2 per axis) is read as motion:
// T alpha (1 - alpha) = 0.5 min, so it adds about e^2 / 0.5 = 0.02 m^2/min, 2% of the lower
// variance (0.5 m would add 50%). The neighbours' errors enter the bridge's variance as
// 0.25 (e0^2 + e1^2) = 0.005 m^2, far below 0.5 sigma^2, so the variance is well identified.
Matrix StepTrack(std::int32_t n, std::int32_t change, double error = 0.1, unsigned seed = 1) {
    return SimulatedTrack(
        n, 1.0, error, [change](std::int32_t k) { return k < change ? 1.0 : 25.0; }, seed);
}

TEST(StretchLogLik, ThreeFixStretchMatchesTheHandWorkedDensity) {
    // T = 3, alpha = 1/3: a = 3 (1/3)(2/3) = 2/3; c = (4/9) 3^2 + (1/9) 6^2 = 8; at sigma^2 = 6
    // var = 4 + 8 = 12. The bridge's mean is (3, 1), the fix is at (6, 5): d^2 = 25.
    const Matrix f = Fixes({{0, 0, 0, 3}, {6, 5, 1, 2}, {9, 3, 3, 6}});
    EXPECT_NEAR(StretchLogLik(f, 0, 2, 6.0), -std::log(24 * std::numbers::pi) - 25.0 / 24.0, 1e-14);
    // Its own optimum, (d^2 / 2 - c) / a = (12.5 - 8) / (2/3) = 6.75, is the fit.
    const StretchFit fit = FitStretch(f, 0, 2);
    EXPECT_NEAR(fit.variance, 6.75, 1e-12);
    EXPECT_DOUBLE_EQ(fit.log_lik, StretchLogLik(f, 0, 2, fit.variance));
}

TEST(StretchLogLik, IsTheBridgeLikelihoodOfTheStretchAlone) {
    const Matrix track = StepTrack(40, 20);
    int zeros = 0;
    EXPECT_NEAR(StretchLogLik(track, 0, 38, 3.0), -CalcBBNegLogLik(track, 3.0, 39, zeros), 1e-9);
    // A stretch from fix 5 observes fixes 6, 8, ...: the likelihood of rows 5..31 on their own.
    Matrix shifted(28, 5);
    for (std::int32_t i = 0; i < 27; ++i) {
        for (std::int32_t j = 0; j < 4; ++j) {
            shifted(i, j) = track(i + 5, j);
        }
    }
    EXPECT_NEAR(StretchLogLik(track, 5, 31, 3.0), -CalcBBNegLogLik(shifted, 3.0, 27, zeros), 1e-9);
    EXPECT_EQ(zeros, 0);
}

TEST(FitStretch, WithoutLocationErrorsHasTheClosedForm) {
    // With c = 0, L = sum -ln(2 pi a s) - d^2 / (2 a s), maximal at s = sum(d^2 / a) / (2 K).
    const Matrix track = StepTrack(25, 25, 0.0);
    double q = 0.0;
    for (std::int32_t i = 1; i <= 23; i += 2) {
        const double dx = track(i, 0) - 0.5 * (track(i - 1, 0) + track(i + 1, 0));
        const double dy = track(i, 1) - 0.5 * (track(i - 1, 1) + track(i + 1, 1));
        q += (dx * dx + dy * dy) / 0.5;
    }
    EXPECT_NEAR(FitStretch(track, 0, 24).variance, q / 24, 1e-10 * q);
}

TEST(FitStretch, TakesZeroOnlyWhenItsLikelihoodIsHighest) {
    // Fix 1 lies on its bridge with c = 0.005, so the likelihood falls from s = 0; fix 3 lies
    // sqrt(d2) off its bridge with c = 1.0025 and pulls towards a positive variance. Far off, that
    // maximum beats s = 0; near, it does not (or does not exist).
    for (const double d2 : {100.0, 10.0}) {
        const Matrix f = Fixes(
            {{0, 0, 0, 0.1}, {1, 0, 1, 1}, {2, 0, 2, 0.1}, {3, std::sqrt(d2), 3, 1}, {4, 0, 4, 2}});
        double best = StretchLogLik(f, 0, 4, 0.0);
        double best_s = 0.0;
        for (int k = -6000; k < 6000; ++k) {
            const double s = std::pow(10.0, k / 1000.0);
            if (const double l = StretchLogLik(f, 0, 4, s); l > best) {
                best = l;
                best_s = s;
            }
        }
        const StretchFit fit = FitStretch(f, 0, 4);
        EXPECT_GE(fit.log_lik, best - 1e-12) << d2;
        EXPECT_NEAR(fit.variance, best_s, 0.01 * best_s) << d2;
        EXPECT_EQ(fit.variance == 0.0, d2 == 10.0) << d2;
    }
}

// The window scores written out plainly: every stretch refitted from scratch by bracketing and
// golden section on -StretchLogLik. Below 0 the criterion rises on from its value at 0, so a
// maximum at 0 draws the search there; as the search's tolerance is relative it cannot settle
// at 0 itself, so the better of its result and s = 0 is taken.
struct PlainScore {
    double bic_whole;
    double bic_break;
    std::int32_t best_break; // fix of the lowest break BIC
};

double PlainFit(const Matrix& f, std::int32_t first, std::int32_t last) {
    // Golden section narrows a flat minimum no closer than about sqrt(epsilon), 1.5e-8, of
    // itself (beyond, the criterion's values tie); the likelihood there is exact to ~1e-16.
    constexpr MinimiserInstance kTight{"test variance", 500.0, true, 1e-8, false};
    const double at_zero = StretchLogLik(f, first, last, 0.0);
    const Criterion neg = [&](double& s) {
        return s < 0 ? -at_zero - s : -StretchLogLik(f, first, last, s);
    };
    MinimiserWorkspace ws;
    if (BracketMinimum(ws, kTight, 1.0, 2.0, neg, {}).Ok() &&
        GoldenSection(ws, kTight, neg, {}).Ok()) {
        return std::max(at_zero, -ws.GoldenFMin);
    }
    return at_zero;
}

PlainScore PlainWindow(const Matrix& f, std::int32_t start, std::int32_t w, std::int32_t m) {
    const double ln_w = std::log(w);
    PlainScore score{-2 * PlainFit(f, start, start + w - 1) + ln_w, 1e300, -1};
    for (std::int32_t b = m; b <= w - m + 1; b += 2) {
        const std::int32_t fix = start + b - 1;
        const double bic =
            -2 * (PlainFit(f, start, fix) + PlainFit(f, fix, start + w - 1)) + 2 * ln_w;
        if (bic < score.bic_break) {
            score = {score.bic_whole, bic, fix};
        }
    }
    return score;
}

TEST(MotionVariance, WindowScoresMatchPlainRefits) {
    // 2 m errors (bridge variance 0.5 sigma^2 + 2 m^2) make many short stretches fit best at 0.
    const Matrix track = StepTrack(200, 100, 2.0, 7);
    const auto result = EstimateMotionVariance(track, 200, {});
    ASSERT_TRUE(result.Ok()) << result.status.error;
    ASSERT_EQ(result.value.scores.size(), 170U);
    int breaks = 0;
    for (const WindowScore& score : result.value.scores) {
        const PlainScore plain = PlainWindow(track, score.start, 31, 11);
        EXPECT_NEAR(score.bic_whole, plain.bic_whole, kBicRel * std::abs(plain.bic_whole));
        EXPECT_NEAR(score.bic_break, plain.bic_break, kBicRel * std::abs(plain.bic_break));
        const bool broke = plain.bic_break < plain.bic_whole;
        ASSERT_EQ(score.break_fix.has_value(), broke) << score.start;
        if (broke) {
            EXPECT_EQ(*score.break_fix, plain.best_break) << score.start;
            ++breaks;
        }
    }
    EXPECT_GT(breaks, 0);
    // And the fits at 0 were among those compared.
    int zeros = 0;
    for (std::int32_t first = 0; first + 11 <= 200; ++first) {
        zeros += FitStretch(track, first, first + 10).variance == 0.0 ? 1 : 0;
    }
    EXPECT_GT(zeros, 0);
}

TEST(MotionVariance, FollowsAVarianceThatJumps) {
    const std::int32_t n = 1000;
    const std::int32_t change = 500;
    const DynamicBridgeOptions options;
    const auto result = EstimateMotionVariance(StepTrack(n, change), n, options);
    ASSERT_TRUE(result.Ok());
    const MotionVariance& mv = result.value;
    // A segment's variance rests on the ~15 observations of the windows around it (relative
    // error about 1 / sqrt(15) = 26%), so each segment is only held to its own side of the
    // geometric middle, 5, and each side's mean to 15% of the truth.
    double sums[2] = {0, 0};
    int counts[2] = {0, 0};
    for (std::int32_t k = 0; k < n - 1; ++k) {
        const auto& v = mv.segment[static_cast<std::size_t>(k)];
        ASSERT_EQ(v.has_value(), k >= options.margin - 1 && k <= n - 1 - options.margin) << k;
        if (!v || std::abs(k - change) <= options.window) {
            continue;
        }
        const int side = k < change ? 0 : 1;
        EXPECT_EQ(*v > 5.0, side == 1) << k << ": " << *v;
        sums[side] += *v;
        ++counts[side];
    }
    EXPECT_NEAR(sums[0] / counts[0], 1.0, 0.15);
    EXPECT_NEAR(sums[1] / counts[1], 25.0, 0.15 * 25.0);
    // Spurious breaks are common (one break among six tried pays only ln 31 in BIC), so it is
    // the windows that can break at the change, or next to it, that must break near it.
    for (const WindowScore& score : mv.scores) {
        if (score.start + options.margin - 1 <= change &&
            change <= score.start + options.window - options.margin) {
            ASSERT_TRUE(score.break_fix.has_value()) << score.start;
            EXPECT_LE(std::abs(*score.break_fix - change), options.margin) << score.start;
        }
    }
}

TEST(MotionVariance, OneVarianceAgreesWithTheBrownianBridgeEstimate) {
    const std::int32_t n = 1000;
    const Matrix track = SimulatedTrack(
        n, 1.0, 0.5, [](std::int32_t) { return 4.0; }, 3);
    testing::RecordingNotifier notifier;
    const auto single = EstimateBBVariance(track, n, {}, notifier);
    const auto result = EstimateMotionVariance(track, n, {});
    ASSERT_TRUE(single.Ok() && result.Ok());
    double sum = 0.0;
    int count = 0;
    for (const auto& v : result.value.segment) {
        if (v) {
            sum += *v;
            ++count;
        }
    }
    EXPECT_NEAR(sum / count, single.value.variance, 0.1 * single.value.variance);
}

TEST(MotionVariance, ParallelGivesTheSameBitsAsSequential) {
    const Matrix track = StepTrack(1000, 500);
    RunControl sequential;
    sequential.parallel = false;
    const auto a = EstimateMotionVariance(track, 1000, {}, sequential);
    const auto b = EstimateMotionVariance(track, 1000, {});
    ASSERT_TRUE(a.Ok() && b.Ok());
    EXPECT_EQ(a.value.segment, b.value.segment);
    EXPECT_EQ(a.value.breaks, b.value.breaks);
    for (std::size_t i = 0; i < a.value.scores.size(); ++i) {
        const WindowScore& x = a.value.scores[i];
        const WindowScore& y = b.value.scores[i];
        EXPECT_EQ(std::tie(x.whole.variance, x.whole.log_lik, x.bic_whole, x.bic_break, x.break_fix,
                           x.before.variance, x.after.variance),
                  std::tie(y.whole.variance, y.whole.log_lik, y.bic_whole, y.bic_break, y.break_fix,
                           y.before.variance, y.after.variance));
    }
}

TEST(MotionVariance, StopsWhenAskedTo) {
    RunControl control;
    control.progress = [](double) { return false; };
    const auto result = EstimateMotionVariance(StepTrack(2000, 1000), 2000, {}, control);
    EXPECT_TRUE(result.status.cancelled);
}

TEST(CheckDynamicBridgeOptions, RefusesWithASentence) {
    const Matrix track = StepTrack(40, 20);
    Matrix repeated = track;
    repeated(7, 2) = repeated(6, 2);
    Matrix reversed = track;
    reversed(7, 2) = reversed(6, 2) - 0.5;
    const struct {
        DynamicBridgeOptions options;
        const Matrix* fixes;
        std::int32_t n;
        std::string sentence;
    } cases[] = {
        {{30, 11}, &track, 40, "The window must hold an odd number of fixes; 30 is even."},
        {{31, 10}, &track, 40, "The margin must be an odd number of fixes; 10 is even."},
        {{31, -1}, &track, 40, "The margin must be at least 1 fix; it is -1."},
        {{21, 11},
         &track,
         40,
         "A window of 21 fixes is too short for a margin of 11; it needs at least 23 fixes."},
        {{31, 11}, &track, 20, "The window needs 31 fixes; 20 are loaded."},
        {{31, 11},
         &repeated,
         40,
         "Locations 7 and 8 share the time 6; the dynamic Brownian bridge needs times that "
         "increase from each location to the next."},
        {{31, 11},
         &reversed,
         40,
         "Locations 7 and 8 are out of time order; the dynamic Brownian bridge needs times that "
         "increase from each location to the next."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckDynamicBridgeOptions(c.options, *c.fixes, c.n).error, c.sentence);
        EXPECT_EQ(EstimateMotionVariance(*c.fixes, c.n, c.options).status.error, c.sentence);
    }
    EXPECT_TRUE(CheckDynamicBridgeOptions({3, 1}, track, 3).Ok());
}

} // namespace
} // namespace ranvik
