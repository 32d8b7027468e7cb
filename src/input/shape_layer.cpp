#include "input/shape_layer.h"

#include "state/number_text.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

namespace ranvik {
namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// GDAL's error messages are not shown while it lives: failures are reported as sentences.
class QuietErrors {
public:
    QuietErrors() { CPLPushErrorHandler(CPLQuietErrorHandler); }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;
};

void RegisterDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

int ShapeTypeOf(OGRwkbGeometryType type) {
    switch (wkbFlatten(type)) {
    case wkbPolygon:
    case wkbMultiPolygon:
        return kPolygonShape;
    case wkbLineString:
    case wkbMultiLineString:
        return kLineShape;
    default:
        return kPointShape;
    }
}

int FieldTypeOf(const OGRFieldDefn& field) {
    if (field.GetSubType() == OFSTBoolean) {
        return kBooleanField;
    }
    switch (field.GetType()) {
    case OFTInteger:
    case OFTInteger64:
        return kLongField;
    case OFTReal:
        return kDoubleField;
    case OFTDate:
    case OFTDateTime:
        return kDateField;
    case OFTString:
        return kStringField;
    default:
        return kInvalidField;
    }
}

void AddPoints(const OGRSimpleCurve& curve, ShapeGeometry& g) {
    std::vector<std::pair<double, double>> part;
    for (int i = 0; i < curve.getNumPoints(); ++i) {
        part.emplace_back(curve.getX(i), curve.getY(i));
    }
    g.parts.push_back(std::move(part));
}

void AddGeometry(const OGRGeometry* geometry, ShapeGeometry& g) {
    if (geometry == nullptr) {
        return;
    }
    switch (wkbFlatten(geometry->getGeometryType())) {
    case wkbPoint: {
        const auto* point = geometry->toPoint();
        g.parts.push_back({{point->getX(), point->getY()}});
        break;
    }
    case wkbLineString:
        AddPoints(*geometry->toLineString(), g);
        break;
    case wkbPolygon:
        for (const OGRLinearRing* ring : *geometry->toPolygon()) {
            AddPoints(*ring, g);
        }
        break;
    default:
        if (const auto* collection = dynamic_cast<const OGRGeometryCollection*>(geometry)) {
            for (const OGRGeometry* member : *collection) {
                AddGeometry(member, g);
            }
        }
        break;
    }
}

} // namespace

std::string_view FieldTypeName(int code) {
    switch (code) {
    case kInvalidField:
        return "Invalid";
    case kLongField:
        return "Long";
    case kDoubleField:
        return "Double";
    case kDateField:
        return "Date";
    case kStringField:
        return "String";
    case kBooleanField:
        return "Boolean";
    default:
        return "";
    }
}

int ShapeLayer::FieldIndex(std::string_view field) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == field) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The sibling of a shapefile with another extension, in either case ("x.shp" -> "x.dbf" or
// "x.DBF"), or an empty path when there is none.
static std::filesystem::path Sibling(const std::filesystem::path& shp, const char* lower,
                                     const char* upper) {
    for (const char* extension : {lower, upper}) {
        std::filesystem::path candidate = shp;
        candidate.replace_extension(extension);
        VSIStatBufL status;
        if (VSIStatExL(candidate.string().c_str(), &status, VSI_STAT_EXISTS_FLAG) == 0) {
            return candidate;
        }
    }
    return {};
}

namespace {

StatusOr<ShapeLayer> ReadShapeLayer(const std::filesystem::path& path) {
    StatusOr<ShapeLayer> result;
    const std::string file = path.string();
    std::string extension = path.extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (extension == ".shp") {
        for (const auto& [lower, upper] : {std::pair{".shx", ".SHX"}, std::pair{".dbf", ".DBF"}}) {
            if (Sibling(path, lower, upper).empty()) {
                return Status::Failure(
                    file + " cannot be opened: its " + std::string(lower) +
                    " file is missing. A shapefile needs its .shp, .shx and .dbf files side by "
                    "side.");
            }
        }
    }
    std::optional<QuietErrors> quiet(std::in_place);
    // A .shp goes straight to the shapefile driver rather than past every driver's probe.
    const char* const shapefile_driver[] = {"ESRI Shapefile", nullptr};
    std::unique_ptr<GDALDataset> dataset(
        GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                          extension == ".shp" ? shapefile_driver : nullptr, nullptr, nullptr));
    quiet.reset();
    if (!dataset || dataset->GetLayerCount() < 1) {
        return Status::Failure(file + " cannot be opened as a layer: a shapefile needs "
                                      "its .shp, .shx and .dbf files side by side.");
    }
    OGRLayer* layer = dataset->GetLayer(0);
    ShapeLayer& out = result.value;
    out.path = file;
    out.name = layer->GetName();
    out.shape_type = ShapeTypeOf(layer->GetGeomType());
    if (const OGRSpatialReference* srs = layer->GetSpatialRef()) {
        char* wkt = nullptr;
        if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr) {
            out.projection_wkt = wkt;
        }
        CPLFree(wkt);
        out.metres = srs->IsProjected() && std::fabs(srs->GetLinearUnits() - 1.0) < 1e-9;
    }
    OGRFeatureDefn* definition = layer->GetLayerDefn();
    for (int i = 0; i < definition->GetFieldCount(); ++i) {
        const OGRFieldDefn* field = definition->GetFieldDefn(i);
        out.fields.push_back({field->GetNameRef(), FieldTypeOf(*field)});
    }
    const std::size_t width = out.fields.size();
    const GIntBig expected = layer->GetFeatureCount(TRUE);
    layer->ResetReading();
    CPLErrorReset();
    quiet.emplace();
    for (;;) {
        std::unique_ptr<OGRFeature> feature(layer->GetNextFeature());
        if (!feature) {
            break;
        }
        for (std::size_t f = 0; f < width; ++f) {
            const int i = static_cast<int>(f);
            const bool set = feature->IsFieldSetAndNotNull(i);
            out.texts.emplace_back(set ? feature->GetFieldAsString(i) : "");
            double number = kNotANumber;
            if (set) {
                const int type = out.fields[f].type;
                if (type == kLongField || type == kDoubleField) {
                    number = feature->GetFieldAsDouble(i);
                    out.texts.back() = FormatNumber(number); // not the file's padded text
                } else if (const auto parsed = ParseNumber(out.texts.back())) {
                    number = *parsed;
                }
            }
            out.numbers.push_back(number);
        }
        ShapeGeometry geometry;
        AddGeometry(feature->GetGeometryRef(), geometry);
        out.geometries.push_back(std::move(geometry));
        ++out.records;
    }
    const bool failed = CPLGetLastErrorType() >= CE_Failure;
    quiet.reset();
    if (failed || (expected >= 0 && out.records != expected)) {
        result.status =
            Status::Failure(file + " is damaged: only " + std::to_string(out.records) + " of its " +
                            std::to_string(expected) + " records could be read.");
    }
    return result;
}

} // namespace

StatusOr<ShapeLayer> OpenShapeLayer(const std::filesystem::path& path) {
    RegisterDrivers();
    try {
        return ReadShapeLayer(path);
    } catch (const std::bad_alloc&) {
        StatusOr<ShapeLayer> result;
        result.status =
            Status::Failure("There is not enough memory to read " + path.string() + ".");
        return result;
    }
}

StatusOr<Matrix> NumericColumns(const ShapeLayer& layer, const std::vector<std::string>& names) {
    StatusOr<Matrix> result;
    if (layer.records < 1) {
        return Status::Failure(layer.path + " has no records.");
    }
    std::vector<int> columns;
    for (const std::string& name : names) {
        const int index = layer.FieldIndex(name);
        if (index < 0) {
            return Status::Failure("The layer has no field named \"" + name + "\".");
        }
        columns.push_back(index);
    }
    const std::size_t width = layer.fields.size();
    result.value.Resize(layer.records + 1, static_cast<std::int32_t>(names.size()));
    for (std::int32_t r = 0; r < layer.records; ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::size_t at =
                static_cast<std::size_t>(r) * width + static_cast<std::size_t>(columns[c]);
            const double value = layer.numbers[at];
            if (!std::isfinite(value)) {
                result.value.Clear();
                return Status::Failure("Record " + std::to_string(r + 1) +
                                       " has no number in the field \"" + names[c] +
                                       "\" (it holds \"" + layer.texts[at] + "\").");
            }
            result.value(r, static_cast<std::int32_t>(c)) = value;
        }
    }
    return result;
}

namespace {

using Part = std::vector<std::pair<double, double>>;

bool InsideRings(const std::vector<Part>& rings, double x, double y) {
    bool inside = false;
    for (const Part& ring : rings) {
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const auto [xi, yi] = ring[i];
            const auto [xj, yj] = ring[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) {
                inside = !inside;
            }
        }
    }
    return inside;
}

double SegmentDistance2(double x, double y, std::pair<double, double> a,
                        std::pair<double, double> b) {
    const double dx = b.first - a.first;
    const double dy = b.second - a.second;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((x - a.first) * dx + (y - a.second) * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double px = a.first + t * dx - x;
    const double py = a.second + t * dy - y;
    return px * px + py * py;
}

} // namespace

std::int32_t FindFeature(const ShapeLayer& layer, double x, double y, double tolerance) {
    const double limit2 = tolerance * tolerance;
    for (std::size_t r = 0; r < layer.geometries.size(); ++r) {
        const auto& parts = layer.geometries[r].parts;
        if (layer.shape_type == kPolygonShape) {
            if (InsideRings(parts, x, y)) {
                return static_cast<std::int32_t>(r);
            }
            continue;
        }
        for (const Part& part : parts) {
            if (part.size() == 1 && SegmentDistance2(x, y, part[0], part[0]) <= limit2) {
                return static_cast<std::int32_t>(r);
            }
            for (std::size_t i = 1; i < part.size(); ++i) {
                if (SegmentDistance2(x, y, part[i - 1], part[i]) <= limit2) {
                    return static_cast<std::int32_t>(r);
                }
            }
        }
    }
    return -1;
}

ShapeExtent FullExtent(const ShapeLayer& layer) {
    ShapeExtent e;
    bool first = true;
    for (const ShapeGeometry& g : layer.geometries) {
        for (const Part& part : g.parts) {
            for (const auto& [x, y] : part) {
                if (first) {
                    e = {x, y, x, y};
                    first = false;
                }
                e.x0 = std::min(e.x0, x);
                e.y0 = std::min(e.y0, y);
                e.x1 = std::max(e.x1, x);
                e.y1 = std::max(e.y1, y);
            }
        }
    }
    return e;
}

} // namespace ranvik
