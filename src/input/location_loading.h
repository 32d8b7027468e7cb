#pragma once

#include "input/text_locations.h"
#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// What a text file is loaded as.
enum class TextFilePurpose {
    IndependentLocations, // x, y; or x, y, weight when the analysis is bias-corrected
    BridgeLocations,      // x, y, time, location error
    UserPoints,           // x, y of the points where a Brownian bridge is evaluated
};

// The purpose of the next text load: user points once the Brownian bridge analysis has asked
// for them (data mode "Road"), bridge locations for serially correlated data, else
// independent locations.
[[nodiscard]] TextFilePurpose TextPurposeFor(bool bridge_data, std::string_view data_mode);

// The root name of output files: a file title (name without folder) less its last four
// characters, whatever they are ("ducks.txt" -> "ducks", "ducks.text" -> "ducks."). A title
// of four characters or fewer gives the empty root. Characters, not bytes, are counted.
[[nodiscard]] std::string FileRoot(std::string_view title);

// A file read whole for one purpose, before it goes into the session: one row per location or
// point with its fields in column order (x, y, then the weight, or the time and location
// error), where it came from, and its coordinate system when the file gave one.
struct LoadedFile {
    TextFilePurpose purpose = TextFilePurpose::IndependentLocations;
    bool weighted = false; // independent locations with a weight column
    Matrix values;
    std::string path;
    std::string projection_wkt;
    bool projection_in_metres = false;
    int epsg = 0;          // the EPSG code of that system when the loader projected to it
    std::string root;      // the root of output file names; empty: FileRoot of the file's title
    std::string time_unit; // the unit of the times when the loader converted timestamps

    [[nodiscard]] std::int32_t Count() const { return values.Rows(); }
};

// Reads a text file for `purpose`: x, y (x, y, weight when `bias_corrected`), x, y, time,
// location error, or x, y for user points, up to the capacity of the purpose. Fails with the
// reader's message naming the file and the line.
[[nodiscard]] StatusOr<LoadedFile> ReadLocationFile(const std::filesystem::path& path,
                                                    TextFilePurpose purpose, bool bias_corrected);

// ReadLocationFile on text already in memory, as if read from `path`.
[[nodiscard]] StatusOr<LoadedFile> ReadLocationContent(std::string_view content,
                                                       const std::filesystem::path& path,
                                                       TextFilePurpose purpose,
                                                       bool bias_corrected);

struct ShapeLayer;

// The chosen attribute fields of every record of a shapefile layer for `purpose`, as a text
// file's columns: `fields` names the easting and northing fields, then the weight field
// (bias-corrected independent locations) or the time and location error fields (bridge
// locations). Fails when a value is missing or not a number (the message names the record and
// the field) or the layer has more records than a text file may hold locations.
[[nodiscard]] StatusOr<LoadedFile> ReadShapeLayer(const ShapeLayer& layer, TextFilePurpose purpose,
                                                  const std::vector<std::string>& fields);

} // namespace ranvik
