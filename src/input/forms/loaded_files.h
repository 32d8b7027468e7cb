#pragma once

#include "input/location_loading.h"
#include "state/session.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// Puts a file read whole into the session for its purpose and returns its count: independent
// locations (x, y, and the weights when the file has them, else zeros), a track (x, y, time,
// error, and the fixes sorted by time) or user points (at least 40,001 rows). Locations bring
// their file: its path, the root of output names, its coordinate system (a text file's is
// unknown) and the unit of its times, and `table`, the other animals of the telemetry table
// they came from (none for a file of one animal).
std::int32_t TakeLoadedFile(Session& session, LoadedFile&& file,
                            std::optional<TableAnimals> table = std::nullopt);

// Adds animal `name`, read as `file` (independent locations or a track), to the table's other
// animals; user points are no animal's and are not added.
void AddTableAnimal(TableAnimals& table, std::string name, const LoadedFile& file);

// Outcome of loading a file into the session: the number of locations or points read, or a
// message for the user when the file was rejected.
struct LoadOutcome {
    std::int32_t count = 0;
    std::string error;

    [[nodiscard]] bool Ok() const { return error.empty(); }
};

// Reads a text file for `purpose` (three columns for independent locations when the session's
// analysis is bias-corrected) and takes it into the session. Either the whole file is taken
// or, when it is rejected, the session keeps exactly what it held before.
[[nodiscard]] LoadOutcome LoadTextFile(Session& session, const std::filesystem::path& path,
                                       TextFilePurpose purpose);

// LoadTextFile on text already in memory, as if read from `path`.
[[nodiscard]] LoadOutcome LoadTextContent(Session& session, std::string_view content,
                                          const std::filesystem::path& path,
                                          TextFilePurpose purpose);

// Reads the chosen fields of a shapefile layer for `purpose` and takes them into the session,
// all or nothing.
[[nodiscard]] LoadOutcome LoadShapeLayer(Session& session, const ShapeLayer& layer,
                                         TextFilePurpose purpose,
                                         const std::vector<std::string>& fields);

} // namespace ranvik
