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

bool WriteGridText(std::ostream& out, Matrix& grid, std::int32_t rows, std::string_view sep) {
    std::string text;
    text.reserve(kFlushBytes + 256);
    text.append("X").append(sep).append("Y").append(sep).append("Probability").append(kLineEnd);
    for (std::int32_t k = 0; k < rows; ++k) {
        for (int c = 0; c < 3; ++c) {
            grid(k, c) = RoundHalfEven(grid(k, c), kGridDecimals);
            if (c > 0) {
                text.append(sep);
            }
            AppendNumber(text, grid(k, c));
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

WriteOutcome WriteGridFile(const std::filesystem::path& path, Matrix& grid, std::int32_t rows,
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

SaveReport SaveResults(State& state, const std::filesystem::path& folder, std::string_view root,
                       FileType type) {
    const std::string_view sep = Separator(type);
    const bool weighted = state.BiasCorrected == 1;
    SaveReport report;
    const auto record = [&](ResultFile file, const WriteOutcome& outcome, bool& flag) {
        if (outcome.Ok()) {
            report.written.push_back(ResultFilePath(folder, root, file, weighted, type));
            flag = false;
        } else {
            report.errors.push_back(outcome.error);
        }
    };

    if (state.OutputLocLiks) {
        const auto path = ResultFilePath(folder, root, ResultFile::Likelihoods, weighted);
        record(ResultFile::Likelihoods, WriteLikelihoodFile(path, state, sep), state.OutputLocLiks);
    }

    struct Waiting {
        ResultFile file;
        bool& done;
        Matrix& grid;
    };
    const Waiting grids[] = {
        {ResultFile::FixedKernel, state.DoneFixedKernel, state.GridFixedKernel},
        {ResultFile::AdaptiveKernel, state.DoneAdKernel, state.GridAdKernel},
        {ResultFile::TwoModeBVNMix, state.Done2BVN, state.Grid2BVN},
        {ResultFile::TwoModeCNMix, state.Done2CN, state.Grid2CN},
        {ResultFile::BVN, state.DoneBVN, state.GridBVN},
        {ResultFile::ExpPower, state.DoneExpPower, state.GridExpPower},
        {ResultFile::BrownianBridge, state.DoneBB, state.BBOutput},
    };
    for (const Waiting& waiting : grids) {
        if (!waiting.done) {
            continue;
        }
        if (waiting.file == ResultFile::BrownianBridge) {
            report.brownian_bridge = true;
        }
        // Each grid holds its points and one spare row. NumGridPts counts only the grid computed
        // last, so a grid still waiting from an earlier run is written with its own count.
        const std::int32_t rows = std::max(waiting.grid.Rows() - 1, 0);
        const auto path = ResultFilePath(folder, root, waiting.file, weighted, type);
        WriteOutcome outcome;
        switch (type) {
        case FileType::CommaDelimited:
        case FileType::TabDelimited:
            outcome = WriteGridFile(path, waiting.grid, rows, sep);
            break;
        case FileType::GeoTiff:
            outcome.error = WriteGeoTiff(path, waiting.grid, rows, state.ProjectionWkt).error;
            break;
        case FileType::ContourShapefile:
            outcome.error =
                WriteContourShapefile(path, waiting.grid, rows, {0.5, 0.95}, state.ProjectionWkt)
                    .error;
            break;
        }
        if (!outcome.Ok() && outcome.error.find(path.filename().string()) == std::string::npos) {
            outcome.error = path.filename().string() + ": " + outcome.error;
        }
        record(waiting.file, outcome, waiting.done);
    }
    return report;
}

} // namespace ranvik
