#pragma once

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "input/telemetry.h"
#include "state/status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ranvik {

// The file in each finished animal's folder that says which run made it.
inline constexpr std::string_view kRecordName = ".ranvik-run";

// What a finished folder says of the run that made it: the fingerprints of the options and of
// the animal's input (16 hexadecimal digits each), whether the animal failed, and its
// SummaryLines. A later run with the same fingerprints would write the same files and lines.
struct RunRecord {
    std::string options;
    std::string input;
    bool failed = false;
    std::string lines;

    friend bool operator==(const RunRecord&, const RunRecord&) = default;
};

// The fingerprint of everything that shapes an animal's files and summary lines besides its
// rows: every option but the output folder, the jobs, quiet and resume (the input by its file
// name alone; the folder it is in changes nothing), and the fields chosen for the table.
[[nodiscard]] std::string OptionsFingerprint(const BatchOptions& options,
                                             const TelemetryFields& fields);

// The fingerprint of animal `index` of `input`: its name, its table's file name and field
// names, every row's fields with its file line, and what the file says of its coordinates.
[[nodiscard]] std::string InputFingerprint(const BatchInput& input, std::size_t index);

// The record's text:
//   ranvik-run 1
//   options <OptionsFingerprint>
//   input <InputFingerprint>
//   failed yes|no
//   lines <the number of bytes that follow>
// then the summary lines byte for byte (a quoted field may hold line ends).
[[nodiscard]] std::string RecordText(const RunRecord& record);

// The record a RecordText holds; nothing when the text is not one, in whole.
[[nodiscard]] std::optional<RunRecord> ParseRecord(std::string_view text);

// Writes the record into `folder` as kRecordName.
[[nodiscard]] Status WriteRecord(const std::filesystem::path& folder, const RunRecord& record);

// The record of animal `index` in its folder under `options.out` when a run with options of
// fingerprint `options_fingerprint` made it from the same input; nothing when the folder is
// absent, holds no record, one that cannot be read, or one of other options or input.
[[nodiscard]] std::optional<RunRecord> MatchingRecord(const BatchInput& input, std::size_t index,
                                                      const BatchOptions& options,
                                                      std::string_view options_fingerprint);

} // namespace ranvik
