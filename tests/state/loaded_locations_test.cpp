#include "state/loaded_locations.h"

#include "support/temp_dir.h"

#include "bridge/bridge_probability.h"
#include "bridge/bridge_variance.h"
#include "input/forms/loaded_files.h"
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
        ASSERT_TRUE(LoadTextFile(state, dir.Write(name, content), purpose).Ok());
    }

    testing::TempDir dir;
    State state;
    SilentNotifier notifier;
};

TEST_F(LoadedLocationsTest, EachLoadSaysWhoseLocationsTheCountCounts) {
    EXPECT_THAT(MissingLocations(state, LocationSet::Independent), HasSubstr("No locations"));
    EXPECT_THAT(MissingLocations(state, LocationSet::Bridge), HasSubstr("No time-stamped"));

    Load("deer.txt", "x\ty\n1\t2\n3\t5\n4\t1\n", TextFilePurpose::IndependentLocations);
    EXPECT_EQ(state.LoadedLocations, LocationSet::Independent);
    EXPECT_EQ(MissingLocations(state, LocationSet::Independent), "");
    EXPECT_NE(MissingLocations(state, LocationSet::Bridge), "");

    // A longer track: NumLocs now counts its fixes, while LocXY keeps the deer.
    Load("elk.txt", "x\ty\tt\te\n0\t0\t0\t5\n1\t1\t1\t5\n2\t1\t2\t5\n3\t2\t3\t5\n4\t2\t4\t5\n",
         TextFilePurpose::BridgeLocations);
    EXPECT_EQ(state.LoadedLocations, LocationSet::Bridge);
    EXPECT_EQ(state.NumLocs, 5);
    EXPECT_EQ(state.LocXY.Rows(), 4);
    EXPECT_EQ(MissingLocations(state, LocationSet::Bridge), "");
    EXPECT_NE(MissingLocations(state, LocationSet::Independent), "");
    EXPECT_EQ(CountDisagreement(state), "");

    // User points leave the count and its kind alone.
    Load("road.txt", "x\ty\n1\t1\n2\t2\n", TextFilePurpose::UserPoints);
    EXPECT_EQ(state.LoadedLocations, LocationSet::Bridge);
    EXPECT_EQ(state.NumLocs, 5);
}

TEST_F(LoadedLocationsTest, AHeaderOnlyFileLoadsNoLocationsToStartWorkOn) {
    Load("empty.txt", "x\ty\n", TextFilePurpose::IndependentLocations);
    EXPECT_EQ(CountDisagreement(state), "");
    EXPECT_NE(MissingLocations(state, LocationSet::Independent), "");
}

// Whatever a count says, no computation reads past the array it counts.
TEST_F(LoadedLocationsTest, ComputationsRefuseACountLargerThanTheirArray) {
    Load("deer.txt", "x\ty\n1\t2\n3\t5\n4\t1\n", TextFilePurpose::IndependentLocations);
    const std::int32_t count = 300; // as a track's count once read
    HomeRangeInput input = HomeRangeInputOf(state);
    input.n = count;
    input.requested = {true, true, true, true};
    EXPECT_THAT(CalcHomeRanges(input, notifier).status.error, HasSubstr("does not match"));
    ComparisonChoice all;
    all.exp_power = all.bvn = all.circle_mixture = all.normal_mixture = true;
    all.fixed_kernel = all.adaptive_kernel = true;
    EXPECT_THAT(RunComparison(state.LocXY, count, all, {}, notifier).status.error,
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

TEST_F(LoadedLocationsTest, CountDisagreementNamesTheArrays) {
    Load("deer.txt", "x\ty\n1\t2\n3\t5\n4\t1\n", TextFilePurpose::IndependentLocations);
    state.NumLocs = 4;
    EXPECT_THAT(CountDisagreement(state), HasSubstr("LocXY"));
    state.NumLocs = 3;
    state.LocLikBVN.assign(7, 0.0);
    EXPECT_THAT(CountDisagreement(state), HasSubstr("log-likelihood"));
    state.LocLikBVN.clear();
    state.DoneFixedKernel = true;
    EXPECT_THAT(CountDisagreement(state), HasSubstr("GridFixedKernel"));
}

} // namespace
} // namespace ranvik
