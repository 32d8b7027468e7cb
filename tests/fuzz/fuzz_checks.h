#pragma once

#include <string>
#include <string_view>

namespace ranvik::fuzz {

// How a fuzzed text file is loaded: the four kinds of text file the wizard reads.
enum class TextMode {
    IndependentLocations, // x, y
    WeightedLocations,    // x, y, probability of obtaining the location (bias-corrected)
    BridgeLocations,      // x, y, time, location error
    UserPoints,           // x, y of Brownian bridge output points
};

// Loads `bytes` as a text file of `mode` into a record that already holds locations and checks
// what the user must be able to rely on: a rejected file leaves the record exactly as it was
// and its message names the file; a taken file fills the record consistently with finite
// values (bridge fixes sorted by time). Returns what went wrong, empty when all held.
[[nodiscard]] std::string CheckTextLoad(std::string_view bytes, TextMode mode);

// The three files of a shapefile in one input: the lengths of the .shp and .shx parts as
// 32-bit little-endian numbers, then the .shp bytes, the .shx bytes and the .dbf bytes (all
// that is left). Lengths beyond the input are cut to what is there.
[[nodiscard]] std::string PackShapefile(std::string_view shp, std::string_view shx,
                                        std::string_view dbf);

// Opens packed shapefile bytes as a layer (in memory, never on disk) and walks everything the
// forms use: field names and types, numeric columns, the extent, feature lookup, and loading
// the first numeric fields as locations for each purpose with the same all-or-nothing checks
// as CheckTextLoad. Returns what went wrong, empty when all held.
[[nodiscard]] std::string CheckShapefileLoad(std::string_view bytes);

} // namespace ranvik::fuzz
