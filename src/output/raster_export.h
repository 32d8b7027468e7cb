#pragma once

#include "output/home_range_levels.h"
#include "output/mcp.h"
#include "state/matrix.h"
#include "state/status.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace ranvik {

// The regular lattice of a result grid: rows k = column * rows + row hold x outer and y inner.
struct GridLattice {
    std::int32_t columns = 0, rows = 0;
    double x0 = 0.0, y0 = 0.0; // centre of the first cell
    double dx = 0.0, dy = 0.0;
};

// The lattice of the first `count` rows of a result grid, from its x and y columns. Fails when
// the rows do not form a regular lattice of at least 2 x 2 points.
[[nodiscard]] StatusOr<GridLattice> LatticeOf(const Matrix& grid, std::int32_t count);

// Writes column 2 of the grid (or `values`, one per row, when given) as a one-band GeoTIFF of
// doubles: north up, the cell centres of the grid at the pixel centres, so the raster's corner
// lies half a cell beyond the first centre. `projection_wkt` (may be empty) is its coordinate
// system.
[[nodiscard]] Status WriteGeoTiff(const std::filesystem::path& path, const Matrix& grid,
                                  std::int32_t count, const std::string& projection_wkt = {},
                                  const std::vector<double>* values = nullptr);

// Writes the home range contour polygons of the grid at the given volume levels (0..1) as a
// shapefile (a GeoPackage when the path ends in .gpkg) with the fields Level (percent) and Area
// (the home range area in squared map units, from the cells inside it).
// `volume` may give the grid's volume levels when they are already known.
[[nodiscard]] Status WriteContourShapefile(const std::filesystem::path& path, const Matrix& grid,
                                           std::int32_t count, const std::vector<double>& levels,
                                           const std::string& projection_wkt = {},
                                           const VolumeLevels* volume = nullptr);

// Writes each minimum convex polygon of `mcps` as one polygon (its ring) of a shapefile (a
// GeoPackage when the path ends in .gpkg) with the fields Level (its percent) and Area (its area
// in squared map units), in the coordinate system `projection_wkt` (may be empty). An earlier
// file of that name is replaced. Fails with a sentence naming the file.
[[nodiscard]] Status WriteMcpPolygons(const std::filesystem::path& path, std::span<const Mcp> mcps,
                                      const std::string& projection_wkt = {});

} // namespace ranvik
