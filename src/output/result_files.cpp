#include "output/result_files.h"

#include "output/raster_export.h"
#include "state/number_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <system_error>

namespace ranvik {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kFlushBytes = 1 << 20;
constexpr int kGridDecimals = 9;

// Hands the text to the stream in large pieces; false once the stream has failed.
bool FlushIfFull(std::ostream& out, std::string& text, bool force = false) {
    if (force || text.size() >= kFlushBytes) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        text.clear();
    }
    return static_cast<bool>(out);
}

void AppendValue(std::string& text, const std::vector<double>& values, std::int32_t i) {
    const auto index = static_cast<std::size_t>(i);
    if (index < values.size()) {
        AppendNumber(text, values[index]);
    } else {
        text += "NA";
    }
}

std::string Reason(int error_number) {
    return error_number != 0 ? std::strerror(error_number) : "the file could not be written";
}

// Writes through a temporary file beside `path` that replaces `path` only when complete.
WriteOutcome WriteReplacing(const std::filesystem::path& path,
                            const std::function<bool(std::ostream&)>& write) {
    std::filesystem::path temporary = path;
    temporary += ".partial";
    const auto failed = [&](int error_number) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return WriteOutcome{"Could not write " + path.string() + ": " + Reason(error_number) +
                            ". The result is kept; save it again to another folder."};
    };

    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
        return failed(errno);
    }
    errno = 0;
    const bool written = write(out);
    out.close();
    if (!written || out.fail()) {
        return failed(errno);
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return WriteOutcome{"Could not write " + path.string() + ": " + error.message() +
                            ". The result is kept; save it again to another folder."};
    }
    return {};
}

} // namespace

std::optional<FileType> FileTypeFromText(std::string_view text) {
    if (text == kCommaFileTypeText) {
        return FileType::CommaDelimited;
    }
    if (text == kTabFileTypeText) {
        return FileType::TabDelimited;
    }
    if (text == kGeoTiffTypeText) {
        return FileType::GeoTiff;
    }
    if (text == kContourTypeText) {
        return FileType::ContourShapefile;
    }
    return std::nullopt;
}

std::string_view Separator(FileType type) {
    switch (type) {
    case FileType::CommaDelimited:
        return ",";
    case FileType::TabDelimited:
        return "\t";
    case FileType::GeoTiff:
    case FileType::ContourShapefile:
        return ",";
    }
    return ",";
}

bool WriteGridText(std::ostream& out, const Matrix& grid, std::int32_t rows, std::string_view sep) {
    std::string text;
    text.reserve(kFlushBytes + 256);
    text.append("X").append(sep).append("Y").append(sep).append("Probability").append(kLineEnd);
    for (std::int32_t k = 0; k < rows; ++k) {
        for (int c = 0; c < 3; ++c) {
            if (c > 0) {
                text.append(sep);
            }
            AppendNumber(text, RoundHalfEven(grid(k, c), kGridDecimals));
        }
        text.append(kLineEnd);
        if (!FlushIfFull(out, text)) {
            return false;
        }
    }
    return FlushIfFull(out, text, true) && out.flush();
}

bool WriteLikelihoodText(std::ostream& out, const Matrix& xy,
                         const std::vector<LikelihoodColumn>& columns, std::string_view sep) {
    std::string text;
    text.reserve(kFlushBytes + 256);
    text.append("X").append(sep).append("Y");
    for (const LikelihoodColumn& column : columns) {
        text.append(sep).append(column.heading);
    }
    text.append(kLineEnd);
    const std::int32_t n = std::max(xy.Rows() - 1, 0);
    const std::vector<double> none;
    for (std::int32_t i = 0; i < n; ++i) {
        AppendNumber(text, xy(i, 0));
        text.append(sep);
        AppendNumber(text, xy(i, 1));
        for (const LikelihoodColumn& column : columns) {
            text.append(sep);
            AppendValue(text, column.values != nullptr ? *column.values : none, i);
        }
        text.append(kLineEnd);
        if (!FlushIfFull(out, text)) {
            return false;
        }
    }
    return FlushIfFull(out, text, true) && out.flush();
}

void RoundGridValues(Matrix& grid, std::int32_t rows) {
    for (std::int32_t k = 0; k < rows; ++k) {
        for (int c = 0; c < 3; ++c) {
            grid(k, c) = RoundHalfEven(grid(k, c), kGridDecimals);
        }
    }
}

WriteOutcome WriteGridFile(const std::filesystem::path& path, const Matrix& grid, std::int32_t rows,
                           std::string_view sep) {
    return WriteReplacing(path,
                          [&](std::ostream& out) { return WriteGridText(out, grid, rows, sep); });
}

WriteOutcome WriteLikelihoodFile(const std::filesystem::path& path, const Matrix& xy,
                                 const std::vector<LikelihoodColumn>& columns,
                                 std::string_view sep) {
    return WriteReplacing(
        path, [&](std::ostream& out) { return WriteLikelihoodText(out, xy, columns, sep); });
}

WriteOutcome WriteTextFile(const std::filesystem::path& path, std::string_view text) {
    return WriteReplacing(path, [&](std::ostream& out) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return static_cast<bool>(out.flush());
    });
}

std::filesystem::path ResultFilePath(const std::filesystem::path& folder, std::string_view root,
                                     std::string_view key, FileType type) {
    std::string name(root);
    name += key;
    if (key != kLikelihoodsKeyWord && type == FileType::GeoTiff) {
        name += ".tif";
    } else if (key != kLikelihoodsKeyWord && type == FileType::ContourShapefile) {
        name += ".shp";
    } else {
        name += kResultFileExtension;
    }
    return folder / name;
}

} // namespace ranvik
