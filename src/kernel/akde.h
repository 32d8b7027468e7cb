#pragma once

#include "models/movement_model.h"
#include "numerics/output_grid.h"
#include "state/matrix.h"
#include "state/run_control.h"
#include "state/status.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// The autocorrelated kernel home range, by the name its results are kept and asked for under.
inline constexpr std::string_view kAkdeName = "akde";

// The empirical variogram of a track: for lag bins k dt (dt the median interval between fixes,
// each fix's time rounded to a slot of that width, k = 1 .. half the track's slots), the mean
// per-axis semi-variance of the pairs of fixes that far apart,
//   gamma_k = sum over pairs |r_j - r_i|^2 / (4 N_k),
// which levels off at sigma^2 for a range-resident animal. Pairs are counted through the
// correlations of the slots (fast Fourier transforms), so a track of any length costs
// O(S log S) for S slots; a second fix in an occupied slot is left out of the variogram.
struct Variogram {
    std::vector<double> lag;          // in the track's time unit
    std::vector<double> semivariance; // square metres
    std::vector<double> pairs;        // N_k
};

[[nodiscard]] Variogram EmpiricalVariogram(const MovementData& data);

// The variogram of a fitted model at each lag of `variogram`: the mean of the two axes'
// variances times (1 - rho(lag)), plus the fixes' mean error variance (which every pair of
// distinct fixes carries).
[[nodiscard]] std::vector<double>
ModelVariogram(const Variogram& variogram, const MovementData& data, const MovementParams& params);

// The bandwidth of the autocorrelated kernel (Fleming et al. 2015, Ecology 96:1182): kernels
// of covariance h^2 Sigma about each fix, weights w_i = 1/n, h minimising the mean integrated
// square error of the Gaussian reference density under the model's autocorrelation
// rho_ij = rho(t_i - t_j):
//   MISE(h) ~ sum_ij w_i w_j / (2 h^2 + 2 (1 - rho_ij)) - 2 / (2 + h^2) + 1/2.
// `m` = sum_ij w_i w_j rho_ij is the share of Sigma the sample mean keeps: the sample's
// expected covariance about its mean is (1 - m) Sigma, and the kernel estimate's is
// (1 - m + h^2) Sigma (Fleming & Calabrese 2017, Methods Ecol. Evol. 8:571), the
// `inflation` of its variances.
//
// On a regular schedule (every fix at t_0 + k dt) the pair sums are exact, through the counts
// of pairs at each lag. Otherwise (irregular or jittered times) every pair is visited once:
// m's sum is exact, and the pairs are binned by 2 (1 - rho) with five moments per bin, which
// keeps MISE's pair sum within 2.3e-13 relative for every h. Both are added in a fixed order,
// so they are the same on any number of threads. The search
// evaluates MISE at 64 points of ln h in [ln 1e-4, ln 10] in one pass over the pairs, and
// twice more between the neighbours of the best point: h to within 0.03 %, where MISE is flat.
struct AkdeBandwidth {
    double h = 0.0;
    double m = 0.0;
    double inflation = 0.0;
    double mise = 0.0; // the criterion above at h
};

[[nodiscard]] StatusOr<AkdeBandwidth> ChooseAkdeBandwidth(const MovementData& data,
                                                          const MovementParams& params,
                                                          const RunControl& control = {});

// An area with the 95% interval of the fitted model's effective degrees of freedom nu:
//   [A nu / chi2_nu(0.975), A nu / chi2_nu(0.025)].
struct AreaInterval {
    double area = 0.0;
    double low = 0.0;
    double high = 0.0;
};

[[nodiscard]] AreaInterval AreaWithInterval(double area, double effective_n);

// Fails with a sentence for the user when the model's position autocorrelation time is longer
// than the track: the animal has not yet crossed its range, so no area of it is a home range.
[[nodiscard]] Status CheckRangeResident(const MovementData& data, const MovementFit& model);

// The candidate models as a CSV table, best first: model,aicc,delta_aicc,log_likelihood,
// parameters, sigma_m (with sigma_low_m, sigma_high_m), tau_p, tau_v (each with its low and
// high; empty where the model has none), major_m2, minor_m2, angle_degrees, effective_n.
[[nodiscard]] std::string MovementModelsText(const std::vector<MovementFit>& fits);

// The variogram as a CSV table with the selected model's curve: lag,semivariance_m2,pairs,
// model_m2.
[[nodiscard]] std::string VariogramText(const Variogram& variogram, const MovementData& data,
                                        const MovementParams& model);

// The debiased autocorrelated kernel density of fixes 0..n-1 of `fixes` (x, y, time, error)
// under `model`: the kernel estimate of the fixes drawn towards their mean by
// c = (1 - m + h^2)^(-1/2), with kernels of covariance c^2 h^2 Sigma, so that its expected
// covariance is Sigma in the Gaussian reference case and its areas are those of the estimate
// divided by the inflation. Each node sums its kernels in the drawn fixes' order of x, kernels
// counted out to a Mahalanobis distance of 8.5 (beyond which a kernel keeps less than 3e-16 of
// its peak), so a grid is the same on any number of threads. Fails with a sentence when the
// track is not range-resident (tau_p longer than the track: its area would not be a home
// range); cancels when `control` asks. The functions below make it on the grids it is shown
// and compared on.

// The box that holds the whole estimate: the drawn fixes' box widened by 8.5 kernel standard
// deviations on each axis, with the kernels' spread (the finest detail of the estimate: their
// standard deviation along their minor axis, c h sqrt(lambda_min(Sigma))) and the bandwidth
// they were found with. Fails as CalcAkde.
struct AkdeBox {
    double min_x = 0.0, max_x = 0.0, min_y = 0.0, max_y = 0.0;
    double spread = 0.0;
    AkdeBandwidth bandwidth;
};
[[nodiscard]] StatusOr<AkdeBox> AkdeReach(const Matrix& fixes, std::int32_t n,
                                          const MovementFit& model, const RunControl& control = {});

// The distance between grid points the grid extent form proposes for kernels of `spread`:
// `wanted` when it is at most the spread, else the largest 1, 2 or 5 times a power of ten that
// is (so the grid resolves every kernel).
[[nodiscard]] double AkdeSpacing(double spread, double wanted);

// The estimate at the nodes (xs[i], ys[j]) of a grid the user sets, ys `spacing` apart: rows
// i * ys.size() + j hold x, y, density spacing^2 and an unused column, then a spare row. Also
// the kernels' spread (as AkdeReach's) and their mass beyond the grid's cells (the box from half a
// spacing before the first node to half a spacing after the last), each kernel's axes taken
// as independent: exact for round or axis-aligned kernels, near it for others. `bandwidth`,
// when given, is the one ChooseAkdeBandwidth gives for this model (AkdeReach's), which is then
// not searched again. Fails as CalcAkde, or when the grid has no points.
struct AkdeOnGrid {
    Matrix grid;
    AkdeBandwidth bandwidth;
    double spread = 0.0;
    double mass_outside = 0.0;
};
[[nodiscard]] StatusOr<AkdeOnGrid>
CalcAkdeOnGrid(const Matrix& fixes, std::int32_t n, const MovementFit& model,
               std::span<const double> xs, std::span<const double> ys, double spacing,
               const RunControl& control = {}, const AkdeBandwidth* bandwidth = nullptr);

// The most points a grid of the estimate may have: 40 million rows of output take 1.3 GB.
inline constexpr std::int64_t kMaxAkdeGridPoints = 40'000'000;

// The estimate over the box that holds it (AkdeReach), nodes AkdeSpacing(spread, `spacing`)
// apart from its south-west corner (GridSteps): what the wizard's grid extent form starts with
// and the batch makes. Fails also when that grid would have more than kMaxAkdeGridPoints points.
[[nodiscard]] StatusOr<AkdeOnGrid> CalcAkde(const Matrix& fixes, std::int32_t n,
                                            const MovementFit& model, double spacing,
                                            const RunControl& control = {});

// The same estimate on the window of a shared lattice that its kernels reach (the drawn fixes'
// box widened by 8.5 kernel standard deviations on each axis): rows k = column * rows + row
// hold x, y, density c^2 and an unused column, then a spare row; each node adds its kernels as
// on the estimate's own grid. Fails as CalcAkde, or as WindowOver when the window is too large.
[[nodiscard]] StatusOr<Matrix> CalcAkdeOnLattice(const Matrix& fixes, std::int32_t n,
                                                 const MovementFit& model,
                                                 const SharedLattice& lattice,
                                                 const RunControl& control = {});

} // namespace ranvik
