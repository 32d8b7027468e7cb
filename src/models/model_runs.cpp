#include "models/model_runs.h"

#include "models/model_data.h"
#include "models/simplex_fit.h"
#include "numerics/output_grid.h"

namespace ranvik {
namespace {

FitCopy CopyOf(const State& state, std::int32_t n) {
    return {state.Simplex, state.Starts, std::vector<double>(static_cast<std::size_t>(n))};
}

void HandBack(State& state, FitCopy& work, std::vector<double>& loc_lik) {
    state.Simplex = std::move(work.simplex);
    state.Starts = std::move(work.starts);
    loc_lik = std::move(work.loc_lik);
}

} // namespace

StatusOr<ModelScores> CompareSimplexModel(State& state, std::vector<double>& loc_lik,
                                          const Matrix& xy, std::int32_t n, Notifier& notifier,
                                          const RunControl& control, PerLocationValues values,
                                          const SimplexModel& model) {
    StatusOr<ModelScores> result;
    FitCopy work = CopyOf(state, n);
    FitContext ctx = work.Context(notifier);
    if (result.status = model.fit(ctx, xy, n); !result.Ok()) {
        return result;
    }
    const double max_log_l = work.simplex.MaxLogLikelihood;
    std::vector<double> at_estimate;
    if (values == PerLocationValues::AtEstimate) {
        EvaluateAtBest(ctx, xy, n);
        at_estimate = work.loc_lik;
    }
    const auto cvc = model.cvc(ctx, xy, n, control);
    if (!cvc.Ok()) {
        result.status = cvc.status;
        return result;
    }
    if (values == PerLocationValues::AtEstimate) {
        work.loc_lik = std::move(at_estimate);
    }
    HandBack(state, work, loc_lik);
    result.value = {-2 * max_log_l, AICc(max_log_l, model.parameters, n), cvc.value};
    return result;
}

Status SimplexHomeRange(State& state, std::vector<double>& loc_lik, Matrix& grid, const Matrix& xy,
                        std::int32_t n, Notifier& notifier, const std::vector<double>* weights,
                        const RunControl& control, const SimplexModel& model) {
    FitCopy work = CopyOf(state, n);
    FitContext ctx = work.Context(notifier, weights);
    if (Status ok = model.fit(ctx, xy, n); !ok.Ok()) {
        return ok;
    }
    auto computed = model.grid(work.simplex.ModelParams, xy, n, control);
    if (!computed.Ok()) {
        return computed.status;
    }
    HandBack(state, work, loc_lik);
    grid = std::move(computed.value);
    state.NumGridPts = kGridNodes;
    return {};
}

} // namespace ranvik
