#include "input/shape_layer.h"

#include "input/shape_writer.h"
#include "input/text_locations.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

const std::filesystem::path kShapes = std::filesystem::path(RANVIK_EXAMPLES_DIR) / "shapefiles";

TEST(OpenShapeLayer, ReadsThePointSampleWithItsFieldsAndValues) {
    const auto layer = OpenShapeLayer(kShapes / "deer_points.shp");
    ASSERT_TRUE(layer.Ok()) << layer.status.error;
    EXPECT_EQ(layer.value.shape_type, kPointShape);
    EXPECT_EQ(layer.value.records, 150);
    ASSERT_EQ(layer.value.fields.size(), 3U);
    EXPECT_EQ(layer.value.fields[0].name, "Easting");
    EXPECT_EQ(FieldTypeName(layer.value.fields[2].type), "Double");

    // The values are those of the text file the sample was made from, to the bit.
    const auto text =
        ReadLocationText(std::filesystem::path(RANVIK_EXAMPLES_DIR) / "deer_weighted.txt", 3, 1000);
    const auto columns = NumericColumns(layer.value, {"Easting", "Northing", "Weight"});
    ASSERT_TRUE(columns.Ok()) << columns.status.error;
    for (std::int32_t i = 0; i < 150; ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(columns.value(i, c), text.values(i, c)) << "record " << i;
        }
        EXPECT_EQ(layer.value.geometries[static_cast<std::size_t>(i)].parts[0][0].first,
                  text.values(i, 0));
    }
    EXPECT_EQ(columns.value.Rows(), 151) << "with the spare zero row";
    EXPECT_TRUE(layer.value.metres) << "UTM coordinates";
    EXPECT_NE(layer.value.projection_wkt.find("UTM"), std::string::npos);
}

TEST(OpenShapeLayer, KnowsLinePolygonAndFieldTypes) {
    const auto track = OpenShapeLayer(kShapes / "elk_track.shp");
    ASSERT_TRUE(track.Ok());
    EXPECT_EQ(FieldTypeName(track.value.fields[2].type), "Long");
    EXPECT_EQ(track.value.records, 300);

    const auto streams = OpenShapeLayer(kShapes / "streams.shp");
    ASSERT_TRUE(streams.Ok());
    EXPECT_EQ(streams.value.shape_type, kLineShape);
    EXPECT_EQ(FieldTypeName(streams.value.fields[0].type), "String");
    EXPECT_EQ(streams.value.geometries[0].parts[0].size(), 4U);

    const auto area = OpenShapeLayer(kShapes / "study_area.shp");
    ASSERT_TRUE(area.Ok());
    EXPECT_EQ(area.value.shape_type, kPolygonShape);
    EXPECT_EQ(area.value.texts[1 * 2 + 0], "East ridge");
    EXPECT_EQ(area.value.geometries[0].parts[0].size(), 5U) << "a closed ring";

    const auto names = NumericColumns(area.value, {"Name"});
    ASSERT_FALSE(names.Ok());
    EXPECT_THAT(names.status.error, HasSubstr("Record 1"));
    EXPECT_THAT(names.status.error, HasSubstr("\"Name\""));
    EXPECT_TRUE(NumericColumns(area.value, {"Zone"}).Ok());
    EXPECT_EQ(FieldTypeName(99), "");
}

TEST(OpenShapeLayer, RefusesIncompleteOrDamagedFiles) {
    testing::TempDir dir;
    const auto copy = [&](const char* stem, std::initializer_list<const char*> extensions) {
        for (const char* extension : extensions) {
            std::filesystem::copy_file(kShapes / (std::string(stem) + extension),
                                       dir.path() / (std::string(stem) + extension));
        }
        return dir.path() / (std::string(stem) + ".shp");
    };
    const auto no_shx = OpenShapeLayer(copy("deer_points", {".shp", ".dbf"}));
    EXPECT_THAT(no_shx.status.error, HasSubstr(".shx file is missing"));
    const auto no_dbf = OpenShapeLayer(copy("streams", {".shp", ".shx"}));
    EXPECT_THAT(no_dbf.status.error, HasSubstr(".dbf file is missing"));

    const auto cut = copy("elk_track", {".shp", ".shx", ".dbf"});
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    const auto damaged = OpenShapeLayer(cut);
    EXPECT_FALSE(damaged.Ok());
    EXPECT_FALSE(OpenShapeLayer(dir.path() / "nothing.shp").Ok());

    // A layer without records loads but gives no locations.
    ShapefileContent empty;
    empty.fields = {{"X", kDoubleField}, {"Y", kDoubleField}};
    ASSERT_TRUE(WriteShapefile(dir.path() / "empty.shp", empty).Ok());
    const auto none = OpenShapeLayer(dir.path() / "empty.shp");
    ASSERT_TRUE(none.Ok()) << none.status.error;
    EXPECT_THAT(NumericColumns(none.value, {"X", "Y"}).status.error, HasSubstr("no records"));
}

TEST(FindFeature, PolygonsContainTheirPointsOthersAreFoundWithinTheTolerance) {
    const auto area = OpenShapeLayer(kShapes / "study_area.shp");
    ASSERT_TRUE(area.Ok());
    EXPECT_EQ(FindFeature(area.value, 557500, 5425000, 0), 0);
    EXPECT_EQ(FindFeature(area.value, 559000, 5425000, 0), 1);
    EXPECT_EQ(FindFeature(area.value, 560000, 5425000, 1e6), -1) << "outside every polygon";

    const auto streams = OpenShapeLayer(kShapes / "streams.shp");
    ASSERT_TRUE(streams.Ok());
    // 30 m off the first segment of the second stream, which the first does not come near.
    EXPECT_EQ(FindFeature(streams.value, 558900 + 30, 5424200, 40), 1);
    EXPECT_EQ(FindFeature(streams.value, 558900 + 30, 5424200, 20), -1);
    const ShapeExtent e = FullExtent(area.value);
    EXPECT_EQ(e.x0, 557000);
    EXPECT_EQ(e.y1, 5426200);
}

} // namespace
} // namespace ranvik
