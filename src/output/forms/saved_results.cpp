#include "output/forms/saved_results.h"

#include "output/raster_export.h"

#include <algorithm>

namespace ranvik {

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
            if (outcome.Ok()) {
                RoundGridValues(waiting.grid, rows); // the grid keeps what its file shows
            }
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
