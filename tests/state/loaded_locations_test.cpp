#include "state/loaded_locations.h"

#include "support/temp_dir.h"

#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "input/forms/loaded_files.h"
#include "kernel/kernel_grid.h"
#include "models/home_ranges.h"
#include "output/comparison.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

class SilentNotifier final : public Notifier {
public:
    void Inform(std::string_view) override {}
};

class LoadedLocationsTest : public ::testing::Test {
protected:
    void Load(const char* name, const char* content, TextFilePurpose purpose) {
        ASSERT_TRUE(LoadTextFile(session, dir.Write(name, content), purpose).Ok());
    }

    testing::TempDir dir;
    Session session;
    SilentNotifier notifier;
};

TEST_F(LoadedLocationsTest, EachKindKeepsItsOwnCountAndTheLastLoadedIsTheOneWorkedOn) {
    EXPECT_THAT(MissingLocations(session, LocationSet::Independent), HasSubstr("No locations"));
    EXPECT_THAT(MissingLocations(session, LocationSet::Bridge), HasSubstr("No time-stamped"));

    Load("deer.txt", "x\ty\n1\t2\n3\t5\n4\t1\n", TextFilePurpose::IndependentLocations);
    EXPECT_EQ(session.loaded().last, LocationSet::Independent);
    EXPECT_EQ(session.loaded().file.root, "deer");
    EXPECT_EQ(MissingLocations(session, LocationSet::Independent), "");
    EXPECT_NE(MissingLocations(session, LocationSet::Bridge), "");

    // A longer track has its own count; the deer keep theirs but are no longer worked on.
    Load("elk.txt", "x\ty\tt\te\n0\t0\t4\t5\n1\t1\t1\t5\n2\t1\t2\t5\n3\t2\t3\t5\n4\t2\t0\t5\n",
         TextFilePurpose::BridgeLocations);
    EXPECT_EQ(session.loaded().last, LocationSet::Bridge);
    EXPECT_EQ(session.track().count, 5);
    EXPECT_EQ(session.track().sorted(0, 0), 4.0); // the fix at time 0 comes first
    EXPECT_EQ(session.locations().count, 3);
    EXPECT_EQ(session.loaded().file.root, "elk");
    EXPECT_EQ(MissingLocations(session, LocationSet::Bridge), "");
    EXPECT_NE(MissingLocations(session, LocationSet::Independent), "");
    EXPECT_EQ(CountDisagreement(session), "");

    // User points leave the locations, the track, their file and its root alone.
    const auto road = dir.Write("road.txt", "x\ty\n1\t1\n2\t2\n");
    EXPECT_EQ(LoadTextFile(session, road, TextFilePurpose::UserPoints).count, 2);
    EXPECT_EQ(session.loaded().last, LocationSet::Bridge);
    EXPECT_EQ(session.loaded().user_points->count, 2);
    EXPECT_EQ(session.loaded().user_points->xy.Rows(), 40'001);
    EXPECT_EQ(session.loaded().user_points->xy(1, 0), 2);
    EXPECT_EQ(session.loaded().user_points->path, road.string());
    EXPECT_EQ(session.track().count, 5);
    EXPECT_EQ(session.loaded().file.root, "elk");
    EXPECT_EQ(session.loaded().file.path, (dir.path() / "elk.txt").string());
}

TEST_F(LoadedLocationsTest, ResultsWaitUntilSavedAndNewLocationsDropTheOldPerLocationValues) {
    Load("deer.txt", "x\ty\n1\t2\n3\t5\n4\t1\n", TextFilePurpose::IndependentLocations);
    Matrix grid(3, 4);
    grid(0, 2) = 0.25;
    session.Put(kFixedKernelName, Matrix(grid));
    session.PutLocationValues(kBVNName, {-1.0, -2.0, -3.0});
    session.PutScoreFailure(kExpPowerName, "did not converge");
    ASSERT_NE(session.WaitingGrid(kFixedKernelName), nullptr);
    EXPECT_EQ(session.WaitingGrid(kBVNName), nullptr); // values but no grid
    EXPECT_EQ(session.Result(kExpPowerName)->score_error, "did not converge");
    session.PutScore(kExpPowerName, {1, 2, 3});
    EXPECT_EQ(session.Result(kExpPowerName)->score_error, "");

    grid(0, 2) = 0.5;
    session.MarkSaved(kFixedKernelName, grid);
    EXPECT_EQ(session.WaitingGrid(kFixedKernelName), nullptr);
    EXPECT_EQ((*session.Result(kFixedKernelName)->grid)(0, 2), 0.5); // the values shown
    session.Put(kFixedKernelName, Matrix(grid));
    EXPECT_NE(session.WaitingGrid(kFixedKernelName), nullptr); // a new grid waits again

    Load("deer2.txt", "x\ty\n1\t2\n3\t5\n", TextFilePurpose::IndependentLocations);
    EXPECT_TRUE(session.Result(kBVNName)->loc_lik.empty());
    EXPECT_EQ(CountDisagreement(session), "");
}

TEST_F(LoadedLocationsTest, CountDisagreementNamesWhatDisagrees) {
    IndependentLocations wrong;
    wrong.xy = Matrix(4, 3);
    wrong.weights.assign(4, 0.0);
    wrong.count = 4; // four rows hold three locations and the spare row
    session.TakeLoaded(std::move(wrong), {});
    EXPECT_THAT(CountDisagreement(session), HasSubstr("count of locations 4"));

    Load("deer.txt", "x\ty\n1\t2\n3\t5\n4\t1\n", TextFilePurpose::IndependentLocations);
    session.PutLocationValues(kBVNName, std::vector<double>(7, 0.0));
    EXPECT_THAT(CountDisagreement(session), HasSubstr("log-likelihoods of bvn"));
    session.PutLocationValues(kBVNName, {});
    session.Put(kFixedKernelName, Matrix(1, 4));
    EXPECT_THAT(CountDisagreement(session), HasSubstr("fixed-kernel waits"));
}

// Whatever a count says, no computation reads past the array it counts.
TEST_F(LoadedLocationsTest, ComputationsRefuseACountLargerThanTheirArray) {
    Load("deer.txt", "x\ty\n1\t2\n3\t5\n4\t1\n", TextFilePurpose::IndependentLocations);
    const std::int32_t count = 300; // as a track's count once read
    HomeRangeInput input = HomeRangeInputOf(session, {});
    input.n = count;
    input.requested = {true, true, true, true};
    EXPECT_THAT(CalcHomeRanges(input, notifier).status.error, HasSubstr("does not match"));
    ComparisonChoice all;
    all.exp_power = all.bvn = all.circle_mixture = all.normal_mixture = true;
    all.fixed_kernel = all.adaptive_kernel = true;
    EXPECT_THAT(RunComparison(session.locations().xy, count, all, {}, notifier).status.error,
                HasSubstr("does not match"));

    const Matrix fixes(3, 5);
    EXPECT_THAT(EstimateBBVariance(fixes, count, {}, notifier).status.error,
                HasSubstr("does not match"));
    EXPECT_THAT(CalcBBGrid(fixes, count, 1, 10, {0, 10, 0, 10, 1}).status.error,
                HasSubstr("does not match"));
    const Matrix points(3, 3);
    EXPECT_THAT(CalcBBAtUserPts(fixes, 2, 1, 10, points, 50).status.error,
                HasSubstr("does not match"));
}

} // namespace
} // namespace ranvik
