#include "output/forms/saved_results.h"

#include "output/estimator_table.h"
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
    // Each grid holds its points and one spare row.
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

SaveReport SaveResults(Session& session, const std::filesystem::path& folder, std::string_view root,
                       FileType type) {
    const std::string_view sep = Separator(type);
    const bool text = type == FileType::CommaDelimited || type == FileType::TabDelimited;
    const bool weighted = session.choices().BiasCorrected == 1;
    const LoadedData& loaded = session.loaded();
    const std::vector<EstimatorRow>& table = Estimators();
    SaveReport report;

    if (session.LikelihoodsWaiting()) {
        std::vector<LikelihoodColumn> columns;
        for (const EstimatorRow* row : ComparedRows(table)) {
            if (!row->likelihood_heading.empty()) {
                const EstimatorResult* result = session.Result(row->name);
                columns.push_back(
                    {row->likelihood_heading, result != nullptr ? &result->loc_lik : nullptr});
            }
        }
        const Matrix none;
        const auto path = ResultFilePath(folder, root, kLikelihoodsKeyWord);
        const WriteOutcome outcome =
            WriteLikelihoodFile(path, loaded.locations ? loaded.locations->xy : none, columns, sep);
        if (outcome.Ok()) {
            report.written.push_back(path);
            session.MarkLikelihoodsWaiting(false);
        } else {
            report.errors.push_back(outcome.error);
        }
    }

    bool located_grid = false; // a grid of independent locations was written
    for (const EstimatorRow* row : WizardRows(table)) {
        const Matrix* grid = session.WaitingGrid(row->name);
        if (grid == nullptr) {
            continue;
        }
        const bool track = row->data == EstimatorData::Track;
        report.brownian_bridge = report.brownian_bridge || track;
        const auto path = ResultFilePath(folder, root, row->FileKey(weighted), type);
        const WriteOutcome outcome = WriteResultGrid(path, *grid, type, loaded.file.projection_wkt);
        if (!outcome.Ok()) {
            report.errors.push_back(outcome.error);
            continue;
        }
        report.written.push_back(path);
        located_grid = located_grid || !track;
        for (const ResultTable& written_beside : session.Result(row->name)->tables) {
            const auto beside =
                folder / (std::string(root) + written_beside.key + written_beside.extension);
            if (const WriteOutcome written = WriteTextFile(beside, written_beside.text);
                written.Ok()) {
                report.written.push_back(beside);
            } else {
                report.errors.push_back(written.error);
            }
        }
        if (text) {
            // The grid keeps the values its file shows.
            Matrix shown = *grid;
            RoundGridValues(shown, std::max(shown.Rows() - 1, 0));
            session.MarkSaved(row->name, std::move(shown));
        } else {
            session.MarkSaved(row->name);
        }
    }

    // The contours of estimators of independent locations come with the minimum convex polygons
    // of those locations, when they are the ones loaded.
    if (type == FileType::ContourShapefile && located_grid &&
        MissingLocations(session, LocationSet::Independent).empty()) {
        const std::vector<Mcp> mcps = ContourMcps(loaded.locations->xy, loaded.locations->count);
        const auto path = folder / (std::string(root) + std::string(kMcpKeyWord) + ".shp");
        if (!mcps.empty()) {
            const Status written = WriteMcpPolygons(path, mcps, loaded.file.projection_wkt);
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
