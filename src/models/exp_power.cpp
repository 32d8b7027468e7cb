#include "models/exp_power.h"

#include "models/model_data.h"
#include "models/model_runs.h"
#include "models/objective.h"
#include "models/simplex_fit.h"
#include "numerics/output_grid.h"

#include <cmath>

namespace ranvik {
namespace {

constexpr int kParameters = 4;
constexpr int kVertices = 5;
constexpr std::string_view kModel = "exponential power model";

void SetVertex(std::vector<double>& v, double cx, double cy, double a, double s) {
    v.assign(kParameters + 1, 0.0);
    v[1] = cx;
    v[2] = cy;
    v[3] = a;
    v[4] = s;
}

// Fits from the start vertices as they stand (a on its natural scale).
void FitFromStarts(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    auto& starts = ctx.starts.ExpPowerStart;
    LogElements(starts.data(), kVertices, {3});
    ctx.simplex.ModelName = kExpPowerModel;
    RunSimplex(ctx, xy, n, starts.data(), kVertices, kParameters);
    TakeModelParams(ctx.simplex, kParameters, {3});
}

} // namespace

void InitExpPowerSimplex(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    const Moments m = PopulationMoments(xy, n);
    const double mx = m.mean_x;
    const double my = m.mean_y;
    const double sx = m.sd_x;
    const double sy = m.sd_y;
    auto& v = ctx.starts.ExpPowerStart;
    SetVertex(v[1], mx, my, sx, 1.0);
    SetVertex(v[2], mx - 0.9 * sx, my, sy, 0.88);
    SetVertex(v[3], mx - 0.9 * sx, my + 0.9 * sy, sx + 0.5 * sx, 0.1);
    SetVertex(v[4], mx, my - 1.01 * sy, sy + 0.5 * sy, 0.5);
    SetVertex(v[5], mx, my, (sx + sy) / 2, 0.33);
}

void FitExpPower(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    FitFromStarts(ctx, xy, n);
}

StatusOr<double> CalcExpPowerCVC(FitContext& ctx, const Matrix& xy, std::int32_t n,
                                 const RunControl& control) {
    StatusOr<double> result;
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const Matrix work = WithoutLocation(xy, n, i);
        control.Say("Leave-one-out fits, " + std::string(kModel) + ": " + std::to_string(i + 1) +
                    " of " + std::to_string(n));
        const std::vector<double>& mp = ctx.simplex.ModelParams;
        const double cx = mp[1];
        const double cy = mp[2];
        const double a = mp[3];
        const double s = mp[4];
        auto& v = ctx.starts.ExpPowerStart;
        SetVertex(v[1], cx, cy, a, s);
        SetVertex(v[2], cx + 0.5 * a, cy, a + 0.2 * a, 0.33);
        SetVertex(v[3], cx, cy + 0.22 * a, a, 1.0);
        SetVertex(v[4], cx - 0.22 * a, cy - 0.33 * a, a - 0.12 * a, 0.88);
        SetVertex(v[5], cx + 0.6 * a, cy + 0.3 * a, a + 0.07 * a, 0.5);
        FitFromStarts(ctx, work, n - 1);
        if (result.status = CheckFit(ctx.simplex, kModel); !result.Ok()) {
            return result;
        }
        const std::vector<double>& fit = ctx.simplex.ModelParams;
        const double dx = xy(i, 0) - fit[1];
        const double dy = xy(i, 1) - fit[2];
        const double density =
            ExpPowerDensity(std::sqrt(dx * dx + dy * dy), fit[3], fit[4], LanczosGamma(fit[4]));
        const double l = LogOrFloor(density);
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

StatusOr<Matrix> CalcExpPowerGrid(const Matrix& xy, std::int32_t n, double cx, double cy, double a,
                                  double s, const RunControl& control) {
    const double gamma_s = LanczosGamma(s);
    return GridOverLocations(
        xy, n,
        [=](double x, double y) {
            const double dx = x - cx;
            const double dy = y - cy;
            return ExpPowerDensity(std::sqrt(dx * dx + dy * dy), a, s, gamma_s);
        },
        control);
}

// The exponential power model's steps for a comparison or a home range.
static SimplexModel ExpPowerSteps() {
    return {kParameters,
            [](FitContext& ctx, const Matrix& xy, std::int32_t n) {
                InitExpPowerSimplex(ctx, xy, n);
                FitExpPower(ctx, xy, n);
                return CheckFit(ctx.simplex, kModel);
            },
            CalcExpPowerCVC,
            [](const std::vector<double>& mp, const Matrix& xy, std::int32_t n,
               const RunControl& control) {
                return CalcExpPowerGrid(xy, n, mp[1], mp[2], mp[3], mp[4], control);
            }};
}

StatusOr<ModelComparison> CompareExpPower(const Matrix& xy, std::int32_t n, const SimplexFit& start,
                                          Notifier& notifier, const RunControl& control,
                                          PerLocationValues values) {
    if (Status ok = CheckModelData(xy, n, {kModel, kParameters + 2}); !ok.Ok()) {
        return ok;
    }
    return CompareSimplexModel(xy, n, start, notifier, control, values, ExpPowerSteps());
}

StatusOr<ModelHomeRange> ExpPowerHomeRange(const Matrix& xy, std::int32_t n,
                                           const SimplexFit& start, Notifier& notifier,
                                           const RunControl& control) {
    if (Status ok = CheckModelData(xy, n, {kModel, 2}); !ok.Ok()) {
        return ok;
    }
    return SimplexHomeRange(xy, n, start, notifier, nullptr, control, ExpPowerSteps());
}

} // namespace ranvik
