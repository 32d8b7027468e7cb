#include "input/field_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ranvik {
namespace {

TEST(FieldNames, EverySpellingOfMovebankNamesReadsAlike) {
    for (const char* name : {"location-long", "location.long", "location_long", "Location.Long",
                             "location:long", "LOCATION-LONG", " location long "}) {
        EXPECT_EQ(NormalizedFieldName(name), "location-long") << name;
        EXPECT_TRUE(NamesLongitude(name)) << name;
    }
    for (const char* name :
         {"eobs:horizontal-accuracy-estimate", "eobs.horizontal.accuracy.estimate",
          "eobs_horizontal_accuracy_estimate"}) {
        EXPECT_EQ(NormalizedFieldName(name), "eobs-horizontal-accuracy-estimate") << name;
    }
    // Units and decorations in brackets go, and so does a degree sign.
    EXPECT_EQ(NormalizedFieldName("Longitude [°]"), "longitude");
    EXPECT_EQ(NormalizedFieldName("Latitude(deg)"), "latitude");
    EXPECT_EQ(NormalizedFieldName("Height above ellipsoid (m) [WGS84]"), "height-above-ellipsoid");
    EXPECT_EQ(NormalizedFieldName(""), "");
    EXPECT_EQ(NormalizedFieldName("(point x)"), "");
}

TEST(FieldNames, VendorNamesSayWhatTheyHold) {
    for (const char* name :
         {"Longitude", "LON", "long", "lng", "Longitude [°]", "GPS Longitude", "location.long"}) {
        EXPECT_TRUE(NamesLongitude(name)) << name;
        EXPECT_FALSE(NamesLatitude(name)) << name;
    }
    for (const char* name : {"Latitude", "lat", "Latitude(deg)", "location_lat"}) {
        EXPECT_TRUE(NamesLatitude(name)) << name;
    }
    for (const char* name : {"easting", "x", "longest", "", "location-longitude-ish"}) {
        EXPECT_FALSE(NamesLongitude(name)) << name;
    }
    EXPECT_FALSE(NamesLatitude("plateau"));
    EXPECT_TRUE(NamesEasting("Easting"));
    EXPECT_TRUE(NamesEasting("utm.easting"));
    EXPECT_TRUE(NamesNorthing("UTM_Northing [m]"));
    EXPECT_TRUE(NamesPlainX("X"));
    EXPECT_TRUE(NamesPlainY("y (m)"));
    EXPECT_FALSE(NamesPlainX("px"));
    EXPECT_TRUE(NamesVisible("Visible"));
    EXPECT_TRUE(NamesOutlierMark("manually.marked.outlier"));
}

TEST(FieldNames, RolesAreFoundInOrderOfPreferenceAndNeverInAFieldWithoutAName) {
    const std::vector<std::string> r_table{"",
                                           "tag.local.identifier",
                                           "individual.local.identifier",
                                           "timestamp",
                                           "location.long",
                                           "location.lat",
                                           "gps.horizontal.accuracy.estimate"};
    EXPECT_EQ(FindField(r_table, FieldRole::Animal), "individual.local.identifier");
    EXPECT_EQ(FindField(r_table, FieldRole::Time), "timestamp");
    EXPECT_EQ(FindField(r_table, FieldRole::LocationError), "gps.horizontal.accuracy.estimate");

    const std::vector<std::string> tags{"", "Tag-Local-Identifier", "Date Time"};
    EXPECT_EQ(FindField(tags, FieldRole::Animal), "Tag-Local-Identifier");
    EXPECT_EQ(FindField(tags, FieldRole::Time), "Date Time");
    EXPECT_EQ(FindField(tags, FieldRole::LocationError), "");

    // R's row numbers have an empty name, which normalises like an unnamed decoration: never
    // an animal, however the search goes.
    const std::vector<std::string> unnamed{"", "(x)"};
    EXPECT_EQ(FindField(unnamed, FieldRole::Animal), "");
}

TEST(FieldNames, MissingValuesAndFlagsAreReadAsTablesWriteThem) {
    for (const char* missing : {"", "  ", "NA", "na", "NaN", "nan", "NULL", "null", "-", "N/A"}) {
        EXPECT_TRUE(IsMissingValue(missing)) << missing;
    }
    for (const char* value : {"0", "-1", "12.5", "NAN5", "--", "none?"}) {
        EXPECT_FALSE(IsMissingValue(value)) << value;
    }
    for (const char* yes : {"true", "TRUE", "True", "1", " true "}) {
        EXPECT_TRUE(IsTrueFlag(yes)) << yes;
        EXPECT_FALSE(IsFalseFlag(yes)) << yes;
    }
    for (const char* no : {"false", "FALSE", "0"}) {
        EXPECT_TRUE(IsFalseFlag(no)) << no;
        EXPECT_FALSE(IsTrueFlag(no)) << no;
    }
    EXPECT_FALSE(IsTrueFlag(""));
    EXPECT_FALSE(IsFalseFlag(""));
}

} // namespace
} // namespace ranvik
