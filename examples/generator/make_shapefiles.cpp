// Writes the sample shapefiles of examples/shapefiles from the sample text files:
//   make_shapefiles <examples folder>

#include "input/shape_writer.h"
#include "input/text_locations.h"
#include "state/number_text.h"

#include <ogr_spatialref.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using ranvik::ShapefileContent;
using ranvik::ShapeGeometry;

std::string UtmZone11() {
    OGRSpatialReference srs;
    srs.importFromEPSG(32611);
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    std::string text = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    return text;
}

// Points from a text file, its columns becoming fields with the given names.
ShapefileContent PointsFrom(const std::filesystem::path& file, int columns,
                            const std::vector<ranvik::ShapeField>& fields) {
    const auto text = ranvik::ReadLocationText(file, columns, ranvik::kMaxTextLocations);
    ShapefileContent content;
    content.shape_type = ranvik::kPointShape;
    content.fields = fields;
    for (std::int32_t i = 0; i < text.Count(); ++i) {
        content.geometries.push_back(ShapeGeometry{{{{text.values(i, 0), text.values(i, 1)}}}});
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c) {
            row.push_back(ranvik::FormatNumber(text.values(i, c)));
        }
        content.values.push_back(row);
    }
    return content;
}

bool Write(const std::filesystem::path& path, ShapefileContent content, const std::string& wkt) {
    content.projection_wkt = wkt;
    const ranvik::Status status = ranvik::WriteShapefile(path, content);
    if (!status.Ok()) {
        std::fprintf(stderr, "%s\n", status.error.c_str());
    }
    return status.Ok();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_shapefiles <examples folder>\n");
        return 2;
    }
    const std::filesystem::path examples = argv[1];
    const std::filesystem::path out = examples / "shapefiles";
    std::filesystem::create_directories(out);
    const std::string wkt = UtmZone11();
    using F = ranvik::ShapeField;
    bool ok = true;
    ok &= Write(out / "deer_points.shp",
                PointsFrom(examples / "deer_weighted.txt", 3,
                           {F{"Easting", ranvik::kDoubleField}, F{"Northing", ranvik::kDoubleField},
                            F{"Weight", ranvik::kDoubleField}}),
                wkt);
    ok &= Write(out / "elk_track.shp",
                PointsFrom(examples / "elk_gps_bridge.txt", 4,
                           {F{"EASTING", ranvik::kDoubleField}, F{"NORTHING", ranvik::kDoubleField},
                            F{"Time", ranvik::kLongField}, F{"LocError", ranvik::kDoubleField}}),
                wkt);
    ok &= Write(out / "road_points.shp",
                PointsFrom(examples / "road_points.txt", 2,
                           {F{"X", ranvik::kDoubleField}, F{"Y", ranvik::kDoubleField}}),
                wkt);

    ShapefileContent streams;
    streams.shape_type = ranvik::kLineShape;
    streams.fields = {F{"Name", ranvik::kStringField}};
    streams.geometries = {
        ShapeGeometry{
            {{{557200, 5424300}, {557900, 5425100}, {558400, 5425400}, {559300, 5426300}}}},
        ShapeGeometry{{{{558900, 5424200}, {558600, 5424900}, {558400, 5425400}}}}};
    streams.values = {{"Cedar Creek"}, {"Fox Run"}};
    ok &= Write(out / "streams.shp", streams, wkt);

    ShapefileContent area;
    area.shape_type = ranvik::kPolygonShape;
    area.fields = {F{"Name", ranvik::kStringField}, F{"Zone", ranvik::kLongField}};
    area.geometries = {
        ShapeGeometry{
            {{{557000, 5424000}, {558300, 5424000}, {558300, 5426200}, {557000, 5426200}}}},
        ShapeGeometry{
            {{{558300, 5424000}, {559400, 5424000}, {559400, 5426200}, {558300, 5426200}}}}};
    area.values = {{"West meadow", "1"}, {"East ridge", "2"}};
    ok &= Write(out / "study_area.shp", area, wkt);
    return ok ? 0 : 1;
}
