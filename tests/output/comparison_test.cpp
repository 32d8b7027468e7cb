#include "output/comparison.h"

#include "kernel/kernel_grid.h"
#include "models/bivariate_normal.h"
#include "models/circle_mixture.h"
#include "models/exp_power.h"
#include "models/forms/home_range_results.h"
#include "models/home_ranges.h"
#include "models/normal_mixture.h"
#include "output/estimator_table.h"
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

// A session with n locations in two clusters loaded from "deer.txt", and the workspaces its
// computations hand on.
struct Record {
    Session session;
    EstimatorChain chain;

    friend bool operator==(const Record&, const Record&) = default;
};

Record Loaded(std::int32_t n, double flat_y = 0.0) {
    IndependentLocations locations;
    locations.xy = testing::TwoClusters(n);
    if (flat_y != 0.0) {
        for (std::int32_t i = 0; i < n; ++i) {
            locations.xy(i, 1) = flat_y;
        }
    }
    locations.weights.assign(static_cast<std::size_t>(n) + 1, 0.0);
    locations.count = n;
    LocationFile file;
    file.root = "deer";
    Record record;
    record.session.TakeLoaded(std::move(locations), std::move(file));
    return record;
}

void RequestAll(Session& session, bool wanted) {
    for (const std::string_view name : kHomeRangeModelNames) {
        session.Request(name, wanted);
    }
}

// A comparison run on the record's locations and workspace, put into the record as the
// comparison form does.
Status CompareInRecord(Record& record, const ComparisonChoice& choice, Notifier& notifier) {
    const IndependentLocations& locations = record.session.locations();
    auto results = RunComparison(locations.xy, locations.count, choice, record.chain.fit, notifier);
    return results.Ok() ? CommitComparison(record.session, record.chain, std::move(results.value))
                        : results.status;
}

// The home range driver on the record's requests, put into the record as the forms do.
Status HomeRangesInRecord(Record& record, Notifier& notifier) {
    auto results = CalcHomeRanges(HomeRangeInputOf(record.session, record.chain.fit), notifier);
    return results.Ok() ? CommitHomeRanges(record.session, record.chain, std::move(results.value))
                        : results.status;
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
    Session session = Loaded(3).session;
    session.PutScore(kExpPowerName, {1234.5678,
                                     0.0625,    // a true half at the third decimal: to even, down
                                     -0.0004}); // rounds to zero, shown without a sign
    session.PutScore(kBVNName, {12.3456, -56.1, 0});
    session.PutScore(kCircleMixtureName, {0.1875, 2.5, 1e-7}); // a true half: to even, upwards
    session.PutScore(kNormalMixtureName, {123456789.12345, 99.9996, -3.25});
    session.PutScore(kFixedKernelName, {0, 0, 7});
    session.PutScore(kAdaptiveKernelName, {0, 0, 1e20});
    EXPECT_EQ(ComparisonTable(session, Estimators()),
              "File Name\tHome Range Method\t# Parameters\tln(L)*-2\tAICc\tCVC\r\n"
              "deer\tExponential Power Model\t4                   \t1234.568\t0.062\t0\r\n"
              "deer\t1 Mode Bivariate Normal\t5                   \t12.346\t-56.1\t0\r\n"
              "deer\t2 Mode Bivariate Circle\t7                   \t0.188\t2.5\t0\r\n"
              "deer\t2 Mode Bivariate Normal\t11                  \t123456789.123\t100\t-3.25\r\n"
              "deer\tFixed Kernel Density   \tNA                  \tNA\tNA\t7\r\n"
              "deer\tAdaptive Kernel Density\tNA                  \tNA\tNA\t1E+20");
}

TEST(RunComparison, OnlyTheTickedModelChangesAndTheOthersShowZeroOnAFirstRun) {
    Record record = Loaded(20);
    record.session.PutScoreFailure(kBVNName, "left from an earlier run");
    const Record before = record;
    RecordingNotifier notifier;
    ASSERT_TRUE(CompareInRecord(record, {.bvn = true}, notifier).Ok());
    const EstimatorResult& bvn = *record.session.Result(kBVNName);
    EXPECT_EQ(bvn.score_error, "");
    EXPECT_EQ(bvn.loc_lik.size(), 20U);
    Record expected = before;
    expected.session.PutScore(kBVNName, bvn.score, bvn.loc_lik);
    expected.chain = record.chain;
    EXPECT_TRUE(record == expected);

    const std::string table = ComparisonTable(record.session, Estimators());
    EXPECT_TRUE(TableRow(table, 2).starts_with("deer\t1 Mode Bivariate Normal\t5    "));
    EXPECT_EQ(TableRow(table, 2).find("\t0"), std::string::npos);
    for (const int row : {1, 3, 4, 5, 6}) {
        EXPECT_TRUE(TableRow(table, row).ends_with(row < 5 ? "\t0\t0\t0" : "\tNA\tNA\t0")) << row;
    }
}

TEST(RunComparison, ModelThatCannotBeScoredShowsNotScoredWhileTheOthersGetNumbers) {
    // Eight locations: enough for the exponential power model (6), the 1-mode normal (7)
    // and the kernels, too few for the circle (9) and normal (13) mixtures.
    Record record = Loaded(8);
    record.session.PutScore(kCircleMixtureName, {5.5, 0, 0});
    RecordingNotifier notifier;
    const Status status = CompareInRecord(record, {true, true, true, true, true, true}, notifier);
    const Session& session = record.session;
    EXPECT_EQ(status.error, session.Result(kCircleMixtureName)->score_error + "\n" +
                                session.Result(kNormalMixtureName)->score_error);
    EXPECT_EQ(session.Result(kCircleMixtureName)->score.neg2lnl, 5.5)
        << "a model not scored keeps its earlier values";
    const std::string table = ComparisonTable(session, Estimators());
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
    Record record = Loaded(30);
    record.session.Request(kExpPowerName, true);
    record.session.Put(kBVNName, Matrix(3, 4)); // an earlier grid, still waiting
    const Record before = record;
    RecordingNotifier notifier;
    ASSERT_TRUE(HomeRangesInRecord(record, notifier).Ok());
    const Session& session = record.session;
    ASSERT_EQ(session.Result(kExpPowerName)->loc_lik.size(), 30U);
    Record expected = before;
    expected.session.Request(kExpPowerName, false);
    expected.session.PutLocationValues(kExpPowerName,
                                       std::vector(session.Result(kExpPowerName)->loc_lik));
    expected.session.Put(kExpPowerName, Matrix(*session.Result(kExpPowerName)->grid));
    expected.chain.fit = record.chain.fit; // every simplex fit shares the workspace
    EXPECT_TRUE(record == expected);
    testing::ExpectGridOf(
        *session.Result(kExpPowerName)->grid, session.locations().xy, 30,
        [&](double x, double y) {
            return testing::ExpPowerByTgamma(record.chain.fit.simplex.ModelParams, x, y);
        },
        1e-8L);
}

TEST(CalcHomeRanges, EveryRequestIsClearedWhetherItsModelIsFittedOrNot) {
    Record none = Loaded(12);
    none.session.Request(kFixedKernelName, true); // the kernels are not this driver's
    const Record untouched = none;
    RecordingNotifier notifier;
    EXPECT_TRUE(HomeRangesInRecord(none, notifier).Ok());
    EXPECT_TRUE(none == untouched) << "nothing requested, nothing changes";

    Record record = Loaded(30);
    RequestAll(record.session, true);
    ASSERT_TRUE(HomeRangesInRecord(record, notifier).Ok());
    EXPECT_TRUE(record.session.choices().requested.empty());
    for (const std::string_view name : kHomeRangeModelNames) {
        ASSERT_NE(record.session.WaitingGrid(name), nullptr) << name;
        EXPECT_EQ(record.session.WaitingGrid(name)->Rows(), 40001);
    }
    // On one east-west line no model can be fitted: no grid or result changes, and each
    // model says why on a line of its own.
    Record flat = Loaded(30, 1200.0);
    RequestAll(flat.session, true);
    Record expected = flat;
    RequestAll(expected.session, false);
    const Status status = HomeRangesInRecord(flat, notifier);
    EXPECT_EQ(std::count(status.error.begin(), status.error.end(), '\n'), 3);
    EXPECT_TRUE(flat == expected);
}

} // namespace
} // namespace ranvik
