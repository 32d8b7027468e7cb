#pragma once

#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// Shape type codes of a layer.
inline constexpr int kPolygonShape = 23;
inline constexpr int kLineShape = 22;
inline constexpr int kPointShape = 1; // any other code draws as points

// Attribute field type codes: 0 invalid, 3 long, 5 double, 7 date, 8 string, 11 boolean.
inline constexpr int kInvalidField = 0;
inline constexpr int kLongField = 3;
inline constexpr int kDoubleField = 5;
inline constexpr int kDateField = 7;
inline constexpr int kStringField = 8;
inline constexpr int kBooleanField = 11;

// "Invalid", "Long", "Double", "Date", "String", "Boolean", or "" for another code.
[[nodiscard]] std::string_view FieldTypeName(int code);

struct ShapeField {
    std::string name;
    int type = kInvalidField;
};

// One feature's geometry: its parts (points of a point layer, lines, or polygon rings), each a
// sequence of (x, y).
struct ShapeGeometry {
    std::vector<std::vector<std::pair<double, double>>> parts;
};

// A vector layer read whole: shape type, fields, and every record's values and geometry in one
// order, shared by the count, the field list and the record walk.
struct ShapeLayer {
    std::string path;
    std::string name;           // the layer's name (the file title without extension)
    std::string projection_wkt; // the coordinate system (.prj), empty when unknown
    bool metres = false;        // the coordinate system is projected in metres
    int shape_type = kPointShape;
    std::vector<ShapeField> fields;
    std::int32_t records = 0;
    // Record r, field f at r * fields.size() + f: the value as text, and as a number when the
    // field is numeric or its text reads as one (NaN otherwise).
    std::vector<std::string> texts;
    std::vector<double> numbers;
    std::vector<ShapeGeometry> geometries;

    [[nodiscard]] int FieldIndex(std::string_view field) const; // -1 when absent
};

// Opens the first layer of a shapefile (or any vector file GDAL reads). Fails with a sentence
// when the file cannot be opened as a layer (a missing .shx, a damaged .shp) or a record cannot
// be read.
[[nodiscard]] StatusOr<ShapeLayer> OpenShapeLayer(const std::filesystem::path& path);

// The listed fields of every record as numbers: row r holds the values of record r in the
// order of `names` (plus a spare zero row). Fails, naming the record and the field, when a
// value is missing or not a number, or when the layer has no records.
[[nodiscard]] StatusOr<Matrix> NumericColumns(const ShapeLayer& layer,
                                              const std::vector<std::string>& names);

// The first record, in record order, at map point (x, y): for a polygon layer the first whose
// rings contain the point (even-odd rule over all its rings); otherwise the first with a point
// or a line segment within `tolerance` of it. -1 when there is none.
[[nodiscard]] std::int32_t FindFeature(const ShapeLayer& layer, double x, double y,
                                       double tolerance);

// The box around every geometry of the layer: x0, y0, x1, y1 (all 0 for an empty layer).
struct ShapeExtent {
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
};
[[nodiscard]] ShapeExtent FullExtent(const ShapeLayer& layer);

} // namespace ranvik
