#include "input/location_loading.h"

#include "input/shape_layer.h"

namespace ranvik {
namespace {

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

struct TextFormat {
    int columns = 2;
    std::int32_t capacity = kMaxTextLocations;
};

TextFormat FormatFor(TextFilePurpose purpose, bool bias_corrected) {
    switch (purpose) {
    case TextFilePurpose::IndependentLocations:
        return {bias_corrected ? 3 : 2, kMaxTextLocations};
    case TextFilePurpose::BridgeLocations:
        return {4, kMaxTextLocations};
    case TextFilePurpose::UserPoints:
        return {2, kMaxTextUserPoints};
    }
    return {};
}

StatusOr<LoadedFile> FromText(LocationText&& text, const std::filesystem::path& path,
                              TextFilePurpose purpose, bool bias_corrected) {
    if (!text.Ok()) {
        return Status::Failure(std::move(text.error));
    }
    LoadedFile file;
    file.purpose = purpose;
    file.weighted = purpose == TextFilePurpose::IndependentLocations && bias_corrected;
    file.values = std::move(text.values);
    file.path = path.string();
    return file;
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

StatusOr<LoadedFile> ReadLocationFile(const std::filesystem::path& path, TextFilePurpose purpose,
                                      bool bias_corrected) {
    const TextFormat format = FormatFor(purpose, bias_corrected);
    return FromText(ReadLocationText(path, format.columns, format.capacity), path, purpose,
                    bias_corrected);
}

StatusOr<LoadedFile> ReadLocationContent(std::string_view content,
                                         const std::filesystem::path& path, TextFilePurpose purpose,
                                         bool bias_corrected) {
    const TextFormat format = FormatFor(purpose, bias_corrected);
    return FromText(
        ParseLocationText(content, path.filename().string(), format.columns, format.capacity), path,
        purpose, bias_corrected);
}

StatusOr<LoadedFile> ReadShapeLayer(const ShapeLayer& layer, TextFilePurpose purpose,
                                    const std::vector<std::string>& fields) {
    const std::int32_t capacity = FormatFor(purpose, false).capacity;
    if (layer.records > capacity) {
        return Status::Failure(layer.path + " has " + std::to_string(layer.records) +
                               " records; at most " + std::to_string(capacity) + " can be loaded.");
    }
    const auto columns = NumericColumns(layer, fields);
    if (!columns.Ok()) {
        return columns.status;
    }
    LoadedFile file;
    file.purpose = purpose;
    file.weighted = purpose == TextFilePurpose::IndependentLocations && fields.size() >= 3;
    // One row per record, without the columns' spare row.
    const auto width = static_cast<std::int32_t>(fields.size());
    file.values.Resize(layer.records, width);
    for (std::int32_t i = 0; i < layer.records; ++i) {
        for (std::int32_t c = 0; c < width; ++c) {
            file.values(i, c) = columns.value(i, c);
        }
    }
    file.path = layer.path;
    file.projection_wkt = layer.projection_wkt;
    file.projection_in_metres = layer.metres;
    return file;
}

} // namespace ranvik
