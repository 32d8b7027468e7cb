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

// The system of an EPSG code, or nothing when the code is not known.
std::optional<OGRSpatialReference> ImportEpsg(int epsg) {
    OGRSpatialReference srs;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const OGRErr imported = srs.importFromEPSG(epsg);
    CPLPopErrorHandler();
    if (imported != OGRERR_NONE) {
        return std::nullopt;
    }
    return srs;
}

std::string WktOf(const OGRSpatialReference& srs) {
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    std::string text = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    return text;
}

// The WKT of an EPSG system and whether it is projected in metres; nothing when unknown.
std::optional<std::pair<std::string, bool>> EpsgWkt(int epsg) {
    const auto srs = ImportEpsg(epsg);
    if (!srs) {
        return std::nullopt;
    }
    return std::pair{WktOf(*srs), srs->IsProjected() && srs->GetLinearUnits() == 1.0};
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string UnknownEpsg(int epsg) {
    return "The coordinate system EPSG:" + std::to_string(epsg) + " is not known.";
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
    const std::vector<std::string>& names = source.table.fields;
    const auto first = [&names](bool (*names_it)(std::string_view)) {
        const auto at =
            std::find_if(names.begin(), names.end(),
                         [names_it](const std::string& name) { return names_it(name); });
        return at != names.end() ? *at : std::string();
    };
    const std::pair<std::string, std::string> pairs[] = {
        {first(NamesLongitude), first(NamesLatitude)},
        {source.layer ? std::string(kPointX) : "", source.layer ? std::string(kPointY) : ""},
        {first(NamesEasting), first(NamesNorthing)},
        {first(NamesPlainX), first(NamesPlainY)},
    };
    for (const auto& [x, y] : pairs) {
        if (!x.empty() && !y.empty()) {
            fields.x = x;
            fields.y = y;
            break;
        }
    }
    fields.time = FindField(names, FieldRole::Time);
    fields.animal = FindField(names, FieldRole::Animal);
    fields.error = FindField(names, FieldRole::LocationError);
    (void)ChooseCoordinateSystem(source, {}, 0, fields); // the table's own answer cannot fail
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
    if (NamesEasting(x) && NamesNorthing(y)) {
        return "Unknown: the coordinates are taken as they are, in metres";
    }
    return "Unknown: taken as metres unless every fix fits longitude/latitude";
}

std::optional<SourceSystem> ParseSourceSystem(std::string_view text) {
    const std::string word = Lower(Trimmed(text));
    if (word.empty()) {
        return SourceSystem{};
    }
    if (word == "metres" || word == "meters" || word == "m") {
        return SourceSystem{SourceSystem::Kind::Metres, 0};
    }
    const auto code = ParseEpsgChoice(word);
    if (!code || *code == 0) {
        return std::nullopt;
    }
    return SourceSystem{SourceSystem::Kind::Epsg, *code};
}

Status ChooseCoordinateSystem(const TelemetrySource& source, const SourceSystem& answer,
                              int target_epsg, TelemetryFields& fields) {
    fields.geographic = false;
    fields.source_wkt.clear();
    fields.unstated_system = false;
    fields.target_epsg = target_epsg;
    switch (answer.kind) {
    case SourceSystem::Kind::Metres:
        return {};
    case SourceSystem::Kind::Epsg: {
        const auto srs = ImportEpsg(answer.epsg);
        if (!srs) {
            return Status::Failure(UnknownEpsg(answer.epsg));
        }
        if (srs->IsGeographic()) {
            fields.geographic = true;
            fields.source_wkt = WktOf(*srs);
            return {};
        }
        const char* unit = nullptr;
        if (!srs->IsProjected() || srs->GetLinearUnits(&unit) != 1.0) {
            const std::string what =
                srs->IsProjected()
                    ? "in " + std::string(unit != nullptr ? unit : "units") + ", not in metres"
                    : "neither longitude/latitude nor a projected system";
            return Status::Failure("EPSG:" + std::to_string(answer.epsg) + " is " + what +
                                   "; home ranges are computed in metres.");
        }
        fields.target_epsg = answer.epsg; // what the coordinates already are
        return {};
    }
    case SourceSystem::Kind::FromTable:
        break;
    }
    fields.geographic = CoordinatesAreGeographic(source, fields.x, fields.y);
    if (fields.geographic && source.layer) {
        fields.source_wkt = source.crs_wkt;
    }
    const bool layer_system = source.layer && !source.crs_wkt.empty();
    fields.unstated_system =
        !fields.geographic && !layer_system && !(NamesEasting(fields.x) && NamesNorthing(fields.y));
    return {};
}

std::optional<int> ParseEpsgChoice(std::string_view text) {
    text = Trimmed(text);
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
            return Status::Failure(UnknownEpsg(animal.epsg));
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
