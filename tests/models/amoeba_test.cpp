#include "models/amoeba.h"

#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ranvik {
namespace {

using testing::kUntouched;
using testing::ModelRun;

const Matrix kXY = testing::Locations({{0, 0}, {3, 1}, {-2, 4}});

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
        ModelRun s(kExpPowerModel, kXY, 3, 4);
        s.Run(p, y);
        EXPECT_EQ(s.fit.simplex.ILo, lowest[k]) << k;
        EXPECT_EQ(s.fit.simplex.MaxLogLikelihood, -y[static_cast<std::size_t>(lowest[k])]) << k;
        EXPECT_EQ(s.fit.simplex.AmoebaP, p) << k;
        EXPECT_EQ(y, starts[k]) << k;
        EXPECT_EQ(s.fit.loc_lik, std::vector<double>(4, kUntouched)) << k;
    }
}

TEST(Amoeba, IterationLimitShowsTheMessageOnceAndKeepsTheBestVertex) {
    // Under an unknown model every trial point is worth 0, above the caller's best value of
    // -5 and equal to the second worst once the others are 0: each pass contracts, fails and
    // shrinks, and the spread never falls. Twenty dimensions fill the work vectors.
    constexpr int kDims = 20;
    const Matrix p = StartSimplex(kDims, [](int i, int j) { return std::sin(i + 0.3 * j); });
    std::vector<double> y(kDims + 2, -1.0);
    y[1] = -5.0;
    ModelRun s("no such model", kXY, 3, kDims);
    s.Run(p, y);
    EXPECT_EQ(s.notifier.messages, std::vector<std::string>{std::string(kAmoebaLimitMessage)});
    EXPECT_EQ(s.fit.simplex.ILo, 1);
    EXPECT_EQ(s.fit.simplex.MaxLogLikelihood, 5.0);
    for (int j = 1; j <= kDims; ++j) {
        EXPECT_EQ(s.fit.simplex.AmoebaP(1, j), p(1, j)) << "the best vertex never moves";
        // 10000 halvings bring every other vertex onto it, up to the last rounding.
        EXPECT_NEAR(s.fit.simplex.AmoebaP(kDims + 1, j), p(1, j), 1e-15);
    }
}

// Exponential power vertices with centre (0.5, 1), scale 1 and shapes 1.2 .. 2.0, which every
// evaluation clamps to 1, so all are worth the same v and the caller's values steer the first
// pass. The shapes without vertex 2 average 1.65; its reflection, 1.9, is used (and kept) as 1.
const double kShapes[] = {0, 1.2, 1.4, 1.6, 1.8, 2.0};
const Matrix kShapeSimplex = StartSimplex(4, [](int i, int j) {
    return j == 1 ? 0.5 : j == 2 ? 1.0 : j == 3 ? 0.0 : kShapes[i];
});

TEST(Amoeba, ReflectionAsGoodAsTheBestIsExpandedFromItsClampedValue) {
    ModelRun s(kExpPowerModel, kXY, 3, 4);
    const double v = s.AtVertex(kShapeSimplex, 1);
    std::vector<double> y = {0, v, v + 100, v, v, v};
    s.Run(kShapeSimplex, y);
    // The expansion to shape 2 * 1 - 1.65 is worse, so the clamped reflection replaces vertex 2.
    Matrix at_expansion = kShapeSimplex;
    at_expansion(1, 4) = 2 * 1.0 - (((kShapes[1] + kShapes[3]) + kShapes[4]) + kShapes[5]) / 4;
    ModelRun expanded(kExpPowerModel, kXY, 3, 4);
    EXPECT_GT(expanded.AtVertex(at_expansion, 1), v);
    EXPECT_EQ(s.fit.loc_lik, expanded.fit.loc_lik) << "the expansion was evaluated last";
    EXPECT_EQ(s.fit.simplex.AmoebaP(2, 4), 1.0);
    EXPECT_EQ(y, (std::vector<double>{0, v, v, v, v, v}));
}

TEST(Amoeba, ReflectionEqualToTheSecondWorstContractsThenShrinksWithoutClamping) {
    // The reflection replaces the worst vertex with its shape clamped to 1; its contraction
    // (shape 1.325, worth v) is no better, so vertices 2..5 move halfway to vertex 1 and are
    // stored as averaged, before evaluation clamps them. Vertex 1's lead of 1e-6 v then passes
    // the spread test.
    ModelRun s(kExpPowerModel, kXY, 3, 4);
    const double v = s.AtVertex(kShapeSimplex, 1);
    const double best = v - 1e-6 * std::fabs(v);
    std::vector<double> y = {0, best, v + 100, v, v, v};
    s.Run(kShapeSimplex, y);
    EXPECT_DOUBLE_EQ(s.fit.simplex.AmoebaP(2, 4), 0.5 * (1.0 + 1.2));
    for (const int i : {3, 4, 5}) {
        EXPECT_DOUBLE_EQ(s.fit.simplex.AmoebaP(i, 4), 0.5 * (kShapes[i] + 1.2)) << i;
    }
    EXPECT_EQ(y, (std::vector<double>{0, best, v, v, v, v}));
    EXPECT_EQ(s.fit.simplex.MaxLogLikelihood, -best);
}

// Rosenbrock's function plus 1, so that the relative spread test has a scale: minimum 1 at
// (1, ..., 1), reached along a curved valley.
double Rosenbrock(const std::vector<double>& v, std::size_t d) {
    double sum = 1.0;
    for (std::size_t i = 1; i < d; ++i) {
        sum += 100 * (v[i + 1] - v[i] * v[i]) * (v[i + 1] - v[i] * v[i]) + (1 - v[i]) * (1 - v[i]);
    }
    return sum;
}

// Runs the simplex from `start` and steps of 0.5 (0.1 on restarts), restarting from its best
// vertex up to `restarts` times as one does for a long valley; returns the best vertex.
std::vector<double> Minimise(const SimplexObjective& f, std::vector<double> start, int d,
                             int restarts, testing::RecordingNotifier& notifier) {
    SimplexWorkspace ws;
    ws.NDim = d;
    for (int run = 0; run <= restarts; ++run) {
        Matrix p(d + 2, d + 1);
        std::vector<double> y(static_cast<std::size_t>(d) + 2);
        for (int vertex = 1; vertex <= d + 1; ++vertex) {
            std::vector<double> v = start;
            if (vertex > 1) {
                v[static_cast<std::size_t>(vertex - 1)] += run == 0 ? 0.5 : 0.1;
            }
            for (int j = 1; j <= d; ++j) {
                p(vertex, j) = v[static_cast<std::size_t>(j)];
            }
            y[static_cast<std::size_t>(vertex)] = f(v);
        }
        AmoebaMinimise(ws, notifier, f, p, y);
        for (int j = 1; j <= d; ++j) {
            start[static_cast<std::size_t>(j)] = ws.AmoebaP(ws.ILo, j);
        }
    }
    return start;
}

TEST(AmoebaMinimise, ReachesTheMinimaOfABowlAndOfRosenbrockInTwoAndElevenDimensions) {
    // Where the relative spread drops below 1e-5 the vertex lies within about
    // sqrt(1e-5 / curvature) of the minimum.
    constexpr double kNear = 0.02;
    testing::RecordingNotifier notifier;

    const auto bowl = [](std::vector<double>& v) {
        return 1 + (v[1] - 1) * (v[1] - 1) + 2 * (v[2] - 2) * (v[2] - 2) + (v[3] + 3) * (v[3] + 3);
    };
    const auto centre = Minimise(bowl, {0, 0, 0, 0}, 3, 0, notifier);
    EXPECT_NEAR(centre[1], 1, kNear);
    EXPECT_NEAR(centre[2], 2, kNear);
    EXPECT_NEAR(centre[3], -3, kNear);

    for (const int d : {2, 11}) {
        const auto f = [d](std::vector<double>& v) { return Rosenbrock(v, d); };
        std::vector<double> start(static_cast<std::size_t>(d) + 1, 1.0);
        for (int j = 1; j <= d; j += 2) {
            start[static_cast<std::size_t>(j)] = -1.2;
        }
        const auto best = Minimise(f, start, d, d == 2 ? 0 : 5, notifier);
        for (int j = 1; j <= d; ++j) {
            EXPECT_NEAR(best[static_cast<std::size_t>(j)], 1, kNear) << d << "-D, coordinate " << j;
        }
    }
    EXPECT_TRUE(notifier.messages.empty());
}

} // namespace
} // namespace ranvik
