#pragma once

#include <span>
#include <string>
#include <string_view>

namespace ranvik {

// A field name as the tools that write telemetry tables spell it, reduced to one spelling: the
// parts in brackets ("Longitude [°]", "Latitude(deg)") dropped, letters in lower case, and every
// run of other characters between words (hyphen, dot, underscore, colon, space, a degree sign)
// made one hyphen, none at either end. So "location-long", "location.long", "location_long" and
// "Location.Long" all read "location-long", and "eobs:horizontal-accuracy-estimate" reads
// "eobs-horizontal-accuracy-estimate".
[[nodiscard]] std::string NormalizedFieldName(std::string_view name);

// What a field's name says it holds. Each is true for the names listed, in any spelling
// NormalizedFieldName joins.
// Longitude: location-long, longitude, long, lon, lng, gps-longitude.
[[nodiscard]] bool NamesLongitude(std::string_view field);
// Latitude: location-lat, latitude, lat, gps-latitude.
[[nodiscard]] bool NamesLatitude(std::string_view field);
// A projected easting or northing (so metres, never degrees): easting, utm-easting, northing,
// utm-northing.
[[nodiscard]] bool NamesEasting(std::string_view field);
[[nodiscard]] bool NamesNorthing(std::string_view field);
// A coordinate whose name says nothing of its system: x or y.
[[nodiscard]] bool NamesPlainX(std::string_view field);
[[nodiscard]] bool NamesPlainY(std::string_view field);
// Movebank's flags: visible (false for a fix its owner hid) and manually-marked-outlier.
[[nodiscard]] bool NamesVisible(std::string_view field);
[[nodiscard]] bool NamesOutlierMark(std::string_view field);

// The kinds of field a table's names are searched for, each with its names in order of
// preference.
enum class FieldRole { Time, Animal, LocationError };

// The first of `fields` that a name of `role` names, trying the role's names in order of
// preference: the time (timestamp, then datetime, date-time, time), the animal
// (individual-local-identifier, then tag-local-identifier, animal-id, individual-id, animal)
// or the location error (eobs-horizontal-accuracy-estimate, gps-horizontal-accuracy-estimate).
// A field with an empty name is never chosen. Empty when none fits.
[[nodiscard]] std::string FindField(std::span<const std::string> fields, FieldRole role);

// True for the texts with which tables mark a value that is not there: an empty or blank field,
// "NA", "NaN", "NULL" (any case), "N/A" and "-".
[[nodiscard]] bool IsMissingValue(std::string_view text);

// True for "true" (any case) and "1", the texts with which Movebank's flags are set; false for
// anything else.
[[nodiscard]] bool IsTrueFlag(std::string_view text);

// True for "false" (any case) and "0".
[[nodiscard]] bool IsFalseFlag(std::string_view text);

} // namespace ranvik
