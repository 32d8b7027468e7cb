#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace ranvik::testing {

// One row of a Movebank-style table: the animal, seconds after 2021-06-01 00:00:00 UTC,
// longitude and latitude as written (empty for a failed fix), and the location error.
struct TableRow {
    std::string animal;
    long seconds;
    std::string lon, lat;
    double error;
};

// The comma-separated fields of one line of a table (no quoting), padded to `fields`.
inline std::vector<std::string> CommaFields(const std::string& line, std::size_t fields) {
    std::vector<std::string> cells;
    std::string::size_type start = 0;
    for (std::string::size_type comma; (comma = line.find(',', start)) != std::string::npos;
         start = comma + 1) {
        cells.push_back(line.substr(start, comma - start));
    }
    if (start < line.size()) {
        cells.push_back(line.substr(start));
    }
    cells.resize(std::max(cells.size(), fields));
    return cells;
}

inline std::string Timestamp(long seconds) {
    char text[128];
    std::snprintf(text, sizeof text, "2021-06-%02ld %02ld:%02ld:%02ld.000", 1 + seconds / 86400,
                  seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    return text;
}

inline std::string Degrees(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7f", value);
    return text;
}

// Two animals wandering near 115.5 W, 49 N: "A" with 40 fixes every half hour and a few
// seconds, "B" with 30 fixes of which 5 failed. Rows of both are interleaved, and each block of
// ten rows is reversed, so the table is out of time order.
inline std::vector<TableRow> TwoAnimals() {
    std::vector<TableRow> rows;
    unsigned state = 12345;
    const auto step = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 8) % 2001) / 1000.0 - 1.0; // -1..1
    };
    double lon_a = -115.52, lat_a = 49.01, lon_b = -115.47, lat_b = 49.04;
    for (int k = 0; k < 40; ++k) {
        lon_a += 0.004 * step();
        lat_a += 0.003 * step();
        rows.push_back(
            {"A", k * 1800L + (k % 3) * 7, Degrees(lon_a), Degrees(lat_a), 5.0 + (k % 4)});
        if (k < 30) {
            lon_b += 0.004 * step();
            lat_b += 0.003 * step();
            const bool failed = k % 6 == 5;
            rows.push_back({"B", 900 + k * 2400L, failed ? "" : Degrees(lon_b),
                            failed ? "" : Degrees(lat_b), 8.0 + (k % 3)});
        }
    }
    for (std::size_t at = 0; at + 10 <= rows.size(); at += 10) {
        std::reverse(rows.begin() + static_cast<std::ptrdiff_t>(at),
                     rows.begin() + static_cast<std::ptrdiff_t>(at) + 10);
    }
    return rows;
}

inline std::string MovebankCsv(const std::vector<TableRow>& rows) {
    std::string text = "event-id,timestamp,location-long,location-lat,gps:error-m,"
                       "individual-local-identifier\r\n";
    int id = 1;
    for (const TableRow& row : rows) {
        char error[32];
        std::snprintf(error, sizeof error, "%.1f", row.error);
        text += std::to_string(id++) + "," + Timestamp(row.seconds) + "," + row.lon + "," +
                row.lat + "," + error + ",\"" + row.animal + "\"\r\n";
    }
    return text;
}

// The same rows as R's write.csv writes a track's table: its row numbers first under an empty
// name, dotted names, every text quoted, NA for a failed fix's coordinates and times without a
// fraction.
inline std::string RCsv(const std::vector<TableRow>& rows) {
    std::string text = "\"\",\"event.id\",\"timestamp\",\"location.long\",\"location.lat\","
                       "\"gps.error.m\",\"individual.local.identifier\"\n";
    int id = 1;
    for (const TableRow& row : rows) {
        char error[32];
        std::snprintf(error, sizeof error, "%.1f", row.error);
        std::string time = Timestamp(row.seconds);
        time.erase(time.find('.'));
        const std::string number = std::to_string(id);
        text += '"';
        text += number;
        text += "\"," + number + ",\"" + time + "\"," + (row.lon.empty() ? "NA" : row.lon) + "," +
                (row.lat.empty() ? "NA" : row.lat) + "," + error + ",\"" + row.animal + "\"\n";
        ++id;
    }
    return text;
}

} // namespace ranvik::testing
