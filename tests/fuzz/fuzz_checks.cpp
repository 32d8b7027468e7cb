#include "fuzz/fuzz_checks.h"

#include "input/forms/loaded_files.h"
#include "input/shape_layer.h"
#include "state/session.h"

#include <cpl_vsi.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ranvik::fuzz {
namespace {

// Locations the record holds before each fuzzed load, in the layout of every purpose.
constexpr std::string_view kEarlierLocations = "X\tY\tTime\tError\n"
                                               "557100\t5424100\t0\t15\n"
                                               "557180.5\t5424010\t60\t20\n"
                                               "557260\t5423990.25\t120\t10\n";

TextFilePurpose PurposeOf(TextMode mode) {
    switch (mode) {
    case TextMode::IndependentLocations:
    case TextMode::WeightedLocations:
        return TextFilePurpose::IndependentLocations;
    case TextMode::BridgeLocations:
        return TextFilePurpose::BridgeLocations;
    case TextMode::UserPoints:
        return TextFilePurpose::UserPoints;
    }
    return TextFilePurpose::IndependentLocations;
}

Session RecordWithLocations(TextMode mode) {
    Session session;
    session.ChooseAnalysis(true, false, mode == TextMode::WeightedLocations);
    if (mode == TextMode::UserPoints) { // user points come after a track
        (void)LoadTextContent(session, kEarlierLocations, "earlier.txt",
                              TextFilePurpose::BridgeLocations);
    }
    (void)LoadTextContent(session, kEarlierLocations, "earlier.txt", PurposeOf(mode));
    return session;
}

// The record before a load of each mode, made once, and the record a load works on. Assigning
// the one to the other reuses the working record's storage, so a run makes no large
// allocation (the user points array alone has 40,001 rows).
struct Records {
    Session before;
    Session working;
    bool made = false;
};

Records& RecordsFor(TextMode mode) {
    static std::array<Records, 4> records;
    Records& chosen = records[static_cast<std::size_t>(mode)];
    if (!chosen.made) {
        chosen.before = RecordWithLocations(mode);
        chosen.made = true;
    }
    chosen.working = chosen.before;
    return chosen;
}

bool AllFinite(const Matrix& values, std::int32_t rows, int columns) {
    for (std::int32_t r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (!std::isfinite(values(r, c))) {
                return false;
            }
        }
    }
    return true;
}

// What a taken load must leave in the record; empty when it does.
std::string CheckTaken(const Session& session, TextFilePurpose purpose, std::int32_t count,
                       bool weighted) {
    switch (purpose) {
    case TextFilePurpose::IndependentLocations: {
        if (session.locations().count != count || session.locations().xy.Rows() != count + 1 ||
            session.locations().weights.size() != static_cast<std::size_t>(count) + 1) {
            return "independent locations: counts and array sizes disagree";
        }
        if (!AllFinite(session.locations().xy, count, 2)) {
            return "independent locations: a value is not finite";
        }
        const bool weights_finite =
            std::all_of(session.locations().weights.begin(), session.locations().weights.end(),
                        [](double w) { return std::isfinite(w); });
        if (!weights_finite || (!weighted && std::any_of(session.locations().weights.begin(),
                                                         session.locations().weights.end(),
                                                         [](double w) { return w != 0.0; }))) {
            return "independent locations: the weights are wrong";
        }
        for (const auto& [name, result] : session.Results()) {
            if (!result.loc_lik.empty()) {
                return "independent locations: likelihoods of earlier locations were kept";
            }
        }
        return {};
    }
    case TextFilePurpose::BridgeLocations: {
        if (session.track().count != count || session.track().fixes.Rows() != count + 1 ||
            session.track().sorted.Rows() != count + 1) {
            return "bridge locations: counts and array sizes disagree";
        }
        if (!AllFinite(session.track().fixes, count, 4) ||
            !AllFinite(session.track().sorted, count, 4)) {
            return "bridge locations: a value is not finite";
        }
        std::vector<double> times;
        for (std::int32_t i = 0; i < count; ++i) {
            if (i > 0 && session.track().sorted(i, 2) < session.track().sorted(i - 1, 2)) {
                return "bridge locations: the sorted fixes are not in time order";
            }
            times.push_back(session.track().fixes(i, 2));
        }
        std::sort(times.begin(), times.end());
        for (std::int32_t i = 0; i < count; ++i) {
            if (times[static_cast<std::size_t>(i)] != session.track().sorted(i, 2)) {
                return "bridge locations: sorting lost or invented a fix";
            }
        }
        return {};
    }
    case TextFilePurpose::UserPoints:
        if (session.loaded().user_points->count != count ||
            session.loaded().user_points->xy.Rows() < count + 1) {
            return "user points: counts and array sizes disagree";
        }
        if (!AllFinite(session.loaded().user_points->xy, count, 2)) {
            return "user points: a value is not finite";
        }
        return {};
    }
    return {};
}

// Bitwise equality of two tables: stricter than comparing cell by cell, and much cheaper
// under the fuzzer's comparison tracing.
bool SameBits(const Matrix& a, const Matrix& b) {
    if (a.Rows() != b.Rows() || a.Cols() != b.Cols()) {
        return false;
    }
    if (a.Rows() == 0 || a.Cols() == 0) {
        return true;
    }
    const std::size_t bytes =
        sizeof(double) * static_cast<std::size_t>(a.Rows()) * static_cast<std::size_t>(a.Cols());
    return std::memcmp(a.Row(0).data(), b.Row(0).data(), bytes) == 0;
}

// after == before, with the 40,001-row user points array compared bitwise.
bool SameRecord(const Session& after, const Session& before) {
    const auto& a = after.loaded();
    const auto& b = before.loaded();
    if (a.user_points.has_value() != b.user_points.has_value()) {
        return false;
    }
    if (a.user_points && (a.user_points->count != b.user_points->count ||
                          a.user_points->path != b.user_points->path ||
                          !SameBits(a.user_points->xy, b.user_points->xy))) {
        return false;
    }
    return after.choices() == before.choices() && a.file == b.file && a.last == b.last &&
           a.locations == b.locations && a.track == b.track &&
           after.Results() == before.Results() &&
           after.LikelihoodsWaiting() == before.LikelihoodsWaiting();
}

// A loaded-or-rejected outcome against the record before the load.
std::string CheckOutcome(const LoadOutcome& outcome, const Session& before, const Session& after,
                         TextFilePurpose purpose, bool weighted, std::string_view file_name) {
    if (!outcome.Ok()) {
        if (!SameRecord(after, before)) {
            return "a rejected file changed the record: " + outcome.error;
        }
        if (outcome.error.find(file_name) == std::string::npos) {
            return "the message does not name the file: " + outcome.error;
        }
        return {};
    }
    return CheckTaken(after, purpose, outcome.count, weighted);
}

std::uint32_t ReadLength(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

// A file in GDAL's in-memory file system, removed when the object goes.
class MemoryFile {
public:
    MemoryFile(std::string path, std::string_view bytes) : path_(std::move(path)), bytes_(bytes) {
        VSILFILE* file = VSIFileFromMemBuffer(
            path_.c_str(), reinterpret_cast<GByte*>(bytes_.data()), bytes_.size(), FALSE);
        if (file != nullptr) {
            VSIFCloseL(file);
        }
    }
    ~MemoryFile() { VSIUnlink(path_.c_str()); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

private:
    std::string path_;
    std::string bytes_; // the buffer the in-memory file reads from
};

std::string CheckLayerWalk(const ShapeLayer& layer) {
    const auto records = static_cast<std::size_t>(layer.records);
    const std::size_t cells = records * layer.fields.size();
    if (layer.geometries.size() != records || layer.texts.size() != cells ||
        layer.numbers.size() != cells) {
        return "the layer's record count and its arrays disagree";
    }
    std::vector<std::string> numeric;
    for (const ShapeField& field : layer.fields) {
        (void)FieldTypeName(field.type);
        if (field.type == kLongField || field.type == kDoubleField) {
            numeric.push_back(field.name);
        }
    }
    const ShapeExtent extent = FullExtent(layer);
    (void)FindFeature(layer, (extent.x0 + extent.x1) / 2, (extent.y0 + extent.y1) / 2,
                      (extent.x1 - extent.x0) / 100);
    for (const ShapeGeometry& geometry : layer.geometries) {
        if (!geometry.parts.empty() && !geometry.parts.front().empty()) {
            const auto [x, y] = geometry.parts.front().front();
            (void)FindFeature(layer, x, y, 1.0);
            break;
        }
    }
    if (numeric.empty()) {
        return {};
    }
    std::vector<std::string> chosen;
    for (std::size_t i = 0; i < 4; ++i) {
        chosen.push_back(numeric[std::min(i, numeric.size() - 1)]);
    }
    const StatusOr<Matrix> columns = NumericColumns(layer, chosen);
    if (columns.Ok() && (columns.value.Rows() != layer.records + 1 ||
                         !AllFinite(columns.value, layer.records, 4))) {
        return "numeric columns: sizes or values are wrong";
    }
    const std::vector<std::pair<TextMode, std::size_t>> loads = {
        {TextMode::IndependentLocations, 2},
        {TextMode::WeightedLocations, 3},
        {TextMode::BridgeLocations, 4},
        {TextMode::UserPoints, 2}};
    for (const auto& [mode, width] : loads) {
        Records& loaded = RecordsFor(mode);
        Session& session = loaded.working;
        const Session& before = loaded.before;
        const std::vector<std::string> fields(chosen.begin(),
                                              chosen.begin() + static_cast<std::ptrdiff_t>(width));
        const LoadOutcome outcome = LoadShapeLayer(session, layer, PurposeOf(mode), fields);
        if (!outcome.Ok() && columns.Ok()) {
            return "a layer with numeric columns was refused: " + outcome.error;
        }
        std::string failure =
            outcome.Ok() ? CheckTaken(session, PurposeOf(mode), outcome.count, width >= 3)
                         : (SameRecord(session, before) ? std::string()
                                                        : "a refused layer changed the record");
        if (!failure.empty()) {
            return failure;
        }
    }
    return {};
}

} // namespace

std::string CheckTextLoad(std::string_view bytes, TextMode mode) {
    Records& records = RecordsFor(mode);
    const TextFilePurpose purpose = PurposeOf(mode);
    const LoadOutcome outcome = LoadTextContent(records.working, bytes, "/fuzz/input.txt", purpose);
    return CheckOutcome(outcome, records.before, records.working, purpose,
                        mode == TextMode::WeightedLocations, "input.txt");
}

std::string PackShapefile(std::string_view shp, std::string_view shx, std::string_view dbf) {
    std::string packed;
    for (const std::size_t length : {shp.size(), shx.size()}) {
        for (int i = 0; i < 4; ++i) {
            packed += static_cast<char>((length >> (8 * i)) & 0xFF);
        }
    }
    packed.append(shp);
    packed.append(shx);
    packed.append(dbf);
    return packed;
}

std::string CheckShapefileLoad(std::string_view bytes) {
    std::size_t at = std::min<std::size_t>(8, bytes.size());
    const std::size_t shp_size = std::min<std::size_t>(ReadLength(bytes, 0), bytes.size() - at);
    const std::string_view shp = bytes.substr(at, shp_size);
    at += shp_size;
    const std::size_t shx_size = std::min<std::size_t>(ReadLength(bytes, 4), bytes.size() - at);
    const std::string_view shx = bytes.substr(at, shx_size);
    at += shx_size;
    const std::string_view dbf = bytes.substr(at);

    const MemoryFile shp_file("/vsimem/ranvik-fuzz/layer.shp", shp);
    const MemoryFile shx_file("/vsimem/ranvik-fuzz/layer.shx", shx);
    const MemoryFile dbf_file("/vsimem/ranvik-fuzz/layer.dbf", dbf);
    const StatusOr<ShapeLayer> layer = OpenShapeLayer("/vsimem/ranvik-fuzz/layer.shp");
    if (!layer.Ok()) {
        if (layer.status.error.find("layer.shp") == std::string::npos) {
            return "the message does not name the file: " + layer.status.error;
        }
        return {};
    }
    return CheckLayerWalk(layer.value);
}

} // namespace ranvik::fuzz
