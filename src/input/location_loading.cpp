#include "input/location_loading.h"

#include "input/shape_layer.h"
#include "input/text_locations.h"
#include "input/time_sort.h"

#include <algorithm>

namespace ranvik {
namespace {

// UserPts keeps at least this many rows, the size the points array has always had.
constexpr std::int32_t kUserPtsMinRows = 40'001;

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

void TakeIndependent(State& state, const LocationText& text, bool weighted) {
    const std::int32_t n = text.Count();
    state.LocXY.Resize(n + 1, 3);
    state.LocWeights.assign(static_cast<std::size_t>(n) + 1, 0.0);
    for (std::int32_t i = 0; i < n; ++i) {
        state.LocXY(i, 0) = text.values(i, 0);
        state.LocXY(i, 1) = text.values(i, 1);
        if (weighted) {
            state.LocWeights[static_cast<std::size_t>(i)] = text.values(i, 2);
        }
    }
    state.NumLocs = n;
    state.LoadedLocations = LocationSet::Independent;
    state.LocLikBVN.clear();
    state.LocLik2BVN.clear();
    state.LocLik2CN.clear();
    state.LocLikExpPower.clear();
}

void TakeBridge(State& state, const LocationText& text) {
    const std::int32_t n = text.Count();
    state.BBLocArray.Resize(n + 1, 5);
    for (std::int32_t i = 0; i < n; ++i) {
        for (int c = 0; c < 4; ++c) {
            state.BBLocArray(i, c) = text.values(i, c);
        }
    }
    state.NumLocs = n;
    state.LoadedLocations = LocationSet::Bridge;
    state.BBSortedLocs = SortBBLocsByTime(state.BBLocArray, n);
}

void TakeUserPoints(State& state, const LocationText& text) {
    const std::int32_t m = text.Count();
    state.UserPts.Resize(std::max(m + 1, kUserPtsMinRows), 3);
    for (std::int32_t i = 0; i < m; ++i) {
        state.UserPts(i, 0) = text.values(i, 0);
        state.UserPts(i, 1) = text.values(i, 1);
    }
    state.NumUserPts = m;
}

} // namespace

TextFilePurpose TextPurposeFor(bool bridge_data, std::string_view data_mode) {
    if (!bridge_data) {
        return TextFilePurpose::IndependentLocations;
    }
    return data_mode == "Road" ? TextFilePurpose::UserPoints : TextFilePurpose::BridgeLocations;
}

std::string FileRoot(std::string_view title) {
    std::size_t end = title.size();
    for (int removed = 0; removed < 4 && end > 0; ++removed) {
        do {
            --end;
        } while (end > 0 && IsUtf8Continuation(title[end]));
    }
    return std::string(title.substr(0, end));
}

namespace {

struct TextFormat {
    int columns = 2;
    std::int32_t capacity = kMaxTextLocations;
};

TextFormat FormatFor(const State& state, TextFilePurpose purpose) {
    switch (purpose) {
    case TextFilePurpose::IndependentLocations:
        return {state.BiasCorrected == 1 ? 3 : 2, kMaxTextLocations};
    case TextFilePurpose::BridgeLocations:
        return {4, kMaxTextLocations};
    case TextFilePurpose::UserPoints:
        return {2, kMaxTextUserPoints};
    }
    return {};
}

// Takes locations that were read whole into the record for `purpose`.
LoadOutcome TakeLocations(State& state, const LocationText& text, const std::filesystem::path& path,
                          TextFilePurpose purpose) {
    if (!text.Ok()) {
        return {0, text.error};
    }
    switch (purpose) {
    case TextFilePurpose::IndependentLocations:
        TakeIndependent(state, text, state.BiasCorrected == 1);
        break;
    case TextFilePurpose::BridgeLocations:
        TakeBridge(state, text);
        break;
    case TextFilePurpose::UserPoints:
        TakeUserPoints(state, text);
        state.UserPtsFileName = path.string();
        return {text.Count(), {}};
    }
    state.LocFileName = path.string();
    state.InFileRoot = FileRoot(path.filename().string());
    state.ProjectionWkt.clear(); // a text file says nothing of its coordinate system
    state.ProjectionInMetres = false;
    return {text.Count(), {}};
}

} // namespace

LoadOutcome LoadTextFile(State& state, const std::filesystem::path& path, TextFilePurpose purpose) {
    const TextFormat format = FormatFor(state, purpose);
    return TakeLocations(state, ReadLocationText(path, format.columns, format.capacity), path,
                         purpose);
}

LoadOutcome LoadTextContent(State& state, std::string_view content,
                            const std::filesystem::path& path, TextFilePurpose purpose) {
    const TextFormat format = FormatFor(state, purpose);
    return TakeLocations(
        state,
        ParseLocationText(content, path.filename().string(), format.columns, format.capacity), path,
        purpose);
}

LoadOutcome LoadShapeLayer(State& state, const ShapeLayer& layer, TextFilePurpose purpose,
                           const std::vector<std::string>& fields) {
    const std::int32_t capacity = FormatFor(state, purpose).capacity;
    if (layer.records > capacity) {
        return {0, layer.path + " has " + std::to_string(layer.records) + " records; at most " +
                       std::to_string(capacity) + " can be loaded."};
    }
    const auto columns = NumericColumns(layer, fields);
    if (!columns.Ok()) {
        return {0, columns.status.error};
    }
    LocationText text;
    const std::int32_t count = layer.records;
    const auto width = static_cast<std::int32_t>(fields.size());
    text.values.Resize(count, width);
    for (std::int32_t i = 0; i < count; ++i) {
        for (std::int32_t c = 0; c < width; ++c) {
            text.values(i, c) = columns.value(i, c);
        }
    }
    switch (purpose) {
    case TextFilePurpose::IndependentLocations:
        TakeIndependent(state, text, width >= 3);
        break;
    case TextFilePurpose::BridgeLocations:
        TakeBridge(state, text);
        break;
    case TextFilePurpose::UserPoints:
        TakeUserPoints(state, text);
        state.UserPtsFileName = layer.path;
        return {count, {}};
    }
    state.LocFileName = layer.path;
    state.InFileRoot = FileRoot(std::filesystem::path(layer.path).filename().string());
    state.ProjectionWkt = layer.projection_wkt;
    state.ProjectionInMetres = layer.metres;
    return {count, {}};
}

} // namespace ranvik
