#include "models/normal_mixture.h"

#include "models/circle_mixture.h"
#include "models/model_data.h"
#include "models/model_runs.h"
#include "models/objective.h"
#include "models/simplex_fit.h"
#include "numerics/output_grid.h"
#include "numerics/parallel_for.h"

#include <cmath>
#include <string>

namespace ranvik {
namespace {

constexpr int kParameters = 11;
constexpr int kVertices = 12;
constexpr std::string_view kModel = "2-mode bivariate normal mixture";

struct Centres {
    double mux1, muy1, mux2, muy2;
};

struct Spreads {
    double sx1, sy1, rho1, sx2, sy2, rho2;
};

std::vector<double>& Fresh(FitContext& ctx, int j) {
    auto& v = ctx.starts.BVNStart[static_cast<std::size_t>(j)];
    if (v.size() < kParameters + 1) {
        v.resize(kParameters + 1, 0.0);
    }
    return v;
}

void SetCentres(std::vector<double>& v, const Centres& c) {
    v[1] = c.mux1;
    v[2] = c.muy1;
    v[3] = c.mux2;
    v[4] = c.muy2;
}

void SetSpreads(std::vector<double>& v, const Spreads& s) {
    v[5] = s.sx1;
    v[6] = s.sy1;
    v[7] = s.rho1;
    v[8] = s.sx2;
    v[9] = s.sy2;
    v[10] = s.rho2;
}

void FitFromStarts(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    RunSimplex(ctx, xy, n, ctx.starts.BVNStart.data(), kVertices, kParameters);
    TakeModelParams(ctx.simplex, kParameters, {5, 6, 8, 9});
}

Status FitStages(FitContext& ctx, const Matrix& xy, std::int32_t n) {
    for (int stage = 1; stage <= 3; ++stage) {
        Init2BVNSimplex(ctx, xy, stage, n);
        Fit2BVN(ctx, xy, stage, n);
        if (Status ok = CheckFit(ctx.simplex, kModel); !ok.Ok()) {
            return ok;
        }
    }
    return {};
}

// Keeps a pass's iteration-limit messages until they can be shown in pass order.
class HeldMessages final : public Notifier {
public:
    void Inform(std::string_view message) override { messages.emplace_back(message); }
    std::vector<std::string> messages;
};

// One leave-one-out pass on its own copy of the workspace.
struct Pass {
    FitCopy fit;
    HeldMessages held;
    double log_density = 0.0;
    Status status;
};

void LeaveOut(Pass& pass, const Matrix& xy, std::int32_t n, std::int32_t i) {
    const Matrix work = WithoutLocation(xy, n, i);
    FitContext ctx = pass.fit.Context(pass.held);
    pass.status = FitStages(ctx, work, n - 1);
    if (!pass.status.Ok()) {
        return;
    }
    pass.log_density =
        LogOrFloor(NormalMixtureDensity(pass.fit.simplex.ModelParams, xy(i, 0), xy(i, 1)));
    if (!std::isfinite(pass.log_density)) {
        pass.status = Status::Failure(LeftOutFailure(kModel, i));
    }
}

} // namespace

void Init2BVNSimplex(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n) {
    const Moments m = PopulationMoments(xy, n);
    const double mx = m.mean_x;
    const double my = m.mean_y;
    const double sx = m.sd_x;
    const double sy = m.sd_y;
    double s0 = sx;
    if (sy < sx) {
        s0 = sy;
    }
    for (int j = 1; j <= kVertices; ++j) {
        ctx.starts.BVNStart[static_cast<std::size_t>(j)].assign(kParameters + 1, 0.0);
    }
    const std::vector<double>& mp = ctx.simplex.ModelParams;
    if (stage == 1) {
        const Centres centres[kVertices] = {
            {mx - 1.1 * sx, my - 1.1 * sy, mx + 1.1 * sx, my + 1.1 * sy},
            {mx - 0.9 * sx, my, mx + 0.9 * sx, my},
            {mx - 0.9 * sx, my + 0.9 * sy, mx + 0.9 * sx, my - 0.9 * sy},
            {mx, my - 1.01 * sy, mx, my + 1.01 * sy},
            {mx, my, mx, my + 1.2 * sy},
            {mx - 1.53 * sx, my - 1.5 * sy, mx + 1.5 * sx, my + 1.5 * sy},
            {mx - 1.2 * sx, my + 1.02 * sy, mx - 1.1 * sx, my - 1.02 * sy},
            {mx + 1.3 * sx, my - 1.3 * sy, mx + 1.3 * sx, my + 1.3 * sy},
            {mx, my, mx - 0.5 * sx, my - 0.5 * sy},
            {mx, my, mx - 0.55 * sx, my + 0.55 * sy},
            {mx, my, mx + 0.48 * sx, my + 0.48 * sy},
            {mx, my, mx + 0.48 * sx, my - 0.51 * sy},
        };
        for (int j = 1; j <= kVertices; ++j) {
            auto& v = Fresh(ctx, j);
            SetCentres(v, centres[j - 1]);
            SetSpreads(v, {s0, s0, 0, s0, s0, 0});
            v[11] = 0.5;
        }
    } else if (stage == 2) {
        const Spreads spreads[kVertices] = {
            {sx - 0.5 * sx, sy - 0.5 * sy, -0.2, sx + 0.5 * sx, sy + 0.5 * sy, 0.2},
            {sx - 0.45 * sx, sy, -0.2, sx + 0.45 * sx, sy, 0.2},
            {sx - 0.45 * sx, sy + 0.45 * sy, -0.3, sx + 0.45 * sx, sy - 0.45 * sy, 0.3},
            {sx, sy - 0.41 * sy, 0.25, sx, sy + 0.41 * sy, -0.25},
            {sx, sy + 0.36 * sy, -0.4, sx, sy + 0.36 * sy, 0.45},
            {sx - 0.38 * sx, sy - 0.38 * sy, -0.2, sx + 0.38 * sx, sy + 0.38 * sy, 0.25},
            {sx - 0.25 * sx, sy + 0.25 * sy, -0.01, sx - 0.25 * sx, sy - 0.25 * sy, 0.015},
            {sx + 0.49 * sx, sy - 0.49 * sy, 0.2, sx + 0.49 * sx, sy + 0.49 * sy, -0.25},
            {sx, sy, 0.4, sx - 0.1 * sx, sy - 0.1 * sy, -0.45},
            {sx - 0.09 * sx, sy - 0.09 * sy, 0.4, sx, sy, -0.45},
            {sx - 0.27 * sx, sy - 0.27 * sy, 0.6, sx - 0.2 * sx, sy - 0.2 * sy, -0.65},
            {sx + 0.05 * sx, sy + 0.05 * sy, 0.8, sx + 0.08 * sx, sy + 0.08 * sy, -0.85},
        };
        for (int j = 1; j <= kVertices; ++j) {
            auto& v = Fresh(ctx, j);
            SetCentres(v, {mp[1], mp[2], mp[3], mp[4]});
            SetSpreads(v, spreads[j - 1]);
            v[11] = 0.5;
        }
    } else if (stage == 3) {
        const double proportions[kVertices] = {0.9,  0.8,  0.76, 0.66, 0.58, 0.48,
                                               0.37, 0.29, 0.22, 0.15, 0.11, 0.05};
        for (int j = 1; j <= kVertices; ++j) {
            auto& v = Fresh(ctx, j);
            for (int e = 1; e <= 10; ++e) {
                v[static_cast<std::size_t>(e)] = mp[static_cast<std::size_t>(e)];
            }
            v[11] = proportions[j - 1];
        }
    }
}

void Restart2BVNSimplex(FitContext& ctx, double mux1, double muy1, double sx1, double sy1,
                        double rho1, double mux2, double muy2, double sx2, double sy2, double rho2,
                        double p) {
    const double offsets[kVertices] = {0.081, 0.121, 0.71,  0.11,  0.131, 0.091,
                                       0.051, 0.181, 0.021, 0.041, 0.21,  0.11};
    for (int j = 1; j <= kVertices; ++j) {
        const double c = offsets[j - 1];
        auto& v = Fresh(ctx, j);
        SetCentres(v, {mux1 + c * sx1, muy1 + c * sy1, mux2 + c * sx2, muy2 + c * sy2});
        SetSpreads(
            v, {sx1 + c * sx1, sy1 + c * sy1, rho1 + c, sx2 + c * sx2, sy2 + c * sy2, rho2 + c});
        v[11] = p + c;
    }
    // Entries that depart from the rule, as they always have.
    auto& v = ctx.starts.BVNStart;
    v[1][1] = mux1 + 0.06 * sx1;
    v[2][1] = mux1 - 0.06 * sx1;
    v[2][2] = muy1 + 0.121 + sy1;
    v[2][3] = mux2 + 0.121 + sx2;
    v[2][4] = muy2 + 0.121 + sy2;
    v[3][3] = mux2 + 0.08 * sx2;
    v[4][3] = mux2 - 0.1 * sx2;
    v[4][7] = rho1 - 0.11;
    v[4][10] = rho2 - 0.11;
    v[5][2] = muy1 + 0.09 * sy1;
    v[6][2] = muy1 - 0.12 * sy1;
    v[7][1] = mux1 - sx1;
    v[8][4] = muy2 - 0.13 * sy2;
    LogElements(v.data(), kVertices, {5, 6});
    LogElements(v.data(), kVertices, {8, 9});
}

void Fit2BVN(FitContext& ctx, const Matrix& xy, int stage, std::int32_t n) {
    LogElements(ctx.starts.BVNStart.data(), kVertices, {5, 6});
    LogElements(ctx.starts.BVNStart.data(), kVertices, {8, 9});
    ctx.simplex.ModelName = kTwoModeNormalModel;
    FitFromStarts(ctx, xy, n);
    if (stage == 3) {
        const std::vector<double> mp = ctx.simplex.ModelParams;
        Restart2BVNSimplex(ctx, mp[1], mp[2], mp[5], mp[6], mp[7], mp[3], mp[4], mp[8], mp[9],
                           mp[10], mp[11]);
        FitFromStarts(ctx, xy, n);
    }
}

double NormalMixtureDensity(const std::vector<double>& params, double x, double y) {
    const NormalMode first(params[1], params[2], params[5], params[6], params[7]);
    const NormalMode second(params[3], params[4], params[8], params[9], params[10]);
    return MixtureDensity(first, second, params[11], x, y);
}

StatusOr<double> Calc2BVNCVC(FitContext& ctx, const Matrix& xy, std::int32_t n,
                             const RunControl& control) {
    StatusOr<double> result;
    std::vector<Pass> passes(static_cast<std::size_t>(n));
    const LoopReport report{1, 1, [n](std::int64_t finished) {
                                return "Leave-one-out fits, " + std::string(kModel) + ": " +
                                       std::to_string(finished) + " of " + std::to_string(n);
                            }};
    const bool finished = ParallelFor(n, control, report, [&](std::int64_t i) {
        Pass& pass = passes[static_cast<std::size_t>(i)];
        // Every pass starts from the workspace as it stood before the first, as each would
        // in a run in order: nothing a pass reads is left by the one before it.
        pass.fit = FitCopy{ctx.simplex, ctx.starts, ctx.loc_lik};
        LeaveOut(pass, xy, n, static_cast<std::int32_t>(i));
    });
    if (!finished) {
        return Status::Cancelled();
    }
    double sum = 0.0;
    for (Pass& pass : passes) {
        for (const std::string& message : pass.held.messages) {
            ctx.notifier.Inform(message);
        }
        if (!pass.status.Ok()) {
            result.status = pass.status;
            return result;
        }
        sum = sum + pass.log_density;
    }
    Pass& last = passes.back();
    ctx.simplex = std::move(last.fit.simplex);
    ctx.starts = std::move(last.fit.starts);
    ctx.loc_lik = std::move(last.fit.loc_lik);
    result.value = -2 * sum;
    return result;
}

// The normal mixture's steps for a comparison or a home range.
static SimplexModel NormalMixtureSteps() {
    return {kParameters, FitStages, Calc2BVNCVC,
            [](const std::vector<double>& mp, const Matrix& xy, std::int32_t n,
               const RunControl& control) {
                return TwoModeGrid(xy, n, mp[1], mp[2], mp[3], mp[4], mp[5], mp[6], mp[7], mp[8],
                                   mp[9], mp[10], mp[11], control);
            }};
}

StatusOr<ModelComparison> Calc2BVNModel(const Matrix& xy, std::int32_t n, const SimplexFit& start,
                                        Notifier& notifier, const RunControl& control,
                                        PerLocationValues values) {
    if (Status ok = CheckModelData(xy, n, {kModel, kParameters + 2}); !ok.Ok()) {
        return ok;
    }
    return CompareSimplexModel(xy, n, start, notifier, control, values, NormalMixtureSteps());
}

StatusOr<ModelHomeRange> NormalMixtureHomeRange(const Matrix& xy, std::int32_t n,
                                                const SimplexFit& start, Notifier& notifier,
                                                const std::vector<double>* weights,
                                                const RunControl& control) {
    if (Status ok = CheckModelData(xy, n, {kModel, 2}); !ok.Ok()) {
        return ok;
    }
    if (weights != nullptr && weights->size() < static_cast<std::size_t>(n)) {
        return Status::Failure("There is no weight for every location; load the locations "
                               "file with its probability column again.");
    }
    return SimplexHomeRange(xy, n, start, notifier, weights, control, NormalMixtureSteps());
}

} // namespace ranvik
