#include "input/shape_writer.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <memory>

namespace ranvik {
namespace {

OGRwkbGeometryType GeometryType(int shape_type) {
    switch (shape_type) {
    case kPolygonShape:
        return wkbPolygon;
    case kLineShape:
        return wkbLineString;
    default:
        return wkbPoint;
    }
}

OGRFieldType FieldType(int code) {
    switch (code) {
    case kLongField:
        return OFTInteger;
    case kDoubleField:
        return OFTReal;
    default:
        return OFTString;
    }
}

std::unique_ptr<OGRGeometry> Geometry(int shape_type, const ShapeGeometry& g) {
    if (shape_type == kPointShape) {
        const auto& [x, y] = g.parts.at(0).at(0);
        return std::make_unique<OGRPoint>(x, y);
    }
    if (shape_type == kLineShape) {
        auto line = std::make_unique<OGRLineString>();
        for (const auto& [x, y] : g.parts.at(0)) {
            line->addPoint(x, y);
        }
        return line;
    }
    auto polygon = std::make_unique<OGRPolygon>();
    for (const auto& part : g.parts) {
        OGRLinearRing ring;
        for (const auto& [x, y] : part) {
            ring.addPoint(x, y);
        }
        ring.closeRings();
        polygon->addRing(&ring);
    }
    return polygon;
}

} // namespace

Status WriteShapefile(const std::filesystem::path& path, const ShapefileContent& content) {
    GDALAllRegister();
    const std::string file = path.string();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    if (driver == nullptr) {
        return Status::Failure("Shapefiles cannot be written: GDAL has no shapefile driver.");
    }
    CPLPushErrorHandler(CPLQuietErrorHandler);
    driver->Delete(file.c_str());
    std::unique_ptr<GDALDataset> dataset(
        driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    CPLPopErrorHandler();
    if (!dataset) {
        return Status::Failure("Could not write " + file + ".");
    }
    OGRSpatialReference srs;
    const bool projected = !content.projection_wkt.empty() &&
                           srs.importFromWkt(content.projection_wkt.c_str()) == OGRERR_NONE;
    OGRLayer* layer = dataset->CreateLayer(path.stem().string().c_str(), projected ? &srs : nullptr,
                                           GeometryType(content.shape_type), nullptr);
    if (layer == nullptr) {
        return Status::Failure("Could not write " + file + ".");
    }
    for (const ShapeField& field : content.fields) {
        OGRFieldDefn definition(field.name.c_str(), FieldType(field.type));
        if (field.type == kDoubleField) {
            definition.SetWidth(24);
            definition.SetPrecision(15);
        }
        if (layer->CreateField(&definition) != OGRERR_NONE) {
            return Status::Failure("Could not write the field " + field.name + " to " + file + ".");
        }
    }
    for (std::size_t r = 0; r < content.geometries.size(); ++r) {
        OGRFeature feature(layer->GetLayerDefn());
        for (std::size_t f = 0; f < content.fields.size(); ++f) {
            feature.SetField(static_cast<int>(f), content.values.at(r).at(f).c_str());
        }
        feature.SetGeometry(Geometry(content.shape_type, content.geometries[r]).get());
        if (layer->CreateFeature(&feature) != OGRERR_NONE) {
            return Status::Failure("Could not write record " + std::to_string(r + 1) + " to " +
                                   file + ".");
        }
    }
    return {};
}

} // namespace ranvik
