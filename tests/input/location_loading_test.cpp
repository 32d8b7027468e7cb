#include "input/forms/loaded_files.h"
#include "state/loaded_locations.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

class LoadTextFileTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    Session session;
};

TEST_F(LoadTextFileTest, IndependentPairsFillTheLocationsWithASpareZeroRow) {
    const auto path = dir.Write("moose.txt", "x\ty\n10\t20\n30\t40\n50\t60\n");
    const LoadOutcome outcome = LoadTextFile(session, path, TextFilePurpose::IndependentLocations);

    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(outcome.count, 3);
    EXPECT_EQ(session.locations().count, 3);
    ASSERT_EQ(session.locations().xy.Rows(), 4);
    ASSERT_EQ(session.locations().xy.Cols(), 3);
    EXPECT_EQ(session.locations().xy(1, 0), 30);
    EXPECT_EQ(session.locations().xy(2, 1), 60);
    EXPECT_EQ(session.locations().xy(3, 0), 0);
    EXPECT_EQ(session.locations().xy(3, 1), 0);
    EXPECT_EQ(session.locations().weights, std::vector<double>(4, 0.0))
        << "zeros without a weight column";
    EXPECT_EQ(session.loaded().file.path, path.string());
    EXPECT_EQ(session.loaded().file.root, "moose");
}

TEST_F(LoadTextFileTest, BiasCorrectedFilesFillTheWeights) {
    session.ChooseAnalysis(false, false, true);
    const auto path = dir.Write("wolf.txt", "x\ty\tp\n1\t2\t0.5\n3\t4\t0.25\n");
    ASSERT_TRUE(LoadTextFile(session, path, TextFilePurpose::IndependentLocations).Ok());
    EXPECT_EQ(session.locations().count, 2);
    EXPECT_EQ(session.locations().weights, (std::vector<double>{0.5, 0.25, 0.0}));
    EXPECT_EQ(session.locations().xy(1, 0), 3);
}

// No locations to start work on, but the counts agree with the arrays.
TEST_F(LoadTextFileTest, HeaderOnlyFileLeavesJustTheSpareRow) {
    const auto path = dir.Write("empty.txt", "x\ty\n");
    const LoadOutcome outcome = LoadTextFile(session, path, TextFilePurpose::IndependentLocations);
    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(outcome.count, 0);
    EXPECT_EQ(session.locations().count, 0);
    EXPECT_EQ(session.locations().xy.Rows(), 1);
    EXPECT_EQ(session.locations().weights.size(), 1U);
    EXPECT_EQ(CountDisagreement(session), "");
    EXPECT_NE(MissingLocations(session, LocationSet::Independent), "");
}

TEST_F(LoadTextFileTest, BridgeLocationsAreStoredInFileOrderAndSortedByTime) {
    ASSERT_TRUE(LoadTextFile(session, dir.Write("deer.txt", "x\ty\n99\t1\n"),
                             TextFilePurpose::IndependentLocations)
                    .Ok());
    const auto path =
        dir.Write("elk_gps.txt", "x\ty\tt\te\n1\t2\t30\t5\n3\t4\t10\t6\n5\t6\t20\t7\n");
    ASSERT_TRUE(LoadTextFile(session, path, TextFilePurpose::BridgeLocations).Ok());

    EXPECT_EQ(session.track().count, 3);
    ASSERT_EQ(session.track().fixes.Rows(), 4);
    ASSERT_EQ(session.track().fixes.Cols(), 5);
    EXPECT_EQ(session.track().fixes(0, 2), 30);
    ASSERT_EQ(session.track().sorted.Rows(), 4);
    EXPECT_EQ(session.track().sorted(0, 0), 3);
    EXPECT_EQ(session.track().sorted(1, 3), 7);
    EXPECT_EQ(session.track().sorted(2, 2), 30);
    EXPECT_EQ(session.loaded().file.root, "elk_gps");
    EXPECT_EQ(session.loaded().file.path, path.string());
    EXPECT_EQ(session.locations().xy(0, 0), 99) << "the independent locations keep what they held";
}

TEST_F(LoadTextFileTest, RejectedFilesLeaveTheSessionExactlyAsItWas) {
    ASSERT_TRUE(LoadTextFile(session, dir.Write("good.txt", "x\ty\n1\t2\n3\t4\n"),
                             TextFilePurpose::IndependentLocations)
                    .Ok());
    const Session before = session;

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
            LoadTextFile(session, dir.Write(bad.name, bad.content), bad.purpose);
        EXPECT_FALSE(outcome.Ok()) << bad.name;
        EXPECT_THAT(outcome.error, HasSubstr(bad.name));
        EXPECT_TRUE(session == before) << bad.name << " changed the session";
    }
    EXPECT_FALSE(
        LoadTextFile(session, dir.path() / "absent.txt", TextFilePurpose::IndependentLocations)
            .Ok());
    EXPECT_TRUE(session == before);
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
