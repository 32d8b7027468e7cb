#pragma once

#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace ranvik {

// Cells per side of the utilization distribution grid, and its number of nodes.
inline constexpr int kGridCells = 200;
inline constexpr std::int32_t kGridNodes = kGridCells * kGridCells;

// The output grid every home range estimator fills: 200 x 200 cells over the bounding box of
// the locations widened by half its width on each side.
//
// The box is found in one pass over locations 0..n-1 starting from location 0: a coordinate
// above the maximum raises it, otherwise one below the minimum lowers it. Then
// X0 = xmin - 0.5 (xmax - xmin), X1 = xmax + 0.5 (xmax - xmin), dx = (X1 - X0) / 200, and the
// same for y. Node centres start at X0 + 0.5 dx and Y0 + 0.5 dy and advance by repeated
// addition of dx and dy, so xs and ys hold exactly the values written to the grid file.
struct GridLayout {
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double x0 = 0.0, x1 = 0.0, y0 = 0.0, y1 = 0.0;
    double dx = 0.0, dy = 0.0;
    std::array<double, kGridCells> xs{}; // centre of column i
    std::array<double, kGridCells> ys{}; // centre of row j
};

// The layout over locations 0..n-1 of `xy` (n >= 1).
[[nodiscard]] GridLayout LayOutGrid(const Matrix& xy, std::int32_t n);

// Fails with a sentence for the user when the grid cannot hold a home range: no locations,
// or all of them on one point, one north-south line (dx = 0) or one east-west line (dy = 0),
// where every cell probability would be 0.
[[nodiscard]] Status CheckGridExtent(const GridLayout& layout, std::int32_t n);

// Density at a node (x, y).
using NodeDensity = std::function<double(double x, double y)>;

// A new grid of rows 0..40000 and columns 0..3: row k = 200 i + j holds node (xs[i], ys[j])
// in columns 0 and 1 and, in column 2, density(x, y) * dx * dy, the probability of the cell.
// Row 40000 and column 3 stay 0. Nodes are computed in parallel when `control` allows it;
// each node's value does not depend on the thread. Progress is reported column by column;
// when it asks to stop, the result is Cancelled and the grid is incomplete.
[[nodiscard]] StatusOr<Matrix> ComputeGrid(const GridLayout& layout, const NodeDensity& density,
                                           const RunControl& control);

// The grid ComputeGrid makes, from densities already known at every node (node 200 i + j).
[[nodiscard]] Matrix GridOfNodeDensities(const GridLayout& layout,
                                         const std::vector<double>& density);

// A grid's node coordinates on one axis: start, start + step, ... while <= stop, by repeated
// addition, as every grid of the extent form lays them out.
[[nodiscard]] std::vector<double> GridSteps(double start, double stop, double step);

// How many values GridSteps would give, without making them; stops counting past `limit`.
[[nodiscard]] std::int64_t CountGridSteps(double start, double stop, double step,
                                          std::int64_t limit);

// A lattice several distributions share so that their cells coincide: cell centres
// (x0 + i cell, y0 + j cell) for every integer i and j. A distribution made on it fills only the
// window its tails reach; two windows of one lattice line up cell for cell.
struct SharedLattice {
    double x0 = 0.0, y0 = 0.0;
    double cell = 0.0;
};

// The most cells one window of a shared lattice may hold: 16 million cells of x, y and
// probability take 384 MB while the window is made.
inline constexpr std::int64_t kMaxLatticeWindowCells = 16'000'000;

// A window of a shared lattice: columns i0..i0 + columns - 1 and rows j0..j0 + rows - 1.
struct LatticeWindow {
    std::int64_t i0 = 0, j0 = 0;
    std::int32_t columns = 0, rows = 0;

    [[nodiscard]] double X(const SharedLattice& lattice, std::int32_t i) const;
    [[nodiscard]] double Y(const SharedLattice& lattice, std::int32_t j) const;
};

// The smallest window whose cells cover the box xmin..xmax, ymin..ymax. Fails with a sentence
// for the user when the cell is not a positive number or the window would hold more than
// kMaxLatticeWindowCells cells.
[[nodiscard]] StatusOr<LatticeWindow> WindowOver(const SharedLattice& lattice, double xmin,
                                                 double xmax, double ymin, double ymax);

// The grid of `density` on the window of `lattice` over the box xmin..xmax, ymin..ymax
// (WindowOver): rows k = column * rows + row hold the node's x, y, density(x, y) c^2 and an
// unused column (x outer, y inner), then a spare row. Columns are computed in parallel when
// `control` allows; each node's value does not depend on the thread. Fails as WindowOver;
// Cancelled when `control` asks to stop.
[[nodiscard]] StatusOr<Matrix> DensityOnLattice(const SharedLattice& lattice, double xmin,
                                                double xmax, double ymin, double ymax,
                                                const NodeDensity& density,
                                                const RunControl& control = {});

// The grid of `density` over locations 0..n-1 of `xy`: LayOutGrid, CheckGridExtent and
// ComputeGrid in one step.
[[nodiscard]] StatusOr<Matrix> GridOverLocations(const Matrix& xy, std::int32_t n,
                                                 const NodeDensity& density,
                                                 const RunControl& control);

} // namespace ranvik
