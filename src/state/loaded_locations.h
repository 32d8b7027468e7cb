#pragma once

#include "state/state.h"
#include "state/status.h"

#include <string>

namespace ranvik {

// Empty when the record holds locations of kind `wanted` for a computation to start on:
// NumLocs counts that kind, at least one location is loaded, and every array of the kind has
// the NumLocs rows plus the spare row. Otherwise a sentence telling the user what to load.
[[nodiscard]] std::string MissingLocations(const State& state, LocationSet wanted);

// Fails when `rows` rows of `array` cannot be read: a computation's floor under any count that
// came from elsewhere, so that it never reads past its array whatever the count says.
[[nodiscard]] Status CheckCount(const Matrix& array, std::int32_t rows, const char* what);

// Empty when every count in the record agrees with the arrays it counts: NumLocs with the
// arrays of LoadedLocations, NumUserPts with UserPts, the per-location log-likelihoods with
// the independent locations, and each waiting result with its grid. Otherwise the first
// disagreement, described for a developer.
[[nodiscard]] std::string CountDisagreement(const State& state);

} // namespace ranvik
