#include "kernel/akde.h"

#include "kernel/kernel_grid.h"
#include "kernel/smoothing.h"
#include "output/home_range_levels.h"

#include "support/movement_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace ranvik {
namespace {

using testing::FixTimes;
using testing::OuTrack;

// Sums over about 10^6 pairs in another order: they agree to about 1e-13 relative.
constexpr double kSameSum = 1e-11;

// The plain pair sums the bandwidth search must reproduce: m, MISE's pair term and MISE at h.
struct PlainSums {
    double m = 0.0;
    double pairs = 0.0;
    double mise = 0.0;
};

PlainSums Plain(const MovementData& d, const MovementParams& p, double h) {
    const auto n = static_cast<double>(d.t.size());
    double rho = 0.0;
    double pairs = 0.0;
    for (std::size_t i = 0; i < d.t.size(); ++i) {
        for (std::size_t j = 0; j < d.t.size(); ++j) {
            const double r = Autocorrelation(p, d.t[j] - d.t[i]);
            rho += r;
            pairs += 1 / (2 * h * h + 2 * (1 - r));
        }
    }
    return {rho / (n * n), pairs / (n * n), pairs / (n * n) - 2 / (2 + h * h) + 0.5};
}

TEST(ChooseAkdeBandwidth, MinimisesThePlainMiseOnRegularIrregularAndJitteredSchedules) {
    const MovementParams ou{MovementKind::Ou, false, 1e6, 1e6, 0.0, 90.0, 0.0};
    const MovementParams ouf{MovementKind::Ouf, true, 2e6, 1e6, 0.3, 90.0, 20.0};
    enum Schedule { kRegular, kIrregular, kJittered };
    for (const Schedule schedule : {kRegular, kIrregular, kJittered}) {
        auto t = FixTimes(400, 30.0, schedule == kIrregular, 4);
        if (schedule == kRegular) {
            t.erase(t.begin() + 100, t.begin() + 130); // a gap keeps the schedule regular
        } else if (schedule == kJittered) {
            // A GPS collar's fixes on a 30-minute schedule come a few seconds either side of it.
            for (std::size_t i = 0; i < t.size(); ++i) {
                t[i] += 0.1 * std::sin(static_cast<double>(i * i));
            }
        }
        const auto n = static_cast<std::int32_t>(t.size());
        const MovementData data = MovementDataOf(OuTrack(t, 1e6, 90.0, 5.0, 4), n);
        for (const MovementParams& p : {ou, ouf}) {
            const auto bw = ChooseAkdeBandwidth(data, p);
            ASSERT_TRUE(bw.Ok());
            const PlainSums at = Plain(data, p, bw.value.h);
            EXPECT_NEAR(bw.value.m, at.m, kSameSum * at.m) << schedule;
            EXPECT_NEAR(bw.value.mise, at.mise, kSameSum * at.pairs) << schedule;
            EXPECT_DOUBLE_EQ(bw.value.inflation, 1 - bw.value.m + bw.value.h * bw.value.h);
            EXPECT_LE(at.mise, Plain(data, p, bw.value.h * 1.001).mise);
            EXPECT_LE(at.mise, Plain(data, p, bw.value.h / 1.001).mise);
        }
    }
    // Independent fixes: m = 1/n and h near the Gaussian reference's n^(-1/6) ...
    const auto t = FixTimes(400, 30.0, false, 4);
    const MovementData data = MovementDataOf(OuTrack(t, 1e6, 90.0, 5.0, 4), 400);
    const auto iid = ChooseAkdeBandwidth(data, {MovementKind::Iid, false, 1e6, 1e6, 0, 0, 0});
    ASSERT_TRUE(iid.Ok());
    EXPECT_NEAR(iid.value.m, 1.0 / 400, 1e-15);
    EXPECT_NEAR(iid.value.h, std::pow(400.0, -1.0 / 6), 0.1);
}

TEST(EmpiricalVariogram, EqualsThePlainPairMeansAndLevelsOffAtSigmaSquared) {
    auto t = FixTimes(600, 30.0, false, 2);
    t.erase(t.begin() + 50, t.begin() + 53);
    const auto n = static_cast<std::int32_t>(t.size());
    const MovementData d = MovementDataOf(OuTrack(t, 1e6, 300.0, 0.0, 2), n);
    const Variogram v = EmpiricalVariogram(d);
    ASSERT_FALSE(v.lag.empty());
    for (std::size_t k : {std::size_t{0}, std::size_t{5}, v.lag.size() / 2}) {
        double sum = 0.0;
        double pairs = 0.0;
        for (std::size_t i = 0; i < d.t.size(); ++i) {
            for (std::size_t j = i + 1; j < d.t.size(); ++j) {
                if (std::abs(d.t[j] - d.t[i] - v.lag[k]) < 1e-6) {
                    sum += std::pow(d.x[j] - d.x[i], 2) + std::pow(d.y[j] - d.y[i], 2);
                    ++pairs;
                }
            }
        }
        EXPECT_EQ(v.pairs[k], pairs);
        EXPECT_NEAR(v.semivariance[k], sum / (4 * pairs), 1e-9 * sum / (4 * pairs));
    }
    // Past a few autocorrelation times (10 tau = 100 fixes) it is near the variance, 1e6.
    EXPECT_NEAR(v.semivariance[150], 1e6, 0.35e6);
}

TEST(AreaWithInterval, FollowsTheChiSquareOfTheEffectiveSampleSize) {
    // nu = 2: chi2_2 quantiles are -2 ln(1 - p): 0.050636 and 7.377759.
    const AreaInterval a = AreaWithInterval(10.0, 2.0);
    EXPECT_NEAR(a.low, 20.0 / (-2 * std::log(0.025)), 1e-9);
    EXPECT_NEAR(a.high, 20.0 / (-2 * std::log(0.975)), 1e-9);
    const AreaInterval wide = AreaWithInterval(10.0, 2000.0);
    EXPECT_NEAR(wide.low, 10.0 * 0.94, 0.1);
    EXPECT_NEAR(wide.high, 10.0 * 1.065, 0.1);
}

// The 95 % area of a grid of `nodes` nodes whose cells are `cell` square metres.
double Area95(const Matrix& grid, std::int32_t nodes, double cell) {
    const VolumeLevels levels = CalcVolumeLevels(grid, nodes);
    return CalcHomeRangeArea(grid, nodes, levels, 1, 1, 0.95).value.area * cell;
}

double Area95(const Matrix& grid) {
    return Area95(grid, kGridNodes, (grid(kGridCells, 0) - grid(0, 0)) * (grid(1, 1) - grid(0, 1)));
}

// 40 days of fixes every 2 hours (times in minutes) of an animal whose positions forget
// themselves over 4 days, sigma = 1 km: about 10 independent positions.
TEST(CalcAkde, CorrectsTheAreaTheReferenceKernelUnderstatesAndCoversItsTruth) {
    constexpr int kTracks = testing::kStatisticalTracks;
    const double truth = -2 * std::log(0.05) * std::numbers::pi * 1e6;
    const auto t = FixTimes(40 * 12, 120.0, false, 1);
    double akde_sum = 0.0;
    double href_sum = 0.0;
    int covered = 0;
    for (int k = 0; k < kTracks; ++k) {
        const Matrix fixes = OuTrack(t, 1e6, 5760.0, 10.0, 500U + static_cast<unsigned>(k));
        const auto fit = FitMovementModel(MovementDataOf(fixes, 480), MovementKind::Ou, false, {});
        ASSERT_TRUE(fit.Ok());
        const auto akde = CalcAkde(fixes, 480, fit.value, 50.0);
        ASSERT_TRUE(akde.Ok()) << akde.status.error;
        const AreaInterval area =
            AreaWithInterval(Area95(akde.value.grid, akde.value.grid.Rows() - 1, 50.0 * 50.0),
                             fit.value.effective_n);
        akde_sum += area.area;
        covered += area.low <= truth && truth <= area.high ? 1 : 0;
        const auto href = CalcFixedKernel(fixes, 480, CalcHref(fixes, 480), {});
        ASSERT_TRUE(href.Ok());
        href_sum += Area95(href.value.grid);
    }
    if (!testing::kAssertStatistics) {
        return;
    }
    // Measured: AKDE 1.011 of the truth, the h_ref kernel 0.744, 96 intervals cover it.
    EXPECT_NEAR(akde_sum / kTracks, truth, 0.05 * truth);
    EXPECT_LE(href_sum / kTracks, 0.85 * truth);
    EXPECT_GE(covered, 88);
    EXPECT_LE(covered, 99);
}

TEST(CalcAkde, ParallelGivesTheSameBitsAsSequentialAndRefusesATrackNotYetInItsRange) {
    const auto t = FixTimes(300, 30.0, true, 3);
    const Matrix fixes = OuTrack(t, 1e6, 400.0, 10.0, 3);
    const auto fit = FitMovementModel(MovementDataOf(fixes, 300), MovementKind::Ou, true, {});
    ASSERT_TRUE(fit.Ok());
    RunControl sequential;
    sequential.parallel = false;
    const auto a = CalcAkde(fixes, 300, fit.value, 60.0);
    const auto b = CalcAkde(fixes, 300, fit.value, 60.0, sequential);
    ASSERT_TRUE(a.Ok() && b.Ok());
    ASSERT_EQ(a.value.grid.Rows(), b.value.grid.Rows());
    double total = 0.0;
    for (std::int32_t k = 0; k < a.value.grid.Rows(); ++k) {
        ASSERT_EQ(a.value.grid(k, 2), b.value.grid(k, 2)) << k;
        total += a.value.grid(k, 2);
    }
    EXPECT_NEAR(total, 1.0, 1e-6); // the automatic extent holds the distribution
    EXPECT_EQ(a.value.mass_outside, 0.0);
    EXPECT_NE(CalcAkde(fixes, 300, fit.value, 0.01).status.error.find("more than 40000000"),
              std::string::npos);
    MovementFit wanderer = fit.value;
    wanderer.params.tau_p = 2 * (t.back() - t.front());
    const auto refused = CalcAkde(fixes, 300, wanderer, 60.0);
    EXPECT_NE(refused.status.error.find("not range-resident"), std::string::npos);
}

TEST(CalcAkdeOnLattice, PutsTheDebiasedKernelsOnTheLatticeNodesAndKeepsTheirMass) {
    const auto t = FixTimes(200, 30.0, true, 8);
    const Matrix fixes = OuTrack(t, 1e6, 300.0, 10.0, 8);
    const MovementData data = MovementDataOf(fixes, 200);
    const auto fit = FitMovementModel(data, MovementKind::Ou, true, {});
    ASSERT_TRUE(fit.Ok());
    const MovementParams& p = fit.value.params;
    const auto reach = AkdeReach(fixes, 200, fit.value);
    ASSERT_TRUE(reach.Ok());
    const double spread = reach.value.spread;
    const SharedLattice lattice{490000.37, 3990000.21, spread / 5};
    const auto grid = CalcAkdeOnLattice(fixes, 200, fit.value, lattice);
    ASSERT_TRUE(grid.Ok());

    // The same density written out: kernels of covariance c^2 h^2 Sigma about the fixes drawn
    // towards their mean by c.
    const auto bw = ChooseAkdeBandwidth(data, p);
    ASSERT_TRUE(bw.Ok());
    const double c = 1 / std::sqrt(bw.value.inflation);
    const double s2 = c * c * bw.value.h * bw.value.h;
    const double cs = std::cos(p.angle);
    const double sn = std::sin(p.angle);
    const double kxx = s2 * (p.major * cs * cs + p.minor * sn * sn);
    const double kyy = s2 * (p.major * sn * sn + p.minor * cs * cs);
    const double kxy = s2 * (p.major - p.minor) * cs * sn;
    const double det = kxx * kyy - kxy * kxy;
    EXPECT_NEAR(spread * spread, s2 * std::min(p.major, p.minor), 1e-9 * s2 * p.minor);
    const auto density = [&](double x, double y) {
        double f = 0.0;
        for (std::size_t i = 0; i < data.t.size(); ++i) {
            const double dx = x - (data.origin_x + c * data.x[i]);
            const double dy = y - (data.origin_y + c * data.y[i]);
            f += std::exp(-0.5 * (kyy * dx * dx - 2 * kxy * dx * dy + kxx * dy * dy) / det);
        }
        return f / (2 * std::numbers::pi * std::sqrt(det) * 200);
    };
    const Matrix& g = grid.value;
    const std::int32_t nodes = g.Rows() - 1;
    double total = 0.0;
    double peak = 0.0;
    for (std::int32_t k = 0; k < nodes; ++k) {
        total += g(k, 2);
        peak = std::max(peak, g(k, 2));
        // Nodes are lattice nodes.
        ASSERT_NEAR(std::remainder(g(k, 0) - lattice.x0, lattice.cell), 0.0, 1e-6) << k;
        ASSERT_NEAR(std::remainder(g(k, 1) - lattice.y0, lattice.cell), 0.0, 1e-6) << k;
    }
    for (std::int32_t k = 0; k < nodes; k += 97) {
        const double expected = density(g(k, 0), g(k, 1)) * lattice.cell * lattice.cell;
        ASSERT_NEAR(g(k, 2), expected, 1e-12 * peak + 1e-9 * expected) << k;
    }
    // Cells of a fifth of the kernel's spread keep its integral to far better than this.
    EXPECT_NEAR(total, 1.0, 1e-9);
    EXPECT_EQ(g(nodes, 2), 0.0) << "the spare row";
}

TEST(CalcAkdeOnGrid, SaysHowMuchOfTheEstimateACutExtentLeavesOut) {
    const auto t = FixTimes(200, 30.0, false, 6);
    const Matrix fixes = OuTrack(t, 1e6, 300.0, 10.0, 6);
    const auto fit = FitMovementModel(MovementDataOf(fixes, 200), MovementKind::Ou, false, {});
    ASSERT_TRUE(fit.Ok());
    const auto reach = AkdeReach(fixes, 200, fit.value);
    ASSERT_TRUE(reach.Ok());
    const double spread = reach.value.spread;
    const double cell = spread / 3;
    const auto axis = [cell](double from, double to) {
        std::vector<double> nodes;
        for (double v = from; v <= to; v += cell) {
            nodes.push_back(v);
        }
        return nodes;
    };
    const auto sum = [](const Matrix& grid) {
        double total = 0.0;
        for (std::int32_t k = 0; k + 1 < grid.Rows(); ++k) {
            total += grid(k, 2);
        }
        return total;
    };
    const std::vector<double> ys = axis(reach.value.min_y, reach.value.max_y);
    // Over the whole reach nothing is left out; the round kernels' marginals are exact, and
    // cells of a third of their spread keep the integral to far better than 1e-9.
    const auto whole =
        CalcAkdeOnGrid(fixes, 200, fit.value, axis(reach.value.min_x, reach.value.max_x), ys, cell);
    ASSERT_TRUE(whole.Ok());
    EXPECT_LT(whole.value.mass_outside, 1e-12);
    EXPECT_NEAR(sum(whole.value.grid), 1.0, 1e-9);
    EXPECT_EQ(whole.value.spread, spread);
    // The form keeps a spacing within the spread, else proposes a round one that is.
    EXPECT_EQ(AkdeSpacing(300.0, 30.0), 30.0);
    EXPECT_EQ(AkdeSpacing(12.3, 30.0), 10.0);
    EXPECT_EQ(AkdeSpacing(2.5, 30.0), 2.0);
    EXPECT_EQ(AkdeSpacing(5.0, 30.0), 5.0);
    EXPECT_NEAR(AkdeSpacing(0.37, 30.0), 0.2, 1e-15);
    const auto coarse = CalcAkde(fixes, 200, fit.value, 1e4);
    ASSERT_TRUE(coarse.Ok());
    const double narrowed = AkdeSpacing(spread, 1e4);
    EXPECT_NEAR(coarse.value.grid(1, 1) - coarse.value.grid(0, 1), narrowed, 1e-9 * narrowed);
    // West of the middle only: what the grid misses is what it says it misses, but for the
    // midpoint rule's error in the cells along the cut, where the density is far from flat
    // (about (cell / spread)^2 / 24 of the mass near the edge).
    const double middle = (reach.value.min_x + reach.value.max_x) / 2;
    const auto west =
        CalcAkdeOnGrid(fixes, 200, fit.value, axis(reach.value.min_x, middle), ys, cell);
    ASSERT_TRUE(west.Ok());
    EXPECT_GT(west.value.mass_outside, 0.1);
    EXPECT_NEAR(west.value.mass_outside, 1 - sum(west.value.grid), 1e-3);
    EXPECT_FALSE(CalcAkdeOnGrid(fixes, 200, fit.value, {}, ys, cell).Ok());
    // A grid far away, of fine cells, holds nothing and says so.
    const std::vector<double> far{1e12, 1e12 + 0.001};
    const auto away = CalcAkdeOnGrid(fixes, 200, fit.value, far, far, 0.001);
    ASSERT_TRUE(away.Ok());
    EXPECT_EQ(sum(away.value.grid), 0.0);
    EXPECT_EQ(away.value.mass_outside, 1.0);
}

} // namespace
} // namespace ranvik
