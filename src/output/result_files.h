#pragma once

#include "state/matrix.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// The two file types offered when saving, by the text the user chooses.
// The two text types come first; the others write grids as a raster or as home range contours
// (the likelihood file is text in every case).
enum class FileType { CommaDelimited, TabDelimited, GeoTiff, ContourShapefile };

inline constexpr std::string_view kCommaFileTypeText = "text (comma delimited) (*.txt)";
inline constexpr std::string_view kTabFileTypeText = "text (tab delimited) (*.txt)";
inline constexpr std::string_view kGeoTiffTypeText = "GeoTIFF (*.tif)";
inline constexpr std::string_view kContourTypeText = "Home range contours, 50 % and 95 % (*.shp)";
inline constexpr std::string_view kResultFileExtension = ".txt";

// The file type named by a file type text, or none for any other text.
[[nodiscard]] std::optional<FileType> FileTypeFromText(std::string_view text);

// "," or a tab (a comma for the types that are not text).
[[nodiscard]] std::string_view Separator(FileType type);

// The key word of the file of per-location log-likelihoods.
inline constexpr std::string_view kLikelihoodsKeyWord = "Likelihoods";

// The key word of the minimum convex polygons saved beside the home range contours.
inline constexpr std::string_view kMcpKeyWord = "Mcp";

// The grid file text: the line "X" S "Y" S "Probability", then one line x S y S p for each of
// rows 0..rows-1 of `grid` (columns 0, 1, 2), every line ended by CR LF and no separator at a
// line's end. Each value is rounded to 9 decimals (halves to even) and written in the shortest
// general decimal form (RoundGridValues stores the same rounding into a grid). Returns false
// when the stream failed.
bool WriteGridText(std::ostream& out, const Matrix& grid, std::int32_t rows, std::string_view sep);

// Rounds columns 0..2 of rows 0..rows-1 of `grid` to 9 decimals (halves to even), the values a
// grid file shows.
void RoundGridValues(Matrix& grid, std::int32_t rows);

// One column of the likelihood file: its heading and its per-location values (none when the
// model was not fitted to these locations).
struct LikelihoodColumn {
    std::string_view heading;
    const std::vector<double>* values = nullptr;
};

// The likelihood file text: the line "X" S "Y" S and each column's heading, then for each
// location i of `xy` (all its rows but the spare one) its x and y and entry i of each column,
// written unrounded. A column that holds no value for the location (its model was not fitted
// to these locations) shows "NA". Returns false when the stream failed.
bool WriteLikelihoodText(std::ostream& out, const Matrix& xy,
                         const std::vector<LikelihoodColumn>& columns, std::string_view sep);

// Outcome of writing one file: empty `error` on success, else a message naming the file.
struct WriteOutcome {
    std::string error;

    [[nodiscard]] bool Ok() const { return error.empty(); }
};

// Writes a grid file (see WriteGridText) to `path`, overwriting an existing file. The text
// goes to a temporary file beside it that replaces `path` only once complete, so a failed
// write (missing folder, no permission, disk full) leaves any earlier file as it was.
[[nodiscard]] WriteOutcome WriteGridFile(const std::filesystem::path& path, const Matrix& grid,
                                         std::int32_t rows, std::string_view sep);

// Writes the likelihood file (see WriteLikelihoodText) to `path` in the same safe way.
[[nodiscard]] WriteOutcome WriteLikelihoodFile(const std::filesystem::path& path, const Matrix& xy,
                                               const std::vector<LikelihoodColumn>& columns,
                                               std::string_view sep);

// Writes `text` to `path` in the same safe way.
[[nodiscard]] WriteOutcome WriteTextFile(const std::filesystem::path& path, std::string_view text);

// The path of a result file: folder / (root + key word + extension), the extension ".txt", or
// ".tif" / ".shp" for a grid saved as a raster or as contours.
[[nodiscard]] std::filesystem::path ResultFilePath(const std::filesystem::path& folder,
                                                   std::string_view root, std::string_view key,
                                                   FileType type = FileType::CommaDelimited);

} // namespace ranvik
