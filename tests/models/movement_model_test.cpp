#include "models/movement_model.h"

#include "support/movement_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace ranvik {
namespace {

using testing::DenseGaussianTrack;
using testing::FixTimes;
using testing::OuTrack;

// The filter and the dense Cholesky solve reach the same number by different roundings of
// sums over 60 fixes; both are exact to about 1e-13 relative.
constexpr double kSameLikelihood = 1e-9;

// ln L of the 2n coordinates from their dense 2n x 2n covariance
//   Cov(r_i, r_j) = rho(t_i - t_j) Sigma + [i == j] e_i^2 I,
// the two means by generalised least squares: the reference the filter must equal.
double DenseLogLik(const MovementData& d, const MovementParams& p, MovementLikelihood kind) {
    const std::size_t n = d.t.size();
    const std::size_t m = 2 * n;
    const double c = std::cos(p.angle);
    const double s = std::sin(p.angle);
    const double sxx = p.major * c * c + p.minor * s * s;
    const double syy = p.major * s * s + p.minor * c * c;
    const double sxy = (p.major - p.minor) * c * s;
    std::vector<double> a(m * m);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const double r = Autocorrelation(p, d.t[i] - d.t[j]);
            const double e = i == j ? d.error2[i] : 0.0;
            a[(2 * i) * m + 2 * j] = r * sxx + e;
            a[(2 * i + 1) * m + 2 * j + 1] = r * syy + e;
            a[(2 * i) * m + 2 * j + 1] = a[(2 * i + 1) * m + 2 * j] = r * sxy;
        }
    }
    // Cholesky in place (lower), log det, then solves for the data and the two mean columns.
    double log_det = 0.0;
    for (std::size_t j = 0; j < m; ++j) {
        for (std::size_t k = 0; k < j; ++k) {
            a[j * m + j] -= a[j * m + k] * a[j * m + k];
        }
        a[j * m + j] = std::sqrt(a[j * m + j]);
        log_det += 2 * std::log(a[j * m + j]);
        for (std::size_t i = j + 1; i < m; ++i) {
            for (std::size_t k = 0; k < j; ++k) {
                a[i * m + j] -= a[i * m + k] * a[j * m + k];
            }
            a[i * m + j] /= a[j * m + j];
        }
    }
    const auto whiten = [&](std::vector<double> v) {
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t k = 0; k < i; ++k) {
                v[i] -= a[i * m + k] * v[k];
            }
            v[i] /= a[i * m + i];
        }
        return v;
    };
    std::vector<double> z(m);
    std::vector<double> ones_x(m, 0.0);
    std::vector<double> ones_y(m, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        z[2 * i] = d.x[i];
        z[2 * i + 1] = d.y[i];
        ones_x[2 * i] = 1.0;
        ones_y[2 * i + 1] = 1.0;
    }
    const auto wz = whiten(z);
    const auto wx = whiten(ones_x);
    const auto wy = whiten(ones_y);
    // Least squares of wz on (wx, wy): the residual sum of squares by the 2 x 2 normal equations.
    double xx = 0, yy = 0, xy = 0, xz = 0, yz = 0, zz = 0;
    for (std::size_t i = 0; i < m; ++i) {
        xx += wx[i] * wx[i];
        yy += wy[i] * wy[i];
        xy += wx[i] * wy[i];
        xz += wx[i] * wz[i];
        yz += wy[i] * wz[i];
        zz += wz[i] * wz[i];
    }
    const double det = xx * yy - xy * xy;
    const double mx = (yy * xz - xy * yz) / det;
    const double my = (xx * yz - xy * xz) / det;
    const double rss = zz - mx * xz - my * yz;
    const double full =
        -0.5 * (static_cast<double>(m) * std::log(2 * std::numbers::pi) + log_det + rss);
    // The restricted likelihood subtracts 1/2 ln det(X^T C^-1 X / (2 pi)), X the mean columns.
    return kind == MovementLikelihood::Full
               ? full
               : full - 0.5 * std::log(det / (4 * std::numbers::pi * std::numbers::pi));
}

TEST(Autocorrelation, OufWithAVelocityTimeFarBelowTheLagIsItsOuLimit) {
    // tau_v = 1e-3: exp(-50 / tau_v) underflows while the two rates' gap is 1e3 per unit time.
    const MovementParams ouf{MovementKind::Ouf, false, 1.0, 1.0, 0.0, 100.0, 1e-3};
    EXPECT_NEAR(Autocorrelation(ouf, 50.0), 100.0 * std::exp(-0.5) / (100.0 - 1e-3), 1e-15);
    EXPECT_DOUBLE_EQ(Autocorrelation(ouf, 0.0), 1.0);
}

TEST(MovementLogLik, KalmanFilterEqualsTheDenseLikelihood) {
    const std::vector<MovementParams> models{
        {MovementKind::Iid, false, 4e4, 4e4, 0.0, 0.0, 0.0},
        {MovementKind::Ou, false, 4e4, 4e4, 0.0, 7.0, 0.0},
        {MovementKind::Ou, true, 9e4, 1e4, 0.6, 7.0, 0.0},
        {MovementKind::Ouf, false, 4e4, 4e4, 0.0, 9.0, 2.0},
        {MovementKind::Ouf, true, 9e4, 2e4, -1.1, 9.0, 2.0},
        {MovementKind::Ouf, false, 4e4, 4e4, 0.0, 5.0, 5.0}, // tau_p = tau_v: the limit form
    };
    for (const bool irregular : {false, true}) {
        for (const double error : {0.0, 30.0}) {
            const auto t = FixTimes(60, 1.0, irregular, 5);
            // OUF draws keep the velocity the filter must carry.
            const MovementParams truth{MovementKind::Ouf, false, 4e4, 4e4, 0.0, 9.0, 2.0};
            const Matrix fixes = DenseGaussianTrack(
                t, 4e4, [&](double dt) { return Autocorrelation(truth, dt); }, error, 11);
            const MovementData data = MovementDataOf(fixes, 60);
            for (const MovementParams& p : models) {
                for (const auto kind : {MovementLikelihood::Full, MovementLikelihood::Restricted}) {
                    const double kalman = MovementLogLik(data, p, kind);
                    const double dense = DenseLogLik(data, p, kind);
                    EXPECT_NEAR(kalman, dense, kSameLikelihood * std::abs(dense))
                        << static_cast<int>(p.kind) << " anisotropic " << p.anisotropic
                        << " irregular " << irregular << " error " << error;
                }
            }
        }
    }
}

// 40 days of fixes every 30 minutes (times in minutes) of an animal whose positions forget
// themselves over 2 days, sigma = 1 km per axis, located within 10 m.
constexpr double kDay = 1440.0;
constexpr double kTau = 2 * kDay;
constexpr double kVariance = 1e6;

TEST(FitMovementModel, OuIntervalsCoverTheTruthAsOftenAsTheyShould) {
    const auto t = FixTimes(40 * 48, 30.0, false, 1);
    int tau_covered = 0;
    int sigma_covered = 0;
    constexpr int kTracks = testing::kStatisticalTracks;
    for (int k = 0; k < kTracks; ++k) {
        const auto fixes = OuTrack(t, kVariance, kTau, 10.0, 100U + static_cast<unsigned>(k));
        const auto fit = FitMovementModel(MovementDataOf(fixes, 1920), MovementKind::Ou, false, {});
        ASSERT_TRUE(fit.Ok()) << fit.status.error;
        const MovementFit& f = fit.value;
        tau_covered += f.tau_p.low <= kTau && kTau <= f.tau_p.high ? 1 : 0;
        sigma_covered += f.sigma.low <= 1000.0 && 1000.0 <= f.sigma.high ? 1 : 0;
        // Twenty days' worth of independent positions: about 2 x 20 degrees of freedom.
        EXPECT_GT(f.effective_n, 10.0);
        EXPECT_LT(f.effective_n, 100.0);
    }
    if (!testing::kAssertStatistics) {
        return;
    }
    // Measured: 96 intervals of tau_p and 97 of sigma cover the truth.
    EXPECT_GE(tau_covered, 88);
    EXPECT_LE(tau_covered, 99);
    EXPECT_GE(sigma_covered, 88);
    EXPECT_LE(sigma_covered, 99);
}

TEST(FitMovementModels, AiccSelectsTheKindThatMadeTheTrack) {
    constexpr int kTracks = testing::kStatisticalTracks;
    int iid = 0;
    int ouf = 0;
    const MovementParams ouf_truth{MovementKind::Ouf, false, 1e4, 1e4, 0.0, 40.0, 6.0};
    for (int k = 0; k < kTracks; ++k) {
        const auto seed = 300U + static_cast<unsigned>(k);
        const auto t = FixTimes(200, 1.0, k % 2 == 1, seed);
        const auto independent = DenseGaussianTrack(
            t, 1e4, [](double dt) { return dt == 0.0 ? 1.0 : 0.0; }, 5.0, seed);
        const auto moving = DenseGaussianTrack(
            t, 1e4, [&](double dt) { return Autocorrelation(ouf_truth, dt); }, 5.0, seed);
        const auto a = FitMovementModels(MovementDataOf(independent, 200), {});
        const auto b = FitMovementModels(MovementDataOf(moving, 200), {});
        ASSERT_TRUE(a.Ok() && b.Ok());
        iid += a.value.front().params.kind == MovementKind::Iid ? 1 : 0;
        ouf += b.value.front().params.kind == MovementKind::Ouf ? 1 : 0;
    }
    if (!testing::kAssertStatistics) {
        return;
    }
    // Measured: 92 independent tracks as IID, 100 moving ones as OUF.
    EXPECT_GE(iid, 90);
    EXPECT_GE(ouf, 90);
}

TEST(FitMovementModels, ParallelGivesTheSameBitsAsSequential) {
    const auto t = FixTimes(300, 30.0, true, 8);
    const MovementData data = MovementDataOf(OuTrack(t, kVariance, kTau / 8, 10.0, 8), 300);
    RunControl sequential;
    sequential.parallel = false;
    const auto a = FitMovementModels(data, {});
    const auto b = FitMovementModels(data, sequential);
    ASSERT_TRUE(a.Ok() && b.Ok());
    ASSERT_EQ(a.value.size(), 6U);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(a.value[k].log_lik, b.value[k].log_lik);
        EXPECT_EQ(a.value[k].params.major, b.value[k].params.major);
        EXPECT_EQ(a.value[k].tau_p.high, b.value[k].tau_p.high);
        EXPECT_EQ(a.value[k].Name(), b.value[k].Name());
    }
}

TEST(CheckMovementData, RefusesWithASentence) {
    const auto t = FixTimes(12, 1.0, false, 1);
    Matrix fixes = OuTrack(t, 100.0, 3.0, 1.0, 1);
    EXPECT_EQ(CheckMovementData(MovementDataOf(fixes, 9)).error,
              "The track has 9 fixes; at least 10 are needed to fit a movement model.");
    fixes(4, 2) = fixes(3, 2);
    EXPECT_EQ(CheckMovementData(MovementDataOf(fixes, 12)).error,
              "The fixes' times must increase: fix 5 is not later than fix 4.");
    for (std::int32_t i = 0; i < 12; ++i) {
        fixes(i, 0) = 5.0;
        fixes(i, 1) = 7.0;
        fixes(i, 2) = i;
    }
    EXPECT_EQ(FitMovementModel(MovementDataOf(fixes, 12), MovementKind::Ou, false, {}).status.error,
              "All fixes are at one place: a home range needs fixes that differ.");
}

} // namespace
} // namespace ranvik
