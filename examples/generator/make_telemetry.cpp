// Writes the sample telemetry tables: three elk followed by GPS collars every 30 minutes for
// four days, as a Movebank-style export (rows of all animals interleaved, one fix in seventeen
// failed) and the same fixes as a GeoPackage of points in longitude/latitude.
//
//   make_telemetry <examples folder>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Fix {
    std::string animal;
    int minutes = 0;
    double lon = 0.0, lat = 0.0; // NaN for a failed fix
};

std::string Timestamp(int minutes) {
    // 2021-06-01 00:00 UTC plus the minutes, within June.
    const int day = 1 + minutes / 1440;
    char text[40];
    std::snprintf(text, sizeof text, "2021-06-%02d %02d:%02d:00.000", day, minutes / 60 % 24,
                  minutes % 60);
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_telemetry <examples folder>\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / "telemetry";
    std::filesystem::create_directories(folder);
    std::mt19937 random(2021);
    std::normal_distribution<double> step(0.0, 0.0012);
    const char* const animals[] = {"elk-A", "elk-B", "elk-C"};
    double lon[] = {-115.52, -115.47, -115.58};
    double lat[] = {49.01, 49.04, 48.98};
    std::vector<Fix> fixes;
    int row = 0;
    for (int minutes = 0; minutes < 4 * 1440; minutes += 30) {
        for (int a = 0; a < 3; ++a, ++row) {
            lon[a] += step(random);
            lat[a] += step(random) * 0.7;
            // Seven decimals, as the table prints them, so both files hold the same numbers.
            Fix fix{animals[a], minutes + 2 * a, std::round(lon[a] * 1e7) / 1e7,
                    std::round(lat[a] * 1e7) / 1e7};
            if (row % 17 == 5) {
                fix.lon = fix.lat = std::nan("");
            }
            fixes.push_back(fix);
        }
    }

    std::ofstream csv(folder / "movebank_elk.csv", std::ios::binary);
    csv << "event-id,visible,timestamp,location-long,location-lat,gps:hdop,"
           "individual-taxon-canonical-name,individual-local-identifier\n";
    for (std::size_t k = 0; k < fixes.size(); ++k) {
        const Fix& f = fixes[k];
        char line[256];
        if (std::isnan(f.lon)) {
            std::snprintf(line, sizeof line, "%zu,true,%s,,,,Cervus canadensis,%s\n", 1000 + k,
                          Timestamp(f.minutes).c_str(), f.animal.c_str());
        } else {
            std::snprintf(line, sizeof line, "%zu,true,%s,%.7f,%.7f,1.%d,Cervus canadensis,%s\n",
                          1000 + k, Timestamp(f.minutes).c_str(), f.lon, f.lat,
                          static_cast<int>(k % 9), f.animal.c_str());
        }
        csv << line;
    }
    csv.close();

    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    const std::string gpkg = (folder / "movebank_elk.gpkg").string();
    std::filesystem::remove(gpkg);
    std::unique_ptr<GDALDataset> dataset(
        driver->Create(gpkg.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layer = dataset->CreateLayer("fixes", &wgs84, wkbPoint, nullptr);
    OGRFieldDefn time_field("timestamp", OFTString);
    OGRFieldDefn animal_field("individual-local-identifier", OFTString);
    layer->CreateField(&time_field);
    layer->CreateField(&animal_field);
    for (const Fix& f : fixes) {
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("timestamp", Timestamp(f.minutes).c_str());
        feature.SetField("individual-local-identifier", f.animal.c_str());
        if (!std::isnan(f.lon)) {
            OGRPoint point(f.lon, f.lat);
            feature.SetGeometry(&point);
        }
        if (layer->CreateFeature(&feature) != OGRERR_NONE) {
            std::fprintf(stderr, "could not write %s\n", gpkg.c_str());
            return 1;
        }
    }
    std::printf("wrote %zu fixes to %s and %s\n", fixes.size(),
                (folder / "movebank_elk.csv").string().c_str(), gpkg.c_str());
    return 0;
}
