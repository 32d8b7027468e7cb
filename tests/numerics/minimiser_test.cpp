#include "numerics/minimiser.h"

#include "kernel/smoothing.h"
#include "support/locations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace ranvik {
namespace {

// A criterion that keeps every abscissa it is called with, before any change it makes to it.
struct Recorded {
    std::function<double(double&)> f;
    std::vector<double> calls;

    Criterion operator()() {
        return [this](double& x) {
            calls.push_back(x);
            return f(x);
        };
    }
};

// The golden-section search stops once x0..x2 is within tol (|x1| + |x2|), about 2 tol |x_min|.
double SearchTolerance(const MinimiserInstance& instance, double x_min) {
    return 2 * instance.tolerance * x_min;
}

TEST(Minimiser, BracketAndGoldenSectionFindTheVertexOfAParabola) {
    for (const MinimiserInstance* instance : {&kCVSearch, &kLSCVSearch, &kBBSearch}) {
        SCOPED_TRACE(instance->name);
        MinimiserWorkspace ws;
        ws.GoldenTol = -1.0;
        Recorded f{[](double& x) { return (x - 3.7) * (x - 3.7) + 5.0; }, {}};
        ASSERT_TRUE(BracketMinimum(ws, *instance, 0.1, 0.5, f(), {}).Ok());
        EXPECT_LT(ws.BracketFB, std::min(ws.BracketFA, ws.BracketFC));
        EXPECT_GT((ws.BracketB - ws.BracketA) * (ws.BracketC - ws.BracketB), 0.0);
        ASSERT_TRUE(GoldenSection(ws, *instance, f(), {}).Ok());
        EXPECT_NEAR(ws.GoldenXMin, 3.7, SearchTolerance(*instance, 3.7));
        EXPECT_EQ(ws.GoldenTol, instance->store_tolerance ? instance->tolerance : -1.0);
    }
}

// The CV driver's start for h_ref = 100: a = 100 - 0.98 * 100 (about 2) and b = 50.
constexpr double kStartA = 100 - 0.98 * 100;
constexpr double kStartB = 50.0;

TEST(MinimiserBracket, UphillStartIsSwappedAndOnlyTheCVGuardKeepsTheExpansionAboveZero) {
    // f(50) > f(2): the search turns towards 0, where 2 + 1.618034 (2 - 50) < 0.
    MinimiserWorkspace cv;
    Recorded guarded{[](double& x) { return (x - 1) * (x - 1); }, {}};
    ASSERT_TRUE(BracketMinimum(cv, kCVSearch, kStartA, kStartB, guarded(), {}).Ok());
    ASSERT_GE(guarded.calls.size(), 3U);
    EXPECT_NEAR(guarded.calls[2], 0.02, 1e-15) << "2 - 0.99 * 2 = 0.0002 h_ref";
    EXPECT_EQ(cv.BracketA, kStartA);
    EXPECT_NEAR(cv.BracketB, 1.0, 1e-12) << "the parabolic step lands on the vertex";
    EXPECT_NEAR(cv.BracketC, 0.02, 1e-15);

    // Unguarded, the criterion raises the negative abscissa (like the LSCV score) and the
    // raised value stands. f(1e-20) rounds to f(2) = 1: equal values go on searching, and the
    // exact parabola through (50, 2401), (2, 1), (1e-20, 1) has its vertex at 1.
    MinimiserWorkspace lscv;
    Recorded raising{[](double& x) {
                         x = std::max(x, 1e-20);
                         return (x - 1) * (x - 1);
                     },
                     {}};
    ASSERT_TRUE(BracketMinimum(lscv, kLSCVSearch, kStartA, kStartB, raising(), {}).Ok());
    ASSERT_EQ(raising.calls.size(), 4U);
    EXPECT_NEAR(raising.calls[2], 2 + 1.618034 * (2 - 50), 1e-12);
    EXPECT_EQ(raising.calls[3], 1.0);
    EXPECT_EQ(lscv.BracketC, 1e-20);
}

TEST(MinimiserBracket, VanishingParabolaDenominatorIsReplacedByPlus1e20) {
    // f(0) = 0, f(1) = -1e-21, f(2.618034) = -1e-20 give q - r = -7.38e-21. With den = +1e-20
    // the step goes to 1 + 1.1618034e-20 / 2e-20 = 1.5809017, between b and c; keeping the
    // sign (or the true den) would send it below b.
    MinimiserWorkspace ws;
    const std::vector<double> script = {0.0, -1e-21, -1e-20};
    Recorded f{};
    f.f = [&](double& x) {
        const std::size_t call = f.calls.size() - 1;
        return call < script.size() ? script[call] : (x - 2) * (x - 2) - 1;
    };
    ASSERT_TRUE(BracketMinimum(ws, kLSCVSearch, 0.0, 1.0, f(), {}).Ok());
    ASSERT_GE(f.calls.size(), 4U);
    EXPECT_NEAR(f.calls[3], 1.5809017, 1e-7);
    ASSERT_TRUE(GoldenSection(ws, kLSCVSearch, f(), {}).Ok());
    EXPECT_NEAR(ws.GoldenXMin, 2.0, SearchTolerance(kLSCVSearch, 2.0));
}

TEST(MinimiserBracket, CollinearStartStepsToTheLimitAndNoMinimumFails) {
    // f falls linearly to 10 and rises after it: q = r, and the step is b + GLIMIT (c - b).
    for (const MinimiserInstance* instance : {&kCVSearch, &kLSCVSearch}) {
        MinimiserWorkspace ws;
        Recorded f{[](double& x) { return x <= 10 ? -x : x - 20; }, {}};
        ASSERT_TRUE(BracketMinimum(ws, *instance, 1.0, 2.0, f(), {}).Ok());
        ASSERT_GE(f.calls.size(), 4U);
        EXPECT_NEAR(f.calls[3], 2 + instance->glimit * 1.618034, 1e-9) << instance->name;
    }
    MinimiserWorkspace ws;
    EXPECT_FALSE(
        BracketMinimum(ws, kCVSearch, 1.0, 2.0, [](double& x) { return -x; }, {}).error.empty());
}

TEST(MinimiserGoldenSection, TieAtTheEndReturnsX2) {
    MinimiserWorkspace ws;
    ws.BracketA = 1.0;
    ws.BracketB = 2.0;
    ws.BracketC = 3.0;
    Recorded flat{[](double&) { return 4.0; }, {}};
    ASSERT_TRUE(GoldenSection(ws, kCVSearch, flat(), {}).Ok());
    // Every tie moves x2 to the old x1 and evaluates a new x1, so x2 is the next-to-last call.
    ASSERT_GE(flat.calls.size(), 4U);
    EXPECT_EQ(ws.GoldenXMin, flat.calls[flat.calls.size() - 2]);
    EXPECT_GT(ws.GoldenXMin, flat.calls.back());
}

TEST(CalcCVh, SearchStartsFromTwoPercentAndHalfOfHref) {
    // Two locations d = sqrt(5000) apart: CV(h) = d^2/h^2 + 2 ln(2 pi h^2), least at
    // h = d / sqrt(2) = 50. With h_ref = 100 the start b = 50 is already lowest, so the first
    // expansion c = 50 + 1.618034 (50 - 2) ends the bracketing and the triple shows the start.
    const auto h = CalcCVh(testing::Locations({{0, 0}, {50, 50}}), 100.0, 2, {}, {});
    ASSERT_TRUE(h.Ok()) << h.status.error;
    const MinimiserWorkspace& ws = h.value.minimiser;
    EXPECT_EQ(ws.BracketA, kStartA);
    EXPECT_NEAR(ws.BracketA, 2.0, 1e-13);
    EXPECT_EQ(ws.BracketB, kStartB);
    EXPECT_NEAR(ws.BracketC, 50 + 1.618034 * 48, 1e-12);
    EXPECT_NEAR(h.value.h, 50.0, SearchTolerance(kCVSearch, 50.0));
}

} // namespace
} // namespace ranvik
