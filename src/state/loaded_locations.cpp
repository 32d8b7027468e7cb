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

bool IndependentArraysAgree(const State& state) {
    return HoldsRows(state.LocXY, state.NumLocs) && state.LocWeights.size() == Rows(state.NumLocs);
}

bool BridgeArraysAgree(const State& state) {
    return HoldsRows(state.BBLocArray, state.NumLocs) &&
           HoldsRows(state.BBSortedLocs, state.NumLocs);
}

} // namespace

std::string MissingLocations(const State& state, LocationSet wanted) {
    switch (wanted) {
    case LocationSet::None:
        return {};
    case LocationSet::Independent:
        if (state.LoadedLocations != LocationSet::Independent || state.NumLocs < 1 ||
            !IndependentArraysAgree(state)) {
            return "No locations are loaded for a home range analysis. Go back to the loader "
                   "and load a locations file.";
        }
        return {};
    case LocationSet::Bridge:
        if (state.LoadedLocations != LocationSet::Bridge || state.NumLocs < 1 ||
            !BridgeArraysAgree(state)) {
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

std::string CountDisagreement(const State& state) {
    switch (state.LoadedLocations) {
    case LocationSet::None:
        if (state.NumLocs != 0) {
            return "NumLocs is " + std::to_string(state.NumLocs) + " with no locations loaded";
        }
        break;
    case LocationSet::Independent:
        if (!IndependentArraysAgree(state)) {
            return "NumLocs " + std::to_string(state.NumLocs) + " disagrees with LocXY (" +
                   std::to_string(state.LocXY.Rows()) + " rows) or LocWeights (" +
                   std::to_string(state.LocWeights.size()) + ")";
        }
        break;
    case LocationSet::Bridge:
        if (!BridgeArraysAgree(state)) {
            return "NumLocs " + std::to_string(state.NumLocs) + " disagrees with BBLocArray (" +
                   std::to_string(state.BBLocArray.Rows()) + " rows) or BBSortedLocs (" +
                   std::to_string(state.BBSortedLocs.Rows()) + ")";
        }
        break;
    }
    if (state.NumUserPts < 0 ||
        (state.NumUserPts > 0 && state.UserPts.Rows() <= state.NumUserPts)) {
        return "NumUserPts " + std::to_string(state.NumUserPts) + " exceeds UserPts (" +
               std::to_string(state.UserPts.Rows()) + " rows)";
    }
    const std::size_t independent =
        state.LocXY.Empty() ? 0 : static_cast<std::size_t>(state.LocXY.Rows() - 1);
    for (const auto* values :
         {&state.LocLikBVN, &state.LocLik2BVN, &state.LocLik2CN, &state.LocLikExpPower}) {
        if (!values->empty() && values->size() != independent) {
            return "a per-location log-likelihood array has " + std::to_string(values->size()) +
                   " entries for " + std::to_string(independent) + " locations";
        }
    }
    const struct {
        bool done;
        const Matrix* grid;
        const char* name;
    } waiting[] = {{state.DoneFixedKernel, &state.GridFixedKernel, "GridFixedKernel"},
                   {state.DoneAdKernel, &state.GridAdKernel, "GridAdKernel"},
                   {state.DoneBVN, &state.GridBVN, "GridBVN"},
                   {state.Done2BVN, &state.Grid2BVN, "Grid2BVN"},
                   {state.Done2CN, &state.Grid2CN, "Grid2CN"},
                   {state.DoneExpPower, &state.GridExpPower, "GridExpPower"},
                   {state.DoneBB, &state.BBOutput, "BBOutput"}};
    for (const auto& w : waiting) {
        if (w.done && w.grid->Rows() < 2) {
            return std::string(w.name) + " waits to be saved but holds no grid points";
        }
    }
    return {};
}

} // namespace ranvik
