#pragma once

#include "input/shape_layer.h"
#include "state/status.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ranvik {

// What to write as a shapefile: the shape type (kPointShape, kLineShape or kPolygonShape),
// fields of type kLongField, kDoubleField or kStringField, and one geometry and one row of
// values (as text) per record. Polygon parts are closed rings.
struct ShapefileContent {
    int shape_type = kPointShape;
    std::vector<ShapeField> fields;
    std::vector<ShapeGeometry> geometries;
    std::vector<std::vector<std::string>> values;
    std::string projection_wkt; // empty: no .prj
};

// Writes `content` as a shapefile (.shp, .shx, .dbf and .prj when given) at `path`,
// replacing an earlier one. Fails with a sentence naming the file.
[[nodiscard]] Status WriteShapefile(const std::filesystem::path& path,
                                    const ShapefileContent& content);

} // namespace ranvik
