#include "kernel/kernel_grid.h"

#include "state/constants.h"
#include "support/locations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

namespace ranvik {
namespace {

using ::testing::HasSubstr;
using testing::Locations;
using testing::RelativelyNear;
using testing::TwoClusters;

// The kernels may be reordered for speed as long as they stay within this of the formulas.
constexpr long double kRel = 1e-12L;
constexpr long double kPiL = std::numbers::pi_v<long double>;

using KernelFn = Status (*)(State&, const Matrix&, std::int32_t, double, const RunControl&);
constexpr KernelFn kKernels[] = {&CalcFixedKernel, &CalcAdKernel};

// x from 2 to 12 and y from 1 to 8, so dx = 20/200 = 0.1 and dy = 14/200 = 0.07.
Matrix Five() {
    return Locations({{2, 3}, {9, 1}, {4, 8}, {6, 6}, {12, 4}});
}
const std::vector<double> kFiveWeights = {1.0, 3.0, 0.0, 2.0, 0.5, 0.0};

long double Kernel(long double d2, long double h) {
    return std::exp(-d2 / (2 * h * h)) / (2 * kPiL * h * h);
}

long double SquaredDistance(const Matrix& xy, std::int32_t i, long double x, long double y) {
    return (x - xy(i, 0)) * (x - xy(i, 0)) + (y - xy(i, 1)) * (y - xy(i, 1));
}

// sum_i w_i K_{h_i}(d_i^2) / sum_i w_i over Five(), w_i = 1 and h_i = h unless given.
long double FiveDensity(long double x, long double y, long double h,
                        const std::vector<double>& w = {},
                        const std::vector<long double>& hs = {}) {
    long double sum = 0;
    long double weights = 0;
    for (std::int32_t i = 0; i < 5; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const long double wi = w.empty() ? 1.0L : w[at];
        sum += wi * Kernel(SquaredDistance(Five(), i, x, y), hs.empty() ? h : hs[at]);
        weights += wi;
    }
    return sum / weights;
}

// Column 2 of a grid over Five() at a spread of nodes against density(x, y) * dx * dy.
void ExpectNodesMatch(const Matrix& g, const std::function<long double(double, double)>& density) {
    // Corners, neighbours of node 0, the middle and the node next to location (6, 6).
    for (const std::int32_t k : {0, 1, 200, 12345, 18121, 20100, 39999}) {
        EXPECT_TRUE(RelativelyNear(g(k, 2), density(g(k, 0), g(k, 1)) * 0.1L * 0.07L, kRel))
            << "node " << k;
    }
}

// Nodes whose probabilities differ by more than kRel.
int Differing(const Matrix& a, const Matrix& b) {
    int count = 0;
    for (std::int32_t k = 0; k < 40000; ++k) {
        count += !RelativelyNear(a(k, 2), b(k, 2), kRel) || a(k, 0) != b(k, 0);
    }
    return count;
}

TEST(CalcFixedKernel, FillsTheNodesColumnByColumnAndLeavesTheSpareRowZero) {
    // x in {0, 10}, y in {0, 20}: X0 = -5, X1 = 15, Y0 = -10, Y1 = 30, dx = 0.1, dy = 0.2.
    State state;
    ASSERT_TRUE(
        CalcFixedKernel(state, Locations({{0, 0}, {10, 0}, {0, 20}, {10, 20}}), 4, 3.0).Ok());
    const Matrix& grid = state.GridFixedKernel;
    ASSERT_EQ(grid.Rows(), 40001);
    ASSERT_EQ(grid.Cols(), 4);
    EXPECT_EQ(state.NumGridPts, 40000);
    EXPECT_TRUE(state.DoneFixedKernel);
    EXPECT_EQ(state.SumWeights, 4.0);

    constexpr double kPlace = 1e-12; // the centres come from repeated addition of dx and dy
    EXPECT_NEAR(grid(0, 0), -4.95, kPlace);
    EXPECT_NEAR(grid(0, 1), -9.9, kPlace);
    EXPECT_NEAR(grid(1, 0), -4.95, kPlace);
    EXPECT_NEAR(grid(1, 1), -9.7, kPlace);
    EXPECT_NEAR(grid(200, 0), -4.85, kPlace);
    EXPECT_NEAR(grid(200, 1), -9.9, kPlace);
    EXPECT_NEAR(grid(39999, 0), 14.95, 1e-11);
    EXPECT_NEAR(grid(39999, 1), 29.9, 1e-11);
    for (std::int32_t c = 0; c < 4; ++c) {
        EXPECT_EQ(grid(40000, c), 0.0);
    }
}

TEST(CalcFixedKernel, CellProbabilityIsTheMeanKernelTimesTheCellArea) {
    State state;
    ASSERT_TRUE(CalcFixedKernel(state, Five(), 5, 2.5).Ok());
    ExpectNodesMatch(state.GridFixedKernel,
                     [](double x, double y) { return FiveDensity(x, y, 2.5); });

    state.BiasCorrected = 1;
    state.LocWeights = kFiveWeights;
    ASSERT_TRUE(CalcFixedKernel(state, Five(), 5, 2.5).Ok());
    EXPECT_EQ(state.SumWeights, 6.5);
    ExpectNodesMatch(state.GridFixedKernel,
                     [](double x, double y) { return FiveDensity(x, y, 2.5, kFiveWeights); });
}

TEST(CalcFixedKernel, EqualWeightsGiveTheUnweightedGrid) {
    const Matrix xy = TwoClusters(200);
    State plain;
    State equal;
    equal.BiasCorrected = 1;
    equal.LocWeights.assign(201, 0.25);
    ASSERT_TRUE(CalcFixedKernel(plain, xy, 200, 20.0).Ok());
    ASSERT_TRUE(CalcFixedKernel(equal, xy, 200, 20.0).Ok());
    EXPECT_EQ(Differing(equal.GridFixedKernel, plain.GridFixedKernel), 0);
}

TEST(CalcFixedKernel, ProbabilitiesOfACompactClusterSumToAboutOne) {
    State state;
    ASSERT_TRUE(CalcFixedKernel(state, TwoClusters(200), 200, 10.0).Ok());
    long double total = 0;
    for (std::int32_t k = 0; k < 40000; ++k) {
        total += state.GridFixedKernel(k, 2);
    }
    // h is a small fraction of the margin and a few cells wide: the mass beyond the grid and
    // the midpoint rule's error are both far below this.
    EXPECT_NEAR(static_cast<double>(total), 1.0, 1e-6);
}

TEST(CalcAdKernel, MatchesPilotDensitiesAndLocalParametersWorkedIndependently) {
    // h_i = h (p_i / g)^(-1/2), p_i = sum_j K_h(d_ij^2) / n, g = 2.71828182845904^(mean ln p).
    std::vector<long double> local;
    long double log_sum = 0;
    for (std::int32_t i = 0; i < 5; ++i) {
        local.push_back(FiveDensity(Five()(i, 0), Five()(i, 1), 2.5));
        log_sum += std::log(local.back());
    }
    const long double g = std::pow(2.71828182845904L, log_sum / 5);
    for (long double& p : local) {
        p = 2.5L / std::sqrt(p / g);
    }
    const std::vector<double> computed = AdaptiveBandwidths(Five(), 5, 2.5);
    ASSERT_EQ(computed.size(), 5U);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(RelativelyNear(computed[i], local[i], kRel)) << "location " << i;
    }

    State state;
    ASSERT_TRUE(CalcAdKernel(state, Five(), 5, 2.5).Ok());
    EXPECT_EQ(state.NumGridPts, 40000);
    EXPECT_TRUE(state.DoneAdKernel);
    EXPECT_FALSE(state.DoneFixedKernel);
    ExpectNodesMatch(state.GridAdKernel,
                     [&](double x, double y) { return FiveDensity(x, y, 0, {}, local); });
}

TEST(CalcAdKernel, EqualPilotDensitiesGiveTheFixedKernel) {
    // The corners of a square are alike, so every lambda is 1 up to the 15-digit e.
    const Matrix square = Locations({{0, 0}, {10, 0}, {0, 10}, {10, 10}});
    for (const double h : AdaptiveBandwidths(square, 4, 10.0)) {
        EXPECT_TRUE(RelativelyNear(h, 10.0, kRel));
    }
    const std::vector<double> single = AdaptiveBandwidths(Locations({{3, 3}}), 1, 4.0);
    EXPECT_TRUE(RelativelyNear(single.at(0), 4.0, kRel)) << "p_0 = 1/(2 pi h^2) is its own mean";

    State state;
    ASSERT_TRUE(CalcFixedKernel(state, square, 4, 10.0).Ok());
    ASSERT_TRUE(CalcAdKernel(state, square, 4, 10.0).Ok());
    EXPECT_EQ(Differing(state.GridAdKernel, state.GridFixedKernel), 0);
}

// A record that already holds results, so that "unchanged" means something.
State UsedState() {
    State state;
    state.Pi = kPi;
    state.NumGridPts = 123;
    state.GridFixedKernel.Resize(3, 4);
    state.GridFixedKernel(1, 2) = 0.5;
    state.GridAdKernel.Resize(2, 4);
    state.SumWeights = 9.0;
    return state;
}

TEST(KernelGrids, DegenerateInputFailsWithAMessageAndChangesNothing) {
    struct Case {
        const char* what;
        Matrix xy;
        std::int32_t n;
        double h;
    };
    const Case cases[] = {
        {"no locations", Matrix(1, 3), 0, 5.0},
        {"one location", Locations({{4, 4}}), 1, 5.0},
        {"all on one point", Locations({{4, 4}, {4, 4}, {4, 4}}), 3, 5.0},
        {"one north-south line", Locations({{2, 0}, {2, 5}, {2, 9}}), 3, 5.0},
        {"one east-west line", Locations({{0, 7}, {5, 7}, {9, 7}}), 3, 5.0},
        {"h = 0", Five(), 5, 0.0},
        {"negative h", Five(), 5, -2.0},
        {"h not a number", Five(), 5, std::numeric_limits<double>::quiet_NaN()},
        {"infinite h", Five(), 5, std::numeric_limits<double>::infinity()},
        // h^2 vanishes or overflows: the densities would be 0 / 0.
        {"h too small to square", Five(), 5, 1e-170},
        {"h too large to square", Five(), 5, 1e200},
    };
    for (const KernelFn kernel : kKernels) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            State state = UsedState();
            const Status status = kernel(state, c.xy, c.n, c.h, {});
            EXPECT_FALSE(status.Ok());
            EXPECT_FALSE(status.error.empty());
            EXPECT_TRUE(state == UsedState());
        }
    }

    State state = UsedState();
    state.BiasCorrected = 1;
    state.LocWeights.assign(6, 0.0);
    const State before = state;
    EXPECT_FALSE(CalcFixedKernel(state, Five(), 5, 2.5).error.empty()) << "weights add up to 0";
    EXPECT_TRUE(state == before);

    state.LocWeights.assign(2, 1.0);
    const State short_weights = state;
    EXPECT_FALSE(CalcFixedKernel(state, Five(), 5, 2.5).error.empty()) << "a weight missing";
    EXPECT_TRUE(state == short_weights);
}

TEST(KernelGrids, CancelLeavesTheRecordAsItWas) {
    for (const KernelFn kernel : kKernels) {
        for (const int reports_before_stop : {0, 3}) {
            int reports = 0;
            const RunControl control{[&](double) { return reports++ < reports_before_stop; }, true};
            State state = UsedState();
            const Status status = kernel(state, Five(), 5, 2.5, control);
            EXPECT_TRUE(status.cancelled);
            EXPECT_FALSE(status.Ok());
            EXPECT_TRUE(state == UsedState());
        }
    }
}

TEST(KernelGrids, ParallelAndSequentialRunsAgreeToTheBit) {
    const Matrix xy = TwoClusters(300);
    std::vector<double> weights(301, 0.0);
    for (std::size_t i = 0; i < 300; ++i) {
        weights[i] = 0.1 + static_cast<double>(i % 10) / 10.0;
    }
    for (const bool weighted : {false, true}) {
        for (const KernelFn kernel : kKernels) {
            State sequential;
            sequential.BiasCorrected = weighted ? 1 : 0;
            sequential.LocWeights = weights;
            State parallel = sequential;
            ASSERT_TRUE(kernel(sequential, xy, 300, 15.0, RunControl{{}, false}).Ok());
            ASSERT_TRUE(kernel(parallel, xy, 300, 15.0, RunControl{{}, true}).Ok());
            EXPECT_TRUE(sequential.GridFixedKernel == parallel.GridFixedKernel);
            EXPECT_TRUE(sequential.GridAdKernel == parallel.GridAdKernel);
            EXPECT_TRUE(sequential == parallel);
        }
    }
    EXPECT_EQ(AdaptiveBandwidths(xy, 300, 15.0, false), AdaptiveBandwidths(xy, 300, 15.0, true));
}

TEST(SmoothingParameterFromText, AcceptsOnlyAPositiveNumber) {
    for (const char* text : {"", "abc", "0", "-5", "12.5.1"}) {
        const auto h = SmoothingParameterFromText(text, "User specified value");
        EXPECT_FALSE(h.Ok()) << '"' << text << '"';
        EXPECT_THAT(h.status.error, HasSubstr("User specified value")) << '"' << text << '"';
    }
    const auto h = SmoothingParameterFromText("12.5", "CVh");
    ASSERT_TRUE(h.Ok()) << h.status.error;
    EXPECT_EQ(h.value, 12.5);
}

} // namespace
} // namespace ranvik
