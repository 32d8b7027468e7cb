#include "models/amoeba.h"

#include "models/objective.h"
#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {
namespace {

using testing::Locations;

// Stands for "not written" in the per-location array: no objective evaluation took place.
constexpr double kUntouched = 123.0;

const Matrix kXY = Locations({{0, 0}, {3, 1}, {-2, 4}});

// A start simplex of ndim + 1 vertices; vertex i, parameter j = value(i, j).
template <class F> Matrix StartSimplex(int ndim, F value) {
    Matrix p(ndim + 2, ndim + 1);
    for (int i = 1; i <= ndim + 1; ++i) {
        for (int j = 1; j <= ndim; ++j) {
            p(i, j) = value(i, j);
        }
    }
    return p;
}

// The simplex of one model on a workspace of its own.
struct Simplex {
    Simplex(std::string_view model, int ndim, std::int32_t n) {
        fit.simplex.ModelName = model;
        fit.simplex.NDim = ndim;
        fit.loc_lik.assign(static_cast<std::size_t>(n), kUntouched);
    }
    double Value(const Matrix& xy, const Matrix& p, int vertex, std::int32_t n) {
        std::vector<double> v(p.Row(vertex).begin(), p.Row(vertex).end());
        FitContext ctx = fit.Context(notifier);
        return AmoebaFunc(ctx, xy, v, n);
    }
    void Run(const Matrix& xy, const Matrix& p, std::vector<double>& y, std::int32_t n) {
        FitContext ctx = fit.Context(notifier);
        Amoeba(ctx, xy, p, y, n);
    }
    FitCopy fit;
    testing::RecordingNotifier notifier;
};

TEST(Amoeba, StartThatMeetsTheSpreadTestReturnsWithoutEvaluatingAtTheFirstLowestVertex) {
    // Shapes of 3 would be clamped to 1 by any evaluation; the spreads are below 1e-5.
    const Matrix p = StartSimplex(4, [](int i, int j) { return j == 4 ? 3.0 : i + 0.1 * j; });
    const std::vector<double> starts[] = {{0, 100.0002, 100.0004, 100.0, 100.0001, 100.0003},
                                          {0, 100, 100, 100.0001, 100.0002, 100.0003},
                                          {0, 100.0003, 100.0001, 100, 100, 100.0002},
                                          {0, 7.5, 7.5, 7.5, 7.5, 7.5}};
    const int lowest[] = {3, 1, 3, 1};
    for (int k = 0; k < 4; ++k) {
        std::vector<double> y = starts[k];
        Simplex s(kExpPowerModel, 4, 3);
        s.Run(kXY, p, y, 3);
        EXPECT_EQ(s.fit.simplex.ILo, lowest[k]) << k;
        EXPECT_EQ(s.fit.simplex.MaxLogLikelihood, -y[static_cast<std::size_t>(lowest[k])]) << k;
        EXPECT_EQ(s.fit.simplex.AmoebaP, p) << k;
        EXPECT_EQ(y, starts[k]) << k;
        EXPECT_EQ(s.fit.loc_lik, std::vector<double>(3, kUntouched)) << k;
    }
}

TEST(Amoeba, UnknownModelGivesZeroValuesAndStopsAtTheFirstVertex) {
    const Matrix p = StartSimplex(7, [](int i, int j) { return i * j; });
    Simplex s("Circle", 7, 3);
    std::vector<double> y(9);
    for (int i = 1; i <= 8; ++i) {
        y[static_cast<std::size_t>(i)] = s.Value(kXY, p, i, 3);
    }
    EXPECT_EQ(y, std::vector<double>(9, 0.0));
    s.Run(kXY, p, y, 3);
    EXPECT_EQ(s.fit.simplex.ILo, 1);
    EXPECT_EQ(s.fit.simplex.MaxLogLikelihood, 0.0);
    EXPECT_EQ(s.fit.simplex.AmoebaP, p);
}

TEST(Amoeba, IterationLimitShowsTheMessageOnceAndKeepsTheBestVertex) {
    // Under an unknown model every trial point is worth 0, above the caller's best value of
    // -5 and equal to the second worst once the others are 0: each pass contracts, fails and
    // shrinks, and the spread never falls. Twenty dimensions fill the work vectors.
    constexpr int kDims = 20;
    const Matrix p = StartSimplex(kDims, [](int i, int j) { return std::sin(i + 0.3 * j); });
    std::vector<double> y(kDims + 2, -1.0);
    y[1] = -5.0;
    Simplex s("no such model", kDims, 3);
    s.Run(kXY, p, y, 3);
    EXPECT_EQ(s.notifier.messages, std::vector<std::string>{std::string(kAmoebaLimitMessage)});
    EXPECT_EQ(s.fit.simplex.ILo, 1);
    EXPECT_EQ(s.fit.simplex.MaxLogLikelihood, 5.0);
    for (int j = 1; j <= kDims; ++j) {
        EXPECT_EQ(s.fit.simplex.AmoebaP(1, j), p(1, j)) << "the best vertex never moves";
        // 10000 halvings bring every other vertex onto it, up to the last rounding.
        EXPECT_NEAR(s.fit.simplex.AmoebaP(kDims + 1, j), p(1, j), 1e-15);
    }
}

// Exponential power vertices with centre (0.5, 1) and scale 1 and shapes 1.2 .. 2.0, which
// every evaluation clamps to 1, so all are worth the same v; the caller's values steer the
// first pass. The vertex shapes without vertex 2 average 1.65; its reflection, 1.9, is used
// (and kept) as 1.
const double kShapes[] = {0, 1.2, 1.4, 1.6, 1.8, 2.0};
const Matrix kShapeSimplex = StartSimplex(4, [](int i, int j) {
    return j == 1 ? 0.5 : j == 2 ? 1.0 : j == 3 ? 0.0 : kShapes[i];
});

TEST(Amoeba, ReflectionAsGoodAsTheBestIsExpandedFromItsClampedValue) {
    Simplex s(kExpPowerModel, 4, 3);
    const double v = s.Value(kXY, kShapeSimplex, 1, 3);
    std::vector<double> y = {0, v, v + 100, v, v, v};
    s.Run(kXY, kShapeSimplex, y, 3);
    // The expansion to shape 2 * 1 - 1.65 is worse at the far locations, so the clamped
    // reflection replaces vertex 2, and every value is then v.
    const double centroid = (((kShapes[1] + kShapes[3]) + kShapes[4]) + kShapes[5]) / 4;
    Matrix at_expansion = kShapeSimplex;
    at_expansion(1, 4) = 2 * 1.0 - centroid;
    Simplex expanded(kExpPowerModel, 4, 3);
    EXPECT_GT(expanded.Value(kXY, at_expansion, 1, 3), v);
    EXPECT_EQ(s.fit.loc_lik, expanded.fit.loc_lik) << "the expansion was evaluated last";
    EXPECT_EQ(s.fit.simplex.AmoebaP(2, 4), 1.0);
    EXPECT_EQ(y, (std::vector<double>{0, v, v, v, v, v}));
}

TEST(Amoeba, ReflectionEqualToTheSecondWorstContractsThenShrinksWithoutClamping) {
    Simplex s(kExpPowerModel, 4, 3);
    const double v = s.Value(kXY, kShapeSimplex, 1, 3);
    // The reflection, equal to the second worst, replaces the worst vertex with its shape
    // clamped to 1; its contraction (shape 1.325, worth v) is no better, so vertices 2..5 move
    // halfway to vertex 1 and are stored as averaged, before their evaluation clamps them.
    // Vertex 1's lead of 1e-6 v then passes the spread test.
    const double best = v - 1e-6 * std::fabs(v);
    std::vector<double> y = {0, best, v + 100, v, v, v};
    s.Run(kXY, kShapeSimplex, y, 3);
    EXPECT_DOUBLE_EQ(s.fit.simplex.AmoebaP(2, 4), 0.5 * (1.0 + 1.2));
    for (const int i : {3, 4, 5}) {
        EXPECT_DOUBLE_EQ(s.fit.simplex.AmoebaP(i, 4), 0.5 * (kShapes[i] + 1.2)) << i;
    }
    EXPECT_EQ(y, (std::vector<double>{0, best, v, v, v, v}));
    EXPECT_EQ(s.fit.simplex.MaxLogLikelihood, -best);
}

} // namespace
} // namespace ranvik
