#include "input/telemetry_loading.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ogr_spatialref.h>

#include <optional>
#include <string>
#include <vector>

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

// The source of a table of `text` opened from `path`.
TelemetrySource Source(std::string_view text, const std::filesystem::path& path) {
    TelemetrySource source;
    source.path = path;
    auto table = ParseTelemetryText(text, path.filename().string());
    EXPECT_TRUE(table.Ok()) << table.status.error;
    source.table = std::move(table.value);
    return source;
}

TelemetrySource TwoCollars() {
    return Source(kTwoCollars, "/data/collars 2021.csv");
}

// A suggestion's x, y, time, animal and error fields.
std::vector<std::string> Named(const TelemetryFields& f) {
    return {f.x, f.y, f.time, f.animal, f.error};
}

TEST(TelemetryChoices, MovebankNamesAndLongitudeLatitudeAreRecognised) {
    const TelemetrySource source = TwoCollars();
    const TelemetryFields fields = SuggestedFields(source);
    EXPECT_EQ(Named(fields), (std::vector<std::string>{"location-long", "location-lat", "timestamp",
                                                       "individual-local-identifier", ""}));
    EXPECT_TRUE(fields.geographic);
    EXPECT_EQ(DescribeSourceCrs(source, fields.x, fields.y),
              "WGS 84 longitude/latitude (EPSG:4326)");

    using Says = std::pair<const char*, bool>;
    for (const auto& [name, is] :
         {Says{"Longitude", true}, Says{"LON", true}, Says{"long", true}, Says{"lng", true},
          Says{"location-long", true}, Says{"easting", false}, Says{"x", false},
          Says{"longest", false}, Says{"", false}}) {
        EXPECT_EQ(NamesLongitude(name), is) << name;
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

// A Movebank study as Movebank writes it, and the same study as R's write.csv writes it: the
// row numbers first under an empty name, dotted names, NA for failed fixes, every text quoted
// and times without a fraction.
constexpr std::string_view kHyphenated =
    "event-id,visible,timestamp,location-long,location-lat,individual-local-identifier\n"
    "1,true,2021-06-01 00:30:00.000,-115.51,49.02,elk-A\n"
    "2,true,2021-06-01 00:00:00.000,-115.50,49.01,elk-A\n"
    "3,true,2021-06-01 00:10:00.000,,,elk-B\n"
    "4,true,2021-06-01 00:40:00.000,-115.47,49.04,elk-B\n"
    "5,false,2021-06-01 01:00:00.000,-115.40,49.00,elk-A\n"
    "6,true,2021-06-01 01:10:00.000,-115.46,49.05,elk-B\n";
constexpr std::string_view kWrittenByR =
    "\"\",\"event.id\",\"visible\",\"timestamp\",\"location.long\",\"location.lat\","
    "\"individual.local.identifier\"\n"
    "\"1\",1,TRUE,\"2021-06-01 00:30:00\",-115.51,49.02,\"elk-A\"\n"
    "\"2\",2,TRUE,\"2021-06-01 00:00:00\",-115.5,49.01,\"elk-A\"\n"
    "\"3\",3,TRUE,\"2021-06-01 00:10:00\",NA,NA,\"elk-B\"\n"
    "\"4\",4,TRUE,\"2021-06-01 00:40:00\",-115.47,49.04,\"elk-B\"\n"
    "\"5\",5,FALSE,\"2021-06-01 01:00:00\",-115.4,49,\"elk-A\"\n"
    "\"6\",6,TRUE,\"2021-06-01 01:10:00\",-115.46,49.05,\"elk-B\"\n";

TEST(TelemetryChoices, ATableWrittenByRGivesTheFixesOfItsHyphenatedTwin) {
    std::vector<TelemetrySplit> splits;
    for (const std::string_view text : {kHyphenated, kWrittenByR}) {
        const TelemetrySource source = Source(text, "study.csv");
        TelemetryFields fields = SuggestedFields(source);
        std::vector<std::string> named = Named(fields);
        for (std::string& name : named) {
            name = NormalizedFieldName(name);
        }
        EXPECT_EQ(named, (std::vector<std::string>{"location-long", "location-lat", "timestamp",
                                                   "individual-local-identifier", ""}));
        EXPECT_TRUE(fields.geographic && !fields.unstated_system);
        auto split = SplitTelemetry(source.table, fields);
        ASSERT_TRUE(split.Ok()) << split.status.error;
        splits.push_back(std::move(split.value));
    }
    const TelemetrySplit& movebank = splits[0];
    const TelemetrySplit& r = splits[1];
    EXPECT_EQ(r.left_out, movebank.left_out);
    EXPECT_EQ(r.left_out.no_coordinates, 1);
    EXPECT_EQ(r.left_out.outliers, 1);
    ASSERT_EQ(r.animals.size(), movebank.animals.size());
    for (std::size_t a = 0; a < r.animals.size(); ++a) {
        EXPECT_EQ(r.animals[a].id, movebank.animals[a].id);
        EXPECT_EQ(r.animals[a].epsg, movebank.animals[a].epsg);
        EXPECT_EQ(r.animals[a].first_time, movebank.animals[a].first_time);
        EXPECT_EQ(r.animals[a].fixes, movebank.animals[a].fixes);
    }
    EXPECT_EQ(r.animals[0].Count(), 2);
}

TEST(TelemetryChoices, VendorNamesAreRecognisedAndNamesThatSayNothingLeaveTheSystemUnstated) {
    const auto suggested = [](std::string_view header) {
        TelemetrySource source;
        source.table.fields.clear();
        auto table = ParseTelemetryText(std::string(header) + "\n1,2,3\n", "v.csv");
        EXPECT_TRUE(table.Ok());
        source.table = std::move(table.value);
        return SuggestedFields(source);
    };
    const TelemetryFields vendor = suggested("Date Time,Longitude [°],Latitude(deg)");
    EXPECT_EQ(Named(vendor),
              (std::vector<std::string>{"Longitude [°]", "Latitude(deg)", "Date Time", "", ""}));
    EXPECT_TRUE(vendor.geographic);
    EXPECT_EQ(
        Named(suggested("Lon,Lat,eobs:horizontal-accuracy-estimate")),
        (std::vector<std::string>{"Lon", "Lat", "", "", "eobs:horizontal-accuracy-estimate"}));
    const TelemetryFields projected = suggested("Easting,Northing,animal_id");
    EXPECT_EQ(Named(projected),
              (std::vector<std::string>{"Easting", "Northing", "", "animal_id", ""}));
    EXPECT_FALSE(projected.geographic || projected.unstated_system);
    const TelemetryFields plain = suggested("\"\",X,Y");
    EXPECT_EQ(Named(plain), (std::vector<std::string>{"X", "Y", "", "", ""}));
    EXPECT_FALSE(plain.geographic);
    EXPECT_TRUE(plain.unstated_system);
    const TelemetryFields unknown = suggested("px,py,t");
    EXPECT_TRUE(unknown.x.empty());
}

TEST(TelemetryChoices, TheUsersAnswerSaysWhatTheCoordinatesAreIn) {
    using enum SourceSystem::Kind;
    using Answer = std::pair<const char*, std::optional<SourceSystem>>;
    for (const auto& [text, system] :
         {Answer{"", SourceSystem{}}, Answer{" Metres ", SourceSystem{Metres, 0}},
          Answer{"meters", SourceSystem{Metres, 0}}, Answer{"EPSG:4326", SourceSystem{Epsg, 4326}},
          Answer{"32611", SourceSystem{Epsg, 32611}}, Answer{"degrees", {}}, Answer{"EPSG:", {}},
          Answer{"UTM 11", {}}, Answer{"0", {}}}) {
        EXPECT_EQ(ParseSourceSystem(text), system) << text;
    }

    TelemetrySource source;
    TelemetryFields fields;
    fields.x = "px";
    fields.y = "py";
    ASSERT_TRUE(ChooseCoordinateSystem(source, {}, 0, fields).Ok());
    EXPECT_TRUE(fields.unstated_system);
    EXPECT_FALSE(fields.geographic);

    ASSERT_TRUE(ChooseCoordinateSystem(source, {Epsg, 4326}, 32611, fields).Ok());
    EXPECT_TRUE(fields.geographic);
    EXPECT_FALSE(fields.unstated_system);
    EXPECT_EQ(fields.target_epsg, 32611);
    OGRSpatialReference srs;
    ASSERT_EQ(srs.importFromWkt(fields.source_wkt.c_str()), OGRERR_NONE);
    EXPECT_TRUE(srs.IsGeographic());

    ASSERT_TRUE(ChooseCoordinateSystem(source, {Epsg, 32611}, 0, fields).Ok());
    EXPECT_FALSE(fields.geographic);
    EXPECT_EQ(fields.target_epsg, 32611);

    ASSERT_TRUE(ChooseCoordinateSystem(source, {Metres, 0}, 0, fields).Ok());
    EXPECT_FALSE(fields.geographic);
    EXPECT_FALSE(fields.unstated_system);
    EXPECT_EQ(fields.target_epsg, 0);

    // California's state plane zone 3 counts in US survey feet.
    EXPECT_THAT(ChooseCoordinateSystem(source, {Epsg, 2227}, 0, fields).error,
                HasSubstr("not in metres"));
    EXPECT_EQ(ChooseCoordinateSystem(source, {Epsg, 999999}, 0, fields).error,
              "The coordinate system EPSG:999999 is not known.");
}

TEST(TelemetryChoices, EpsgCodesAsTyped) {
    using Typed = std::pair<std::string_view, std::optional<int>>;
    for (const auto& [text, code] :
         {Typed{kAutomaticUtm, 0}, Typed{"  ", 0}, Typed{"EPSG:32611", 32611},
          Typed{"epsg 3005 ", 3005}, Typed{"2056", 2056}, Typed{"UTM 11", {}}, Typed{"EPSG:", {}},
          Typed{"EPSG:-5", {}}, Typed{"32611x", {}}, Typed{"0", {}},
          Typed{"EPSG:99999999999", {}}}) {
        EXPECT_EQ(ParseEpsgChoice(text), code) << text;
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
    EXPECT_EQ(split.value.left_out.duplicates, 1);
    EXPECT_EQ(split.value.left_out.no_coordinates, 1);
    ASSERT_EQ(split.value.animals.size(), 2U);
    const AnimalFixes& ana = split.value.animals[0];
    EXPECT_EQ(ana.Count(), 2);
    EXPECT_EQ(ana.left_out.duplicates, 1);
    EXPECT_EQ(ana.fixes(0, 4), 1.0); // the first in the table of the two at 00:00
    EXPECT_EQ(ana.fixes(1, 4), 3.0);
    EXPECT_EQ(ana.fixes(1, 2), 20.0);
    const AnimalFixes& ben = split.value.animals[1];
    EXPECT_EQ(ben.id, "Ben");
    EXPECT_EQ(ben.Count(), 0);
    EXPECT_EQ(ben.left_out.no_coordinates, 1);
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

TEST(OpenTelemetry, ReadsTextTablesAndRefusesEmptyOnes) {
    testing::TempDir dir;
    EXPECT_TRUE(IsTextTable("a.CSV") && IsTextTable("a.tsv") && !IsTextTable("a.gpkg"));
    const auto table = OpenTelemetry(dir.Write("two.csv", kTwoCollars));
    ASSERT_TRUE(table.Ok()) << table.status.error;
    EXPECT_FALSE(table.value.layer);
    EXPECT_EQ(table.value.table.rows.size(), 4U);
    EXPECT_EQ(OpenTelemetry(dir.Write("empty.csv", "timestamp,x,y\n")).status.error,
              "empty.csv has no rows of fixes.");
    EXPECT_FALSE(OpenTelemetry(dir.path() / "missing.csv").Ok());
}

} // namespace
} // namespace ranvik
