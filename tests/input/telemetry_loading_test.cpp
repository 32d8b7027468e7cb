#include "input/telemetry_loading.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ogr_spatialref.h>

#include <string>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

// Three fixes of one collar and a failed fix of another; the second collar's rows carry
// nothing else.
constexpr std::string_view kTwoCollars = "timestamp,location-long,location-lat,weight,"
                                         "individual-local-identifier\n"
                                         "2021-06-01 00:20:00,7.01,46.02,3,\"Ana / 1\"\n"
                                         "2021-06-01 00:00:00,7.00,46.00,1,\"Ana / 1\"\n"
                                         "2021-06-01 00:00:00,7.05,46.05,5,\"Ana / 1\"\n"
                                         "2021-06-01 00:10:00,,,,Ben\n";

TelemetrySource TwoCollars() {
    TelemetrySource source;
    source.path = "/data/collars 2021.csv";
    auto table = ParseTelemetryText(kTwoCollars, "collars 2021.csv");
    EXPECT_TRUE(table.Ok()) << table.status.error;
    source.table = std::move(table.value);
    return source;
}

TEST(TelemetryChoices, MovebankNamesAndLongitudeLatitudeAreRecognised) {
    const TelemetrySource source = TwoCollars();
    const TelemetryFields fields = SuggestedFields(source);
    EXPECT_EQ(fields.x, "location-long");
    EXPECT_EQ(fields.y, "location-lat");
    EXPECT_EQ(fields.time, "timestamp");
    EXPECT_EQ(fields.animal, "individual-local-identifier");
    EXPECT_TRUE(fields.geographic);
    EXPECT_EQ(DescribeSourceCrs(source, fields.x, fields.y),
              "WGS 84 longitude/latitude (EPSG:4326)");

    for (const char* name : {"Longitude", "LON", "long", "lng", "location-long"}) {
        EXPECT_TRUE(NamesLongitude(name)) << name;
    }
    for (const char* name : {"easting", "x", "longest", ""}) {
        EXPECT_FALSE(NamesLongitude(name)) << name;
    }
    EXPECT_TRUE(NamesLatitude("LATITUDE"));
    EXPECT_FALSE(NamesLatitude("plateau"));
    EXPECT_FALSE(CoordinatesAreGeographic(source, "easting", "northing"));

    // A layer's own coordinate system decides, whatever its fields are called.
    TelemetrySource layer;
    layer.layer = true;
    OGRSpatialReference utm;
    utm.importFromEPSG(32632);
    char* wkt = nullptr;
    utm.exportToWkt(&wkt);
    layer.crs_wkt = wkt;
    CPLFree(wkt);
    layer.metres = true;
    layer.table.fields = {"location-long", "location-lat", std::string(kPointX),
                          std::string(kPointY)};
    EXPECT_EQ(SuggestedFields(layer).x, "location-long");
    EXPECT_FALSE(CoordinatesAreGeographic(layer, "location-long", "location-lat"));
    EXPECT_THAT(DescribeSourceCrs(layer, kPointX, kPointY), HasSubstr("EPSG:32632"));
    layer.table.fields = {"id", std::string(kPointX), std::string(kPointY)};
    EXPECT_EQ(SuggestedFields(layer).x, kPointX);
}

TEST(TelemetryChoices, EpsgCodesAsTyped) {
    EXPECT_EQ(ParseEpsgChoice(kAutomaticUtm), 0);
    EXPECT_EQ(ParseEpsgChoice("  "), 0);
    EXPECT_EQ(ParseEpsgChoice("EPSG:32611"), 32611);
    EXPECT_EQ(ParseEpsgChoice("epsg 3005 "), 3005);
    EXPECT_EQ(ParseEpsgChoice("2056"), 2056);
    for (const char* bad : {"UTM 11", "EPSG:", "EPSG:-5", "32611x", "0", "EPSG:99999999999"}) {
        EXPECT_FALSE(ParseEpsgChoice(bad).has_value()) << bad;
    }
}

TEST(SplitTelemetry, KeepsTheFirstOfTwoFixesAtOneTimeWhenAskedAndListsEmptyAnimals) {
    const TelemetrySource source = TwoCollars();
    TelemetryFields fields = SuggestedFields(source);
    const auto refused = SplitTelemetry(source.table, fields);
    EXPECT_EQ(refused.status.error,
              "collars 2021.csv: lines 3 and 4 give animal \"Ana / 1\" two fixes at the same "
              "time.");

    fields.keep_first_duplicate = true;
    fields.weight = "weight";
    const auto split = SplitTelemetry(source.table, fields);
    ASSERT_TRUE(split.Ok()) << split.status.error;
    EXPECT_TRUE(split.value.timestamps);
    EXPECT_EQ(split.value.dropped, 1);
    EXPECT_EQ(split.value.skipped, 1);
    ASSERT_EQ(split.value.animals.size(), 2U);
    const AnimalFixes& ana = split.value.animals[0];
    EXPECT_EQ(ana.Count(), 2);
    EXPECT_EQ(ana.dropped, 1);
    EXPECT_EQ(ana.fixes(0, 4), 1.0); // the first in the table of the two at 00:00
    EXPECT_EQ(ana.fixes(1, 4), 3.0);
    EXPECT_EQ(ana.fixes(1, 2), 20.0);
    const AnimalFixes& ben = split.value.animals[1];
    EXPECT_EQ(ben.id, "Ben");
    EXPECT_EQ(ben.Count(), 0);
    EXPECT_EQ(ben.skipped, 1);
    EXPECT_EQ(ben.epsg, 0);

    // A geographic system other than WGS 84 moves the projected points.
    TelemetryFields ed50 = fields;
    OGRSpatialReference european;
    european.importFromEPSG(4230); // ED50, about 100 m from WGS 84 in the Alps
    char* wkt = nullptr;
    european.exportToWkt(&wkt);
    ed50.source_wkt = wkt;
    CPLFree(wkt);
    const auto moved = SplitTelemetry(source.table, ed50);
    ASSERT_TRUE(moved.Ok()) << moved.status.error;
    const double shift = std::hypot(moved.value.animals[0].fixes(0, 0) - ana.fixes(0, 0),
                                    moved.value.animals[0].fixes(0, 1) - ana.fixes(0, 1));
    EXPECT_GT(shift, 1.0);
    EXPECT_LT(shift, 500.0);
    ed50.source_wkt = "not a coordinate system";
    EXPECT_THAT(SplitTelemetry(source.table, ed50).status.error,
                HasSubstr("not a known longitude/latitude system"));

    // Projected coordinates are kept; a typed code says what system they are in.
    TelemetryFields projected = fields;
    projected.geographic = false;
    projected.target_epsg = 2056;
    const auto kept = SplitTelemetry(source.table, projected);
    ASSERT_TRUE(kept.Ok());
    EXPECT_EQ(kept.value.animals[0].fixes(0, 0), 7.00);
    EXPECT_EQ(kept.value.animals[0].epsg, 2056);
}

TEST(AnimalLoadedFile, CarriesTheColumnsOfItsPurposeTheSystemAndTheRoot) {
    const TelemetrySource source = TwoCollars();
    TelemetryFields fields = SuggestedFields(source);
    fields.keep_first_duplicate = true;
    fields.weight = "weight";
    fields.constant_error = 12.5;
    const auto split = SplitTelemetry(source.table, fields);
    ASSERT_TRUE(split.Ok());
    const AnimalFixes& ana = split.value.animals[0];

    const auto bridge =
        AnimalLoadedFile(source, ana, TextFilePurpose::BridgeLocations, false, "minutes");
    ASSERT_TRUE(bridge.Ok()) << bridge.status.error;
    EXPECT_EQ(bridge.value.values.Cols(), 4);
    EXPECT_EQ(bridge.value.values(1, 2), 20.0);
    EXPECT_EQ(bridge.value.values(1, 3), 12.5);
    EXPECT_EQ(bridge.value.time_unit, "minutes");
    EXPECT_EQ(bridge.value.root, "collars 2021_Ana___1");
    EXPECT_EQ(bridge.value.path, source.path);
    EXPECT_EQ(bridge.value.epsg, 32632);
    EXPECT_TRUE(bridge.value.projection_in_metres);
    OGRSpatialReference srs;
    ASSERT_EQ(srs.importFromWkt(bridge.value.projection_wkt.c_str()), OGRERR_NONE);
    EXPECT_STREQ(srs.GetAuthorityCode(nullptr), "32632");

    const auto weighted =
        AnimalLoadedFile(source, ana, TextFilePurpose::IndependentLocations, true, "minutes");
    ASSERT_TRUE(weighted.Ok());
    EXPECT_EQ(weighted.value.values.Cols(), 3);
    EXPECT_TRUE(weighted.value.weighted);
    EXPECT_EQ(weighted.value.values(0, 2), 1.0);
    EXPECT_TRUE(weighted.value.time_unit.empty());
    const auto points = AnimalLoadedFile(source, ana, TextFilePurpose::UserPoints, true, "");
    ASSERT_TRUE(points.Ok());
    EXPECT_EQ(points.value.values.Cols(), 2);

    EXPECT_EQ(AnimalLoadedFile(source, split.value.animals[1],
                               TextFilePurpose::IndependentLocations, false, "")
                  .status.error,
              "Animal \"Ben\" has no fixes with coordinates; choose another animal.");
}

TEST(OpenTelemetry, ReadsTextTablesAndLayersAndRefusesEmptyOnes) {
    testing::TempDir dir;
    EXPECT_TRUE(IsTextTable("a.CSV"));
    EXPECT_TRUE(IsTextTable("a.tsv"));
    EXPECT_FALSE(IsTextTable("a.gpkg"));
    const auto table = OpenTelemetry(dir.Write("two.csv", kTwoCollars));
    ASSERT_TRUE(table.Ok()) << table.status.error;
    EXPECT_FALSE(table.value.layer);
    EXPECT_EQ(table.value.table.rows.size(), 4U);
    EXPECT_EQ(OpenTelemetry(dir.Write("empty.csv", "timestamp,x,y\n")).status.error,
              "empty.csv has no rows of fixes.");
    EXPECT_FALSE(OpenTelemetry(dir.path() / "missing.csv").Ok());

    const auto layer =
        OpenTelemetry(std::string(RANVIK_EXAMPLES_DIR) + "/telemetry/movebank_elk.gpkg");
    ASSERT_TRUE(layer.Ok()) << layer.status.error;
    EXPECT_TRUE(layer.value.layer);
    EXPECT_TRUE(layer.value.geographic);
    const TelemetryFields fields = SuggestedFields(layer.value);
    EXPECT_EQ(fields.x, kPointX);
    EXPECT_TRUE(fields.geographic);
    EXPECT_EQ(fields.animal, "individual-local-identifier");
    EXPECT_THAT(DescribeSourceCrs(layer.value, fields.x, fields.y),
                HasSubstr("longitude/latitude"));
}

} // namespace
} // namespace ranvik
