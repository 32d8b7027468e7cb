#pragma once

#include "state/state.h"

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

// Outcome of loading a file into the record: the number of locations or points read, or a
// message for the user when the file was rejected.
struct LoadOutcome {
    std::int32_t count = 0;
    std::string error;

    [[nodiscard]] bool Ok() const { return error.empty(); }
};

// The root name of output files: a file title (name without folder) less its last four
// characters, whatever they are ("ducks.txt" -> "ducks", "ducks.text" -> "ducks."). A title
// of four characters or fewer gives the empty root. Characters, not bytes, are counted.
[[nodiscard]] std::string FileRoot(std::string_view title);

// Loads a text file into the record for `purpose`. Either the whole file is taken or, when it
// is rejected, the record keeps exactly what it held before.
//
// Independent locations: LocXY (rows 0..n, columns 0..2) and LocWeights (rows 0..n, the third
// column when BiasCorrected is 1, else zeros), NumLocs, LoadedLocations (Independent),
// LocFileName and InFileRoot. The
// per-location log-likelihood arrays belong to the locations they were computed for and are
// released.
// Bridge locations: BBLocArray (rows 0..n, columns 0..4), NumLocs, LoadedLocations (Bridge),
// LocFileName, InFileRoot, and BBSortedLocs sorted by time.
// The other kind's arrays keep what they held; LoadedLocations says which kind NumLocs counts.
// User points: UserPts (rows 0..max(m, 40000), columns 0..2), NumUserPts and
// UserPtsFileName; NumLocs and InFileRoot keep their values.
[[nodiscard]] LoadOutcome LoadTextFile(State& state, const std::filesystem::path& path,
                                       TextFilePurpose purpose);

// LoadTextFile on text already in memory, as if read from `path`.
[[nodiscard]] LoadOutcome LoadTextContent(State& state, std::string_view content,
                                          const std::filesystem::path& path,
                                          TextFilePurpose purpose);

struct ShapeLayer;

// Loads the chosen attribute fields of every record of a shapefile layer into the record for
// `purpose`, as LoadTextFile does with a text file's columns: `fields` names the easting and
// northing fields, then the weight field (bias-corrected independent locations) or the time
// and location error fields (bridge locations). Either everything is taken or, when a value
// is missing or not a number (the message names the record and the field) or the layer has
// more records than a text file may hold locations, nothing changes.
[[nodiscard]] LoadOutcome LoadShapeLayer(State& state, const ShapeLayer& layer,
                                         TextFilePurpose purpose,
                                         const std::vector<std::string>& fields);

} // namespace ranvik
