#pragma once

#include "state/session.h"
#include "state/status.h"

#include <string>

namespace ranvik {

// Empty when the session holds locations of kind `wanted` for a computation to start on: that
// kind was loaded last, it holds at least one location, and each of its arrays has its count's
// rows plus the spare row. Otherwise a sentence telling the user what to load.
[[nodiscard]] std::string MissingLocations(const Session& session, LocationSet wanted);

// Fails when `rows` rows of `array` cannot be read: a computation's floor under any count that
// came from elsewhere, so that it never reads past its array whatever the count says.
[[nodiscard]] Status CheckCount(const Matrix& array, std::int32_t rows, const char* what);

// Empty when every count in the session agrees with the arrays it counts: each kind of loaded
// locations and the user points with their arrays, the per-location log-likelihoods with the
// independent locations, and each waiting result with its grid. Otherwise the first
// disagreement, described for a developer.
[[nodiscard]] std::string CountDisagreement(const Session& session);

} // namespace ranvik
