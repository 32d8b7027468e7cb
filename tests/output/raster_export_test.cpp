#include "output/raster_export.h"

#include "bridge/bridge_probability.h"
#include "input/forms/loaded_files.h"
#include "input/shape_layer.h"
#include "models/bivariate_normal.h"
#include "output/forms/saved_results.h"
#include "output/home_range_levels.h"
#include "output/result_files.h"
#include "support/temp_dir.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace ranvik {
namespace {

StatusOr<Matrix> NormalGrid() {
    Matrix xy(3, 3);
    xy(0, 0) = 557000;
    xy(1, 0) = 557400;
    xy(0, 1) = 5424000;
    xy(1, 1) = 5424300;
    return CalcBVNGrid(xy, 2, BVNEstimate{557200, 5424150, 60, 45, -0.2});
}

// The values of the numeric field `name` in every record of `layer`; none when it has no such
// field.
std::vector<double> Column(const ShapeLayer& layer, const char* name) {
    const int field = layer.FieldIndex(name);
    EXPECT_GE(field, 0) << name;
    std::vector<double> values;
    for (std::int32_t r = 0; field >= 0 && r < layer.records; ++r) {
        values.push_back(layer.numbers[static_cast<std::size_t>(r) * layer.fields.size() +
                                       static_cast<std::size_t>(field)]);
    }
    return values;
}

TEST(WriteGeoTiff, RasterReadBackHoldsTheGridsValuesCellSizeAndOrigin) {
    const auto grid = NormalGrid();
    ASSERT_TRUE(grid.Ok());
    testing::TempDir dir;
    const auto path = dir.path() / "normal.tif";
    ASSERT_TRUE(WriteGeoTiff(path, grid.value, 40000).Ok());

    GDALAllRegister();
    std::unique_ptr<GDALDataset> raster(
        GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    ASSERT_TRUE(raster);
    ASSERT_EQ(raster->GetRasterXSize(), 200);
    ASSERT_EQ(raster->GetRasterYSize(), 200);
    double t[6] = {};
    ASSERT_EQ(raster->GetGeoTransform(t), CE_None);
    const double dx = grid.value(200, 0) - grid.value(0, 0);
    const double dy = grid.value(1, 1) - grid.value(0, 1);
    EXPECT_NEAR(t[1], dx, 1e-9 * dx);
    EXPECT_NEAR(t[5], -dy, 1e-9 * dy);
    EXPECT_NEAR(t[0], grid.value(0, 0) - dx / 2, 1e-6);
    EXPECT_NEAR(t[3], grid.value(199, 1) + dy / 2, 1e-6);
    std::vector<double> pixels(40000);
    ASSERT_EQ(raster->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, 200, 200, pixels.data(), 200, 200,
                                                 GDT_Float64, 0, 0, nullptr),
              CE_None);
    for (const auto& [i, j] : {std::pair{0, 0}, {100, 37}, {199, 199}, {57, 180}}) {
        // Lines run from north to south; the grid's rows from south to north.
        EXPECT_EQ(pixels[static_cast<std::size_t>((199 - j) * 200 + i)], grid.value(i * 200 + j, 2))
            << i << ", " << j;
    }
}

TEST(WriteContourShapefile, PolygonsCarryTheirLevelsAndAreas) {
    const auto grid = NormalGrid();
    ASSERT_TRUE(grid.Ok());
    testing::TempDir dir;
    const auto path = dir.path() / "contours.shp";
    ASSERT_TRUE(WriteContourShapefile(path, grid.value, 40000, {0.5, 0.95}).Ok());
    const auto layer = OpenShapeLayer(path);
    ASSERT_TRUE(layer.Ok()) << layer.status.error;
    EXPECT_EQ(layer.value.shape_type, kPolygonShape);
    const std::vector<double> levels = Column(layer.value, "Level");
    const std::vector<double> areas = Column(layer.value, "Area");
    ASSERT_EQ(areas.size(), levels.size());
    const VolumeLevels volume = CalcVolumeLevels(grid.value, 40000);
    const double cell =
        (grid.value(200, 0) - grid.value(0, 0)) * (grid.value(1, 1) - grid.value(0, 1));
    for (std::size_t r = 0; r < levels.size(); ++r) {
        const auto expected = CalcHomeRangeArea(grid.value, 40000, volume, std::sqrt(cell),
                                                std::sqrt(cell), levels[r] / 100);
        ASSERT_TRUE(expected.Ok());
        EXPECT_NEAR(areas[r], expected.value.area, 1e-6 * expected.value.area);
    }
    EXPECT_EQ(std::set<double>(levels.begin(), levels.end()), (std::set<double>{50, 95}));
}

TEST(SaveResults, RasterAndContourTypesWriteGridsAndKeepTheLikelihoodsText) {
    const auto grid = NormalGrid();
    ASSERT_TRUE(grid.Ok());
    testing::TempDir dir;
    for (const FileType type : {FileType::GeoTiff, FileType::ContourShapefile}) {
        Session session;
        session.Put(kBVNName, Matrix(grid.value));
        session.MarkLikelihoodsWaiting(true);
        const SaveReport report = SaveResults(session, dir.path(), "R", type);
        ASSERT_TRUE(report.Ok()) << report.errors.front();
        EXPECT_FALSE(session.WaitingGrid(kBVNName));
        EXPECT_TRUE(std::filesystem::exists(dir.path() / "RLikelihoods.txt"));
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "RBVN.tif"));
    EXPECT_TRUE(OpenShapeLayer(dir.path() / "RBVN.shp").Ok());

    // Points that are not a regular grid cannot be a raster: the result keeps waiting.
    Session points;
    Matrix scattered(4, 4);
    scattered(1, 0) = 5;
    scattered(2, 0) = 9;
    points.Put(kBridgeName, std::move(scattered));
    const SaveReport report = SaveResults(points, dir.path(), "R", FileType::GeoTiff);
    EXPECT_FALSE(report.Ok());
    EXPECT_TRUE(points.WaitingGrid(kBridgeName));
}

// The ten locations of the hand-worked MCP test, taken in as a loader takes them: their 50 %
// polygon is the kite (-3, 0) (0, -5) (4, 0) (0, 5) of area 35, their 95 % one the kite
// (-10, 0) (0, -5) (13, 0) (0, 5) of area 115.
void TakeTenLocations(Session& session) {
    const std::pair<double, double> points[] = {{10, 0}, {1, 0},  {0, 5}, {-17, 0}, {-3, 0},
                                                {0, -5}, {13, 0}, {2, 0}, {-10, 0}, {4, 0}};
    LoadedFile file;
    file.values = Matrix(10, 2);
    for (std::int32_t i = 0; i < 10; ++i) {
        file.values(i, 0) = points[i].first;
        file.values(i, 1) = points[i].second;
    }
    ASSERT_EQ(TakeLoadedFile(session, std::move(file)), 10);
}

TEST(SaveResults, ContoursOfIndependentLocationsComeWithTheirMinimumConvexPolygons) {
    const auto grid = NormalGrid();
    ASSERT_TRUE(grid.Ok());
    Session session;
    TakeTenLocations(session);
    session.Put(kBVNName, Matrix(grid.value));
    testing::TempDir dir;
    const SaveReport report = SaveResults(session, dir.path(), "R", FileType::ContourShapefile);
    ASSERT_TRUE(report.Ok()) << report.errors.front();
    EXPECT_EQ(report.written, (std::vector<std::filesystem::path>{dir.path() / "RBVN.shp",
                                                                  dir.path() / "RMcp.shp"}));
    const auto layer = OpenShapeLayer(dir.path() / "RMcp.shp");
    ASSERT_TRUE(layer.Ok()) << layer.status.error;
    EXPECT_EQ(layer.value.shape_type, kPolygonShape);
    ASSERT_EQ(layer.value.records, 2);
    EXPECT_EQ(Column(layer.value, "Level"), (std::vector<double>{50, 95}));
    EXPECT_EQ(Column(layer.value, "Area"), (std::vector<double>{35, 115}));
    using Corners = std::set<std::pair<double, double>>;
    const Corners corners[] = {{{-3, 0}, {0, -5}, {4, 0}, {0, 5}},
                               {{-10, 0}, {0, -5}, {13, 0}, {0, 5}}};
    for (std::size_t r = 0; r < 2; ++r) {
        const auto& parts = layer.value.geometries[r].parts;
        ASSERT_EQ(parts.size(), 1U);
        EXPECT_EQ(Corners(parts[0].begin(), parts[0].end()), corners[r]);
    }

    // Rasters come alone.
    session.Put(kBVNName, Matrix(*session.Result(kBVNName)->grid));
    testing::TempDir rasters;
    EXPECT_EQ(SaveResults(session, rasters.path(), "R", FileType::GeoTiff).written,
              std::vector<std::filesystem::path>{rasters.path() / "RBVN.tif"});

    // A file that cannot be written is one more error, and the contours stay written.
    session.Put(kBVNName, Matrix(*session.Result(kBVNName)->grid));
    testing::TempDir blocked;
    std::filesystem::create_directory(blocked.path() / "RMcp.dbf");
    const SaveReport refused =
        SaveResults(session, blocked.path(), "R", FileType::ContourShapefile);
    ASSERT_EQ(refused.errors.size(), 1U);
    EXPECT_NE(refused.errors.front().find((blocked.path() / "RMcp.shp").string()),
              std::string::npos)
        << refused.errors.front();
    EXPECT_EQ(refused.written, std::vector<std::filesystem::path>{blocked.path() / "RBVN.shp"});
    EXPECT_FALSE(session.WaitingGrid(kBVNName));

    // A track loaded since is worked on, and a Brownian bridge's contours come alone.
    LoadedFile track;
    track.purpose = TextFilePurpose::BridgeLocations;
    track.values = Matrix(4, 4);
    for (std::int32_t i = 0; i < 4; ++i) {
        track.values(i, 0) = 557000 + 100 * i;
        track.values(i, 1) = 5424000 + 50 * (i % 2);
        track.values(i, 2) = 60 * i;
        track.values(i, 3) = 10;
    }
    ASSERT_EQ(TakeLoadedFile(session, std::move(track)), 4);
    session.Put(kBridgeName, Matrix(grid.value));
    testing::TempDir bridge;
    const SaveReport alone = SaveResults(session, bridge.path(), "R", FileType::ContourShapefile);
    ASSERT_TRUE(alone.Ok()) << alone.errors.front();
    EXPECT_EQ(alone.written,
              std::vector<std::filesystem::path>{bridge.path() / "RBrownianBridge.shp"});
}

} // namespace
} // namespace ranvik
