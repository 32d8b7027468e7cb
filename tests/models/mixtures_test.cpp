#include "models/circle_mixture.h"
#include "models/normal_mixture.h"

#include "models/objective.h"
#include "models/simplex_fit.h"
#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ranvik {
namespace {

using testing::Mode;
using testing::NormalDensity;
using testing::NormalSample;
using testing::RecordingNotifier;
using testing::RelativelyNear;

// A start vertex to the last bit or two (1.1 * 100 is not exactly 110); entry 0 is unused.
MATCHER_P(VertexIs, expected, "") {
    return ::testing::ExplainMatchResult(::testing::Pointwise(::testing::DoubleEq(), expected), arg,
                                         result_listener);
}

// `fit` after the stages of the circle mixture (0 and 1) or of the normal mixture (1 to 3).
FitCopy Staged(bool circle, const Matrix& xy, std::int32_t n, FitCopy fit = {}) {
    fit.loc_lik.resize(std::max(fit.loc_lik.size(), static_cast<std::size_t>(n)));
    RecordingNotifier notifier;
    FitContext ctx = fit.Context(notifier);
    for (int stage = circle ? 0 : 1; stage <= (circle ? 1 : 3); ++stage) {
        circle ? Init2CNSimplex(ctx, xy, stage, n) : Init2BVNSimplex(ctx, xy, stage, n);
        circle ? Fit2CN(ctx, xy, stage, n) : Fit2BVN(ctx, xy, stage, n);
    }
    return fit;
}

double CircleLogDensity(const std::vector<double>& p, double x, double y) {
    return std::log(p[7] * NormalDensity(p[1], p[2], p[5], p[5], 0, x, y) +
                    (1 - p[7]) * NormalDensity(p[3], p[4], p[6], p[6], 0, x, y));
}

double NormalMixtureLogDensity(const std::vector<double>& p, double x, double y) {
    return std::log(p[11] * NormalDensity(p[1], p[2], p[5], p[6], p[7], x, y) +
                    (1 - p[11]) * NormalDensity(p[3], p[4], p[8], p[9], p[10], x, y));
}

TEST(MixtureStartSimplices, StagesSpreadTheirOwnParametersAndTheRestartsAreClamped) {
    FitCopy w;
    w.loc_lik.resize(4);
    RecordingNotifier notifier;
    FitContext ctx = w.Context(notifier);
    const Matrix moments = testing::MomentSquare();
    Init2CNSimplex(ctx, moments, 0, 4);
    const std::vector<double> stage0[] = {
        {0, -110, -55, 110, 55, 50, 50, 0.5},  {0, -90, 0, 90, 0, 50, 50, 0.5},
        {0, -90, 45, 90, -45, 50, 50, 0.5},    {0, 0, -50.5, 0, 50.5, 50, 50, 0.5},
        {0, 0, 0, 0, 60, 50, 50, 0.5},         {0, 0, 0, -50, -25, 50, 50, 0.5},
        {0, -120, 51, -110, -51, 50, 50, 0.5}, {0, 130, -65, 130, 65, 50, 50, 0.5}};
    for (std::size_t k = 1; k <= 8; ++k) {
        EXPECT_THAT(w.starts.CNStart[k], VertexIs(stage0[k - 1])) << "vertex " << k;
    }
    w.simplex.ModelParams = {0, 1, 2, 3, 4, 9, 9, 9};
    Init2CNSimplex(ctx, moments, 1, 4);
    EXPECT_THAT(w.starts.CNStart[1], VertexIs(std::vector<double>{0, 1, 2, 3, 4, 50, 75, 0.9}));
    EXPECT_THAT(w.starts.CNStart[8], VertexIs(std::vector<double>{0, 1, 2, 3, 4, 149, 74.5, 0.33}));

    Restart2CNSimplex(ctx, 1, 2, 3, 4, 10, 10, 0.5);
    EXPECT_DOUBLE_EQ(w.starts.CNStart[1][5], std::log(10.8));
    EXPECT_DOUBLE_EQ(w.starts.CNStart[1][7], 0.58);
    EXPECT_DOUBLE_EQ(w.starts.CNStart[8][7], 0.68);
    EXPECT_DOUBLE_EQ(w.starts.CNStart[2][2], 2 + 0.1 + 10); // the constant and the whole sigma
    Restart2CNSimplex(ctx, 1, 2, 3, 4, 10, 10, 0.9);
    w.simplex.ModelName = kTwoModeCircleModel;
    (void)AmoebaFunc(ctx, moments, w.starts.CNStart[8], 4);
    EXPECT_EQ(w.starts.CNStart[8][7], 0.99) << "p + 0.18 is clamped when evaluated";

    // The normal mixture's stages each spread their own parameters.
    Init2BVNSimplex(ctx, moments, 1, 4);
    EXPECT_THAT(w.starts.BVNStart[6],
                VertexIs(std::vector<double>{0, -153, -75, 150, 75, 50, 50, 0, 50, 50, 0, 0.5}));
    w.simplex.ModelParams = {0, 1, 2, 3, 4, 5, 6, 0.1, 8, 9, -0.2, 0.77};
    Init2BVNSimplex(ctx, moments, 2, 4);
    EXPECT_THAT(w.starts.BVNStart[7], VertexIs(std::vector<double>{0, 1, 2, 3, 4, 75, 62.5, -0.01,
                                                                   75, 37.5, 0.015, 0.5}));
    Init2BVNSimplex(ctx, moments, 3, 4);
    const double p[] = {0, 0.9, 0.8, 0.76, 0.66, 0.58, 0.48, 0.37, 0.29, 0.22, 0.15, 0.11, 0.05};
    for (std::size_t k = 1; k <= 12; ++k) {
        std::vector<double> expected = w.simplex.ModelParams;
        expected[11] = p[k];
        EXPECT_EQ(w.starts.BVNStart[k], expected) << k;
    }

    // Mode 1 (1, 2, 10, 20, 0.5), mode 2 (3, 4, 30, 40, -0.1), p = 0.5; vertex 3 adds 0.71.
    Restart2BVNSimplex(ctx, 1, 2, 10, 20, 0.5, 3, 4, 30, 40, -0.1, 0.5);
    EXPECT_THAT(w.starts.BVNStart[3],
                VertexIs(std::vector<double>{0, 1 + 7.1, 2 + 14.2, 3 + 0.08 * 30, 4 + 28.4,
                                             std::log(17.1), std::log(34.2), 1.21, std::log(51.3),
                                             std::log(68.4), 0.61, 1.21}));
    EXPECT_DOUBLE_EQ(w.starts.BVNStart[2][4], 4 + 0.121 + 40);
    EXPECT_DOUBLE_EQ(w.starts.BVNStart[4][7], 0.5 - 0.11);
    w.simplex.ModelName = kTwoModeNormalModel;
    (void)AmoebaFunc(ctx, moments, w.starts.BVNStart[3], 4);
    EXPECT_EQ(w.starts.BVNStart[3][7], 0.99);
    EXPECT_EQ(w.starts.BVNStart[3][11], 0.99);
}

TEST(MixtureFits, StagesRecoverTwoWellSeparatedModes) {
    // The modes lie apart in x, so the fitted centre with the smaller x belongs to the first.
    // A centre is good to a few units, a sigma to ~25%, a correlation to ~0.25.
    const std::vector<double> p =
        Staged(true, NormalSample({{36, 0, 0, 10, 10, 0}, {24, 200, 100, 20, 20, 0}}, 17U), 60)
            .simplex.ModelParams;
    const std::size_t a = p[1] < p[3] ? 0 : 2, b = 2 - a; // offsets of each mode's centre
    EXPECT_NEAR(std::hypot(p[1 + a], p[2 + a]), 0, 8);
    EXPECT_NEAR(std::hypot(p[1 + b] - 200, p[2 + b] - 100), 0, 8);
    EXPECT_TRUE(RelativelyNear(p[5 + a / 2], 10, 0.25));
    EXPECT_TRUE(RelativelyNear(p[5 + b / 2], 20, 0.25));
    EXPECT_NEAR(a == 0 ? p[7] : 1 - p[7], 0.6, 0.1);

    const Mode modes[] = {{40, 0, 0, 20, 10, 0.6}, {40, 300, 50, 10, 25, -0.4}};
    const std::vector<double> q =
        Staged(false, NormalSample({modes[0], modes[1]}, 23U), 80).simplex.ModelParams;
    const bool swapped = q[1] > q[3];
    for (const std::size_t k : {0U, 1U}) {
        const Mode& m = modes[swapped ? 1 - k : k];
        EXPECT_NEAR(std::hypot(q[1 + 2 * k] - m.mx, q[2 + 2 * k] - m.my), 0, 10) << k;
        EXPECT_TRUE(RelativelyNear(q[5 + 3 * k], m.sx, 0.3)) << k;
        EXPECT_TRUE(RelativelyNear(q[6 + 3 * k], m.sy, 0.3)) << k;
        EXPECT_NEAR(q[7 + 3 * k], m.rho, 0.25) << k;
    }
    EXPECT_NEAR(q[11], 0.5, 0.1);
}

TEST(Calc2CNModel, NineLocationsGivePenalty126ValuesAtTheEstimateAndTheRestartedChain) {
    const std::int32_t n = 9;
    const Matrix xy = NormalSample({{5, 0, 0, 3, 3, 0}, {4, 40, 10, 5, 5, 0}}, 29U);
    RecordingNotifier notifier;
    const auto compared = Calc2CNModel(xy, n, {}, notifier);
    ASSERT_TRUE(compared.Ok());
    const ModelComparison& c = compared.value;
    EXPECT_NEAR(c.scores.aicc - c.scores.neg2lnl, 126.0, 1e-9);

    FitCopy w = Staged(true, xy, n);
    EXPECT_EQ(c.scores.neg2lnl, -2 * w.simplex.MaxLogLikelihood);
    ASSERT_EQ(c.loc_lik.size(), 9U);
    for (std::int32_t i = 0; i < n; ++i) {
        EXPECT_NEAR(c.loc_lik[static_cast<std::size_t>(i)],
                    CircleLogDensity(w.simplex.ModelParams, xy(i, 0), xy(i, 1)), 1e-12)
            << i;
    }
    // Each pass restarts around the previous estimate and scores the location left out.
    FitContext ctx = w.Context(notifier);
    double loo = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::vector<double> p = w.simplex.ModelParams;
        Restart2CNSimplex(ctx, p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
        RunSimplex(ctx, testing::Without(xy, n, i), n - 1, w.starts.CNStart.data(), 8, 7);
        TakeModelParams(w.simplex, 7, {5, 6});
        loo += CircleLogDensity(w.simplex.ModelParams, xy(i, 0), xy(i, 1));
    }
    EXPECT_TRUE(RelativelyNear(c.scores.cvc, -2 * loo, 1e-12));
    ASSERT_TRUE(c.fit.has_value());
    EXPECT_EQ(c.fit->simplex, w.simplex) << "the last pass's fit is handed on";
}

TEST(Calc2BVNModel, ThirteenLocationsGivePenalty286AndTheSumOverStagedFitsWithoutEach) {
    const std::int32_t n = 13;
    const Matrix xy = NormalSample({{7, 0, 0, 3, 2, 0.3}, {6, 40, 10, 2, 4, -0.2}}, 31U);
    RecordingNotifier notifier;
    const auto compared = Calc2BVNModel(xy, n, {}, notifier);
    ASSERT_TRUE(compared.Ok());
    const ModelComparison& c = compared.value;
    EXPECT_NEAR(c.scores.aicc - c.scores.neg2lnl, 286.0, 1e-9);

    const FitCopy full = Staged(false, xy, n);
    EXPECT_EQ(c.scores.neg2lnl, -2 * full.simplex.MaxLogLikelihood);
    ASSERT_EQ(c.loc_lik.size(), 13U);
    for (std::int32_t i = 0; i < n; ++i) {
        EXPECT_NEAR(c.loc_lik[static_cast<std::size_t>(i)],
                    NormalMixtureLogDensity(full.simplex.ModelParams, xy(i, 0), xy(i, 1)), 1e-12)
            << i;
    }
    // Every pass starts afresh from the moments of its locations.
    double loo = 0.0;
    FitCopy pass;
    for (std::int32_t i = 0; i < n; ++i) {
        pass = Staged(false, testing::Without(xy, n, i), n - 1, full);
        loo += NormalMixtureLogDensity(pass.simplex.ModelParams, xy(i, 0), xy(i, 1));
    }
    EXPECT_TRUE(RelativelyNear(c.scores.cvc, -2 * loo, 1e-12));
    ASSERT_TRUE(c.fit.has_value());
    EXPECT_EQ(c.fit->simplex, pass.simplex) << "the last pass's fit is handed on";

    // Parallel passes hand back exactly what the sequential run leaves, the last evaluation's
    // values included.
    RecordingNotifier seq_notes, par_notes;
    const auto values = PerLocationValues::LastEvaluation;
    const auto sequential = Calc2BVNModel(xy, n, {}, seq_notes, {{}, false}, values);
    const auto parallel = Calc2BVNModel(xy, n, {}, par_notes, {{}, true}, values);
    ASSERT_TRUE(sequential.Ok() && parallel.Ok());
    EXPECT_EQ(sequential.value.loc_lik, pass.loc_lik);
    EXPECT_EQ(parallel.value.loc_lik, sequential.value.loc_lik);
    EXPECT_EQ(parallel.value.scores.cvc, sequential.value.scores.cvc);
    EXPECT_EQ(parallel.value.fit->simplex, sequential.value.fit->simplex);
    EXPECT_EQ(parallel.value.fit->starts, sequential.value.fit->starts);
    EXPECT_EQ(par_notes.messages, seq_notes.messages);
}

} // namespace
} // namespace ranvik
