#include "state/loaded_locations.h"

#include <cstddef>

namespace ranvik {
namespace {

std::size_t Rows(std::int32_t count) {
    return static_cast<std::size_t>(count) + 1;
}

bool HoldsRows(const Matrix& array, std::int32_t count) {
    return count >= 0 && static_cast<std::size_t>(array.Rows()) == Rows(count);
}

bool ArraysAgree(const IndependentLocations& locations) {
    return HoldsRows(locations.xy, locations.count) &&
           locations.weights.size() == Rows(locations.count);
}

bool ArraysAgree(const Track& track) {
    return HoldsRows(track.fixes, track.count) && HoldsRows(track.sorted, track.count);
}

} // namespace

std::string MissingLocations(const Session& session, LocationSet wanted) {
    const LoadedData& loaded = session.loaded();
    switch (wanted) {
    case LocationSet::None:
        return {};
    case LocationSet::Independent:
        if (loaded.last != LocationSet::Independent || !loaded.locations ||
            loaded.locations->count < 1 || !ArraysAgree(*loaded.locations)) {
            return "No locations are loaded for a home range analysis. Go back to the loader "
                   "and load a locations file.";
        }
        return {};
    case LocationSet::Bridge:
        if (loaded.last != LocationSet::Bridge || !loaded.track || loaded.track->count < 1 ||
            !ArraysAgree(*loaded.track)) {
            return "No time-stamped locations are loaded for the Brownian bridge. Go back to the "
                   "loader and load a file of locations with their times and location errors.";
        }
        return {};
    }
    return {};
}

Status CheckCount(const Matrix& array, std::int32_t rows, const char* what) {
    if (rows < 0 || array.Rows() < rows) {
        return Status::Failure("The count of " + std::string(what) + " (" + std::to_string(rows) +
                               ") does not match the " + std::to_string(array.Rows()) +
                               " rows loaded; load the file again.");
    }
    return {};
}

std::string CountDisagreement(const Session& session) {
    const LoadedData& loaded = session.loaded();
    if (loaded.locations && !ArraysAgree(*loaded.locations)) {
        return "the count of locations " + std::to_string(loaded.locations->count) +
               " disagrees with their coordinates (" + std::to_string(loaded.locations->xy.Rows()) +
               " rows) or weights (" + std::to_string(loaded.locations->weights.size()) + ")";
    }
    if (loaded.track && !ArraysAgree(*loaded.track)) {
        return "the count of fixes " + std::to_string(loaded.track->count) +
               " disagrees with the fixes (" + std::to_string(loaded.track->fixes.Rows()) +
               " rows) or the sorted fixes (" + std::to_string(loaded.track->sorted.Rows()) + ")";
    }
    if (const auto& points = loaded.user_points;
        points &&
        (points->count < 0 || (points->count > 0 && points->xy.Rows() <= points->count))) {
        return "the count of user points " + std::to_string(points->count) + " exceeds their " +
               std::to_string(points->xy.Rows()) + " rows";
    }
    const std::size_t independent =
        loaded.locations ? static_cast<std::size_t>(loaded.locations->count) : 0;
    for (const auto& [name, result] : session.Results()) {
        if (!result.loc_lik.empty() && result.loc_lik.size() != independent) {
            return "the per-location log-likelihoods of " + name + " have " +
                   std::to_string(result.loc_lik.size()) + " entries for " +
                   std::to_string(independent) + " locations";
        }
        if (result.Waiting() && result.grid->Rows() < 2) {
            return "the grid of " + name + " waits to be saved but holds no grid points";
        }
    }
    return {};
}

} // namespace ranvik
