#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "output/result_files.h"

#include "support/fixes.h"
#include "support/model_fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

// Batched exponentials keep each term within a few units in the last place.
constexpr double kRel = 1e-12;

using testing::Fix;
using testing::Fixes;

std::int32_t Count(const std::vector<Fix>& fixes) {
    return static_cast<std::int32_t>(fixes.size());
}

using Recorder = testing::RecordingNotifier;

// ln of the bridge density of the middle fix b between a and c, written out from the model.
double LogPhi(const Fix& a, const Fix& b, const Fix& c, double sigma_m2) {
    const double big_t = c.t - a.t;
    const double alpha = (b.t - a.t) / big_t;
    const double mx = a.x + (c.x - a.x) * alpha;
    const double my = a.y + (c.y - a.y) * alpha;
    const double var = big_t * alpha * (1 - alpha) * sigma_m2 +
                       (1 - alpha) * (1 - alpha) * a.error * a.error +
                       alpha * alpha * c.error * c.error;
    const double d2 = (b.x - mx) * (b.x - mx) + (b.y - my) * (b.y - my);
    return std::log(1 / (2 * std::numbers::pi * var)) - 0.5 * d2 / var;
}

TEST(CalcBBNegLogLik, EverySecondFixIsPredictedByItsNeighbours) {
    const std::vector<Fix> five = {
        {0, 0, 0, 5}, {12, 3, 1, 6}, {20, 0, 2, 4}, {33, -4, 4, 5}, {40, 2, 5, 3}};
    int zeros = 0;
    const double expected =
        -(LogPhi(five[0], five[1], five[2], 30.0) + LogPhi(five[2], five[3], five[4], 30.0));
    EXPECT_NEAR(CalcBBNegLogLik(Fixes(five), 30.0, 5, zeros), expected, 1e-12);
    EXPECT_EQ(zeros, 0);

    // With six fixes the last one takes no part.
    std::vector<Fix> six = five;
    six.push_back({1e6, 1e6, 9, 1});
    EXPECT_EQ(CalcBBNegLogLik(Fixes(six), 30.0, 6, zeros),
              CalcBBNegLogLik(Fixes(five), 30.0, 5, zeros));
}

TEST(CalcBBNegLogLik, AFixOnItsPredictedPositionAndOneFarAway) {
    // Equal steps: alpha = 0.5, var = T sigma / 4 + (e0^2 + e1^2) / 4.
    const std::vector<Fix> on_line = {{0, 0, 0, 2}, {5, 5, 1, 9}, {10, 10, 2, 4}};
    int zeros = 0;
    const double var = 2 * 8.0 / 4 + (4.0 + 16.0) / 4;
    EXPECT_NEAR(CalcBBNegLogLik(Fixes(on_line), 8.0, 3, zeros),
                -std::log(1 / (2 * std::numbers::pi * var)), 1e-12);

    const std::vector<Fix> far = {{0, 0, 0, 1}, {1e7, 0, 1, 1}, {10, 0, 2, 1}};
    EXPECT_NEAR(CalcBBNegLogLik(Fixes(far), 1.0, 3, zeros), -std::log(1e-250), 1e-9);
    EXPECT_EQ(zeros, 1);
}

TEST(StartingBBVariance, EqualStepsGiveFourOverT) {
    // n = 4: m = round(1.5) = 2, divisor 2 (m - 1) = 2; one term from fix 1.
    const std::vector<Fix> fixes = {{0, 0, 0, 1}, {3, 4, 2, 1}, {0, 0, 4, 1}, {9, 9, 6, 1}};
    EXPECT_DOUBLE_EQ(StartingBBVariance(Fixes(fixes), 4), 4.0 / 4 * 25 / 2);
}

// A track simulated from the model itself: Brownian motion with variance sigma_m2 per time
// unit in each coordinate. The fixes that serve as bridge ends (even indices) are observed
// with their known errors; the observed fixes between them carry no error of their own, as the
// likelihood assumes.
std::vector<Fix> SimulatedTrack(int n, double sigma_m2, unsigned seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::vector<Fix> fixes;
    double x = 500000;
    double y = 5400000;
    for (int i = 0; i < n; ++i) {
        const double error = 5.0 + (i % 3) * 5.0;
        const double shown = i % 2 == 0 ? error : 0.0;
        fixes.push_back({x + shown * unit(random), y + shown * unit(random), i * 2.0, error});
        x += std::sqrt(2.0 * sigma_m2) * unit(random);
        y += std::sqrt(2.0 * sigma_m2) * unit(random);
    }
    return fixes;
}

TEST(EstimateBBVariance, RecoversTheVarianceOfASimulatedTrack) {
    constexpr double kTruth = 400.0;
    Recorder notices;
    const auto estimate =
        EstimateBBVariance(Fixes(SimulatedTrack(4001, kTruth, 3)), 4001, {}, notices);
    ASSERT_TRUE(estimate.Ok()) << estimate.status.error;
    EXPECT_NEAR(estimate.value.variance, kTruth, 0.1 * kTruth);
    EXPECT_EQ(estimate.value.minimiser.GoldenTol, 0.0001);
    EXPECT_EQ(estimate.value.variance, estimate.value.minimiser.GoldenXMin);
    EXPECT_TRUE(notices.messages.empty());
}

TEST(EstimateBBVariance, OneObservedFixGivesTheVarianceThatExplainsItsDistance) {
    // Fix 1 lies d^2 = 0.5^2 + 2.5^2 = 6.5 from the bridge's mean (4.5, 0.5) at alpha = 0.5,
    // T = 2: var = 0.5 sigma + 0.25 (2^2 + 2^2). -ln phi = ln(2 pi var) + d^2 / (2 var) is
    // least at var = d^2 / 2 = 3.25, so sigma = (3.25 - 2) / 0.5 = 2.5.
    const std::vector<Fix> fixes = {{0, 0, 0, 2}, {4, 3, 1, 3}, {9, 1, 2, 2}, {9, 8, 3, 4}};
    Recorder notices;
    const auto estimate = EstimateBBVariance(Fixes(fixes), 4, {}, notices);
    ASSERT_TRUE(estimate.Ok()) << estimate.status.error;
    EXPECT_NEAR(estimate.value.variance, 2.5, 1e-3);
}

TEST(EstimateBBVariance, ZeroDensitiesGiveOneNoticeWithTheirCount) {
    // A long track with one fix 100 km out (a typing error): whatever variance the search
    // tries, that fix's density under its bridge underflows.
    std::vector<Fix> fixes = SimulatedTrack(4001, 400.0, 8);
    fixes[7].x += 1e5;
    Recorder notices;
    std::vector<std::string> steps;
    const RunControl control{{}, true, [&](const std::string& step) { steps.push_back(step); }};
    const auto estimate = EstimateBBVariance(Fixes(fixes), Count(fixes), {}, notices, control);
    ASSERT_TRUE(estimate.Ok()) << estimate.status.error;
    ASSERT_EQ(notices.messages.size(), 1U);
    EXPECT_EQ(notices.messages[0], std::string(kZeroDensityMessage));
    ASSERT_FALSE(steps.empty());
    EXPECT_THAT(steps.back(), HasSubstr("times during the estimate"));
}

TEST(EstimateBBVariance, RefusesTooFewFixesAndSharedTimes) {
    Recorder notices;
    for (const auto& fixes :
         {std::vector<Fix>{{0, 0, 0, 1}, {1, 1, 1, 1}, {2, 0, 2, 1}},
          std::vector<Fix>{{0, 0, 0, 1}, {1, 1, 1, 1}, {2, 0, 1, 1}, {3, 3, 4, 1}, {5, 1, 5, 1}}}) {
        const auto estimate = EstimateBBVariance(Fixes(fixes), Count(fixes), {}, notices);
        EXPECT_FALSE(estimate.status.error.empty());
    }
}

TEST(PrepareBridges, TwentyStepsWhenTheSumOfTwentyDtPassesT) {
    // Find durations where twenty additions of T / 20 land above T, and one where they do not.
    int found = 0;
    for (double big_t = 0.01; big_t < 5 && found == 0; big_t += 0.01) {
        double t = 0;
        int evaluations = 0;
        for (; t <= big_t; t = t + big_t / 20) {
            ++evaluations;
        }
        if (evaluations == 20) {
            const auto set = PrepareBridges(Fixes({{0, 0, 0, 3}, {10, 0, big_t, 3}}), 2, 5, 10);
            ASSERT_TRUE(set.Ok());
            EXPECT_EQ(set.value.bridges[0].steps, 20) << "T = " << big_t;
            ++found;
        }
    }
    EXPECT_EQ(found, 1);
    const auto exact = PrepareBridges(Fixes({{0, 0, 0, 3}, {10, 0, 20, 3}}), 2, 5, 30);
    EXPECT_EQ(exact.value.bridges[0].steps, 21);
}

// P / W written out from the model, with the library exp.
double ReferenceDensity(const std::vector<Fix>& f, double sigma_m2, double max_time, double x,
                        double y) {
    double p = 0;
    double w = 0;
    for (std::size_t a = 0; a + 1 < f.size(); ++a) {
        const double big_t = f[a + 1].t - f[a].t;
        if (big_t > max_time) {
            continue;
        }
        const double dt = big_t / 20;
        double q = 0;
        for (double t = 0; t <= big_t; t = t + dt) {
            const double alpha = t / big_t;
            const double mx = f[a].x + (f[a + 1].x - f[a].x) * alpha;
            const double my = f[a].y + (f[a + 1].y - f[a].y) * alpha;
            const double var = f[a].error * f[a].error * (1 - alpha) * (1 - alpha) +
                               alpha * big_t * (1 - alpha) * sigma_m2 +
                               f[a + 1].error * f[a + 1].error * alpha * alpha;
            const double d2 = (y - my) * (y - my) + (x - mx) * (x - mx);
            q += std::exp(-0.5 * d2 / var) / (2 * std::numbers::pi * var) * dt;
        }
        p += q;
        w += big_t;
    }
    return p / w;
}

const std::vector<Fix> kTrack = {{0, 0, 0, 2},  {4, 3, 1, 3},  {9, 1, 2, 2},
                                 {9, 8, 30, 4}, {2, 6, 31, 2}, {1, 1, 32, 3}};

TEST(CalcBBGrid, GridRunsXOuterYInnerWithTheCellArea) {
    // The 28-unit gap is not bridged.
    const auto grid = CalcBBGrid(Fixes(kTrack), Count(kTrack), 6.0, 5.0, {0, 10, 0, 5, 5});
    ASSERT_TRUE(grid.Ok());
    ASSERT_EQ(grid.value.count, 6);
    ASSERT_EQ(grid.value.output.Rows(), 7); // and the spare row
    const double expected_xy[6][2] = {{0, 0}, {0, 5}, {5, 0}, {5, 5}, {10, 0}, {10, 5}};
    for (std::int32_t k = 0; k < 6; ++k) {
        const double x = expected_xy[k][0];
        const double y = expected_xy[k][1];
        EXPECT_EQ(grid.value.output(k, 0), x);
        EXPECT_EQ(grid.value.output(k, 1), y);
        const double expected = ReferenceDensity(kTrack, 6.0, 5.0, x, y) * 25;
        EXPECT_NEAR(grid.value.output(k, 2), expected, kRel * expected) << "point " << k;
    }

    // An extent that is not a multiple of the distance stops at the last point within it.
    const auto cut = CalcBBGrid(Fixes(kTrack), Count(kTrack), 6.0, 5.0, {0, 12, 0, 5, 5});
    ASSERT_TRUE(cut.Ok());
    EXPECT_EQ(cut.value.count, 6);
    EXPECT_EQ(cut.value.output(5, 0), 10);
}

TEST(CalcBBAtUserPts, CellSizeIsTheDistanceOfTheFirstTwoPoints) {
    Matrix user_pts(40001, 3);
    const double points[3][2] = {{3, 2}, {3, 4}, {8.123456789012345, 6}};
    for (int k = 0; k < 3; ++k) {
        user_pts(k, 0) = points[k][0];
        user_pts(k, 1) = points[k][1];
    }
    const auto at_points = CalcBBAtUserPts(Fixes(kTrack), Count(kTrack), 6.0, 5.0, user_pts, 3);
    ASSERT_TRUE(at_points.Ok());
    EXPECT_EQ(at_points.value.count, 3);
    EXPECT_EQ(at_points.value.output(2, 0), 8.123456789012345);
    for (int k = 0; k < 3; ++k) {
        const double expected = ReferenceDensity(kTrack, 6.0, 5.0, points[k][0], points[k][1]) * 4;
        EXPECT_NEAR(at_points.value.output(k, 2), expected, kRel * expected);
    }
}

TEST(AutoBridgeGridExtent, WidensTheBoxByAFifthOfItsRange) {
    const BridgeGridSpec s =
        AutoBridgeGridExtent(Fixes({{150, 20, 0, 1}, {100, 50, 1, 1}, {200, 0, 2, 1}}), 3);
    EXPECT_EQ((std::vector<double>{s.min_x, s.max_x, s.min_y, s.max_y}),
              (std::vector<double>{80, 220, -10, 60}));
}

TEST(BridgeComputations, RefuseWhatCannotBeComputed) {
    const auto refused = [](const std::vector<Fix>& fixes, double max_time,
                            const BridgeGridSpec& spec, const char* why) {
        const auto grid = CalcBBGrid(Fixes(fixes), Count(fixes), 6, max_time, spec);
        EXPECT_FALSE(grid.status.error.empty()) << why;
        return grid.status.error;
    };
    const BridgeGridSpec small{0, 10, 0, 10, 5};
    refused(kTrack, 5, {0, 10, 0, 10, 0}, "zero distance");
    refused(kTrack, 5, {0, 10, 0, 10, -1}, "negative distance");
    refused(kTrack, 5, {10, 0, 0, 10, 1}, "reversed extent");
    refused(kTrack, 5, {0, 1e6, 0, 1e6, 1}, "too many points");
    refused(kTrack, 5, {-1e308, 1e308, -1e308, 1e308, 1e-300},
            "a count of points beyond any integer");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    refused(kTrack, 5, {0, 10, 0, 10, nan}, "no distance");
    refused(kTrack, 5, {nan, 10, 0, 10, 1}, "no extent");
    EXPECT_THAT(refused(kTrack, 0.5, small, "no bridge"), HasSubstr("maximum time"));
    std::vector<Fix> same_time = kTrack;
    same_time[2].t = 1;
    refused(same_time, 5, small, "two fixes at one time");
    std::vector<Fix> no_error = kTrack;
    no_error[1].error = 0;
    refused(no_error, 5, small, "zero location error");

    EXPECT_FALSE(ParseBridgeGridSpec("0", "ten", "0", "5", "5").Ok());
    EXPECT_TRUE(ParseBridgeGridSpec("0", "10", "0", "5", "5").Ok());

    const Matrix at_origin(40001, 3);
    EXPECT_FALSE(CalcBBAtUserPts(Fixes(kTrack), Count(kTrack), 6, 5, at_origin, 1).Ok())
        << "one point";
    EXPECT_FALSE(CalcBBAtUserPts(Fixes(kTrack), Count(kTrack), 6, 5, at_origin, 2).Ok())
        << "first two points at one place";
}

TEST(BridgeComputations, StopWhenTheProgressReportAsksThemTo) {
    // Sequential, so that the loops report on this thread: the user points after every 64.
    const RunControl stop{[](double) { return false; }, false};
    const Matrix fixes = Fixes(kTrack);
    EXPECT_TRUE(CalcBBGrid(fixes, Count(kTrack), 6, 5, {0, 10, 0, 10, 1}, stop).status.cancelled);
    Matrix pts(201, 3);
    pts(1, 0) = 1;
    EXPECT_TRUE(CalcBBAtUserPts(fixes, Count(kTrack), 6, 5, pts, 200, stop).status.cancelled);
    Recorder notices;
    const std::vector<Fix> track = SimulatedTrack(101, 400.0, 4);
    EXPECT_TRUE(EstimateBBVariance(Fixes(track), Count(track), {}, notices, stop).status.cancelled);
}

// The program's address space held to its present size and `extra` bytes more for as long as
// the object lives, as on a machine with little memory.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(std::size_t extra) {
        getrlimit(RLIMIT_AS, &saved_);
        std::ifstream status("/proc/self/status");
        std::string line;
        std::size_t used_kb = 0;
        while (std::getline(status, line)) {
            if (line.rfind("VmSize:", 0) == 0) {
                used_kb = std::stoul(line.substr(7));
            }
        }
        rlimit lowered = saved_;
        lowered.rlim_cur = used_kb * 1024 + extra;
        setrlimit(RLIMIT_AS, &lowered);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &saved_); }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

private:
    rlimit saved_{};
};

TEST(CalcBBGrid, AGridBeyondTheMachinesMemoryEndsInASentence) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#endif
    const Matrix fixes = Fixes(kTrack);
    Status status;
    {
        // 36 million points need 1.15 GB; the machine has 256 MB to spare.
        const AddressSpaceLimit memory(256u << 20);
        status = CalcBBGrid(fixes, Count(kTrack), 6, 5, {0, 6000, 0, 6000, 1}).status;
    }
    EXPECT_EQ(status.error, "There is not enough memory for this grid. Choose a larger distance "
                            "between grid points or a smaller extent.");
}

TEST(CalcBBGrid, TilesStayWithinThePrintedDigitsOfThePlainSumsAndThreadsChangeNoBit) {
    // Narrow bridges over a wide grid, so most cells skip most bridges; and a migration of long
    // diagonal steps, whose boxes hold many tiles beyond their reach.
    std::vector<Fix> wander;
    std::mt19937 random(5);
    std::normal_distribution<double> step(0.0, 40.0);
    double x = 0;
    double y = 0;
    for (int i = 0; i < 60; ++i) {
        wander.push_back({x, y, i * 1.0, 3.0 + i % 4});
        x += step(random);
        y += step(random);
    }
    std::vector<Fix> migration;
    for (int i = 0; i < 8; ++i) {
        migration.push_back(
            {-850.0 + 240.0 * i, (i % 2 == 0 ? -800.0 : 700.0) + 10.0 * i, i * 1.0, 2.0 + i % 3});
    }
    for (const auto& fixes : {wander, migration}) {
        SCOPED_TRACE(fixes.size() == wander.size() ? "wander" : "migration");
        const BridgeGridSpec spec{-900, 900, -900, 900, 15};
        const Matrix track = Fixes(fixes);
        const std::int32_t n = Count(fixes);
        const auto plain = CalcBBGrid(track, n, 50.0, 2.0, spec, {}, false);
        const auto pruned = CalcBBGrid(track, n, 50.0, 2.0, spec, {}, true);
        const auto sequential = CalcBBGrid(track, n, 50.0, 2.0, spec, {{}, false}, true);
        ASSERT_TRUE(plain.Ok());
        ASSERT_TRUE(pruned.Ok());
        ASSERT_TRUE(sequential.Ok());
        // Every cell within 1e-12 of the sum of every bridge at every step, give or take the
        // 1.05e-15 the terms beyond each bridge's reach may add, and the 9 decimals a grid file
        // shows alike on at least 99.99 % of cells.
        const Matrix& fast = pruned.value.output;
        const Matrix& slow = plain.value.output;
        const std::int32_t cells = pruned.value.count;
        Matrix shown_fast = fast;
        Matrix shown_slow = slow;
        RoundGridValues(shown_fast, cells);
        RoundGridValues(shown_slow, cells);
        int printed_differ = 0;
        for (std::int32_t k = 0; k < cells; ++k) {
            ASSERT_EQ(fast(k, 0), slow(k, 0));
            ASSERT_EQ(fast(k, 1), slow(k, 1));
            ASSERT_LE(std::fabs(fast(k, 2) - slow(k, 2)), 1e-12 * slow(k, 2) + 1.05e-15) << k;
            printed_differ += shown_fast(k, 2) != shown_slow(k, 2) ? 1 : 0;
        }
        EXPECT_LE(printed_differ, cells / 10000);
        EXPECT_TRUE(sequential.value.output == pruned.value.output);
    }
}

} // namespace
} // namespace ranvik
