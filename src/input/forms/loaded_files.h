#pragma once

#include "input/location_loading.h"
#include "state/state.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// Puts a file read whole into the record for its purpose and returns its count.
//
// Independent locations: LocXY (rows 0..n, columns 0..2) and LocWeights (rows 0..n, the third
// column when the file has one, else zeros), NumLocs, LoadedLocations (Independent),
// LocFileName and InFileRoot. The per-location log-likelihood arrays belong to the locations
// they were computed for and are released.
// Bridge locations: BBLocArray (rows 0..n, columns 0..4), NumLocs, LoadedLocations (Bridge),
// LocFileName, InFileRoot, and BBSortedLocs sorted by time.
// The other kind's arrays keep what they held; LoadedLocations says which kind NumLocs counts.
// User points: UserPts (rows 0..max(m, 40000), columns 0..2), NumUserPts and
// UserPtsFileName; NumLocs and InFileRoot keep their values.
// Locations also bring their coordinate system (a text file's is unknown), the root of output
// file names and the unit of their times (a text file's are in its own unit).
std::int32_t TakeLoadedFile(State& state, LoadedFile&& file);

// Outcome of loading a file into the record: the number of locations or points read, or a
// message for the user when the file was rejected.
struct LoadOutcome {
    std::int32_t count = 0;
    std::string error;

    [[nodiscard]] bool Ok() const { return error.empty(); }
};

// Reads a text file for `purpose` (three columns for independent locations when the record's
// analysis is bias-corrected) and takes it into the record. Either the whole file is taken
// or, when it is rejected, the record keeps exactly what it held before.
[[nodiscard]] LoadOutcome LoadTextFile(State& state, const std::filesystem::path& path,
                                       TextFilePurpose purpose);

// LoadTextFile on text already in memory, as if read from `path`.
[[nodiscard]] LoadOutcome LoadTextContent(State& state, std::string_view content,
                                          const std::filesystem::path& path,
                                          TextFilePurpose purpose);

// Reads the chosen fields of a shapefile layer for `purpose` and takes them into the record,
// all or nothing.
[[nodiscard]] LoadOutcome LoadShapeLayer(State& state, const ShapeLayer& layer,
                                         TextFilePurpose purpose,
                                         const std::vector<std::string>& fields);

} // namespace ranvik
