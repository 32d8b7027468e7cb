#pragma once

#include "output/result_files.h"
#include "state/session.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// What a save wrote and what it could not write.
struct SaveReport {
    std::vector<std::filesystem::path> written;
    std::vector<std::string> errors; // one message per file that could not be written
    bool brownian_bridge = false;    // a Brownian bridge result was waiting to be saved

    [[nodiscard]] bool Ok() const { return errors.empty(); }
};

// Writes a result grid (its rows but the spare one) to `path` as `type`: text, a GeoTIFF, or its
// 50 % and 95 % contours. The error names the file.
[[nodiscard]] WriteOutcome WriteResultGrid(const std::filesystem::path& path, const Matrix& grid,
                                           FileType type, const std::string& projection_wkt);

// Writes every result that waits to be saved into `folder`, named after `root`: the likelihood
// file when it was asked for, then the grids waiting in the order the wizard lists them (fixed
// kernel, adaptive kernel, 2-mode bivariate normal mixture, 2-mode circle mixture, 1-mode
// bivariate normal, exponential power model, Brownian bridge). Each grid writes its own points
// (its rows but the spare one); a grid saved as text keeps the values its file shows (rounded
// to 9 decimals). A result is marked saved only after its file has been written; a file that
// fails leaves its result waiting, so it can be saved again elsewhere.
// Saved as contours, the grids of independent locations come with root + "Mcp.shp": the 50 %
// and 95 % minimum convex polygons of the independent locations when they are the ones loaded
// (a level whose polygon cannot be made is left out, and no file is written when neither can).
[[nodiscard]] SaveReport SaveResults(Session& session, const std::filesystem::path& folder,
                                     std::string_view root, FileType type);

} // namespace ranvik
