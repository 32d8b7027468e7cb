#include "input/telemetry_loading.h"

#include "input/shape_layer.h"
#include "input/text_locations.h"

#include <cpl_error.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace ranvik {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The WKT of an EPSG system and whether it is projected in metres; nothing when unknown.
std::optional<std::pair<std::string, bool>> EpsgWkt(int epsg) {
    OGRSpatialReference srs;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const OGRErr imported = srs.importFromEPSG(epsg);
    CPLPopErrorHandler();
    if (imported != OGRERR_NONE) {
        return std::nullopt;
    }
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    std::pair<std::string, bool> out{wkt != nullptr ? wkt : "",
                                     srs.IsProjected() && srs.GetLinearUnits() == 1.0};
    CPLFree(wkt);
    return out;
}

} // namespace

std::string FileNamePart(std::string_view id) {
    std::string part(id);
    for (char& c : part) {
        const auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) || c == '-' || c == '_' || c == '.' || u >= 0x80)) {
            c = '_';
        }
    }
    return part;
}

bool IsTextTable(const std::filesystem::path& path) {
    const std::string extension = Lower(path.extension().string());
    return extension == ".csv" || extension == ".tsv" || extension == ".txt";
}

StatusOr<TelemetrySource> OpenTelemetry(const std::filesystem::path& path) {
    TelemetrySource source;
    source.path = path.string();
    if (IsTextTable(path)) {
        auto table = ReadTelemetryText(path);
        if (!table.Ok()) {
            return table.status;
        }
        source.table = std::move(table.value);
    } else {
        auto layer = OpenShapeLayer(path);
        if (!layer.Ok()) {
            return layer.status;
        }
        source.layer = true;
        source.crs_wkt = layer.value.projection_wkt;
        source.geographic = IsGeographic(layer.value);
        source.metres = layer.value.metres;
        source.table = TelemetryTableOfLayer(layer.value);
    }
    if (source.table.rows.empty()) {
        return Status::Failure(source.table.name + " has no rows of fixes.");
    }
    return source;
}

TelemetryFields SuggestedFields(const TelemetrySource& source) {
    TelemetryFields fields;
    const TelemetryTable& table = source.table;
    const auto has = [&table](std::string_view name) { return table.FieldIndex(name) >= 0; };
    if (has(kMovebankLongitude) && has(kMovebankLatitude)) {
        fields.x = kMovebankLongitude;
        fields.y = kMovebankLatitude;
    } else if (source.layer) {
        fields.x = kPointX;
        fields.y = kPointY;
    } else {
        for (const std::string& name : table.fields) {
            if (fields.x.empty() && NamesLongitude(name)) {
                fields.x = name;
            }
            if (fields.y.empty() && NamesLatitude(name)) {
                fields.y = name;
            }
        }
    }
    if (has(kMovebankTime)) {
        fields.time = kMovebankTime;
    }
    if (has(kMovebankAnimal)) {
        fields.animal = kMovebankAnimal;
    }
    fields.geographic = CoordinatesAreGeographic(source, fields.x, fields.y);
    return fields;
}

bool CoordinatesAreGeographic(const TelemetrySource& source, std::string_view x,
                              std::string_view y) {
    if (source.layer && !source.crs_wkt.empty()) {
        return source.geographic;
    }
    return NamesLongitude(x) && NamesLatitude(y);
}

std::string DescribeSourceCrs(const TelemetrySource& source, std::string_view x,
                              std::string_view y) {
    if (source.layer && !source.crs_wkt.empty()) {
        OGRSpatialReference srs;
        const char* name = nullptr;
        if (srs.importFromWkt(source.crs_wkt.c_str()) == OGRERR_NONE) {
            name = srs.GetName();
        }
        std::string text = name != nullptr ? name : "the layer's own system";
        const char* code = srs.GetAuthorityCode(nullptr);
        const char* authority = srs.GetAuthorityName(nullptr);
        if (code != nullptr && authority != nullptr) {
            text += std::string(" (") + authority + ":" + code + ")";
        }
        if (source.geographic) {
            text += ", longitude/latitude";
        } else if (!source.metres) {
            text += ", not in metres";
        }
        return text;
    }
    if (CoordinatesAreGeographic(source, x, y)) {
        return "WGS 84 longitude/latitude (EPSG:4326)";
    }
    return "Unknown: the coordinates are taken as they are, in metres";
}

std::optional<int> ParseEpsgChoice(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    if (text.empty() || text == kAutomaticUtm) {
        return 0;
    }
    if (text.size() > 4 && Lower(text.substr(0, 4)) == "epsg") {
        text.remove_prefix(4);
        while (!text.empty() && (text.front() == ':' || text.front() == ' ')) {
            text.remove_prefix(1);
        }
    }
    int code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size() || code <= 0) {
        return std::nullopt;
    }
    return code;
}

StatusOr<LoadedFile> AnimalLoadedFile(const TelemetrySource& source, const AnimalFixes& animal,
                                      TextFilePurpose purpose, bool weighted,
                                      std::string_view time_unit) {
    const std::int32_t n = animal.Count();
    const std::string who = animal.id.empty() ? "The table" : "Animal \"" + animal.id + "\"";
    if (n == 0) {
        return Status::Failure(who + " has no fixes with coordinates; choose another animal.");
    }
    const std::int32_t capacity =
        purpose == TextFilePurpose::UserPoints ? kMaxTextUserPoints : kMaxTextLocations;
    if (n > capacity) {
        return Status::Failure(who + " has " + std::to_string(n) + " fixes; at most " +
                               std::to_string(capacity) + " can be analysed at once.");
    }
    LoadedFile file;
    file.purpose = purpose;
    file.path = source.path;
    int columns = 2;
    if (purpose == TextFilePurpose::BridgeLocations) {
        columns = 4;
        file.time_unit = time_unit;
    } else if (purpose == TextFilePurpose::IndependentLocations && weighted) {
        columns = 3;
        file.weighted = true;
    }
    file.values.Resize(n, columns);
    for (std::int32_t i = 0; i < n; ++i) {
        file.values(i, 0) = animal.fixes(i, 0);
        file.values(i, 1) = animal.fixes(i, 1);
        if (columns == 4) {
            file.values(i, 2) = animal.fixes(i, 2);
            file.values(i, 3) = animal.fixes(i, 3);
        } else if (columns == 3) {
            file.values(i, 2) = animal.fixes(i, 4);
        }
    }
    if (animal.epsg != 0) {
        const auto wkt = EpsgWkt(animal.epsg);
        if (!wkt) {
            return Status::Failure("The coordinate system EPSG:" + std::to_string(animal.epsg) +
                                   " is not known.");
        }
        file.projection_wkt = wkt->first;
        file.projection_in_metres = wkt->second;
        file.epsg = animal.epsg;
    } else if (source.layer) {
        file.projection_wkt = source.crs_wkt;
        file.projection_in_metres = source.metres;
    }
    const std::string stem = std::filesystem::path(source.path).stem().string();
    file.root = animal.id.empty() ? stem : stem + "_" + FileNamePart(animal.id);
    return file;
}

} // namespace ranvik
