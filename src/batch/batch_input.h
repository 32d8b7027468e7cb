#pragma once

#include "batch/batch_options.h"
#include "input/location_loading.h"
#include "input/telemetry_loading.h"
#include "state/status.h"

#include <string>
#include <vector>

namespace ranvik {

// One animal of a table: its name and its rows (with the table's header), to be split with the
// fields of the run.
struct AnimalRows {
    std::string id;
    TelemetryTable table;
};

// A table opened for a batch run: where it came from and what its coordinates are (the rows
// have moved to the animals), the fields chosen, and its animals in order of first appearance.
struct BatchInput {
    TelemetrySource source;
    TelemetryFields fields;
    std::vector<AnimalRows> animals;
};

// Opens the run's table, chooses its fields (those named on the command line, else the ones its
// names suggest) and their coordinate system (--source-crs, else the table's), and groups its
// rows by animal; without an identifier field every row is one animal, named after the file.
// Fails with a sentence when the table cannot be read, a field named is not in it, the
// coordinates have no field, the Brownian bridge has no time, or the system named by
// --source-crs cannot be used.
[[nodiscard]] StatusOr<BatchInput> OpenBatchInput(const BatchOptions& options);

// One animal's fixes read for `purpose`, as the loaders read them, and the rows left out.
struct AnimalLoad {
    LoadedFile file;
    LeftOut left_out;
};

// Loads `animal` for `purpose` as the wizard's telemetry loader would: independent locations in
// table order (with weights when the run has them), Brownian bridge fixes in time order with
// their errors. Fails with a sentence when its rows cannot be read, when its coordinates may be
// longitude/latitude or metres and nothing says which (the sentence says how to answer with
// --source-crs), or when it has no fixes.
[[nodiscard]] StatusOr<AnimalLoad> LoadAnimal(const BatchInput& input, const AnimalRows& animal,
                                              TextFilePurpose purpose, const BatchOptions& options);

// "EPSG:<code>" of the system the fixes are in, or "" when it is not known.
[[nodiscard]] std::string CrsText(const LoadedFile& file);

// The rows every animal's fixes left out, by reason: those of the Brownian bridge's load when
// it was asked for (which reads times and errors too), else those of the independent
// locations' load. An animal that cannot be loaded counts nothing.
[[nodiscard]] LeftOut LeftOutOfRun(const BatchInput& input, const BatchOptions& options);

} // namespace ranvik
