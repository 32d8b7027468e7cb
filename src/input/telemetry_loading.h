#pragma once

#include "input/location_loading.h"
#include "input/telemetry.h"
#include "state/status.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ranvik {

// A telemetry file opened for loading: its table and what its coordinates are.
struct TelemetrySource {
    std::string path;
    TelemetryTable table;
    bool layer = false;      // a vector layer: its points are the fields kPointX and kPointY
    std::string crs_wkt;     // the layer's coordinate system; empty when it gives none
    bool geographic = false; // that system is longitude/latitude
    bool metres = false;     // that system is projected in metres
};

// True for the files read as delimited text (.csv, .tsv, .txt, any case); GDAL opens the rest.
[[nodiscard]] bool IsTextTable(const std::filesystem::path& path);

// Opens a delimited text table or the first layer of a vector file. Fails with a sentence when
// the file cannot be read or has no rows.
[[nodiscard]] StatusOr<TelemetrySource> OpenTelemetry(const std::filesystem::path& path);

// The fields a source's names suggest: Movebank's timestamp, animal and coordinates, else a
// layer's point coordinates, else fields named as longitude and latitude; empty where nothing
// fits. Geographic when the coordinates are longitude/latitude (see CoordinatesAreGeographic).
[[nodiscard]] TelemetryFields SuggestedFields(const TelemetrySource& source);

// Whether the chosen coordinate fields hold longitude/latitude: a layer's when its system is
// geographic, a text table's when their names say so (NamesLongitude and NamesLatitude).
[[nodiscard]] bool CoordinatesAreGeographic(const TelemetrySource& source, std::string_view x,
                                            std::string_view y);

// The coordinate system of the chosen fields, in words for the loader.
[[nodiscard]] std::string DescribeSourceCrs(const TelemetrySource& source, std::string_view x,
                                            std::string_view y);

// An animal's name as part of a file name: letters, digits, '-', '_', '.' and every non-ASCII
// character stay, any other character becomes '_'.
[[nodiscard]] std::string FileNamePart(std::string_view id);

// The text of the automatic choice of projected system.
inline constexpr std::string_view kAutomaticUtm = "UTM zone (automatic)";

// The projected system a user typed: 0 for kAutomaticUtm (or nothing typed), the code of
// "EPSG:32611", "epsg 32611" or "32611"; nothing for any other text.
[[nodiscard]] std::optional<int> ParseEpsgChoice(std::string_view text);

// The units the Brownian bridge may count time in.
struct TimeUnit {
    std::string_view name;
    double seconds;
};
inline constexpr std::array<TimeUnit, 3> kTimeUnits{{
    {"seconds", 1.0},
    {"minutes", 60.0},
    {"hours", 3600.0},
}};

// One animal's fixes as a file loaded for `purpose`: x, y (and the weight when `weighted`) for
// independent locations, x, y, time, location error for the Brownian bridge, x, y for user
// points. It carries its projected system (the one the fixes were projected to, else the
// layer's own), the root "<file stem>_<animal>" for output names, and `time_unit` for bridge
// times read from timestamps. Fails with a sentence for an animal without fixes or with more
// fixes than a locations file may hold.
[[nodiscard]] StatusOr<LoadedFile> AnimalLoadedFile(const TelemetrySource& source,
                                                    const AnimalFixes& animal,
                                                    TextFilePurpose purpose, bool weighted,
                                                    std::string_view time_unit);

} // namespace ranvik
