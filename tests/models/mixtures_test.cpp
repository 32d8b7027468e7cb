// The circle mixture and the bivariate normal mixture: start simplexes, staged fits and
// comparison entries.

#include "models/circle_mixture.h"
#include "models/normal_mixture.h"

#include "models/model_data.h"
#include "models/objective.h"
#include "models/simplex_fit.h"
#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ranvik {
namespace {

using testing::Mode;
using testing::NormalDensity;
using testing::NormalSample;
using testing::RecordingNotifier;
using testing::RelativelyNear;

// Population moments: means (0, 0), sx = 100, sy = 50.
const Matrix kMoments = testing::Locations({{100, 50}, {-100, 50}, {100, -50}, {-100, -50}});

// A start vertex to the last bit or two (1.1 * 100 is not exactly 110); entry 0 is unused.
MATCHER_P(VertexIs, expected, "") {
    return ::testing::ExplainMatchResult(::testing::Pointwise(::testing::DoubleEq(), expected), arg,
                                         result_listener);
}

FitCopy Workspace(std::int32_t n) {
    FitCopy fit;
    fit.loc_lik.resize(static_cast<std::size_t>(n));
    return fit;
}

// The fitting stages of the circle mixture (0 and 1) or of the normal mixture (1 to 3).
void Stages(bool circle, FitCopy& fit, const Matrix& xy, std::int32_t n) {
    RecordingNotifier notifier;
    FitContext ctx = fit.Context(notifier);
    for (int stage = circle ? 0 : 1; stage <= (circle ? 1 : 3); ++stage) {
        circle ? Init2CNSimplex(ctx, xy, stage, n) : Init2BVNSimplex(ctx, xy, stage, n);
        circle ? Fit2CN(ctx, xy, stage, n) : Fit2BVN(ctx, xy, stage, n);
    }
}

double CircleLogDensity(const std::vector<double>& p, double x, double y) {
    return std::log(p[7] * NormalDensity(p[1], p[2], p[5], p[5], 0, x, y) +
                    (1 - p[7]) * NormalDensity(p[3], p[4], p[6], p[6], 0, x, y));
}

double NormalMixtureLogDensity(const std::vector<double>& p, double x, double y) {
    return std::log(p[11] * NormalDensity(p[1], p[2], p[5], p[6], p[7], x, y) +
                    (1 - p[11]) * NormalDensity(p[3], p[4], p[8], p[9], p[10], x, y));
}

TEST(CircleStartSimplex, StageZeroSpreadsTheCentresAndStageOneTheSigmasAndProportion) {
    FitCopy w = Workspace(4);
    RecordingNotifier notifier;
    FitContext ctx = w.Context(notifier);
    Init2CNSimplex(ctx, kMoments, 0, 4);
    EXPECT_THAT(w.starts.CNStart[1],
                VertexIs(std::vector<double>{0, -110, -55, 110, 55, 50, 50, 0.5}));
    for (std::size_t k = 2; k <= 8; ++k) {
        EXPECT_TRUE(w.starts.CNStart[k][5] == 50 && w.starts.CNStart[k][6] == 50 &&
                    w.starts.CNStart[k][7] == 0.5)
            << k;
    }
    w.simplex.ModelParams = {0, 1, 2, 3, 4, 9, 9, 9};
    Init2CNSimplex(ctx, kMoments, 1, 4);
    EXPECT_THAT(w.starts.CNStart[1], VertexIs(std::vector<double>{0, 1, 2, 3, 4, 50, 75, 0.9}));
    EXPECT_THAT(w.starts.CNStart[8], VertexIs(std::vector<double>{0, 1, 2, 3, 4, 149, 74.5, 0.33}));
    Init2CNSimplex(ctx, kMoments, 2, 4);
    EXPECT_EQ(w.starts.CNStart[5], std::vector<double>(8, 0.0)) << "there is no stage 2";

    Restart2CNSimplex(ctx, 1, 2, 3, 4, 10, 10, 0.5);
    EXPECT_DOUBLE_EQ(w.starts.CNStart[1][5], std::log(10.8));
    EXPECT_DOUBLE_EQ(w.starts.CNStart[1][7], 0.58);
    EXPECT_DOUBLE_EQ(w.starts.CNStart[8][7], 0.68);
    EXPECT_DOUBLE_EQ(w.starts.CNStart[2][2], 2 + 0.1 + 10); // the constant and the whole sigma
    Restart2CNSimplex(ctx, 1, 2, 3, 4, 10, 10, 0.9);
    w.simplex.ModelName = kTwoModeCircleModel;
    (void)AmoebaFunc(ctx, kMoments, w.starts.CNStart[8], 4);
    EXPECT_EQ(w.starts.CNStart[8][7], 0.99) << "p + 0.18 is clamped when evaluated";
}

TEST(NormalStartSimplex, EachStageSpreadsItsOwnParametersAndTheRestartIsClamped) {
    FitCopy w = Workspace(4);
    RecordingNotifier notifier;
    FitContext ctx = w.Context(notifier);
    Init2BVNSimplex(ctx, kMoments, 1, 4);
    EXPECT_THAT(w.starts.BVNStart[6],
                VertexIs(std::vector<double>{0, -153, -75, 150, 75, 50, 50, 0, 50, 50, 0, 0.5}));
    w.simplex.ModelParams = {0, 1, 2, 3, 4, 5, 6, 0.1, 8, 9, -0.2, 0.77};
    Init2BVNSimplex(ctx, kMoments, 2, 4);
    EXPECT_THAT(w.starts.BVNStart[7], VertexIs(std::vector<double>{0, 1, 2, 3, 4, 75, 62.5, -0.01,
                                                                   75, 37.5, 0.015, 0.5}));
    Init2BVNSimplex(ctx, kMoments, 3, 4);
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
    (void)AmoebaFunc(ctx, kMoments, w.starts.BVNStart[3], 4);
    EXPECT_EQ(w.starts.BVNStart[3][7], 0.99);
    EXPECT_EQ(w.starts.BVNStart[3][11], 0.99);
}

// Whether the fitted centres match the modes, and in which order.
bool ModesMatch(const std::vector<double>& p, const Mode& a, const Mode& b, double tolerance,
                bool& swapped) {
    const auto near = [&](std::size_t k, const Mode& m) {
        return std::hypot(p[k] - m.mx, p[k + 1] - m.my) < tolerance;
    };
    swapped = near(1, b) && near(3, a);
    return swapped || (near(1, a) && near(3, b));
}

TEST(Fit2CN, StagesRecoverTwoWellSeparatedCircularModes) {
    const Mode a{36, 0, 0, 10, 10, 0}, b{24, 200, 100, 20, 20, 0};
    const Matrix xy = NormalSample({a, b}, 17U);
    FitCopy w = Workspace(60);
    Stages(true, w, xy, 60);
    const std::vector<double>& p = w.simplex.ModelParams;
    // The separation is 224; a centre is good to a couple of units, a sigma to ~15%.
    bool swapped = false;
    ASSERT_TRUE(ModesMatch(p, a, b, 8.0, swapped)) << p[1] << " " << p[2] << " " << p[3];
    EXPECT_TRUE(RelativelyNear(swapped ? p[6] : p[5], 10, 0.25));
    EXPECT_TRUE(RelativelyNear(swapped ? p[5] : p[6], 20, 0.25));
    EXPECT_NEAR(swapped ? 1 - p[7] : p[7], 0.6, 0.1);
}

TEST(Fit2BVN, StagesRecoverTwoModesWithTheirOwnShapes) {
    const Mode a{40, 0, 0, 20, 10, 0.6}, b{40, 300, 50, 10, 25, -0.4};
    const Matrix xy = NormalSample({a, b}, 23U);
    FitCopy w = Workspace(80);
    Stages(false, w, xy, 80);
    const std::vector<double>& p = w.simplex.ModelParams;
    bool swapped = false;
    ASSERT_TRUE(ModesMatch(p, a, b, 10.0, swapped)) << p[1] << " " << p[2] << " " << p[3];
    for (const auto& [first, m] : {std::pair{swapped ? 8U : 5U, a}, {swapped ? 5U : 8U, b}}) {
        EXPECT_TRUE(RelativelyNear(p[first], m.sx, 0.3)) << m.mx;
        EXPECT_TRUE(RelativelyNear(p[first + 1], m.sy, 0.3)) << m.mx;
        EXPECT_NEAR(p[first + 2], m.rho, 0.25) << m.mx;
    }
    EXPECT_NEAR(p[11], 0.5, 0.1);
}

TEST(Calc2CNModel, NineLocationsGiveAnAICcPenaltyOf126AndValuesAtTheEstimate) {
    const Matrix xy = NormalSample({{5, 0, 0, 3, 3, 0}, {4, 40, 10, 5, 5, 0}}, 29U);
    State state;
    state.LocXY = xy;
    RecordingNotifier notifier;
    ASSERT_TRUE(Calc2CNModel(state, state.LocXY, 9, notifier).Ok());
    EXPECT_EQ(state.LocXY, xy);
    EXPECT_NEAR(state.AICc2CN - state.Neg2LnL2CN, 126.0, 1e-9);

    FitCopy w = Workspace(9);
    Stages(true, w, xy, 9);
    EXPECT_EQ(state.Neg2LnL2CN, -2 * w.simplex.MaxLogLikelihood);
    ASSERT_EQ(state.LocLik2CN.size(), 9U);
    for (std::int32_t i = 0; i < 9; ++i) {
        EXPECT_NEAR(state.LocLik2CN[static_cast<std::size_t>(i)],
                    CircleLogDensity(w.simplex.ModelParams, xy(i, 0), xy(i, 1)), 1e-12)
            << i;
    }
    FitContext ctx = w.Context(notifier);
    const auto cvc = Calc2CNCVC(ctx, xy, 9); // the chain starts from that estimate
    ASSERT_TRUE(cvc.Ok());
    EXPECT_EQ(state.CVC2CN, cvc.value);
    EXPECT_EQ(state.Simplex, w.simplex);
}

TEST(Calc2CNCVC, EachPassRestartsAroundThePreviousEstimateAndScoresTheOneLeftOut) {
    const std::int32_t n = 12;
    const Matrix xy = NormalSample({{7, 0, 0, 3, 3, 0}, {5, 40, 10, 5, 5, 0}}, 19U);
    FitCopy w = Workspace(n);
    Stages(true, w, xy, n);
    FitCopy chain = w;
    RecordingNotifier notifier;
    FitContext ctx = w.Context(notifier);
    const auto cvc = Calc2CNCVC(ctx, xy, n);
    ASSERT_TRUE(cvc.Ok());
    FitContext by_hand = chain.Context(notifier);
    double loo = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::vector<double> p = chain.simplex.ModelParams;
        Restart2CNSimplex(by_hand, p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
        RunSimplex(by_hand, WithoutLocation(xy, n, i), n - 1, chain.starts.CNStart.data(), 8, 7);
        TakeModelParams(chain.simplex, 7, {5, 6});
        loo += CircleLogDensity(chain.simplex.ModelParams, xy(i, 0), xy(i, 1));
    }
    EXPECT_TRUE(RelativelyNear(cvc.value, -2 * loo, 1e-12));
    EXPECT_EQ(w.simplex, chain.simplex) << "the last pass's fit stays";
}

TEST(Calc2BVNModel, ThirteenLocationsGiveAnAICcPenaltyOf286) {
    const Matrix xy = NormalSample({{7, 0, 0, 3, 2, 0.3}, {6, 40, 10, 2, 4, -0.2}}, 31U);
    State state;
    RecordingNotifier notifier;
    ASSERT_TRUE(Calc2BVNModel(state, xy, 13, notifier).Ok());
    EXPECT_NEAR(state.AICc2BVN - state.Neg2LnL2BVN, 286.0, 1e-9);
    double log_l = 0.0;
    for (const double l : state.LocLik2BVN) {
        log_l += l;
    }
    EXPECT_NEAR(state.Neg2LnL2BVN, -2 * log_l, 1e-9) << "values at the estimate";
}

TEST(Calc2BVNCVC, IsTheSumOverStagedFitsWithoutEachLocation) {
    const std::int32_t n = 17;
    const Matrix xy = NormalSample({{9, 0, 0, 5, 3, 0.4}, {8, 60, 20, 4, 6, -0.3}}, 47U);
    FitCopy w = Workspace(n);
    Stages(false, w, xy, n);
    const FitCopy full = w;
    RecordingNotifier notifier;
    FitContext ctx = w.Context(notifier);
    const auto cvc = Calc2BVNCVC(ctx, xy, n, RunControl{{}, false});
    ASSERT_TRUE(cvc.Ok());
    // Every pass starts afresh from the moments of its locations.
    double loo = 0.0;
    FitCopy pass;
    for (std::int32_t i = 0; i < n; ++i) {
        pass = full;
        Stages(false, pass, WithoutLocation(xy, n, i), n - 1);
        loo += NormalMixtureLogDensity(pass.simplex.ModelParams, xy(i, 0), xy(i, 1));
    }
    EXPECT_TRUE(RelativelyNear(cvc.value, -2 * loo, 1e-12));
    EXPECT_EQ(w.simplex, pass.simplex) << "the last pass's fit stays";
    EXPECT_EQ(w.loc_lik, pass.loc_lik);
}

TEST(Calc2BVNModel, ParallelPassesLeaveTheRecordExactlyAsTheSequentialRun) {
    const Matrix xy = NormalSample({{12, 0, 0, 5, 3, 0.4}, {10, 60, 20, 4, 6, -0.3}}, 37U);
    State sequential;
    sequential.LocXY = xy;
    sequential.NumLocs = 22;
    State parallel = sequential;
    RecordingNotifier seq_notes, par_notes;
    // The last evaluation's values are the ones a private copy has to hand back.
    const auto values = PerLocationValues::LastEvaluation;
    ASSERT_TRUE(
        Calc2BVNModel(sequential, sequential.LocXY, 22, seq_notes, {{}, false}, values).Ok());
    ASSERT_TRUE(Calc2BVNModel(parallel, parallel.LocXY, 22, par_notes, {{}, true}, values).Ok());
    EXPECT_TRUE(parallel == sequential);
    EXPECT_EQ(par_notes.messages, seq_notes.messages);
    EXPECT_EQ(sequential.LocXY, xy);
}

} // namespace
} // namespace ranvik
