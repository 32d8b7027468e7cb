// Files far larger than real data sets: each is either loaded whole or refused with a sentence,
// and a refused one leaves the session as it was.
#include "input/forms/loaded_files.h"
#include "input/shape_layer.h"
#include "input/text_locations.h"

#include "support/point_shapefile.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

class LargeFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadTextFile(session, dir.Write("earlier.txt", "x\ty\n1\t2\n3\t4\n5\t6\n"),
                                 TextFilePurpose::IndependentLocations)
                        .Ok());
    }

    testing::TempDir dir;
    Session session;
};

TEST_F(LargeFilesTest, TenMillionLinesAreRefusedAtTheCapacityAndChangeNothing) {
    const auto path = dir.path() / "ten_million.txt";
    {
        std::string text = "x\ty\n";
        text.reserve(50'000'000);
        for (int i = 0; i < 10'000'000; ++i) {
            text += std::to_string(i % 1000);
            text += "\t7\n";
        }
        std::ofstream(path, std::ios::binary) << text;
    }
    const Session before = session;
    for (const auto purpose :
         {TextFilePurpose::IndependentLocations, TextFilePurpose::UserPoints}) {
        const LoadOutcome outcome = LoadTextFile(session, path, purpose);
        EXPECT_FALSE(outcome.Ok());
        EXPECT_THAT(outcome.error, HasSubstr("ten_million.txt holds more than"));
        EXPECT_TRUE(session == before);
    }
}

TEST_F(LargeFilesTest, AFileOverAGigabyteIsRefusedBeforeItIsRead) {
    const auto path = dir.path() / "huge.txt";
    std::ofstream(path) << "x\ty\n";
    std::filesystem::resize_file(path, kMaxTextFileBytes + 1); // sparse: no disk space used
    const Session before = session;
    const LoadOutcome outcome = LoadTextFile(session, path, TextFilePurpose::BridgeLocations);
    EXPECT_EQ(outcome.error, "huge.txt is 1024 MB, too large for a locations file: one may hold "
                             "at most 1024 MB and 1000000 locations.");
    EXPECT_TRUE(session == before);
}

TEST_F(LargeFilesTest, AMillionPointShapefileLoadsWholeAndOneMoreIsRefusedAsLocations) {
    constexpr int kPoints = 1'000'001;
    std::vector<double> xs(kPoints);
    std::vector<double> ys(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        xs[static_cast<std::size_t>(i)] = 500000.0 + (i % 1000) * 1.5;
        ys[static_cast<std::size_t>(i)] = 5400000.0 + (i / 1000) * 2.25;
    }
    const auto shp = dir.path() / "million.shp";
    testing::WritePointShapefile(shp, xs, ys);

    const StatusOr<ShapeLayer> layer = OpenShapeLayer(shp);
    ASSERT_TRUE(layer.Ok()) << layer.status.error;
    EXPECT_EQ(layer.value.records, kPoints);

    const Session before = session;
    const LoadOutcome refused = LoadShapeLayer(
        session, layer.value, TextFilePurpose::IndependentLocations, {"Easting", "Northing"});
    EXPECT_THAT(refused.error, HasSubstr("has 1000001 records; at most 1000000 can be loaded."));
    EXPECT_TRUE(session == before);

    const LoadOutcome points =
        LoadShapeLayer(session, layer.value, TextFilePurpose::UserPoints, {"Easting", "Northing"});
    ASSERT_TRUE(points.Ok()) << points.error;
    EXPECT_EQ(session.loaded().user_points->count, kPoints);
    EXPECT_EQ(session.loaded().user_points->xy(kPoints - 1, 0), xs.back());
    EXPECT_EQ(session.loaded().user_points->xy(kPoints - 1, 1), ys.back());
    EXPECT_EQ(session.locations().count, 3) << "user points leave the locations";
}

} // namespace
} // namespace ranvik
