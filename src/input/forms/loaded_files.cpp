#include "input/forms/loaded_files.h"

#include "input/time_sort.h"

#include <algorithm>

namespace ranvik {
namespace {

// UserPts keeps at least this many rows, the size the points array has always had.
constexpr std::int32_t kUserPtsMinRows = 40'001;

void TakeIndependent(State& state, const LoadedFile& file) {
    const std::int32_t n = file.Count();
    state.LocXY.Resize(n + 1, 3);
    state.LocWeights.assign(static_cast<std::size_t>(n) + 1, 0.0);
    for (std::int32_t i = 0; i < n; ++i) {
        state.LocXY(i, 0) = file.values(i, 0);
        state.LocXY(i, 1) = file.values(i, 1);
        if (file.weighted) {
            state.LocWeights[static_cast<std::size_t>(i)] = file.values(i, 2);
        }
    }
    state.NumLocs = n;
    state.LoadedLocations = LocationSet::Independent;
    state.LocLikBVN.clear();
    state.LocLik2BVN.clear();
    state.LocLik2CN.clear();
    state.LocLikExpPower.clear();
}

void TakeBridge(State& state, const LoadedFile& file) {
    const std::int32_t n = file.Count();
    state.BBLocArray.Resize(n + 1, 5);
    for (std::int32_t i = 0; i < n; ++i) {
        for (int c = 0; c < 4; ++c) {
            state.BBLocArray(i, c) = file.values(i, c);
        }
    }
    state.NumLocs = n;
    state.LoadedLocations = LocationSet::Bridge;
    state.BBSortedLocs = SortBBLocsByTime(state.BBLocArray, n);
}

void TakeUserPoints(State& state, const LoadedFile& file) {
    const std::int32_t m = file.Count();
    state.UserPts.Resize(std::max(m + 1, kUserPtsMinRows), 3);
    for (std::int32_t i = 0; i < m; ++i) {
        state.UserPts(i, 0) = file.values(i, 0);
        state.UserPts(i, 1) = file.values(i, 1);
    }
    state.NumUserPts = m;
    state.UserPtsFileName = file.path;
}

LoadOutcome Take(State& state, StatusOr<LoadedFile>&& read) {
    if (!read.Ok()) {
        return {0, read.status.error};
    }
    return {TakeLoadedFile(state, std::move(read.value)), {}};
}

} // namespace

std::int32_t TakeLoadedFile(State& state, LoadedFile&& file) {
    switch (file.purpose) {
    case TextFilePurpose::IndependentLocations:
        TakeIndependent(state, file);
        break;
    case TextFilePurpose::BridgeLocations:
        TakeBridge(state, file);
        break;
    case TextFilePurpose::UserPoints:
        TakeUserPoints(state, file);
        return file.Count();
    }
    state.LocFileName = file.path;
    state.InFileRoot = file.root.empty()
                           ? FileRoot(std::filesystem::path(file.path).filename().string())
                           : std::move(file.root);
    state.ProjectionWkt = std::move(file.projection_wkt);
    state.ProjectionInMetres = file.projection_in_metres;
    state.ProjectionEpsg = file.epsg;
    state.TimeUnit = std::move(file.time_unit);
    return file.Count();
}

LoadOutcome LoadTextFile(State& state, const std::filesystem::path& path, TextFilePurpose purpose) {
    return Take(state, ReadLocationFile(path, purpose, state.BiasCorrected == 1));
}

LoadOutcome LoadTextContent(State& state, std::string_view content,
                            const std::filesystem::path& path, TextFilePurpose purpose) {
    return Take(state, ReadLocationContent(content, path, purpose, state.BiasCorrected == 1));
}

LoadOutcome LoadShapeLayer(State& state, const ShapeLayer& layer, TextFilePurpose purpose,
                           const std::vector<std::string>& fields) {
    return Take(state, ReadShapeLayer(layer, purpose, fields));
}

} // namespace ranvik
