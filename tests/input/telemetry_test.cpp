#include "input/telemetry.h"

#include "input/shape_layer.h"
#include "support/locations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ranvik {
namespace {

using ::testing::HasSubstr;

TEST(ParseTimestamp, ReadsMovebankAndIsoFormsExactlyToTheSecond) {
    // By hand: 1970-01-02 is 86400 s after the epoch; 2000-03-01 is 11017 days after it.
    EXPECT_EQ(ParseTimestamp("1970-01-02 00:00:00"), 86400.0);
    EXPECT_EQ(ParseTimestamp("2000-03-01 00:00:00.000"), 11017.0 * 86400);
    // 2021-06-01 is 18779 days after the epoch.
    const double movebank = 18779.0 * 86400 + 18 * 3600 + 35 * 60;
    EXPECT_EQ(ParseTimestamp("2021-06-01 18:35:00.000"), movebank);
    EXPECT_EQ(ParseTimestamp("2021-06-01T18:35:00Z"), movebank);
    EXPECT_EQ(ParseTimestamp("2021-06-01T18:35:00.250Z"), movebank + 0.25);
    EXPECT_EQ(ParseTimestamp("2021-06-01T20:35:00+02:00"), movebank);
    EXPECT_EQ(ParseTimestamp("2021-06-01T13:05:00-0530"), movebank);
    EXPECT_EQ(ParseTimestamp(" 2021-06-01 18:35:00 "), movebank);
    EXPECT_EQ(ParseTimestamp("2021/06/01 18:35:00+00"), movebank); // a GDAL date field
    // A leap day exists in 2020 and not in 2021.
    EXPECT_TRUE(ParseTimestamp("2020-02-29 12:00:00").has_value());
    // R leaves out the seconds of a column whose times all fall on whole minutes, and the time
    // of a column whose times all fall on midnights.
    EXPECT_EQ(ParseTimestamp("2021-06-01 18:35"), movebank);
    EXPECT_EQ(ParseTimestamp("2021-06-01"), 18779.0 * 86400);
    for (const char* bad :
         {"2021-02-29 12:00:00", "2021-06-01 25:00:00", "2021-13-01 00:00:00",
          "2021-06-01 18:35:00.", "2021-06-01 18:35:00 UTC", "18:35:00 2021-06-01",
          "2021/06-01 18:35:00", "", "N/A", "2021-06-01 18:3", "2021-06-01 18:35.5",
          "2021-06-01 18:35:0", "2021-06-01Z"}) {
        EXPECT_FALSE(ParseTimestamp(bad).has_value()) << bad;
    }
}

TEST(ParseTelemetryText, ReadsQuotedFieldsAnyDelimiterAndAByteOrderMark) {
    const auto table = ParseTelemetryText("\xEF\xBB\xBF"
                                          "id;name;x\r\n"
                                          "1;\"Elk; \"\"Big\"\" one\";3.5\r\n"
                                          "\r\n"
                                          "2;\"two\nlines\";4\r\n"
                                          "3;short\n",
                                          "collar.csv");
    ASSERT_TRUE(table.Ok()) << table.status.error;
    EXPECT_EQ(table.value.fields, (std::vector<std::string>{"id", "name", "x"}));
    ASSERT_EQ(table.value.rows.size(), 3U);
    EXPECT_EQ(table.value.rows[0][1], "Elk; \"Big\" one");
    EXPECT_EQ(table.value.rows[1][1], "two\nlines");
    EXPECT_EQ(table.value.rows[2], (std::vector<std::string>{"3", "short", ""}));
    EXPECT_EQ(table.value.lines, (std::vector<std::int64_t>{2, 4, 6}));
    EXPECT_EQ(table.value.FieldIndex("x"), 2);
    EXPECT_EQ(table.value.FieldIndex("y"), -1);
}

TEST(ParseTelemetryText, RefusesEmptyFilesOpenQuotesAndRowsLongerThanTheHeader) {
    EXPECT_THAT(ParseTelemetryText("\n\n", "a.csv").status.error, HasSubstr("a.csv is empty"));
    EXPECT_THAT(ParseTelemetryText("a,b\n1,\"2\n", "b.csv").status.error,
                HasSubstr("b.csv, line 2: a quoted field is never closed"));
    EXPECT_THAT(ParseTelemetryText("a,b\n1,2\n1,2,3\n", "c.csv").status.error,
                HasSubstr("c.csv, line 3: 3 fields, but the header names 2"));
}

TEST(UtmEpsg, NumbersZonesFromTheAntimeridianEastwardsAndSplitsAtTheEquator) {
    EXPECT_EQ(UtmEpsg(9.0, 45.0), 32632);
    EXPECT_EQ(UtmEpsg(-70.0, -33.0), 32719);
    EXPECT_EQ(UtmEpsg(-180.0, 0.0), 32601);
    EXPECT_EQ(UtmEpsg(179.99, 0.0), 32660);
    EXPECT_EQ(UtmEpsg(180.0, 10.0), 32660);
}

TEST(ProjectLongLat, GivesTheTransverseMercatorValuesOnTheCentralMeridian) {
    // On a zone's central meridian x is the false easting, and y is 0.9996 times the meridian
    // arc from the equator: 4984944.378 m at 45 degrees on the WGS 84 ellipsoid.
    Matrix points = testing::Locations({{9.0, 0.0}, {9.0, 45.0}, {10.0, 45.0}});
    ASSERT_TRUE(ProjectLongLat(points, 32632).Ok());
    EXPECT_NEAR(points(0, 0), 500000.0, 1e-6);
    EXPECT_NEAR(points(0, 1), 0.0, 1e-6);
    EXPECT_NEAR(points(1, 0), 500000.0, 1e-6);
    EXPECT_NEAR(points(1, 1), 0.9996 * 4984944.378, 0.01);
    EXPECT_GT(points(2, 0), 500000.0 + 78000.0); // one degree east at 45 N is about 78.8 km
    EXPECT_LT(points(2, 0), 500000.0 + 79500.0);

    Matrix again(1, 2);
    EXPECT_THAT(ProjectLongLat(again, 4326).error, HasSubstr("not a projected"));
    EXPECT_THAT(ProjectLongLat(again, 999999).error, HasSubstr("not known"));
}

// Two animals, rows interleaved and out of time order, with failed fixes (empty coordinates).
constexpr std::string_view kMovebank =
    "event-id,timestamp,location-long,location-lat,individual-local-identifier,error\n"
    "1,2021-06-01 18:35:00.000,9.01,45.02,elk-1,12\n"
    "2,2021-06-01 18:05:00.000,9.02,45.01,elk-2,8\n"
    "3,2021-06-01 18:00:00.000,9.00,45.00,elk-1,10\n"
    "4,2021-06-01 18:20:00.000,,,elk-1,\n"
    "5,2021-06-01 18:50:00.000,9.03,45.03,elk-2,9\n"
    "6,2021-06-01 18:40:00.000,,,elk-2,\n";

TelemetryFields MovebankFields() {
    TelemetryFields fields;
    fields.x = std::string(kMovebankLongitude);
    fields.y = std::string(kMovebankLatitude);
    fields.time = std::string(kMovebankTime);
    fields.animal = std::string(kMovebankAnimal);
    fields.error = "error";
    return fields;
}

TEST(SplitTelemetry, SplitsAnimalsSkipsFailedFixesSortsByTimeAndProjects) {
    const auto table = ParseTelemetryText(kMovebank, "movebank.csv");
    ASSERT_TRUE(table.Ok());
    const auto split = SplitTelemetry(table.value, MovebankFields());
    ASSERT_TRUE(split.Ok()) << split.status.error;
    EXPECT_EQ(split.value.left_out.no_coordinates, 2);
    ASSERT_EQ(split.value.animals.size(), 2U);
    const AnimalFixes& elk1 = split.value.animals[0];
    EXPECT_EQ(elk1.id, "elk-1");
    EXPECT_EQ(elk1.epsg, 32632);
    ASSERT_EQ(elk1.Count(), 2);
    // In time order, minutes since the first fix, with their errors.
    EXPECT_EQ(elk1.fixes(0, 2), 0.0);
    EXPECT_EQ(elk1.fixes(1, 2), 35.0);
    EXPECT_EQ(elk1.fixes(0, 3), 10.0);
    EXPECT_EQ(elk1.time_span, 35.0);
    // The same pairs projected directly.
    Matrix expected = testing::Locations({{9.00, 45.00}, {9.01, 45.02}});
    ASSERT_TRUE(ProjectLongLat(expected, 32632).Ok());
    for (std::int32_t k = 0; k < 2; ++k) {
        EXPECT_EQ(elk1.fixes(k, 0), expected(k, 0));
        EXPECT_EQ(elk1.fixes(k, 1), expected(k, 1));
    }
    const AnimalFixes& elk2 = split.value.animals[1];
    EXPECT_EQ(elk2.id, "elk-2");
    EXPECT_EQ(elk2.Count(), 2);
    EXPECT_EQ(elk2.fixes(1, 2), 45.0);

    // Seconds instead of minutes, and a constant error when no field gives one.
    TelemetryFields in_seconds = MovebankFields();
    in_seconds.seconds_per_unit = 1.0;
    in_seconds.error.clear();
    in_seconds.constant_error = 25.0;
    const auto seconds = SplitTelemetry(table.value, in_seconds);
    ASSERT_TRUE(seconds.Ok());
    EXPECT_EQ(seconds.value.animals[0].fixes(1, 2), 35.0 * 60);
    EXPECT_EQ(seconds.value.animals[0].fixes(1, 3), 25.0);
}

TEST(SplitTelemetry, ExplainsEveryRowItCannotTake) {
    const auto refused = [](std::string_view text, const TelemetryFields& fields) {
        const auto table = ParseTelemetryText(text, "t.csv");
        return table.Ok() ? SplitTelemetry(table.value, fields).status.error : table.status.error;
    };
    const std::string header =
        "timestamp,location-long,location-lat,individual-local-identifier,error\n";
    for (const auto& [rows, says] :
         {std::pair{header + "2021-06-01 18:00:00,9,45,a,1\n2021-06-01 18:00:00.000,9.1,45,a,1\n",
                    "lines 2 and 3 give animal \"a\" two fixes at the same time"},
          {header + "yesterday,9,45,a,1\n",
           "t.csv, line 2: the time \"yesterday\" is not a timestamp"},
          {header + "2021-06-01 18:00:00,9,95,a,1\n", "not on the globe"},
          {std::string("timestamp,lon,lat\n2021-06-01 18:00:00,9,45\n"),
           "no field named \"location-long\""},
          {header + "2021-06-01 18:00:00,9,forty-five,a,1\n",
           "line 2: the latitude \"forty-five\" is not a number"}}) {
        EXPECT_THAT(refused(rows, MovebankFields()), HasSubstr(says));
    }
    // A projected table with numeric times passes them through as they are.
    TelemetryFields projected;
    projected.x = "x";
    projected.y = "y";
    projected.time = "t";
    projected.geographic = false;
    const auto table = ParseTelemetryText("x,y,t\n557000,5424000,30\n557100,5424050,60\n", "p.csv");
    ASSERT_TRUE(table.Ok());
    const auto split = SplitTelemetry(table.value, projected);
    ASSERT_TRUE(split.Ok());
    EXPECT_EQ(split.value.animals[0].fixes(1, 2), 60.0);
    EXPECT_EQ(split.value.animals[0].fixes(1, 0), 557100.0);
    EXPECT_EQ(split.value.animals[0].epsg, 0);
}

// One animal with a row for every reason a row is not a fix, and the fixes that stay.
constexpr std::string_view kGaps =
    "timestamp,location-long,location-lat,individual-local-identifier,error,visible,"
    "manually-marked-outlier\n"
    "2021-06-01 18:00:00,9.00,45.00,a,10,true,\n"       // a fix
    "2021-06-01 18:10:00,NA,NA,a,10,true,\n"            // failed: NA
    "2021-06-01 18:20:00,9.01,null,a,10,true,\n"        // failed: one coordinate missing
    "NA,9.02,45.02,a,10,true,\n"                        // no time
    "2021-06-01 18:40:00,9.03,45.03,a,NaN,true,\n"      // no error
    "2021-06-01 18:50:00,9.04,45.04,a,10,false,\n"      // not visible
    "2021-06-01 19:00:00,9.05,45.05,a,10,true,TRUE\n"   // marked as an outlier
    "2021-06-01 19:10:00,9.06,45.06,a,10,TRUE,0\n"      // a fix (the marks say no)
    "2021-06-01 19:10:00,9.07,45.07,a,10,true,false\n"; // a fix at a time already taken

TEST(SplitTelemetry, CountsEachReasonARowIsNotAFixOnItsOwn) {
    const auto table = ParseTelemetryText(kGaps, "gaps.csv");
    ASSERT_TRUE(table.Ok()) << table.status.error;
    TelemetryFields fields = MovebankFields();
    fields.keep_first_duplicate = true;
    const auto split = SplitTelemetry(table.value, fields);
    ASSERT_TRUE(split.Ok()) << split.status.error;
    LeftOut expected;
    expected.no_coordinates = 2;
    expected.no_time = 1;
    expected.no_error = 1;
    expected.outliers = 2;
    expected.duplicates = 1;
    EXPECT_EQ(split.value.left_out, expected);
    EXPECT_EQ(split.value.animals[0].left_out, expected);
    EXPECT_EQ(split.value.animals[0].Count(), 2);
    EXPECT_EQ(split.value.error_filled, 0);
    EXPECT_EQ(LeftOutSentences(expected),
              (std::vector<std::string>{"2 fixes marked as outliers were left out.",
                                        "2 rows without coordinates (failed fixes) were left out.",
                                        "1 row without a time was left out.",
                                        "1 fix without a location error was left out.",
                                        "1 fix at a time its animal already had was left out."}));

    // A constant error stands in for a missing one; outliers are kept when asked.
    fields.constant_error = 25.0;
    fields.keep_outliers = true;
    const auto kept = SplitTelemetry(table.value, fields);
    ASSERT_TRUE(kept.Ok()) << kept.status.error;
    EXPECT_EQ(kept.value.left_out.no_error, 0);
    EXPECT_EQ(kept.value.left_out.outliers, 0);
    EXPECT_EQ(kept.value.error_filled, 1);
    const AnimalFixes& a = kept.value.animals[0];
    ASSERT_EQ(a.Count(), 5);
    EXPECT_EQ(a.fixes(1, 2), 40.0); // the fix without an error, 40 minutes after the first
    EXPECT_EQ(a.fixes(1, 3), 25.0);
    EXPECT_EQ(a.fixes(2, 3), 10.0);

    // Independent locations read no time and no error: only the coordinates and flags count.
    TelemetryFields independent = MovebankFields();
    independent.time.clear();
    independent.error.clear();
    const auto locations = SplitTelemetry(table.value, independent);
    ASSERT_TRUE(locations.Ok()) << locations.status.error;
    EXPECT_EQ(locations.value.left_out.Total(), 4);
    EXPECT_EQ(locations.value.animals[0].Count(), 5);
}

TEST(SplitTelemetry, CoordinatesOfUnstatedSystemThatFitLongitudeLatitudeAreRefused) {
    TelemetryFields fields;
    fields.x = "px";
    fields.y = "py";
    fields.geographic = false;
    fields.unstated_system = true;
    const auto degrees = ParseTelemetryText("px,py\n9.00,45.00\n9.01,45.02\nNA,NA\n", "d.csv");
    ASSERT_TRUE(degrees.Ok());
    EXPECT_TRUE(NeedsSourceSystem(degrees.value, fields));
    const auto refused = SplitTelemetry(degrees.value, fields);
    EXPECT_EQ(refused.status.error,
              "d.csv: every fix lies within -180..180 and -90..90, so the coordinates may be "
              "longitude/latitude or metres on a local grid, and nothing says which. Say which: "
              "EPSG:4326 for longitude/latitude, metres for coordinates already in metres, or "
              "EPSG:<code> for any other system.");
    EXPECT_THAT(AskSourceSystem("Animal \"a\"", "Say which", "--source-crs "),
                HasSubstr("--source-crs EPSG:4326 for longitude/latitude, --source-crs metres "
                          "for coordinates already in metres, or --source-crs EPSG:<code>"));

    // One fix beyond longitude/latitude settles it: metres.
    const auto metres = ParseTelemetryText("px,py\n9.00,45.00\n557100.5,5424050\n", "m.csv");
    ASSERT_TRUE(metres.Ok());
    EXPECT_FALSE(NeedsSourceSystem(metres.value, fields));
    const auto split = SplitTelemetry(metres.value, fields);
    ASSERT_TRUE(split.Ok()) << split.status.error;
    EXPECT_EQ(split.value.animals[0].fixes(1, 0), 557100.5);

    // Once answered the same values are taken as they are.
    fields.unstated_system = false;
    EXPECT_FALSE(NeedsSourceSystem(degrees.value, fields));
    const auto answered = SplitTelemetry(degrees.value, fields);
    ASSERT_TRUE(answered.Ok());
    EXPECT_EQ(answered.value.animals[0].fixes(1, 1), 45.02);
}

// The sample Movebank export and its GeoPackage twin, a point layer in longitude/latitude whose
// failed fixes have no geometry, split into the same three animals to the bit.
TEST(TelemetryExamples, TheMovebankTableAndItsGeoPackageGiveTheSameFixes) {
    const std::filesystem::path folder = std::filesystem::path(RANVIK_EXAMPLES_DIR) / "telemetry";
    const auto table = ReadTelemetryText(folder / "movebank_elk.csv");
    ASSERT_TRUE(table.Ok()) << table.status.error;
    const auto csv = SplitTelemetry(table.value, MovebankFields());
    ASSERT_FALSE(csv.Ok()) << "the table has no \"error\" field";
    TelemetryFields fields = MovebankFields();
    fields.error.clear();
    fields.constant_error = 15.0;
    const auto from_csv = SplitTelemetry(table.value, fields);
    ASSERT_TRUE(from_csv.Ok()) << from_csv.status.error;
    EXPECT_EQ(from_csv.value.left_out.no_coordinates, 34);
    ASSERT_EQ(from_csv.value.animals.size(), 3U);
    EXPECT_EQ(from_csv.value.animals[0].id, "elk-A");
    EXPECT_EQ(from_csv.value.animals[0].epsg, 32611);

    const auto layer = OpenShapeLayer(folder / "movebank_elk.gpkg");
    ASSERT_TRUE(layer.Ok()) << layer.status.error;
    EXPECT_TRUE(IsGeographic(layer.value));
    fields.x = std::string(kPointX);
    fields.y = std::string(kPointY);
    const auto from_gpkg = SplitTelemetry(TelemetryTableOfLayer(layer.value), fields);
    ASSERT_TRUE(from_gpkg.Ok()) << from_gpkg.status.error;
    EXPECT_EQ(from_gpkg.value.left_out.no_coordinates, 34);
    ASSERT_EQ(from_gpkg.value.animals.size(), 3U);
    for (std::size_t a = 0; a < 3; ++a) {
        EXPECT_EQ(from_gpkg.value.animals[a].fixes, from_csv.value.animals[a].fixes) << a;
    }
}

} // namespace
} // namespace ranvik
