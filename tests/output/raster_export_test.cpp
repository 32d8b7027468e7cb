#include "output/raster_export.h"

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
    const int level = layer.value.FieldIndex("Level");
    const int area = layer.value.FieldIndex("Area");
    ASSERT_GE(level, 0);
    ASSERT_GE(area, 0);
    const VolumeLevels volume = CalcVolumeLevels(grid.value, 40000);
    const double cell =
        (grid.value(200, 0) - grid.value(0, 0)) * (grid.value(1, 1) - grid.value(0, 1));
    std::set<double> levels;
    const std::size_t width = layer.value.fields.size();
    for (std::int32_t r = 0; r < layer.value.records; ++r) {
        const double at =
            layer.value
                .numbers[static_cast<std::size_t>(r) * width + static_cast<std::size_t>(level)];
        levels.insert(at);
        const auto expected = CalcHomeRangeArea(grid.value, 40000, volume, std::sqrt(cell),
                                                std::sqrt(cell), at / 100);
        ASSERT_TRUE(expected.Ok());
        EXPECT_NEAR(layer.value.numbers[static_cast<std::size_t>(r) * width +
                                        static_cast<std::size_t>(area)],
                    expected.value.area, 1e-6 * expected.value.area);
    }
    EXPECT_EQ(levels, (std::set<double>{50, 95}));
}

TEST(SaveResults, RasterAndContourTypesWriteGridsAndKeepTheLikelihoodsText) {
    const auto grid = NormalGrid();
    ASSERT_TRUE(grid.Ok());
    testing::TempDir dir;
    for (const FileType type : {FileType::GeoTiff, FileType::ContourShapefile}) {
        State state;
        state.GridBVN = grid.value;
        state.NumGridPts = 40000;
        state.DoneBVN = true;
        state.OutputLocLiks = true;
        const SaveReport report = SaveResults(state, dir.path(), "R", type);
        ASSERT_TRUE(report.Ok()) << report.errors.front();
        EXPECT_FALSE(state.DoneBVN);
        EXPECT_TRUE(std::filesystem::exists(dir.path() / "RLikelihoods.txt"));
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "RBVN.tif"));
    EXPECT_TRUE(OpenShapeLayer(dir.path() / "RBVN.shp").Ok());

    // Points that are not a regular grid cannot be a raster: the result keeps waiting.
    State points;
    points.BBOutput = Matrix(4, 4);
    points.BBOutput(1, 0) = 5;
    points.BBOutput(2, 0) = 9;
    points.NumGridPts = 3;
    points.DoneBB = true;
    const SaveReport report = SaveResults(points, dir.path(), "R", FileType::GeoTiff);
    EXPECT_FALSE(report.Ok());
    EXPECT_TRUE(points.DoneBB);
}

} // namespace
} // namespace ranvik
