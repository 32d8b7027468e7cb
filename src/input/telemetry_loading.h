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

// The fields a source's names suggest (see field_names.h for every spelling): the time, the
// animal and the location error by their names; the coordinates as longitude and latitude by
// their names, else a layer's point coordinates, else an easting and northing, else x and y;
// empty where nothing fits. Their system as ChooseCoordinateSystem finds it from the table.
[[nodiscard]] TelemetryFields SuggestedFields(const TelemetrySource& source);

// Whether the chosen coordinate fields hold longitude/latitude: a layer's when its system is
// geographic, a text table's when their names say so (NamesLongitude and NamesLatitude).
[[nodiscard]] bool CoordinatesAreGeographic(const TelemetrySource& source, std::string_view x,
                                            std::string_view y);

// The coordinate system of the chosen fields, in words for the loader.
[[nodiscard]] std::string DescribeSourceCrs(const TelemetrySource& source, std::string_view x,
                                            std::string_view y);

// What the user says the coordinates are in: nothing said (the table and the fields' names
// decide), metres in a system not named, or an EPSG code (longitude/latitude or projected).
struct SourceSystem {
    enum class Kind { FromTable, Metres, Epsg };
    Kind kind = Kind::FromTable;
    int epsg = 0;

    friend bool operator==(const SourceSystem&, const SourceSystem&) = default;
};

// The words that say the coordinates are in metres: "metres", "meters", "m" (any case).
// `text` as typed: empty for FromTable, one of those words, or an EPSG code as ParseEpsgChoice
// reads it; nothing for any other text.
[[nodiscard]] std::optional<SourceSystem> ParseSourceSystem(std::string_view text);

// Sets how `fields` reads x and y (geographic, source_wkt, unstated_system and target_epsg,
// which it changes) from the answer, else from the source's own system, else from the fields'
// names: longitude/latitude is projected to `target_epsg` (0: each animal's UTM zone);
// coordinates in metres stay as they are, labelled with their EPSG code when it is known (else
// with `target_epsg`, as the user gave it); with nothing to tell, `unstated_system` is set.
// Fails with a sentence for an EPSG code that is not known or a projected system whose unit
// is not the metre.
[[nodiscard]] Status ChooseCoordinateSystem(const TelemetrySource& source,
                                            const SourceSystem& answer, int target_epsg,
                                            TelemetryFields& fields);

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
