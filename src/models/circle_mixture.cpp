#include "models/circle_mixture.h"

#include "models/model_data.h"
#include "models/model_runs.h"
#include "models/objective.h"
#include "models/simplex_fit.h"
#include "numerics/output_grid.h"
#include "state/constants.h"

#include <cmath>

namespace ranvik {
namespace {

constexpr int kParameters = 7;
constexpr int kVertices = 8;
constexpr std::string_view kModel = "2-mode circle mixture";

void SetVertex(std::vector<double>& v, double mux1, double muy1, double mux2, double muy2,
               double s1, double s2, double p) {
    if (v.size() < kParameters + 1) {
        v.resize(kParameters + 1, 0.0);
    }
    v[1] = mux1;
    v[2] = muy1;
    v[3] = mux2;
    v[4] = muy2;
    v[5] = s1;
    v[6] = s2;
    v[7] = p;
}

// Steps 3 to 6 of a stage: evaluate the vertices, run the simplex, take the estimate.
void FitFromStarts(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    RunSimplex(ctx, xy, n, ctx.starts.CNStart.data(), kVertices, kParameters);
    TakeModelParams(ctx.simplex, kParameters, {5, 6});
}

void RestartAroundEstimate(FitContext& ctx) {
    const std::vector<double> mp = ctx.simplex.ModelParams;
    Restart2CNSimplex(ctx, mp[1], mp[2], mp[3], mp[4], mp[5], mp[6], mp[7]);
}

// Stages 0 and 1 on the fit's own copy.
Status FitStages(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    for (int stage = 0; stage <= 1; ++stage) {
        Init2CNSimplex(ctx, xy, stage, n);
        Fit2CN(ctx, xy, stage, n);
        if (Status ok = CheckFit(ctx.simplex, kModel); !ok.Ok()) {
            return ok;
        }
    }
    return {};
}

} // namespace

void Init2CNSimplex(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n) {
    const Moments m = PopulationMoments(xy, n);
    const double mx = m.mean_x;
    const double my = m.mean_y;
    const double sx = m.sd_x;
    const double sy = m.sd_y;
    double s0 = sx;
    if (sy < sx) {
        s0 = sy;
    }
    auto& v = ctx.starts.CNStart;
    for (int j = 1; j <= kVertices; ++j) {
        v[static_cast<std::size_t>(j)].assign(kParameters + 1, 0.0);
    }
    if (stage == 0) {
        SetVertex(v[1], mx - 1.1 * sx, my - 1.1 * sy, mx + 1.1 * sx, my + 1.1 * sy, s0, s0, 0.5);
        SetVertex(v[2], mx - 0.9 * sx, my, mx + 0.9 * sx, my, s0, s0, 0.5);
        SetVertex(v[3], mx - 0.9 * sx, my + 0.9 * sy, mx + 0.9 * sx, my - 0.9 * sy, s0, s0, 0.5);
        SetVertex(v[4], mx, my - 1.01 * sy, mx, my + 1.01 * sy, s0, s0, 0.5);
        SetVertex(v[5], mx, my, mx, my + 1.2 * sy, s0, s0, 0.5);
        SetVertex(v[6], mx, my, mx - 0.5 * sx, my - 0.5 * sy, s0, s0, 0.5);
        SetVertex(v[7], mx - 1.2 * sx, my + 1.02 * sy, mx - 1.1 * sx, my - 1.02 * sy, s0, s0, 0.5);
        SetVertex(v[8], mx + 1.3 * sx, my - 1.3 * sy, mx + 1.3 * sx, my + 1.3 * sy, s0, s0, 0.5);
    } else if (stage == 1) {
        const std::vector<double>& mp = ctx.simplex.ModelParams;
        const double c1 = mp[1];
        const double c2 = mp[2];
        const double c3 = mp[3];
        const double c4 = mp[4];
        SetVertex(v[1], c1, c2, c3, c4, sx - 0.5 * sx, sy + 0.5 * sy, 0.9);
        SetVertex(v[2], c1, c2, c3, c4, sx - 0.45 * sx, sy, 0.1);
        SetVertex(v[3], c1, c2, c3, c4, sx - 0.45 * sx, sy - 0.45 * sy, 0.25);
        SetVertex(v[4], c1, c2, c3, c4, sx, sy + 0.41 * sy, 0.7);
        SetVertex(v[5], c1, c2, c3, c4, sx, sy + 0.36 * sy, 0.4);
        SetVertex(v[6], c1, c2, c3, c4, sx - 0.38 * sx, sy + 0.38 * sy, 0.5);
        SetVertex(v[7], c1, c2, c3, c4, sx - 0.25 * sx, sy - 0.25 * sy, 0.66);
        SetVertex(v[8], c1, c2, c3, c4, sx + 0.49 * sx, sy + 0.49 * sy, 0.33);
    }
}

void Restart2CNSimplex(FitContext& ctx, double mux1, double muy1, double mux2, double muy2,
                       double sigma1, double sigma2, double p) {
    auto& v = ctx.starts.CNStart;
    const double s1 = sigma1;
    const double s2 = sigma2;
    SetVertex(v[1], mux1 + 0.06 * s1, muy1 + 0.08 * s1, mux2 + 0.08 * s2, muy2 + 0.08 * s2,
              s1 + 0.08 * s1, s2 + 0.08 * s2, p + 0.08);
    // The constant 0.1 and the whole standard deviation are added here, as they always were.
    SetVertex(v[2], mux1 - 0.06 * s1, muy1 + 0.1 + s1, mux2 + 0.1 + s2, muy2 + 0.1 + s2,
              s1 + 0.1 * s1, s2 + 0.1 * s2, p + 0.1);
    SetVertex(v[3], mux1 + 0.05 * s1, muy1 + 0.05 * s1, mux2 + 0.08 * s2, muy2 + 0.05 * s2,
              s1 + 0.05 * s1, s2 + 0.05 * s2, p + 0.05);
    SetVertex(v[4], mux1 + 0.12 * s1, muy1 + 0.12 * s1, mux2 - 0.1 * s2, muy2 + 0.12 * s2,
              s1 + 0.12 * s1, s2 + 0.12 * s2, p + 0.12);
    SetVertex(v[5], mux1 + 0.067 * s1, muy1 + 0.09 * s1, mux2 + 0.067 * s2, muy2 + 0.067 * s2,
              s1 + 0.067 * s1, s2 + 0.067 * s2, p + 0.067);
    SetVertex(v[6], mux1 + 0.13 * s1, muy1 - 0.12 * s1, mux2 + 0.13 * s2, muy2 + 0.13 * s2,
              s1 + 0.13 * s1, s2 + 0.13 * s2, p + 0.13);
    SetVertex(v[7], mux1 - s1, muy1 + 0.05 * s1, mux2 + 0.05 * s2, muy2 + 0.05 * s2, s1 + 0.05 * s1,
              s2 + 0.05 * s2, p + 0.05);
    SetVertex(v[8], mux1 + 0.18 * s1, muy1 + 0.18 * s1, mux2 + 0.18 * s2, muy2 - 0.13 * s2,
              s1 + 0.18 * s1, s2 + 0.18 * s2, p + 0.18);
    LogElements(v.data(), kVertices, {5, 6});
}

void Fit2CN(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n) {
    LogElements(ctx.starts.CNStart.data(), kVertices, {5, 6});
    ctx.simplex.ModelName = kTwoModeCircleModel;
    FitFromStarts(ctx, xy, n);
    if (stage == 1) {
        RestartAroundEstimate(ctx);
        FitFromStarts(ctx, xy, n);
    }
}

double CircleMixtureDensity(const std::vector<double>& params, double x, double y) {
    const double s1 = params[5];
    const double s2 = params[6];
    const double p = params[7];
    const double d1 = (x - params[1]) * (x - params[1]) + (y - params[2]) * (y - params[2]);
    const double d2 = (x - params[3]) * (x - params[3]) + (y - params[4]) * (y - params[4]);
    const double f1 = 1 / (2 * kPi * (s1 * s1)) * std::exp(-d1 / (2 * (s1 * s1)));
    const double f2 = 1 / (2 * kPi * (s2 * s2)) * std::exp(-d2 / (2 * (s2 * s2)));
    return p * f1 + (1 - p) * f2;
}

StatusOr<double> Calc2CNCVC(FitContext& ctx, const Matrix& xy, std::int32_t n,
                            const RunControl& control) {
    StatusOr<double> result;
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const Matrix work = WithoutLocation(xy, n, i);
        control.Say("Leave-one-out fits, " + std::string(kModel) + ": " + std::to_string(i + 1) +
                    " of " + std::to_string(n));
        RestartAroundEstimate(ctx);
        ctx.simplex.ModelName = kTwoModeCircleModel;
        FitFromStarts(ctx, work, n - 1);
        if (result.status = CheckFit(ctx.simplex, kModel); !result.Ok()) {
            return result;
        }
        const double l =
            LogOrFloor(CircleMixtureDensity(ctx.simplex.ModelParams, xy(i, 0), xy(i, 1)));
        if (!std::isfinite(l)) {
            return Status::Failure(LeftOutFailure(kModel, i));
        }
        sum = sum + l;
        if (!control.Report(static_cast<double>(i + 1) / n)) {
            return Status::Cancelled();
        }
    }
    result.value = -2 * sum;
    return result;
}

StatusOr<Matrix> TwoModeGrid(const Matrix& xy, std::int32_t n, double mux1, double muy1,
                             double mux2, double muy2, double sx1, double sy1, double rho1,
                             double sx2, double sy2, double rho2, double p,
                             const RunControl& control) {
    const NormalMode first(mux1, muy1, sx1, sy1, rho1);
    const NormalMode second(mux2, muy2, sx2, sy2, rho2);
    return GridOverLocations(
        xy, n, [&](double x, double y) { return MixtureDensity(first, second, p, x, y); }, control);
}

// The circle mixture's steps for a comparison or a home range.
static SimplexModel CircleMixtureSteps() {
    return {kParameters, FitStages, Calc2CNCVC,
            [](const std::vector<double>& mp, const Matrix& xy, std::int32_t n,
               const RunControl& control) {
                return TwoModeGrid(xy, n, mp[1], mp[2], mp[3], mp[4], mp[5], mp[5], 0, mp[6], mp[6],
                                   0, mp[7], control);
            }};
}

StatusOr<ModelComparison> Calc2CNModel(const Matrix& xy, std::int32_t n, const SimplexFit& start,
                                       Notifier& notifier, const RunControl& control,
                                       PerLocationValues values) {
    if (Status ok = CheckModelData(xy, n, {kModel, kParameters + 2}); !ok.Ok()) {
        return ok;
    }
    return CompareSimplexModel(xy, n, start, notifier, control, values, CircleMixtureSteps());
}

StatusOr<ModelHomeRange> CircleMixtureHomeRange(const Matrix& xy, std::int32_t n,
                                                const SimplexFit& start, Notifier& notifier,
                                                const RunControl& control) {
    if (Status ok = CheckModelData(xy, n, {kModel, 2}); !ok.Ok()) {
        return ok;
    }
    return SimplexHomeRange(xy, n, start, notifier, nullptr, control, CircleMixtureSteps());
}

} // namespace ranvik
