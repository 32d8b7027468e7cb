#include "output/raster_export.h"

#include "output/home_range_levels.h"

#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>

namespace ranvik {
namespace {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// Pixel (column, line) of lattice cell (i, j): lines run from north to south.
std::size_t PixelIndex(const GridLattice& g, std::int32_t i, std::int32_t j) {
    return static_cast<std::size_t>(g.rows - 1 - j) * static_cast<std::size_t>(g.columns) +
           static_cast<std::size_t>(i);
}

Dataset MemoryRaster(const GridLattice& g, const Matrix& grid, const std::vector<double>& values,
                     const std::string& wkt) {
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    Dataset raster(memory->Create("", g.columns, g.rows, 1, GDT_Float64, nullptr));
    double transform[6] = {g.x0 - g.dx / 2, g.dx, 0, g.y0 + (g.rows - 0.5) * g.dy, 0, -g.dy};
    raster->SetGeoTransform(transform);
    if (!wkt.empty()) {
        raster->SetProjection(wkt.c_str());
    }
    std::vector<double> pixels(static_cast<std::size_t>(g.columns) *
                               static_cast<std::size_t>(g.rows));
    for (std::int32_t i = 0; i < g.columns; ++i) {
        for (std::int32_t j = 0; j < g.rows; ++j) {
            const std::int32_t k = i * g.rows + j;
            pixels[PixelIndex(g, i, j)] =
                values.empty() ? grid(k, 2) : values[static_cast<std::size_t>(k)];
        }
    }
    if (raster->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, g.columns, g.rows, pixels.data(),
                                           g.columns, g.rows, GDT_Float64, 0, 0,
                                           nullptr) != CE_None) {
        return nullptr;
    }
    return raster;
}

// A home range file's polygon layer, open for writing.
struct LevelLayer {
    Dataset file;
    OGRLayer* layer = nullptr;
};

// Creates the file of `path` with one layer of `geometry` named after the file and the fields
// Level (percent) and Area (squared map units), in the coordinate system `wkt` when it reads:
// a GeoPackage when the path ends in .gpkg (in any case), otherwise a shapefile, replacing an
// earlier file of that name. Fails with a sentence naming the file.
StatusOr<LevelLayer> CreateLevelLayer(const std::filesystem::path& path, const std::string& wkt,
                                      OGRwkbGeometryType geometry) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    GDALDriver* driver =
        GetGDALDriverManager()->GetDriverByName(extension == ".gpkg" ? "GPKG" : "ESRI Shapefile");
    const std::string file = path.string();
    // A GeoPackage records when it was written; a fixed date keeps two runs' files identical.
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", "2000-01-01T00:00:00.000Z");
    OGRSpatialReference srs;
    const bool projected = !wkt.empty() && srs.importFromWkt(wkt.c_str()) == OGRERR_NONE;
    OGRFieldDefn level_field("Level", OFTReal);
    OGRFieldDefn area_field("Area", OFTReal);
    area_field.SetWidth(24);
    area_field.SetPrecision(6);
    // GDAL's own messages are left out: the sentence below names the file.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    driver->Delete(file.c_str());
    LevelLayer out;
    out.file.reset(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (out.file) {
        out.layer = out.file->CreateLayer(path.stem().string().c_str(), projected ? &srs : nullptr,
                                          geometry, nullptr);
    }
    const bool made = out.layer != nullptr && out.layer->CreateField(&level_field) == OGRERR_NONE &&
                      out.layer->CreateField(&area_field) == OGRERR_NONE;
    CPLPopErrorHandler();
    if (!made) {
        return Status::Failure("Could not write " + file + ".");
    }
    return out;
}

// Adds `geometry` to a layer of CreateLevelLayer with its level (percent) and area; false when
// the layer refuses it.
bool AddLevelFeature(OGRLayer& layer, double percent, double area, const OGRGeometry* geometry) {
    OGRFeature feature(layer.GetLayerDefn());
    feature.SetField(0, percent);
    feature.SetField(1, area);
    feature.SetGeometry(geometry);
    return layer.CreateFeature(&feature) == OGRERR_NONE;
}

} // namespace

StatusOr<GridLattice> LatticeOf(const Matrix& grid, std::int32_t count) {
    StatusOr<GridLattice> result;
    GridLattice& g = result.value;
    while (g.rows < count && grid(g.rows, 0) == grid(0, 0)) {
        ++g.rows;
    }
    if (g.rows < 2 || count % g.rows != 0 || count / g.rows < 2) {
        return Status::Failure("The result is not a regular grid of points, so it "
                               "cannot be written as a raster.");
    }
    g.columns = count / g.rows;
    g.x0 = grid(0, 0);
    g.y0 = grid(0, 1);
    g.dx = (grid((g.columns - 1) * g.rows, 0) - g.x0) / (g.columns - 1);
    g.dy = (grid(g.rows - 1, 1) - g.y0) / (g.rows - 1);
    if (!(g.dx > 0 && g.dy > 0)) {
        result.status = Status::Failure("The result grid has no extent.");
    }
    return result;
}

Status WriteGeoTiff(const std::filesystem::path& path, const Matrix& grid, std::int32_t count,
                    const std::string& projection_wkt, const std::vector<double>* values) {
    GDALAllRegister();
    const auto lattice = LatticeOf(grid, count);
    if (!lattice.Ok()) {
        return lattice.status;
    }
    const Dataset memory = MemoryRaster(
        lattice.value, grid, values != nullptr ? *values : std::vector<double>{}, projection_wkt);
    GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    CPLPushErrorHandler(CPLQuietErrorHandler);
    Dataset copy(
        gtiff->CreateCopy(path.string().c_str(), memory.get(), FALSE, nullptr, nullptr, nullptr));
    CPLPopErrorHandler();
    if (!copy) {
        return Status::Failure("Could not write " + path.string() + ".");
    }
    return {};
}

Status WriteContourShapefile(const std::filesystem::path& path, const Matrix& grid,
                             std::int32_t count, const std::vector<double>& levels,
                             const std::string& projection_wkt, const VolumeLevels* known) {
    GDALAllRegister();
    const auto lattice = LatticeOf(grid, count);
    if (!lattice.Ok()) {
        return lattice.status;
    }
    const GridLattice& g = lattice.value;
    const VolumeLevels volume = known != nullptr ? *known : CalcVolumeLevels(grid, count);
    std::vector<double> percent(volume.level.size());
    for (std::size_t k = 0; k < percent.size(); ++k) {
        percent[k] = 100 * volume.level[k];
    }
    const Dataset raster = MemoryRaster(g, grid, percent, projection_wkt);
    if (!raster) {
        return Status::Failure("Could not prepare the contours of " + path.string() + ".");
    }

    auto created = CreateLevelLayer(path, projection_wkt, wkbMultiPolygon);
    if (!created.Ok()) {
        return created.status;
    }
    OGRLayer* layer = created.value.layer;
    const std::string file = path.string();
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
    for (const double level : levels) {
        const auto home_range = CalcHomeRangeArea(grid, count, volume, g.dx, g.dy, level);
        if (!home_range.Ok()) {
            return home_range.status;
        }
        // The cells at or below the level form the band from 0 to the level; the band above
        // it is the outside and is not kept.
        Dataset bands(memory->Create("", 0, 0, 0, GDT_Unknown, nullptr));
        OGRLayer* band = bands->CreateLayer("bands", nullptr, wkbMultiPolygon, nullptr);
        OGRFieldDefn id("ID", OFTInteger);
        OGRFieldDefn low("Low", OFTReal);
        OGRFieldDefn high("High", OFTReal);
        for (OGRFieldDefn* field : {&id, &low, &high}) {
            if (band->CreateField(field) != OGRERR_NONE) {
                return Status::Failure("Could not draw the contours of " + file + ".");
            }
        }
        const std::string fixed = "FIXED_LEVELS=0," + std::to_string(100 * level);
        char** options = nullptr;
        options = CSLAddString(options, fixed.c_str());
        options = CSLAddString(options, "POLYGONIZE=YES");
        options = CSLAddString(options, "ID_FIELD=0");
        options = CSLAddString(options, "ELEV_FIELD_MIN=1");
        options = CSLAddString(options, "ELEV_FIELD_MAX=2");
        const CPLErr error =
            GDALContourGenerateEx(raster->GetRasterBand(1), band, options, nullptr, nullptr);
        CSLDestroy(options);
        if (error != CE_None) {
            return Status::Failure("The contours could not be drawn for " + file + ".");
        }
        band->ResetReading();
        for (;;) {
            std::unique_ptr<OGRFeature> piece(band->GetNextFeature());
            if (!piece) {
                break;
            }
            if (std::fabs(piece->GetFieldAsDouble(2) - 100 * level) > 1e-9) {
                continue;
            }
            if (!AddLevelFeature(*layer, 100 * level, home_range.value.area,
                                 piece->GetGeometryRef())) {
                return Status::Failure("Could not write the contours to " + file + ".");
            }
        }
    }
    return {};
}

Status WriteMcpPolygons(const std::filesystem::path& path, std::span<const Mcp> mcps,
                        const std::string& projection_wkt) {
    GDALAllRegister();
    auto created = CreateLevelLayer(path, projection_wkt, wkbPolygon);
    if (!created.Ok()) {
        return created.status;
    }
    for (const Mcp& mcp : mcps) {
        OGRLinearRing ring;
        for (const auto& [x, y] : mcp.ring) {
            ring.addPoint(x, y);
        }
        OGRPolygon polygon;
        polygon.addRing(&ring);
        if (!AddLevelFeature(*created.value.layer, mcp.percent, mcp.area, &polygon)) {
            return Status::Failure("Could not write the minimum convex polygons to " +
                                   path.string() + ".");
        }
    }
    return {};
}

} // namespace ranvik
