#include "output/forms/saved_results.h"

#include "output/mcp.h"
#include "output/raster_export.h"
#include "state/loaded_locations.h"

#include <algorithm>
#include <string>
#include <vector>

namespace ranvik {
namespace {

// The levels of the contours and minimum convex polygons that the contour file type writes, in
// percent, as its name says.
constexpr double kContourPercents[] = {50, 95};

// The minimum convex polygons of locations 0..n-1 of `xy` at kContourPercents, less those that
// cannot be made (the home range picture says why).
std::vector<Mcp> ContourMcps(const Matrix& xy, std::int32_t n) {
    std::vector<Mcp> made;
    for (const double percent : kContourPercents) {
        auto mcp = CalcMcp(xy, n, percent);
        if (mcp.Ok()) {
            made.push_back(std::move(mcp.value));
        }
    }
    return made;
}

} // namespace

WriteOutcome WriteResultGrid(const std::filesystem::path& path, const Matrix& grid, FileType type,
                             const std::string& projection_wkt) {
    // Each grid holds its points and one spare row. NumGridPts counts only the grid computed
    // last, so a grid still waiting from an earlier run is written with its own count.
    const std::int32_t rows = std::max(grid.Rows() - 1, 0);
    WriteOutcome outcome;
    switch (type) {
    case FileType::CommaDelimited:
    case FileType::TabDelimited:
        outcome = WriteGridFile(path, grid, rows, Separator(type));
        break;
    case FileType::GeoTiff:
        outcome.error = WriteGeoTiff(path, grid, rows, projection_wkt).error;
        break;
    case FileType::ContourShapefile: {
        std::vector<double> levels;
        for (const double percent : kContourPercents) {
            levels.push_back(percent / 100);
        }
        outcome.error = WriteContourShapefile(path, grid, rows, levels, projection_wkt).error;
        break;
    }
    }
    if (!outcome.Ok() && outcome.error.find(path.filename().string()) == std::string::npos) {
        outcome.error = path.filename().string() + ": " + outcome.error;
    }
    return outcome;
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
    bool located_grid = false; // a grid of independent locations was written
    for (const Waiting& waiting : grids) {
        if (!waiting.done) {
            continue;
        }
        if (waiting.file == ResultFile::BrownianBridge) {
            report.brownian_bridge = true;
        }
        const auto path = ResultFilePath(folder, root, waiting.file, weighted, type);
        const WriteOutcome outcome = WriteResultGrid(path, waiting.grid, type, state.ProjectionWkt);
        if (outcome.Ok() && (type == FileType::CommaDelimited || type == FileType::TabDelimited)) {
            // The grid keeps the values its file shows.
            RoundGridValues(waiting.grid, std::max(waiting.grid.Rows() - 1, 0));
        }
        located_grid = located_grid || (outcome.Ok() && waiting.file != ResultFile::BrownianBridge);
        record(waiting.file, outcome, waiting.done);
    }

    // The contours of estimators of independent locations come with the minimum convex polygons
    // of those locations, when they are the ones loaded.
    if (type == FileType::ContourShapefile && located_grid &&
        MissingLocations(state, LocationSet::Independent).empty()) {
        const std::vector<Mcp> mcps = ContourMcps(state.LocXY, state.NumLocs);
        const auto path = folder / (std::string(root) + std::string(kMcpKeyWord) + ".shp");
        if (!mcps.empty()) {
            const Status written = WriteMcpPolygons(path, mcps, state.ProjectionWkt);
            if (written.Ok()) {
                report.written.push_back(path);
            } else {
                report.errors.push_back(written.error);
            }
        }
    }
    return report;
}

} // namespace ranvik
