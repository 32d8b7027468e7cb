#include "batch/batch_input.h"

#include <ogr_spatialref.h>

#include <filesystem>
#include <map>

namespace ranvik {
namespace {

// The run's fields as a load for `purpose` reads one animal's rows.
TelemetryFields FieldsFor(const BatchInput& input, TextFilePurpose purpose) {
    TelemetryFields fields = input.fields;
    fields.animal.clear(); // the rows are this animal's already
    if (purpose != TextFilePurpose::BridgeLocations) {
        // Independent locations keep the order of the table, as the wizard loads them.
        fields.time.clear();
        fields.error.clear();
    } else {
        fields.weight.clear();
    }
    return fields;
}

} // namespace

StatusOr<BatchInput> OpenBatchInput(const BatchOptions& options) {
    auto source = OpenTelemetry(options.input);
    if (!source.Ok()) {
        return source.status;
    }
    BatchInput input;
    input.source = std::move(source.value);
    const TelemetryTable& table = input.source.table;
    const TelemetryFields suggested = SuggestedFields(input.source);
    TelemetryFields& f = input.fields;
    f.x = options.x.empty() ? suggested.x : options.x;
    f.y = options.y.empty() ? suggested.y : options.y;
    f.time = options.time.empty() ? suggested.time : options.time;
    f.animal = options.id.empty() ? suggested.animal : options.id;
    // A location error field the table's names offer is used unless one error for every fix
    // was asked for.
    f.error = !options.error.empty() ? options.error
                                     : (options.error_m ? std::string() : suggested.error);
    f.weight = options.weight;
    f.constant_error = options.error_m;
    f.keep_outliers = options.keep_outliers;
    f.seconds_per_unit = options.SecondsPerUnit();
    if (f.x.empty() || f.y.empty()) {
        return Status::Failure(table.name +
                               ": no field is known to hold the coordinates; name them with --x "
                               "and --y.");
    }
    if (options.WantsData(EstimatorData::Track) && f.time.empty()) {
        return Status::Failure(table.name + ": no field is known to hold the fix times, which the "
                                            "Brownian bridge needs; name it with --time.");
    }
    for (const std::string* name : {&f.x, &f.y, &f.time, &f.animal, &f.error, &f.weight}) {
        if (!name->empty() && table.FieldIndex(*name) < 0) {
            return Status::Failure(table.name + " has no field named \"" + *name + "\".");
        }
    }
    const int target = ParseEpsgChoice(options.crs == "auto" ? "" : options.crs).value_or(0);
    const SourceSystem answer = ParseSourceSystem(options.source_crs).value_or(SourceSystem{});
    if (Status chosen = ChooseCoordinateSystem(input.source, answer, target, f); !chosen.Ok()) {
        return Status::Failure("--source-crs: " + chosen.error);
    }

    // Rows grouped by animal, in order of first appearance.
    const int id_field = f.animal.empty() ? -1 : table.FieldIndex(f.animal);
    std::map<std::string, std::size_t> index_of;
    TelemetryTable& rows = input.source.table;
    for (std::size_t r = 0; r < rows.rows.size(); ++r) {
        const std::string id = id_field >= 0
                                   ? rows.rows[r][static_cast<std::size_t>(id_field)]
                                   : std::filesystem::path(input.source.path).stem().string();
        const auto [at, added] = index_of.try_emplace(id, input.animals.size());
        if (added) {
            AnimalRows animal;
            animal.id = id;
            animal.table.name = rows.name;
            animal.table.fields = rows.fields;
            input.animals.push_back(std::move(animal));
        }
        TelemetryTable& own = input.animals[at->second].table;
        own.rows.push_back(std::move(rows.rows[r]));
        own.lines.push_back(rows.lines[r]);
    }
    rows.rows.clear();
    rows.lines.clear();
    return input;
}

StatusOr<AnimalLoad> LoadAnimal(const BatchInput& input, const AnimalRows& animal,
                                TextFilePurpose purpose, const BatchOptions& options) {
    const TelemetryFields fields = FieldsFor(input, purpose);
    const bool bridge = purpose == TextFilePurpose::BridgeLocations;
    if (NeedsSourceSystem(animal.table, fields)) {
        return Status::Failure(
            AskSourceSystem("Animal \"" + animal.id + "\"", "Say which", "--source-crs "));
    }
    auto split = SplitTelemetry(animal.table, fields);
    if (!split.Ok()) {
        return split.status;
    }
    AnimalFixes fixes = std::move(split.value.animals.front());
    fixes.id = animal.id;
    auto file = AnimalLoadedFile(input.source, fixes, purpose, !bridge && !fields.weight.empty(),
                                 split.value.timestamps ? options.time_unit : std::string());
    if (!file.Ok()) {
        return file.status;
    }
    return AnimalLoad{std::move(file.value), fixes.left_out};
}

std::string CrsText(const LoadedFile& file) {
    if (file.epsg != 0) {
        return "EPSG:" + std::to_string(file.epsg);
    }
    if (file.projection_wkt.empty()) {
        return {};
    }
    OGRSpatialReference srs;
    if (srs.importFromWkt(file.projection_wkt.c_str()) != OGRERR_NONE) {
        return {};
    }
    srs.AutoIdentifyEPSG();
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    return authority != nullptr && code != nullptr ? std::string(authority) + ":" + code
                                                   : std::string();
}

LeftOut LeftOutOfRun(const BatchInput& input, const BatchOptions& options) {
    const TextFilePurpose purpose = options.WantsData(EstimatorData::Track)
                                        ? TextFilePurpose::BridgeLocations
                                        : TextFilePurpose::IndependentLocations;
    const TelemetryFields fields = FieldsFor(input, purpose);
    LeftOut total;
    for (const AnimalRows& animal : input.animals) {
        if (const auto split = SplitTelemetry(animal.table, fields); split.Ok()) {
            total += split.value.left_out;
        }
    }
    return total;
}

} // namespace ranvik
