#pragma once

#include "input/field_names.h"
#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// A telemetry table as its file holds it: field names from the header and every data row's
// fields as text, with the file line each row started on (for messages).
struct TelemetryTable {
    std::string name; // the file's name, for messages
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::int64_t> lines;

    // The index of the field of that name, or -1.
    [[nodiscard]] int FieldIndex(std::string_view field) const;
};

// Reads a delimited text table: the first line names the fields; the delimiter is the first
// of comma, semicolon or tab found in that line. Fields may be double-quoted (a doubled quote
// stands for one quote, and a quoted field may hold delimiters and line ends); a UTF-8
// byte-order mark and CR LF line ends are accepted; blank lines are skipped. Fails, naming the
// file and line, on an empty file, a quote left open, or a row with more fields than the
// header.
[[nodiscard]] StatusOr<TelemetryTable> ParseTelemetryText(std::string_view content,
                                                          std::string_view file_name);

// ParseTelemetryText on a file read whole.
[[nodiscard]] StatusOr<TelemetryTable> ReadTelemetryText(const std::filesystem::path& path);

struct ShapeLayer;

// The names under which a layer's point coordinates appear as fields of its table.
inline constexpr std::string_view kPointX = "(point x)";
inline constexpr std::string_view kPointY = "(point y)";

// The records of a vector layer (GeoPackage, shapefile, GeoJSON, ... ) as a telemetry table:
// its fields as text, then the coordinates of each record's point as the fields kPointX and
// kPointY (empty for a record without a point, as for a failed fix).
[[nodiscard]] TelemetryTable TelemetryTableOfLayer(const ShapeLayer& layer);

// True when the layer's coordinate system is geographic (longitude and latitude).
[[nodiscard]] bool IsGeographic(const ShapeLayer& layer);

// Seconds since 1970-01-01 00:00:00 UTC of an ISO 8601 or Movebank timestamp:
// "YYYY-MM-DD hh:mm:ss" (or "YYYY/MM/DD", as GDAL writes date fields) or with "T" between date
// and time, an optional fraction of a second (".250"), and an optional "Z" or offset ("+02:00",
// "-0530", "+00"); without a zone the time is UTC. The seconds may be left out ("hh:mm"), and
// so may the whole time of day at midnight ("YYYY-MM-DD"), as R writes times of a column whose
// times all fall on whole minutes or on midnights.
// Nothing when the text is not such a timestamp or names a day or time that does not exist.
[[nodiscard]] std::optional<double> ParseTimestamp(std::string_view text);

// The fields of a Movebank export, chosen by default when a table has them.
inline constexpr std::string_view kMovebankTime = "timestamp";
inline constexpr std::string_view kMovebankLongitude = "location-long";
inline constexpr std::string_view kMovebankLatitude = "location-lat";
inline constexpr std::string_view kMovebankAnimal = "individual-local-identifier";

// Which fields of a telemetry table hold what, and how to read them.
struct TelemetryFields {
    std::string x;      // easting or longitude
    std::string y;      // northing or latitude
    std::string time;   // a timestamp or a number; empty: no time (independent locations)
    std::string animal; // empty: every row is one animal
    std::string error;  // location error in metres; empty: `constant_error` for every fix
    std::string weight; // location weight (bias-corrected locations); empty: no weights
    // The error of every fix when there is no error field, and of a fix whose error field is
    // empty when there is one. Nothing: 0 without the field; with it, such fixes are left out.
    std::optional<double> constant_error;
    bool geographic = true; // x, y are longitude and latitude in degrees
    std::string source_wkt; // their geographic system; empty: WGS 84
    int target_epsg = 0;    // projected system to use (0: the UTM zone of each animal); for
                         // coordinates that are not geographic, the system they are in (0: unknown)
    // Nothing says what system x and y are in (neither the table, nor their names, nor the
    // user): they are taken as metres unless every fix fits longitude/latitude, which could be
    // either, and then the split refuses and asks (see AskSourceSystem).
    bool unstated_system = false;
    double seconds_per_unit = 60.0;    // the time unit of the Brownian bridge (minutes)
    bool keep_first_duplicate = false; // of two fixes of one animal at one time, keep the first
    bool keep_outliers = false;        // keep rows Movebank marks as not visible or as outliers

    friend bool operator==(const TelemetryFields&, const TelemetryFields&) = default;
};

// The rows of a table left out of the fixes, by reason.
struct LeftOut {
    std::int64_t no_coordinates = 0; // a coordinate empty or marked missing (failed fixes)
    std::int64_t no_time = 0;        // the time empty or marked missing
    std::int64_t no_error = 0;       // the location error missing, and no error to stand in
    std::int64_t outliers = 0;       // marked as not visible or as an outlier
    std::int64_t duplicates = 0;     // the later of two fixes of one animal at one time

    [[nodiscard]] std::int64_t Total() const {
        return no_coordinates + no_time + no_error + outliers + duplicates;
    }
    LeftOut& operator+=(const LeftOut& other);
    friend bool operator==(const LeftOut&, const LeftOut&) = default;
};

// One sentence per reason that left rows out, such as "12 fixes marked as outliers were left
// out."; with `of_animal`, each also says how many of them were that animal's. Empty when
// nothing was left out.
[[nodiscard]] std::vector<std::string> LeftOutSentences(const LeftOut& all,
                                                        const LeftOut* of_animal = nullptr);

// One animal's fixes, ready for the loaders: rows of x, y, time since its first fix (in the
// chosen unit), location error and weight, in time order.
struct AnimalFixes {
    std::string id;
    Matrix fixes;                  // count rows, columns x, y, time, error, weight
    int epsg = 0;                  // the projected system of x, y (0 when not known)
    double first_time = 0.0;       // seconds since 1970 of the first fix (0 for numeric times)
    double time_span = 0.0;        // last time less first, in the chosen unit
    LeftOut left_out;              // its rows that are not among its fixes
    std::int64_t error_filled = 0; // its fixes without an error that took `constant_error`

    [[nodiscard]] std::int32_t Count() const { return fixes.Rows(); }
};

// A table split into animals, with what was skipped.
struct TelemetrySplit {
    std::vector<AnimalFixes> animals; // in order of first appearance, also those without fixes
    LeftOut left_out;                 // every animal's
    std::int64_t error_filled = 0;    // fixes without an error that took `constant_error`
    bool timestamps = false;          // the times were timestamps, now in the chosen unit
};

// Splits a table into animals. Rows are left out and counted by reason (LeftOut; an animal whose
// every row was left out stays in the list with no fixes): rows Movebank flags as not visible
// or as manually marked outliers (fields found by name, see NamesVisible and NamesOutlierMark)
// unless `keep_outliers`; rows with a coordinate missing (IsMissingValue); with a time field,
// rows without a time; with an error field, rows without an error when no `constant_error`
// stands in for it. Times are read as timestamps or, when every time is a plain number, taken
// as they are (already in the chosen unit); geographic coordinates are projected (see
// ProjectLongLat). Each animal's fixes are sorted by time; of two at one time the first in the
// table is kept when `keep_first_duplicate` says so.
// Fails with a sentence naming the row for a field that is missing, a coordinate, time, error
// or weight that cannot be read, a latitude outside -90..90, two fixes of one animal at the same
// time (naming both rows), or a projection that cannot be made; and, when `unstated_system`,
// for an animal whose every fix fits longitude/latitude (AskSourceSystem's sentence).
[[nodiscard]] StatusOr<TelemetrySplit> SplitTelemetry(const TelemetryTable& table,
                                                      const TelemetryFields& fields);

// True when every one of the fixes (columns 0 and 1 of the first `count` rows) lies within
// -180..180 and -90..90, as longitude and latitude do; false when there are none.
[[nodiscard]] bool FitLongLat(const Matrix& fixes, std::int32_t count);

// The sentence that refuses coordinates of unstated system whose values all fit
// longitude/latitude, for `who` (an animal or a file), and says how to answer: `lead`, then
// `prefix` before each answer: "EPSG:4326" for longitude/latitude, "metres" for coordinates
// already in metres, "EPSG:<code>" for any other system.
[[nodiscard]] std::string AskSourceSystem(std::string_view who, std::string_view lead = "Say which",
                                          std::string_view prefix = "");

// True when `fields` leave the coordinates' system unstated and the fixes of some animal of
// the table (the rows SplitTelemetry would take) all fit longitude/latitude: the split would
// refuse them until the user says which system they are in.
[[nodiscard]] bool NeedsSourceSystem(const TelemetryTable& table, const TelemetryFields& fields);

// The EPSG code of the WGS 84 UTM zone that holds (longitude, latitude): 326zz north of the
// equator, 327zz south, zz = floor((longitude + 180) / 6) + 1.
[[nodiscard]] int UtmEpsg(double longitude, double latitude);

// Projects longitude/latitude pairs (columns 0 and 1 of `points`, in place) in the geographic
// system `source_wkt` (empty: WGS 84) to the projected system `epsg` with GDAL's coordinate
// transformation (PROJ). Fails with a sentence when a system is not known or a point cannot be
// transformed.
[[nodiscard]] Status ProjectLongLat(Matrix& points, int epsg, const std::string& source_wkt = {});

} // namespace ranvik
