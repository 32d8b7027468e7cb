#include "output/overlap.h"

#include "kernel/kernel_grid.h"
#include "state/constants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace ranvik {
namespace {

// A grid on `window` of `lattice` with cell probabilities `value(i, j)` (window columns and
// rows), laid out as the estimators lay theirs out: x outer, y inner, and a spare row.
Matrix GridOn(const SharedLattice& lattice, const LatticeWindow& window,
              const std::function<double(int, int)>& value) {
    Matrix grid(window.columns * window.rows + 1, 4);
    for (int i = 0; i < window.columns; ++i) {
        for (int j = 0; j < window.rows; ++j) {
            const int k = i * window.rows + j;
            grid(k, 0) = window.X(lattice, i);
            grid(k, 1) = window.Y(lattice, j);
            grid(k, 2) = value(i, j);
        }
    }
    return grid;
}

OverlapGrid Prepared(const Matrix& grid, const SharedLattice& lattice, double percent) {
    auto made = MakeOverlapGrid(grid, grid.Rows() - 1, lattice, percent);
    EXPECT_TRUE(made.Ok()) << made.status.error;
    return made.value;
}

// Two 4 x 4 grids on a lattice of 2 m cells, B's window one column right of A's. Cell (i, j)
// in lattice columns and rows:
//   A: column 0 {.05 .05}, column 1 {.25 .20 .05}, column 2 {.15 .15 .10}
//   B: column 1 {.10 .10}, column 2 {.30 .20 .05}, column 3 {.10 .10 .05}
struct HandWorkedPair {
    SharedLattice lattice{0.0, 0.0, 2.0};
    Matrix a = GridOn(lattice, {0, 0, 4, 4}, [](int i, int j) {
        const double cells[4][4] = {
            {.05, .05, 0, 0}, {.25, .20, .05, 0}, {.15, .15, .10, 0}, {0, 0, 0, 0}};
        return cells[i][j];
    });
    Matrix b = GridOn(lattice, {1, 0, 4, 4}, [](int i, int j) {
        const double cells[4][4] = {
            {.10, .10, 0, 0}, {.30, .20, .05, 0}, {.10, .10, .05, 0}, {0, 0, 0, 0}};
        return cells[i][j];
    });
};

TEST(CalcOverlap, HandWorkedPairAtSeventyFivePercentAndTheWholeRange) {
    // A's levels: .25 -> .25, .20 -> .45, the two .15 -> .75, so A_75 = (1,0) (1,1) (2,0) (2,1),
    // mass .75, a' = 1/3, 4/15, 1/5, 1/5. B's: .30 -> .30, .20 -> .50, the four .10 -> .90, so
    // B_75 = (2,0) (2,1), mass .5, b' = .6, .4. They share (2,0) and (2,1).
    constexpr double kRounding = 1e-15;
    const HandWorkedPair pair;
    const OverlapIndices o =
        CalcOverlap(Prepared(pair.a, pair.lattice, 0.75), Prepared(pair.b, pair.lattice, 0.75));
    EXPECT_DOUBLE_EQ(o.hr_ab, 2.0 / 4);
    EXPECT_DOUBLE_EQ(o.hr_ba, 2.0 / 2);
    EXPECT_NEAR(o.phr_ab, .10 + .10 + .30 + .20, kRounding); // B over A_75
    EXPECT_NEAR(o.phr_ba, .15 + .15, kRounding);             // A over B_75
    EXPECT_NEAR(o.vi, 0.2 + 0.2, kRounding);                 // min(.2, .6) + min(.2, .4)
    EXPECT_NEAR(o.ba, std::sqrt(0.2 * 0.6) + std::sqrt(0.2 * 0.4), kRounding);
    EXPECT_NEAR(o.udoi, 2 * (0.2 * 0.6 + 0.2 * 0.4), kRounding); // 2 shared cells

    // The whole range: 8 positive cells each, 5 shared (column 1 rows 0-1, column 2 rows 0-2),
    // and the plain probabilities.
    const OverlapIndices w =
        CalcOverlap(Prepared(pair.a, pair.lattice, 1.0), Prepared(pair.b, pair.lattice, 1.0));
    EXPECT_DOUBLE_EQ(w.hr_ab, 5.0 / 8);
    EXPECT_NEAR(w.phr_ab, .10 + .10 + .30 + .20 + .05, kRounding);
    EXPECT_NEAR(w.vi, .10 + .10 + .15 + .15 + .05, kRounding);
    EXPECT_NEAR(w.udoi, 5 * (.25 * .1 + .2 * .1 + .15 * .3 + .15 * .2 + .1 * .05), kRounding);
}

TEST(CalcOverlap, IdenticalGridsOverlapFullyAndGridsApartNotAtAll) {
    const SharedLattice lattice{100.0, -50.0, 1.0};
    const auto bump = [](int i, int j) {
        return std::exp(-((i - 10) * (i - 10) + (j - 8) * (j - 8)) / 20.0);
    };
    const Matrix grid = GridOn(lattice, {0, 0, 21, 17}, bump);
    double mass = 0.0;
    for (int k = 0; k < grid.Rows() - 1; ++k) {
        mass += grid(k, 2);
    }
    const OverlapGrid whole = Prepared(grid, lattice, 1.0);
    const OverlapIndices self = CalcOverlap(whole, whole);
    constexpr double kRounding = 1e-13;
    for (const double index : {self.ba, self.vi, self.phr_ab, self.phr_ba}) {
        EXPECT_NEAR(index, mass, kRounding * mass) << "the grid's own mass";
    }
    EXPECT_EQ(self.hr_ab, 1.0);
    const OverlapGrid range = Prepared(grid, lattice, 0.5);
    const OverlapIndices conditional = CalcOverlap(range, range);
    EXPECT_NEAR(conditional.ba, 1.0, kRounding);
    EXPECT_NEAR(conditional.vi, 1.0, kRounding);
    EXPECT_EQ(conditional.hr_ba, 1.0);

    // Windows that share cells where one grid is 0, and windows apart.
    const Matrix left = GridOn(lattice, {0, 0, 10, 10}, [](int i, int) { return i < 5 ? 1.0 : 0; });
    const Matrix right =
        GridOn(lattice, {3, 0, 10, 10}, [](int i, int) { return i >= 2 ? 1.0 : 0; });
    const Matrix far = GridOn(lattice, {500, 500, 10, 10}, bump);
    for (const Matrix* other : {&right, &far}) {
        const OverlapGrid a = Prepared(left, lattice, 1.0);
        const OverlapGrid b = Prepared(*other, lattice, 1.0);
        EXPECT_FALSE(GridsMeet(a, b));
        const OverlapIndices none = CalcOverlap(a, b);
        for (const double index :
             {none.hr_ab, none.hr_ba, none.phr_ab, none.phr_ba, none.vi, none.ba, none.udoi}) {
            EXPECT_EQ(index, 0.0);
        }
    }
}

TEST(CalcOverlap, BivariateNormalsOnAFineGridGiveTheClosedFormAffinity) {
    // The midpoint rule converges faster than any power of the cell for these smooth, fast
    // decaying integrands; at a fifth of the smaller spread, +-9 spreads wide, what is left is
    // far below the tolerance.
    constexpr double kTolerance = 1e-6;
    const PlaneNormal a{0.0, 0.0, 400.0, 120.0, 225.0};
    const PlaneNormal b{25.0, -10.0, 900.0, -200.0, 500.0};
    const SharedLattice lattice{-7.0, 3.0, 15.0 / 5};
    const auto density = [](const PlaneNormal& n, double x, double y) {
        const double det = n.sxx * n.syy - n.sxy * n.sxy;
        const double dx = x - n.mx;
        const double dy = y - n.my;
        const double q = (n.syy * dx * dx - 2 * n.sxy * dx * dy + n.sxx * dy * dy) / det;
        return std::exp(-q / 2) / (2 * kPi * std::sqrt(det));
    };
    const auto grid = [&](const PlaneNormal& n) {
        const double reach = 9 * std::sqrt(std::max(n.sxx, n.syy));
        const auto window =
            WindowOver(lattice, n.mx - reach, n.mx + reach, n.my - reach, n.my + reach);
        EXPECT_TRUE(window.Ok());
        const LatticeWindow& w = window.value;
        return GridOn(lattice, w, [&](int i, int j) {
            return density(n, w.X(lattice, i), w.Y(lattice, j)) * lattice.cell * lattice.cell;
        });
    };
    const OverlapIndices o =
        CalcOverlap(Prepared(grid(a), lattice, 1.0), Prepared(grid(b), lattice, 1.0));
    EXPECT_NEAR(o.ba, NormalAffinity(a, b), kTolerance);
    EXPECT_NEAR(NormalAffinity(a, a), 1.0, 1e-15);
    // Two circular normals of spread s a distance d apart: D_B = d^2 / (8 s^2).
    EXPECT_NEAR(BhattacharyyaDistance({0, 0, 4, 0, 4}, {3, 4, 4, 0, 4}), 25.0 / 32, 1e-15);
}

TEST(CalcKernelOnLattice, SingleLocationKernelsGiveTheClosedFormAffinity) {
    // One location's fixed kernel is a circular normal of spread h, cut at 6.5 h.
    constexpr double kTolerance = 1e-6;
    const SharedLattice lattice{500.0, 200.0, 10.0 / 5};
    Matrix one(2, 2);
    one(0, 0) = 1000.0;
    one(0, 1) = 700.0;
    Matrix other(2, 2);
    other(0, 0) = 1030.0;
    other(0, 1) = 680.0;
    const std::vector<double> h10{10.0};
    const std::vector<double> h16{16.0};
    const auto a = CalcKernelOnLattice(one, 1, h10, {}, lattice);
    const auto b = CalcKernelOnLattice(other, 1, h16, {}, lattice);
    ASSERT_TRUE(a.Ok() && b.Ok());
    const OverlapIndices o =
        CalcOverlap(Prepared(a.value, lattice, 1.0), Prepared(b.value, lattice, 1.0));
    EXPECT_NEAR(o.ba, NormalAffinity({1000, 700, 100, 0, 100}, {1030, 680, 256, 0, 256}),
                kTolerance);
}

TEST(CalcOverlaps, ParallelPairsEqualSequentialOnes) {
    const SharedLattice lattice{0.0, 0.0, 5.0};
    std::vector<OverlapGrid> grids;
    for (int animal = 0; animal < 12; ++animal) {
        Matrix xy(31, 2);
        for (int k = 0; k < 30; ++k) {
            xy(k, 0) = 40.0 * animal + 37.0 * std::sin(k * 1.3 + animal);
            xy(k, 1) = 25.0 * std::cos(k * 0.7 * animal) + 3.0 * k;
        }
        const auto grid = CalcKernelOnLattice(xy, 30, std::vector<double>(30, 20.0 + animal), {},
                                              lattice, RunControl{{}, false});
        const auto parallel =
            CalcKernelOnLattice(xy, 30, std::vector<double>(30, 20.0 + animal), {}, lattice);
        ASSERT_TRUE(grid.Ok() && parallel.Ok());
        EXPECT_EQ(grid.value, parallel.value) << "the kernel on the lattice, animal " << animal;
        grids.push_back(Prepared(grid.value, lattice, 0.95));
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    for (std::int32_t a = 0; a < 12; ++a) {
        for (std::int32_t b = a + 1; b < 12; ++b) {
            pairs.emplace_back(a, b);
        }
    }
    const auto sequential = CalcOverlaps(grids, pairs, RunControl{{}, false});
    const auto parallel = CalcOverlaps(grids, pairs);
    ASSERT_TRUE(sequential.Ok() && parallel.Ok());
    int met = 0;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const OverlapIndices& s = sequential.value[k];
        const OverlapIndices& p = parallel.value[k];
        EXPECT_TRUE(s.hr_ab == p.hr_ab && s.hr_ba == p.hr_ba && s.phr_ab == p.phr_ab &&
                    s.phr_ba == p.phr_ba && s.vi == p.vi && s.ba == p.ba && s.udoi == p.udoi);
        met += s.ba > 0 ? 1 : 0;
    }
    EXPECT_GT(met, 10);
    EXPECT_LT(met, static_cast<int>(pairs.size())) << "some pairs lie apart";
}

TEST(MakeOverlapGrid, RefusesGridsOffTheLatticeAndLevelsOutOfRange) {
    const SharedLattice lattice{0.0, 0.0, 2.0};
    const auto flat = [](int i, int j) { return 0.0001 * (1 + i + 10 * j); };
    const Matrix on = GridOn(lattice, {0, 0, 10, 10}, flat);
    const Matrix shifted = GridOn({0.6, 0.0, 2.0}, {0, 0, 10, 10}, flat);
    const Matrix coarser = GridOn({0.0, 0.0, 4.0}, {0, 0, 10, 10}, flat);
    EXPECT_FALSE(MakeOverlapGrid(shifted, 100, lattice, 0.95).Ok());
    EXPECT_FALSE(MakeOverlapGrid(coarser, 100, lattice, 0.95).Ok());
    EXPECT_FALSE(MakeOverlapGrid(on, 100, lattice, 0.0).Ok());
    EXPECT_FALSE(MakeOverlapGrid(on, 100, lattice, 1.5).Ok());
    EXPECT_FALSE(MakeOverlapGrid(GridOn(lattice, {0, 0, 10, 10}, [](int, int) { return 0.0; }), 100,
                                 lattice, 1.0)
                     .Ok());
    EXPECT_TRUE(MakeOverlapGrid(on, 100, lattice, 0.95).Ok());
}

} // namespace
} // namespace ranvik
