#pragma once

#include "input/telemetry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ranvik {

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
    // An area's 95% interval, the model it rests on and its effective sample size (AKDE).
    std::optional<double> area_low_m2, area_high_m2;
    std::string model;
    std::optional<double> effective_n;
    std::string error;
};

// What became of one animal.
struct AnimalResult {
    std::string id;
    std::vector<SummaryRow> rows; // sorted by estimator, then level
    bool failed = false;          // some estimator could not be made or saved
    bool cancelled = false;       // the run was stopped before the animal was done
};

// A field of a CSV line: quoted, its quotes doubled, when it holds a comma, a quote or a line
// end; as it is otherwise.
[[nodiscard]] std::string CsvField(std::string_view text);

// An area as the summary shows it: rounded to 2 decimals as the home range picture shows it,
// but never to 0 when the home range has an extent (then at full precision).
[[nodiscard]] double SummaryArea(double area);

// The summary's header line: animal,estimator,n_locations,smoothing_h,bb_variance,
// level_percent,area_m2,crs, the rows left out of the fixes by reason (skipped_no_coordinates,
// skipped_no_time, skipped_no_error, skipped_outliers, skipped_duplicates), then
// neg2lnl,aicc,cvc when the models were compared, then area_low_m2,area_high_m2,model,
// effective_n (empty but for estimators whose areas have an interval), then error.
[[nodiscard]] std::string SummaryHeader(bool compare);

// An animal's summary lines, each ended by a line feed; fields are quoted as CSV asks when they
// hold a comma, a quote or a line end.
[[nodiscard]] std::string SummaryLines(const AnimalResult& result, bool compare);

// The whole summary: the header, then every animal's lines, animals sorted by name. `lines`
// pairs each animal's name with its SummaryLines.
[[nodiscard]] std::string SummaryText(std::vector<std::pair<std::string, std::string>> lines,
                                      bool compare);

} // namespace ranvik
