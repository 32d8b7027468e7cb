#include "output/comparison.h"

#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/forms/home_range_results.h"
#include "models/home_ranges.h"
#include "models/normal_mixture.h"
#include "output/forms/comparison_results.h"
#include "support/locations.h"
#include "support/model_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

using testing::RecordingNotifier;

State Loaded(std::int32_t n) {
    State state;
    state.LocXY = testing::TwoClusters(n);
    state.NumLocs = n;
    state.InFileRoot = "deer";
    return state;
}

// A comparison run on the record's locations and workspace, put into the record as the
// comparison form does.
Status CompareInRecord(State& state, const ComparisonChoice& choice, Notifier& notifier) {
    auto results =
        RunComparison(state.LocXY, state.NumLocs, choice, {state.Simplex, state.Starts}, notifier);
    return results.Ok() ? CommitComparison(state, std::move(results.value)) : results.status;
}

// The home range driver on the record's requests, put into the record as the forms do.
Status HomeRangesInRecord(State& state, Notifier& notifier) {
    auto results = CalcHomeRanges(HomeRangeInputOf(state), notifier);
    return results.Ok() ? CommitHomeRanges(state, std::move(results.value)) : results.status;
}

// Row 1..6 of the table, without its line end.
std::string TableRow(const std::string& table, int row) {
    std::size_t start = 0;
    for (int k = 0; k < row; ++k) {
        start = table.find("\r\n", start) + 2;
    }
    return table.substr(start, table.find("\r\n", start) - start);
}

TEST(ComparisonTable, IsExactToTheByte) {
    State state;
    state.InFileRoot = "deer";
    state.Neg2LnLExpPower = 1234.5678;
    state.AICcExpPower = 0.0625; // a true half at the third decimal: to even, downwards
    state.CVCExpPower = -0.0004; // rounds to zero, shown without a sign
    state.Neg2LnLBVN = 12.3456;
    state.AICcBVN = -56.1;
    state.Neg2LnL2CN = 0.1875; // a true half: to even, upwards
    state.AICc2CN = 2.5;
    state.CVC2CN = 1e-7;
    state.Neg2LnL2BVN = 123456789.12345;
    state.AICc2BVN = 99.9996;
    state.CVC2BVN = -3.25;
    state.CVCFixedKernel = 7;
    state.CVCAdKernel = 1e20;
    EXPECT_EQ(ComparisonTable(state),
              "File Name\tHome Range Method\t# Parameters\tln(L)*-2\tAICc\tCVC\r\n"
              "deer\tExponential Power Model\t4                   \t1234.568\t0.062\t0\r\n"
              "deer\t1 Mode Bivariate Normal\t5                   \t12.346\t-56.1\t0\r\n"
              "deer\t2 Mode Bivariate Circle\t7                   \t0.188\t2.5\t0\r\n"
              "deer\t2 Mode Bivariate Normal\t11                  \t123456789.123\t100\t-3.25\r\n"
              "deer\tFixed Kernel Density   \tNA                  \tNA\tNA\t7\r\n"
              "deer\tAdaptive Kernel Density\tNA                  \tNA\tNA\t1E+20");
}

TEST(RunComparison, OnlyTheTickedModelChangesAndTheOthersShowZeroOnAFirstRun) {
    State state = Loaded(20);
    state.ComparisonErrors[1] = "left from an earlier run";
    const State before = state;
    RecordingNotifier notifier;
    ASSERT_TRUE(CompareInRecord(state, {.bvn = true}, notifier).Ok());
    State expected = before;
    expected.ComparisonErrors[1].clear();
    expected.LocLikBVN = state.LocLikBVN;
    expected.Neg2LnLBVN = state.Neg2LnLBVN;
    expected.AICcBVN = state.AICcBVN;
    expected.CVCBVN = state.CVCBVN;
    EXPECT_TRUE(state == expected);
    EXPECT_EQ(state.LocLikBVN.size(), 20U);

    const std::string table = ComparisonTable(state);
    EXPECT_TRUE(TableRow(table, 2).starts_with("deer\t1 Mode Bivariate Normal\t5    "));
    EXPECT_EQ(TableRow(table, 2).find("\t0"), std::string::npos);
    for (const int row : {1, 3, 4, 5, 6}) {
        EXPECT_TRUE(TableRow(table, row).ends_with(row < 5 ? "\t0\t0\t0" : "\tNA\tNA\t0")) << row;
    }
}

TEST(RunComparison, ModelThatCannotBeScoredShowsNotScoredWhileTheOthersGetNumbers) {
    // Eight locations: enough for the exponential power model (6), the 1-mode normal (7)
    // and the kernels, too few for the circle (9) and normal (13) mixtures.
    State state = Loaded(8);
    state.Neg2LnL2CN = 5.5;
    RecordingNotifier notifier;
    const Status status = CompareInRecord(state, {true, true, true, true, true, true}, notifier);
    EXPECT_EQ(status.error, state.ComparisonErrors[2] + "\n" + state.ComparisonErrors[3]);
    EXPECT_EQ(state.Neg2LnL2CN, 5.5) << "a model not scored keeps its earlier values";
    const std::string table = ComparisonTable(state);
    const std::string failed = std::string("\t") + kNotScored;
    EXPECT_EQ(TableRow(table, 3),
              "deer\t2 Mode Bivariate Circle\t7                   " + failed + failed + failed);
    EXPECT_EQ(TableRow(table, 4),
              "deer\t2 Mode Bivariate Normal\t11                  " + failed + failed + failed);
    for (const int row : {1, 2, 5, 6}) {
        const std::string text = TableRow(table, row);
        EXPECT_EQ(text.find(kNotScored), std::string::npos) << row;
        EXPECT_NE(text.substr(text.rfind('\t')), "\t0") << row;
    }
}

TEST(ComparisonEntries, DegenerateLocationsFailWithAMessage) {
    RecordingNotifier notifier;
    const std::function<Status(const Matrix&, std::int32_t)> entries[] = {
        [&](auto& xy, auto n) { return CompareExpPower(xy, n, {}, notifier).status; },
        [](auto& xy, auto n) { return CompareBVN(xy, n).status; },
        [&](auto& xy, auto n) { return Calc2CNModel(xy, n, {}, notifier).status; },
        [&](auto& xy, auto n) { return Calc2BVNModel(xy, n, {}, notifier).status; }};
    const std::int32_t parameters_plus_one[] = {5, 6, 8, 12};
    const Matrix spread = testing::TwoClusters(14);
    Matrix one_x = spread, one_y = spread, line = spread;
    for (std::int32_t i = 0; i < 14; ++i) {
        one_x(i, 0) = 3.0;
        one_y(i, 1) = -2.0;
        line(i, 1) = 2 * line(i, 0) + 1;
    }
    for (std::size_t k = 0; k < 4; ++k) {
        const std::pair<const Matrix*, std::int32_t> cases[] = {
            {&spread, parameters_plus_one[k]}, {&one_x, 14}, {&one_y, 14}, {&line, 14}};
        // Only the 1-mode normal refuses one straight line: its covariance would be singular.
        for (std::size_t c = 0; c < (k == 1 ? 4 : 3); ++c) {
            const Status status = entries[k](*cases[c].first, cases[c].second);
            EXPECT_FALSE(status.error.empty()) << "entry " << k << ", case " << c;
            EXPECT_FALSE(status.cancelled);
        }
    }
}

TEST(CalcHomeRanges, OnlyTheExpPowerRequestChangesOnlyItsGridValuesAndFlags) {
    State state = Loaded(30);
    state.DoExpPower = 1;
    state.DoneBVN = true;
    const State before = state;
    RecordingNotifier notifier;
    ASSERT_TRUE(HomeRangesInRecord(state, notifier).Ok());
    ASSERT_EQ(state.LocLikExpPower.size(), 30U);
    State expected = before;
    expected.DoExpPower = 0;
    expected.DoneExpPower = true;
    expected.GridExpPower = state.GridExpPower;
    expected.LocLikExpPower = state.LocLikExpPower;
    expected.NumGridPts = 40000;
    expected.Simplex = state.Simplex; // every simplex fit shares the workspace
    expected.Starts = state.Starts;
    EXPECT_TRUE(state == expected);
    testing::ExpectGridOf(
        state.GridExpPower, state.LocXY, 30,
        [&](double x, double y) {
            return testing::ExpPowerByTgamma(state.Simplex.ModelParams, x, y);
        },
        1e-8L);
}

TEST(CalcHomeRanges, EveryRequestIsClearedWhetherItsModelIsFittedOrNot) {
    State none = Loaded(12);
    none.DoFixedKernel = 1; // the kernels are not this driver's
    const State untouched = none;
    RecordingNotifier notifier;
    EXPECT_TRUE(HomeRangesInRecord(none, notifier).Ok());
    EXPECT_TRUE(none == untouched) << "nothing requested, nothing changes";

    State state = Loaded(30);
    state.DoBVN = state.Do2BVN = state.Do2CN = state.DoExpPower = 1;
    ASSERT_TRUE(HomeRangesInRecord(state, notifier).Ok());
    EXPECT_EQ(state.DoBVN + state.Do2BVN + state.Do2CN + state.DoExpPower, 0);
    EXPECT_TRUE(state.DoneBVN && state.Done2BVN && state.Done2CN && state.DoneExpPower);
    for (const Matrix* g : {&state.GridBVN, &state.Grid2BVN, &state.Grid2CN, &state.GridExpPower}) {
        EXPECT_EQ(g->Rows(), 40001);
    }
    // On one east-west line no model can be fitted: no grid or result flag changes, and each
    // model says why on a line of its own.
    State flat = Loaded(30);
    for (std::int32_t i = 0; i < 30; ++i) {
        flat.LocXY(i, 1) = 1200.0;
    }
    flat.DoBVN = flat.Do2BVN = flat.Do2CN = flat.DoExpPower = 1;
    State expected = flat;
    expected.DoBVN = expected.Do2BVN = expected.Do2CN = expected.DoExpPower = 0;
    const Status status = HomeRangesInRecord(flat, notifier);
    EXPECT_EQ(std::count(status.error.begin(), status.error.end(), '\n'), 3);
    EXPECT_TRUE(flat == expected);
}

} // namespace
} // namespace ranvik
