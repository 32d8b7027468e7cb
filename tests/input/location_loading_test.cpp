#include "input/forms/loaded_files.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

class LoadTextFileTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    State state;
};

TEST_F(LoadTextFileTest, IndependentPairsFillTheLocationsWithASpareZeroRow) {
    const auto path = dir.Write("moose.txt", "x\ty\n10\t20\n30\t40\n50\t60\n");
    const LoadOutcome outcome = LoadTextFile(state, path, TextFilePurpose::IndependentLocations);

    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(outcome.count, 3);
    EXPECT_EQ(state.NumLocs, 3);
    ASSERT_EQ(state.LocXY.Rows(), 4);
    ASSERT_EQ(state.LocXY.Cols(), 3);
    EXPECT_EQ(state.LocXY(1, 0), 30);
    EXPECT_EQ(state.LocXY(2, 1), 60);
    EXPECT_EQ(state.LocXY(3, 0), 0);
    EXPECT_EQ(state.LocXY(3, 1), 0);
    EXPECT_EQ(state.LocWeights, std::vector<double>(4, 0.0)) << "zeros without a weight column";
    EXPECT_EQ(state.LocFileName, path.string());
    EXPECT_EQ(state.InFileRoot, "moose");
}

TEST_F(LoadTextFileTest, BiasCorrectedFilesFillTheWeights) {
    state.BiasCorrected = 1;
    const auto path = dir.Write("wolf.txt", "x\ty\tp\n1\t2\t0.5\n3\t4\t0.25\n");
    ASSERT_TRUE(LoadTextFile(state, path, TextFilePurpose::IndependentLocations).Ok());
    EXPECT_EQ(state.NumLocs, 2);
    EXPECT_EQ(state.LocWeights, (std::vector<double>{0.5, 0.25, 0.0}));
    EXPECT_EQ(state.LocXY(1, 0), 3);
}

TEST_F(LoadTextFileTest, HeaderOnlyFileLeavesJustTheSpareRow) {
    const auto path = dir.Write("empty.txt", "x\ty\n");
    const LoadOutcome outcome = LoadTextFile(state, path, TextFilePurpose::IndependentLocations);
    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(outcome.count, 0);
    EXPECT_EQ(state.NumLocs, 0);
    EXPECT_EQ(state.LocXY.Rows(), 1);
    EXPECT_EQ(state.LocWeights.size(), 1U);
}

TEST_F(LoadTextFileTest, NewLocationsReleaseLikelihoodsOfTheOldOnes) {
    state.LocLikBVN = {-1.0, -2.0};
    state.LocLikExpPower = {-3.0, -4.0};
    const auto path = dir.Write("bear.txt", "x\ty\n1\t2\n3\t4\n");
    ASSERT_TRUE(LoadTextFile(state, path, TextFilePurpose::IndependentLocations).Ok());
    EXPECT_TRUE(state.LocLikBVN.empty());
    EXPECT_TRUE(state.LocLikExpPower.empty());
}

TEST_F(LoadTextFileTest, BridgeLocationsAreStoredInFileOrderAndSortedByTime) {
    state.LocXY.Resize(2, 3);
    state.LocXY(0, 0) = 99;
    const auto path =
        dir.Write("elk_gps.txt", "x\ty\tt\te\n1\t2\t30\t5\n3\t4\t10\t6\n5\t6\t20\t7\n");
    ASSERT_TRUE(LoadTextFile(state, path, TextFilePurpose::BridgeLocations).Ok());

    EXPECT_EQ(state.NumLocs, 3);
    ASSERT_EQ(state.BBLocArray.Rows(), 4);
    ASSERT_EQ(state.BBLocArray.Cols(), 5);
    EXPECT_EQ(state.BBLocArray(0, 2), 30);
    ASSERT_EQ(state.BBSortedLocs.Rows(), 4);
    EXPECT_EQ(state.BBSortedLocs(0, 0), 3);
    EXPECT_EQ(state.BBSortedLocs(1, 3), 7);
    EXPECT_EQ(state.BBSortedLocs(2, 2), 30);
    EXPECT_EQ(state.InFileRoot, "elk_gps");
    EXPECT_EQ(state.LocFileName, path.string());
    EXPECT_EQ(state.LocXY(0, 0), 99) << "the independent locations keep what they held";
}

TEST_F(LoadTextFileTest, UserPointsLeaveTheLocationsAndTheRootName) {
    state.NumLocs = 7;
    state.InFileRoot = "elk_gps";
    state.LocFileName = "elk_gps.txt";
    const auto path = dir.Write("road_points.txt", "x\ty\n100\t200\n130\t200\n");
    const LoadOutcome outcome = LoadTextFile(state, path, TextFilePurpose::UserPoints);

    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(outcome.count, 2);
    EXPECT_EQ(state.NumUserPts, 2);
    EXPECT_EQ(state.UserPts.Rows(), 40001);
    EXPECT_EQ(state.UserPts(1, 0), 130);
    EXPECT_EQ(state.UserPtsFileName, path.string());
    EXPECT_EQ(state.NumLocs, 7);
    EXPECT_EQ(state.InFileRoot, "elk_gps");
    EXPECT_EQ(state.LocFileName, "elk_gps.txt");
}

TEST_F(LoadTextFileTest, RejectedFilesLeaveTheRecordExactlyAsItWas) {
    ASSERT_TRUE(LoadTextFile(state, dir.Write("good.txt", "x\ty\n1\t2\n3\t4\n"),
                             TextFilePurpose::IndependentLocations)
                    .Ok());
    const State before = state;

    const struct {
        const char* name;
        const char* content;
        TextFilePurpose purpose;
    } bad_files[] = {
        {"blank.txt", "", TextFilePurpose::IndependentLocations},
        {"letters.txt", "x\ty\n1\t2\nfive\t6\n", TextFilePurpose::IndependentLocations},
        {"short.txt", "x\ty\tt\te\n1\t2\t3\n", TextFilePurpose::BridgeLocations},
        {"commas.txt", "x\ty\n1,,2\n", TextFilePurpose::UserPoints},
    };
    for (const auto& bad : bad_files) {
        const LoadOutcome outcome =
            LoadTextFile(state, dir.Write(bad.name, bad.content), bad.purpose);
        EXPECT_FALSE(outcome.Ok()) << bad.name;
        EXPECT_THAT(outcome.error, HasSubstr(bad.name));
        EXPECT_TRUE(state == before) << bad.name << " changed the record";
    }
    EXPECT_FALSE(
        LoadTextFile(state, dir.path() / "absent.txt", TextFilePurpose::IndependentLocations).Ok());
    EXPECT_TRUE(state == before);
}

TEST_F(LoadTextFileTest, SampleDataSetsLoadForTheirPurposes) {
    const std::filesystem::path examples = RANVIK_EXAMPLES_DIR;
    EXPECT_EQ(LoadTextFile(state, examples / "deer_independent.txt",
                           TextFilePurpose::IndependentLocations)
                  .count,
              150);
    state.BiasCorrected = 1;
    EXPECT_EQ(
        LoadTextFile(state, examples / "deer_weighted.txt", TextFilePurpose::IndependentLocations)
            .count,
        150);
    EXPECT_EQ(LoadTextFile(state, examples / "elk_gps_bridge.txt", TextFilePurpose::BridgeLocations)
                  .count,
              300);
    EXPECT_EQ(LoadTextFile(state, examples / "road_points.txt", TextFilePurpose::UserPoints).count,
              60);
    EXPECT_EQ(state.InFileRoot, "elk_gps_bridge");
}

TEST(FileRoot, DropsTheLastFourCharactersWhateverTheyAre) {
    EXPECT_EQ(FileRoot("ducks.txt"), "ducks");
    EXPECT_EQ(FileRoot("ducks.text"), "ducks.");
    EXPECT_EQ(FileRoot("a.b.c.csv"), "a.b.c");
    EXPECT_EQ(FileRoot("ducks"), "d");
    EXPECT_EQ(FileRoot(".txt"), "");
    EXPECT_EQ(FileRoot("ab"), "");
    EXPECT_EQ(FileRoot("\xc3\xa9lan_t\xc3\xa9.txt"), "\xc3\xa9lan_t\xc3\xa9");
    EXPECT_EQ(FileRoot("caribou.\xc3\xa9xy"), "caribou") << "characters, not bytes";
}

} // namespace
} // namespace ranvik
