// Every input a fuzz target ever found a fault with, and the seeds the fuzzers start from, go
// through the same checks in the ordinary test run.
#include "fuzz/fuzz_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ranvik::fuzz {
namespace {

const std::filesystem::path kRegressions = RANVIK_FUZZ_REGRESSIONS_DIR;
const std::filesystem::path kExamples = RANVIK_EXAMPLES_DIR;

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    return files;
}

struct TextTarget {
    const char* folder;
    TextMode mode;
};

constexpr TextTarget kTextTargets[] = {{"text_independent", TextMode::IndependentLocations},
                                       {"text_weighted", TextMode::WeightedLocations},
                                       {"text_bridge", TextMode::BridgeLocations},
                                       {"text_user_points", TextMode::UserPoints}};

TEST(FuzzRegressions, SavedTextInputsPassEveryCheck) {
    for (const TextTarget& target : kTextTargets) {
        for (const auto& file : FilesIn(kRegressions / target.folder)) {
            EXPECT_EQ(CheckTextLoad(ReadAll(file), target.mode), "") << file;
        }
    }
}

TEST(FuzzRegressions, SavedShapefileInputsPassEveryCheck) {
    for (const auto& file : FilesIn(kRegressions / "shapefile")) {
        EXPECT_EQ(CheckShapefileLoad(ReadAll(file)), "") << file;
    }
}

TEST(FuzzRegressions, ExampleTextFilesPassEveryCheckInEveryMode) {
    for (const auto& file : FilesIn(kExamples)) {
        for (const TextTarget& target : kTextTargets) {
            EXPECT_EQ(CheckTextLoad(ReadAll(file), target.mode), "") << file;
        }
    }
}

TEST(FuzzRegressions, ExampleShapefilesPassEveryCheckWhenPacked) {
    int packed = 0;
    for (const auto& file : FilesIn(kExamples / "shapefiles")) {
        if (file.extension() != ".shp") {
            continue;
        }
        auto sibling = [&](const char* extension) {
            return ReadAll(std::filesystem::path(file).replace_extension(extension));
        };
        EXPECT_EQ(
            CheckShapefileLoad(PackShapefile(sibling(".shp"), sibling(".shx"), sibling(".dbf"))),
            "")
            << file;
        ++packed;
    }
    EXPECT_EQ(packed, 5);
}

TEST(FuzzRegressions, TruncatedAndEmptyPackedShapefilesAreRefusedCleanly) {
    const std::string shp = ReadAll(kExamples / "shapefiles" / "deer_points.shp");
    const std::string shx = ReadAll(kExamples / "shapefiles" / "deer_points.shx");
    const std::string dbf = ReadAll(kExamples / "shapefiles" / "deer_points.dbf");
    const std::string whole = PackShapefile(shp, shx, dbf);
    for (const std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{8}, shp.size() / 2,
                                   shp.size() + 8, whole.size() - dbf.size() / 2}) {
        EXPECT_EQ(CheckShapefileLoad(whole.substr(0, size)), "") << size << " bytes";
    }
}

} // namespace
} // namespace ranvik::fuzz
