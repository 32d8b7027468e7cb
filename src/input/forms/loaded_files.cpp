#include "input/forms/loaded_files.h"

#include "input/time_sort.h"

#include <algorithm>

namespace ranvik {
namespace {

// UserPts keeps at least this many rows, the size the points array has always had.
constexpr std::int32_t kUserPtsMinRows = 40'001;

LocationFile FileOf(LoadedFile& file) {
    LocationFile from;
    from.path = file.path;
    from.root = file.root.empty() ? FileRoot(std::filesystem::path(file.path).filename().string())
                                  : std::move(file.root);
    from.projection_wkt = std::move(file.projection_wkt);
    from.projection_in_metres = file.projection_in_metres;
    from.projection_epsg = file.epsg;
    from.time_unit = std::move(file.time_unit);
    return from;
}

IndependentLocations IndependentOf(const LoadedFile& file) {
    const std::int32_t n = file.Count();
    IndependentLocations locations;
    locations.xy.Resize(n + 1, 3);
    locations.weights.assign(static_cast<std::size_t>(n) + 1, 0.0);
    for (std::int32_t i = 0; i < n; ++i) {
        locations.xy(i, 0) = file.values(i, 0);
        locations.xy(i, 1) = file.values(i, 1);
        if (file.weighted) {
            locations.weights[static_cast<std::size_t>(i)] = file.values(i, 2);
        }
    }
    locations.count = n;
    return locations;
}

Track TrackOf(const LoadedFile& file) {
    const std::int32_t n = file.Count();
    Track track;
    track.fixes.Resize(n + 1, 5);
    for (std::int32_t i = 0; i < n; ++i) {
        for (int c = 0; c < 4; ++c) {
            track.fixes(i, c) = file.values(i, c);
        }
    }
    track.count = n;
    track.sorted = SortBBLocsByTime(track.fixes, n);
    return track;
}

void TakeUserPoints(Session& session, const LoadedFile& file) {
    const std::int32_t m = file.Count();
    UserPoints points;
    points.xy.Resize(std::max(m + 1, kUserPtsMinRows), 3);
    for (std::int32_t i = 0; i < m; ++i) {
        points.xy(i, 0) = file.values(i, 0);
        points.xy(i, 1) = file.values(i, 1);
    }
    points.count = m;
    points.path = file.path;
    session.TakeLoaded(std::move(points));
}

LoadOutcome Take(Session& session, StatusOr<LoadedFile>&& read) {
    if (!read.Ok()) {
        return {0, read.status.error};
    }
    return {TakeLoadedFile(session, std::move(read.value)), {}};
}

} // namespace

std::int32_t TakeLoadedFile(Session& session, LoadedFile&& file,
                            std::optional<TableAnimals> table) {
    switch (file.purpose) {
    case TextFilePurpose::IndependentLocations:
        session.TakeLoaded(IndependentOf(file), FileOf(file), std::move(table));
        break;
    case TextFilePurpose::BridgeLocations:
        session.TakeLoaded(TrackOf(file), FileOf(file), std::move(table));
        break;
    case TextFilePurpose::UserPoints:
        TakeUserPoints(session, file);
        break;
    }
    return file.Count();
}

void AddTableAnimal(TableAnimals& table, std::string name, const LoadedFile& file) {
    switch (file.purpose) {
    case TextFilePurpose::IndependentLocations:
        table.locations.push_back(IndependentOf(file));
        break;
    case TextFilePurpose::BridgeLocations:
        table.tracks.push_back(TrackOf(file));
        break;
    case TextFilePurpose::UserPoints:
        return; // points belong to no animal
    }
    table.names.push_back(std::move(name));
}

LoadOutcome LoadTextFile(Session& session, const std::filesystem::path& path,
                         TextFilePurpose purpose) {
    return Take(session, ReadLocationFile(path, purpose, session.choices().BiasCorrected == 1));
}

LoadOutcome LoadTextContent(Session& session, std::string_view content,
                            const std::filesystem::path& path, TextFilePurpose purpose) {
    return Take(session,
                ReadLocationContent(content, path, purpose, session.choices().BiasCorrected == 1));
}

LoadOutcome LoadShapeLayer(Session& session, const ShapeLayer& layer, TextFilePurpose purpose,
                           const std::vector<std::string>& fields) {
    return Take(session, ReadShapeLayer(layer, purpose, fields));
}

} // namespace ranvik
