#include "numerics/output_grid.h"

#include "state/number_text.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ranvik {
namespace {

// Columns of the grid computed between two progress reports.
constexpr int kColumnsPerReport = 10;

std::string Coordinate(double value) {
    return FormatNumber(value);
}

} // namespace

GridLayout LayOutGrid(const Matrix& xy, std::int32_t n) {
    GridLayout g;
    g.xmin = g.xmax = xy(0, 0);
    g.ymin = g.ymax = xy(0, 1);
    for (std::int32_t i = 0; i < n; ++i) {
        const double x = xy(i, 0);
        const double y = xy(i, 1);
        if (x > g.xmax) {
            g.xmax = x;
        } else if (x < g.xmin) {
            g.xmin = x;
        }
        if (y > g.ymax) {
            g.ymax = y;
        } else if (y < g.ymin) {
            g.ymin = y;
        }
    }
    g.x1 = g.xmax + 0.5 * (g.xmax - g.xmin);
    g.x0 = g.xmin - 0.5 * (g.xmax - g.xmin);
    g.y1 = g.ymax + 0.5 * (g.ymax - g.ymin);
    g.y0 = g.ymin - 0.5 * (g.ymax - g.ymin);
    g.dx = (g.x1 - g.x0) / kGridCells;
    g.dy = (g.y1 - g.y0) / kGridCells;

    double x = g.x0 + 0.5 * g.dx;
    for (double& centre : g.xs) {
        centre = x;
        x = x + g.dx;
    }
    double y = g.y0 + 0.5 * g.dy;
    for (double& centre : g.ys) {
        centre = y;
        y = y + g.dy;
    }
    return g;
}

Status CheckGridExtent(const GridLayout& layout, std::int32_t n) {
    if (n < 1) {
        return Status::Failure("No locations are loaded, so there is nothing to estimate a home "
                               "range from.");
    }
    const bool one_x = layout.dx == 0.0;
    const bool one_y = layout.dy == 0.0;
    if (one_x && one_y) {
        return Status::Failure("All locations are at the same place (x = " +
                               Coordinate(layout.xmin) + ", y = " + Coordinate(layout.ymin) +
                               "), so a home range grid cannot be laid over them.");
    }
    if (one_x) {
        return Status::Failure("All locations have the same x coordinate (" +
                               Coordinate(layout.xmin) +
                               "): they lie on one north-south line, so the home range grid "
                               "would have no width.");
    }
    if (one_y) {
        return Status::Failure("All locations have the same y coordinate (" +
                               Coordinate(layout.ymin) +
                               "): they lie on one east-west line, so the home range grid "
                               "would have no height.");
    }
    return {};
}

StatusOr<Matrix> ComputeGrid(const GridLayout& layout, const NodeDensity& density,
                             const RunControl& control) {
    StatusOr<Matrix> result;
    Matrix& grid = result.value;
    grid.Resize(kGridNodes + 1, 4);
    for (int first = 0; first < kGridCells; first += kColumnsPerReport) {
        const int last = std::min(first + kColumnsPerReport, kGridCells);
        const int nodes = (last - first) * kGridCells;
#pragma omp parallel for schedule(dynamic, 8) if (control.parallel)
        for (int node = 0; node < nodes; ++node) {
            const int i = first + node / kGridCells;
            const int j = node % kGridCells;
            const std::int32_t k = i * kGridCells + j;
            const double x = layout.xs[static_cast<std::size_t>(i)];
            const double y = layout.ys[static_cast<std::size_t>(j)];
            grid(k, 0) = x;
            grid(k, 1) = y;
            grid(k, 2) = density(x, y) * layout.dx * layout.dy;
        }
        if (!control.Report(static_cast<double>(last) / kGridCells)) {
            return Status::Cancelled();
        }
    }
    return result;
}

Matrix GridOfNodeDensities(const GridLayout& layout, const std::vector<double>& density) {
    Matrix grid;
    grid.Resize(kGridNodes + 1, 4);
    for (int i = 0; i < kGridCells; ++i) {
        for (int j = 0; j < kGridCells; ++j) {
            const std::int32_t k = i * kGridCells + j;
            grid(k, 0) = layout.xs[static_cast<std::size_t>(i)];
            grid(k, 1) = layout.ys[static_cast<std::size_t>(j)];
            grid(k, 2) = density[static_cast<std::size_t>(k)] * layout.dx * layout.dy;
        }
    }
    return grid;
}

double LatticeWindow::X(const SharedLattice& lattice, std::int32_t i) const {
    return lattice.x0 + static_cast<double>(i0 + i) * lattice.cell;
}

double LatticeWindow::Y(const SharedLattice& lattice, std::int32_t j) const {
    return lattice.y0 + static_cast<double>(j0 + j) * lattice.cell;
}

StatusOr<LatticeWindow> WindowOver(const SharedLattice& lattice, double xmin, double xmax,
                                   double ymin, double ymax) {
    const double c = lattice.cell;
    if (!(c > 0 && std::isfinite(c))) {
        return Status::Failure("The cell of the shared lattice must be a number greater than 0; "
                               "it is " +
                               FormatNumber(c) + ".");
    }
    // Cell i covers x0 + (i - 1/2) c .. x0 + (i + 1/2) c.
    const double i0 = std::floor((xmin - lattice.x0) / c + 0.5);
    const double i1 = std::floor((xmax - lattice.x0) / c + 0.5);
    const double j0 = std::floor((ymin - lattice.y0) / c + 0.5);
    const double j1 = std::floor((ymax - lattice.y0) / c + 0.5);
    const double cells = (i1 - i0 + 1) * (j1 - j0 + 1);
    if (!(cells >= 1 && cells <= static_cast<double>(kMaxLatticeWindowCells))) {
        std::string text = "The shared lattice would need ";
        text += FormatNumber(cells);
        text += " cells of " + FormatNumber(c) + " to hold one distribution, more than the " +
                std::to_string(kMaxLatticeWindowCells) +
                " a window may hold; choose a larger cell.";
        return Status::Failure(text);
    }
    return LatticeWindow{static_cast<std::int64_t>(i0), static_cast<std::int64_t>(j0),
                         static_cast<std::int32_t>(i1 - i0 + 1),
                         static_cast<std::int32_t>(j1 - j0 + 1)};
}

StatusOr<Matrix> GridOverLocations(const Matrix& xy, std::int32_t n, const NodeDensity& density,
                                   const RunControl& control) {
    StatusOr<Matrix> result;
    if (n < 1) {
        result.status = CheckGridExtent({}, n);
        return result;
    }
    const GridLayout layout = LayOutGrid(xy, n);
    result.status = CheckGridExtent(layout, n);
    if (!result.Ok()) {
        return result;
    }
    return ComputeGrid(layout, density, control);
}

StatusOr<Matrix> DensityOnLattice(const SharedLattice& lattice, double xmin, double xmax,
                                  double ymin, double ymax, const NodeDensity& density,
                                  const RunControl& control) {
    const auto window = WindowOver(lattice, xmin, xmax, ymin, ymax);
    if (!window.Ok()) {
        return window.status;
    }
    const LatticeWindow& w = window.value;
    const double area = lattice.cell * lattice.cell;
    StatusOr<Matrix> result;
    Matrix& grid = result.value;
    grid.Resize(w.columns * w.rows + 1, 4);
    for (std::int32_t first = 0; first < w.columns; first += kColumnsPerReport) {
        const std::int32_t last = std::min(first + kColumnsPerReport, w.columns);
#pragma omp parallel for schedule(dynamic, 1) if (control.parallel)
        for (std::int32_t i = first; i < last; ++i) {
            const double x = w.X(lattice, i);
            for (std::int32_t j = 0; j < w.rows; ++j) {
                const std::int32_t k = i * w.rows + j;
                const double y = w.Y(lattice, j);
                grid(k, 0) = x;
                grid(k, 1) = y;
                grid(k, 2) = density(x, y) * area;
            }
        }
        if (!control.Report(static_cast<double>(last) / w.columns)) {
            return Status::Cancelled();
        }
    }
    return result;
}

std::vector<double> GridSteps(double start, double stop, double step) {
    std::vector<double> values;
    for (double v = start; v <= stop; v = v + step) {
        values.push_back(v);
    }
    return values;
}

std::int64_t CountGridSteps(double start, double stop, double step, std::int64_t limit) {
    std::int64_t count = 0;
    for (double v = start; v <= stop && count <= limit; v = v + step) {
        ++count;
    }
    return count;
}

} // namespace ranvik
