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

std::string_view KeyWord(ResultFile file, bool bias_corrected) {
    switch (file) {
    case ResultFile::Likelihoods:
        return "Likelihoods";
    case ResultFile::FixedKernel:
        return bias_corrected ? "WeightedFixedKernel" : "FixedKernel";
    case ResultFile::AdaptiveKernel:
        return "AdaptiveKernel";
    case ResultFile::TwoModeBVNMix:
        return bias_corrected ? "Weighted2ModeBVNMix" : "2ModeBVNMix";
    case ResultFile::TwoModeCNMix:
        return bias_corrected ? "Weighted2ModeCNMix" : "2ModeCNMix";
    case ResultFile::BVN:
        return bias_corrected ? "WeightedBVN" : "BVN";
    case ResultFile::ExpPower:
        return "ExpPower";
    case ResultFile::BrownianBridge:
        return "BrownianBridge";
    }
    return "";
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

bool WriteLikelihoodText(std::ostream& out, const State& state, std::string_view sep) {
    std::string text;
    text.reserve(kFlushBytes + 256);
    for (const std::string_view head : {"X", "Y", "ExpPower", "BVN", "2-modeCN"}) {
        text.append(head).append(sep);
    }
    text.append("2-modeBVN").append(kLineEnd);
    // The independent locations' own count: NumLocs may count Brownian bridge fixes by now.
    const std::int32_t n = std::max(state.LocXY.Rows() - 1, 0);
    for (std::int32_t i = 0; i < n; ++i) {
        AppendNumber(text, state.LocXY(i, 0));
        text.append(sep);
        AppendNumber(text, state.LocXY(i, 1));
        for (const auto* values :
             {&state.LocLikExpPower, &state.LocLikBVN, &state.LocLik2CN, &state.LocLik2BVN}) {
            text.append(sep);
            AppendValue(text, *values, i);
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

WriteOutcome WriteLikelihoodFile(const std::filesystem::path& path, const State& state,
                                 std::string_view sep) {
    return WriteReplacing(path,
                          [&](std::ostream& out) { return WriteLikelihoodText(out, state, sep); });
}

std::filesystem::path ResultFilePath(const std::filesystem::path& folder, std::string_view root,
                                     ResultFile file, bool bias_corrected, FileType type) {
    std::string name(root);
    name += KeyWord(file, bias_corrected);
    if (file != ResultFile::Likelihoods && type == FileType::GeoTiff) {
        name += ".tif";
    } else if (file != ResultFile::Likelihoods && type == FileType::ContourShapefile) {
        name += ".shp";
    } else {
        name += kResultFileExtension;
    }
    return folder / name;
}

} // namespace ranvik
