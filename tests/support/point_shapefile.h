#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ranvik::testing {

// Writes a point shapefile (.shp, .shx, .dbf) byte by byte, fast enough for a million points:
// the fields "Easting" and "Northing" hold each point's x and y with 3 decimals.
inline void WritePointShapefile(const std::filesystem::path& shp, const std::vector<double>& xs,
                                const std::vector<double>& ys) {
    const auto n = static_cast<std::uint32_t>(xs.size());
    auto big = [](std::string& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out += static_cast<char>((v >> shift) & 0xFF);
        }
    };
    auto little = [](std::string& out, std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    };
    auto real = [&](std::string& out, double v) {
        std::uint64_t bits = 0;
        static_assert(sizeof bits == sizeof v);
        std::memcpy(&bits, &v, sizeof v);
        little(out, bits, 8);
    };
    double x0 = xs.empty() ? 0 : xs[0], x1 = x0, y0 = ys.empty() ? 0 : ys[0], y1 = y0;
    for (std::uint32_t i = 0; i < n; ++i) {
        x0 = std::min(x0, xs[i]);
        x1 = std::max(x1, xs[i]);
        y0 = std::min(y0, ys[i]);
        y1 = std::max(y1, ys[i]);
    }
    auto header = [&](std::uint32_t words) {
        std::string out;
        big(out, 9994);
        for (int i = 0; i < 5; ++i) {
            big(out, 0);
        }
        big(out, words);
        little(out, 1000, 4);
        little(out, 1, 4); // points
        for (const double v : {x0, y0, x1, y1, 0.0, 0.0, 0.0, 0.0}) {
            real(out, v);
        }
        return out;
    };
    std::string main_file = header(50 + 14 * n);
    std::string index_file = header(50 + 4 * n);
    main_file.reserve(100 + 28 * static_cast<std::size_t>(n));
    for (std::uint32_t i = 0; i < n; ++i) {
        big(index_file, 50 + 14 * i);
        big(index_file, 10);
        big(main_file, i + 1);
        big(main_file, 10);
        little(main_file, 1, 4);
        real(main_file, xs[i]);
        real(main_file, ys[i]);
    }

    constexpr int kWidth = 19;
    std::string table;
    table += '\x03';
    table += "\x7e\x0c\x06"; // last update 2026-12-06
    little(table, n, 4);
    little(table, 32 + 2 * 32 + 1, 2);
    little(table, 1 + 2 * kWidth, 2);
    table.append(20, '\0');
    for (const char* name : {"Easting", "Northing"}) {
        std::string field(name);
        field.resize(11, '\0');
        field += 'N';
        field.append(4, '\0');
        field += static_cast<char>(kWidth);
        field += static_cast<char>(3);
        field.append(14, '\0');
        table += field;
    }
    table += '\x0d';
    char cell[kWidth + 1];
    for (std::uint32_t i = 0; i < n; ++i) {
        table += ' ';
        for (const double v : {xs[i], ys[i]}) {
            std::snprintf(cell, sizeof cell, "%*.3f", kWidth, v);
            table.append(cell, kWidth);
        }
    }
    table += '\x1a';

    auto write = [](const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };
    write(shp, main_file);
    write(std::filesystem::path(shp).replace_extension(".shx"), index_file);
    write(std::filesystem::path(shp).replace_extension(".dbf"), table);
}

} // namespace ranvik::testing
