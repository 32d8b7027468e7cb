#pragma once

#include "batch/batch_options.h"
#include "input/telemetry_loading.h"
#include "state/notifier.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <optional>
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

// One line of the summary: an estimator's home range of one animal at one level, or why it
// could not be made.
struct SummaryRow {
    std::string animal;
    std::string estimator;
    std::int32_t n_locations = 0;
    std::optional<double> smoothing_h;
    std::optional<double> bb_variance;
    std::optional<double> level_percent;
    std::optional<double> area_m2; // as the home range picture shows it: rounded to 2 decimals
    std::string crs;
    std::optional<LeftOut> left_out; // of the fixes it was made from; nothing when not loaded
    std::optional<double> neg2lnl, aicc, cvc;
    std::string error;
};

// What became of one animal.
struct AnimalResult {
    std::string id;
    std::vector<SummaryRow> rows; // sorted by estimator, then level
    bool failed = false;          // some estimator could not be made or saved
    bool cancelled = false;       // the run was stopped before the animal was done
};

// Told which animal and which estimator is under way, and of every animal a run finishes or
// takes from an earlier run's folder.
class BatchProgress {
public:
    virtual ~BatchProgress() = default;
    virtual void Step(const std::string& animal, std::string_view estimator) = 0;
    virtual void Done(const std::string& animal, bool failed) = 0;
    virtual void Resumed(const std::string& animal, bool failed) = 0;
};

// The folder an animal's files go to, under the run's folder: its name with every character
// that may not stand in a file name replaced by '_'.
[[nodiscard]] std::string AnimalFolderName(std::string_view id);

// Makes every estimator asked for from animal `index` of `input`, as the wizard makes it from
// the same fixes loaded alone (independent locations in table order, Brownian bridge fixes in
// time order), and writes its files into OUT/<animal>/: the files are written into a hidden
// folder beside it that takes its place only once complete, so an animal's folder is either
// whole or absent. The last file written is the record of the run (batch_record.h), so a later
// run can take the animal as done. A cancel (through `control`) leaves no files of the animal.
// What its loads left out of the fixes is told to `notifier`, a sentence per reason.
[[nodiscard]] AnimalResult RunAnimal(const BatchInput& input, std::size_t index,
                                     const BatchOptions& options, const RunControl& control,
                                     Notifier& notifier, BatchProgress* progress = nullptr);

// The rows every animal's fixes left out, by reason: those of the Brownian bridge's load when
// it was asked for (which reads times and errors too), else those of the independent
// locations' load. An animal that cannot be loaded counts nothing.
[[nodiscard]] LeftOut LeftOutOfRun(const BatchInput& input, const BatchOptions& options);

// The summary's header line: animal,estimator,n_locations,smoothing_h,bb_variance,
// level_percent,area_m2,crs, the rows left out of the fixes by reason (skipped_no_coordinates,
// skipped_no_time, skipped_no_error, skipped_outliers, skipped_duplicates), then
// neg2lnl,aicc,cvc when the models were compared, then error.
[[nodiscard]] std::string SummaryHeader(bool compare);

// An animal's summary lines, each ended by a line feed; fields are quoted as CSV asks when they
// hold a comma, a quote or a line end.
[[nodiscard]] std::string SummaryLines(const AnimalResult& result, bool compare);

// The whole summary: the header, then every animal's lines, animals sorted by name. `lines`
// pairs each animal's name with its SummaryLines.
[[nodiscard]] std::string SummaryText(std::vector<std::pair<std::string, std::string>> lines,
                                      bool compare);

// Removes what a run that was killed left half written in `out`: its hidden ".<animal>.partial-"
// folders and "summary.csv.partial-" files.
void RemovePartialFolders(const std::filesystem::path& out);

// Writes `text` to `path` through a temporary file beside it that replaces it once complete.
[[nodiscard]] Status WriteWholeFile(const std::filesystem::path& path, std::string_view text);

} // namespace ranvik
